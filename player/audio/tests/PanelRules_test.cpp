#include "player/audio/core/PanelRules.h"

#include <gtest/gtest.h>

namespace {

using namespace qvr::audio;

TEST(ColourSlider, PositionToValueAtTheDesignWidth) {
  EXPECT_EQ(0, PositionToValue(9, 186));
  EXPECT_EQ(1, PositionToValue(10, 186));
  EXPECT_EQ(51, PositionToValue(93, 186));  // exactly 50 before the +1
  EXPECT_EQ(99, PositionToValue(173, 186));
  EXPECT_EQ(100, PositionToValue(174, 186));
  EXPECT_EQ(100, PositionToValue(185, 186));
  EXPECT_EQ(0, PositionToValue(-500, 186));
  EXPECT_EQ(100, PositionToValue(5000, 186));
  // Ties go to the even neighbour: (11 - 10) x 100 / 200 = 0.5 -> 0, (13 - 10) -> 1.5 -> 2.
  EXPECT_EQ(1, PositionToValue(11, 220));
  EXPECT_EQ(3, PositionToValue(13, 220));
  // No track to divide by.
  EXPECT_EQ(0, PositionToValue(9, 20));
  EXPECT_EQ(100, PositionToValue(10, 5));
}

TEST(ColourSlider, ValueToPositionRoundTrips) {
  EXPECT_EQ(10, ValueToPosition(1, 186));
  EXPECT_EQ(8, ValueToPosition(0, 186));    // -1.66 -> -2
  EXPECT_EQ(174, ValueToPosition(100, 186));
  EXPECT_EQ(93, ValueToPosition(51, 186));
  EXPECT_EQ(12, ValueToPosition(2, 170));   // 1.5 -> 2
  EXPECT_EQ(14, ValueToPosition(4, 170));   // 4.5 -> 4
  for (int width : {186, 250, 400})
    for (int v = 0; v <= 100; ++v) EXPECT_EQ(v, PositionToValue(ValueToPosition(v, width), width)) << width << " " << v;
}

TEST(ColourSlider, ColumnsAndThumbLimits) {
  EXPECT_EQ(10, LimitThumb(-3, 186));
  EXPECT_EQ(176, LimitThumb(500, 186));
  EXPECT_EQ(TStripe::White, SliderColumn(12, 12));
  EXPECT_EQ(TStripe::Black, SliderColumn(13, 40));
  EXPECT_EQ(TStripe::Grey, SliderColumn(14, 12));
}

TEST(EqualizerBars, StripesAndLabels) {
  EXPECT_EQ(TStripe::Black, EqualizerRow(11, 0));
  EXPECT_EQ(TStripe::Grey, EqualizerRow(24, 20));
  EXPECT_EQ(TStripe::White, EqualizerRow(26, 21));
  EXPECT_EQ(TStripe::White, EqualizerRow(26, 20));
  EXPECT_EQ("", EqualizerBandLabel(0));
  EXPECT_EQ("60", EqualizerBandLabel(1));
  EXPECT_EQ("12k", EqualizerBandLabel(8));
  EXPECT_EQ("14k", EqualizerBandLabel(9));
  EXPECT_EQ("16k", EqualizerBandLabel(10));
  EXPECT_EQ("", EqualizerBandLabel(11));
}

TEST(PanelFade, FourteenTicksFromInsideAndReentryRestores) {
  TPanelFade fade;
  EXPECT_EQ(200, fade.Opacity());
  EXPECT_FALSE(fade.Tick());  // not running: nothing changes
  EXPECT_EQ(200, fade.Opacity());
  fade.Enter();
  EXPECT_EQ(220, fade.Opacity());
  fade.Leave(false);  // onto a child: no fade
  EXPECT_FALSE(fade.Running());
  fade.Leave(true);
  ASSERT_TRUE(fade.Running());
  for (int i = 0; i < 5; ++i) EXPECT_FALSE(fade.Tick());
  EXPECT_EQ(145, fade.Opacity());
  fade.Enter();
  EXPECT_FALSE(fade.Running());
  EXPECT_EQ(220, fade.Opacity());
  fade.Leave(true);
  int ticks = 0;
  while (!fade.Tick()) ASSERT_LT(++ticks, 100);
  EXPECT_EQ(14, ticks + 1);
  EXPECT_EQ(10, fade.Opacity());
}

}  // namespace
