// The real main window in this process: its chrome, shapes and hit test, the settings it reads
// and writes, the exit question answered by a test thread, and the messages other programs send.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "common/testing/WinTestSupport.h"
#include "common/win/text.h"
#include "player/app/ConfirmDialog.h"
#include "player/app/FormMain.h"
#include "player/app/Registry.h"
#include "player/app/Startup.h"
#include "player/app/core/CopyData.h"
#include "player/app/tests/MainWindowTest.h"
#include "player/ui/PanelX.h"
#include "player/ui/Win32FileSystem.h"
#include "player/ui/uButton.h"

namespace {

using namespace qvr::app;
using namespace qvr::app::testing;

TEST_F(MainWindow, FirstRunIsCentredWithTheChromeInPlace) {
  TfrmQVRPlayer& form = Start();
  wchar_t className[64] = {};
  ::GetClassNameW(form.Handle(), className, 64);
  EXPECT_STREQ(L"TfrmQVRPlayer", className);
  EXPECT_EQ(::FindWindowW(L"TfrmQVRPlayer", nullptr), form.Handle());
  const RECT r = WindowRect(form.Handle());
  const int sw = ::GetSystemMetrics(SM_CXSCREEN), sh = ::GetSystemMetrics(SM_CYSCREEN);
  EXPECT_EQ((sw - 500) / 2, r.left);
  EXPECT_EQ((sh - 400) / 2, r.top);
  EXPECT_EQ(500, r.right - r.left);
  EXPECT_EQ(400, r.bottom - r.top);
  EXPECT_TRUE(form.SavePositionChecked);
  EXPECT_TRUE(form.CheckUpdatesChecked);
  EXPECT_FALSE(form.StayOnTopChecked);
  EXPECT_FALSE(form.FRepeat);
  EXPECT_FALSE(::GetWindowLongW(form.Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_GT(form.FCharSize.cx, 0);
  // The anchored bars and the centred transport at 500 x 400.
  EXPECT_EQ((qvr::ui::TRect{2, 2, 498, 35}), Control("pTop").Bounds());
  EXPECT_EQ((qvr::ui::TRect{2, 36, 498, 343}), Control("pScreen").Bounds());
  EXPECT_EQ((qvr::ui::TRect{2, 343, 498, 398}), Control("pControl").Bounds());
  EXPECT_EQ((500 - 56) / 2 - 2, Control("btnPlay").Left());
  EXPECT_EQ(496 - 26, Control("btnRepeat").Left());
  EXPECT_EQ(548 + 496 - 566, Control("btnClose").Left());
}

TEST_F(MainWindow, ShapesAndHitTestFollowTheTable) {
  TfrmQVRPlayer& form = Start();
  HRGN region = ::CreateRectRgn(0, 0, 0, 0);
  ASSERT_NE(ERROR, ::GetWindowRgn(form.Handle(), region));
  EXPECT_FALSE(::PtInRegion(region, 0, 0));  // rounded corner
  EXPECT_TRUE(::PtInRegion(region, 6, 6));
  EXPECT_TRUE(::PtInRegion(region, 250, 399));
  EXPECT_FALSE(::PtInRegion(region, 499, 399));
  ASSERT_NE(ERROR, ::GetWindowRgn(Control("pTop").Handle(), region));
  EXPECT_FALSE(::PtInRegion(region, 0, 0));
  EXPECT_FALSE(::PtInRegion(region, 2, 1));
  EXPECT_TRUE(::PtInRegion(region, 4, 1));
  EXPECT_TRUE(::PtInRegion(region, 0, 32));
  qvr::ui::TControl& bar = Control("pControl");
  ASSERT_NE(ERROR, ::GetWindowRgn(bar.Handle(), region));
  EXPECT_FALSE(::PtInRegion(region, 0, bar.Height() - 1));
  EXPECT_TRUE(::PtInRegion(region, 0, 0));
  EXPECT_TRUE(::PtInRegion(region, 5, bar.Height() - 1));
  ::DeleteObject(region);

  const RECT r = WindowRect(form.Handle());
  auto hit = [&](int dx, int dy) {
    return ::SendMessageW(form.Handle(), WM_NCHITTEST, 0, MAKELPARAM(r.left + dx, r.top + dy));
  };
  EXPECT_EQ(HTTOPLEFT, hit(5, 5));
  EXPECT_EQ(HTLEFT, hit(5, 100));
  EXPECT_EQ(HTCAPTION, hit(6, 29));
  EXPECT_EQ(HTCLIENT, hit(6, 30));
  EXPECT_EQ(HTBOTTOMRIGHT, hit(495, 395));
  EXPECT_EQ(HTCLIENT, hit(494, 394));
  form.SetMaximized(true);
  const RECT maximised = WindowRect(form.Handle());
  EXPECT_EQ(HTCLIENT, ::SendMessageW(form.Handle(), WM_NCHITTEST, 0, MAKELPARAM(maximised.left + 5, maximised.top + 5)));
  EXPECT_TRUE(form.FMaximized);
  form.SetMaximized(false);
  EXPECT_FALSE(form.FMaximized);
  EXPECT_EQ(400, WindowRect(form.Handle()).bottom - WindowRect(form.Handle()).top);
  // Full screen needs something loaded.
  form.ToggleFullScreen();
  EXPECT_FALSE(form.Engine().FullScreen);
  // SC_MONITORPOWER exactly is refused; with other low bits it is not ours.
  EXPECT_EQ(-1, ::SendMessageW(form.Handle(), WM_SYSCOMMAND, 0xF170, 2));
  EXPECT_NE(-1, ::SendMessageW(form.Handle(), WM_SYSCOMMAND, 0xF171, 2));
}

TEST_F(MainWindow, PaintsTheTopBarAndTheIdleScreen) {
  TfrmQVRPlayer& form = Start();
  ::SetWindowPos(form.Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  ::RedrawWindow(form.Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  Pump();
  HDC screen = ::GetDC(nullptr);
  const RECT r = WindowRect(form.Handle());
  const COLORREF frame = ::GetPixel(screen, r.left + 1, r.top + 200);
  const COLORREF logo = ::GetPixel(screen, r.left + 2 + 4 + 40, r.top + 2 + form.ScaleY(8) + 8);
  const COLORREF bar = ::GetPixel(screen, r.left + 2 + 250, r.top + 2 + 30);
  // Image2 sits in the middle of the black video panel.
  const qvr::ui::TRect panel = Control("pScreen").Bounds();
  const COLORREF idle = ::GetPixel(screen, r.left + panel.Left + panel.Width() / 2 - 100, r.top + panel.Top + panel.Height() / 2);
  const COLORREF black = ::GetPixel(screen, r.left + panel.Left + 3, r.top + panel.Top + panel.Height() / 2);
  ::ReleaseDC(nullptr, screen);
  EXPECT_EQ(kChromeColor, frame);
  EXPECT_NE(kChromeColor, logo);
  EXPECT_NE(0u, bar);
  EXPECT_NE(0u, idle);
  EXPECT_EQ(0u, black);
}

TEST_F(MainWindow, SettingsAreWrittenAtCloseAndReadAtStart) {
  TfrmQVRPlayer& form = Start();
  RegWriteInt(kPlayerKey, "ForceExit", 1);
  ::SetWindowPos(form.Handle(), nullptr, 40, 50, 640, 480, SWP_NOZORDER | SWP_NOACTIVATE);
  for (int i = 0; i < 10; ++i) form.AddRecent("C:\\media\\" + std::to_string(i) + ".avi");
  form.AddRecent("c:\\MEDIA\\5.AVI");
  form.FRepeat = true;
  ASSERT_TRUE(Close());
  EXPECT_EQ("40,50,640,480", Setting("Position"));
  EXPECT_EQ(1, RegReadInt(kPlayerKey, "ForceExit"));
  EXPECT_EQ(1, RegReadInt(kPlayerKey, "Repeat"));
  EXPECT_EQ(1, RegReadInt(kPlayerKey, "AutoCheckUpdates"));
  EXPECT_EQ(0, RegReadInt(kPlayerKey, "StayOnTop"));
  std::string recent;
  EXPECT_TRUE(RegReadString(kRecentKey, "0", recent));
  EXPECT_EQ("C:\\media\\5.avi", recent);
  EXPECT_TRUE(RegReadString(kRecentKey, "8", recent));
  EXPECT_EQ("C:\\media\\1.avi", recent);
  EXPECT_FALSE(RegReadString(kRecentKey, "9", recent));

  // The second run finds all of it; "Save position" off then removes the position at close.
  RegWriteInt(kPlayerKey, "Run", 1);
  RegWriteInt(kPlayerKey, "StayOnTop", 1);
  TfrmQVRPlayer& second = Start();
  EXPECT_EQ(40, WindowRect(second.Handle()).left);
  EXPECT_EQ(480, WindowRect(second.Handle()).bottom - WindowRect(second.Handle()).top);
  EXPECT_TRUE(second.FRepeat);
  EXPECT_TRUE(second.Find<qvr::ui::TSkinButton>("btnRepeat")->Down());
  EXPECT_TRUE(second.StayOnTopChecked);
  ASSERT_EQ(9u, second.Recent().Items().size());
  EXPECT_EQ("C:\\media\\5.avi", second.Recent().Items()[0]);
  second.SavePositionChecked = false;
  second.ClearRecent();
  EXPECT_FALSE(KeyExists(kPlayerKeyW + L"\\Recent"));
  ASSERT_TRUE(Close());
  EXPECT_EQ("", Setting("Position"));
  EXPECT_FALSE(KeyExists(kPlayerKeyW + L"\\Recent"));
  TfrmQVRPlayer& third = Start();
  EXPECT_FALSE(third.SavePositionChecked);  // "Run" is 1 and no position is stored
}

TEST_F(MainWindow, ShortAndEmptyPositionsFallBackPerField) {
  RegWriteString(kPlayerKey, "Position", "12,34");
  Start();
  EXPECT_EQ(512, WindowRect(form_->Handle()).right);
  EXPECT_EQ(434, WindowRect(form_->Handle()).bottom);
  form_.reset();
  RegWriteString(kPlayerKey, "Position", ",x,,");
  Start();
  const int sw = ::GetSystemMetrics(SM_CXSCREEN);
  EXPECT_EQ((sw - 500) / 2, WindowRect(form_->Handle()).left);
}

// Answers the exit question from another thread: ticks the box when asked, copies the dialog
// with Ctrl+C, then presses the named button.
class DialogAnswerer {
 public:
  DialogAnswerer(const wchar_t* button, bool tick) {
    thread_ = std::thread([this, button, tick] {
      HWND dialog = nullptr;
      for (int i = 0; i < 200 && !dialog; ++i, ::Sleep(25)) dialog = ::FindWindowW(kMessageFormClass, L"QVR Player");
      if (!dialog) return;
      found_ = true;
      ::Sleep(100);
      HWND box = ::FindWindowExW(dialog, nullptr, L"BUTTON", L"Don't ask me again");
      if (tick && box) ::SendMessageW(box, BM_CLICK, 0, 0);
      // Ctrl+C as real keys to the dialog, which has the focus.
      ::SetForegroundWindow(dialog);
      INPUT keys[4] = {};
      const WORD codes[4] = {VK_CONTROL, 'C', 'C', VK_CONTROL};
      for (int k = 0; k < 4; ++k) {
        keys[k].type = INPUT_KEYBOARD;
        keys[k].ki.wVk = codes[k];
        keys[k].ki.dwFlags = k >= 2 ? KEYEVENTF_KEYUP : 0;
      }
      ::SendInput(4, keys, sizeof(INPUT));
      ::Sleep(300);
      if (::OpenClipboard(nullptr)) {
        if (HANDLE data = ::GetClipboardData(CF_UNICODETEXT)) {
          clipboard_ = static_cast<const wchar_t*>(::GlobalLock(data));
          ::GlobalUnlock(data);
        }
        ::CloseClipboard();
      }
      HWND target = ::FindWindowExW(dialog, nullptr, L"BUTTON", button);
      if (target) ::SendMessageW(target, BM_CLICK, 0, 0);
    });
  }
  ~DialogAnswerer() { Join(); }
  void Join() {
    if (thread_.joinable()) thread_.join();
  }
  bool Found() const { return found_; }
  const std::wstring& Clipboard() const { return clipboard_; }

 private:
  std::thread thread_;
  std::atomic<bool> found_{false};
  std::wstring clipboard_;
};

TEST_F(MainWindow, TheExitQuestionDecidesAndRemembersTheBox) {
  Start();
  {
    DialogAnswerer answer(L"&No", false);
    EXPECT_FALSE(Close());
    answer.Join();
    EXPECT_TRUE(answer.Found());
    const std::wstring divider = std::wstring(27, L'-') + L"\r\n";
    EXPECT_EQ(divider + L"QVR Player\r\n" + divider + L"Do you want to Exit?\r\n" + divider + L"Yes   No   \r\n" + divider,
              answer.Clipboard());
  }
  EXPECT_TRUE(form_->Handle());
  EXPECT_FALSE(form_->FClosing);
  EXPECT_EQ("", Setting("Position"));  // No: nothing written
  // The close box answers Cancel, which is no Yes either.
  {
    std::thread closer([] {
      HWND dialog = nullptr;
      for (int i = 0; i < 200 && !dialog; ++i, ::Sleep(25)) dialog = ::FindWindowW(kMessageFormClass, L"QVR Player");
      if (dialog) ::PostMessageW(dialog, WM_CLOSE, 0, 0);
    });
    EXPECT_FALSE(Close());
    closer.join();
  }
  EXPECT_TRUE(form_->Handle());
  {
    DialogAnswerer answer(L"&Yes", true);
    EXPECT_TRUE(Close());
  }
  EXPECT_EQ(1, RegReadInt(kPlayerKey, "ForceExit"));
  EXPECT_NE("", Setting("Position"));
  // Yes with the box unticked asks again next time.
  RegWriteInt(kPlayerKey, "ForceExit", 0);
  Start();
  {
    DialogAnswerer answer(L"&Yes", false);
    EXPECT_TRUE(Close());
  }
  EXPECT_EQ(0, RegReadInt(kPlayerKey, "ForceExit"));
  // WM_QUIT sent by another program closes without asking and remembers not to ask.
  Start();
  ::SendMessageW(form_->Handle(), WM_QUIT, 0, 0);
  Pump();
  EXPECT_FALSE(form_->Handle());
  EXPECT_EQ(1, RegReadInt(kPlayerKey, "ForceExit"));
}

TEST_F(MainWindow, IncomingPathsReachThePlaylistWithoutPlaying) {
  // Three media files, one of them named outside the system code page.
  const std::wstring names[] = {L"one.wav", L"two.wav", L"\x0442\x0440\x0438.wav"};
  for (const auto& n : names) fs::copy_file(qvr::testing::SamplePath(L"tone.wav"), folder_ / n);
  TfrmQVRPlayer& form = Start();
  auto send = [&](uintptr_t kind, const std::string& bytes, DWORD size) {
    COPYDATASTRUCT data{kind, size, const_cast<char*>(bytes.data())};
    return ::SendMessageW(form.Handle(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
  };
  const std::string one = Folder() + "one.wav";
  send(0, one, 0);  // cbData 0: nothing
  EXPECT_EQ(0, form.Playlist().List().RowCount());
  send(0, one + "garbage", static_cast<DWORD>(one.size()));  // no terminating zero: cbData counts
  EXPECT_EQ(1, form.Playlist().List().RowCount());
  EXPECT_FALSE(form.Playlist().Visible());
  const std::string two = Folder() + "two.wav";
  send(0, two + std::string(1, '\0') + "tail", static_cast<DWORD>(two.size() + 5));  // a zero ends it
  EXPECT_EQ(2, form.Playlist().List().RowCount());
  EXPECT_EQ(two, form.Playlist().List().Item(1).FileName);
  EXPECT_TRUE(form.Playlist().Visible());
  const std::string third = Folder() + qvr::WideToUtf8(names[2]);
  send(kCopyDataUtf8, third, static_cast<DWORD>(third.size()));
  ASSERT_EQ(3, form.Playlist().List().RowCount());
  EXPECT_EQ(third, form.Playlist().List().Item(2).FileName);
  EXPECT_EQ(qvr::engine::kStateClosed, form.Engine().GetState());
  // At close the list is kept as "default.m3u" and comes back with the next start.
  RegWriteInt(kPlayerKey, "ForceExit", 1);
  ASSERT_TRUE(Close());
  EXPECT_TRUE(fs::exists(folder_ / "default.m3u"));
  TfrmQVRPlayer& next = Start();
  EXPECT_EQ(3, next.Playlist().List().RowCount());
  next.Playlist().List().RemoveItems(true, false);
  ASSERT_TRUE(Close());
  EXPECT_FALSE(fs::exists(folder_ / "default.m3u"));
}

TEST_F(MainWindow, ADefaultPlaylistThatCannotBeReadSurvivesTheClose) {
  const fs::path saved = folder_ / "default.m3u";
  { std::ofstream(saved) << "C:\\elsewhere\\kept.mp3\r\n"; }
  {
    // Held open without sharing: the start cannot read it.
    qvr::unique_file locked(::CreateFileW(saved.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(locked);
    EXPECT_EQ(0, Start().Playlist().List().RowCount());
  }
  RegWriteInt(kPlayerKey, "ForceExit", 1);
  ASSERT_TRUE(Close());
  EXPECT_TRUE(fs::exists(saved));
}

TEST_F(MainWindow, AFileOnTheCommandLineOpensCentredAndPlays) {
  const std::string avi = Sample(L"bars.avi");
  TfrmQVRPlayer& form = Start(avi);
  EXPECT_EQ(avi, form.Text());
  EXPECT_EQ("bars", form.Find<qvr::ui::TControl>("stFileName")->Text());
  EXPECT_EQ(qvr::engine::kStateRunning, form.Engine().GetState());
  ASSERT_EQ(1u, form.Recent().Items().size());
  EXPECT_FALSE(form.FOpening);
  // 160 x 120 needs 164 x 213, raised to the smallest window and centred.
  const RECT r = WindowRect(form.Handle());
  EXPECT_EQ(500, r.right - r.left);
  EXPECT_EQ(400, r.bottom - r.top);
  EXPECT_EQ((::GetSystemMetrics(SM_CXSCREEN) - 164) / 2, r.left);
  EXPECT_EQ(1, form.Playlist().List().RowCount());
  // The picture shows in the video panel, and follows the window when it moves: the fourth of
  // the eight bars, green, a little left of the middle whether the picture is stretched or
  // letter-boxed.
  auto pictureColour = [&] {
    for (int i = 0; i < 30; ++i) {  // a few frames
      Pump();
      ::Sleep(20);
    }
    HWND panel = form.Find<qvr::ui::TControl>("pScreen")->Handle();
    RECT client{};
    ::GetClientRect(panel, &client);
    POINT p{client.right / 2 - client.right / 20, client.bottom / 2};
    ::ClientToScreen(panel, &p);
    HDC screen = ::GetDC(nullptr);
    const COLORREF c = ::GetPixel(screen, p.x, p.y);
    ::ReleaseDC(nullptr, screen);
    return c;
  };
  auto green = [](COLORREF c) { return GetRValue(c) < 60 && GetGValue(c) > 200 && GetBValue(c) < 60; };
  EXPECT_PRED1(green, pictureColour());
  form.Engine().Pause();  // the 3-second sample must not end meanwhile; a paused picture repaints
  ::SetWindowPos(form.Handle(), nullptr, r.left - 100, r.top + 50, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  EXPECT_PRED1(green, pictureColour());
  form.ToggleFullScreen();
  EXPECT_TRUE(form.Engine().FullScreen);
  EXPECT_TRUE(form.FNoRegion);
  EXPECT_FALSE(form.Find<qvr::ui::TControl>("pTop")->Visible());
  form.ToggleFullScreen();
  EXPECT_FALSE(form.Engine().FullScreen);
  EXPECT_FALSE(form.FMaximized);
  EXPECT_TRUE(form.Find<qvr::ui::TControl>("pTop")->Visible());
}

TEST_F(MainWindow, APendingUpdateThatCannotStartLeavesThePlayerRunning) {
  RegWriteString(kPlayerKey, "-run", "C:\\missing\\setup.exe");
  RegWriteString(kPlayerKey, "-del", "C:\\missing\\setup.exe");
  std::string asked, parameters;
  const auto result = HandlePendingUpdate(
      "C:\\Program Files\\QVR\\", [](const std::string&) { return true; }, [&](const std::wstring& q) { asked = qvr::WideToUtf8(q); return IDYES; },
      [&](const std::string& file, const std::string& p) {
        parameters = file + " " + p;
        return ShellOpen(file, p);
      });
  EXPECT_EQ(TPendingUpdate::kLaunchFailed, result);
  EXPECT_EQ("C:\\missing\\setup.exe /verysilent /DIR=\"C:\\Program Files\\QVR\"", parameters);
  EXPECT_NE(std::string::npos, asked.find("A newer version of  QVR Player"));
  EXPECT_EQ("", Setting("-run"));
  EXPECT_EQ("C:\\missing\\setup.exe", Setting("-del"));  // deleted at the next start
  // The next start deletes the leftover file without asking.
  const fs::path leftover = folder_ / "~setup.exe";
  fs::copy_file(qvr::testing::SamplePath(L"tone.wav"), leftover);
  RegWriteString(kPlayerKey, "-del", qvr::WideToUtf8(leftover.wstring()));
  EXPECT_EQ(TPendingUpdate::kNone, HandlePendingUpdate("C:\\x\\", [](const std::string&) { return true; }, [](const std::wstring&) { return IDNO; },
                                                       [](const std::string&, const std::string&) { return false; }));
  EXPECT_FALSE(fs::exists(leftover));
  EXPECT_EQ("", Setting("-del"));
}

}  // namespace
