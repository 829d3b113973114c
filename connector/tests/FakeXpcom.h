// Browser-side XPCOM objects for the tests: a component manager with its registrar that records
// registrations and creates instances by contract ID through a registered module, as the browser
// does for old-style modules. Portable. The objects are owned by the test: their reference
// counts (atomic, as the browser's services are called from any thread) only count.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "connector/xpcom/RefPtr.h"
#include "connector/xpcom/xpcom.h"

namespace qvr::testing {

// AddRef/Release count without ever deleting; QueryInterface answers Interface and nsISupports.
template <typename Interface>
class TestObject : public Interface {
 public:
  NS_IMETHOD QueryInterface(const nsIID& iid, void** result) override {
    if (iid == NS_GET_IID(Interface) || iid == NS_GET_IID(nsISupports)) {
      AddRef();
      *result = static_cast<Interface*>(this);
      return NS_OK;
    }
    *result = nullptr;
    return NS_ERROR_NO_INTERFACE;
  }
  NS_IMETHOD_(nsrefcnt) AddRef() override { return ++references; }
  NS_IMETHOD_(nsrefcnt) Release() override { return --references; }

  std::atomic<nsrefcnt> references{0};

 protected:
  ~TestObject() = default;
};

struct Registration {
  nsCID cid;
  std::string class_name;
  std::string contract_id;  // empty for a class entry
  bool has_contract;
  nsIFile* location;
  std::string loader;
  std::string type;
};

class RecordingRegistrar final : public TestObject<nsIComponentRegistrar> {
 public:
  std::vector<Registration> registrations;
  nsresult answer = NS_OK;

  NS_IMETHOD RegisterFactoryLocation(const nsCID& cid, const char* class_name, const char* contract_id, nsIFile* file,
                                     const char* loader, const char* type) override {
    registrations.push_back({cid, class_name != nullptr ? class_name : "(null)", contract_id != nullptr ? contract_id : "",
                             contract_id != nullptr, file, loader != nullptr ? loader : "(null)",
                             type != nullptr ? type : "(null)"});
    return answer;
  }
  // The contract's class, if registered.
  const nsCID* Find(const char* contract_id) const {
    for (const Registration& r : registrations)
      if (r.has_contract && r.contract_id == contract_id) return &r.cid;
    return nullptr;
  }

  NS_IMETHOD AutoRegister(nsIFile*) override { return NS_ERROR_NOT_IMPLEMENTED; }
  NS_IMETHOD AutoUnregister(nsIFile*) override { return NS_ERROR_NOT_IMPLEMENTED; }
  NS_IMETHOD RegisterFactory(const nsCID&, const char*, const char*, nsIFactory*) override { return NS_ERROR_NOT_IMPLEMENTED; }
  NS_IMETHOD UnregisterFactory(const nsCID&, nsIFactory*) override { return NS_ERROR_NOT_IMPLEMENTED; }
  NS_IMETHOD UnregisterFactoryLocation(const nsCID&, nsIFile*) override { return NS_ERROR_NOT_IMPLEMENTED; }
  NS_IMETHOD IsCIDRegistered(const nsCID&, PRBool*) override { return NS_ERROR_NOT_IMPLEMENTED; }
  NS_IMETHOD IsContractIDRegistered(const char*, PRBool*) override { return NS_ERROR_NOT_IMPLEMENTED; }
  NS_IMETHOD EnumerateCIDs(nsISimpleEnumerator**) override { return NS_ERROR_NOT_IMPLEMENTED; }
  NS_IMETHOD EnumerateContractIDs(nsISimpleEnumerator**) override { return NS_ERROR_NOT_IMPLEMENTED; }
  NS_IMETHOD CIDToContractID(const nsCID&, char**) override { return NS_ERROR_NOT_IMPLEMENTED; }
  NS_IMETHOD ContractIDToCID(const char*, nsCID**) override { return NS_ERROR_NOT_IMPLEMENTED; }
};

// The component manager handed to a module; it answers nsIComponentRegistrar with `registrar`
// (when given) and creates instances of the classes registered there through `module`.
class TestComponentManager final : public TestObject<nsIComponentManager> {
 public:
  RecordingRegistrar* registrar = nullptr;
  nsIModule* module = nullptr;

  NS_IMETHOD QueryInterface(const nsIID& iid, void** result) override {
    if (registrar != nullptr && iid == NS_GET_IID(nsIComponentRegistrar)) return registrar->QueryInterface(iid, result);
    return TestObject::QueryInterface(iid, result);
  }
  NS_IMETHOD CreateInstanceByContractID(const char* contract_id, nsISupports* outer, const nsIID& iid,
                                        void** result) override {
    *result = nullptr;
    const nsCID* cid = registrar != nullptr ? registrar->Find(contract_id) : nullptr;
    if (cid == nullptr || module == nullptr) return NS_ERROR_FACTORY_NOT_REGISTERED;
    xpcom::RefPtr<nsIFactory> factory;
    const nsresult got = module->GetClassObject(this, *cid, NS_GET_IID(nsIFactory), factory.put_void());
    if (NS_FAILED(got)) return got;
    return factory->CreateInstance(outer, iid, result);
  }
  NS_IMETHOD GetClassObject(const nsCID&, const nsIID&, void**) override { return NS_ERROR_NOT_IMPLEMENTED; }
  NS_IMETHOD GetClassObjectByContractID(const char*, const nsIID&, void**) override { return NS_ERROR_NOT_IMPLEMENTED; }
  NS_IMETHOD CreateInstance(const nsCID&, nsISupports*, const nsIID&, void**) override { return NS_ERROR_NOT_IMPLEMENTED; }
};

}  // namespace qvr::testing
