// The browser's observer service as the connector uses it. The service manager comes from the
// browser's xpcom library.
#pragma once

#include "connector/xpcom/xpcom.h"

namespace qvr::connector {

// NotifyObservers(null, topic, data) on the calling thread (the browser's main thread).
nsresult NotifyObserversNow(const char* topic, const PRUnichar* data);

// An asynchronous proxy of the observer service whose calls run later on the browser's main
// thread, AddRef'ed; null when the observer service or the proxy manager is unavailable.
nsIObserverService* NewMainThreadObserverProxy();

}  // namespace qvr::connector
