#include "player/audio/core/MWAudioSettings.h"

#include <gtest/gtest.h>

#include <array>

namespace {

using namespace qvr::audio;

TEST(AudioSettings, StartFlatDisabledAndDirty) {
  TMWAudioSettings settings;
  EXPECT_EQ(10000, settings.PreAmp());
  EXPECT_FALSE(settings.Enabled());
  EXPECT_EQ(0, settings.Delay());
  std::array<int8_t, 10> bands;
  bands.fill(99);
  settings.GetBands(bands.data());
  for (const int8_t b : bands) EXPECT_EQ(0, b);

  TMWAudioSettingsView view;
  view.EqDirty = false;
  EXPECT_TRUE(settings.Refresh(view));  // the first refresh always takes the table
  EXPECT_TRUE(view.EqDirty);
  for (const float g : view.Gains) ASSERT_EQ(2.0f, g);
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

  settings.SetPreAmp(15000);
  settings.SetEnabled(true);
  settings.SetDelay(-250);
  ASSERT_TRUE(settings.Refresh(view));
  EXPECT_EQ(15000, view.PreAmp);
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
