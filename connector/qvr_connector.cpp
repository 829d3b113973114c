// qvr_connector.dll: the browser's XPCOM component that talks to the suite application.
#include <windows.h>

#include <cstdint>

// The module descriptor the browser reads; none until the component exists.
extern "C" {
const void* NSModule = nullptr;
}

// nsresult NSGetModule(nsIComponentManager*, nsIFile* location, nsIModule** result)
extern "C" uint32_t __cdecl NSGetModule(void*, void*, void** result) {
  if (result) *result = nullptr;
  return 0x80004005u;  // NS_ERROR_FAILURE: no module yet
}
