// Our own declarations of the few parts of the browser's XPCOM runtime the connector uses, laid
// out as the browser expects them (slot order, calling convention, structure layout). Portable:
// no windows.h, so the glue built on them also compiles and is tested natively.
//
// Interfaces carry their IID as `T::kIID`. Reference counts and threading follow XPCOM: an object
// obtained from a getter or an out parameter is already AddRef'ed and the caller releases it.
#pragma once

#include <cstdint>
#include <cstring>

#if defined(_WIN32) && defined(__i386__)
#define NS_STDCALL __stdcall  // XPCOM interface methods on 32-bit Windows
#else
#define NS_STDCALL
#endif
#define NS_IMETHOD virtual nsresult NS_STDCALL
#define NS_IMETHOD_(type) virtual type NS_STDCALL

using nsresult = uint32_t;
using nsrefcnt = uint32_t;
using PRBool = int32_t;  // 1 or 0
using PRInt32 = int32_t;
using PRUnichar = char16_t;  // UTF-16 code unit (wchar_t on Windows, same size and layout)

inline constexpr nsresult NS_OK = 0;
inline constexpr nsresult NS_ERROR_NOT_IMPLEMENTED = 0x80004001;
inline constexpr nsresult NS_ERROR_NO_INTERFACE = 0x80004002;
inline constexpr nsresult NS_ERROR_NULL_POINTER = 0x80004003;
inline constexpr nsresult NS_ERROR_FAILURE = 0x80004005;
inline constexpr nsresult NS_ERROR_UNEXPECTED = 0x8000FFFF;
inline constexpr nsresult NS_ERROR_OUT_OF_MEMORY = 0x8007000E;
inline constexpr nsresult NS_ERROR_INVALID_ARG = 0x80070057;
inline constexpr nsresult NS_ERROR_NO_AGGREGATION = 0x80040110;
inline constexpr nsresult NS_ERROR_NOT_AVAILABLE = 0x80040111;
inline constexpr nsresult NS_ERROR_FACTORY_NOT_REGISTERED = 0x80040154;

constexpr bool NS_FAILED(nsresult result) { return (result & 0x80000000u) != 0; }
constexpr bool NS_SUCCEEDED(nsresult result) { return !NS_FAILED(result); }

// Same layout as a Windows GUID.
struct nsID {
  uint32_t m0;
  uint16_t m1;
  uint16_t m2;
  uint8_t m3[8];

  bool Equals(const nsID& other) const { return std::memcmp(this, &other, sizeof(nsID)) == 0; }
  friend bool operator==(const nsID& a, const nsID& b) { return a.Equals(b); }
};
using nsIID = nsID;
using nsCID = nsID;

#define NS_GET_IID(T) (T::kIID)

// Interfaces are released, never deleted through: their destructors are protected and not
// virtual, so that no destructor slot disturbs the vtable order.
class nsISupports {
 public:
  static constexpr nsIID kIID = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
  NS_IMETHOD QueryInterface(const nsIID& iid, void** result) = 0;
  NS_IMETHOD_(nsrefcnt) AddRef() = 0;
  NS_IMETHOD_(nsrefcnt) Release() = 0;

 protected:
  ~nsISupports() = default;
};

// Opaque to the connector: only passed through.
class nsIFile : public nsISupports {
 protected:
  ~nsIFile() = default;
};
class nsISimpleEnumerator : public nsISupports {
 protected:
  ~nsISimpleEnumerator() = default;
};
class nsIEventTarget : public nsISupports {
 protected:
  ~nsIEventTarget() = default;
};

class nsIFactory : public nsISupports {
 public:
  static constexpr nsIID kIID = {0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
  NS_IMETHOD CreateInstance(nsISupports* outer, const nsIID& iid, void** result) = 0;
  NS_IMETHOD LockFactory(PRBool lock) = 0;

 protected:
  ~nsIFactory() = default;
};

class nsIComponentManager : public nsISupports {
 public:
  static constexpr nsIID kIID = {0x1D940426, 0x5FE5, 0x42C3, {0x84, 0xAE, 0xA3, 0x00, 0xF2, 0xD9, 0xEB, 0xD5}};
  NS_IMETHOD GetClassObject(const nsCID& cid, const nsIID& iid, void** result) = 0;
  NS_IMETHOD GetClassObjectByContractID(const char* contract_id, const nsIID& iid, void** result) = 0;
  NS_IMETHOD CreateInstance(const nsCID& cid, nsISupports* outer, const nsIID& iid, void** result) = 0;
  NS_IMETHOD CreateInstanceByContractID(const char* contract_id, nsISupports* outer, const nsIID& iid,
                                        void** result) = 0;

 protected:
  ~nsIComponentManager() = default;
};

class nsIServiceManager : public nsISupports {
 public:
  static constexpr nsIID kIID = {0x8BB35ED9, 0xE332, 0x462D, {0x91, 0x55, 0x4A, 0x00, 0x2A, 0xB5, 0xC9, 0x58}};
  NS_IMETHOD GetService(const nsCID& cid, const nsIID& iid, void** result) = 0;
  NS_IMETHOD GetServiceByContractID(const char* contract_id, const nsIID& iid, void** result) = 0;
  NS_IMETHOD IsServiceInstantiated(const nsCID& cid, const nsIID& iid, PRBool* result) = 0;
  NS_IMETHOD IsServiceInstantiatedByContractID(const char* contract_id, const nsIID& iid, PRBool* result) = 0;

 protected:
  ~nsIServiceManager() = default;
};

class nsIComponentRegistrar : public nsISupports {
 public:
  static constexpr nsIID kIID = {0x2417CBFE, 0x65AD, 0x48A6, {0xB4, 0xB6, 0xEB, 0x84, 0xDB, 0x17, 0x43, 0x92}};
  NS_IMETHOD AutoRegister(nsIFile* location) = 0;
  NS_IMETHOD AutoUnregister(nsIFile* location) = 0;
  NS_IMETHOD RegisterFactory(const nsCID& cid, const char* class_name, const char* contract_id, nsIFactory* factory) = 0;
  NS_IMETHOD UnregisterFactory(const nsCID& cid, nsIFactory* factory) = 0;
  NS_IMETHOD RegisterFactoryLocation(const nsCID& cid, const char* class_name, const char* contract_id,
                                     nsIFile* file, const char* loader, const char* type) = 0;
  NS_IMETHOD UnregisterFactoryLocation(const nsCID& cid, nsIFile* file) = 0;
  NS_IMETHOD IsCIDRegistered(const nsCID& cid, PRBool* result) = 0;
  NS_IMETHOD IsContractIDRegistered(const char* contract_id, PRBool* result) = 0;
  NS_IMETHOD EnumerateCIDs(nsISimpleEnumerator** result) = 0;
  NS_IMETHOD EnumerateContractIDs(nsISimpleEnumerator** result) = 0;
  NS_IMETHOD CIDToContractID(const nsCID& cid, char** result) = 0;
  NS_IMETHOD ContractIDToCID(const char* contract_id, nsCID** result) = 0;

 protected:
  ~nsIComponentRegistrar() = default;
};

inline constexpr char NS_CATEGORYMANAGER_CONTRACTID[] = "@mozilla.org/categorymanager;1";

class nsICategoryManager : public nsISupports {
 public:
  static constexpr nsIID kIID = {0x3275B2CD, 0xAF6D, 0x429A, {0x80, 0xD7, 0xF0, 0xC5, 0x12, 0x03, 0x42, 0xAC}};
  NS_IMETHOD GetCategoryEntry(const char* category, const char* entry, char** result) = 0;
  NS_IMETHOD AddCategoryEntry(const char* category, const char* entry, const char* value, PRBool persist,
                              PRBool replace, char** previous) = 0;
  NS_IMETHOD DeleteCategoryEntry(const char* category, const char* entry, PRBool persist) = 0;
  NS_IMETHOD DeleteCategory(const char* category) = 0;
  NS_IMETHOD EnumerateCategory(const char* category, nsISimpleEnumerator** result) = 0;
  NS_IMETHOD EnumerateCategories(nsISimpleEnumerator** result) = 0;

 protected:
  ~nsICategoryManager() = default;
};

class nsIObserver : public nsISupports {
 public:
  static constexpr nsIID kIID = {0xDB242E01, 0xE4D9, 0x11D2, {0x9D, 0xDE, 0x00, 0x00, 0x64, 0x65, 0x73, 0x74}};
  NS_IMETHOD Observe(nsISupports* subject, const char* topic, const PRUnichar* data) = 0;

 protected:
  ~nsIObserver() = default;
};

inline constexpr char NS_OBSERVERSERVICE_CONTRACTID[] = "@mozilla.org/observer-service;1";

class nsIObserverService : public nsISupports {
 public:
  static constexpr nsIID kIID = {0xD07F5192, 0xE3D1, 0x11D2, {0x8A, 0xCD, 0x00, 0x10, 0x5A, 0x1B, 0x88, 0x60}};
  NS_IMETHOD AddObserver(nsIObserver* observer, const char* topic, PRBool owns_weak) = 0;
  NS_IMETHOD RemoveObserver(nsIObserver* observer, const char* topic) = 0;
  NS_IMETHOD NotifyObservers(nsISupports* subject, const char* topic, const PRUnichar* data) = 0;
  NS_IMETHOD EnumerateObservers(const char* topic, nsISimpleEnumerator** result) = 0;

 protected:
  ~nsIObserverService() = default;
};

inline constexpr char NS_XPCOMPROXY_CONTRACTID[] = "@mozilla.org/xpcomproxy;1";
// Event targets with a fixed meaning for GetProxyForObject.
inline nsIEventTarget* const NS_PROXY_TO_CURRENT_THREAD = nullptr;
inline nsIEventTarget* const NS_PROXY_TO_MAIN_THREAD = reinterpret_cast<nsIEventTarget*>(uintptr_t{1});

class nsIProxyObjectManager : public nsISupports {
 public:
  static constexpr nsIID kIID = {0xEE8CE1E3, 0x0319, 0x4BD9, {0x8F, 0x70, 0x72, 0x58, 0xB2, 0x1C, 0x77, 0x33}};
  enum : PRInt32 { INVOKE_SYNC = 1, INVOKE_ASYNC = 2, FORCE_PROXY_CREATION = 4 };
  NS_IMETHOD GetProxyForObject(nsIEventTarget* target, const nsIID& iid, nsISupports* object, PRInt32 proxy_type,
                               void** result) = 0;

 protected:
  ~nsIProxyObjectManager() = default;
};

namespace mozilla {

// The module descriptor a component library exports as `NSModule` (descriptor version 9).
// Each list ends with an entry whose first member is null; the category list may be null.
struct Module {
  static constexpr unsigned int kVersion = 9;

  struct CIDEntry;
  // The browser's factory procedure returns an already-AddRef'ed factory; the connector has none.
  using GetFactoryProcPtr = nsIFactory* (*)(const Module& module, const CIDEntry& entry);
  using ConstructorProcPtr = nsresult (*)(nsISupports* outer, const nsIID& iid, void** result);
  using LoadFuncPtr = nsresult (*)();
  using UnloadFuncPtr = void (*)();

  struct CIDEntry {
    const nsCID* cid;
    bool service;
    GetFactoryProcPtr getFactoryProc;
    ConstructorProcPtr constructorProc;
  };
  struct ContractIDEntry {
    const char* contractid;
    const nsCID* cid;
  };
  struct CategoryEntry {
    const char* category;
    const char* entry;
    const char* value;
  };

  unsigned int mVersion;
  const CIDEntry* mCIDs;
  const ContractIDEntry* mContractIDs;
  const CategoryEntry* mCategoryEntries;
  GetFactoryProcPtr getFactoryProc;
  LoadFuncPtr loadProc;
  UnloadFuncPtr unloadProc;
};

}  // namespace mozilla

// The module object of browsers older than the descriptor.
class nsIModule : public nsISupports {
 public:
  static constexpr nsIID kIID = {0x7392D032, 0x5371, 0x11D3, {0x99, 0x4E, 0x00, 0x80, 0x5F, 0xD2, 0x6F, 0xEE}};
  NS_IMETHOD GetClassObject(nsIComponentManager* manager, const nsCID& cid, const nsIID& iid, void** result) = 0;
  NS_IMETHOD RegisterSelf(nsIComponentManager* manager, nsIFile* location, const char* loader, const char* type) = 0;
  NS_IMETHOD UnregisterSelf(nsIComponentManager* manager, nsIFile* location, const char* loader) = 0;
  NS_IMETHOD CanUnload(nsIComponentManager* manager, PRBool* result) = 0;

 protected:
  ~nsIModule() = default;
};

// The browser's old-style module entry point, exported as "NSGetModule".
using nsGetModuleProc = nsresult (*)(nsIComponentManager* manager, nsIFile* location, nsIModule** result);
