#include "connector/Observers.h"

#include "connector/xpcom/RefPtr.h"
#include "connector/xpcom/imports.h"

namespace qvr::connector {
namespace {

using xpcom::RefPtr;

nsresult GetObserverService(RefPtr<nsIServiceManager>* services, RefPtr<nsIObserverService>* observers) {
  nsresult result = NS_GetServiceManager(services->put());
  if (NS_FAILED(result)) return result;
  return (*services)->GetServiceByContractID(NS_OBSERVERSERVICE_CONTRACTID, NS_GET_IID(nsIObserverService),
                                             observers->put_void());
}

}  // namespace

nsresult NotifyObserversNow(const char* topic, const PRUnichar* data) {
  RefPtr<nsIServiceManager> services;
  RefPtr<nsIObserverService> observers;
  const nsresult result = GetObserverService(&services, &observers);
  if (NS_FAILED(result)) return result;
  return observers->NotifyObservers(nullptr, topic, data);
}

nsIObserverService* NewMainThreadObserverProxy() {
  RefPtr<nsIServiceManager> services;
  RefPtr<nsIObserverService> observers;
  if (NS_FAILED(GetObserverService(&services, &observers))) return nullptr;
  RefPtr<nsIProxyObjectManager> proxies;
  if (NS_FAILED(services->GetServiceByContractID(NS_XPCOMPROXY_CONTRACTID, NS_GET_IID(nsIProxyObjectManager),
                                                 proxies.put_void())))
    return nullptr;
  RefPtr<nsIObserverService> proxy;
  if (NS_FAILED(proxies->GetProxyForObject(NS_PROXY_TO_MAIN_THREAD, NS_GET_IID(nsIObserverService), observers.get(),
                                           nsIProxyObjectManager::INVOKE_ASYNC, proxy.put_void())))
    return nullptr;
  return proxy.detach();
}

}  // namespace qvr::connector
