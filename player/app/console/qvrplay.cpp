// qvrplay: plays one media file through a real DirectShow graph and reports duration, position
// and state on the console.
//
// usage: qvrplay FILE [--seconds N]   (N: stop after N seconds; default: play to the end)
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "common/win/unique_resource.h"
#include "player/app/console/ConsolePlayer.h"

namespace {

const char* StateName(OAFilterState state) {
  switch (state) {
    case State_Running: return "running";
    case State_Paused: return "paused";
    default: return "stopped";
  }
}

double Seconds(LONGLONG reference_time) { return static_cast<double>(reference_time) / 1e7; }

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: qvrplay FILE [--seconds N]\n");
    return 2;
  }
  const std::wstring path = argv[1];
  double limit = -1;
  for (int i = 2; i + 1 < argc; ++i)
    if (std::wcscmp(argv[i], L"--seconds") == 0) limit = std::wcstod(argv[i + 1], nullptr);

  qvr::unique_coinit com;
  if (FAILED(com.result())) {
    std::fprintf(stderr, "qvrplay: COM initialisation failed (0x%08lX)\n", static_cast<unsigned long>(com.result()));
    return 1;
  }
  qvr::app::TConsolePlayer player;
  if (const HRESULT hr = player.Open(path); FAILED(hr)) {
    std::fprintf(stderr, "qvrplay: cannot open %ls (0x%08lX)\n", path.c_str(), static_cast<unsigned long>(hr));
    return 1;
  }
  std::printf("File: %ls\n", path.c_str());
  for (const auto& name : player.FilterNames()) std::printf("Filter: %ls\n", name.c_str());
  std::printf("Duration: %.3f s\n", Seconds(player.Duration()));
  if (const HRESULT hr = player.Play(); FAILED(hr)) {
    std::fprintf(stderr, "qvrplay: cannot play (0x%08lX)\n", static_cast<unsigned long>(hr));
    return 1;
  }
  std::printf("State: %s\n", StateName(player.State(2000)));
  std::fflush(stdout);

  const DWORD started = ::GetTickCount();
  for (;;) {
    const bool ended = player.WaitForEnd(250);
    std::printf("Position: %.2f s  State: %s\n", Seconds(player.Position()), StateName(player.State()));
    std::fflush(stdout);
    if (ended) break;
    if (limit >= 0 && (::GetTickCount() - started) / 1000.0 >= limit) break;
  }
  player.Stop();
  std::printf("State: %s\n", StateName(player.State(2000)));
  player.Close();
  return 0;
}
