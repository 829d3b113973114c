#include "player/engine/core/VideoGeometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using namespace qvr::engine;

TEST(VideoGeometry, RoundingTiesToEvenAndSaturates) {
  EXPECT_EQ(2, RoundHalfEven(2.5));
  EXPECT_EQ(4, RoundHalfEven(3.5));
  EXPECT_EQ(-2, RoundHalfEven(-2.5));
  EXPECT_EQ(3, RoundHalfEven(2.5000001));
  EXPECT_EQ(0, RoundHalfEven(std::nan("")));
  EXPECT_EQ(std::numeric_limits<int32_t>::max(), RoundHalfEven(1e300));
  EXPECT_EQ(std::numeric_limits<int32_t>::min(), RoundHalfEven(-std::numeric_limits<double>::infinity()));
}

TEST(VideoGeometry, MulDivRoundsHalvesAwayFromZeroLikeWindows) {
  EXPECT_EQ(3, MulDiv32(5, 1, 2));  // not to even: this is MulDiv's own rounding
  EXPECT_EQ(-3, MulDiv32(-5, 1, 2));
  EXPECT_EQ(-3, MulDiv32(5, 1, -2));
  EXPECT_EQ(5, MulDiv32(7, 3, 4));
  EXPECT_EQ(2000000000, MulDiv32(2000000000, 2000000000, 2000000000));  // 64-bit product
  EXPECT_EQ(-1, MulDiv32(5, 1, 0));
  EXPECT_EQ(-1, MulDiv32(std::numeric_limits<int32_t>::max(), 2, 1));
}

TEST(VideoGeometry, FixedRatioIsTheLargestCentredRectangle) {
  // 2.35:1 in a 4:3 panel, arguments as the aspect menu makes them: full width, centred band.
  EXPECT_EQ((TVideoRect{0, 104, 640, 376}), DestinationRect({0, 0, 640, 480}, kAspectFixedRatio, 640.0f, 640.0f / 2.35f));
  // 4:3 in a wide panel: full height, centred.
  EXPECT_EQ((TVideoRect{160, 0, 1120, 720}),
            DestinationRect({0, 0, 1280, 720}, kAspectFixedRatio, 1280.0f, 1280.0f / (4.0f / 3.0f)));
  // 4:3 where the computed height equals the panel's (52.5 and 316.5 go to even): the full width
  // is kept, not the height's 69 or 421 columns.
  EXPECT_EQ((TVideoRect{0, 0, 70, 52}), DestinationRect({0, 0, 70, 52}, kAspectFixedRatio, 70.0f, 70.0f / (4.0f / 3.0f)));
  EXPECT_EQ((TVideoRect{0, 0, 422, 316}),
            DestinationRect({0, 0, 422, 316}, kAspectFixedRatio, 422.0f, 422.0f / (4.0f / 3.0f)));
  // Heights halfway between two integers go to the even one.
  EXPECT_EQ((TVideoRect{0, 49, 5, 51}), DestinationRect({0, 0, 5, 100}, kAspectFixedRatio, 2, 1));
  EXPECT_EQ((TVideoRect{0, 48, 7, 52}), DestinationRect({0, 0, 7, 100}, kAspectFixedRatio, 2, 1));
  // An odd spare pixel stays right of the picture; the panel's origin is kept.
  EXPECT_EQ((TVideoRect{10, 20, 110, 120}), DestinationRect({10, 20, 111, 120}, kAspectFixedRatio, 1, 1));
  EXPECT_EQ((TVideoRect{0, 0, 0, 0}), DestinationRect({0, 0, 0, 0}, kAspectFixedRatio, 4, 3));
}

TEST(VideoGeometry, OtherModesAndUnusableRatiosUseTheWholePanel) {
  const TVideoRect panel{3, 5, 643, 485};
  EXPECT_EQ(panel, DestinationRect(panel, kAspectKeepOriginal, 16, 9));
  EXPECT_EQ(panel, DestinationRect(panel, kAspectStretch, 16, 9));
  EXPECT_EQ(panel, DestinationRect(panel, kAspectFixedRatio, 16, 0));
  EXPECT_EQ(panel, DestinationRect(panel, kAspectFixedRatio, -16, 9));
  EXPECT_EQ(panel, DestinationRect(panel, kAspectFixedRatio, std::nanf(""), 9));
}

TEST(VideoGeometry, EvrEdgesMoveInwardToEven) {
  EXPECT_EQ((TVideoRect{2, 2, 638, 478}), EvenEdgesInward({1, 1, 639, 479}));
  EXPECT_EQ((TVideoRect{0, 0, 640, 480}), EvenEdgesInward({0, 0, 640, 480}));
  EXPECT_EQ((TVideoRect{0, -2, 4, 6}), EvenEdgesInward({-1, -3, 5, 7}));
}

TEST(VideoGeometry, PercentOfTheDefault) {
  EXPECT_EQ(50, PercentOfDefault({-100, 100, 0}));
  EXPECT_EQ(10, PercentOfDefault({0, 10, 1}));
  EXPECT_EQ(12, PercentOfDefault({0, 8, 1}));  // 12.5
  EXPECT_EQ(38, PercentOfDefault({0, 8, 3}));  // 37.5
  EXPECT_EQ(0, PercentOfDefault({}));
  EXPECT_EQ(0, PercentOfDefault({5, 5, 5}));
}

TEST(VideoGeometry, PercentToRendererValueSendsZeroAsOne) {
  EXPECT_EQ(1.0f, VmrValueFromPercent({-100, 100, 0}, 50));
  EXPECT_EQ(1.0f, VmrValueFromPercent({0, 10, 1}, 0));
  EXPECT_EQ(50.0f, VmrValueFromPercent({-100, 100, 0}, 75));
  EXPECT_FLOAT_EQ(0.25f, VmrValueFromPercent({0, 1, 1}, 25));

  EXPECT_EQ(1, EvrValueFromPercent({-100, 100, 0}, 50));
  EXPECT_EQ(2, EvrValueFromPercent({0, 10, 1}, 25));  // 2.5
  EXPECT_EQ(4, EvrValueFromPercent({0, 10, 1}, 35));  // 3.5
  EXPECT_EQ(32767, EvrValueFromPercent({0, 30000, 0}, 200));  // the fixed-point field's limit
}

}  // namespace
