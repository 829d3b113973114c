// The console player on real DirectShow graphs: the sample WAV into the DirectSound renderer,
// the sample AVI with picture and sound.
#include <gtest/gtest.h>

#include <algorithm>

#include "common/testing/WinTestSupport.h"
#include "player/app/console/ConsolePlayer.h"

namespace {

using qvr::app::TConsolePlayer;
using qvr::testing::SamplePath;

class ConsolePlayerTest : public qvr::testing::ComTest {};

bool Contains(const std::vector<std::wstring>& names, const std::wstring& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

TEST_F(ConsolePlayerTest, PlaysTheSampleWavThroughTheDirectSoundRenderer) {
  TConsolePlayer player;
  ASSERT_EQ(S_OK, player.Open(SamplePath(L"tone.wav")));
  EXPECT_TRUE(Contains(player.FilterNames(), L"Default DirectSound Device"));
  EXPECT_EQ(30000000, player.Duration());  // 3 s of audio, exactly
  EXPECT_EQ(State_Stopped, player.State());

  ASSERT_HRESULT_SUCCEEDED(player.Play());
  EXPECT_EQ(State_Running, player.State(2000));
  LONGLONG position = 0;
  for (int i = 0; i < 40 && position <= 2000000; ++i) {
    ::Sleep(50);
    position = player.Position();
  }
  EXPECT_GT(position, 2000000) << "position did not advance past 0.2 s while running";
  EXPECT_LT(position, 30000000);

  ASSERT_HRESULT_SUCCEEDED(player.Stop());
  EXPECT_EQ(State_Stopped, player.State(2000));
  EXPECT_EQ(0, player.Position());
  player.Close();
  EXPECT_FALSE(player.IsOpen());
  EXPECT_EQ(0, player.Duration());
}

TEST_F(ConsolePlayerTest, PlaysTheSampleAviToTheEnd) {
  TConsolePlayer player;
  ASSERT_EQ(S_OK, player.Open(SamplePath(L"bars.avi")));
  EXPECT_TRUE(Contains(player.FilterNames(), L"Default DirectSound Device"));
  EXPECT_EQ(30000000, player.Duration());
  ASSERT_HRESULT_SUCCEEDED(player.Play());
  EXPECT_TRUE(player.WaitForEnd(10000)) << "no EC_COMPLETE within 10 s for a 3 s file";
  player.Close();
}

TEST_F(ConsolePlayerTest, MissingFileFailsAndLeavesNoGraph) {
  TConsolePlayer player;
  EXPECT_HRESULT_FAILED(player.Open(SamplePath(L"no-such-file.wav")));
  EXPECT_FALSE(player.IsOpen());
  EXPECT_EQ(VFW_E_WRONG_STATE, player.Play());
}

}  // namespace
