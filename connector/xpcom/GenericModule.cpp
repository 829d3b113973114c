#include "connector/xpcom/GenericModule.h"

#include <atomic>
#include <new>

namespace qvr::xpcom {
namespace {

using mozilla::Module;

// Reference counting and QueryInterface for an object that implements exactly one interface.
template <typename Interface>
class SingleInterfaceObject : public Interface {
 public:
  NS_IMETHOD QueryInterface(const nsIID& iid, void** result) override {
    if (result == nullptr) return NS_ERROR_NULL_POINTER;
    if (iid == NS_GET_IID(Interface) || iid == NS_GET_IID(nsISupports)) {
      AddRef();
      *result = static_cast<Interface*>(this);
      return NS_OK;
    }
    *result = nullptr;
    return NS_ERROR_NO_INTERFACE;
  }
  NS_IMETHOD_(nsrefcnt) AddRef() override { return ++references_; }
  NS_IMETHOD_(nsrefcnt) Release() override {
    const nsrefcnt left = --references_;
    if (left == 0) delete this;
    return left;
  }

 protected:
  virtual ~SingleInterfaceObject() = default;

 private:
  std::atomic<nsrefcnt> references_{0};
};

class GenericFactory final : public SingleInterfaceObject<nsIFactory> {
 public:
  explicit GenericFactory(Module::ConstructorProcPtr constructor) : constructor_(constructor) {}

  NS_IMETHOD CreateInstance(nsISupports* outer, const nsIID& iid, void** result) override {
    return constructor_(outer, iid, result);
  }
  // The component may be unloaded at any time the browser likes; locking means nothing to it.
  NS_IMETHOD LockFactory(PRBool) override { return NS_ERROR_NOT_IMPLEMENTED; }

 private:
  const Module::ConstructorProcPtr constructor_;
};

class GenericModule final : public SingleInterfaceObject<nsIModule> {
 public:
  GenericModule(const Module& descriptor, GetServiceManagerFn get_service_manager)
      : descriptor_(descriptor), get_service_manager_(get_service_manager) {}

  NS_IMETHOD GetClassObject(nsIComponentManager*, const nsCID& cid, const nsIID& iid, void** result) override {
    if (result == nullptr) return NS_ERROR_NULL_POINTER;
    *result = nullptr;
    for (const Module::CIDEntry* entry = descriptor_.mCIDs; entry->cid != nullptr; ++entry) {
      if (!entry->cid->Equals(cid)) continue;
      nsIFactory* factory = nullptr;
      if (entry->getFactoryProc != nullptr) {
        factory = entry->getFactoryProc(descriptor_, *entry);  // already AddRef'ed
        if (factory == nullptr) return NS_ERROR_FAILURE;
      } else if (entry->constructorProc != nullptr) {
        const nsresult made = NewGenericFactory(entry->constructorProc, &factory);
        if (NS_FAILED(made)) return made;
      } else {
        return NS_ERROR_FAILURE;
      }
      const nsresult queried = factory->QueryInterface(iid, result);
      factory->Release();
      return queried;
    }
    return NS_ERROR_FACTORY_NOT_REGISTERED;
  }

  NS_IMETHOD RegisterSelf(nsIComponentManager* manager, nsIFile* location, const char* loader,
                          const char* type) override {
    if (manager == nullptr) return NS_ERROR_NULL_POINTER;
    nsIComponentRegistrar* registrar = nullptr;
    nsresult result = manager->QueryInterface(NS_GET_IID(nsIComponentRegistrar), reinterpret_cast<void**>(&registrar));
    if (NS_FAILED(result)) return result;
    for (const Module::CIDEntry* entry = descriptor_.mCIDs; NS_SUCCEEDED(result) && entry->cid != nullptr; ++entry)
      result = registrar->RegisterFactoryLocation(*entry->cid, "", nullptr, location, loader, type);
    for (const Module::ContractIDEntry* entry = descriptor_.mContractIDs;
         NS_SUCCEEDED(result) && entry != nullptr && entry->contractid != nullptr; ++entry)
      result = registrar->RegisterFactoryLocation(*entry->cid, "", entry->contractid, location, loader, type);
    registrar->Release();
    if (NS_SUCCEEDED(result)) result = RegisterCategories();
    return result;
  }

  NS_IMETHOD UnregisterSelf(nsIComponentManager*, nsIFile*, const char*) override { return NS_ERROR_NOT_IMPLEMENTED; }

  // Binary components stay loaded for the life of the browser.
  NS_IMETHOD CanUnload(nsIComponentManager*, PRBool* result) override {
    if (result == nullptr) return NS_ERROR_NULL_POINTER;
    *result = 0;
    return NS_OK;
  }

 private:
  nsresult RegisterCategories() {
    const Module::CategoryEntry* entry = descriptor_.mCategoryEntries;
    if (entry == nullptr || entry->category == nullptr) return NS_OK;
    nsIServiceManager* services = nullptr;
    nsresult result = get_service_manager_(&services);
    if (NS_FAILED(result)) return result;
    nsICategoryManager* categories = nullptr;
    result = services->GetServiceByContractID(NS_CATEGORYMANAGER_CONTRACTID, NS_GET_IID(nsICategoryManager),
                                              reinterpret_cast<void**>(&categories));
    services->Release();
    if (NS_FAILED(result)) return result;
    for (; NS_SUCCEEDED(result) && entry->category != nullptr; ++entry) {
      // No previous value is asked for: it would have to be freed with the browser's allocator.
      result = categories->AddCategoryEntry(entry->category, entry->entry, entry->value, 1, 1, nullptr);
    }
    categories->Release();
    return result;
  }

  const Module& descriptor_;
  const GetServiceManagerFn get_service_manager_;
};

template <typename Interface, typename Object>
nsresult Hand(Object* object, Interface** result) {
  if (object == nullptr) return NS_ERROR_OUT_OF_MEMORY;
  object->AddRef();
  *result = object;
  return NS_OK;
}

}  // namespace

nsresult NewGenericModule(const Module& descriptor, GetServiceManagerFn get_service_manager, nsIModule** result) {
  if (result == nullptr) return NS_ERROR_NULL_POINTER;
  *result = nullptr;
  return Hand(new (std::nothrow) GenericModule(descriptor, get_service_manager), result);
}

nsresult NewGenericFactory(Module::ConstructorProcPtr constructor, nsIFactory** result) {
  if (result == nullptr) return NS_ERROR_NULL_POINTER;
  *result = nullptr;
  return Hand(new (std::nothrow) GenericFactory(constructor), result);
}

}  // namespace qvr::xpcom
