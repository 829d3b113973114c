// BaseClass, the program's DirectShow filter framework: the object roots. TBCBaseObject counts
// live framework objects (tests use the count to find leaks); TBCUnknown is the aggregatable COM
// object with a non-delegating IUnknown; TBCCritSec is the re-entrant lock every filter uses.
//
// Programming errors the framework guards against (a missing pin, a missing allocator) do not
// throw across COM: TBC_ASSERT reports "Assertion failure" with the unit and line through
// OutputDebugString and makes the method return E_UNEXPECTED.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <atomic>

namespace qvr::audio {

void BCAssertionFailure(const char* unit, int line);

#define TBC_ASSERT(condition)                               \
  do {                                                      \
    if (!(condition)) {                                     \
      ::qvr::audio::BCAssertionFailure(__FILE__, __LINE__); \
      return E_UNEXPECTED;                                  \
    }                                                       \
  } while (false)

// The non-delegating IUnknown of an aggregatable object (the slot layout of IUnknown).
struct INonDelegatingUnknown {
  virtual HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID iid, void** object) = 0;
  virtual ULONG STDMETHODCALLTYPE NonDelegatingAddRef() = 0;
  virtual ULONG STDMETHODCALLTYPE NonDelegatingRelease() = 0;
};

class TBCBaseObject {
 public:
  explicit TBCBaseObject(const wchar_t* objectName);
  TBCBaseObject(const TBCBaseObject&) = delete;
  TBCBaseObject& operator=(const TBCBaseObject&) = delete;
  virtual ~TBCBaseObject();
  const wchar_t* ObjectName() const { return FObjectName; }
  // Framework objects alive in this process.
  static long ObjectCount();

 private:
  const wchar_t* FObjectName;  // static text, not owned
};

// Hands out `unknown` through `object` with a reference added.
HRESULT GetInterface(IUnknown* unknown, void** object);

class TBCUnknown : public INonDelegatingUnknown, public TBCBaseObject {
 public:
  // `outer` (not counted) is the controlling unknown when aggregated; null for a plain object.
  TBCUnknown(const wchar_t* objectName, IUnknown* outer);
  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE NonDelegatingAddRef() override;
  ULONG STDMETHODCALLTYPE NonDelegatingRelease() override;
  // The controlling unknown: the outer object, or this object's own non-delegating unknown.
  IUnknown* GetOwner() const { return FOwner; }
  // A real IUnknown whose methods are the non-delegating ones (what an aggregator holds).
  IUnknown* NonDelegatingUnknown() { return &FInner; }

 private:
  // The non-delegating IUnknown as an object of its own: calling IUnknown methods through a
  // pointer that was cast from INonDelegatingUnknown is undefined behaviour, and GCC's
  // devirtualisation turns such a call into a trap once it sees the object's type.
  class TInner final : public IUnknown {
   public:
    explicit TInner(TBCUnknown* owner) : FOwner(owner) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
      return FOwner->NonDelegatingQueryInterface(iid, object);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return FOwner->NonDelegatingAddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return FOwner->NonDelegatingRelease(); }

   private:
    TBCUnknown* FOwner;
  };

  TInner FInner;
  IUnknown* FOwner;
  std::atomic<long> FRef{0};
};

// The IUnknown of every interface of a TBCUnknown goes to its controlling unknown.
#define TBC_DECLARE_IUNKNOWN                                                                        \
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {                    \
    return GetOwner()->QueryInterface(iid, object);                                                 \
  }                                                                                                 \
  ULONG STDMETHODCALLTYPE AddRef() override { return GetOwner()->AddRef(); }                        \
  ULONG STDMETHODCALLTYPE Release() override { return GetOwner()->Release(); }

// A re-entrant critical section.
class TBCCritSec {
 public:
  TBCCritSec() { ::InitializeCriticalSection(&FSection); }
  TBCCritSec(const TBCCritSec&) = delete;
  TBCCritSec& operator=(const TBCCritSec&) = delete;
  ~TBCCritSec() { ::DeleteCriticalSection(&FSection); }
  void Lock() { ::EnterCriticalSection(&FSection); }
  void Unlock() { ::LeaveCriticalSection(&FSection); }

 private:
  CRITICAL_SECTION FSection;
};

class TBCAutoLock {
 public:
  explicit TBCAutoLock(TBCCritSec& lock) : FLock(lock) { FLock.Lock(); }
  TBCAutoLock(const TBCAutoLock&) = delete;
  TBCAutoLock& operator=(const TBCAutoLock&) = delete;
  ~TBCAutoLock() { FLock.Unlock(); }

 private:
  TBCCritSec& FLock;
};

}  // namespace qvr::audio
