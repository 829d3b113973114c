#include "player/audio/BaseClassFactory.h"

#include <atomic>
#include <list>
#include <mutex>
#include <new>

namespace qvr::audio {
namespace {

std::atomic<long> gServerLocks{0};

struct TTemplateList {
  std::mutex Lock;
  std::list<TBCFilterTemplate> Templates;  // stable addresses: factories keep pointers
};

TTemplateList& Templates() {
  static TTemplateList list;
  return list;
}

}  // namespace

HRESULT BCRegisterTemplate(const TBCFilterTemplate& filterTemplate) {
  if (!filterTemplate.ClassId || !filterTemplate.CreateInstance) return E_POINTER;
  TTemplateList& list = Templates();
  std::lock_guard lock(list.Lock);
  for (const auto& t : list.Templates)
    if (IsEqualCLSID(*t.ClassId, *filterTemplate.ClassId)) return S_FALSE;
  list.Templates.push_back(filterTemplate);
  return S_OK;
}

const TBCFilterTemplate* BCFindTemplate(REFCLSID clsid) {
  TTemplateList& list = Templates();
  std::lock_guard lock(list.Lock);
  for (const auto& t : list.Templates)
    if (IsEqualCLSID(*t.ClassId, clsid)) return &t;
  return nullptr;
}

HRESULT BCGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  const TBCFilterTemplate* found = BCFindTemplate(clsid);
  if (!found) return CLASS_E_CLASSNOTAVAILABLE;
  auto* factory = new (std::nothrow) TBCClassFactory(found);
  if (!factory) return E_OUTOFMEMORY;
  factory->NonDelegatingAddRef();
  const HRESULT hr = factory->NonDelegatingQueryInterface(iid, object);
  factory->NonDelegatingRelease();
  return hr;
}

TBCClassFactory::TBCClassFactory(const TBCFilterTemplate* filterTemplate)
    : TBCUnknown(L"Class Factory", nullptr), FTemplate(filterTemplate) {}

HRESULT TBCClassFactory::NonDelegatingQueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (IsEqualIID(iid, IID_IClassFactory)) return GetInterface(static_cast<IClassFactory*>(this), object);
  return TBCUnknown::NonDelegatingQueryInterface(iid, object);
}

HRESULT TBCClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (outer && !IsEqualIID(iid, IID_IUnknown)) return E_NOINTERFACE;
  HRESULT hr = S_OK;
  TBCUnknown* instance = FTemplate->CreateInstance(outer, &hr);
  if (!instance) return FAILED(hr) ? hr : E_OUTOFMEMORY;
  instance->NonDelegatingAddRef();
  if (SUCCEEDED(hr)) hr = instance->NonDelegatingQueryInterface(iid, object);
  instance->NonDelegatingRelease();
  return hr;
}

HRESULT TBCClassFactory::LockServer(BOOL lock) {
  if (lock) ++gServerLocks;
  else --gServerLocks;
  return S_OK;
}

long TBCClassFactory::ServerLocks() { return gServerLocks.load(); }

}  // namespace qvr::audio
