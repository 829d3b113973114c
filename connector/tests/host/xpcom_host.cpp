// xpcom.dll for the tests: the browser's service manager entry point, answered with the service
// manager that the browser-host test program installs.
#define QVR_BUILDING_TEST_HOST
#include "connector/tests/host/TestHost.h"

#include <atomic>

namespace {
std::atomic<nsIServiceManager*> g_services{nullptr};
constexpr nsresult kNotInitialized = 0xC1F30001;  // NS_ERROR_NOT_INITIALIZED
}  // namespace

extern "C" __declspec(dllexport) nsresult NS_GetServiceManager(nsIServiceManager** result) {
  if (result == nullptr) return NS_ERROR_NULL_POINTER;
  *result = g_services.load();
  if (*result == nullptr) return kNotInitialized;
  (*result)->AddRef();
  return NS_OK;
}

QVR_TEST_HOST_API void QvrTestHost_SetServiceManager(nsIServiceManager* services) { g_services = services; }
