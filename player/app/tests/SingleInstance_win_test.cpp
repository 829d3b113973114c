// The hand-over to a running player with two real processes: this test plays the running player
// (the mutex and a window of class "TfrmQVRPlayer") and starts QVRPlayer.exe beside it.
#include "player/app/SingleInstance.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "common/testing/WinTestSupport.h"
#include "common/win/text.h"
#include "player/app/core/CopyData.h"

namespace {

using namespace qvr::app;

struct TReceived {
  uintptr_t DwData = 0;
  WPARAM Sender = 0;
  std::string Path;
};
std::vector<TReceived> g_received;

LRESULT CALLBACK PlayerWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_COPYDATA) {
    const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lparam);
    const qvr::TWin32CodePage systemCodePage;
    g_received.push_back({data->dwData, wparam, DecodeCopyDataPath(data->dwData, data->lpData, data->cbData, systemCodePage)});
    return TRUE;
  }
  return ::DefWindowProcW(window, message, wparam, lparam);
}

class SingleInstanceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_received.clear();
    WNDCLASSW wc{};
    wc.lpfnWndProc = PlayerWindowProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = kMainWindowClass;
    // The real main window's tests register the class for the player's own window procedure.
    ::UnregisterClassW(kMainWindowClass, wc.hInstance);
    ASSERT_NE(0, ::RegisterClassW(&wc));
    mutex_.reset(::CreateMutexW(nullptr, FALSE, kInstanceMutexName));
    ASSERT_TRUE(mutex_);
    ASSERT_NE(static_cast<DWORD>(ERROR_ALREADY_EXISTS), ::GetLastError());
  }
  void TearDown() override {
    if (window_) ::DestroyWindow(window_);
    ::UnregisterClassW(kMainWindowClass, ::GetModuleHandleW(nullptr));
  }

  void CreatePlayerWindow() {
    window_ = ::CreateWindowExW(0, kMainWindowClass, L"QVR Player", WS_POPUP | WS_VISIBLE, 0, 0, 200, 100, nullptr,
                                nullptr, ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(window_);
  }

  // Starts QVRPlayer.exe with `arguments` and delivers messages until it ends (its WM_COPYDATA
  // is a sent message, handled while we wait). `windowAfterMs`: create our window only then.
  DWORD RunSecondInstance(const std::wstring& arguments, int windowAfterMs = -1, DWORD* elapsedMs = nullptr) {
    std::wstring command = L"\"" + qvr::testing::ExeDirectory() + L"QVRPlayer.exe\" " + arguments;
    STARTUPINFOW startup{sizeof startup};
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
      ADD_FAILURE() << "CreateProcessW: " << ::GetLastError();
      return ~0u;
    }
    qvr::unique_handle thread(process.hThread), handle(process.hProcess);
    const DWORD started = ::GetTickCount();
    for (;;) {
      if (windowAfterMs >= 0 && !window_ && ::GetTickCount() - started >= static_cast<DWORD>(windowAfterMs))
        CreatePlayerWindow();
      const DWORD wait = ::MsgWaitForMultipleObjects(1, &process.hProcess, FALSE, 20, QS_ALLINPUT);
      MSG msg;
      while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
      if (wait == WAIT_OBJECT_0) break;
      if (::GetTickCount() - started > 30000) {
        ::TerminateProcess(process.hProcess, 99);
        ADD_FAILURE() << "the second instance did not end";
        break;
      }
    }
    if (elapsedMs) *elapsedMs = ::GetTickCount() - started;
    DWORD code = ~0u;
    ::GetExitCodeProcess(process.hProcess, &code);
    return code;
  }

  qvr::unique_handle mutex_;
  HWND window_ = nullptr;
};

TEST_F(SingleInstanceTest, HandsACyrillicPathToTheRunningPlayerWhole) {
  CreatePlayerWindow();
  const std::wstring path = L"C:\\Музыка\\Ёжик в тумане 🎵.mp3";
  EXPECT_EQ(0u, RunSecondInstance(L"\"" + path + L"\""));
  ASSERT_EQ(1u, g_received.size());
  EXPECT_EQ(kCopyDataUtf8, g_received[0].DwData);
  EXPECT_NE(0u, g_received[0].Sender);  // the sender's module instance
  EXPECT_EQ(qvr::WideToUtf8(path), g_received[0].Path);
  // What the old hand-over would have sent: the name lost before it left.
  EXPECT_NE(qvr::WideToUtf8(path), DecodeCopyDataPath(0, qvr::ToAnsi(path).data(), qvr::ToAnsi(path).size(),
                                                      qvr::TWin32CodePage()));
}

TEST_F(SingleInstanceTest, WaitsForAWindowThatAppearsLateAndSendsNothingWithoutAnArgument) {
  EXPECT_EQ(0u, RunSecondInstance(L"C:\\late.mp3", 300));
  ASSERT_EQ(1u, g_received.size());
  EXPECT_EQ("C:\\late.mp3", g_received[0].Path);

  g_received.clear();
  EXPECT_EQ(0u, RunSecondInstance(L""));
  EXPECT_TRUE(g_received.empty());
}

TEST_F(SingleInstanceTest, GivesUpAfterAboutASecondWithoutAWindow) {
  DWORD elapsed = 0;
  EXPECT_EQ(0u, RunSecondInstance(L"C:\\lost.mp3", -1, &elapsed));
  EXPECT_GE(elapsed, 1000u - 100u);  // ten pauses of 100 ms before it ends
  EXPECT_TRUE(g_received.empty());
}

TEST_F(SingleInstanceTest, WithoutTheMutexTheProgramIsTheFirstPlayer) {
  CreatePlayerWindow();
  mutex_.reset();
  // The first player opens its own window; WM_QUIT sent to it closes it without the question.
  std::thread closer([this] {
    for (int i = 0; i < 300; ++i, ::Sleep(50)) {
      HWND other = nullptr;
      while ((other = ::FindWindowExW(nullptr, other, kMainWindowClass, nullptr)) && other == window_) {
      }
      if (other) {
        ::Sleep(300);
        ::SendMessageW(other, WM_QUIT, 0, 0);
        return;
      }
    }
  });
  EXPECT_EQ(0u, RunSecondInstance(L"C:\first.mp3"));
  closer.join();
  EXPECT_TRUE(g_received.empty());  // a first instance hands nothing over, whatever windows exist
  ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\QVRPlayer");
  ::RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\QVRPlayer");
}

}  // namespace
