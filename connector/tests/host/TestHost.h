// The browser libraries the tests provide in place of the browser's (xpcom.dll, mozalloc.dll):
// the connector imports them by name; the browser-host test program controls them through these
// extra exports. Any thread may call them.
#pragma once

#include "connector/xpcom/xpcom.h"

#if defined(QVR_BUILDING_TEST_HOST)
#define QVR_TEST_HOST_API extern "C" __declspec(dllexport)
#else
#define QVR_TEST_HOST_API extern "C" __declspec(dllimport)
#endif

// xpcom.dll: NS_GetServiceManager hands out this service manager (AddRef'ed); null: none yet.
QVR_TEST_HOST_API void QvrTestHost_SetServiceManager(nsIServiceManager* services);

// mozalloc.dll: blocks moz_malloc handed out and not yet given back to moz_free.
QVR_TEST_HOST_API long QvrTestHost_LiveAllocations();
// mozalloc.dll: the next moz_malloc fails as when memory is exhausted.
QVR_TEST_HOST_API void QvrTestHost_FailNextAllocation();
