// The playback commands on the real main window: opening, transport, keys, seek and volume, the
// end of an item, the main menu driven through its real pop-up, zoom and aspect, drops and the
// open dialog.
#include <windows.h>

#include <control.h>
#include <shlobj.h>
#include <strmif.h>
#include <wrl/client.h>
#include <evcode.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <functional>
#include <thread>

#include "player/app/core/PlaybackRules.h"
#include "player/app/tests/MainWindowTest.h"
#include "player/ui/Menus.h"
#include "player/ui/Tracker.h"
#include "player/ui/uButton.h"
#include "player/ui/uPlaylist.h"

namespace {

using namespace qvr::app;
using namespace qvr::app::testing;
using qvr::ui::TMenuItem;

class Commands : public MainWindow {
 protected:
  const char* FolderName() const override { return "commands"; }

  qvr::ui::TSkinButton& Button(const char* name) { return *form_->Find<qvr::ui::TSkinButton>(name); }
  qvr::ui::TTracker& Tracker(const char* name) { return *form_->Find<qvr::ui::TTracker>(name); }
  TMenuItem& Item(const char* name) { return *form_->Find<TMenuItem>(name); }
  void Click(const char* button) { ::SendMessageW(Button(button).Handle(), BM_CLICK, 0, 0); }
  // A key as the user types it: through the message loop and the window's key preview.
  void Key(UINT message, WPARAM key) {
    ::PostMessageW(::GetFocus() ? ::GetFocus() : form_->Handle(), message, key, 0);
    Pump();
  }
  // A copy of the tone (3 s) under another name, or with its data cut to `keepBytes` while the
  // header still claims the whole length.
  std::string Tone(const char* name, size_t keepBytes = SIZE_MAX) {
    std::ifstream in(fs::path(qvr::testing::SamplePath(L"tone.wav")), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    if (keepBytes != SIZE_MAX) bytes.resize(44 + keepBytes);
    std::ofstream(folder_ / name, std::ios::binary) << bytes;
    return Folder() + name;
  }
  // Waits for the refresh timer's ticks to end the item, at most `ms`.
  bool TickUntil(const std::function<bool()>& done, int ms) {
    for (int waited = 0; waited < ms; waited += 50) {
      form_->RefreshTick();
      if (done()) return true;
      Pump();
      ::Sleep(40);
    }
    return false;
  }
};

// Runs `choose` on another thread once the pop-up menu is up, with its window and menu.
class MenuDriver {
 public:
  explicit MenuDriver(std::function<void(HWND, HMENU)> choose) {
    thread_ = std::thread([this, choose] {
      HWND menu = nullptr;
      for (int i = 0; i < 200 && !(menu = ::FindWindowW(L"#32768", nullptr)); ++i) ::Sleep(20);
      if (!menu) return;
      ::Sleep(100);
      choose(menu, reinterpret_cast<HMENU>(::SendMessageW(menu, MN_GETHMENU, 0, 0)));
    });
  }
  ~MenuDriver() { thread_.join(); }

  // The position of the item with this text, or -1.
  static int Find(HMENU menu, const wchar_t* text) {
    for (int i = 0; i < ::GetMenuItemCount(menu); ++i) {
      wchar_t buffer[512] = {};
      ::GetMenuStringW(menu, i, buffer, 512, MF_BYPOSITION);
      if (std::wstring(buffer) == text) return i;
    }
    return -1;
  }
  static UINT State(HMENU menu, const wchar_t* text) { return ::GetMenuState(menu, Find(menu, text), MF_BYPOSITION); }
  // Chooses the item at `position` with the keyboard, as a user does (the arrow keys pass over
  // separators only).
  static void Choose(HWND window, HMENU menu, int position) {
    int downs = 0;
    for (int i = 0; i <= position; ++i)
      if (!(::GetMenuState(menu, i, MF_BYPOSITION) & MF_SEPARATOR)) ++downs;
    for (int i = 0; i < downs; ++i) ::PostMessageW(window, WM_KEYDOWN, VK_DOWN, 0), ::Sleep(30);
    ::PostMessageW(window, WM_KEYDOWN, VK_RETURN, 0);
  }

 private:
  std::thread thread_;
};

TEST_F(Commands, OpenTransportKeysAndBars) {
  TfrmQVRPlayer& form = Start();
  const std::string tone = Tone("tone one.wav");
  form.OpenMedia(tone, false);
  EXPECT_EQ(tone, form.Text());
  EXPECT_EQ("tone one", form.Find<qvr::ui::TControl>("stFileName")->Text());
  ASSERT_EQ(1u, form.Recent().Items().size());
  EXPECT_EQ("btn_pause", Button("btnPlay").SkinName());
  EXPECT_TRUE(Tracker("trSeek").Enabled());
  RECT r = WindowRect(form.Handle());
  EXPECT_EQ(500, r.right - r.left);  // no picture: the smallest window
  EXPECT_EQ(400, r.bottom - r.top);

  // Space through the key preview pauses and plays; "." and "," step ten seconds (the graph
  // keeps them inside the item).
  Key(WM_KEYDOWN, VK_SPACE);
  EXPECT_FALSE(form.Engine().Playing);
  EXPECT_EQ("btn_play", Button("btnPlay").SkinName());
  Key(WM_KEYDOWN, VK_SPACE);
  EXPECT_TRUE(form.Engine().Playing);
  Key(WM_KEYDOWN, VK_SPACE);
  form.Engine().SetPosition(0);
  Key(WM_CHAR, '.');
  EXPECT_GT(form.Engine().GetCurrentPosition(), 0);
  Key(WM_CHAR, ',');
  EXPECT_EQ(0, form.Engine().GetCurrentPosition());

  // The seek bar: a press stops the timer moving it; the release seeks to the rounded target.
  qvr::ui::TTracker& seek = Tracker("trSeek");
  const int x = seek.Width() / 2;
  ::SendMessageW(seek.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, 5));
  EXPECT_TRUE(form.FSeeking);
  ::SendMessageW(seek.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(x, 5));
  EXPECT_FALSE(form.FSeeking);
  const int64_t target = SeekTarget(seek.Value(), form.Engine().Duration);
  EXPECT_GT(seek.Value(), 0);
  EXPECT_NEAR(static_cast<double>(target), static_cast<double>(form.Engine().GetCurrentPosition()), 1e5);

  // Volume: the bar drives the engine; the wheel steps by five inside 0..100.
  qvr::ui::TTracker& volume = Tracker("trVolume");
  const qvr::ui::TRect track = volume.Model().TrackRect();
  const LPARAM low = MAKELPARAM(track.Left + 2, (track.Top + track.Bottom) / 2);
  ::SendMessageW(volume.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, low);
  ::SendMessageW(volume.Handle(), WM_LBUTTONUP, 0, low);
  EXPECT_EQ(volume.Value(), form.Engine().Volume);
  EXPECT_LT(volume.Value(), 100);
  auto wheel = [&](int start, int delta) {
    volume.SetValue(start);
    ::SendMessageW(form.Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, delta), 0);
    EXPECT_EQ(volume.Value(), form.Engine().Volume);
    return volume.Value();
  };
  EXPECT_EQ(3, wheel(3, -WHEEL_DELTA));
  EXPECT_EQ(98, wheel(98, WHEEL_DELTA));
  EXPECT_EQ(100, wheel(95, WHEEL_DELTA));

  // Mute from the button and from the menu stay in step.
  Click("btnMute");
  EXPECT_TRUE(form.Engine().Muted);
  EXPECT_EQ("btn_audon", Button("btnMute").SkinName());
  form.MainMenu().OnPopup(form.MainMenu());
  EXPECT_TRUE(Item("miMute").Checked);
  Item("miMute").OnClick(Item("miMute"));
  EXPECT_FALSE(form.Engine().Muted);
  EXPECT_EQ("btn_audoff", Button("btnMute").SkinName());

  // Stop: the play skin, the seek bar off; Play with a graph toggles again.
  Click("btnStop");
  EXPECT_EQ("btn_play", Button("btnPlay").SkinName());
  EXPECT_FALSE(Tracker("trSeek").Enabled());
  Click("btnPlay");
  EXPECT_TRUE(form.Engine().Playing);
  EXPECT_EQ(form.Find<qvr::ui::TControl>("pScreen")->Handle(), ::GetFocus());
}

TEST_F(Commands, TheEndOfAnItemStopsRepeatsOrAdvances) {
  TfrmQVRPlayer& form = Start();
  const std::string one = Tone("one.wav"), two = Tone("two.wav");
  auto atEnd = [&] {
    form.Engine().SetPosition(form.Engine().Duration);
    form.RefreshTick();
  };
  // One item, repeat off: stopped, the bar back at 0 and off, the play skin.
  form.Playlist().List().AddPath(one);
  form.OpenMedia(one, false);
  atEnd();
  EXPECT_EQ(qvr::engine::kStateStopped, form.Engine().GetState());
  EXPECT_EQ(0, Tracker("trSeek").Value());
  EXPECT_FALSE(Tracker("trSeek").Enabled());
  EXPECT_EQ("btn_play", Button("btnPlay").SkinName());
  // Repeat on: the same item starts again.
  Click("btnRepeat");
  EXPECT_TRUE(form.FRepeat);
  form.OpenMedia(one, false);
  atEnd();
  EXPECT_EQ(qvr::engine::kStateRunning, form.Engine().GetState());
  EXPECT_EQ(one, form.Engine().FileName);
  // Two items: the next one, then back to the first.
  form.Playlist().List().AddPath(two);
  atEnd();
  EXPECT_EQ(two, form.Engine().FileName);
  atEnd();
  EXPECT_EQ(one, form.Engine().FileName);
  EXPECT_EQ(qvr::engine::kStateRunning, form.Engine().GetState());
  // The time text between ends, paused so that the position holds while it is read.
  form.Engine().Pause();
  form.Engine().SetPosition(10'000'000);
  form.RefreshTick();
  EXPECT_EQ("00:01 / 00:03", form.Find<qvr::ui::TControl>("stTime")->Text());
  EXPECT_EQ(1667, Tracker("trSeek").Value());
}

// Wine's wave parser takes the length from the data it finds, so a stream that ends short of its
// stated duration is made by the graph's own completion notice, raised where a renderer would.
void SignalCompletion(TfrmQVRPlayer& form) {
  Microsoft::WRL::ComPtr<IMediaEvent> events;
  Microsoft::WRL::ComPtr<IMediaEventSink> sink;
  ASSERT_EQ(S_OK, form.Engine().Graph.As(&events));
  ASSERT_EQ(S_OK, form.Engine().Graph.As(&sink));
  events->CancelDefaultHandling(EC_COMPLETE);  // passed on at once, not counted per renderer
  ASSERT_EQ(S_OK, sink->Notify(EC_COMPLETE, S_OK, 0));
}

TEST_F(Commands, AnItemEndsWhenTheGraphCompletesShortOfItsDuration) {
  TfrmQVRPlayer& form = Start();
  form.OpenMedia(Tone("one.wav"), false);
  ASSERT_EQ(qvr::engine::kStateRunning, form.Engine().GetState());
  form.Engine().SetPosition(10'000'000);
  form.RefreshTick();
  EXPECT_EQ("btn_pause", Button("btnPlay").SkinName());
  // A pause that lands on the end holds, also with repeat on; playing on ends the item.
  Click("btnRepeat");
  Click("btnPlay");
  ASSERT_EQ(qvr::engine::kStatePaused, form.Engine().GetState());
  SignalCompletion(form);
  form.Engine().SetPosition(form.Engine().Duration);
  form.RefreshTick();
  EXPECT_EQ(qvr::engine::kStatePaused, form.Engine().GetState());
  EXPECT_EQ(form.Engine().Duration, form.Engine().GetCurrentPosition());
  Click("btnRepeat");
  Click("btnPlay");
  form.RefreshTick();
  EXPECT_EQ("btn_play", Button("btnPlay").SkinName());
  EXPECT_FALSE(Tracker("trSeek").Enabled());
  EXPECT_EQ(qvr::engine::kStateStopped, form.Engine().GetState());
}

TEST_F(Commands, TheMainMenuOpensWithItsStateAndActs) {
  TfrmQVRPlayer& form = Start();
  POINT at{form.Left() + 20, form.Top() + 60};
  // Nothing loaded: properties, convert and the empty recent list are off; hidden items absent.
  {
    std::atomic<UINT> properties{0}, recent{0}, convert{0};
    std::atomic<int> count{0}, openUrl{0};
    MenuDriver driver([&](HWND window, HMENU menu) {
      properties = MenuDriver::State(menu, L"Properties");
      recent = MenuDriver::State(menu, L"Recent files");
      convert = MenuDriver::State(menu, L"Convert");
      openUrl = MenuDriver::Find(menu, L"Open Url");
      count = ::GetMenuItemCount(menu);
      ::PostMessageW(window, WM_KEYDOWN, VK_ESCAPE, 0);
    });
    EXPECT_EQ(nullptr, form.MainMenu().Popup(form.Handle(), at));
    EXPECT_TRUE(properties & MF_GRAYED);
    EXPECT_TRUE(recent & MF_GRAYED);
    EXPECT_TRUE(convert & MF_GRAYED);
    EXPECT_EQ(-1, openUrl);
    EXPECT_EQ(22, count);  // the table less its hidden items
  }
  const std::string one = Tone("one.wav"), two = Tone("two.wav");
  form.OpenMedia(one, false);
  form.OpenMedia(two, false);
  // Loaded: properties and convert on; "Repeat" chosen with the keyboard takes effect.
  {
    std::atomic<UINT> properties{0}, convert{0}, keep{0};
    MenuDriver driver([&](HWND window, HMENU menu) {
      properties = MenuDriver::State(menu, L"Properties");
      convert = MenuDriver::State(menu, L"Convert");
      HMENU aspect = ::GetSubMenu(menu, MenuDriver::Find(menu, L"Aspect Ratio"));
      keep = aspect ? MenuDriver::State(aspect, L"Keep Original") : 0;
      MenuDriver::Choose(window, menu, MenuDriver::Find(menu, L"Repeat"));
    });
    TMenuItem* chosen = form.MainMenu().Popup(form.Handle(), at);
    ASSERT_NE(nullptr, chosen);
    EXPECT_EQ("miRepeat", chosen->Name());
    EXPECT_FALSE(properties & MF_GRAYED);
    EXPECT_FALSE(convert & MF_GRAYED);
    EXPECT_TRUE(keep & MF_CHECKED);
  }
  EXPECT_TRUE(form.FRepeat);
  EXPECT_TRUE(Button("btnRepeat").Down());
  // The recent submenu is rebuilt at each pop-up: the paths, most recent first, then "Clear".
  form.MainMenu().OnPopup(form.MainMenu());
  TMenuItem& recent = Item("miRecentfiles");
  ASSERT_EQ(4, recent.Count());
  EXPECT_EQ("Recent0", recent.Items()[0]->Name());
  EXPECT_EQ(two, recent.Items()[0]->Caption);
  EXPECT_EQ(one, recent.Items()[1]->Caption);
  EXPECT_TRUE(recent.Items()[2]->IsSeparator());
  EXPECT_EQ("miRecentClear", recent.Items()[3]->Name());
  // A path that has gone is ignored and stays; "Clear" empties the list.
  std::filesystem::remove(folder_ / "one.wav");
  recent.Items()[1]->OnClick(*recent.Items()[1]);
  EXPECT_EQ(two, form.Engine().FileName);
  recent.Items()[3]->OnClick(*recent.Items()[3]);
  EXPECT_TRUE(form.Recent().Items().empty());
  form.MainMenu().OnPopup(form.MainMenu());
  EXPECT_EQ(0, recent.Count());
  EXPECT_FALSE(recent.Enabled);
  // The settings items only toggle their marks.
  const bool save = form.SavePositionChecked;
  Item("miSavePosition").OnClick(Item("miSavePosition"));
  EXPECT_NE(save, form.SavePositionChecked);
  Item("miStayonTop").OnClick(Item("miStayonTop"));
  EXPECT_TRUE(form.StayOnTopChecked);
  Item("miStayonTop").OnClick(Item("miStayonTop"));
}

TEST_F(Commands, ZoomAndAspectRatioFollowThePicture) {
  TfrmQVRPlayer& form = Start();
  const std::string bars = Sample(L"bars.avi");
  form.OpenMedia(bars, false);
  ASSERT_EQ(160, form.Engine().VideoWidth);
  ASSERT_EQ(120, form.Engine().VideoHeight);
  auto size = [&] {
    const RECT r = WindowRect(form.Handle());
    return std::pair<int, int>{r.right - r.left, r.bottom - r.top};
  };
  // 200 %: 324 wide, raised to 500; the height from that width at 4:3.
  Item("N2001").OnClick(Item("N2001"));
  EXPECT_EQ(2, form.FZoom);
  EXPECT_EQ(std::pair(500, 468), size());
  // 16:9 keeps the size; zoom then follows the ratio: Trunc(500 / 1.777...) + 93 = 374 -> 400.
  Item("N1691").OnClick(Item("N1691"));
  EXPECT_EQ(3, form.FAspectMode);
  EXPECT_EQ(std::pair(500, 468), size());
  Item("N1001").OnClick(Item("N1001"));
  EXPECT_EQ(std::pair(500, 400), size());
  form.MainMenu().OnPopup(form.MainMenu());
  EXPECT_TRUE(Item("N1001").Checked);
  EXPECT_FALSE(Item("N2001").Checked);
  EXPECT_TRUE(Item("N1691").Checked);
  // A new open returns to "Keep Original" and "100%".
  form.OpenMedia(bars, false);
  EXPECT_EQ(0, form.FAspectMode);
  EXPECT_EQ(0, form.FZoom);
  // Nothing loaded: zoom does nothing.
  Click("btnStop");
  form.Engine().Close();
  Item("N2001").OnClick(Item("N2001"));
  EXPECT_EQ(0, form.FZoom);
}

// A real HDROP as the shell builds it: DROPFILES followed by the wide names, double-terminated.
HGLOBAL MakeDrop(const std::vector<std::wstring>& names) {
  size_t chars = 1;
  for (const auto& n : names) chars += n.size() + 1;
  HGLOBAL memory = ::GlobalAlloc(GHND, sizeof(DROPFILES) + chars * sizeof(wchar_t));
  auto* drop = static_cast<DROPFILES*>(::GlobalLock(memory));
  drop->pFiles = sizeof(DROPFILES);
  drop->fWide = TRUE;
  auto* text = reinterpret_cast<wchar_t*>(drop + 1);
  for (const auto& n : names) {
    std::copy(n.begin(), n.end(), text);
    text += n.size() + 1;
  }
  ::GlobalUnlock(memory);
  return memory;
}

TEST_F(Commands, DropsAndTheOpenDialogFillThePlaylistAndOpenTheFirst) {
  TfrmQVRPlayer& form = Start();
  const std::string a = Tone("a.wav"), b = Tone("b.wav"), c = Tone("c.wav");
  // The hidden playlist, undocked, past the screen's left and bottom edges: shown, it comes back
  // centred along both.
  const HWND list = form.Playlist().Handle();
  form.Playlist().Docked = false;
  ::SetWindowPos(list, nullptr, -400, ::GetSystemMetrics(SM_CYSCREEN) - 50, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  ::SendMessageW(form.Handle(), WM_DROPFILES,
                 reinterpret_cast<WPARAM>(MakeDrop({qvr::Utf8ToWide(a), qvr::Utf8ToWide(b), qvr::Utf8ToWide(c)})), 0);
  ASSERT_EQ(3, form.Playlist().List().RowCount());
  EXPECT_EQ(a, form.Engine().FileName);
  EXPECT_TRUE(form.Playlist().Visible());
  RECT shown{};
  ::GetWindowRect(list, &shown);
  EXPECT_EQ((::GetSystemMetrics(SM_CXSCREEN) - (shown.right - shown.left)) / 2, shown.left);
  EXPECT_EQ((::GetSystemMetrics(SM_CYSCREEN) - (shown.bottom - shown.top)) / 2, shown.top);
  form.Playlist().List().RemoveItems(true, false);

  // The open dialog: a test thread types two names into it and presses Open.
  std::atomic<bool> found{false};
  std::wstring title;
  std::thread user([&] {
    HWND dialog = nullptr;
    for (int i = 0; i < 500 && !(dialog = ::FindWindowW(L"#32770", nullptr)); ++i) ::Sleep(20);
    if (!dialog) return;
    wchar_t caption[128] = {};
    ::GetWindowTextW(dialog, caption, 128);
    title = caption;
    found = true;
    ::Sleep(300);
    HWND name = ::GetDlgItem(dialog, 0x47C);  // the file name box
    HWND edit = name ? ::FindWindowExW(name, nullptr, L"Edit", nullptr) : nullptr;
    const std::wstring typed = L"\"c.wav\" \"b.wav\"";
    ::SendMessageW(edit ? edit : name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(typed.c_str()));

    ::PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    for (int i = 0; i < 100 && ::IsWindow(dialog); ++i) ::Sleep(20);
    if (!::IsWindow(dialog)) return;
    // Still open: list what it holds, then cancel so that the test goes on.
    ::EnumChildWindows(dialog, [](HWND child, LPARAM) -> BOOL {
      wchar_t cls[64] = {}, text[128] = {};
      ::GetClassNameW(child, cls, 64);
      ::GetWindowTextW(child, text, 128);
      std::wprintf(L"  %04x %ls '%ls'\n", ::GetDlgCtrlID(child), cls, text);
      return TRUE;
    }, 0);
    ::PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  });
  // The dialog starts in the current directory.
  wchar_t previous[MAX_PATH] = {};
  ::GetCurrentDirectoryW(MAX_PATH, previous);
  ::SetCurrentDirectoryW(folder_.c_str());
  form.OpenFilesDialog();
  user.join();
  ::SetCurrentDirectoryW(previous);
  ASSERT_TRUE(found);
  EXPECT_EQ(L"Open Media Files", title);
  ASSERT_EQ(2, form.Playlist().List().RowCount());
  EXPECT_EQ(c, form.Playlist().List().Item(0).FileName);
  EXPECT_EQ(b, form.Playlist().List().Item(1).FileName);
  EXPECT_EQ(c, form.Engine().FileName);
}

}  // namespace
