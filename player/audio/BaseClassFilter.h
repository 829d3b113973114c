// BaseClass: TBCBaseFilter, the IBaseFilter every filter of the framework is built on: state,
// reference clock and stream time, the graph it joined and its event sink, pin enumeration.
//
// Threading: IMediaFilter and IBaseFilter calls come from the graph's thread and run under the
// filter lock the derived filter hands in. The state and the stream start are atomics and the
// clock sits behind a leaf lock of its own, so that the streaming thread may read the state and
// the stream time (CheckStreaming, StreamTime) without taking the filter lock.
#pragma once

#include <wrl/client.h>

#include <atomic>
#include <mutex>
#include <string>

#include "common/win/DirectShow.h"
#include "player/audio/BaseClassObject.h"

namespace qvr::audio {

class TBCBasePin;

class TBCBaseFilter : public TBCUnknown, public IBaseFilter, public IAMovieSetup {
 public:
  // `lock` is the filter lock; it belongs to the derived filter and outlives this object.
  TBCBaseFilter(const wchar_t* objectName, IUnknown* outer, TBCCritSec* lock, REFCLSID clsid);
  ~TBCBaseFilter() override;

  TBC_DECLARE_IUNKNOWN
  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID iid, void** object) override;

  // IPersist
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override;
  // IMediaFilter
  HRESULT STDMETHODCALLTYPE Stop() override;
  HRESULT STDMETHODCALLTYPE Pause() override;
  HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME start) override;
  HRESULT STDMETHODCALLTYPE GetState(DWORD milliseconds, FILTER_STATE* state) override;
  HRESULT STDMETHODCALLTYPE SetSyncSource(IReferenceClock* clock) override;
  HRESULT STDMETHODCALLTYPE GetSyncSource(IReferenceClock** clock) override;
  // IBaseFilter
  HRESULT STDMETHODCALLTYPE EnumPins(IEnumPins** pins) override;
  HRESULT STDMETHODCALLTYPE FindPin(LPCWSTR id, IPin** pin) override;
  HRESULT STDMETHODCALLTYPE QueryFilterInfo(FILTER_INFO* info) override;
  HRESULT STDMETHODCALLTYPE JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;
  HRESULT STDMETHODCALLTYPE QueryVendorInfo(LPWSTR* info) override;
  // IAMovieSetup: the program never registers its filters with the system (S_FALSE).
  HRESULT STDMETHODCALLTYPE Register() override;
  HRESULT STDMETHODCALLTYPE Unregister() override;

  // Pins: index 0..count-1; null beyond. The version changes whenever the pin list changes, so
  // that open enumerators report VFW_E_ENUM_OUT_OF_SYNC.
  virtual int GetPinCount() = 0;
  virtual TBCBasePin* GetPin(int index) = 0;
  LONG GetPinVersion() const { return FPinVersion.load(); }
  void IncrementPinVersion() { ++FPinVersion; }

  FILTER_STATE State() const { return FState.load(); }
  bool IsStopped() const { return State() == State_Stopped; }
  bool IsActive() const { return State() != State_Stopped; }
  // Reference-clock time minus the stream start; VFW_E_NO_CLOCK without a clock.
  HRESULT StreamTime(REFERENCE_TIME& time);
  // To the graph's event sink (S_FALSE when the filter is in no graph).
  HRESULT NotifyEvent(long code, LONG_PTR param1, LONG_PTR param2);
  // The graph the filter joined (not counted: the graph owns its filters); null outside one.
  IFilterGraph* GetFilterGraph() const { return FGraph; }
  // Asks the graph to reconnect a pin of ours (IFilterGraph2::ReconnectEx when there is one).
  HRESULT ReconnectPin(IPin* pin, const AM_MEDIA_TYPE* type);
  TBCCritSec* FilterLock() const { return FLock; }

 protected:
  TBCCritSec* const FLock;
  std::atomic<FILTER_STATE> FState{State_Stopped};
  std::atomic<REFERENCE_TIME> FStart{0};

 private:
  const CLSID FClsid;
  std::mutex FClockLock;  // leaf: guards FClock only
  Microsoft::WRL::ComPtr<IReferenceClock> FClock;
  std::wstring FName;
  IFilterGraph* FGraph = nullptr;      // not counted
  IMediaEventSink* FSink = nullptr;    // not counted, as the graph's own interface
  std::atomic<LONG> FPinVersion{1};
};

}  // namespace qvr::audio
