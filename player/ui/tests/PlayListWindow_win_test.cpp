// The playlist window on real windows: rows read back as pixels, menus chosen by a thread that
// plays the user at the real menu window, keys, a real HDROP, dialogs answered by a thread,
// the recycle bin, and docking to an owner window.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "common/testing/WinTestSupport.h"
#include "common/win/text.h"
#include "player/ui/Canvas.h"
#include "player/ui/Menus.h"
#include "player/ui/Win32FileSystem.h"
#include "player/ui/uButton.h"
#include "player/ui/uPlaylist.h"

namespace {

using namespace qvr::ui;

uint32_t ScreenColor(TColor c) { return static_cast<uint32_t>(RedOf(c)) << 16 | GreenOf(c) << 8 | BlueOf(c); }

// The pixel a window's client area shows at x, y, as 0x00RRGGBB.
uint32_t PixelAt(HWND window, int x, int y) {
  HDC dc = ::GetDC(window);
  const COLORREF c = ::GetPixel(dc, x, y);
  ::ReleaseDC(window, dc);
  return static_cast<uint32_t>(GetRValue(c)) << 16 | GetGValue(c) << 8 | GetBValue(c);
}

// A thread playing the user at the next pop-up menu or dialog of this process.
class TUserThread {
 public:
  ~TUserThread() {
    if (thread_.joinable()) thread_.join();
  }
  // Waits for a menu, records its captions and chooses `caption` (empty: Esc).
  void ChooseFromMenu(std::string caption) {
    thread_ = std::thread([this, caption = std::move(caption)] {
      HWND menu = WaitFor([] { return ::FindWindowW(L"#32768", nullptr); });
      if (!menu) return;
      HMENU handle = reinterpret_cast<HMENU>(::SendMessageW(menu, MN_GETHMENU, 0, 0));
      int downs = 0, position = -1;
      for (int i = 0; i < ::GetMenuItemCount(handle); ++i) {
        wchar_t text[128] = {};
        MENUITEMINFOW info{sizeof info, MIIM_FTYPE | MIIM_STRING};
        info.dwTypeData = text;
        info.cch = 127;
        ::GetMenuItemInfoW(handle, static_cast<UINT>(i), TRUE, &info);
        if (info.fType & MFT_SEPARATOR) continue;
        Captions.push_back(qvr::WideToUtf8(text));
        if (position < 0 && Captions.back() == caption) position = downs;
        ++downs;
      }
      for (int i = 0; i <= position; ++i) ::PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 0);
      ::PostMessageW(menu, WM_KEYDOWN, position >= 0 ? VK_RETURN : VK_ESCAPE, 0);
    });
  }
  // Waits for the dialog titled `title`, types `name` as the file name and presses OK.
  void AnswerFileDialog(std::wstring title, std::wstring name) {
    thread_ = std::thread([this, title = std::move(title), name = std::move(name)] {
      HWND dialog = WaitFor([&] { return ::FindWindowW(L"#32770", title.c_str()); });
      if (!dialog) return;
      Found = true;
      for (int id : {0x47C, 0x480}) ::SetDlgItemTextW(dialog, id, name.c_str());
      ::PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    });
  }
  void Join() {
    if (thread_.joinable()) thread_.join();
  }
  std::vector<std::string> Captions;
  std::atomic<bool> Found{false};

 private:
  template <typename F>
  static HWND WaitFor(F find) {
    for (int i = 0; i < 500; ++i) {
      if (HWND w = find(); w && ::IsWindowVisible(w)) return w;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return nullptr;
  }
  std::thread thread_;
};

class PlayListWindow : public qvr::testing::ComTest {
 protected:
  void SetUp() override {
    ComTest::SetUp();
    previous_ = SetExceptionReporter([this](const std::string& message) { reported_.push_back(message); });
    owner_ = ::CreateWindowExW(WS_EX_TOPMOST, L"STATIC", L"owner", WS_POPUP, 100, 100, 400, 300, nullptr, nullptr,
                               nullptr, nullptr);
    ASSERT_TRUE(owner_);
    ::SetWindowPos(owner_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW | SWP_NOACTIVATE);
    ASSERT_EQ(S_OK, form_.Create(owner_));
    form_.List().OnPlay = [this](const std::string& path, uint8_t) { played_.push_back(path); };
    // Shown without activation: with no window manager Wine hides managed windows slowly.
    ::SetWindowPos(form_.Handle(), HWND_TOPMOST, 600, 100, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW | SWP_NOACTIVATE);
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    folder_ = std::wstring(temp) + L"qvr-playlist-window-" + std::to_wstring(::GetCurrentProcessId()) + L"\\";
    ::CreateDirectoryW(folder_.c_str(), nullptr);
    Flush();
  }
  void TearDown() override {
    form_.DestroyHandle();
    ::DestroyWindow(owner_);
    SHFILEOPSTRUCTW remove{};
    std::wstring from = folder_.substr(0, folder_.size() - 1) + L'\0';
    remove.wFunc = FO_DELETE;
    remove.pFrom = from.c_str();
    remove.fFlags = FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
    ::SHFileOperationW(&remove);
    SetExceptionReporter(previous_);
  }
  void Flush() {
    ::RedrawWindow(form_.Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    PumpPendingMessages();
    ::GdiFlush();
  }
  std::string MakeFile(const std::wstring& name) {
    const std::wstring path = folder_ + name;
    const size_t slash = path.find_last_of(L'\\');
    ::CreateDirectoryW(path.substr(0, slash).c_str(), nullptr);
    qvr::unique_file file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    return qvr::WideToUtf8(path);
  }
  void AddRows(int count) {
    for (int i = 0; i < count; ++i) form_.List().AddFile(MakeFile(std::to_wstring(i) + L".mp3"));
  }
  std::vector<int> Selected() const {
    std::vector<int> rows;
    for (int i = 0; i < form_.List().RowCount(); ++i)
      if (form_.List().IsSelected(i)) rows.push_back(i);
    return rows;
  }
  // Right click on row `row` (or below the rows with -1), choosing `caption` from the menu.
  std::vector<std::string> RightClick(int row, const std::string& caption) {
    TPlayListBox& box = form_.ListBox();
    const TRect r = row >= 0 ? box.RowRect(row) : TRect{};
    const int y = row >= 0 ? r.Top + 5 : box.Height() - 10;
    TUserThread user;
    user.ChooseFromMenu(caption);
    ::SendMessageW(box.Handle(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(20, y));
    ::SendMessageW(box.Handle(), WM_RBUTTONUP, 0, MAKELPARAM(20, y));
    user.Join();
    return user.Captions;
  }
  std::vector<std::string> ButtonMenu(const char* button, const std::string& caption) {
    TUserThread user;
    user.ChooseFromMenu(caption);
    auto* b = form_.Find<TSkinButton>(button);
    ::SendMessageW(b->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    ::SendMessageW(b->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
    PumpPendingMessages();
    user.Join();
    EXPECT_FALSE(b->Hot());
    return user.Captions;
  }

  HWND owner_ = nullptr;
  TWin32FileSystem files_;
  TfrmQVRPlayList form_{files_};
  std::wstring folder_;
  std::vector<std::string> played_;
  std::vector<std::string> reported_;
  TExceptionReporter previous_;
};

TEST_F(PlayListWindow, RowsAreDrawnWithTheBackgroundOfTheirIndexAndState) {
  EXPECT_EQ(1, form_.ListBox().RowHeight());
  AddRows(4);
  EXPECT_EQ(19, form_.ListBox().RowHeight());
  form_.List().SetSelected(2, true);
  form_.DropTarget = 3;
  Flush();
  HWND box = form_.ListBox().Handle();
  // Far right of each row, away from text.
  const int x = form_.ListBox().RowRect(0).Right - 2;
  EXPECT_EQ(ScreenColor(RGB(242, 242, 242)), PixelAt(box, x, 19 * 0 + 9));
  EXPECT_EQ(ScreenColor(RGB(255, 255, 255)), PixelAt(box, x, 19 * 1 + 9));
  EXPECT_EQ(ScreenColor(RGB(108, 120, 129)), PixelAt(box, x, 19 * 2 + 9));
  EXPECT_EQ(ScreenColor(RGB(108, 120, 129)), PixelAt(box, x, 19 * 3 + 9));
  // The window's frame and the light inner area.
  EXPECT_EQ(ScreenColor(RGB(108, 120, 129)), PixelAt(form_.Handle(), 1, 200));
  EXPECT_EQ(ScreenColor(RGB(232, 232, 232)), PixelAt(form_.Handle(), 4, 200));
  form_.List().RemoveItems(true, false);
  EXPECT_EQ(1, form_.ListBox().RowHeight());
}

TEST_F(PlayListWindow, HitTestMinimumSizeAndBottomButtons) {
  RECT r{};
  ::GetWindowRect(form_.Handle(), &r);
  auto hit = [&](int x, int y) {
    return ::SendMessageW(form_.Handle(), WM_NCHITTEST, 0, MAKELPARAM(r.left + x, r.top + y));
  };
  EXPECT_EQ(HTTOPLEFT, hit(1, 1));
  EXPECT_EQ(HTBOTTOMRIGHT, hit(r.right - r.left - 2, r.bottom - r.top - 2));
  EXPECT_EQ(HTRIGHT, hit(r.right - r.left - 2, 200));
  ::SetWindowPos(form_.Handle(), nullptr, 0, 0, 200, 100, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  MINMAXINFO info{};
  ::SendMessageW(form_.Handle(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(300, info.ptMinTrackSize.x);
  EXPECT_EQ(300, info.ptMinTrackSize.y);
  ::SetWindowPos(form_.Handle(), nullptr, 0, 0, 500, 400, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  auto* sort = form_.Find<TSkinButton>("btnSort");
  EXPECT_EQ((500 - sort->Width()) / 2, sort->Left());
  EXPECT_EQ(sort->Left() - form_.Find<TSkinButton>("btnrem")->Width(), form_.Find<TSkinButton>("btnrem")->Left());
  EXPECT_EQ(sort->Left() + sort->Width(), form_.Find<TSkinButton>("btnadd")->Left());
}

TEST_F(PlayListWindow, RightClickSelectionRules) {
  AddRows(5);
  form_.List().SelectOnly(0);
  auto captions = RightClick(3, "");
  EXPECT_EQ((std::vector<int>{3}), Selected());
  EXPECT_EQ(3, form_.List().FocusedRow());
  EXPECT_EQ((std::vector<std::string>{"Play", "Properties", "Add Files", "Add Folder", "Select All", "Select None",
                                      "Invert Selection", "Remove Selected", "Remove All", "Delete files", "Convert"}),
            captions);
  form_.List().SelectNone();
  for (int i : {0, 1, 2}) form_.List().SetSelected(i, true);
  RightClick(4, "");
  EXPECT_EQ((std::vector<int>{0, 1, 2, 4}), Selected());
}

TEST_F(PlayListWindow, MenuCommandsActOnTheList) {
  EXPECT_EQ((std::vector<std::string>{"Add Files", "Add Folder", "Load Playlist"}), RightClick(-1, ""));
  AddRows(5);
  EXPECT_EQ((std::vector<std::string>{"Add Files", "Add Folder", "Load Playlist", "Save Playlist"}), RightClick(-1, ""));
  RightClick(1, "Select All");
  EXPECT_EQ(5u, Selected().size());
  RightClick(1, "Select None");
  EXPECT_TRUE(Selected().empty());
  RightClick(1, "Invert Selection");
  EXPECT_EQ((std::vector<int>{0, 2, 3, 4}), Selected());
  RightClick(2, "Play");
  ASSERT_EQ(1u, played_.size());
  EXPECT_EQ(form_.List().Item(2).FileName, played_[0]);
  RightClick(2, "Remove Selected");
  EXPECT_EQ(4, form_.List().RowCount());
  EXPECT_EQ("3", form_.List().Item(2).Title);

  EXPECT_EQ((std::vector<std::string>{"Select All", "Invert Selection", "Remove Selected", "Remove All", "Remove Dead Files"}),
            ButtonMenu("btnrem", "Invert Selection"));
  EXPECT_EQ((std::vector<int>{0, 1, 3}), Selected());
  ::DeleteFileW(qvr::Utf8ToWide(form_.List().Item(0).FileName).c_str());
  ButtonMenu("btnrem", "Remove Dead Files");
  EXPECT_EQ(3, form_.List().RowCount());
  EXPECT_EQ((std::vector<std::string>{"Add Files", "Add Folder"}), ButtonMenu("btnadd", ""));
  EXPECT_EQ((std::vector<std::string>{"Load Playlist", "Save Playlist"}), ButtonMenu("btnSort", ""));
  ButtonMenu("btnrem", "Remove All");
  EXPECT_EQ(0, form_.List().RowCount());
  EXPECT_EQ((std::vector<std::string>{"Load Playlist"}), ButtonMenu("btnSort", ""));
  EXPECT_TRUE(reported_.empty());
}

TEST_F(PlayListWindow, CaptionsComeFromSourceStrings) {
  auto* strings = form_.Find<TControl>("SOURCESTRING");
  ASSERT_EQ(13, strings->ItemCount());
  EXPECT_EQ("Convert", strings->ItemText(12));
  strings->SetItemText(6, "Alles");
  AddRows(2);
  auto captions = RightClick(0, "Alles");
  EXPECT_EQ("Alles", captions.at(4));
  EXPECT_EQ("Delete files", captions.at(9));
  EXPECT_EQ(2u, Selected().size());
}

TEST_F(PlayListWindow, KeysBeforeTheList) {
  AddRows(4);
  HWND box = form_.ListBox().Handle();
  auto key = [&](WPARAM vk, bool control) {
    BYTE state[256] = {};
    ::GetKeyboardState(state);
    state[VK_CONTROL] = control ? 0x80 : 0;
    ::SetKeyboardState(state);
    ::PostMessageW(box, WM_KEYDOWN, vk, 0);
    PumpPendingMessages();
    state[VK_CONTROL] = 0;
    ::SetKeyboardState(state);
  };
  key('A', true);
  EXPECT_EQ(4u, Selected().size());
  form_.List().SetFocusedRow(1);
  key(VK_ESCAPE, false);
  EXPECT_EQ((std::vector<int>{1}), Selected());
  key(VK_DELETE, false);
  EXPECT_EQ(3, form_.List().RowCount());
  EXPECT_EQ("2", form_.List().Item(1).Title);
}

TEST_F(PlayListWindow, DoubleClicksPlayTheFocusedRow) {
  AddRows(3);
  const TRect r = form_.ListBox().RowRect(1);
  ::SendMessageW(form_.ListBox().Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, r.Top + 4));
  ::SendMessageW(form_.ListBox().Handle(), WM_LBUTTONUP, 0, MAKELPARAM(10, r.Top + 4));
  ::SendMessageW(form_.ListBox().Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(10, r.Top + 4));
  ::SendMessageW(form_.ListBox().Handle(), WM_LBUTTONUP, 0, MAKELPARAM(10, r.Top + 4));
  ASSERT_EQ(1u, played_.size());
  EXPECT_EQ(form_.List().Item(1).FileName, played_[0]);
  EXPECT_EQ(1, form_.List().CurrentIndex());
}

TEST_F(PlayListWindow, DraggingARowMovesIt) {
  AddRows(5);
  form_.List().SetNowPlaying(form_.List().Item(0).FileName, 61);
  HWND box = form_.ListBox().Handle();
  const TRect from = form_.ListBox().RowRect(0), to = form_.ListBox().RowRect(3);
  ::SendMessageW(box, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, from.Top + 5));
  ::SendMessageW(box, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(20, from.Top + 9));
  ::SendMessageW(box, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(20, to.Top + 5));
  EXPECT_EQ(3, form_.DropTarget);
  ::SendMessageW(box, WM_LBUTTONUP, 0, MAKELPARAM(20, to.Top + 5));
  std::string order;
  for (int i = 0; i < form_.List().RowCount(); ++i) order += form_.List().Item(i).Title;
  EXPECT_EQ("12304", order);
  EXPECT_EQ(3, form_.List().CurrentIndex());
  EXPECT_EQ(-1, form_.DropTarget);
  EXPECT_EQ((TPoint{-1, -1}), form_.PressPos);
  EXPECT_EQ(nullptr, ::GetCapture());
}

TEST_F(PlayListWindow, ShellDropsScanFoldersAndMaskFiles) {
  MakeFile(L"drop\\a.mp3");
  MakeFile(L"drop\\b.txt");
  MakeFile(L"drop\\sub\\c.avi");
  const std::string loose = MakeFile(L"d.wav");
  MakeFile(L"e.doc");
  std::wstring names = folder_ + L"drop" + L'\0' + qvr::Utf8ToWide(loose) + L'\0' + folder_ + L"e.doc" + L'\0' + L'\0';
  HGLOBAL memory = ::GlobalAlloc(GHND, sizeof(DROPFILES) + names.size() * sizeof(wchar_t));
  auto* drop = static_cast<DROPFILES*>(::GlobalLock(memory));
  drop->pFiles = sizeof(DROPFILES);
  drop->fWide = TRUE;
  memcpy(drop + 1, names.data(), names.size() * sizeof(wchar_t));
  ::GlobalUnlock(memory);
  ::PostMessageW(form_.Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
  PumpPendingMessages();
  std::vector<std::string> titles;
  for (int i = 0; i < form_.List().RowCount(); ++i) titles.push_back(form_.List().Item(i).Title);
  std::sort(titles.begin(), titles.begin() + std::min<size_t>(2, titles.size()));
  EXPECT_EQ((std::vector<std::string>{"a", "c", "d"}), titles);
}

TEST_F(PlayListWindow, LoadAndSaveThroughTheDialogs) {
  AddRows(3);
  const std::wstring saved = folder_ + L"saved";
  {
    TUserThread user;
    user.AnswerFileDialog(L"Save Playlist", saved);
    form_.SavePlaylistDialog();
    user.Join();
    EXPECT_TRUE(user.Found);
  }
  ASSERT_NE(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW((saved + L".m3u").c_str()));
  form_.List().RemoveItems(true, false);
  {
    TUserThread user;
    user.AnswerFileDialog(L"Open Playlist", saved + L".m3u");
    form_.LoadPlaylistDialog();
    user.Join();
  }
  EXPECT_EQ(3, form_.List().RowCount());
  EXPECT_TRUE(reported_.empty());
}

TEST_F(PlayListWindow, ADoubleClickBelowTheRowsAddsTheFilesChosenInTheDialog) {
  const std::string a = MakeFile(L"a.avi"), b = MakeFile(L"b.txt");
  wchar_t previous[MAX_PATH];
  ::GetCurrentDirectoryW(MAX_PATH, previous);
  ::SetCurrentDirectoryW(folder_.c_str());  // the dialog opens on the current directory
  TUserThread user;
  user.AnswerFileDialog(L"Open Media Files", L"\"a.avi\" \"b.txt\"");
  HWND box = form_.ListBox().Handle();
  ::SendMessageW(box, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(20, 200));
  ::SendMessageW(box, WM_LBUTTONUP, 0, MAKELPARAM(20, 200));
  user.Join();
  ::SetCurrentDirectoryW(previous);
  EXPECT_TRUE(user.Found);
  // Several names: the folder and each name; "All Files" may add any file, no mask test.
  ASSERT_EQ(2, form_.List().RowCount());
  EXPECT_EQ(a, form_.List().Item(0).FileName);
  EXPECT_EQ(b, form_.List().Item(1).FileName);
}

TEST_F(PlayListWindow, AnUnreadablePlaylistKeepsTheListAndIsReported) {
  AddRows(3);
  form_.LoadPlaylistFrom(qvr::WideToUtf8(folder_ + L"missing.m3u"));
  EXPECT_EQ(3, form_.List().RowCount());
  ASSERT_EQ(1u, reported_.size());
  EXPECT_NE(std::string::npos, reported_[0].find("missing.m3u"));
  reported_.clear();
}

// Wine's shell keeps recycled files in the user's XDG trash; the test takes its own file out again.
std::wstring TrashFolder() {
  wchar_t data[MAX_PATH] = {}, home[MAX_PATH] = {};
  if (::GetEnvironmentVariableW(L"XDG_DATA_HOME", data, MAX_PATH)) return std::wstring(L"Z:") + data + L"\\Trash\\";
  // Wine names the Unix home folder in WINEHOMEDIR, as \??\Z:\root.
  if (!::GetEnvironmentVariableW(L"WINEHOMEDIR", home, MAX_PATH)) return {};
  std::wstring folder = home;
  if (folder.rfind(L"\\??\\", 0) == 0) folder.erase(0, 4);
  return folder + L"\\.local\\share\\Trash\\";
}

TEST_F(PlayListWindow, DeleteFilesMovesThemToTheRecycleBin) {
  AddRows(2);
  const std::wstring name = L"qvr-recycled-" + std::to_wstring(::GetCurrentProcessId()) + L".mp3";
  const std::string victim = MakeFile(name);
  form_.List().AddFile(victim);
  RightClick(2, "Delete files");
  EXPECT_EQ(2, form_.List().RowCount());
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(qvr::Utf8ToWide(victim).c_str()));
  const std::wstring trash = TrashFolder();
  ASSERT_FALSE(trash.empty());
  EXPECT_NE(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW((trash + L"files\\" + name).c_str())) << qvr::WideToUtf8(trash);
  ::DeleteFileW((trash + L"files\\" + name).c_str());
  ::DeleteFileW((trash + L"info\\" + name + L".trashinfo").c_str());
}

TEST_F(PlayListWindow, SnapsDocksAndRedocksBesideTheOwner) {
  RECT m{};
  ::GetWindowRect(owner_, &m);
  ::SetWindowPos(form_.Handle(), nullptr, m.right + 8, m.top - 7, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  RECT p{};
  ::GetWindowRect(form_.Handle(), &p);
  EXPECT_EQ(m.right, p.left);
  EXPECT_EQ(m.top, p.top);
  EXPECT_TRUE(form_.Docked);
  // Started while docked, then the owner resized for the picture: the playlist follows.
  AddRows(2);
  form_.List().PlayItem(1);
  ::SetWindowPos(owner_, nullptr, 50, 60, 500, 300, SWP_NOZORDER | SWP_NOACTIVATE);
  form_.List().SetNowPlaying(played_.at(0), 5);
  ::GetWindowRect(form_.Handle(), &p);
  EXPECT_EQ(550, p.left);
  EXPECT_EQ(60, p.top);
  EXPECT_TRUE(form_.Docked);
}

}  // namespace

namespace {

TEST_F(PlayListWindow, ConvertAndPropertiesHandTheClickedRowOn) {
  std::vector<std::string> converted, shown;
  form_.OnConvert = [&](const std::string& file) { converted.push_back(file); };
  form_.OnProperties = [&](const std::string& file) { shown.push_back(file); };
  AddRows(3);
  RightClick(1, "Convert");
  RightClick(2, "Properties");
  form_.OnConvert = form_.OnProperties = nullptr;
  EXPECT_EQ(std::vector<std::string>{form_.List().Item(1).FileName}, converted);
  EXPECT_EQ(std::vector<std::string>{form_.List().Item(2).FileName}, shown);
}

}  // namespace
