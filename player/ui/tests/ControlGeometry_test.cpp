// Drawing arithmetic of the skinned buttons and panels, and the rounding rule they share.
#include "player/ui/core/ControlGeometry.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "player/ui/core/SkinImage.h"

namespace {

using namespace qvr::ui;

TEST(ControlGeometry, RoundHalfEvenIsBankersRounding) {
  EXPECT_EQ(0, RoundHalfEven(0.5));
  EXPECT_EQ(2, RoundHalfEven(1.5));
  EXPECT_EQ(2, RoundHalfEven(2.5));
  EXPECT_EQ(3, RoundHalfEven(2.5000001));
  EXPECT_EQ(0, RoundHalfEven(-0.5));
  EXPECT_EQ(-2, RoundHalfEven(-1.5));
  EXPECT_EQ(-3, RoundHalfEven(-2.7));
  EXPECT_EQ(INT_MAX, RoundHalfEven(1e20));
  EXPECT_EQ(INT_MIN, RoundHalfEven(-1e20));
  EXPECT_EQ(0, RoundHalfEven(std::nan("")));
}

TEST(ControlGeometry, ButtonFramesAndCaption) {
  EXPECT_EQ(0, ButtonFrame(false, false, false));
  EXPECT_EQ(2, ButtonFrame(false, false, true));
  EXPECT_EQ(3, ButtonFrame(true, false, true));
  EXPECT_EQ(3, ButtonFrame(false, true, false));
  EXPECT_EQ((TPoint{19, 3}), ButtonCaptionOrigin(108, 27, 70, 17));
  // Captions wider than the button: div truncates toward zero.
  EXPECT_EQ((TPoint{-2, -2}), ButtonCaptionOrigin(10, 4, 15, 5));
  EXPECT_EQ((TPoint{-2, 0}), PanelCaptionOrigin(10, 4, 15, 5));
}

TEST(ControlGeometry, PanelSkinsStretchCopyOrSlice) {
  // A 3-pixel sliver on a 200-pixel panel is stretched to 206 pixels.
  EXPECT_EQ((std::vector<TBlit>{{{0, 0, 3, 33}, {0, 0, 206, 33}}}), PanelSkinBlits(200, 33, 3, 33, 0));
  // From 10 pixels on the bitmap is copied one to one, even past the panel.
  EXPECT_EQ((std::vector<TBlit>{{{0, 0, 10, 33}, {0, 0, 10, 33}}}), PanelSkinBlits(200, 40, 10, 33, 0));
  EXPECT_EQ((std::vector<TBlit>{{{0, 0, 300, 33}, {0, 0, 300, 33}}}), PanelSkinBlits(200, 40, 300, 33, -1));
  // Three slices: the edges at their size, the bitmap's second slice across the middle.
  EXPECT_EQ((std::vector<TBlit>{{{0, 0, 4, 33}, {0, 0, 4, 33}},
                                {{4, 0, 8, 33}, {4, 0, 196, 33}},
                                {{26, 0, 30, 33}, {196, 0, 200, 33}}}),
            PanelSkinBlits(200, 50, 30, 33, 4));
  EXPECT_TRUE(PanelSkinBlits(200, 33, 0, 33, 0).empty());
}

TEST(SkinImage, StripsAreOpaqueOverTheSkinColour) {
  qvr::resources::TBgraImage source{2, 1, {255, 0, 0, 255, /**/ 0, 0, 255, 0}};  // blue opaque, red clear
  const auto same = ComposeOverFill(source, 2, 1, Rgb(10, 20, 30));
  EXPECT_EQ(0xFF0000FFu, same.PixelAt(0, 0));
  EXPECT_EQ(0xFF0A141Eu, same.PixelAt(1, 0));  // the fill shows through, no red fringe
  // Scaled to twice the size: the outer pixels keep their colours.
  const auto scaled = ComposeOverFill(source, 4, 2, Rgb(10, 20, 30));
  EXPECT_EQ(0xFF0000FFu, scaled.PixelAt(0, 1));
  EXPECT_EQ(0xFF0A141Eu, scaled.PixelAt(3, 0));
  const auto empty = ComposeOverFill({}, 3, 2, Rgb(1, 2, 3));
  EXPECT_EQ(0xFF010203u, empty.PixelAt(2, 1));
}

}  // namespace
