#include "player/audio/core/MWAudioSettings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>

namespace {

using namespace qvr::audio;

TEST(AudioSettings, AFreshObjectLeavesTheAudioAlone) {
  TMWAudioSettings settings;
  std::array<int8_t, 10> bands;
  bands.fill(99);
  settings.GetBands(bands.data());
  EXPECT_EQ((std::array<int8_t, 10>{}), bands);

  TMWAudioSettingsView view;  // stale values, so that only what Refresh copies can pass
  view.PreAmp = 1;
  view.Enabled = true;
  view.Delay = 7;
  std::fill(view.Gains.begin(), view.Gains.end(), 0.5f);
  view.EqDirty = false;
  ASSERT_TRUE(settings.Refresh(view));  // the first refresh always takes everything
  EXPECT_EQ(kPreAmpUnity, view.PreAmp);
  EXPECT_FALSE(view.Enabled);
  EXPECT_EQ(0, view.Delay);
  EXPECT_TRUE(view.EqDirty);
  for (const float g : view.Gains) ASSERT_EQ(BandToGain(0), g);
  EXPECT_FALSE(settings.Refresh(view));
}

TEST(AudioSettings, BandsFillTheirBinsAndReadBack) {
  TMWAudioSettings settings;
  const std::array<int8_t, 10> bands = {-100, -50, -1, 0, 1, 2, 50, 100, -2, 25};
  settings.SetBands(bands.data());
  TMWAudioSettingsView view;
  settings.Refresh(view);
  for (int band = 0; band < 10; ++band)
    for (int bin = kEqualizerBandEdges[band]; bin < kEqualizerBandEdges[band + 1]; ++bin)
      ASSERT_EQ(BandToGain(bands[static_cast<size_t>(band)]), view.Gains[static_cast<size_t>(bin)]) << band << "/" << bin;
  for (size_t bin = 1024; bin < kEqualizerGainTableSize; ++bin) ASSERT_EQ(2.0f, view.Gains[bin]);

  std::array<int8_t, 10> back{};
  settings.GetBands(back.data());
  const std::array<int8_t, 10> expected = {-100, -50, 0, 0, 0, 2, 50, 100, -2, 25};  // ±1 is below one step
  EXPECT_EQ(expected, back);
}

TEST(AudioSettings, ARefreshCarriesEachChangeOnceAndOnlyTableChangesDirtyTheDesign) {
  TMWAudioSettings settings;
  TMWAudioSettingsView view;
  settings.Refresh(view);
  view.EqDirty = false;  // the equaliser designed its filter

  // Each setter on its own reaches the streaming thread's next refresh.
  settings.SetDelay(-250);
  ASSERT_TRUE(settings.Refresh(view));
  EXPECT_EQ(-250, view.Delay);
  settings.SetPreAmp(15000);
  ASSERT_TRUE(settings.Refresh(view));
  EXPECT_EQ(15000, view.PreAmp);
  settings.SetEnabled(true);
  ASSERT_TRUE(settings.Refresh(view));
  EXPECT_TRUE(view.Enabled);
  EXPECT_EQ(-250, view.Delay);
  EXPECT_FALSE(view.EqDirty);
  EXPECT_FALSE(settings.Refresh(view));

  const std::array<int8_t, 10> same{};
  settings.SetBands(same.data());  // even an unchanged table is a new table
  ASSERT_TRUE(settings.Refresh(view));
  EXPECT_TRUE(view.EqDirty);
}

}  // namespace
