// Owner of an AM_MEDIA_TYPE allocated by DirectShow (enumerators, ConnectionMediaType): frees the
// format block and the sample-type object on scope exit, as the media-type contract requires.
#pragma once

#include "common/win/DirectShow.h"

#include <utility>

namespace qvr {

inline void free_media_type_fields(AM_MEDIA_TYPE& mt) noexcept {
  if (mt.cbFormat != 0) ::CoTaskMemFree(mt.pbFormat);
  mt.cbFormat = 0;
  mt.pbFormat = nullptr;
  if (mt.pUnk) {
    mt.pUnk->Release();
    mt.pUnk = nullptr;
  }
}

// Owns a heap AM_MEDIA_TYPE* (as IEnumMediaTypes::Next hands out).
class unique_media_type {
 public:
  unique_media_type() noexcept = default;
  explicit unique_media_type(AM_MEDIA_TYPE* mt) noexcept : mt_(mt) {}
  unique_media_type(const unique_media_type&) = delete;
  unique_media_type& operator=(const unique_media_type&) = delete;
  unique_media_type(unique_media_type&& o) noexcept : mt_(std::exchange(o.mt_, nullptr)) {}
  unique_media_type& operator=(unique_media_type&& o) noexcept {
    if (this != &o) reset(std::exchange(o.mt_, nullptr));
    return *this;
  }
  ~unique_media_type() { reset(); }

  AM_MEDIA_TYPE* get() const noexcept { return mt_; }
  AM_MEDIA_TYPE* operator->() const noexcept { return mt_; }
  AM_MEDIA_TYPE** put() noexcept {
    reset();
    return &mt_;
  }
  void reset(AM_MEDIA_TYPE* mt = nullptr) noexcept {
    if (mt_) {
      free_media_type_fields(*mt_);
      ::CoTaskMemFree(mt_);
    }
    mt_ = mt;
  }

 private:
  AM_MEDIA_TYPE* mt_ = nullptr;
};

// Owns the fields of an AM_MEDIA_TYPE that lives on the stack (ConnectionMediaType).
class scoped_media_type_fields {
 public:
  scoped_media_type_fields() noexcept : mt_{} {}
  scoped_media_type_fields(const scoped_media_type_fields&) = delete;
  scoped_media_type_fields& operator=(const scoped_media_type_fields&) = delete;
  ~scoped_media_type_fields() { free_media_type_fields(mt_); }
  AM_MEDIA_TYPE* get() noexcept { return &mt_; }
  const AM_MEDIA_TYPE& operator*() const noexcept { return mt_; }

 private:
  AM_MEDIA_TYPE mt_;
};

}  // namespace qvr
