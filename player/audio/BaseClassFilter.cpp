#include "player/audio/BaseClassFilter.h"

#include <cwchar>

#include "player/audio/BaseClassEnum.h"
#include "player/audio/BaseClassPins.h"

using Microsoft::WRL::ComPtr;

namespace qvr::audio {

TBCBaseFilter::TBCBaseFilter(const wchar_t* objectName, IUnknown* outer, TBCCritSec* lock, REFCLSID clsid)
    : TBCUnknown(objectName, outer), FLock(lock), FClsid(clsid) {}

TBCBaseFilter::~TBCBaseFilter() = default;

HRESULT TBCBaseFilter::NonDelegatingQueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (IsEqualIID(iid, IID_IBaseFilter)) return GetInterface(static_cast<IBaseFilter*>(this), object);
  if (IsEqualIID(iid, IID_IMediaFilter)) return GetInterface(static_cast<IMediaFilter*>(this), object);
  if (IsEqualIID(iid, IID_IPersist)) return GetInterface(static_cast<IPersist*>(this), object);
  if (IsEqualIID(iid, IID_IAMovieSetup)) return GetInterface(static_cast<IAMovieSetup*>(this), object);
  return TBCUnknown::NonDelegatingQueryInterface(iid, object);
}

HRESULT TBCBaseFilter::GetClassID(CLSID* clsid) {
  if (!clsid) return E_POINTER;
  *clsid = FClsid;
  return S_OK;
}

HRESULT TBCBaseFilter::Stop() {
  TBCAutoLock lock(*FLock);
  HRESULT hr = S_OK;
  if (State() != State_Stopped) {
    for (int i = 0, count = GetPinCount(); i < count; ++i) {
      TBCBasePin* pin = GetPin(i);
      if (!pin) break;
      if (pin->IsConnected()) {
        const HRESULT pin_hr = pin->Inactive();
        if (FAILED(pin_hr) && SUCCEEDED(hr)) hr = pin_hr;
      }
    }
  }
  FState = State_Stopped;
  return hr;
}

HRESULT TBCBaseFilter::Pause() {
  TBCAutoLock lock(*FLock);
  if (State() == State_Stopped) {
    for (int i = 0, count = GetPinCount(); i < count; ++i) {
      TBCBasePin* pin = GetPin(i);
      if (!pin) break;
      if (pin->IsConnected()) {
        const HRESULT hr = pin->Active();
        if (FAILED(hr)) return hr;
      }
    }
  }
  FState = State_Paused;
  return S_OK;
}

HRESULT TBCBaseFilter::Run(REFERENCE_TIME start) {
  TBCAutoLock lock(*FLock);
  if (State() == State_Stopped) {
    const HRESULT hr = Pause();
    if (FAILED(hr)) return hr;
  }
  FStart = start;
  if (State() == State_Paused) {
    for (int i = 0, count = GetPinCount(); i < count; ++i) {
      TBCBasePin* pin = GetPin(i);
      if (!pin) break;
      if (pin->IsConnected()) {
        const HRESULT hr = pin->Run(start);
        if (FAILED(hr)) return hr;
      }
    }
  }
  FState = State_Running;
  return S_OK;
}

HRESULT TBCBaseFilter::GetState(DWORD, FILTER_STATE* state) {
  if (!state) return E_POINTER;
  *state = State();
  return S_OK;
}

HRESULT TBCBaseFilter::SetSyncSource(IReferenceClock* clock) {
  TBCAutoLock lock(*FLock);
  std::lock_guard clock_lock(FClockLock);
  FClock = clock;
  return S_OK;
}

HRESULT TBCBaseFilter::GetSyncSource(IReferenceClock** clock) {
  if (!clock) return E_POINTER;
  std::lock_guard clock_lock(FClockLock);
  *clock = FClock.Get();
  if (*clock) (*clock)->AddRef();
  return S_OK;
}

HRESULT TBCBaseFilter::EnumPins(IEnumPins** pins) {
  if (!pins) return E_POINTER;
  *pins = nullptr;
  auto* enumerator = new (std::nothrow) TBCEnumPins(this, nullptr);
  if (!enumerator) return E_OUTOFMEMORY;
  return enumerator->NonDelegatingQueryInterface(IID_IEnumPins, reinterpret_cast<void**>(pins));
}

HRESULT TBCBaseFilter::FindPin(LPCWSTR id, IPin** pin) {
  if (!id || !pin) return E_POINTER;
  TBCAutoLock lock(*FLock);
  for (int i = 0, count = GetPinCount(); i < count; ++i) {
    TBCBasePin* candidate = GetPin(i);
    if (!candidate) break;
    if (candidate->Id() == id) return GetInterface(static_cast<IPin*>(candidate), reinterpret_cast<void**>(pin));
  }
  *pin = nullptr;
  return VFW_E_NOT_FOUND;
}

HRESULT TBCBaseFilter::QueryFilterInfo(FILTER_INFO* info) {
  if (!info) return E_POINTER;
  std::wcsncpy(info->achName, FName.c_str(), MAX_FILTER_NAME - 1);
  info->achName[MAX_FILTER_NAME - 1] = L'\0';
  info->pGraph = FGraph;
  if (FGraph) FGraph->AddRef();
  return S_OK;
}

HRESULT TBCBaseFilter::JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) {
  TBCAutoLock lock(*FLock);
  FGraph = graph;
  FSink = nullptr;
  if (graph) {
    // The graph holds this filter: keep its sink without a reference, as it lives as long.
    IMediaEventSink* sink = nullptr;
    if (SUCCEEDED(graph->QueryInterface(IID_IMediaEventSink, reinterpret_cast<void**>(&sink))) && sink) {
      FSink = sink;
      sink->Release();
    }
  }
  FName = name ? name : L"";
  return S_OK;
}

HRESULT TBCBaseFilter::QueryVendorInfo(LPWSTR*) { return E_NOTIMPL; }

HRESULT TBCBaseFilter::Register() { return S_FALSE; }

HRESULT TBCBaseFilter::Unregister() { return S_FALSE; }

HRESULT TBCBaseFilter::StreamTime(REFERENCE_TIME& time) {
  ComPtr<IReferenceClock> clock;
  {
    std::lock_guard clock_lock(FClockLock);
    clock = FClock;
  }
  if (!clock) return VFW_E_NO_CLOCK;
  const HRESULT hr = clock->GetTime(&time);
  if (SUCCEEDED(hr)) time -= FStart.load();
  return hr;
}

HRESULT TBCBaseFilter::NotifyEvent(long code, LONG_PTR param1, LONG_PTR param2) {
  IMediaEventSink* sink = FSink;
  if (!sink) return S_FALSE;
  if (code == EC_COMPLETE || code == EC_ERRORABORT || code == EC_USERABORT)
    param2 = reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(this));
  return sink->Notify(code, param1, param2);
}

HRESULT TBCBaseFilter::ReconnectPin(IPin* pin, const AM_MEDIA_TYPE* type) {
  if (!FGraph) return E_NOINTERFACE;
  ComPtr<IFilterGraph2> graph2;
  if (SUCCEEDED(FGraph->QueryInterface(IID_PPV_ARGS(&graph2)))) return graph2->ReconnectEx(pin, type);
  return FGraph->Reconnect(pin);
}

}  // namespace qvr::audio
