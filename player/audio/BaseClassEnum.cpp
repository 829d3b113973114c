#include "player/audio/BaseClassEnum.h"

#include <new>

#include "player/audio/BaseClassFilter.h"
#include "player/audio/BaseClassMediaType.h"
#include "player/audio/BaseClassPins.h"

namespace qvr::audio {

// ---- TBCEnumPins --------------------------------------------------------------------------------

TBCEnumPins::TBCEnumPins(TBCBaseFilter* filter, const TBCEnumPins* other)
    : TBCUnknown(L"Pin Enumerator", nullptr), FFilter(filter) {
  FFilter->AddRef();
  if (other) {
    FPosition = other->FPosition;
    FPinCount = other->FPinCount;
    FVersion = other->FVersion;
  } else {
    FPinCount = FFilter->GetPinCount();
    FVersion = FFilter->GetPinVersion();
  }
}

TBCEnumPins::~TBCEnumPins() { FFilter->Release(); }

HRESULT TBCEnumPins::NonDelegatingQueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (IsEqualIID(iid, IID_IEnumPins)) return GetInterface(static_cast<IEnumPins*>(this), object);
  return TBCUnknown::NonDelegatingQueryInterface(iid, object);
}

bool TBCEnumPins::OutOfSync() const { return FVersion != FFilter->GetPinVersion(); }

HRESULT TBCEnumPins::Next(ULONG count, IPin** pins, ULONG* fetched) {
  if (!pins) return E_POINTER;
  if (!fetched && count > 1) return E_INVALIDARG;
  if (fetched) *fetched = 0;
  if (OutOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;
  ULONG n = 0;
  while (n < count && FPosition < FPinCount) {
    TBCBasePin* pin = FFilter->GetPin(FPosition++);
    if (!pin) break;
    pins[n] = pin;
    pins[n]->AddRef();
    ++n;
  }
  if (fetched) *fetched = n;
  return n == count ? S_OK : S_FALSE;
}

HRESULT TBCEnumPins::Skip(ULONG count) {
  if (OutOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;
  if (count > static_cast<ULONG>(FPinCount - FPosition)) return S_FALSE;
  FPosition += static_cast<int>(count);
  return S_OK;
}

HRESULT TBCEnumPins::Reset() {
  FVersion = FFilter->GetPinVersion();
  FPinCount = FFilter->GetPinCount();
  FPosition = 0;
  return S_OK;
}

HRESULT TBCEnumPins::Clone(IEnumPins** clone) {
  if (!clone) return E_POINTER;
  *clone = nullptr;
  if (OutOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;
  auto* copy = new (std::nothrow) TBCEnumPins(FFilter, this);
  if (!copy) return E_OUTOFMEMORY;
  return copy->NonDelegatingQueryInterface(IID_IEnumPins, reinterpret_cast<void**>(clone));
}

// ---- TBCEnumMediaTypes --------------------------------------------------------------------------

TBCEnumMediaTypes::TBCEnumMediaTypes(TBCBasePin* pin, const TBCEnumMediaTypes* other)
    : TBCUnknown(L"Media Type Enumerator", nullptr), FPin(pin) {
  FPin->AddRef();
  if (other) {
    FPosition = other->FPosition;
    FVersion = other->FVersion;
  } else {
    FVersion = FPin->GetMediaTypeVersion();
  }
}

TBCEnumMediaTypes::~TBCEnumMediaTypes() { FPin->Release(); }

HRESULT TBCEnumMediaTypes::NonDelegatingQueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (IsEqualIID(iid, IID_IEnumMediaTypes)) return GetInterface(static_cast<IEnumMediaTypes*>(this), object);
  return TBCUnknown::NonDelegatingQueryInterface(iid, object);
}

bool TBCEnumMediaTypes::OutOfSync() const { return FVersion != FPin->GetMediaTypeVersion(); }

HRESULT TBCEnumMediaTypes::Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) {
  if (!types) return E_POINTER;
  if (!fetched && count > 1) return E_INVALIDARG;
  if (fetched) *fetched = 0;
  if (OutOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;
  ULONG n = 0;
  while (n < count) {
    TBCMediaType type;
    if (FPin->GetMediaType(FPosition, type.ptr()) != S_OK) break;
    ++FPosition;
    types[n] = BCCreateMediaType(type.get());
    if (!types[n]) break;
    ++n;
  }
  if (fetched) *fetched = n;
  return n == count ? S_OK : S_FALSE;
}

HRESULT TBCEnumMediaTypes::Skip(ULONG count) {
  if (OutOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;
  if (count == 0) return S_OK;
  FPosition += static_cast<int>(count);
  TBCMediaType last;
  return FPin->GetMediaType(FPosition - 1, last.ptr()) == S_OK ? S_OK : S_FALSE;
}

HRESULT TBCEnumMediaTypes::Reset() {
  FPosition = 0;
  FVersion = FPin->GetMediaTypeVersion();
  return S_OK;
}

HRESULT TBCEnumMediaTypes::Clone(IEnumMediaTypes** clone) {
  if (!clone) return E_POINTER;
  *clone = nullptr;
  if (OutOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;
  auto* copy = new (std::nothrow) TBCEnumMediaTypes(FPin, this);
  if (!copy) return E_OUTOFMEMORY;
  return copy->NonDelegatingQueryInterface(IID_IEnumMediaTypes, reinterpret_cast<void**>(clone));
}

}  // namespace qvr::audio
