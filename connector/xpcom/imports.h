// Functions the connector imports from the browser's libraries. The import libraries are made
// from xpcom.def and mozalloc.def at build time: the browser's SDK is not needed to link.
#pragma once

#include <cstddef>

#include "connector/xpcom/xpcom.h"

extern "C" {
// xpcom.dll: the browser's service manager, AddRef'ed.
__declspec(dllimport) nsresult NS_GetServiceManager(nsIServiceManager** result);
// mozalloc.dll: the browser's fallible allocator (null when out of memory) and its release.
__declspec(dllimport) void* moz_malloc(size_t size);
__declspec(dllimport) void moz_free(void* block);
}
