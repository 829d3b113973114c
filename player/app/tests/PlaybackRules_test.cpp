#include "player/app/core/PlaybackRules.h"

#include <gtest/gtest.h>

namespace qvr::app {
namespace {

TEST(PlaybackRules, TimeAndSeekBar) {
  EXPECT_EQ(SeekBarValue(300'000'000, 600'000'000), 2500);
  EXPECT_EQ(TimeText(30'000, 600'000'000), "00:30 / 01:00");
  EXPECT_EQ(FormatDuration(3725), "01:02:05");
  EXPECT_EQ(FormatDuration(3599), "59:59");
  EXPECT_EQ(FormatDuration(100 * 3600), "100:00:00");
  // Ties go to the even neighbour: 0.5 -> 0, 1.5 -> 2, 2.5 -> 2.
  EXPECT_EQ(SeekBarValue(1, 10000), 0);
  EXPECT_EQ(SeekBarValue(3, 10000), 2);
  EXPECT_EQ(SeekBarValue(5, 10000), 2);
  EXPECT_EQ(SeekBarValue(5, 0), 0);
  EXPECT_EQ(SeekBarValue(700, 600), kSeekRange);  // past the end stays on the bar
  EXPECT_EQ(SeekTarget(2500, 600'000'000), 300'000'000);
  EXPECT_EQ(SeekTarget(1, 2500), 0);  // 0.5
  EXPECT_EQ(SeekTarget(3, 2500), 2);  // 1.5
}

TEST(PlaybackRules, WheelStepsInFivesInsideTheRange) {
  EXPECT_EQ(WheelVolume(3, -120), 3);
  EXPECT_EQ(WheelVolume(5, -120), 0);
  EXPECT_EQ(WheelVolume(98, 120), 98);
  EXPECT_EQ(WheelVolume(95, 120), 100);
  EXPECT_EQ(WheelVolume(0, 0), 0);  // no delta counts as backward
  for (int v = 0; v <= 100; ++v) {
    EXPECT_GE(WheelVolume(v, -120), 0);
    EXPECT_LE(WheelVolume(v, 120), 100);
  }
}

TEST(PlaybackRules, EndOfItem) {
  EXPECT_TRUE(IsEndOfItem(600, 600, false));
  EXPECT_TRUE(IsEndOfItem(601, 600, false));
  EXPECT_FALSE(IsEndOfItem(599, 600, false));
  EXPECT_TRUE(IsEndOfItem(100, 600, true));  // the stream ended short of its stated length
  EXPECT_TRUE(IsEndOfItem(0, 0, true));      // an empty file
  EXPECT_FALSE(IsEndOfItem(0, 0, false));
}

TEST(PlaybackRules, WindowSizeForThePicture) {
  const TScreenArea screen{0, 0, 1024, 768};
  EXPECT_EQ(SizeForVideo({100, 50, 600, 500}, screen, 320, 240, false), (TBounds{100, 50, 500, 400}));
  EXPECT_EQ(SizeForVideo({0, 0, 600, 500}, {0, 0, 1280, 1024}, 1920, 1080, false), (TBounds{25, 25, 1230, 974}));
  // Fits exactly at the boundary (1024 - 10 = 640 + 370 + 4), one more pixel and it is centred.
  EXPECT_EQ(SizeForVideo({370, 10, 600, 500}, screen, 640, 480, false), (TBounds{370, 10, 644, 573}));
  EXPECT_EQ(SizeForVideo({371, 10, 600, 500}, screen, 640, 480, false), (TBounds{190, 97, 644, 573}));
  // Centring on a second monitor stays on that monitor; no picture gives the smallest window.
  EXPECT_EQ(SizeForVideo({1500, 10, 600, 500}, {1024, 0, 800, 600}, 640, 480, true), (TBounds{1102, 25, 644, 550}));
  EXPECT_EQ(SizeForVideo({100, 50, 600, 500}, screen, 0, 0, false), (TBounds{100, 50, 500, 400}));
}

TEST(PlaybackRules, ZoomAndAspect) {
  EXPECT_EQ(ZoomBounds({0, 0, 800, 700}, 0, 0, 720, 576), (TBounds{0, 0, 724, 672}));
  EXPECT_EQ(ZoomBounds({0, 0, 800, 700}, 1, 0, 720, 576), (TBounds{0, 0, 500, 493}));
  EXPECT_EQ(ZoomBounds({0, 0, 800, 700}, 2, 0, 720, 576), (TBounds{0, 0, 1444, 1248}));
  EXPECT_EQ(ZoomBounds({0, 0, 800, 700}, 0, 1, 720, 576), (TBounds{0, 0, 724, 700}));
  EXPECT_EQ(ZoomBounds({0, 0, 800, 300}, 0, 3, 720, 576), (TBounds{0, 0, 724, 500}));  // Trunc(407.25) + 93
  EXPECT_EQ(ZoomBounds({0, 0, 800, 700}, 0, 5, 720, 576), (TBounds{0, 0, 724, 401}));  // Trunc(308.09) + 93

  const TAspectCall own = AspectCallFor(0, 566, 283, 720, 576);
  EXPECT_EQ(own.Mode, 0);
  EXPECT_FLOAT_EQ(own.Height, 452.8f);
  const TAspectCall fit = AspectCallFor(1, 566, 283, 720, 576);
  EXPECT_EQ(fit.Mode, 1);
  EXPECT_FLOAT_EQ(fit.Height, 283.f);
  const TAspectCall wide = AspectCallFor(3, 566, 283, 720, 576);
  EXPECT_EQ(wide.Mode, 2);
  EXPECT_FLOAT_EQ(wide.Height, 566 / (16.0f / 9.0f));
}

}  // namespace
}  // namespace qvr::app
