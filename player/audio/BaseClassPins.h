// BaseClass: the pins. TBCBasePin (IPin, IQualityControl) holds the connection and its media
// type and runs the connection protocol (CheckConnect, CheckMediaType, SetMediaType,
// CompleteConnect, BreakConnect hooks); TBCBaseInputPin adds IMemInputPin (allocator, sample
// properties, flushing); TBCBaseOutputPin adds allocator negotiation and delivery downstream.
//
// Ownership: a pin lives inside its filter and is not reference-counted on its own: AddRef and
// Release go to the filter, which deletes its pins when it goes.
// Threading: connection calls hold the filter lock. An input pin's Receive runs on the upstream
// streaming thread and reads the flushing flag and the filter state, both atomics.
#pragma once

#include <wrl/client.h>

#include <atomic>
#include <string>

#include "common/win/DirectShow.h"
#include "player/audio/BaseClassFilter.h"
#include "player/audio/BaseClassMediaType.h"
#include "player/audio/BaseClassObject.h"

namespace qvr::audio {

class TBCBasePin : public TBCUnknown, public IPin, public IQualityControl {
 public:
  // `lock` is the filter lock. `id` is what QueryId and FindPin use.
  TBCBasePin(const wchar_t* objectName, TBCBaseFilter* filter, TBCCritSec* lock, HRESULT* hr, const wchar_t* name,
             PIN_DIRECTION direction, const wchar_t* id);
  ~TBCBasePin() override;

  TBC_DECLARE_IUNKNOWN
  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE NonDelegatingAddRef() override;
  ULONG STDMETHODCALLTYPE NonDelegatingRelease() override;

  // IPin
  HRESULT STDMETHODCALLTYPE Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) override;
  HRESULT STDMETHODCALLTYPE ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) override;
  HRESULT STDMETHODCALLTYPE Disconnect() override;
  HRESULT STDMETHODCALLTYPE ConnectedTo(IPin** pin) override;
  HRESULT STDMETHODCALLTYPE ConnectionMediaType(AM_MEDIA_TYPE* type) override;
  HRESULT STDMETHODCALLTYPE QueryPinInfo(PIN_INFO* info) override;
  HRESULT STDMETHODCALLTYPE QueryDirection(PIN_DIRECTION* direction) override;
  HRESULT STDMETHODCALLTYPE QueryId(LPWSTR* id) override;
  HRESULT STDMETHODCALLTYPE QueryAccept(const AM_MEDIA_TYPE* type) override;
  HRESULT STDMETHODCALLTYPE EnumMediaTypes(IEnumMediaTypes** types) override;
  HRESULT STDMETHODCALLTYPE QueryInternalConnections(IPin** pins, ULONG* count) override;
  HRESULT STDMETHODCALLTYPE EndOfStream() override;
  HRESULT STDMETHODCALLTYPE NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;
  // IQualityControl (Notify stays with the derived pins)
  HRESULT STDMETHODCALLTYPE SetSink(IQualityControl* sink) override;

  // Hooks of the connection protocol.
  virtual HRESULT CheckMediaType(const AM_MEDIA_TYPE* type) = 0;
  virtual HRESULT SetMediaType(const AM_MEDIA_TYPE* type);
  virtual HRESULT CheckConnect(IPin* pin);
  virtual HRESULT BreakConnect();
  virtual HRESULT CompleteConnect(IPin* receivePin);
  // The preferred types, for the enumerator: S_OK with a type, VFW_S_NO_MORE_ITEMS past the end.
  virtual HRESULT GetMediaType(int position, AM_MEDIA_TYPE* type);
  virtual LONG GetMediaTypeVersion() { return FTypeVersion.load(); }
  // State changes of the filter, for connected pins.
  virtual HRESULT Active() { return S_OK; }
  virtual HRESULT Inactive() { return S_OK; }
  virtual HRESULT Run(REFERENCE_TIME) { return S_OK; }

  bool IsConnected() const { return FConnected != nullptr; }
  IPin* GetConnected() const { return FConnected.Get(); }
  const TBCMediaType& CurrentMediaType() const { return FMt; }
  bool IsStopped() const { return FFilter->IsStopped(); }
  TBCBaseFilter* Filter() const { return FFilter; }
  PIN_DIRECTION Direction() const { return FDirection; }
  const std::wstring& Id() const { return FId; }
  const std::wstring& Name() const { return FName; }
  REFERENCE_TIME SegmentStart() const { return FSegmentStart; }
  REFERENCE_TIME SegmentStop() const { return FSegmentStop; }
  double SegmentRate() const { return FSegmentRate; }

 protected:
  HRESULT AgreeMediaType(IPin* receivePin, const AM_MEDIA_TYPE* type);
  HRESULT TryMediaTypes(IPin* receivePin, const AM_MEDIA_TYPE* type, IEnumMediaTypes* types);
  HRESULT AttemptConnection(IPin* receivePin, const AM_MEDIA_TYPE* type);
  HRESULT DisconnectInternal();
  void IncrementTypeVersion() { ++FTypeVersion; }

  TBCBaseFilter* const FFilter;
  TBCCritSec* const FLock;
  const PIN_DIRECTION FDirection;
  std::wstring FName;
  std::wstring FId;
  Microsoft::WRL::ComPtr<IPin> FConnected;
  TBCMediaType FMt;
  REFERENCE_TIME FSegmentStart = 0;
  REFERENCE_TIME FSegmentStop = 0x7FFFFFFFFFFFFFFF;
  double FSegmentRate = 1.0;
  IQualityControl* FQualitySink = nullptr;  // not counted, as the interface asks
  bool FTryMyTypesFirst = false;

 private:
  std::atomic<LONG> FTypeVersion{1};
};

class TBCBaseInputPin : public TBCBasePin, public IMemInputPin {
 public:
  TBCBaseInputPin(const wchar_t* objectName, TBCBaseFilter* filter, TBCCritSec* lock, HRESULT* hr,
                  const wchar_t* name, const wchar_t* id);
  ~TBCBaseInputPin() override;

  TBC_DECLARE_IUNKNOWN
  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID iid, void** object) override;

  // IMemInputPin
  HRESULT STDMETHODCALLTYPE GetAllocator(IMemAllocator** allocator) override;
  HRESULT STDMETHODCALLTYPE NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) override;
  HRESULT STDMETHODCALLTYPE GetAllocatorRequirements(ALLOCATOR_PROPERTIES* properties) override;
  // Checks the streaming state and records the sample's properties; S_OK when the sample may be
  // processed. Derived pins call this first.
  HRESULT STDMETHODCALLTYPE Receive(IMediaSample* sample) override;
  HRESULT STDMETHODCALLTYPE ReceiveMultiple(IMediaSample** samples, long count, long* processed) override;
  HRESULT STDMETHODCALLTYPE ReceiveCanBlock() override;
  // IPin
  HRESULT STDMETHODCALLTYPE BeginFlush() override;
  HRESULT STDMETHODCALLTYPE EndFlush() override;
  // IQualityControl: nothing is expected on an input pin.
  HRESULT STDMETHODCALLTYPE Notify(IBaseFilter* sender, Quality quality) override;

  HRESULT BreakConnect() override;
  HRESULT Inactive() override;
  // S_OK while samples may be received; S_FALSE while flushing; VFW_E_WRONG_STATE when stopped;
  // VFW_E_RUNTIME_ERROR after a runtime error.
  virtual HRESULT CheckStreaming();
  // A quality message passed upstream (to the sink set through SetSink, else the peer pin).
  HRESULT PassNotify(const Quality& quality);

  // The properties of the sample being received (valid during Receive).
  AM_SAMPLE2_PROPERTIES* SampleProps() { return &FSampleProps; }
  bool IsFlushing() const { return FFlushing.load(); }
  bool IsReadOnly() const { return FReadOnly; }
  IMemAllocator* Allocator() const { return FAllocator.Get(); }

 protected:
  Microsoft::WRL::ComPtr<IMemAllocator> FAllocator;
  bool FReadOnly = false;
  std::atomic<bool> FFlushing{false};
  std::atomic<bool> FRuntimeError{false};
  AM_SAMPLE2_PROPERTIES FSampleProps{};
  TBCMediaType FSampleType;  // owns the type of a sample without IMediaSample2
};

class TBCBaseOutputPin : public TBCBasePin {
 public:
  TBCBaseOutputPin(const wchar_t* objectName, TBCBaseFilter* filter, TBCCritSec* lock, HRESULT* hr,
                   const wchar_t* name, const wchar_t* id);
  ~TBCBaseOutputPin() override;

  // IPin: only input pins take these.
  HRESULT STDMETHODCALLTYPE EndOfStream() override { return E_UNEXPECTED; }
  HRESULT STDMETHODCALLTYPE BeginFlush() override { return E_UNEXPECTED; }
  HRESULT STDMETHODCALLTYPE EndFlush() override { return E_UNEXPECTED; }

  HRESULT CheckConnect(IPin* pin) override;
  HRESULT BreakConnect() override;
  HRESULT CompleteConnect(IPin* receivePin) override;
  HRESULT Active() override;
  HRESULT Inactive() override;

  // Allocator negotiation (BaseClassAllocator.cpp): the downstream pin's allocator first, else
  // a memory allocator of our own, each sized by DecideBufferSize and announced with
  // NotifyAllocator.
  virtual HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* properties) = 0;
  virtual HRESULT DecideAllocator(IMemInputPin* pin, IMemAllocator** allocator);
  virtual HRESULT InitAllocator(IMemAllocator** allocator);

  HRESULT GetDeliveryBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* stop, DWORD flags);
  HRESULT Deliver(IMediaSample* sample);
  HRESULT DeliverEndOfStream();
  HRESULT DeliverBeginFlush();
  HRESULT DeliverEndFlush();
  HRESULT DeliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate);

  IMemInputPin* InputPin() const { return FInputPin.Get(); }
  IMemAllocator* Allocator() const { return FAllocator.Get(); }

 protected:
  Microsoft::WRL::ComPtr<IMemAllocator> FAllocator;
  Microsoft::WRL::ComPtr<IMemInputPin> FInputPin;
};

}  // namespace qvr::audio
