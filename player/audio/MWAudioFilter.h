// TMWAudioFilter (unit MWAudioFilter): the program's DirectShow transform filter for decoded
// audio, put in front of the audio renderer of every graph the engine builds. It passes PCM
// through in its own format, applies the pre-amplifier and the equaliser when enabled, lets a
// client callback see every buffer, shifts time stamps by the audio delay and keeps a 4-second
// history of what it delivered. It is also the graph's audio stream switcher: one input pin per
// connected audio stream, only the active one processed, offered through IAMStreamSelect.
//
// Ownership: a COM object (aggregatable); the pins live inside it. The engine constructs it
// directly (TMWAudioFilterFactory) and the graph holds it.
//
// Threads: the interface setters, IAMStreamSelect and state changes come from the graph's
// (user-interface) thread; Receive, Transform and EndOfStream run on the upstream filter's
// streaming thread; BeginFlush/EndFlush on whichever thread seeks.
//
// Locks, in the only order in which they may nest:
//   FSwitchLock  (Enable only; it calls the graph's IMediaControl with no other lock of ours held)
//   FcsFilter    the filter lock: state changes, connections, the interface methods, pin list
//   FcsReceive   the receive lock: one sample at a time; Stop takes it after the filter lock
//   FFormatLock  the format record, the announced format and the current input type
//   leaves       FCallbackLock, the settings' lock, the history's lock, the clock's lock (none of
//                them is held while calling out)
// The streaming thread never takes the filter lock: what Transform needs from the user-interface
// thread is handed over through the settings (a snapshot per buffer, TMWAudioSettings), atomics
// (running, flushing, format changing, type change pending, navigator quirk, Inactive flags, the
// flush epoch) and the format lock. That is what makes a format change inside Transform (which
// runs AcceptInputType under the receive lock) safe against Stop (filter lock, then receive
// lock): AcceptInputType takes only the format lock. Pins are added and the active pin changes only while the graph is
// stopped, under both the filter and the receive lock, so either lock suffices to read the pin
// list; the active pin itself is an atomic read by anyone.
// The graph's thread never takes the receive lock outside Stop and the stopped-only changes
// above: under Wine the graph's asynchronous Run asked the renderer for seeking (which reaches
// the output pin) while the streaming thread held the receive lock inside the paused renderer's
// Receive, and waiting for that lock there hung IMediaControl::Run.
//
// A PCM callback runs on the streaming thread under the receive lock: it must not call the
// filter's locking methods (every IMWAudioFilterInterface method but Get/SetPCMCapture), or a
// concurrent Stop deadlocks.
#pragma once

#include <wrl/client.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "common/win/DirectShow.h"
#include "player/audio/BaseClass.h"
#include "player/audio/MWAudioFilterInterface.h"
#include "player/audio/core/MWAudioFormat.h"
#include "player/audio/core/MWAudioSettings.h"
#include "player/audio/core/MWEqualizer.h"
#include "player/audio/core/MWFlushEpoch.h"
#include "player/audio/core/MWPcmHistory.h"
#include "player/audio/core/MWStreamNames.h"

namespace qvr::audio {

class TMWAudioFilter;

class TMWAudioFilterInputPin : public TBCTransformInputPin {
 public:
  // `index`: the number of input pins when it was made. The first pin starts active, later
  // ones Inactive.
  TMWAudioFilterInputPin(TMWAudioFilter* filter, HRESULT* hr, int index);

  HRESULT STDMETHODCALLTYPE QueryPinInfo(PIN_INFO* info) override;
  HRESULT CompleteConnect(IPin* receivePin) override;
  // The connection type becomes the filter's input format when this pin is the one heard.
  HRESULT SetMediaType(const AM_MEDIA_TYPE* type) override;
  // Under the receive lock; E_FAIL (and the sample dropped) on an Inactive pin.
  HRESULT STDMETHODCALLTYPE Receive(IMediaSample* sample) override;
  // Only the active pin's end of stream goes downstream.
  HRESULT STDMETHODCALLTYPE EndOfStream() override;

  int Index() const { return FIndex; }
  bool IsInactive() const { return FInactive.load(); }
  void SetInactive(bool inactive) { FInactive = inactive; }

 private:
  TMWAudioFilter* const FOwner;
  const int FIndex;
  std::atomic<bool> FInactive;
};

class TMWAudioFilterOutputPin : public TBCTransformOutputPin {
 public:
  TMWAudioFilterOutputPin(TMWAudioFilter* filter, HRESULT* hr);

  HRESULT STDMETHODCALLTYPE Notify(IBaseFilter* sender, Quality quality) override;
  HRESULT CheckMediaType(const AM_MEDIA_TYPE* type) override;
  HRESULT SetMediaType(const AM_MEDIA_TYPE* type) override;

 protected:
  // Seeking goes through the pin that is active when it is first asked for.
  IPin* PositionPin() override;

 private:
  TMWAudioFilter* const FOwner;
};

class TMWAudioFilter : public TBCTransformFilter, public IMWAudioFilterInterface, public IAMStreamSelect {
 public:
  // The constructor the engine calls (object name "EQ Audio", no outer unknown); *hr reports a
  // failure to allocate the equaliser.
  TMWAudioFilter(const wchar_t* objectName, HRESULT* hr, IUnknown* outer);
  ~TMWAudioFilter() override;

  // For the class-factory template.
  static TBCUnknown* CreateInstance(IUnknown* outer, HRESULT* hr);
  // "Tarnel Audio Filter": its class id, the legacy filter category, merit 0x200000, two pins.
  static const TBCFilterTemplate& Template();

  TBC_DECLARE_IUNKNOWN
  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID iid, void** object) override;

  // IMediaFilter
  HRESULT STDMETHODCALLTYPE Stop() override;
  bool StreamingInputConnected() override;
  void DeactivateInputs() override;
  HRESULT STDMETHODCALLTYPE Pause() override;
  HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME start) override;

  // Pins: 0 the first input, 1 the output, n >= 2 input n - 1.
  int GetPinCount() override;
  TBCBasePin* GetPin(int index) override;

  // Transform-filter hooks.
  HRESULT Transform(IMediaSample* in, IMediaSample* out) override;
  HRESULT CheckInputType(const AM_MEDIA_TYPE* type) override;
  HRESULT CheckTransform(const AM_MEDIA_TYPE* in, const AM_MEDIA_TYPE* out) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* properties) override;
  HRESULT GetMediaType(int position, AM_MEDIA_TYPE* type) override;
  HRESULT StartStreaming() override;
  HRESULT CheckConnect(PIN_DIRECTION direction, IPin* pin) override;
  HRESULT CompleteConnect(PIN_DIRECTION direction, IPin* receivePin) override;
  HRESULT Receive(IMediaSample* sample) override;
  HRESULT InitializeOutputSample(IMediaSample* sample, IMediaSample** outSample) override;
  HRESULT EndOfStream() override;
  HRESULT BeginFlush() override;
  HRESULT EndFlush() override;

  // IMWAudioFilterInterface
  HRESULT STDMETHODCALLTYPE SetPCMCallBack(IMWAudioFilterPCMCallBack* callback) override;
  HRESULT STDMETHODCALLTYPE GetPCMData(void** data, int32_t* length, TMWAudioFormat** format) override;
  HRESULT STDMETHODCALLTYPE GetAudioDelay(int32_t* milliseconds) override;
  HRESULT STDMETHODCALLTYPE SetAudioDelay(int32_t milliseconds) override;
  HRESULT STDMETHODCALLTYPE GetStreamSwitching(BOOL* enabled) override;
  HRESULT STDMETHODCALLTYPE SetStreamSwitching(BOOL enabled) override;
  HRESULT STDMETHODCALLTYPE GetAudioFormat(TMWAudioFormat** format) override;
  HRESULT STDMETHODCALLTYPE GetPreAmp(uint16_t* preamp) override;
  HRESULT STDMETHODCALLTYPE SetPreAmp(uint16_t preamp) override;
  HRESULT STDMETHODCALLTYPE GetEQBands(int8_t* bands) override;
  HRESULT STDMETHODCALLTYPE SetEQBands(const int8_t* bands) override;
  HRESULT STDMETHODCALLTYPE GetEQEnabled(BOOL* enabled) override;
  HRESULT STDMETHODCALLTYPE SetEQEnabled(BOOL enabled) override;
  HRESULT STDMETHODCALLTYPE GetPCMCapture(BOOL* enabled) override;
  HRESULT STDMETHODCALLTYPE SetPCMCapture(BOOL enabled) override;

  // IAMStreamSelect
  HRESULT STDMETHODCALLTYPE Count(DWORD* streams) override;
  HRESULT STDMETHODCALLTYPE Info(long index, AM_MEDIA_TYPE** type, DWORD* flags, LCID* lcid, DWORD* group,
                                 WCHAR** name, IUnknown** object, IUnknown** unknown) override;
  HRESULT STDMETHODCALLTYPE Enable(long index, DWORD flags) override;

 private:
  friend class TMWAudioFilterInputPin;
  friend class TMWAudioFilterOutputPin;

  bool EnsurePins();
  // The active pin (the first pin until a stream is selected); null before the pins exist. No
  // lock: pins live as long as the filter and the pointer changes only while stopped.
  TMWAudioFilterInputPin* ActivePin() const;
  // An input pin completed its connection (filter lock held).
  HRESULT InputConnected(TMWAudioFilterInputPin* pin);
  // Makes pin `index` the only active one (graph stopped; takes both locks).
  void SelectStream(int index);
  // CheckInputType's verdict and, when accepted, the format the type describes.
  HRESULT DescribeInputType(const AM_MEDIA_TYPE* type, TMWAudioFormat& format);
  // A type really set (a connection, or a change delivered with a sample): checks it and, when
  // accepted, records it as the input format. CheckInputType only checks: a QueryAccept or a
  // check on an Inactive pin must not change the format being processed.
  HRESULT AcceptInputType(const AM_MEDIA_TYPE* type);
  // Records an accepted input type; calls OnFormatChange outside the format lock.
  void RecordInputType(const AM_MEDIA_TYPE& type, TMWAudioFormat format);
  // The connection type of the active pin differs from the current input type.
  bool ActiveTypeDiffers(TBCMediaType& activeType);
  void CollectStreamNames();
  Microsoft::WRL::ComPtr<IMWAudioFilterPCMCallBack> Callback();

  TBCCritSec FSwitchLock;
  std::vector<TMWAudioFilterInputPin*> FInputPins;  // [0] is the framework's FInput; owned from [1]
  std::atomic<TMWAudioFilterInputPin*> FActivePin{nullptr};  // the only pin with Inactive clear
  TMWStreamNames FNames;            // filter lock
  bool FNamesCollected = false;     // filter lock
  std::atomic<bool> FTypeChangePending{false};
  std::atomic<bool> FStreamSwitching{true};

  std::mutex FFormatLock;
  TMWPublishedFormat FFormat;       // what GetAudioFormat and the callback point at
  TMWAudioFormat FAnnounced{};      // last format given to OnFormatChange
  TBCMediaType FCurrentInputType;   // last type AcceptInputType recorded

  std::mutex FCallbackLock;
  Microsoft::WRL::ComPtr<IMWAudioFilterPCMCallBack> FCallback;

  TMWAudioSettings FSettings;
  TMWPcmHistory FHistory;

  std::atomic<bool> FRunning{false};
  std::atomic<bool> FFlushing{false};
  std::atomic<bool> FFormatChanging{false};
  std::atomic<bool> FNavigatorQuirk{false};
  std::atomic<bool> FFirstSample{true};
  // Each flush opens an epoch; the equaliser's overlap and the PCM history belong to one.
  TMWFlushEpoch FFlushEpoch;

  // Streaming thread only (under the receive lock).
  TMWAudioSettingsView FView;
  uint32_t FSampleEpoch = 0;  // the epoch the sample in progress was admitted in
  // This filter's own equaliser rather than the process-wide one, whose history two filters
  // streaming at once (two graphs) would share and corrupt. BeginFlush may not wait for the
  // receive lock: the first sample of a later flush epoch clears its history.
  std::unique_ptr<TMWEqualizer> FEqualizer;
  int64_t FLastDuration = 0;
};

}  // namespace qvr::audio
