// A program for the probe to find: sets the event named by its argument once it runs, then idles
// until the test ends it (or a minute has passed, so that no copy outlives a broken test run).
#include <windows.h>

int main(int argc, char** argv) {
  if (argc > 1) {
    const HANDLE ready = ::OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[1]);
    if (ready == nullptr) return 2;
    ::SetEvent(ready);
    ::CloseHandle(ready);
  }
  ::Sleep(60000);
  return 0;
}
