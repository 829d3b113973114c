#include "player/audio/BaseClassPins.h"

#include <cstring>
#include <cwchar>
#include <new>

#include "player/audio/BaseClassEnum.h"

using Microsoft::WRL::ComPtr;

namespace qvr::audio {
namespace {

// Connection refusals that say nothing more than "not this type".
bool IsPlainRefusal(HRESULT hr) { return hr == E_FAIL || hr == E_INVALIDARG || hr == VFW_E_TYPE_NOT_ACCEPTED; }

}  // namespace

// ---- TBCBasePin ---------------------------------------------------------------------------------

TBCBasePin::TBCBasePin(const wchar_t* objectName, TBCBaseFilter* filter, TBCCritSec* lock, HRESULT*,
                       const wchar_t* name, PIN_DIRECTION direction, const wchar_t* id)
    : TBCUnknown(objectName, nullptr),
      FFilter(filter),
      FLock(lock),
      FDirection(direction),
      FName(name ? name : L""),
      FId(id ? id : FName) {}

TBCBasePin::~TBCBasePin() = default;

HRESULT TBCBasePin::NonDelegatingQueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (IsEqualIID(iid, IID_IPin)) return GetInterface(static_cast<IPin*>(this), object);
  if (IsEqualIID(iid, IID_IQualityControl)) return GetInterface(static_cast<IQualityControl*>(this), object);
  return TBCUnknown::NonDelegatingQueryInterface(iid, object);
}

// A pin lives as long as its filter: its references are the filter's.
ULONG TBCBasePin::NonDelegatingAddRef() { return FFilter->AddRef(); }
ULONG TBCBasePin::NonDelegatingRelease() { return FFilter->Release(); }

HRESULT TBCBasePin::Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) {
  if (!receivePin) return E_POINTER;
  TBCAutoLock lock(*FLock);
  if (IsConnected()) return VFW_E_ALREADY_CONNECTED;
  if (!IsStopped()) return VFW_E_NOT_STOPPED;
  HRESULT hr = CheckConnect(receivePin);
  if (FAILED(hr)) {
    BreakConnect();
    return hr;
  }
  hr = AgreeMediaType(receivePin, type);
  if (FAILED(hr)) BreakConnect();
  return hr;
}

HRESULT TBCBasePin::AgreeMediaType(IPin* receivePin, const AM_MEDIA_TYPE* type) {
  // A complete type is tried as it is.
  if (type && !IsEqualGUID(type->majortype, GUID_NULL) && !IsEqualGUID(type->subtype, GUID_NULL) &&
      !IsEqualGUID(type->formattype, GUID_NULL))
    return AttemptConnection(receivePin, type);
  HRESULT failure = VFW_E_NO_ACCEPTABLE_TYPES;
  for (int round = 0; round < 2; ++round) {
    const bool theirs = (round == 0) != FTryMyTypesFirst;
    ComPtr<IEnumMediaTypes> types;
    const HRESULT enum_hr = theirs ? receivePin->EnumMediaTypes(&types) : EnumMediaTypes(&types);
    if (FAILED(enum_hr) || !types) continue;
    const HRESULT hr = TryMediaTypes(receivePin, type, types.Get());
    if (SUCCEEDED(hr)) return S_OK;
    if (!IsPlainRefusal(hr) && hr != VFW_E_NO_ACCEPTABLE_TYPES) failure = hr;
  }
  return failure;
}

HRESULT TBCBasePin::TryMediaTypes(IPin* receivePin, const AM_MEDIA_TYPE* type, IEnumMediaTypes* types) {
  HRESULT failure = S_OK;
  for (;;) {
    AM_MEDIA_TYPE* candidate = nullptr;
    ULONG fetched = 0;
    if (types->Next(1, &candidate, &fetched) != S_OK || !candidate) {
      BCDeleteMediaType(candidate);
      return failure == S_OK ? VFW_E_NO_ACCEPTABLE_TYPES : failure;
    }
    HRESULT hr = VFW_E_NO_ACCEPTABLE_TYPES;
    if (!type || BCMatchesPartial(*candidate, *type)) {
      hr = AttemptConnection(receivePin, candidate);
      if (FAILED(hr) && SUCCEEDED(failure) && !IsPlainRefusal(hr)) failure = hr;
    }
    BCDeleteMediaType(candidate);
    if (hr == S_OK) return S_OK;
  }
}

HRESULT TBCBasePin::AttemptConnection(IPin* receivePin, const AM_MEDIA_TYPE* type) {
  HRESULT hr = CheckMediaType(type);
  if (hr == S_OK) {
    FConnected = receivePin;
    hr = SetMediaType(type);
    if (SUCCEEDED(hr)) {
      hr = receivePin->ReceiveConnection(static_cast<IPin*>(this), type);
      if (SUCCEEDED(hr)) {
        hr = CompleteConnect(receivePin);
        if (SUCCEEDED(hr)) return hr;
        receivePin->Disconnect();
      }
    }
  } else if (SUCCEEDED(hr) || hr == E_FAIL || hr == E_INVALIDARG) {
    hr = VFW_E_TYPE_NOT_ACCEPTED;
  }
  FConnected.Reset();
  FMt.Clear();
  return hr;
}

HRESULT TBCBasePin::ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) {
  if (!connector || !type) return E_POINTER;
  TBCAutoLock lock(*FLock);
  if (IsConnected()) return VFW_E_ALREADY_CONNECTED;
  if (!IsStopped()) return VFW_E_NOT_STOPPED;
  HRESULT hr = CheckConnect(connector);
  if (FAILED(hr)) {
    BreakConnect();
    return hr;
  }
  hr = CheckMediaType(type);
  if (hr != S_OK) {
    BreakConnect();
    return SUCCEEDED(hr) || hr == E_FAIL || hr == E_INVALIDARG ? VFW_E_TYPE_NOT_ACCEPTED : hr;
  }
  FConnected = connector;
  hr = SetMediaType(type);
  if (SUCCEEDED(hr)) {
    hr = CompleteConnect(connector);
    if (SUCCEEDED(hr)) return S_OK;
  }
  FConnected.Reset();
  FMt.Clear();
  BreakConnect();
  return hr;
}

HRESULT TBCBasePin::Disconnect() {
  TBCAutoLock lock(*FLock);
  if (!IsStopped()) return VFW_E_NOT_STOPPED;
  return DisconnectInternal();
}

HRESULT TBCBasePin::DisconnectInternal() {
  if (!IsConnected()) return S_FALSE;
  const HRESULT hr = BreakConnect();
  if (FAILED(hr)) return hr;
  FConnected.Reset();
  FMt.Clear();
  return S_OK;
}

HRESULT TBCBasePin::ConnectedTo(IPin** pin) {
  if (!pin) return E_POINTER;
  // No filter lock: a downstream filter may ask (through the position pass-through) from the
  // streaming thread, which must never wait for it. Connections change only while stopped.
  if (!IsConnected()) {
    *pin = nullptr;
    return VFW_E_NOT_CONNECTED;
  }
  return GetInterface(FConnected.Get(), reinterpret_cast<void**>(pin));
}

HRESULT TBCBasePin::ConnectionMediaType(AM_MEDIA_TYPE* type) {
  if (!type) return E_POINTER;
  TBCAutoLock lock(*FLock);
  if (!IsConnected()) {
    std::memset(type, 0, sizeof *type);
    return VFW_E_NOT_CONNECTED;
  }
  return BCCopyMediaType(*type, FMt.get());
}

HRESULT TBCBasePin::QueryPinInfo(PIN_INFO* info) {
  if (!info) return E_POINTER;
  info->pFilter = FFilter;
  FFilter->AddRef();
  std::wcsncpy(info->achName, FName.c_str(), MAX_PIN_NAME - 1);
  info->achName[MAX_PIN_NAME - 1] = L'\0';
  info->dir = FDirection;
  return S_OK;
}

HRESULT TBCBasePin::QueryDirection(PIN_DIRECTION* direction) {
  if (!direction) return E_POINTER;
  *direction = FDirection;
  return S_OK;
}

HRESULT TBCBasePin::QueryId(LPWSTR* id) {
  if (!id) return E_POINTER;
  const size_t bytes = (FId.size() + 1) * sizeof(wchar_t);
  *id = static_cast<LPWSTR>(::CoTaskMemAlloc(bytes));
  if (!*id) return E_OUTOFMEMORY;
  std::memcpy(*id, FId.c_str(), bytes);
  return S_OK;
}

HRESULT TBCBasePin::QueryAccept(const AM_MEDIA_TYPE* type) {
  if (!type) return E_POINTER;
  const HRESULT hr = CheckMediaType(type);
  return FAILED(hr) ? S_FALSE : hr;
}

HRESULT TBCBasePin::EnumMediaTypes(IEnumMediaTypes** types) {
  if (!types) return E_POINTER;
  *types = nullptr;
  auto* enumerator = new (std::nothrow) TBCEnumMediaTypes(this, nullptr);
  if (!enumerator) return E_OUTOFMEMORY;
  return enumerator->NonDelegatingQueryInterface(IID_IEnumMediaTypes, reinterpret_cast<void**>(types));
}

HRESULT TBCBasePin::QueryInternalConnections(IPin**, ULONG*) { return E_NOTIMPL; }

HRESULT TBCBasePin::EndOfStream() { return S_OK; }

HRESULT TBCBasePin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
  FSegmentStart = start;
  FSegmentStop = stop;
  FSegmentRate = rate;
  return S_OK;
}

HRESULT TBCBasePin::SetSink(IQualityControl* sink) {
  TBCAutoLock lock(*FLock);
  FQualitySink = sink;
  return S_OK;
}

HRESULT TBCBasePin::SetMediaType(const AM_MEDIA_TYPE* type) {
  if (!type) return E_POINTER;
  FMt = *type;
  return S_OK;
}

HRESULT TBCBasePin::CheckConnect(IPin* pin) {
  PIN_DIRECTION direction;
  const HRESULT hr = pin->QueryDirection(&direction);
  if (FAILED(hr)) return hr;
  return direction == FDirection ? VFW_E_INVALID_DIRECTION : S_OK;
}

HRESULT TBCBasePin::BreakConnect() { return S_OK; }

HRESULT TBCBasePin::CompleteConnect(IPin*) { return S_OK; }

HRESULT TBCBasePin::GetMediaType(int, AM_MEDIA_TYPE*) { return E_UNEXPECTED; }

// ---- TBCBaseInputPin ----------------------------------------------------------------------------

TBCBaseInputPin::TBCBaseInputPin(const wchar_t* objectName, TBCBaseFilter* filter, TBCCritSec* lock, HRESULT* hr,
                                 const wchar_t* name, const wchar_t* id)
    : TBCBasePin(objectName, filter, lock, hr, name, PINDIR_INPUT, id) {}

TBCBaseInputPin::~TBCBaseInputPin() = default;

HRESULT TBCBaseInputPin::NonDelegatingQueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (IsEqualIID(iid, IID_IMemInputPin)) return GetInterface(static_cast<IMemInputPin*>(this), object);
  return TBCBasePin::NonDelegatingQueryInterface(iid, object);
}

HRESULT TBCBaseInputPin::GetAllocator(IMemAllocator** allocator) {
  if (!allocator) return E_POINTER;
  TBCAutoLock lock(*FLock);
  if (!FAllocator) {
    const HRESULT hr = ::CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&FAllocator));
    if (FAILED(hr)) {
      *allocator = nullptr;
      return hr;
    }
  }
  return GetInterface(FAllocator.Get(), reinterpret_cast<void**>(allocator));
}

HRESULT TBCBaseInputPin::NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) {
  if (!allocator) return E_POINTER;
  TBCAutoLock lock(*FLock);
  FAllocator = allocator;
  FReadOnly = readOnly != FALSE;
  return S_OK;
}

HRESULT TBCBaseInputPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES*) { return E_NOTIMPL; }

HRESULT TBCBaseInputPin::CheckStreaming() {
  if (IsStopped()) return VFW_E_WRONG_STATE;
  if (FFlushing.load()) return S_FALSE;
  if (FRuntimeError.load()) return VFW_E_RUNTIME_ERROR;
  return S_OK;
}

HRESULT TBCBaseInputPin::Receive(IMediaSample* sample) {
  if (!sample) return E_POINTER;
  const HRESULT hr = CheckStreaming();
  if (hr != S_OK) return hr;

  FSampleType.Clear();
  ComPtr<IMediaSample2> sample2;
  if (SUCCEEDED(sample->QueryInterface(IID_PPV_ARGS(&sample2))) &&
      SUCCEEDED(sample2->GetProperties(sizeof FSampleProps, reinterpret_cast<BYTE*>(&FSampleProps)))) {
    // The type pointer stays the sample's own; it lives as long as the sample.
  } else {
    FSampleProps = {};
    FSampleProps.cbData = sizeof FSampleProps;
    FSampleProps.dwStreamId = AM_STREAM_MEDIA;
    if (SUCCEEDED(sample->GetTime(&FSampleProps.tStart, &FSampleProps.tStop))) {
      FSampleProps.dwSampleFlags |= AM_SAMPLE_TIMEVALID;
      if (sample->GetTime(&FSampleProps.tStart, &FSampleProps.tStop) == S_OK)
        FSampleProps.dwSampleFlags |= AM_SAMPLE_STOPVALID;
    }
    if (sample->IsSyncPoint() == S_OK) FSampleProps.dwSampleFlags |= AM_SAMPLE_SPLICEPOINT;
    if (sample->IsPreroll() == S_OK) FSampleProps.dwSampleFlags |= AM_SAMPLE_PREROLL;
    if (sample->IsDiscontinuity() == S_OK) FSampleProps.dwSampleFlags |= AM_SAMPLE_DATADISCONTINUITY;
    AM_MEDIA_TYPE* type = nullptr;
    if (sample->GetMediaType(&type) == S_OK && type) {
      FSampleType = *type;
      FSampleProps.pMediaType = FSampleType.ptr();
      FSampleProps.dwSampleFlags |= AM_SAMPLE_TYPECHANGED;
    }
    BCDeleteMediaType(type);
    sample->GetPointer(&FSampleProps.pbBuffer);
    FSampleProps.lActual = sample->GetActualDataLength();
    FSampleProps.cbBuffer = sample->GetSize();
  }
  if (FSampleProps.pMediaType) FSampleProps.dwSampleFlags |= AM_SAMPLE_TYPECHANGED;

  // A type change on the sample must be one this pin accepts.
  if ((FSampleProps.dwSampleFlags & AM_SAMPLE_TYPECHANGED) && FSampleProps.pMediaType &&
      CheckMediaType(FSampleProps.pMediaType) != S_OK) {
    EndOfStream();
    FFilter->NotifyEvent(EC_ERRORABORT, VFW_E_TYPE_NOT_ACCEPTED, 0);
    FRuntimeError = true;
    return VFW_E_INVALIDMEDIATYPE;
  }
  return S_OK;
}

HRESULT TBCBaseInputPin::ReceiveMultiple(IMediaSample** samples, long count, long* processed) {
  if (!samples || !processed) return E_POINTER;
  HRESULT hr = S_OK;
  *processed = 0;
  while (count-- > 0) {
    hr = Receive(samples[*processed]);
    if (hr != S_OK) break;
    ++*processed;
  }
  return hr;
}

HRESULT TBCBaseInputPin::ReceiveCanBlock() { return S_OK; }

HRESULT TBCBaseInputPin::BeginFlush() {
  TBCAutoLock lock(*FLock);
  FFlushing = true;
  return S_OK;
}

HRESULT TBCBaseInputPin::EndFlush() {
  TBCAutoLock lock(*FLock);
  FFlushing = false;
  FRuntimeError = false;
  return S_OK;
}

HRESULT TBCBaseInputPin::Notify(IBaseFilter* sender, Quality) { return sender ? S_OK : E_POINTER; }

HRESULT TBCBaseInputPin::BreakConnect() {
  if (FAllocator) {
    FAllocator->Decommit();
    FAllocator.Reset();
  }
  return S_OK;
}

HRESULT TBCBaseInputPin::Inactive() {
  FRuntimeError = false;
  if (!FAllocator) return VFW_E_NO_ALLOCATOR;
  FFlushing = false;
  return FAllocator->Decommit();
}

HRESULT TBCBaseInputPin::PassNotify(const Quality& quality) {
  if (FQualitySink) return FQualitySink->Notify(FFilter, quality);
  if (!FConnected) return VFW_E_NOT_FOUND;
  ComPtr<IQualityControl> upstream;
  if (FAILED(FConnected.As(&upstream))) return VFW_E_NOT_FOUND;
  return upstream->Notify(FFilter, quality);
}

// ---- TBCBaseOutputPin ---------------------------------------------------------------------------

TBCBaseOutputPin::TBCBaseOutputPin(const wchar_t* objectName, TBCBaseFilter* filter, TBCCritSec* lock, HRESULT* hr,
                                   const wchar_t* name, const wchar_t* id)
    : TBCBasePin(objectName, filter, lock, hr, name, PINDIR_OUTPUT, id) {}

TBCBaseOutputPin::~TBCBaseOutputPin() = default;

HRESULT TBCBaseOutputPin::CheckConnect(IPin* pin) {
  HRESULT hr = TBCBasePin::CheckConnect(pin);
  if (FAILED(hr)) return hr;
  hr = pin->QueryInterface(IID_PPV_ARGS(&FInputPin));
  return FAILED(hr) ? E_NOINTERFACE : S_OK;
}

HRESULT TBCBaseOutputPin::BreakConnect() {
  if (FAllocator) {
    FAllocator->Decommit();
    FAllocator.Reset();
  }
  FInputPin.Reset();
  return S_OK;
}

HRESULT TBCBaseOutputPin::CompleteConnect(IPin*) {
  FAllocator.Reset();
  return DecideAllocator(FInputPin.Get(), FAllocator.ReleaseAndGetAddressOf());
}

HRESULT TBCBaseOutputPin::Active() {
  if (!FAllocator) return VFW_E_NO_ALLOCATOR;
  return FAllocator->Commit();
}

HRESULT TBCBaseOutputPin::Inactive() {
  if (!FAllocator) return VFW_E_NO_ALLOCATOR;
  return FAllocator->Decommit();
}

HRESULT TBCBaseOutputPin::GetDeliveryBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* stop,
                                            DWORD flags) {
  if (!sample) return E_POINTER;
  *sample = nullptr;
  if (!FAllocator) return E_NOINTERFACE;
  return FAllocator->GetBuffer(sample, start, stop, flags);
}

HRESULT TBCBaseOutputPin::Deliver(IMediaSample* sample) {
  if (!FInputPin) return VFW_E_NOT_CONNECTED;
  return FInputPin->Receive(sample);
}

HRESULT TBCBaseOutputPin::DeliverEndOfStream() {
  if (!FConnected) return VFW_E_NOT_CONNECTED;
  return FConnected->EndOfStream();
}

HRESULT TBCBaseOutputPin::DeliverBeginFlush() {
  if (!FConnected) return VFW_E_NOT_CONNECTED;
  return FConnected->BeginFlush();
}

HRESULT TBCBaseOutputPin::DeliverEndFlush() {
  if (!FConnected) return VFW_E_NOT_CONNECTED;
  return FConnected->EndFlush();
}

HRESULT TBCBaseOutputPin::DeliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
  if (!FConnected) return VFW_E_NOT_CONNECTED;
  return FConnected->NewSegment(start, stop, rate);
}

}  // namespace qvr::audio
