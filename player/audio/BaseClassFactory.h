// BaseClass: filter templates and their class factory. The program keeps its templates in an
// in-memory list (registered at start, never written to the system's registry) and can create
// any listed filter through IClassFactory, as a module's DllGetClassObject would.
//
// Threading: the list has its own lock; registration and lookups may come from any thread.
#pragma once

#include "common/win/DirectShow.h"
#include "player/audio/BaseClassObject.h"

namespace qvr::audio {

// Makes a new object with no references yet (the factory adds the first); *hr reports failures
// of the constructor.
using TBCCreateInstanceFn = TBCUnknown* (*)(IUnknown* outer, HRESULT* hr);

struct TBCFilterTemplate {
  const wchar_t* Name;
  const CLSID* ClassId;
  TBCCreateInstanceFn CreateInstance;
  const CLSID* Category;  // CLSID_LegacyAmFilterCategory for DirectShow filters
  DWORD Merit;
  UINT PinCount;
};

// Adds a template (a second one for the same class id replaces nothing and answers S_FALSE).
HRESULT BCRegisterTemplate(const TBCFilterTemplate& filterTemplate);
// The registered template of a class id, or null.
const TBCFilterTemplate* BCFindTemplate(REFCLSID clsid);
// A class factory for a registered class id: CLASS_E_CLASSNOTAVAILABLE otherwise.
HRESULT BCGetClassObject(REFCLSID clsid, REFIID iid, void** object);

class TBCClassFactory : public TBCUnknown, public IClassFactory {
 public:
  explicit TBCClassFactory(const TBCFilterTemplate* filterTemplate);

  TBC_DECLARE_IUNKNOWN
  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID iid, void** object) override;

  // Aggregation is offered only for IID_IUnknown (E_NOINTERFACE otherwise), as COM requires.
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override;
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

  // LockServer's count, for tests.
  static long ServerLocks();

 private:
  const TBCFilterTemplate* FTemplate;
};

}  // namespace qvr::audio
