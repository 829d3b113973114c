#include "player/audio/BaseClassMediaType.h"

#include <cstring>

namespace qvr::audio {

HRESULT BCCopyMediaType(AM_MEDIA_TYPE& to, const AM_MEDIA_TYPE& from) {
  to = from;
  to.pbFormat = nullptr;
  if (from.cbFormat != 0 && from.pbFormat) {
    to.pbFormat = static_cast<BYTE*>(::CoTaskMemAlloc(from.cbFormat));
    if (!to.pbFormat) {
      to.cbFormat = 0;
      to.pUnk = nullptr;
      return E_OUTOFMEMORY;
    }
    std::memcpy(to.pbFormat, from.pbFormat, from.cbFormat);
  } else {
    to.cbFormat = 0;
  }
  if (to.pUnk) to.pUnk->AddRef();
  return S_OK;
}

void BCFreeMediaType(AM_MEDIA_TYPE& type) {
  if (type.pbFormat) ::CoTaskMemFree(type.pbFormat);
  type.pbFormat = nullptr;
  type.cbFormat = 0;
  if (type.pUnk) {
    type.pUnk->Release();
    type.pUnk = nullptr;
  }
}

AM_MEDIA_TYPE* BCCreateMediaType(const AM_MEDIA_TYPE& from) {
  auto* type = static_cast<AM_MEDIA_TYPE*>(::CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
  if (!type) return nullptr;
  if (FAILED(BCCopyMediaType(*type, from))) {
    ::CoTaskMemFree(type);
    return nullptr;
  }
  return type;
}

void BCDeleteMediaType(AM_MEDIA_TYPE* type) {
  if (!type) return;
  BCFreeMediaType(*type);
  ::CoTaskMemFree(type);
}

bool BCEqualMediaTypes(const AM_MEDIA_TYPE& a, const AM_MEDIA_TYPE& b) {
  if (!IsEqualGUID(a.majortype, b.majortype) || !IsEqualGUID(a.subtype, b.subtype) ||
      !IsEqualGUID(a.formattype, b.formattype) || a.cbFormat != b.cbFormat)
    return false;
  return a.cbFormat == 0 || (a.pbFormat && b.pbFormat && std::memcmp(a.pbFormat, b.pbFormat, a.cbFormat) == 0);
}

bool BCMatchesPartial(const AM_MEDIA_TYPE& type, const AM_MEDIA_TYPE& partial) {
  if (!IsEqualGUID(partial.majortype, GUID_NULL) && !IsEqualGUID(partial.majortype, type.majortype)) return false;
  if (!IsEqualGUID(partial.subtype, GUID_NULL) && !IsEqualGUID(partial.subtype, type.subtype)) return false;
  if (!IsEqualGUID(partial.formattype, GUID_NULL)) {
    if (!IsEqualGUID(partial.formattype, type.formattype) || partial.cbFormat != type.cbFormat) return false;
    if (type.cbFormat != 0 && (!type.pbFormat || !partial.pbFormat ||
                               std::memcmp(type.pbFormat, partial.pbFormat, type.cbFormat) != 0))
      return false;
  }
  return true;
}

TBCMediaType::TBCMediaType() : FType{} {}

TBCMediaType::TBCMediaType(const AM_MEDIA_TYPE& from) : FType{} { BCCopyMediaType(FType, from); }

TBCMediaType::TBCMediaType(const TBCMediaType& other) : FType{} { BCCopyMediaType(FType, other.FType); }

TBCMediaType& TBCMediaType::operator=(const TBCMediaType& other) {
  if (this != &other) *this = other.FType;
  return *this;
}

TBCMediaType& TBCMediaType::operator=(const AM_MEDIA_TYPE& from) {
  if (&from == &FType) return *this;
  AM_MEDIA_TYPE copy{};
  BCCopyMediaType(copy, from);
  BCFreeMediaType(FType);
  FType = copy;
  return *this;
}

TBCMediaType::~TBCMediaType() { BCFreeMediaType(FType); }

void TBCMediaType::Clear() {
  BCFreeMediaType(FType);
  FType = {};
}

}  // namespace qvr::audio
