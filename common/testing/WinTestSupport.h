// Helpers for the tests that run under Windows (Wine here): where the test binaries and the
// sample media are, and a COM apartment per test.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "common/win/unique_resource.h"

namespace qvr::testing {

// The folder of the running test executable, with a trailing backslash.
inline std::wstring ExeDirectory() {
  wchar_t path[MAX_PATH];
  const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring dir(path, length);
  return dir.substr(0, dir.find_last_of(L"\\/") + 1);
}

// The build puts the sample media in "samples" beside the binaries.
inline std::wstring SamplePath(const wchar_t* name) { return ExeDirectory() + L"samples\\" + name; }

// Set by tools/wine-exec.sh for a 32-bit test run under qemu-i386, which cannot read another
// process's memory, reports hardware exceptions with wrong codes and crashes or hangs in some
// runs of many DDE conversations in a row. A case that needs one of these skips with
// GTEST_SKIP() << kSkippedUnderQemu << why; its CTest entry reports that as skipped.
inline bool RunsUnderQemu() { return ::GetEnvironmentVariableW(L"QVR_WINE32_QEMU", nullptr, 0) != 0; }
inline constexpr char kSkippedUnderQemu[] = "skipped under qemu-i386: ";

// A single-threaded apartment for the duration of one test.
class ComTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_HRESULT_SUCCEEDED(com_.result()); }

 private:
  unique_coinit com_{COINIT_APARTMENTTHREADED};
};

}  // namespace qvr::testing
