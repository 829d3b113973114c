// File names outside the system code page (1252) through the engine, the console player and the
// playlist: WAVs named in Cyrillic, Greek, CJK and with an astral-plane emoji, copied from the
// bundled sample.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/testing/WinTestSupport.h"
#include "common/win/text.h"
#include "player/engine/MWMediaPlayer.h"
#include "player/engine/core/MWFileFormat.h"
#include "player/ui/Win32FileSystem.h"
#include "player/ui/core/PlayList.h"

namespace {

using qvr::Utf8ToWide;
using qvr::WideToUtf8;

const wchar_t* const kOutsideNames[] = {L"Тест_звук.wav", L"Ήχος δοκιμής.wav", L"测试音.wav", L"🎵 tone.wav"};
const wchar_t kCodePageName[] = L"café €.wav";  // fits code page 1252

class UnicodePathsTest : public qvr::testing::ComTest {
 protected:
  static void SetUpTestSuite() {
    dir_ = qvr::testing::ExeDirectory() + L"unicodetest-" + std::to_wstring(::GetCurrentProcessId()) + L"\\";
    ::CreateDirectoryW(dir_.c_str(), nullptr);
    const std::wstring sample = qvr::testing::SamplePath(L"tone.wav");
    for (const wchar_t* name : kOutsideNames) ::CopyFileW(sample.c_str(), (dir_ + name).c_str(), FALSE);
    ::CopyFileW(sample.c_str(), (dir_ + kCodePageName).c_str(), FALSE);
  }
  static void TearDownTestSuite() {
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileW((dir_ + L"*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
      do ::DeleteFileW((dir_ + data.cFileName).c_str());
      while (::FindNextFileW(find, &data));
      ::FindClose(find);
    }
    ::RemoveDirectoryW(dir_.c_str());
  }
  void SetUp() override {
    ComTest::SetUp();
    // The platform runs this test with LC_ALL=C.UTF-8, which Wine maps to en-US: code page 1252.
    ASSERT_EQ(1252u, ::GetACP());
  }

  static std::string Path(const wchar_t* name) { return WideToUtf8(dir_ + name); }
  static std::string Folder() { return WideToUtf8(dir_.substr(0, dir_.size() - 1)); }
  std::string ReadBytes(const std::string& path) {
    std::string bytes;
    EXPECT_FALSE(files_.ReadWholeFile(path, bytes)) << path;
    return bytes;
  }
  static std::vector<std::string> Rows(const qvr::ui::TPlayList& list) {
    std::vector<std::string> rows;
    for (int i = 0; i < list.RowCount(); ++i) rows.push_back(list.Item(i).FileName);
    return rows;
  }

  static std::wstring dir_;
  qvr::ui::TWin32FileSystem files_;
};
std::wstring UnicodePathsTest::dir_;

TEST_F(UnicodePathsTest, EngineOpensAndPlaysEveryName) {
  HWND panel = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 320, 240, nullptr, nullptr, nullptr, nullptr);
  qvr::engine::TMWMediaPlayer player(panel);
  for (const wchar_t* name : kOutsideNames) {
    const std::string path = Path(name);
    SCOPED_TRACE(path);
    // The old way: the system code page has no such letters.
    EXPECT_EQ(E_INVALIDARG, player.Open(qvr::ToAnsi(dir_ + name)));
    EXPECT_EQ(qvr::engine::mkWave, qvr::engine::DetectMediaType(path));
    ASSERT_EQ(S_OK, player.Open(path));
    EXPECT_EQ(path, player.FileName);
    EXPECT_GT(player.Duration, 0);
    player.Play();
    bool moved = false;
    for (int i = 0; i < 150 && !moved; ++i) {
      MSG msg;
      while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
      ::Sleep(20);
      moved = player.GetState() == qvr::engine::kStateRunning && player.GetCurrentPosition() > 0;
    }
    EXPECT_TRUE(moved) << "state " << int(player.GetState());
    player.Close();
  }
  ::DestroyWindow(panel);
}

// The console player takes its argument as UTF-16 and plays it.
TEST_F(UnicodePathsTest, ConsolePlayerPlaysACyrillicName) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE read = nullptr, write = nullptr;
  ASSERT_TRUE(::CreatePipe(&read, &write, &inherit, 0));
  qvr::unique_handle reader(read), writer(write);
  ::SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
  std::wstring command =
      L"\"" + qvr::testing::ExeDirectory() + L"qvrplay.exe\" \"" + dir_ + kOutsideNames[0] + L"\" --seconds 0";
  STARTUPINFOW startup{sizeof startup};
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = write;
  startup.hStdError = write;
  startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(::CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process));
  qvr::unique_handle thread(process.hThread), child(process.hProcess);
  writer.reset();
  std::string output;
  char buffer[4096];
  DWORD got = 0;
  while (::ReadFile(read, buffer, sizeof buffer, &got, nullptr) && got) output.append(buffer, got);
  ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(process.hProcess, 30000));
  DWORD code = 1;
  ::GetExitCodeProcess(process.hProcess, &code);
  EXPECT_EQ(0u, code) << output;
  const std::string line = "File: " + Path(kOutsideNames[0]);
  const size_t at = output.find(line);
  ASSERT_NE(std::string::npos, at) << output;
  EXPECT_TRUE(output[at + line.size()] == '\r' || output[at + line.size()] == '\n') << output;  // the whole name
}

TEST_F(UnicodePathsTest, PlaylistAddsScansAndComparesEveryName) {
  std::vector<std::string> expected;
  for (const wchar_t* name : kOutsideNames) expected.push_back(Path(name));
  expected.push_back(Path(kCodePageName));
  std::sort(expected.begin(), expected.end());

  qvr::ui::TPlayList scanned(files_);
  scanned.AddPath(Folder());
  std::vector<std::string> rows = Rows(scanned);
  std::sort(rows.begin(), rows.end());  // the file system's order is its own
  EXPECT_EQ(expected, rows);

  qvr::ui::TPlayList added(files_);
  for (const std::string& path : expected) added.AddPath(path);
  EXPECT_EQ(expected, Rows(added));
  // Letter case is ignored beyond ASCII too, as NTFS ignores it.
  added.AddPath(WideToUtf8(dir_ + L"ТЕСТ_ЗВУК.WAV"));
  added.AddPath(WideToUtf8(dir_ + L"CAFÉ €.WAV"));
  // Not "ΉΧΟΣ ΔΟΚΙΜΉΣ": Wine 8's case table has no upper case for the final sigma "ς" (its file
  // system, too, then holds "ας" and "ΑΣ" as two files), where Windows and NTFS map it to "Σ".
  EXPECT_EQ(expected, Rows(added));
  EXPECT_TRUE(files_.FileExists(WideToUtf8(dir_ + L"ТЕСТ_ЗВУК.WAV")));
}

TEST_F(UnicodePathsTest, PlaylistWritesTheCodePageWhenItCanAndUtf8WithAMarkOtherwise) {
  // Every name fits code page 1252: the very bytes older copies wrote.
  qvr::ui::TPlayList western(files_);
  western.AddFile(Path(kCodePageName));
  ASSERT_FALSE(western.SavePlaylist(Path(L"western")));
  const std::string ansi = qvr::ToAnsi(dir_ + kCodePageName) + "\r\n";
  EXPECT_NE(std::string::npos, ansi.find("caf\xE9 \x80.wav"));
  EXPECT_EQ(ansi, ReadBytes(Path(L"western.m3u")));

  // One name outside it: UTF-8 with a byte-order mark.
  qvr::ui::TPlayList mixed(files_);
  mixed.AddFile(Path(kCodePageName));
  for (const wchar_t* name : kOutsideNames) mixed.AddFile(Path(name));
  ASSERT_FALSE(mixed.SavePlaylist(Path(L"mixed.txt")));
  EXPECT_EQ("\xEF\xBB\xBF" + mixed.PlaylistText(), ReadBytes(Path(L"mixed.m3u")));

  qvr::ui::TPlayList loaded(files_);
  ASSERT_FALSE(loaded.LoadPlaylist(Path(L"mixed.m3u")));
  EXPECT_EQ(Rows(mixed), Rows(loaded));
  ASSERT_FALSE(loaded.LoadPlaylist(Path(L"western.m3u")));
  EXPECT_EQ(Rows(western), Rows(loaded));
}

TEST_F(UnicodePathsTest, PlaylistReadsUtf16AndOtherProgramsCodePageFiles) {
  std::wstring text = L"#EXTM3U\r\n";
  for (const wchar_t* name : kOutsideNames) text += dir_ + name + L"\r\n";
  std::string bytes = "\xFF\xFE";
  bytes.append(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
  ASSERT_FALSE(files_.WriteFileAtomically(Path(L"utf16.m3u"), bytes));
  qvr::ui::TPlayList list(files_);
  ASSERT_FALSE(list.LoadPlaylist(Path(L"utf16.m3u")));
  std::vector<std::string> expected;
  for (const wchar_t* name : kOutsideNames) expected.push_back(Path(name));
  EXPECT_EQ(expected, Rows(list));

  ASSERT_FALSE(files_.WriteFileAtomically(Path(L"other.m3u"), qvr::ToAnsi(dir_ + kCodePageName) + "\r\n"));
  ASSERT_FALSE(list.LoadPlaylist(Path(L"other.m3u")));
  EXPECT_EQ(std::vector<std::string>{Path(kCodePageName)}, Rows(list));
}

// The system's conversion to the code page must refuse look-alikes, or "ā" would be saved as
// "a" and name another file.
TEST_F(UnicodePathsTest, CodePageConversionFitsOnlyExactCharacters) {
  const qvr::TWin32CodePage acp;
  std::string bytes;
  EXPECT_TRUE(acp.FromUtf8(WideToUtf8(L"café €"), bytes));
  EXPECT_EQ("caf\xE9 \x80", bytes);
  EXPECT_FALSE(acp.FromUtf8(WideToUtf8(L"ā"), bytes));  // best fit would give "a"
  EXPECT_FALSE(acp.FromUtf8(WideToUtf8(L"Ж"), bytes));
  EXPECT_FALSE(acp.FromUtf8(WideToUtf8(L"🎵"), bytes));
  EXPECT_FALSE(acp.FromUtf8("caf\xE9", bytes));  // not UTF-8
  EXPECT_EQ(WideToUtf8(L"café €"), acp.ToUtf8("caf\xE9 \x80"));
  // The boundary converters replace broken input as the portable core does, not as the system would.
  EXPECT_EQ(L"a\xFFFD" L"b", Utf8ToWide("a\xE6\xB5" "b"));
  EXPECT_EQ("a\xEF\xBF\xBD", WideToUtf8(std::wstring(L"a") + wchar_t(0xD800)));
}

}  // namespace
