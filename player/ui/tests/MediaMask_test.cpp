#include "player/ui/core/MediaMask.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace qvr::ui;

TEST(MediaMask, ListAcceptsTheThirtyNineMediaExtensions) {
  for (const char* ext : {"aac", "AC3", "ape", "dts", "Flac", "m4a", "mka", "mp2", "MP3", "mpa", "mpc", "ofr", "ogg",
                          "ra", "tta", "wav", "wma", "WEBM", "3gp", "asf", "avi", "avm", "avs", "dat", "flv", "mkv",
                          "mov", "mp4", "mpeg", "mpg", "nsv", "ogm", "rm", "rmvb", "tp", "ts", "vob", "wmv", "Mod"})
    EXPECT_TRUE(MatchesMaskList(std::string("a.") + ext, MediaMaskList)) << ext;
  for (const char* name : {"a.txt", "a.mp3.txt", "a.tsx", "a.ram", "mp3", "a.m3u", "", "a.mp"})
    EXPECT_FALSE(MatchesMaskList(name, MediaMaskList)) << name;
  // Full paths give the same answers for these patterns.
  EXPECT_TRUE(MatchesMaskList("C:\\Music.dir\\Song.MP3", MediaMaskList));
  EXPECT_FALSE(MatchesMaskList("C:\\Music.mp3\\notes", MediaMaskList));
}

TEST(MediaMask, WildcardsSetsAndCase) {
  struct Case {
    const char* name;
    const char* mask;
    bool matches;
  } cases[] = {
      {"abc", "a?c", true},        {"ac", "a?c", false},        {"", "*", true},
      {"aXbYc", "a*b*c", true},    {"abcbc", "*bc", true},      {"abcb", "*bc", false},
      {"File.B", "*.[a-c]", true}, {"file.d", "*.[a-c]", false}, {"file.d", "*.[!a-c]", true},
      {"x]", "x[]]", true},        {"a[b", "a[b", false},       {"A.MP3", "*.mp3", true},
      {"a.mp3", "*.MP3", true},    {"\xC9.mp3", "\xE9*", false},  // ASCII letters only are folded
  };
  for (const Case& c : cases) EXPECT_EQ(c.matches, MatchesMask(c.name, c.mask)) << c.name << " / " << c.mask;
}

TEST(MediaMask, ListSplitsAtSemicolonsAfterALeadingBackslash) {
  EXPECT_TRUE(MatchesMaskList("a.wav", "\\*.WAV;*.MP3"));
  EXPECT_TRUE(MatchesMaskList("a.mp3", "*.WAV;*.MP3"));
  EXPECT_FALSE(MatchesMaskList("a.ogg", "*.WAV;*.MP3"));
  EXPECT_TRUE(MatchesMaskList("", "*.WAV;"));  // an empty pattern matches the empty name only
  EXPECT_FALSE(MatchesMaskList("x", "*.WAV;"));
}

}  // namespace
