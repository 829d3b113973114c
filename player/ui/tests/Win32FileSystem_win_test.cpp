#include "player/ui/Win32FileSystem.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/win/unique_resource.h"
#include "player/ui/core/PlayList.h"

namespace {

using namespace qvr::ui;

std::error_code Win32(DWORD code) { return {static_cast<int>(code), std::system_category()}; }

void RemoveTree(const std::string& folder) {
  TWin32FileSystem files;
  for (const TFolderEntry& entry : files.ListFolder(folder)) {
    if (entry.Name == "." || entry.Name == "..") continue;
    const std::string path = folder + "\\" + entry.Name;
    ::SetFileAttributesW(qvr::Utf8ToWide(path).c_str(), FILE_ATTRIBUTE_NORMAL);
    if (entry.IsDirectory)
      RemoveTree(path);
    else
      ::DeleteFileW(qvr::Utf8ToWide(path).c_str());
  }
  ::RemoveDirectoryW(qvr::Utf8ToWide(folder).c_str());
}

class Win32FileSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH];
    ASSERT_NE(0u, ::GetTempPathA(MAX_PATH, temp));
    dir = std::string(temp) + "qvr-playlist-" + std::to_string(::GetCurrentProcessId());
    RemoveTree(dir);
    ASSERT_TRUE(::CreateDirectoryA(dir.c_str(), nullptr));
  }
  void TearDown() override { RemoveTree(dir); }

  std::string Path(const std::string& name) const { return dir + "\\" + name; }
  void Write(const std::string& name, const std::string& text) {
    ASSERT_FALSE(files.WriteFileAtomically(Path(name), text));
  }
  std::string Read(const std::string& name) {
    std::string text;
    EXPECT_FALSE(files.ReadWholeFile(Path(name), text));
    return text;
  }
  std::vector<std::string> Names() {
    std::vector<std::string> names;
    for (const TFolderEntry& entry : files.ListFolder(dir))
      if (entry.Name != "." && entry.Name != "..") names.push_back(entry.Name);
    std::sort(names.begin(), names.end());
    return names;
  }

  std::string dir;
  TWin32FileSystem files;
};

// Fails after writing half of the data, as a full disk would.
class TFailingWin32FileSystem : public TWin32FileSystem {
 protected:
  DWORD WriteContents(HANDLE file, std::string_view data) override {
    TWin32FileSystem::WriteContents(file, data.substr(0, data.size() / 2));
    return ERROR_DISK_FULL;
  }
};

TEST_F(Win32FileSystemTest, ReplacesFilesWholeAndKeepsTheOldOneWhenSavingFails) {
  Write("list.m3u", "old\r\n");
  Write("list.m3u", "new\r\n");
  EXPECT_EQ("new\r\n", Read("list.m3u"));

  TFailingWin32FileSystem failing;
  EXPECT_EQ(Win32(ERROR_DISK_FULL), failing.WriteFileAtomically(Path("list.m3u"), std::string(100000, 'x')));
  EXPECT_EQ("new\r\n", Read("list.m3u"));

  {  // another program holds the playlist open without sharing deletion
    qvr::unique_file held(::CreateFileA(Path("list.m3u").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(held);
    EXPECT_TRUE(files.WriteFileAtomically(Path("list.m3u"), "blocked\r\n"));
  }
  EXPECT_EQ("new\r\n", Read("list.m3u"));

  ASSERT_TRUE(::SetFileAttributesA(Path("list.m3u").c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(Win32(ERROR_ACCESS_DENIED), files.WriteFileAtomically(Path("list.m3u"), "read-only\r\n"));
  ASSERT_TRUE(::SetFileAttributesA(Path("list.m3u").c_str(), FILE_ATTRIBUTE_NORMAL));
  EXPECT_EQ("new\r\n", Read("list.m3u"));

  ASSERT_TRUE(::CreateDirectoryA(Path("folder.m3u").c_str(), nullptr));
  EXPECT_TRUE(files.WriteFileAtomically(Path("folder.m3u"), "x"));
  EXPECT_EQ(Win32(ERROR_PATH_NOT_FOUND), files.WriteFileAtomically(Path("none\\list.m3u"), "x"));
  EXPECT_EQ((std::vector<std::string>{"folder.m3u", "list.m3u"}), Names());  // no temporary files left
}

TEST_F(Win32FileSystemTest, PathsAreUtf8AndCompareWithoutLetterCase) {
  Write("caf\xC3\xA9 \xD0\x96.mp3", "");  // café Ж.mp3
  EXPECT_EQ(std::vector<std::string>{"caf\xC3\xA9 \xD0\x96.mp3"}, Names());
  EXPECT_TRUE(files.FileExists(Path("CAF\xC3\x89 \xD0\xB6.MP3")));  // CAFÉ ж.MP3: NTFS ignores case
  EXPECT_EQ(files.PathKey("CAF\xC3\x89 \xD0\xB6.MP3"), files.PathKey("caf\xC3\xA9 \xD0\x96.mp3"));
  EXPECT_NE(files.PathKey("cafe.mp3"), files.PathKey("caf\xC3\xA9.mp3"));
}

TEST_F(Win32FileSystemTest, PlaylistScansSavesAndLoadsRealFiles) {
  ASSERT_TRUE(::CreateDirectoryA(Path("sub").c_str(), nullptr));
  Write("sub\\b.ogg", "");
  Write("a.MP3", "");
  Write("c.txt", "");
  Write("hidden.avi", "");
  ASSERT_TRUE(::SetFileAttributesA(Path("hidden.avi").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
  TPlayList list(files);
  list.AddPath(dir + "\\");
  std::vector<std::string> scanned;
  for (int i = 0; i < list.RowCount(); ++i) scanned.push_back(list.Item(i).FileName);
  std::sort(scanned.begin(), scanned.end());  // the file system's order is its own
  EXPECT_EQ((std::vector<std::string>{Path("a.MP3"), Path("hidden.avi"), Path("sub\\b.ogg")}), scanned);
  ASSERT_FALSE(list.SavePlaylist(Path("saved.txt")));
  EXPECT_EQ(list.PlaylistText(), Read("saved.m3u"));

  // Relative lines resolve against the current directory and stay as written.
  char previous[MAX_PATH];
  ASSERT_NE(0u, ::GetCurrentDirectoryA(MAX_PATH, previous));
  ASSERT_TRUE(::SetCurrentDirectoryA(dir.c_str()));
  Write("rel.m3u", "\xEF\xBB\xBF" "a.mp3\r\n#EXTINF:1,x\r\nsub\\B.OGG\r\n" + Path("sub\\b.ogg") + "\r\nmissing.mp3\r\n");
  TPlayList loaded(files);
  const std::error_code loadError = loaded.LoadPlaylist("rel.m3u");
  ::SetCurrentDirectoryA(previous);
  ASSERT_FALSE(loadError);
  ASSERT_EQ(3, loaded.RowCount());
  EXPECT_EQ("a.mp3", loaded.Item(0).FileName);
  EXPECT_EQ("sub\\B.OGG", loaded.Item(1).FileName);
  EXPECT_EQ(Path("sub\\b.ogg"), loaded.Item(2).FileName);  // another spelling: not the same row text
}

// Lists written elsewhere: relative to their own folder, or as file URIs.
TEST_F(Win32FileSystemTest, PlaylistLinesResolveFromTheListsFolderAndFromFileUris) {
  ASSERT_TRUE(::CreateDirectoryA(Path("list").c_str(), nullptr));
  ASSERT_TRUE(::CreateDirectoryA(Path("list\\sub").c_str(), nullptr));
  Write("list\\a.mp3", "");
  Write("list\\sub\\b.ogg", "");
  Write("c.wav", "");
  Write("caf\xC3\xA9 d.mp3", "");
  std::string uri = "file:///" + Path("caf%C3%A9%20d.mp3");
  std::replace(uri.begin(), uri.end(), '\\', '/');
  Write("list\\list.m3u", "a.mp3\r\nsub/b.ogg\r\n..\\C.WAV\r\n.\\A.MP3\r\nmissing.mp3\r\n" + uri + "\r\n");
  TPlayList loaded(files);
  ASSERT_FALSE(loaded.LoadPlaylist(Path("list\\list.m3u")));  // the current folder is elsewhere
  std::vector<std::string> rows;
  for (int i = 0; i < loaded.RowCount(); ++i) rows.push_back(loaded.Item(i).FileName);
  EXPECT_EQ((std::vector<std::string>{Path("list\\a.mp3"), Path("list\\sub\\b.ogg"), Path("C.WAV"),
                                      Path("caf\xC3\xA9 d.mp3")}),
            rows);
}

}  // namespace
