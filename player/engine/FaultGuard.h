// Calls into third-party filters with their structured exceptions caught.
//
// A filter that faults while the builder creates, loads or connects it must cost only that
// step: the caller skips the filter and goes on with the next candidate. MinGW has no
// __try/__except, so the guard is a small x64 function of our own whose unwind information names
// a language handler (FaultGuard.cpp). When an exception the handler takes reaches it, it unwinds
// the frames in between with RtlUnwindEx, as __except does, and the guarded call returns.
//
// What is recovered: access violations, divisions by zero, illegal instructions and every other
// exception of error severity, misaligned data, and C++ exceptions (Visual C++, GCC, Delphi)
// that escape the filter's method. The frames in between are unwound properly: their unwind
// handlers run where they have them.
// What is not: a stack overflow (the guard page is gone, the next one would end the process),
// fast-fail and heap corruption (the system ends the process without dispatching), faults on the
// filter's own threads, and whatever the unwound frames leave behind: a lock they held stays
// held (by this thread, which can take it again; another thread would wait on it), and their
// objects are half made. So a filter that faulted is never called again, apart from taking it
// out of the graph under the guard, and its memory is left alone rather than released.
#pragma once

#include <windows.h>
#include <wrl/client.h>

#include <type_traits>

namespace qvr::engine {

struct TGuardedResult {
  HRESULT Result = S_OK;  // the step's own result, or a failure made from the exception code
  DWORD Fault = 0;        // the exception code caught, 0 when the step returned by itself
  bool Faulted() const { return Fault != 0; }
  bool Succeeded() const { return !Faulted() && SUCCEEDED(Result); }
};

using TGuardedStep = HRESULT (*)(void* context);
TGuardedResult CallGuardedStep(TGuardedStep step, void* context);

// step() returns an HRESULT. Keep objects with destructors out of it: it is unwound on a fault.
template <class Step>
TGuardedResult CallGuarded(Step&& step) {
  using StepType = std::remove_reference_t<Step>;
  return CallGuardedStep([](void* context) -> HRESULT { return (*static_cast<StepType*>(context))(); },
                         const_cast<void*>(static_cast<const void*>(&step)));
}

// CoCreateInstance under the guard. What a class that faulted handed out is left alone.
template <class T>
TGuardedResult CreateInstanceGuarded(const GUID& clsid, DWORD context, Microsoft::WRL::ComPtr<T>& object) {
  T* raw = nullptr;
  const TGuardedResult result = CallGuarded(
      [&] { return ::CoCreateInstance(clsid, nullptr, context, __uuidof(T), reinterpret_cast<void**>(&raw)); });
  object.Reset();
  if (!result.Faulted() && raw) object.Attach(raw);
  if (!result.Succeeded()) object.Reset();
  return result;
}

// Whether the guard takes an exception of this code (the rules above).
bool IsRecoverableFault(DWORD code);

}  // namespace qvr::engine
