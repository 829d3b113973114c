// Move-only owners for Win32 handles, registry keys, modules, GDI objects, COM task memory,
// DirectShow media types, COM apartments and locks. Copying is deleted so that no two owners can
// close the same handle; a handle that is null (or INVALID_HANDLE_VALUE where the API uses it as
// "none") is simply not closed.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <utility>

namespace qvr {

// Traits: `using pointer = ...;`, `static pointer invalid()`, `static void close(pointer)`.
template <typename Traits>
class unique_resource {
 public:
  using pointer = typename Traits::pointer;

  unique_resource() noexcept = default;
  explicit unique_resource(pointer value) noexcept : value_(value) {}
  unique_resource(const unique_resource&) = delete;
  unique_resource& operator=(const unique_resource&) = delete;
  unique_resource(unique_resource&& other) noexcept : value_(other.release()) {}
  unique_resource& operator=(unique_resource&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~unique_resource() { reset(); }

  pointer get() const noexcept { return value_; }
  explicit operator bool() const noexcept { return value_ != Traits::invalid(); }

  // Closes the current value; for out-parameters: `RegOpenKeyExW(..., key.put())`.
  pointer* put() noexcept {
    reset();
    return &value_;
  }
  pointer release() noexcept { return std::exchange(value_, Traits::invalid()); }
  void reset(pointer value = Traits::invalid()) noexcept {
    pointer old = std::exchange(value_, value);
    if (old != Traits::invalid()) Traits::close(old);
  }

 private:
  pointer value_ = Traits::invalid();
};

namespace resource_traits {
template <typename T, T Invalid, auto Close>
struct simple {
  using pointer = T;
  static pointer invalid() noexcept { return Invalid; }
  static void close(pointer value) noexcept { Close(value); }
};
struct handle {
  using pointer = HANDLE;
  static pointer invalid() noexcept { return nullptr; }
  static void close(pointer value) noexcept { ::CloseHandle(value); }
};
struct file_handle {  // CreateFile and friends report failure as INVALID_HANDLE_VALUE
  using pointer = HANDLE;
  static pointer invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void close(pointer value) noexcept { ::CloseHandle(value); }
};
struct find_handle {
  using pointer = HANDLE;
  static pointer invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void close(pointer value) noexcept { ::FindClose(value); }
};
struct hkey {
  using pointer = HKEY;
  static pointer invalid() noexcept { return nullptr; }
  static void close(pointer value) noexcept { ::RegCloseKey(value); }
};
struct hmodule {
  using pointer = HMODULE;
  static pointer invalid() noexcept { return nullptr; }
  static void close(pointer value) noexcept { ::FreeLibrary(value); }
};
struct gdi_object {
  using pointer = HGDIOBJ;
  static pointer invalid() noexcept { return nullptr; }
  static void close(pointer value) noexcept { ::DeleteObject(value); }
};
struct window_dc {
  using pointer = HDC;
  static pointer invalid() noexcept { return nullptr; }
  static void close(pointer value) noexcept { ::DeleteDC(value); }
};
struct cotaskmem {
  using pointer = void*;
  static pointer invalid() noexcept { return nullptr; }
  static void close(pointer value) noexcept { ::CoTaskMemFree(value); }
};
}  // namespace resource_traits

using unique_handle = unique_resource<resource_traits::handle>;
using unique_file = unique_resource<resource_traits::file_handle>;
using unique_find = unique_resource<resource_traits::find_handle>;
using unique_hkey = unique_resource<resource_traits::hkey>;
using unique_hmodule = unique_resource<resource_traits::hmodule>;
using unique_gdi = unique_resource<resource_traits::gdi_object>;
using unique_mem_dc = unique_resource<resource_traits::window_dc>;
using unique_cotaskmem = unique_resource<resource_traits::cotaskmem>;

// A GDI object of a known type, e.g. unique_gdi_of<HBITMAP>.
template <typename T>
class unique_gdi_of {
 public:
  unique_gdi_of() noexcept = default;
  explicit unique_gdi_of(T value) noexcept : owner_(value) {}
  T get() const noexcept { return static_cast<T>(owner_.get()); }
  explicit operator bool() const noexcept { return static_cast<bool>(owner_); }
  void reset(T value = nullptr) noexcept { owner_.reset(value); }
  T release() noexcept { return static_cast<T>(owner_.release()); }

 private:
  unique_gdi owner_;
};
using unique_hbitmap = unique_gdi_of<HBITMAP>;

// CoInitializeEx for the current thread; CoUninitialize only when the call succeeded.
class unique_coinit {
 public:
  explicit unique_coinit(DWORD model = COINIT_APARTMENTTHREADED) noexcept
      : hr_(::CoInitializeEx(nullptr, model)) {}
  unique_coinit(const unique_coinit&) = delete;
  unique_coinit& operator=(const unique_coinit&) = delete;
  ~unique_coinit() {
    if (SUCCEEDED(hr_)) ::CoUninitialize();
  }
  HRESULT result() const noexcept { return hr_; }

 private:
  HRESULT hr_;
};

// Scoped CRITICAL_SECTION lock.
class critical_section_guard {
 public:
  explicit critical_section_guard(CRITICAL_SECTION& cs) noexcept : cs_(cs) { ::EnterCriticalSection(&cs_); }
  critical_section_guard(const critical_section_guard&) = delete;
  critical_section_guard& operator=(const critical_section_guard&) = delete;
  ~critical_section_guard() { ::LeaveCriticalSection(&cs_); }

 private:
  CRITICAL_SECTION& cs_;
};

// GetProcAddress typed as the export's real signature (via void(*)() to keep
// -Wcast-function-type quiet about FARPROC).
template <typename Fn>
Fn get_proc_address(HMODULE module, const char* name) noexcept {
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
}

inline HRESULT hresult_from_last_error() noexcept {
  const DWORD error = ::GetLastError();
  return error == ERROR_SUCCESS ? E_UNEXPECTED : HRESULT_FROM_WIN32(error);
}

}  // namespace qvr
