// Where default.m3u lives: beside a portable copy, in the user's application data otherwise.
#include "player/app/DefaultPlaylist.h"

#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>

#include "common/win/text.h"
#include "common/win/unique_resource.h"
#include "player/ui/Win32FileSystem.h"
#include "player/ui/core/PlayList.h"

namespace {

std::string TempFolder() {
  wchar_t temp[MAX_PATH];
  ::GetTempPathW(MAX_PATH, temp);
  return qvr::WideToUtf8(temp);
}

TEST(DefaultPlaylist, BesideAWritableProgramFolder) {
  const std::string folder = TempFolder();
  EXPECT_TRUE(qvr::app::FolderIsWritable(folder));
  EXPECT_EQ(folder + "default.m3u", qvr::app::DefaultPlaylistPath(folder));
  // The probe leaves nothing behind.
  WIN32_FIND_DATAW found{};
  const HANDLE find = ::FindFirstFileW(qvr::Utf8ToWide(folder + "QVRPlayer-*.write-test").c_str(), &found);
  EXPECT_EQ(INVALID_HANDLE_VALUE, find);
  if (find != INVALID_HANDLE_VALUE) ::FindClose(find);
}

TEST(DefaultPlaylist, InApplicationDataWhenTheProgramFolderIsNotWritable) {
  const std::string program = "C:\\qvr-no-such-program-folder\\";
  EXPECT_FALSE(qvr::app::FolderIsWritable(program));
  wchar_t appData[MAX_PATH] = {};
  ASSERT_EQ(S_OK, ::SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData));
  const std::string path = qvr::app::DefaultPlaylistPath(program);
  EXPECT_EQ(qvr::WideToUtf8(appData) + "\\QVRPlayer\\default.m3u", path);

  // What the close sequence saves there, the next start loads from there.
  qvr::ui::TWin32FileSystem files;
  const std::string media = TempFolder() + "qvr-default-playlist.mp3";
  { qvr::unique_file f(::CreateFileW(qvr::Utf8ToWide(media).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr)); }
  qvr::ui::TPlayList saved(files);
  saved.AddFile(media);
  ASSERT_FALSE(saved.SavePlaylist(qvr::app::DefaultPlaylistPath(program)));
  qvr::ui::TPlayList loaded(files);
  ASSERT_FALSE(loaded.LoadPlaylist(qvr::app::DefaultPlaylistPath(program)));
  ASSERT_EQ(1, loaded.RowCount());
  EXPECT_EQ(media, loaded.Item(0).FileName);
  ::DeleteFileW(qvr::Utf8ToWide(path).c_str());
  ::DeleteFileW(qvr::Utf8ToWide(media).c_str());
}

}  // namespace
