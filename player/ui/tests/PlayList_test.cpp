#include "player/ui/core/PlayList.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "player/ui/tests/FakePlayListHost.h"

namespace {

using namespace qvr::ui;
using qvr::ui::testing::TFakeFileSystem;
using qvr::ui::testing::TRecordingView;

std::vector<std::string> Paths(const TPlayList& list) {
  std::vector<std::string> paths;
  for (int i = 0; i < list.RowCount(); ++i) paths.push_back(list.Item(i).FileName);
  return paths;
}

std::vector<int> Selected(const TPlayList& list) {
  std::vector<int> rows;
  for (int i = 0; i < list.RowCount(); ++i)
    if (list.IsSelected(i)) rows.push_back(i);
  return rows;
}

class PlayListTest : public ::testing::Test {
 protected:
  PlayListTest() {
    list.SetView(&view);
    list.OnPlay = [this](const std::string& path, uint8_t flag) {
      played.push_back(path);
      EXPECT_EQ(0, flag);
    };
  }
  void AddRows(int count) {
    for (int i = 0; i < count; ++i) list.AddFile("C:\\m\\" + std::to_string(i) + ".mp3");
  }

  TFakeFileSystem fs;
  TRecordingView view;
  TPlayList list{fs};
  std::vector<std::string> played;
};

TEST(PlayListText, FormatsDurations) {
  EXPECT_EQ("00:00", FormatDuration(0));
  EXPECT_EQ("00:59", FormatDuration(59));
  EXPECT_EQ("01:15", FormatDuration(75));
  EXPECT_EQ("59:59", FormatDuration(3599));
  EXPECT_EQ("01:00:00", FormatDuration(3600));
  EXPECT_EQ("01:02:05", FormatDuration(3725));
  EXPECT_EQ("100:00:00", FormatDuration(360000));
}

TEST(PlayListText, TitlesAndPlaylistNames) {
  EXPECT_EQ("a.b", TitleFromPath("C:\\Music\\a.b.mp3"));
  EXPECT_EQ("noext", TitleFromPath("C:\\dir.x\\noext"));
  EXPECT_EQ("song", TitleFromPath("http://host/x/song.mp3"));
  EXPECT_EQ("", TitleFromPath(".hidden"));

  EXPECT_EQ("list.m3u", PlaylistFileName("list"));
  EXPECT_EQ("list.m3u", PlaylistFileName("list.txt"));
  EXPECT_EQ("list.m3u", PlaylistFileName("list."));
  EXPECT_EQ("List.M3U", PlaylistFileName("List.M3U"));
  EXPECT_EQ("C:\\a.b\\list.m3u", PlaylistFileName("C:\\a.b\\list"));
}

TEST(PlayListText, SplitsLinesSkipsByteOrderMarkAndStopsAtNul) {
  using Lines = std::vector<std::string_view>;
  EXPECT_EQ((Lines{"a", "b", "c", "d"}), SplitPlaylistText("\xEF\xBB\xBF" "a\r\nb\rc\n\nd"));
  EXPECT_EQ((Lines{"a", "b"}), SplitPlaylistText("a\n\rb\r\n"));
  EXPECT_EQ((Lines{"a"}), SplitPlaylistText(std::string_view("a\r\n\0b\r\n", 7)));
  EXPECT_EQ((Lines{"x\xEF\xBB\xBFy"}), SplitPlaylistText("x\xEF\xBB\xBFy"));
  EXPECT_TRUE(SplitPlaylistText("\xEF\xBB\xBF").empty());
}

// The file's encoding comes from its first bytes; without a mark it is the system code page
// (Latin-1 here), as other programs and older copies of this one wrote it.
TEST(PlayListText, ReadsByTheByteOrderMarkElseTheSystemCodePage) {
  const qvr::TLatin1CodePage latin1;
  const std::string R = "\xEF\xBF\xBD";
  struct {
    const char* name;
    std::string bytes;
    TPlaylistEncoding encoding;
    std::string text;
  } const cases[] = {
      {"code page", "C:\\caf\xE9.mp3\r\n", TPlaylistEncoding::SystemCodePage, "C:\\caf\xC3\xA9.mp3\r\n"},
      {"code page, NUL ends", std::string("a.mp3\0\xE9", 7), TPlaylistEncoding::SystemCodePage, "a.mp3"},
      {"UTF-8 mark", "\xEF\xBB\xBF\xD0\x96.mp3", TPlaylistEncoding::Utf8, "\xD0\x96.mp3"},
      {"UTF-8 mark, broken bytes", "\xEF\xBB\xBF" "caf\xE9.mp3", TPlaylistEncoding::Utf8, "caf" + R + ".mp3"},
      {"UTF-8 without a mark is code page", "\xD0\x96", TPlaylistEncoding::SystemCodePage, "\xC3\x90\xC2\x96"},
      {"UTF-16LE mark", std::string("\xFF\xFE\x16\x04\x3C\xD8\xB5\xDF\r\0\n\0", 12), TPlaylistEncoding::Utf16Le,
       "\xD0\x96\xF0\x9F\x8E\xB5\r\n"},
      {"UTF-16LE, unpaired and odd byte", std::string("\xFF\xFEx\0\x3C\xD8y\0z", 9), TPlaylistEncoding::Utf16Le,
       "x" + R + "y" + R},
      {"UTF-16BE mark is code page", "\xFE\xFF\0a", TPlaylistEncoding::SystemCodePage, "\xC3\xBE\xC3\xBF"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.encoding, PlaylistEncodingOf(c.bytes));
    EXPECT_EQ(c.text, DecodePlaylistFile(c.bytes, latin1));
  }
  const std::string utf16(std::string("\xFF\xFE" "a\0\0\0b\0", 8));
  EXPECT_EQ(std::vector<std::string_view>{"a"}, SplitPlaylistText(DecodePlaylistFile(utf16, latin1)));
}

// The mark is written only when the system code page cannot hold a name.
TEST(PlayListText, WritesTheCodePageWhenEveryNameFitsElseUtf8WithAMark) {
  const qvr::TLatin1CodePage latin1;
  EXPECT_EQ("C:\\caf\xE9.mp3\r\n", EncodePlaylistFile("C:\\caf\xC3\xA9.mp3\r\n", latin1));
  EXPECT_EQ("a.mp3\r\n", EncodePlaylistFile("a.mp3\r\n", latin1));
  EXPECT_EQ("", EncodePlaylistFile("", latin1));
  const std::string mixed = "C:\\caf\xC3\xA9.mp3\r\nC:\\\xF0\x9F\x8E\xB5.mp3\r\n";
  EXPECT_EQ("\xEF\xBB\xBF" + mixed, EncodePlaylistFile(mixed, latin1));
  // Code-page bytes that would read back as a mark go out as UTF-8 instead.
  EXPECT_EQ("\xEF\xBB\xBF\xC3\xBF\xC3\xBEx.mp3\r\n", EncodePlaylistFile("\xC3\xBF\xC3\xBEx.mp3\r\n", latin1));
  EXPECT_EQ("\xEF\xBB\xBF\xC3\xAF\xC2\xBB\xC2\xBFx.mp3", EncodePlaylistFile("\xC3\xAF\xC2\xBB\xC2\xBFx.mp3", latin1));
  for (const std::string& text : {mixed, std::string("\xC3\xBF\xC3\xBEx.mp3"), std::string("caf\xC3\xA9")})
    EXPECT_EQ(text, DecodePlaylistFile(EncodePlaylistFile(text, latin1), latin1));
}

TEST_F(PlayListTest, AddFileIgnoresLetterCaseDuplicatesAndTellsTheWindow) {
  list.AddFile("C:\\Music\\Song.mp3");
  list.AddFile("c:\\music\\SONG.MP3");
  ASSERT_EQ(1, list.RowCount());
  EXPECT_EQ("Song", list.Item(0).Title);
  EXPECT_EQ(0, list.Item(0).Duration);
  EXPECT_EQ("", list.Item(0).DurationText);
  EXPECT_TRUE(view.Saw("has-rows"));
  EXPECT_EQ(-1, list.CurrentIndex());
}

TEST_F(PlayListTest, NextAndPreviousWrapAround) {
  list.PlayPrevious();
  list.PlayNext();
  EXPECT_TRUE(played.empty());  // an empty list plays nothing

  AddRows(3);
  list.PlayNext();  // nothing playing yet: row 0
  list.PlayPrevious();
  list.PlayPrevious();
  list.PlayNext();
  list.PlayNext();
  EXPECT_EQ((std::vector<std::string>{"C:\\m\\0.mp3", "C:\\m\\2.mp3", "C:\\m\\1.mp3", "C:\\m\\2.mp3", "C:\\m\\0.mp3"}),
            played);
  EXPECT_EQ(0, list.CurrentIndex());
  EXPECT_EQ("C:\\m\\0.mp3", list.CurrentFile());
  EXPECT_EQ(0, list.FocusedRow());
  EXPECT_EQ(std::vector<int>{0}, Selected(list));

  list.PlayItem(3);
  list.PlayItem(-1);
  EXPECT_EQ(5u, played.size());
}

TEST_F(PlayListTest, PlayItemCapturesTheDockBeforeOnPlayAndSetNowPlayingRedocks) {
  AddRows(2);
  list.OnPlay = [this](const std::string& path, uint8_t) {
    EXPECT_TRUE(view.Saw("capture-dock"));
    list.SetNowPlaying(path, 75);  // the main window reports back from inside OnPlay
  };
  list.PlayItem(1);
  EXPECT_EQ(1, list.CurrentIndex());
  EXPECT_EQ("01:15", list.Item(1).DurationText);
  EXPECT_TRUE(view.Saw("redock"));
}

TEST_F(PlayListTest, OnPlayMayEmptyTheList) {
  AddRows(2);
  list.OnPlay = [this](const std::string& path, uint8_t) {
    list.RemoveItems(true, false);
    played.push_back(path);
  };
  list.PlayItem(1);
  EXPECT_EQ(std::vector<std::string>{"C:\\m\\1.mp3"}, played);
  EXPECT_EQ("C:\\m\\1.mp3", list.CurrentFile());
  EXPECT_EQ(-1, list.CurrentIndex());
}

TEST_F(PlayListTest, SetNowPlayingFindsOrAppendsTheRow) {
  AddRows(2);
  list.SetNowPlaying("c:\\M\\1.MP3", 3725);
  EXPECT_EQ(2, list.RowCount());
  EXPECT_EQ(1, list.CurrentIndex());
  EXPECT_EQ("c:\\M\\1.MP3", list.CurrentFile());
  EXPECT_EQ(3725, list.Item(1).Duration);
  EXPECT_EQ("01:02:05", list.Item(1).DurationText);

  list.SetNowPlaying("http://radio/stream", 0);
  EXPECT_EQ(3, list.RowCount());
  EXPECT_EQ(2, list.CurrentIndex());
  EXPECT_EQ("00:00", list.Item(2).DurationText);
}

TEST_F(PlayListTest, RemovingSelectedRowsSelectsTheRowNowInTheirPlace) {
  AddRows(6);
  list.SetNowPlaying("C:\\m\\5.mp3", 1);
  for (int i = 2; i <= 4; ++i) list.SetSelected(i, true);
  list.RemoveItems(false, false);
  EXPECT_EQ((std::vector<std::string>{"C:\\m\\0.mp3", "C:\\m\\1.mp3", "C:\\m\\5.mp3"}), Paths(list));
  EXPECT_EQ(std::vector<int>{2}, Selected(list));
  EXPECT_EQ(2, list.CurrentIndex());  // re-derived from the now-playing file
  EXPECT_TRUE(view.Saw("drop-target"));

  list.SelectAll();
  list.SetSelected(0, false);
  list.RemoveItems(false, false);  // the last rows: the new last row is selected
  EXPECT_EQ(std::vector<int>{0}, Selected(list));
  EXPECT_EQ(-1, list.CurrentIndex());
}

TEST_F(PlayListTest, RemovingRowsAboveTheFocusKeepsItOnItsFile) {
  AddRows(6);
  list.SetFocusedRow(4);
  list.SetSelected(1, true);
  list.SetSelected(2, true);
  list.RemoveItems(false, false);
  EXPECT_EQ(2, list.FocusedRow());
  EXPECT_EQ("C:\\m\\4.mp3", list.Item(list.FocusedRow()).FileName);
  fs.AddFile("C:\\m", "4.mp3");
  fs.AddFile("C:\\m", "5.mp3");
  list.RemoveDeadFiles();  // 0.mp3 and 3.mp3, both above the focus
  EXPECT_EQ(0, list.FocusedRow());
  EXPECT_EQ("C:\\m\\4.mp3", list.Item(list.FocusedRow()).FileName);
}

TEST_F(PlayListTest, RemovingWithFilesDeletesOnlyTheRemovedOnesAndIgnoresFailures) {
  fs.AddFile("C:\\m", "a.mp3");
  fs.AddFile("C:\\m", "b.mp3");
  list.AddFile("C:\\m\\a.mp3");
  list.AddFile("C:\\m\\b.mp3");
  list.AddFile("C:\\m\\gone.mp3");
  list.SetSelected(1, true);
  list.SetSelected(2, true);
  list.RemoveItems(false, true);
  EXPECT_EQ((std::vector<std::string>{"C:\\m\\b.mp3", "C:\\m\\gone.mp3"}), fs.Removed);
  EXPECT_EQ(std::vector<std::string>{"C:\\m\\a.mp3"}, Paths(list));
  EXPECT_TRUE(fs.Files.contains("C:\\m\\a.mp3"));

  list.PlayItem(0);
  list.RemoveItems(true, false);
  EXPECT_EQ(0, list.RowCount());
  EXPECT_EQ("empty", view.Log.back());
  EXPECT_EQ(0, list.CurrentIndex());  // an emptied list keeps the mark until re-derived
  list.AddFile("C:\\m\\A.MP3");
  EXPECT_EQ(0, list.CurrentIndex());
}

TEST_F(PlayListTest, RemoveDeadFilesKeepsExistingOnes) {
  fs.AddFile("C:\\m", "1.mp3");
  fs.AddFile("C:\\m", "3.mp3");
  AddRows(4);
  list.SetNowPlaying("C:\\m\\3.mp3", 0);
  list.RemoveDeadFiles();
  EXPECT_EQ((std::vector<std::string>{"C:\\m\\1.mp3", "C:\\m\\3.mp3"}), Paths(list));
  EXPECT_EQ(1, list.CurrentIndex());
}

TEST_F(PlayListTest, MoveRowKeepsTheNowPlayingMarkOnItsFile) {
  AddRows(5);
  list.PlayItem(0);
  list.MoveRow(2, 2);
  list.MoveRow(0, 5);
  EXPECT_EQ("C:\\m\\0.mp3", list.Item(0).FileName);

  list.MoveRow(0, 3);
  EXPECT_EQ((std::vector<std::string>{"C:\\m\\1.mp3", "C:\\m\\2.mp3", "C:\\m\\3.mp3", "C:\\m\\0.mp3", "C:\\m\\4.mp3"}),
            Paths(list));
  EXPECT_EQ(3, list.CurrentIndex());
  EXPECT_EQ(3, list.FocusedRow());
  EXPECT_EQ(std::vector<int>{3}, Selected(list));
}

TEST_F(PlayListTest, FolderScanAddsMediaDepthFirstInListingOrder) {
  fs.Folders["D:\\v"] = {{".", true}, {"..", true}};
  fs.AddFile("D:\\v", "z.mp3");
  fs.AddFile("D:\\v", "b.txt");
  fs.AddFolder("D:\\v", "sub");
  fs.AddFile("D:\\v\\sub", "c.AVI");
  fs.AddFile("D:\\v", "a.mp3");
  list.AddPath("D:\\v");
  EXPECT_EQ((std::vector<std::string>{"D:\\v\\z.mp3", "D:\\v\\sub\\c.AVI", "D:\\v\\a.mp3"}), Paths(list));

  list.AddPath("D:\\elsewhere\\notes.txt");
  list.AddPath("D:\\elsewhere\\x.wma");  // a file needs to match the masks, not to exist
  EXPECT_EQ("D:\\elsewhere\\x.wma", Paths(list).back());
  EXPECT_EQ(4, list.RowCount());
}

TEST_F(PlayListTest, LoadKeepsExistingMediaLinesInOrderWithoutDuplicates) {
  fs.AddFile("C:\\m", "one.mp3");
  fs.AddFile("C:\\m", "two.mp3");
  fs.AddFile("C:\\m", "notes.txt");
  fs.Files["rel.mp3"] = "";
  fs.Files["C:\\l.m3u"] =
      "\xEF\xBB\xBF" "C:\\m\\two.mp3\r\n#EXTM3U\r\n#EXTINF:61,Two\r\nC:\\m\\one.mp3\n\nC:\\M\\TWO.MP3\r"
      "http://radio/x.mp3\r\nC:\\m\\missing.mp3\r\nC:\\m\\notes.txt\r\nrel.mp3";
  AddRows(2);
  ASSERT_FALSE(list.LoadPlaylist("C:\\l.m3u"));
  EXPECT_EQ((std::vector<std::string>{"C:\\m\\two.mp3", "C:\\m\\one.mp3", "rel.mp3"}), Paths(list));

  EXPECT_EQ(std::errc::no_such_file_or_directory, list.LoadPlaylist("C:\\none.m3u"));
  EXPECT_EQ((std::vector<std::string>{"C:\\m\\two.mp3", "C:\\m\\one.mp3", "rel.mp3"}), Paths(list));  // kept
}

// Nearly every list another program writes names its files from the list's own folder.
TEST_F(PlayListTest, LoadTakesRelativeLinesFromThePlaylistsFolderWhenMissingAsWritten) {
  fs.Files["C:\\Music\\List\\a.mp3"] = "";
  fs.Files["C:\\Music\\List\\sub\\b.mp3"] = "";
  fs.Files["C:\\Music\\c.mp3"] = "";
  fs.Files["here.mp3"] = "";                     // exists from the current folder
  fs.Files["C:\\Music\\List\\here.mp3"] = "";    // ... and beside the list: the line as written wins
  fs.Files["C:\\Music\\List\\list.m3u"] =
      "a.mp3\r\nsub/b.mp3\r\n..\\c.mp3\r\n.\\A.MP3\r\nhere.mp3\r\nmissing.mp3\r\n"
      "C:\\Music\\List\\SUB\\b.mp3\r\nhttp://radio/x.mp3\r\nsub\\notes.txt\r\n";
  ASSERT_FALSE(list.LoadPlaylist("C:\\Music\\List\\list.m3u"));
  EXPECT_EQ((std::vector<std::string>{"C:\\Music\\List\\a.mp3", "C:\\Music\\List\\sub\\b.mp3", "C:\\Music\\c.mp3",
                                      "here.mp3"}),
            Paths(list));
  EXPECT_EQ("b", list.Item(1).Title);
}

TEST(PlayListText, FileUrisBecomePaths) {
  const struct {
    const char* uri;
    const char* path;
  } cases[] = {
      {"file:///C:/My%20Music/a.mp3", "C:\\My Music\\a.mp3"},
      {"FILE:///c|/x/caf%C3%A9%2Emp3", "c:\\x\\caf\xC3\xA9.mp3"},
      {"file://localhost/D:/a%25b.mp3", "D:\\a%b.mp3"},
      {"file://server/share/a%zz%4.mp3", "\\\\server\\share\\a%zz%4.mp3"},
      {"file:///home/me/a%20b.mp3", "/home/me/a b.mp3"},
      {"file:///C:/a%00.mp3", ""},    // a NUL would cut the name short
      {"file:///C:/caf%E9.mp3", ""},  // not UTF-8
      {"file:C:/a.mp3", ""},
      {"C:\\a.mp3", ""},
      {"http://host/a.mp3", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(c.path, PathFromFileUri(c.uri)) << c.uri;
}

TEST_F(PlayListTest, LoadReadsFileUrisAsTheirPaths) {
  fs.Files["C:\\My Music\\caf\xC3\xA9.mp3"] = "";
  fs.Files["C:\\l.m3u"] = "\xEF\xBB\xBF" "file:///C:/My%20Music/caf%C3%A9.mp3\r\nfile:///C:/My%20Music/gone.mp3\r\n"
                          "C:\\MY MUSIC\\CAF\xC3\xA9.MP3\r\n";
  ASSERT_FALSE(list.LoadPlaylist("C:\\l.m3u"));
  EXPECT_EQ((std::vector<std::string>{"C:\\My Music\\caf\xC3\xA9.mp3"}), Paths(list));
}

// Each check is a trip to the file system, slow under Wine; a list names its files many times.
TEST_F(PlayListTest, LoadChecksEachDistinctLineOnce) {
  std::string text;
  for (int copy = 0; copy < 20; ++copy)
    for (const char* name : {"C:\\m\\a.mp3", "C:\\M\\A.MP3", "C:\\m\\B.mp3", "C:\\m\\gone.mp3", "rel.mp3"})
      text += std::string(name) + "\r\n";
  fs.Files["C:\\m\\a.mp3"] = "";
  fs.Files["C:\\m\\b.mp3"] = "";
  fs.Files["C:\\m\\l.m3u"] = text;
  ASSERT_FALSE(list.LoadPlaylist("C:\\m\\l.m3u"));
  EXPECT_EQ((std::vector<std::string>{"C:\\m\\a.mp3"}), Paths(list));
  // a.mp3 once; B.mp3 and gone.mp3 once each; rel.mp3 as written and beside the list.
  EXPECT_EQ(5, fs.ExistenceChecks);
}

TEST_F(PlayListTest, SaveWritesCrLfLinesUnderAnM3uNameAndReportsFailure) {
  list.AddFile("C:\\m\\a.mp3");
  list.AddFile("rel\\b.avi");
  ASSERT_FALSE(list.SavePlaylist("C:\\lists\\list.txt"));
  EXPECT_EQ("C:\\m\\a.mp3\r\nrel\\b.avi\r\n", fs.Files["C:\\lists\\list.m3u"]);
  ASSERT_FALSE(list.SavePlaylist("C:\\lists\\other"));
  EXPECT_TRUE(fs.Files.contains("C:\\lists\\other.m3u"));

  fs.WriteError = std::make_error_code(std::errc::no_space_on_device);
  list.AddFile("C:\\m\\c.mp3");
  EXPECT_EQ(std::errc::no_space_on_device, list.SavePlaylist("C:\\lists\\list.m3u"));
  EXPECT_EQ(3, list.RowCount());
}

}  // namespace
