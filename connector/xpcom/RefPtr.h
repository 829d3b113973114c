// An owning pointer to an XPCOM interface: releases what it holds; `put()` serves out
// parameters that hand over an AddRef'ed pointer. Move-only. Portable.
#pragma once

#include <utility>

namespace qvr::xpcom {

template <typename T>
class RefPtr {
 public:
  RefPtr() noexcept = default;
  RefPtr(const RefPtr&) = delete;
  RefPtr& operator=(const RefPtr&) = delete;
  RefPtr(RefPtr&& other) noexcept : value_(other.detach()) {}
  RefPtr& operator=(RefPtr&& other) noexcept {
    if (this != &other) reset(other.detach());
    return *this;
  }
  ~RefPtr() { reset(); }

  T* get() const noexcept { return value_; }
  T* operator->() const noexcept { return value_; }
  explicit operator bool() const noexcept { return value_ != nullptr; }

  T** put() noexcept {
    reset();
    return &value_;
  }
  void** put_void() noexcept { return reinterpret_cast<void**>(put()); }
  T* detach() noexcept { return std::exchange(value_, nullptr); }
  // Takes over a reference the caller already owns.
  void reset(T* value = nullptr) noexcept {
    if (T* old = std::exchange(value_, value)) old->Release();
  }

 private:
  T* value_ = nullptr;
};

}  // namespace qvr::xpcom
