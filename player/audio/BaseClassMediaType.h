// BaseClass: media-type operations (copy, compare, free) and TBCMediaType, an AM_MEDIA_TYPE that
// owns its format block and sample-type object. Plain functions; no state.
#pragma once

#include "common/win/DirectShow.h"

namespace qvr::audio {

// Deep copy of `from` into `to` (whose fields are overwritten, not freed). E_OUTOFMEMORY leaves
// `to` empty.
HRESULT BCCopyMediaType(AM_MEDIA_TYPE& to, const AM_MEDIA_TYPE& from);
// Frees the format block and releases pUnk.
void BCFreeMediaType(AM_MEDIA_TYPE& type);
// A task-memory copy, as enumerators and IMediaSample::GetMediaType hand out; null on failure.
AM_MEDIA_TYPE* BCCreateMediaType(const AM_MEDIA_TYPE& from);
// Frees a task-memory AM_MEDIA_TYPE (null is fine).
void BCDeleteMediaType(AM_MEDIA_TYPE* type);
// Same major type, subtype, format type and format bytes.
bool BCEqualMediaTypes(const AM_MEDIA_TYPE& a, const AM_MEDIA_TYPE& b);
// `partial` may leave major type, subtype or format type GUID_NULL: those match anything.
bool BCMatchesPartial(const AM_MEDIA_TYPE& type, const AM_MEDIA_TYPE& partial);

class TBCMediaType {
 public:
  TBCMediaType();
  explicit TBCMediaType(const AM_MEDIA_TYPE& from);
  TBCMediaType(const TBCMediaType& other);
  TBCMediaType& operator=(const TBCMediaType& other);
  TBCMediaType& operator=(const AM_MEDIA_TYPE& from);
  ~TBCMediaType();

  const AM_MEDIA_TYPE& get() const { return FType; }
  AM_MEDIA_TYPE* ptr() { return &FType; }
  const AM_MEDIA_TYPE* operator->() const { return &FType; }
  bool IsValid() const { return !IsEqualGUID(FType.majortype, GUID_NULL); }
  void Clear();

 private:
  AM_MEDIA_TYPE FType;
};

}  // namespace qvr::audio
