// qvr_connector.dll's entry points: the module descriptor the browser reads (NSModule) and, for
// browsers older than the descriptor, the module object over it (NSGetModule).
#include <windows.h>

#include "connector/IQVRConnector.h"
#include "connector/QVRConnector.h"
#include "connector/xpcom/GenericModule.h"
#include "connector/xpcom/imports.h"

namespace {

using mozilla::Module;
using qvr::connector::CQVRConnector;

nsresult ConstructConnector(nsISupports* outer, const nsIID& iid, void** result) {
  if (result == nullptr) return NS_ERROR_NULL_POINTER;
  *result = nullptr;
  if (outer != nullptr) return NS_ERROR_NO_AGGREGATION;
  CQVRConnector* connector = CQVRConnector::Create();
  if (connector == nullptr) return NS_ERROR_OUT_OF_MEMORY;
  // Held across the query so that a refused interface frees the object.
  connector->AddRef();
  const nsresult queried = connector->QueryInterface(iid, result);
  connector->Release();
  return queried;
}

constexpr Module::CIDEntry kClasses[] = {
    {&kQVRConnectorCID, false, nullptr, ConstructConnector},
    {nullptr, false, nullptr, nullptr},
};
constexpr Module::ContractIDEntry kContracts[] = {
    {kQVRConnectorContractID, &kQVRConnectorCID},
    {nullptr, nullptr},
};
constexpr Module kModule = {Module::kVersion, kClasses, kContracts, nullptr, nullptr, nullptr, nullptr};

}  // namespace

// Exported by name through qvr_connector.def.
extern "C" const Module* const NSModule = &kModule;

extern "C" nsresult NSGetModule(nsIComponentManager*, nsIFile*, nsIModule** result) {
  return qvr::xpcom::NewGenericModule(kModule, &NS_GetServiceManager, result);
}
