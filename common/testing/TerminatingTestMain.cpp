// The main of the test programs that play media under Wine: the process ends without its DLLs'
// detach. GStreamer threads left behind in winegstreamer (a refused container, a finished
// graph) at times crash or hang the ordinary exit after every case has passed.
#include <windows.h>

#include <cstdio>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  std::fflush(stdout);
  std::fflush(stderr);
  ::TerminateProcess(::GetCurrentProcess(), static_cast<UINT>(result));
  return result;  // not reached
}
