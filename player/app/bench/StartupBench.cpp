// Start-up cost of the player against a minimal Win32 program of ours, in one run under the same
// system: each repetition starts the program, waits until its first window is shown and its
// message loop is idle (WaitForInputIdle), and ends it. Interleaved, medians reported.
//
// usage: startup_bench [REPETITIONS]   (beside QVRPlayer.exe and minimal_window.exe)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "common/win/unique_resource.h"

namespace {

std::wstring Beside(const wchar_t* name) {
  wchar_t path[MAX_PATH];
  const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring dir(path, length);
  return dir.substr(0, dir.find_last_of(L"\\/") + 1) + name;
}

// Milliseconds from CreateProcess to a shown, idle window; negative on failure.
double TimeToIdleWindow(const std::wstring& program) {
  std::wstring command = L"\"" + program + L"\"";
  STARTUPINFOW startup{sizeof(startup)};
  PROCESS_INFORMATION process{};
  LARGE_INTEGER frequency, begin, end;
  ::QueryPerformanceFrequency(&frequency);
  ::QueryPerformanceCounter(&begin);
  if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) return -1;
  qvr::unique_handle thread(process.hThread), handle(process.hProcess);
  const DWORD waited = ::WaitForInputIdle(process.hProcess, 30000);
  ::QueryPerformanceCounter(&end);
  ::TerminateProcess(process.hProcess, 0);
  ::WaitForSingleObject(process.hProcess, 10000);
  if (waited != 0) return -1;
  return static_cast<double>(end.QuadPart - begin.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const int repetitions = argc > 1 ? std::max(1, _wtoi(argv[1])) : 15;
  const std::wstring player = Beside(L"QVRPlayer.exe"), minimal = Beside(L"minimal_window.exe");
  // One of each first, untimed: the first start of any program pays for the system's caches.
  TimeToIdleWindow(minimal);
  TimeToIdleWindow(player);
  std::vector<double> playerTimes, minimalTimes;
  for (int i = 0; i < repetitions; ++i) {
    const double m = TimeToIdleWindow(minimal), p = TimeToIdleWindow(player);
    if (m < 0 || p < 0) {
      std::fprintf(stderr, "startup_bench: a program did not reach an idle window\n");
      return 1;
    }
    minimalTimes.push_back(m);
    playerTimes.push_back(p);
  }
  const double mp = Median(playerTimes), mm = Median(minimalTimes);
  std::printf("%-22s %10s\n", "program", "median ms");
  std::printf("%-22s %10.1f\n", "minimal_window.exe", mm);
  std::printf("%-22s %10.1f\n", "QVRPlayer.exe", mp);
  std::printf("ratio QVRPlayer / minimal: %.2fx over %d interleaved starts (goal <= 1.5x)\n", mp / mm, repetitions);
  return 0;
}
