#include <windows.h>

#include <gtest/gtest.h>

#include "common/testing/WinTestSupport.h"

namespace {

TEST(Connector, LoadsAndExportsTheXpcomEntryPoints) {
  qvr::unique_hmodule dll(::LoadLibraryW((qvr::testing::ExeDirectory() + L"qvr_connector.dll").c_str()));
  ASSERT_TRUE(dll);
  EXPECT_NE(nullptr, ::GetProcAddress(dll.get(), "NSGetModule"));
  EXPECT_NE(nullptr, ::GetProcAddress(dll.get(), "NSModule"));
}

}  // namespace
