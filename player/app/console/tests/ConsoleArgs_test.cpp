// The console player's command line and the words of its open failures.
#include "player/app/console/core/ConsoleArgs.h"

#include <gtest/gtest.h>

namespace {

using qvr::console::OpenFailureText;
using qvr::console::ParseConsoleArgs;
using qvr::console::TConsoleArgs;
using namespace qvr::engine;

TEST(ConsoleArgs, PlaysAnItemForAnyTimeGiven) {
  TConsoleArgs a = ParseConsoleArgs({"C:\\m\\song.wav"});
  EXPECT_EQ(TConsoleArgs::cmPlay, a.Mode);
  EXPECT_EQ("C:\\m\\song.wav", a.Name);
  EXPECT_LT(a.Seconds, 0);
  a = ParseConsoleArgs({"clip.avi", "--seconds", "0"});
  EXPECT_EQ(TConsoleArgs::cmPlay, a.Mode);
  EXPECT_EQ(0, a.Seconds);
  a = ParseConsoleArgs({"clip.avi", "--seconds", "5", "--seconds", "2.5"});  // the last one counts
  EXPECT_EQ(2.5, a.Seconds);
  // The item is taken as written, even when it looks like an option.
  a = ParseConsoleArgs({"--seconds"});
  EXPECT_EQ(TConsoleArgs::cmPlay, a.Mode);
  EXPECT_EQ("--seconds", a.Name);
  EXPECT_EQ(TConsoleArgs::cmControls, ParseConsoleArgs({"--controls"}).Mode);
}

TEST(ConsoleArgs, RefusesWhatItCannotUse) {
  EXPECT_EQ(TConsoleArgs::cmUsage, ParseConsoleArgs({}).Mode);
  EXPECT_EQ("", ParseConsoleArgs({}).Error);
  // Each of these used to play: a word or a stray suffix read as 0 s, NaN or a negative time as
  // "to the end", an unknown option or a missing number was ignored.
  for (const char* seconds : {"soon", "", "5s", " 5", "-1", "nan", "inf", "1e999", "0x10"}) {
    const TConsoleArgs a = ParseConsoleArgs({"clip.avi", "--seconds", seconds});
    EXPECT_EQ(TConsoleArgs::cmUsage, a.Mode) << '"' << seconds << '"';
    EXPECT_NE(std::string::npos, a.Error.find("--seconds needs a number")) << a.Error;
  }
  EXPECT_EQ("--seconds needs a number of seconds", ParseConsoleArgs({"clip.avi", "--seconds"}).Error);
  EXPECT_EQ("unknown argument \"--loop\"", ParseConsoleArgs({"clip.avi", "--loop"}).Error);
  EXPECT_EQ(TConsoleArgs::cmUsage, ParseConsoleArgs({"--controls", "clip.avi"}).Mode);
}

TEST(ConsoleArgs, OpenFailuresInWords) {
  EXPECT_EQ("no such file (0x80070057)", OpenFailureText(0x80070057u, false, mkUnknown));
  EXPECT_EQ("not a media file we can read (0x00000001)", OpenFailureText(1, false, mkUnknown));
  EXPECT_EQ("no renderer for its streams (0x00000001)", OpenFailureText(1, false, mkWave));
  EXPECT_EQ("no renderer for its streams (0x00000001)", OpenFailureText(1, true, mkUnknown));
  EXPECT_EQ("not a media file we can read (0x80004001)", OpenFailureText(0x80004001u, false, mkMp4));
  EXPECT_EQ("no source reads this stream (0x80004001)", OpenFailureText(0x80004001u, true, mkUnknown));
  EXPECT_EQ("it cannot be played (0x80004005)", OpenFailureText(0x80004005u, false, mkAvi));
}

}  // namespace
