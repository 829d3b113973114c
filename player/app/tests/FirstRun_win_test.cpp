// The first run of the player: two seconds after the main window, "Run" := 1 is written and the
// file-association dialog is shown over the disabled main window.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "common/testing/WinTestSupport.h"
#include "common/win/text.h"
#include "player/app/FormMain.h"
#include "player/app/FormMainAssociations.h"
#include "player/app/Registry.h"
#include "player/ui/Win32FileSystem.h"
#include "player/ui/tests/AssociationRegistryGuard.h"
#include "player/ui/uPreferences.h"

namespace {

using namespace qvr::app;
namespace fs = std::filesystem;

class FirstRun : public qvr::testing::ComTest {};

TEST_F(FirstRun, TheDialogFollowsAfterTwoSecondsWithRunWrittenBeforeIt) {
  qvr::ui::testing::TAssociationRegistryGuard guard;  // starts and ends without the player's key
  const fs::path folder = fs::path(qvr::testing::ExeDirectory()) / "firstrun";
  fs::remove_all(folder);
  fs::create_directories(folder);
  qvr::ui::TWin32FileSystem fileSystem;
  auto form = std::make_unique<TfrmQVRPlayer>(TfrmQVRPlayer::TStartup{qvr::WideToUtf8(folder.wstring()) + "\\", std::nullopt},
                                              fileSystem);
  form->QuitOnClose = false;
  BindFirstRunAssociations(*form);
  const DWORD started = ::GetTickCount();
  ASSERT_EQ(S_OK, form->Create());
  const HWND main = form->Handle();

  std::atomic<bool> done{false};
  DWORD shownAfter = 0;
  int runWhenShown = -1;
  bool mainEnabledWhenShown = true;
  HWND owner = nullptr;
  std::thread answer([&] {
    HWND dialog = nullptr;
    // Shown, not only created: FindWindow also finds the hidden window while it is built.
    for (int i = 0; i < 600 && !(dialog && ::IsWindowVisible(dialog)); ++i, ::Sleep(10))
      dialog = ::FindWindowW(qvr::ui::TfrmPreferences::kClassName, nullptr);
    if (dialog) {
      shownAfter = ::GetTickCount() - started;
      runWhenShown = RegReadInt(kPlayerKey, "Run");
      mainEnabledWhenShown = ::IsWindowEnabled(main);
      owner = ::GetWindow(dialog, GW_OWNER);
      ::PostMessageW(dialog, WM_KEYDOWN, VK_ESCAPE, 0);
    }
    done = true;
  });
  for (int i = 0; i < 1200 && !done; ++i) {
    qvr::ui::PumpPendingMessages();
    ::Sleep(10);
  }
  answer.join();
  qvr::ui::PumpPendingMessages();
  EXPECT_GE(shownAfter, 1900u);
  EXPECT_LT(shownAfter, 3900u);
  EXPECT_EQ(1, runWhenShown);
  EXPECT_FALSE(mainEnabledWhenShown);
  EXPECT_EQ(main, owner);
  EXPECT_TRUE(::IsWindowEnabled(main));
  EXPECT_EQ(nullptr, ::FindWindowW(qvr::ui::TfrmPreferences::kClassName, nullptr));
  form.reset();
  fs::remove_all(folder);
}

}  // namespace
