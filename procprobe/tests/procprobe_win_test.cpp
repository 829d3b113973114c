#include <windows.h>

#include <gtest/gtest.h>

#include "common/testing/WinTestSupport.h"

namespace {

using LookupFn = DWORD(WINAPI*)(const char*);

TEST(ProcProbe, ExportsOneFunctionUnderBothNames) {
  qvr::unique_hmodule dll(::LoadLibraryW((qvr::testing::ExeDirectory() + L"procprobe.dll").c_str()));
  ASSERT_TRUE(dll);
  const auto plain = qvr::get_proc_address<LookupFn>(dll.get(), "ProcProbe_Lookup");
  const auto decorated = qvr::get_proc_address<LookupFn>(dll.get(), "ProcProbe_Lookup@4");
  ASSERT_NE(nullptr, plain);
  EXPECT_EQ(plain, decorated);
  EXPECT_EQ(0u, plain(nullptr));
}

}  // namespace
