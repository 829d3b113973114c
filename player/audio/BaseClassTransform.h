// BaseClass: TBCTransformFilter with its input and output pins, the frame of a filter that turns
// each input sample into one output sample. A derived filter provides CheckInputType,
// CheckTransform, DecideBufferSize, GetMediaType and Transform; the other hooks have working
// defaults (forwarding end of stream, flushes and new segments downstream).
//
// Locks: the filter lock (FcsFilter) guards state changes and connections; the receive lock
// (FcsReceive) serialises sample processing. Order: filter lock, then receive lock. Stop takes the
// receive lock around the output pin's deactivation, so a stop waits for the sample in progress.
// The streaming thread holds the receive lock only.
#pragma once

#include <wrl/client.h>

#include <atomic>
#include <mutex>

#include "common/win/DirectShow.h"
#include "player/audio/BaseClassFilter.h"
#include "player/audio/BaseClassPins.h"

namespace qvr::audio {

class TBCTransformInputPin;
class TBCTransformOutputPin;

class TBCTransformFilter : public TBCBaseFilter {
 public:
  TBCTransformFilter(const wchar_t* objectName, IUnknown* outer, REFCLSID clsid);
  ~TBCTransformFilter() override;

  // The input pin and the output pin, made together on the first pin request.
  int GetPinCount() override;
  TBCBasePin* GetPin(int index) override;

  HRESULT STDMETHODCALLTYPE Stop() override;
  HRESULT STDMETHODCALLTYPE Pause() override;

  // Hooks, in slot order.
  virtual HRESULT Transform(IMediaSample* in, IMediaSample* out);
  // A check only: it also answers QueryAccept and checks on pins that do not stream.
  virtual HRESULT CheckInputType(const AM_MEDIA_TYPE* type) = 0;
  virtual HRESULT CheckTransform(const AM_MEDIA_TYPE* in, const AM_MEDIA_TYPE* out) = 0;
  virtual HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* properties) = 0;
  virtual HRESULT GetMediaType(int position, AM_MEDIA_TYPE* type) = 0;
  virtual HRESULT StartStreaming();
  virtual HRESULT StopStreaming();
  // Stop's hooks, called under the filter lock: whether the input that streams is connected,
  // and making every connected input refuse samples before the receive lock is taken.
  virtual bool StreamingInputConnected();
  virtual void DeactivateInputs();
  virtual HRESULT AlterQuality(Quality quality);
  virtual HRESULT SetMediaType(PIN_DIRECTION direction, const AM_MEDIA_TYPE* type);
  virtual HRESULT CheckConnect(PIN_DIRECTION direction, IPin* pin);
  virtual HRESULT BreakConnect(PIN_DIRECTION direction);
  virtual HRESULT CompleteConnect(PIN_DIRECTION direction, IPin* receivePin);
  virtual HRESULT Receive(IMediaSample* sample);
  virtual HRESULT InitializeOutputSample(IMediaSample* sample, IMediaSample** outSample);
  virtual HRESULT EndOfStream();
  virtual HRESULT BeginFlush();
  virtual HRESULT EndFlush();
  virtual HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate);

  TBCTransformInputPin* InputPin() const { return FInput; }
  TBCTransformOutputPin* OutputPin() const { return FOutput; }
  TBCCritSec& ReceiveLock() { return FcsReceive; }

 protected:
  // Builds a delivery buffer for `sample` from the sample properties in `props` (those of the
  // input pin receiving it), copying times, flags and type-specific flags.
  HRESULT InitializeOutputSampleFrom(const AM_SAMPLE2_PROPERTIES& props, IMediaSample* sample, IMediaSample** outSample);
  // The receive path once the sample properties are known: non-media stream ids go straight
  // downstream, media samples through InitializeOutputSample and Transform.
  HRESULT ReceiveWith(const AM_SAMPLE2_PROPERTIES& props, IMediaSample* sample);

  TBCCritSec FcsFilter;   // first
  TBCCritSec FcsReceive;  // second
  TBCTransformInputPin* FInput = nullptr;    // owned
  TBCTransformOutputPin* FOutput = nullptr;  // owned
  // Set on the streaming thread, cleared by Pause and Stop: atomics.
  std::atomic<bool> FSampleSkipped{false};
  std::atomic<bool> FQualityChanged{false};
  std::atomic<bool> FEOSDelivered{false};
};

class TBCTransformInputPin : public TBCBaseInputPin {
 public:
  TBCTransformInputPin(const wchar_t* objectName, TBCTransformFilter* filter, HRESULT* hr, const wchar_t* name,
                       const wchar_t* id);

  HRESULT CheckConnect(IPin* pin) override;
  HRESULT BreakConnect() override;
  HRESULT CompleteConnect(IPin* receivePin) override;
  HRESULT CheckMediaType(const AM_MEDIA_TYPE* type) override;
  HRESULT SetMediaType(const AM_MEDIA_TYPE* type) override;
  HRESULT CheckStreaming() override;

  HRESULT STDMETHODCALLTYPE EndOfStream() override;
  HRESULT STDMETHODCALLTYPE BeginFlush() override;
  HRESULT STDMETHODCALLTYPE EndFlush() override;
  HRESULT STDMETHODCALLTYPE NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;
  HRESULT STDMETHODCALLTYPE Receive(IMediaSample* sample) override;

 protected:
  TBCTransformFilter* const FTransformFilter;
};

class TBCTransformOutputPin : public TBCBaseOutputPin {
 public:
  TBCTransformOutputPin(const wchar_t* objectName, TBCTransformFilter* filter, HRESULT* hr, const wchar_t* name,
                        const wchar_t* id);
  ~TBCTransformOutputPin() override;

  // Adds IMediaSeeking and IMediaPosition, served by a position pass-through made on first use.
  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID iid, void** object) override;
  // IQualityControl: to the filter's AlterQuality, upstream when it answers S_FALSE.
  HRESULT STDMETHODCALLTYPE Notify(IBaseFilter* sender, Quality quality) override;

  HRESULT CheckConnect(IPin* pin) override;
  HRESULT BreakConnect() override;
  HRESULT CompleteConnect(IPin* receivePin) override;
  HRESULT CheckMediaType(const AM_MEDIA_TYPE* type) override;
  HRESULT SetMediaType(const AM_MEDIA_TYPE* type) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* properties) override;
  HRESULT GetMediaType(int position, AM_MEDIA_TYPE* type) override;

 protected:
  // The input pin the pass-through seeks through.
  virtual IPin* PositionPin();
  // The pass-through's non-delegating unknown (created on first use).
  HRESULT PositionObject(IUnknown** object);

  TBCTransformFilter* const FTransformFilter;

 private:
  // A leaf lock of its own: a renderer may ask for seeking from any thread, its own streaming
  // thread included, which must never wait for the filter lock.
  std::mutex FPositionLock;
  IUnknown* FPosition = nullptr;  // non-delegating unknown of the pass-through, owned
};

}  // namespace qvr::audio
