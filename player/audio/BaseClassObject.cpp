#include "player/audio/BaseClassObject.h"

#include <cstdio>

namespace qvr::audio {
namespace {

std::atomic<long> gObjects{0};

}  // namespace

void BCAssertionFailure(const char* unit, int line) {
  char text[512];
  std::snprintf(text, sizeof text, "Assertion failure (%s, line %d)\n", unit, line);
  ::OutputDebugStringA(text);
}

TBCBaseObject::TBCBaseObject(const wchar_t* objectName) : FObjectName(objectName) { ++gObjects; }

TBCBaseObject::~TBCBaseObject() { --gObjects; }

long TBCBaseObject::ObjectCount() { return gObjects.load(); }

HRESULT GetInterface(IUnknown* unknown, void** object) {
  if (!object) return E_POINTER;
  *object = unknown;
  unknown->AddRef();
  return S_OK;
}

TBCUnknown::TBCUnknown(const wchar_t* objectName, IUnknown* outer)
    : TBCBaseObject(objectName), FInner(this), FOwner(outer ? outer : &FInner) {}

HRESULT TBCUnknown::NonDelegatingQueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown)) return GetInterface(&FInner, object);
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG TBCUnknown::NonDelegatingAddRef() { return static_cast<ULONG>(++FRef); }

ULONG TBCUnknown::NonDelegatingRelease() {
  const long left = --FRef;
  if (left == 0) {
    // Guard against a Release from inside the destructor (an aggregated inner object handing
    // back a reference to its outer) reaching zero a second time.
    FRef = 1;
    delete this;
    return 0;
  }
  return static_cast<ULONG>(left);
}

}  // namespace qvr::audio
