// Language files on real windows: the main window, the playlist and later forms translated from
// the shipped files, a language without a file, the user's locale, the request of another
// process, and a screenshot of the Russian menu. Cases named LangsHelper.* are the other
// process: they run only when a case here starts this executable for them.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "common/testing/WinTestSupport.h"
#include "common/win/text.h"
#include "player/app/FormMain.h"
#include "player/app/Registry.h"
#include "player/app/langs.h"
#include "player/resources/core/PngImage.h"
#include "player/ui/Canvas.h"
#include "player/ui/Menus.h"
#include "player/ui/Win32FileSystem.h"

namespace {

using namespace qvr::app;
namespace fs = std::filesystem;
using qvr::ui::TControl;
using qvr::ui::TMenuItem;

constexpr wchar_t kHelperVariable[] = L"QVR_LANGS_HELPER";
const std::wstring kSuiteKeyW = L"Software\\QVRSuite";
const std::wstring kPlayerKeyW = L"Software\\QVRPlayer";

void SetSuiteLanguage(const char* name) {
  if (name) {
    ASSERT_TRUE(RegWriteString(kSuiteKey, "Language", name));
  } else {
    ::RegDeleteKeyValueW(HKEY_CURRENT_USER, kSuiteKeyW.c_str(), L"Language");
  }
}

void Pump() {
  for (int i = 0; i < 3; ++i) {
    qvr::ui::PumpPendingMessages();
    ::Sleep(10);
  }
}

std::wstring WindowText(HWND window) {
  wchar_t text[512] = {};
  ::GetWindowTextW(window, text, 512);
  return text;
}

std::string Helper() {
  wchar_t value[32] = {};
  ::GetEnvironmentVariableW(kHelperVariable, value, 32);
  return qvr::WideToUtf8(value);
}

// Starts this executable for one helper case and pumps this thread's messages until it ends;
// its exit code.
DWORD RunHelper(const char* helper) {
  ::SetEnvironmentVariableW(kHelperVariable, qvr::Utf8ToWide(helper).c_str());
  wchar_t path[MAX_PATH];
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring command = L"\"" + std::wstring(path) + L"\" --gtest_filter=LangsHelper.*";
  STARTUPINFOW startup{sizeof startup};
  PROCESS_INFORMATION process{};
  const BOOL started = ::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process);
  ::SetEnvironmentVariableW(kHelperVariable, nullptr);
  if (!started) {
    ADD_FAILURE() << "CreateProcessW: " << ::GetLastError();
    return ~0u;
  }
  qvr::unique_handle thread(process.hThread), handle(process.hProcess);
  const DWORD start = ::GetTickCount();
  while (::MsgWaitForMultipleObjects(1, &process.hProcess, FALSE, 20, QS_ALLINPUT) != WAIT_OBJECT_0) {
    qvr::ui::PumpPendingMessages();
    if (::GetTickCount() - start > 60000) {
      ::TerminateProcess(process.hProcess, 1);
      ADD_FAILURE() << helper << " hung";
      return ~0u;
    }
  }
  DWORD code = ~0u;
  ::GetExitCodeProcess(process.hProcess, &code);
  Pump();
  return code;
}

// The visible pop-up menu window ("#32768") of a thread, or null.
HWND MenuWindow(DWORD thread) {
  HWND found = nullptr;
  ::EnumThreadWindows(
      thread,
      [](HWND window, LPARAM param) {
        wchar_t name[16] = {};
        ::GetClassNameW(window, name, 16);
        if (wcscmp(name, L"#32768") != 0 || !::IsWindowVisible(window)) return TRUE;
        *reinterpret_cast<HWND*>(param) = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

// What the screen shows in `r`, opaque.
qvr::resources::TBgraImage ScreenPixels(const RECT& r) {
  qvr::resources::TBgraImage image;
  image.Width = static_cast<uint32_t>(r.right - r.left);
  image.Height = static_cast<uint32_t>(r.bottom - r.top);
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), r.right - r.left, -(r.bottom - r.top), 1, 32, BI_RGB};
  void* bits = nullptr;
  const qvr::unique_hbitmap bitmap(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap) return {};
  {
    const qvr::ui::TSelectedBitmap memory(nullptr, bitmap.get());
    HDC screen = ::GetDC(nullptr);
    ::BitBlt(memory.Dc(), 0, 0, r.right - r.left, r.bottom - r.top, screen, r.left, r.top, SRCCOPY);
    ::ReleaseDC(nullptr, screen);
    ::GdiFlush();
  }
  image.Pixels.assign(static_cast<uint8_t*>(bits), static_cast<uint8_t*>(bits) + image.Width * image.Height * 4);
  for (size_t i = 3; i < image.Pixels.size(); i += 4) image.Pixels[i] = 255;
  return image;
}

// A secondary form as the panels make theirs: a layout, then the translation at creation.
class TestForm : public qvr::ui::TForm {
 public:
  // A list box: rows the language file may rename by index.
  class FakeList : public qvr::ui::TStaticText {
   public:
    using TStaticText::TStaticText;
    std::vector<std::string> Rows;
    int ItemCount() const override { return static_cast<int>(Rows.size()); }
    std::string ItemText(int i) const override { return Rows[static_cast<size_t>(i)]; }
    void SetItemText(int i, const std::string& text) override { Rows[static_cast<size_t>(i)] = text; }
  };

  explicit TestForm(std::string name) : TForm(std::move(name)) {}
  ~TestForm() override { DestroyHandle(); }
  HRESULT Create(const std::string& layoutText, std::vector<std::string> rows = {}) {
    rows_ = std::move(rows);
    qvr::ui::TFormLayout layout;
    std::string error;
    if (!qvr::ui::ParseFormLayout(layoutText, layout, error)) return E_INVALIDARG;
    const HRESULT hr = CreateForm(layout, L"QvrLangsTestForm", WS_POPUP, 0, nullptr);
    if (SUCCEEDED(hr)) qvr::ui::TranslateAtCreation(*this);
    return hr;
  }
  std::string Caption(const char* name) { return Find<TControl>(name)->Text(); }

 protected:
  std::unique_ptr<qvr::ui::TComponent> CreateComponent(const qvr::ui::TLayoutEntry& entry) override {
    if (entry.Kind != "list") return TForm::CreateComponent(entry);
    auto list = std::make_unique<FakeList>(this, entry.Name);
    list->Rows = rows_;
    return list;
  }

 private:
  std::vector<std::string> rows_;
};

const char kEqLayout[] =
    "form fmEq 257 159 caption=Equalizer\n"
    "stReset static fmEq 44 136 61 17 none caption=Reset\n"
    "stClose static fmEq 152 136 53 17 none caption=Close\n"
    "tmFade timer fmEq 0 0 0 0 none interval=50\n";

class Langs : public qvr::testing::ComTest {
 protected:
  void SetUp() override {
    ComTest::SetUp();
    ClearKeys();
    folder_ = fs::path(qvr::testing::ExeDirectory()) / (Helper().empty() ? "langs" : "langs-helper");
    fs::remove_all(folder_);
    fs::create_directories(folder_ / "Language");
    for (const char* name : {"english.lng", "russian.lng"})
      fs::copy_file(fs::path(qvr::testing::ExeDirectory()) / "Language" / name, folder_ / "Language" / name);
    previous_ = qvr::ui::SetExceptionReporter([this](const std::string& m) { reported_.push_back(m); });
  }
  void TearDown() override {
    form_.reset();
    ClearKeys();
    fs::remove_all(folder_);
    qvr::ui::SetExceptionReporter(previous_);
    EXPECT_TRUE(reported_.empty()) << reported_.front();
  }
  static void ClearKeys() {
    for (const std::wstring& key : {kPlayerKeyW, kSuiteKeyW}) {
      ::RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
      ::RegDeleteKeyW(HKEY_CURRENT_USER, key.c_str());
    }
  }

  std::string Folder() const { return qvr::WideToUtf8(folder_.wstring()) + "\\"; }
  TfrmQVRPlayer& Start() {
    form_ = std::make_unique<TfrmQVRPlayer>(TfrmQVRPlayer::TStartup{Folder(), std::nullopt}, fileSystem_);
    form_->QuitOnClose = false;
    EXPECT_EQ(S_OK, form_->Create());
    Pump();
    return *form_;
  }
  std::string Hint(const char* name) { return form_->Find<TControl>(name)->Hint(); }
  std::string Item(const char* name) { return form_->Find<TMenuItem>(name)->Caption; }
  std::string PlaylistText(const char* name) {
    return name ? form_->Playlist().Find<TControl>(name)->Text() : form_->Playlist().Text();
  }

  fs::path folder_;
  qvr::ui::TWin32FileSystem fileSystem_;
  std::unique_ptr<TfrmQVRPlayer> form_;
  std::vector<std::string> reported_;
  qvr::ui::TExceptionReporter previous_;
};

TEST_F(Langs, ALanguageWithoutAFileKeepsTheDesignTextsForLaterFormsToo) {
  SetSuiteLanguage("german");
  TfrmQVRPlayer& form = Start();
  EXPECT_EQ("german", CurrentLanguageName());
  EXPECT_EQ("Toogle Playlist", Hint("btnPlayList"));
  EXPECT_EQ("Open Files", Item("miOpenfile"));
  EXPECT_EQ(L"QVR Player", WindowText(form.Handle()));
  TestForm later("fmEq");
  ASSERT_EQ(S_OK, later.Create(kEqLayout));
  EXPECT_EQ("Reset", later.Caption("stReset"));
  EXPECT_EQ(L"Equalizer", WindowText(later.Handle()));
}

TEST_F(Langs, TheCaptionKeyHoldsUntilTheFirstOpenAndAnsiFilesStillRead) {
  // An older file: 8-bit text in the system code page (1252 for this test executable).
  std::ofstream(folder_ / "Language" / "custom.lng", std::ios::binary)
      << "[Common]\r\nLanguage=1036\r\n[frmQVRPlayer]\r\nFRMQVRPLAYER.caption=Lecteur vid\xE9o\r\nbtnStop.Hint=Arr\xEAt\r\n";
  SetSuiteLanguage("custom");
  TfrmQVRPlayer& form = Start();
  EXPECT_EQ(L"Lecteur vid\u00E9o", WindowText(form.Handle()));
  EXPECT_EQ("Arr\xC3\xAAt", Hint("btnStop"));
  EXPECT_EQ("Mute", Hint("btnMute"));  // no key: the text stays
  const std::string sample = qvr::WideToUtf8(qvr::testing::SamplePath(L"bars.avi"));
  form.OpenMedia(sample, false);
  Pump();
  EXPECT_EQ(qvr::Utf8ToWide(sample), WindowText(form.Handle()));
}

TEST_F(Langs, TranslateFormWalksComponentsAndTheLanguageList) {
  std::ofstream(folder_ / "Language" / "items.lng", std::ios::binary)
      << "\xEF\xBB\xBF[Common]\nLanguage=1058\n[frmLangTest]\nfrmLangTest.Caption=Тест\nlbInput.Item[0]=Первый\n"
         "lbInput.Item[1]=Второй\nlbInput.Hint=Список\nmiOne.Caption=Один\nmiOne.Hint=Подсказка\npm.Caption=никогда\n"
         "tmFade.Caption=никогда\nstText.Caption=Надпись\n";
  const char layout[] =
      "form frmLangTest 200 100 caption=Test\n"
      "lbInput list frmLangTest 0 0 100 50 none hint=List\n"
      "stText static frmLangTest 0 60 100 20 none caption=Text\n"
      "tmFade timer frmLangTest 0 0 0 0 none\n"
      "pm popupmenu frmLangTest 0 0 0 0 none\n"
      "miOne menuitem pm 0 0 0 0 none caption=One\n";
  TCustomLangs langs(fileSystem_);
  langs.ScanFolder(Folder() + "Language\\");
  ASSERT_EQ(3, langs.LanguageCount());
  const std::optional<TLanguageRecord> russian = langs.FindLanguage(0x19, 1);
  ASSERT_TRUE(russian);
  EXPECT_EQ(Folder() + "Language\\russian.lng", russian->LangFile);
  EXPECT_NE(std::string::npos, russian->LangName.find("Russian")) << russian->LangName;
  EXPECT_FALSE(langs.FindLanguage(0x07, 1));
  EXPECT_EQ(0, langs.GetLanguage(5).Primary);

  TestForm empty("frmLangTest"), one("frmLangTest");
  ASSERT_EQ(S_OK, empty.Create(layout));
  ASSERT_EQ(S_OK, one.Create(layout, {"row"}));
  const std::string file = Folder() + "Language\\items.lng";
  langs.TranslateForm(empty, 2, 1, file);
  langs.TranslateForm(one, 2, 1, file);
  EXPECT_EQ(L"Тест", WindowText(one.Handle()));
  EXPECT_TRUE(empty.Find<TestForm::FakeList>("lbInput")->Rows.empty());  // no row: nothing made
  EXPECT_EQ(std::vector<std::string>{"Первый"}, one.Find<TestForm::FakeList>("lbInput")->Rows);
  EXPECT_EQ("Список", one.Find<TControl>("lbInput")->Hint());
  EXPECT_EQ("Надпись", one.Caption("stText"));
  EXPECT_EQ("Один", one.Find<TMenuItem>("miOne")->Caption);
  EXPECT_EQ("Подсказка", one.Find<TMenuItem>("miOne")->Hint);
  EXPECT_EQ("", one.Find<TMenuItem>("pm")->Caption);  // the menu itself is no text
  // No file named: the file of the list's record for the language, if any.
  TestForm viaList("frmLangTest");
  ASSERT_EQ(S_OK, viaList.Create(layout));
  langs.TranslateForm(viaList, 0x07, 1, "");
  EXPECT_EQ("Text", viaList.Caption("stText"));
  langs.TranslateForm(viaList, 0x22, 1, "");
  EXPECT_EQ("Надпись", viaList.Caption("stText"));

  // The suite's folder, read when the program's translator is made.
  fs::create_directories(folder_ / "suite" / "languages");
  fs::copy_file(folder_ / "Language" / "english.lng", folder_ / "suite" / "languages" / "english.lng");
  ::SetEnvironmentVariableW(L"ZuraRerStartupDir", (folder_ / "suite").wstring().c_str());
  const TLangs withSuite;
  ::SetEnvironmentVariableW(L"ZuraRerStartupDir", nullptr);
  EXPECT_EQ(Folder() + "suite\\languages\\", withSuite.Folder());
  ASSERT_EQ(1, withSuite.LanguageCount());
  EXPECT_EQ(0x09, withSuite.GetLanguage(0).Primary);
  EXPECT_EQ("", TLangs().Folder());
}

// Each shipped file on the main window, the playlist and a panel: at creation, then on the
// request of another process, russian -> english -> russian.
TEST_F(Langs, ShippedFilesTranslateEveryOpenFormOnAnotherProcessRequest) {
  SetSuiteLanguage("russian");
  TfrmQVRPlayer& form = Start();
  EXPECT_EQ("russian", CurrentLanguageName());
  EXPECT_EQ(L"QVR Player", WindowText(form.Handle()));
  EXPECT_EQ("Плеер", form.Find<TControl>("btnNowPl")->Text());
  EXPECT_EQ("Показать или скрыть плейлист", Hint("btnPlayList"));
  EXPECT_EQ("Выход", Item("miExit"));
  EXPECT_EQ("По размеру окна", Item("miScalingtoFit"));
  EXPECT_EQ("-", Item("N5"));  // separators stay separators
  TestForm panel("fmEq"), tagged("fmEq");
  ASSERT_EQ(S_OK, panel.Create(kEqLayout));
  ASSERT_EQ(S_OK, tagged.Create(kEqLayout));
  tagged.SetTag(1);
  EXPECT_EQ("Сброс", panel.Caption("stReset"));

  SetSuiteLanguage("english");
  ASSERT_EQ(0u, RunHelper("post"));
  EXPECT_EQ("english", CurrentLanguageName());
  EXPECT_EQ("Toggle Playlist", Hint("btnPlayList"));
  EXPECT_EQ("Player", form.Find<TControl>("btnNowPl")->Text());
  EXPECT_EQ("Exit", Item("miExit"));
  EXPECT_EQ("Reset", panel.Caption("stReset"));
  EXPECT_EQ("Сброс", tagged.Caption("stReset")) << "a form with a Tag is left alone";
  EXPECT_EQ("Playlist", PlaylistText("pTop"));
  EXPECT_EQ("QVR PlayList", PlaylistText(nullptr));

  SetSuiteLanguage("russian");
  ASSERT_EQ(0u, RunHelper("post"));
  EXPECT_EQ("Выход", Item("miExit"));
  EXPECT_EQ("Воспроизведение/пауза", Hint("btnPlay"));
  EXPECT_EQ("Сброс", panel.Caption("stReset"));
  EXPECT_EQ("Плейлист", PlaylistText("pTop"));
  EXPECT_EQ("Плейлист QVR", PlaylistText(nullptr));
}

// The player in Russian, menu open: a screenshot kept beside the tests (screenshots/), whose
// pixels differ from the English menu's.
TEST_F(Langs, TheRussianMenuShowsCyrillic) {
  SetSuiteLanguage("russian");
  TfrmQVRPlayer& form = Start();
  auto* menu = form.Find<qvr::ui::TPopupMenu>("pmMain");
  ASSERT_TRUE(menu);
  const RECT frame = [&] {
    RECT r;
    ::GetWindowRect(form.Handle(), &r);
    return r;
  }();
  // Shows the menu at the window's top-left, grabs the screen under window and menu, closes it.
  auto shot = [&](std::wstring& firstItem) {
    qvr::resources::TBgraImage image;
    const DWORD uiThread = ::GetCurrentThreadId();
    std::thread grabber([&] {
      HWND popup = nullptr;
      for (int i = 0; i < 200 && !(popup = MenuWindow(uiThread)); ++i) ::Sleep(20);
      ::Sleep(400);  // painted
      if (popup) {
        RECT m;
        ::GetWindowRect(popup, &m);
        RECT all;
        ::UnionRect(&all, &m, &frame);
        image = ScreenPixels(all);
        if (HMENU shown = menu->ShownMenu()) {
          wchar_t text[128] = {};
          ::GetMenuStringW(shown, 0, text, 128, MF_BYPOSITION);
          firstItem = text;
        }
      }
      ::PostMessageW(form.Handle(), WM_KEYDOWN, VK_ESCAPE, 0);
    });
    menu->Popup(form.Handle(), {frame.left + 4, frame.top + 37});
    grabber.join();
    return image;
  };
  std::wstring russianItem, englishItem;
  const qvr::resources::TBgraImage russian = shot(russianItem);
  ASSERT_GT(russian.Width, 0u);
  EXPECT_EQ(L"Открыть файлы", russianItem);
  std::vector<uint8_t> png;
  ASSERT_TRUE(qvr::resources::EncodePng(russian, png));
  fs::create_directories(fs::path(qvr::testing::ExeDirectory()) / "screenshots");
  std::ofstream(fs::path(qvr::testing::ExeDirectory()) / "screenshots" / "player-russian-menu.png", std::ios::binary)
      .write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));

  SetSuiteLanguage("english");
  ::SendMessageW(form.Handle(), kLanguageMessage, 0, 0);
  Pump();
  const qvr::resources::TBgraImage english = shot(englishItem);
  EXPECT_EQ(L"Open Files", englishItem);
  EXPECT_NE(russian.Pixels, english.Pixels);

}

// --- the other process -------------------------------------------------------------------------

TEST(LangsHelper, PostsTheLanguageRequest) {
  if (Helper() != "post") GTEST_SKIP() << "runs as another process of the language cases";
  HWND player = ::FindWindowW(L"TfrmQVRPlayer", nullptr);
  ASSERT_TRUE(player);
  // Sent, so that the request has been handled when this process ends.
  DWORD_PTR result = 0;
  ASSERT_TRUE(::SendMessageTimeoutW(player, kLanguageMessage, 0, 0, SMTO_NORMAL, 20000, &result));
}

// The user's default locale decides when the suite names no language: Ukrainian gives Russian.
// Wine takes the user locale from the Unix locale of the process, so CTest runs this case alone
// under uk_UA.UTF-8 (app_win_tests_ukrainian); in the main run it skips.
class LangsUkrainianUser : public Langs {};

TEST_F(LangsUkrainianUser, StartsInRussianWithoutASuiteValue) {
  if (Helper() != "ukrainian") GTEST_SKIP() << "runs in its own CTest entry under a Ukrainian locale";
  wchar_t abbreviation[16] = {};
  ::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SABBREVLANGNAME, abbreviation, 16);
  ASSERT_STREQ(L"UKR", abbreviation) << "the locale did not reach Wine";
  SetSuiteLanguage(nullptr);
  Start();
  EXPECT_EQ("russian", CurrentLanguageName());
  EXPECT_EQ("Выход", Item("miExit"));
  EXPECT_EQ("Воспроизведение/пауза", Hint("btnPlay"));
}

}  // namespace
