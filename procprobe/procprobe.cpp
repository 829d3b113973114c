// procprobe.dll: tells a setup program whether a program is running.
#include <windows.h>

extern "C" DWORD WINAPI ProcProbe_Lookup(const char* name) {
  (void)name;
  return 0;
}
