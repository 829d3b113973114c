#include "player/ui/PosixFileSystem.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "player/ui/core/PlayList.h"

namespace {

using namespace qvr::ui;
namespace fsys = std::filesystem;

class PosixFileSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/qvr-playlist-XXXXXX";
    ASSERT_NE(nullptr, ::mkdtemp(pattern));
    dir = pattern;
  }
  void TearDown() override { fsys::remove_all(dir); }
  std::string Path(const std::string& name) const { return dir + "/" + name; }
  void Write(const std::string& name, const std::string& text) { std::ofstream(Path(name), std::ios::binary) << text; }
  std::string Read(const std::string& name) {
    std::string text;
    EXPECT_FALSE(files.ReadWholeFile(Path(name), text));
    return text;
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& entry : fsys::directory_iterator(dir)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }

  std::string dir;
  TPosixFileSystem files;
};

// Fails after writing half of the data, as a full disk would.
class TFailingPosixFileSystem : public TPosixFileSystem {
 protected:
  int WriteContents(int fd, std::string_view data) override {
    TPosixFileSystem::WriteContents(fd, data.substr(0, data.size() / 2));
    return ENOSPC;
  }
};

TEST_F(PosixFileSystemTest, ReplacesFilesWholeAndKeepsTheOldOneWhenWritingFails) {
  Write("list.m3u", "old\r\n");
  ::chmod(Path("list.m3u").c_str(), 0640);
  ASSERT_FALSE(files.WriteFileAtomically(Path("list.m3u"), "new\r\n"));
  EXPECT_EQ("new\r\n", Read("list.m3u"));
  struct stat info;
  ASSERT_EQ(0, ::stat(Path("list.m3u").c_str(), &info));
  EXPECT_EQ(0640u, info.st_mode & 0777);

  TFailingPosixFileSystem failing;
  EXPECT_EQ(std::error_code(ENOSPC, std::generic_category()),
            failing.WriteFileAtomically(Path("list.m3u"), std::string(4096, 'x')));
  EXPECT_EQ("new\r\n", Read("list.m3u"));
  EXPECT_EQ(std::vector<std::string>{"list.m3u"}, Names());  // no temporary file left

  fsys::create_directory(Path("folder.m3u"));
  EXPECT_TRUE(files.WriteFileAtomically(Path("folder.m3u"), "x"));
  EXPECT_EQ((std::vector<std::string>{"folder.m3u", "list.m3u"}), Names());
}

TEST_F(PosixFileSystemTest, PlaylistLinesResolveFromTheListsFolder) {
  fsys::create_directory(Path("list"));
  Write("list/a.mp3", "");
  Write("b.mp3", "");
  Write("list/list.m3u", "a.mp3\n./x/../../b.mp3\nmissing.mp3\n/abs/c.mp3\n");
  TPlayList loaded(files);
  ASSERT_FALSE(loaded.LoadPlaylist(Path("list/list.m3u")));
  ASSERT_EQ(2, loaded.RowCount());
  EXPECT_EQ(Path("list/a.mp3"), loaded.Item(0).FileName);
  EXPECT_EQ(Path("b.mp3"), loaded.Item(1).FileName);
  EXPECT_EQ("", files.ResolveBesidePlaylist(Path("list/list.m3u"), "/abs/c.mp3"));
  EXPECT_EQ("", files.ResolveBesidePlaylist(Path("list/list.m3u"), "http://host/c.mp3"));
}

TEST_F(PosixFileSystemTest, PlaylistRoundTripThroughRealFiles) {
  fsys::create_directory(Path("sub"));
  Write("sub/b.ogg", "");
  Write("a.MP3", "");
  Write("c.txt", "");
  fsys::create_directory_symlink(dir, Path("loop"));  // not followed: the scan ends
  TPlayList list(files);
  list.ScanFolder(dir);
  ASSERT_EQ(2, list.RowCount());
  EXPECT_FALSE(files.FileExists(Path("sub")));
  list.RemoveItems(true, false);
  list.AddPath(Path("sub"));
  EXPECT_EQ(1, list.RowCount());
  list.ScanFolder(dir);
  ASSERT_FALSE(list.SavePlaylist(Path("saved.txt")));

  TPlayList loaded(files);
  ASSERT_FALSE(loaded.LoadPlaylist(Path("saved.m3u")));
  ASSERT_EQ(2, loaded.RowCount());
  EXPECT_EQ(list.Item(0).FileName, loaded.Item(0).FileName);
  EXPECT_EQ(list.Item(1).FileName, loaded.Item(1).FileName);

  loaded.SelectAll();
  loaded.RemoveItems(false, true);
  EXPECT_FALSE(files.FileExists(list.Item(0).FileName));
}

}  // namespace
