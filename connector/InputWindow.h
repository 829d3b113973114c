// The hidden window "FIREFOX_TOOLBAR_CONNECTOR" through which the suite application sends its
// download messages (WM_COPYDATA 701..705 and 777), relayed as observer notifications that run
// on the browser's main thread.
#pragma once

namespace qvr::connector {

// Starts one more input window thread; false when no thread could be created. Only the first
// thread of the process registers the window class and keeps a window; later ones end at once,
// so a process has one input window however many connectors it creates. The thread and its
// window live as long as the process: the library pins itself in memory for them.
bool StartInputWindowThread();

}  // namespace qvr::connector
