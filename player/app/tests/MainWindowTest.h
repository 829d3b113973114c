// The real main window hosted by a test: the settings key cleared before and after, a scratch
// folder as the program folder, exceptions from window procedures collected and failed on.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/testing/WinTestSupport.h"
#include "common/win/text.h"
#include "player/app/FormMain.h"
#include "player/app/Registry.h"
#include "player/ui/Win32FileSystem.h"

namespace qvr::app::testing {

namespace fs = std::filesystem;

inline const std::wstring kPlayerKeyW = L"Software\\QVRPlayer";

// The player's settings key is the real one: each test starts without it and leaves none.
inline void ClearSettings() { ::RegDeleteTreeW(HKEY_CURRENT_USER, kPlayerKeyW.c_str()), ::RegDeleteKeyW(HKEY_CURRENT_USER, kPlayerKeyW.c_str()); }

inline bool KeyExists(const std::wstring& key) {
  HKEY raw = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &raw) != ERROR_SUCCESS) return false;
  ::RegCloseKey(raw);
  return true;
}

inline std::string Setting(const char* name) {
  std::string value;
  RegReadString(kPlayerKey, name, value);
  return value;
}

class MainWindow : public qvr::testing::ComTest {
 protected:
  virtual const char* FolderName() const { return "mainwindow"; }
  void SetUp() override {
    ComTest::SetUp();
    ClearSettings();
    folder_ = fs::path(qvr::testing::ExeDirectory()) / FolderName();
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    previous_ = qvr::ui::SetExceptionReporter([this](const std::string& m) { reported_.push_back(m); });
  }
  void TearDown() override {
    form_.reset();
    ClearSettings();
    fs::remove_all(folder_);
    qvr::ui::SetExceptionReporter(previous_);
    EXPECT_TRUE(reported_.empty()) << reported_.front();
  }

  std::string Folder() const { return qvr::WideToUtf8(folder_.wstring()) + "\\"; }
  std::string Sample(const wchar_t* name) { return qvr::WideToUtf8(qvr::testing::SamplePath(name)); }

  TfrmQVRPlayer& Start(std::optional<std::string> argument = std::nullopt) {
    form_ = std::make_unique<TfrmQVRPlayer>(TfrmQVRPlayer::TStartup{Folder(), std::move(argument)}, fileSystem_);
    form_->QuitOnClose = false;
    EXPECT_EQ(S_OK, form_->Create());
    Pump();
    return *form_;
  }
  // Closes through the close sequence; true when the window went.
  bool Close() {
    ::SendMessageW(form_->Handle(), WM_CLOSE, 0, 0);
    const bool gone = !form_->Handle();
    if (gone) form_.reset();
    return gone;
  }
  static void Pump() {
    for (int i = 0; i < 3; ++i) {
      qvr::ui::PumpPendingMessages();
      ::Sleep(10);
    }
  }
  static RECT WindowRect(HWND window) {
    RECT r{};
    ::GetWindowRect(window, &r);
    return r;
  }
  qvr::ui::TControl& Control(const char* name) { return *form_->Find<qvr::ui::TControl>(name); }

  fs::path folder_;
  qvr::ui::TWin32FileSystem fileSystem_;
  std::unique_ptr<TfrmQVRPlayer> form_;
  std::vector<std::string> reported_;
  qvr::ui::TExceptionReporter previous_;
};

}  // namespace qvr::app::testing
