// The generic module and factory that serve a version-9 module descriptor to browsers that still
// load components through NSGetModule and nsIModule. Portable; reference counts are atomic, as
// the browser may hold a module or factory on any thread.
#pragma once

#include "connector/xpcom/xpcom.h"

namespace qvr::xpcom {

// How the module reaches the service manager when it has category entries to register
// (NS_GetServiceManager in the browser).
using GetServiceManagerFn = nsresult (*)(nsIServiceManager** result);

// A new generic module over `descriptor` (which must outlive it), AddRef'ed into `*result`.
// NS_ERROR_OUT_OF_MEMORY when it cannot be allocated.
nsresult NewGenericModule(const mozilla::Module& descriptor, GetServiceManagerFn get_service_manager,
                          nsIModule** result);

// A new factory whose CreateInstance calls `constructor`, AddRef'ed into `*result`.
nsresult NewGenericFactory(mozilla::Module::ConstructorProcPtr constructor, nsIFactory** result);

}  // namespace qvr::xpcom
