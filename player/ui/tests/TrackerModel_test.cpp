// The track bar's rules without a window: geometry, rounding, setters and the mouse.
#include "player/ui/core/TrackerModel.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

using qvr::ui::TjtbOrientation;
using qvr::ui::TPoint;
using qvr::ui::TRect;
using qvr::ui::TTrackerModel;

TTrackerModel Horizontal(int width, int height) {
  TTrackerModel t;
  t.SetSize(width, height);
  return t;
}

TTrackerModel Vertical(int width, int height, int minimum, int maximum) {
  TTrackerModel t;
  t.SetSize(width, height);
  t.SetOrientation(TjtbOrientation::jtbVertical);
  t.SetMaximum(maximum);
  t.SetMinimum(minimum);
  return t;
}

TEST(TrackerModel, HorizontalGeometryFollowsTheThumbAndTheSize) {
  TTrackerModel t = Horizontal(100, 20);
  EXPECT_EQ(15, t.TrackStart());
  EXPECT_EQ(85, t.TrackEnd());
  ASSERT_TRUE(t.SetValue(50));
  EXPECT_EQ(50, t.ThumbPos());
  EXPECT_EQ((TRect{15, 7, 85, 13}), t.TrackRect());
  EXPECT_EQ((TRect{15, 2, 85, 18}), t.HitRect());  // grown by (16 - 6) div 2 across the track
  EXPECT_EQ((TRect{40, 2, 60, 18}), t.ThumbRect());
  // A resize keeps the value and moves the thumb.
  t.SetSize(200, 20);
  EXPECT_EQ(50, t.Value());
  EXPECT_EQ(100, t.ThumbPos());
  // Odd thumb sizes truncate: 11 div 2 = 5.
  t.SetThumbWidth(11);
  EXPECT_EQ(10, t.TrackStart());
  EXPECT_EQ((TRect{100 - 5, 2, 100 + 5, 18}), t.ThumbRect());
}

TEST(TrackerModel, RoundsTiesToEvenBothWays) {
  TTrackerModel t = Horizontal(100, 20);  // travel 70 pixels
  // 0..4: value 1 is 17.5 pixels, value 3 is 52.5.
  t.SetMaximum(4);
  t.SetValue(1);
  EXPECT_EQ(15 + 18, t.ThumbPos());
  t.SetValue(3);
  EXPECT_EQ(15 + 52, t.ThumbPos());
  // Travel 64 over 0..32: each pixel is half a step, so odd pixels are ties.
  TTrackerModel half = Horizontal(94, 20);
  half.SetMaximum(32);
  EXPECT_EQ(0, half.ValueForPosition(16));
  EXPECT_EQ(2, half.ValueForPosition(18));
  EXPECT_EQ(2, half.ValueForPosition(20));
  EXPECT_EQ(4, half.ValueForPosition(22));
}

TEST(TrackerModel, VerticalHasTheMaximumAtTheTop) {
  TTrackerModel t = Vertical(16, 120, -100, 100);  // thumb 16 high: travel 13..107
  EXPECT_EQ(13, t.TrackStart());
  EXPECT_EQ(107, t.TrackEnd());
  ASSERT_TRUE(t.SetValue(100));
  EXPECT_EQ(t.TrackStart(), t.ThumbPos());
  t.SetValue(-100);
  EXPECT_EQ(t.TrackEnd(), t.ThumbPos());
  t.SetValue(0);
  EXPECT_EQ(60, t.ThumbPos());
  EXPECT_EQ(100, t.ValueForPosition(13));
  EXPECT_EQ(-100, t.ValueForPosition(107));
  // Across the track: m = (16 - 6) div 2; the thumb spans the width less (16 - 20) div 2.
  EXPECT_EQ((TRect{5, 13, 11, 107}), t.TrackRect());
  EXPECT_EQ((TRect{-2, 60 - 8, 18, 60 + 8}), t.ThumbRect());
  EXPECT_EQ((TRect{-2, 13, 18, 107}), t.HitRect());
}

TEST(TrackerModel, SettersIgnoreOrClampAsTheirRulesSay) {
  TTrackerModel t = Horizontal(100, 20);
  t.SetValue(60);
  EXPECT_FALSE(t.SetValue(150));
  EXPECT_FALSE(t.SetValue(-1));
  EXPECT_EQ(60, t.Value());
  EXPECT_TRUE(t.SetMaximum(40));
  EXPECT_EQ(40, t.Value());
  EXPECT_EQ(t.TrackEnd(), t.ThumbPos());
  EXPECT_FALSE(t.SetMaximum(0));  // not above the minimum
  EXPECT_EQ(40, t.Maximum());
  EXPECT_TRUE(t.SetMinimum(-40));
  EXPECT_FALSE(t.SetMinimum(40));
  t.SetValue(-40);
  EXPECT_TRUE(t.SetMinimum(-10));
  EXPECT_EQ(-10, t.Value());
  // Thumb and track thickness must stay below the control's height (width when vertical).
  EXPECT_FALSE(t.SetThumbHeight(20));
  EXPECT_EQ(16, t.ThumbHeight());
  EXPECT_TRUE(t.SetThumbHeight(19));
  EXPECT_FALSE(t.SetTrackHeight(20));
  EXPECT_TRUE(t.SetTrackHeight(10));
  TTrackerModel v = Vertical(16, 120, 0, 100);
  EXPECT_FALSE(v.SetTrackHeight(16));
  EXPECT_TRUE(v.SetTrackHeight(15));
}

TEST(TrackerModel, PressesNearTheTrackDragAndMovesFollowTheLeftButton) {
  TTrackerModel t = Horizontal(100, 20);  // track rows 7..12
  // Three pixels above the track is inside the 4-pixel margin; six is not.
  EXPECT_FALSE(t.Press(true, {30, 1}).ValueChanged);
  EXPECT_FALSE(t.Dragging());
  auto result = t.Press(true, {30, 4});
  EXPECT_TRUE(result.ValueChanged && result.Repaint);
  EXPECT_TRUE(t.Dragging());
  EXPECT_FALSE(t.ThumbSelected());
  EXPECT_EQ(30, t.ThumbPos());
  EXPECT_EQ(21, t.Value());  // 15/70 of 100 = 21.4
  // Moves past the ends clamp to them; the thumb stays where the pointer is.
  EXPECT_TRUE(t.Move(true, {500, 50}).ValueChanged);
  EXPECT_EQ(100, t.Value());
  EXPECT_EQ(85, t.ThumbPos());
  EXPECT_TRUE(t.Move(true, {-5, 10}).ValueChanged);
  EXPECT_EQ(0, t.Value());
  EXPECT_FALSE(t.Move(false, {50, 10}).ValueChanged);  // button no longer held
  result = t.Release();
  EXPECT_TRUE(result.Repaint);
  EXPECT_FALSE(result.ValueChanged);
  EXPECT_FALSE(t.Dragging());
  EXPECT_FALSE(t.Move(true, {50, 10}).ValueChanged);  // no drag after release
  // Only the left button presses; a press on the thumb selects it until release.
  EXPECT_FALSE(t.Press(false, {50, 10}).Repaint);
  t.SetValue(50);
  EXPECT_TRUE(t.Press(true, {55, 3}).ValueChanged);  // thumb rows 2..17
  EXPECT_TRUE(t.ThumbSelected());
  t.Release();
  EXPECT_FALSE(t.ThumbSelected());
}

TEST(TrackerModel, TinyTrackersAndWideRangesStayInRange) {
  // One pixel wide: the track runs backwards (15 .. -14); nothing leaves the range.
  TTrackerModel one = Horizontal(1, 20);
  EXPECT_TRUE(one.Press(true, {10, 10}).ValueChanged);  // on the thumb
  EXPECT_GE(one.Value(), one.Minimum());
  EXPECT_LE(one.Value(), one.Maximum());
  // No travel at all (30 pixels with a 20-pixel thumb): every position is the low end.
  TTrackerModel none = Horizontal(30, 20);
  EXPECT_EQ(none.TrackStart(), none.TrackEnd());
  none.SetValue(70);
  EXPECT_EQ(15, none.ThumbPos());
  EXPECT_EQ(0, none.ValueForPosition(15));
  // The whole int range: no overflow in the arithmetic.
  TTrackerModel wide = Horizontal(100, 20);
  wide.SetMinimum(INT_MIN);
  wide.SetMaximum(INT_MAX);
  wide.SetValue(INT_MAX);
  EXPECT_EQ(85, wide.ThumbPos());
  EXPECT_EQ(INT_MIN, wide.ValueForPosition(15));
  EXPECT_EQ(INT_MAX, wide.ValueForPosition(85));
}

TEST(TrackerModel, PositionColorScalesTruncatesAndSaturates) {
  TTrackerModel t = Horizontal(100, 20);
  const auto track = qvr::ui::Rgb(200, 100, 52);
  t.SetValue(50);
  EXPECT_EQ(qvr::ui::Rgb(100, 50, 26), t.PositionColor(track));
  t.SetMaximum(3);
  t.SetValue(1);
  EXPECT_EQ(qvr::ui::Rgb(66, 33, 17), t.PositionColor(track));
  // Value / (Maximum - Minimum) leaves 0..1 with a shifted range: kept within a colour.
  t.SetMinimum(-3);
  t.SetValue(-3);
  EXPECT_EQ(qvr::ui::Rgb(0, 0, 0), t.PositionColor(track));
  t.SetMaximum(100);
  t.SetMinimum(90);
  t.SetValue(100);
  EXPECT_EQ(qvr::ui::Rgb(255, 255, 255), t.PositionColor(track));
}

}  // namespace
