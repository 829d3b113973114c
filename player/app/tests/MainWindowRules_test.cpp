// The main window's rules without a window.
#include "player/app/core/MainWindowRules.h"

#include <gtest/gtest.h>

#include <cctype>

#include "player/app/core/ConfirmDialogLayout.h"

namespace {

using namespace qvr::app;

TEST(MainWindowRules, HitTestBandsAndTheirOrder) {
  const int w = 570, h = 376, other = 1;  // HTCLIENT
  EXPECT_EQ(htTopLeft, MainWindowHitTest(5, 5, w, h, other));
  EXPECT_EQ(htLeft, MainWindowHitTest(5, 6, w, h, other));
  EXPECT_EQ(htBottomLeft, MainWindowHitTest(0, h - 5, w, h, other));
  EXPECT_EQ(htTopRight, MainWindowHitTest(w - 5, 0, w, h, other));
  EXPECT_EQ(htTop, MainWindowHitTest(6, 5, w, h, other));
  EXPECT_EQ(htBottomRight, MainWindowHitTest(w - 5, h - 5, w, h, other));
  EXPECT_EQ(htBottom, MainWindowHitTest(100, h - 5, w, h, other));
  EXPECT_EQ(htRight, MainWindowHitTest(w - 5, 100, w, h, other));
  EXPECT_EQ(htCaption, MainWindowHitTest(6, 29, w, h, other));
  EXPECT_EQ(other, MainWindowHitTest(6, 30, w, h, other));
  EXPECT_EQ(other, MainWindowHitTest(w - 6, h - 6, w, h, other));
}

TEST(MainWindowRules, ControlBarCentresTheTransportAroundPlay) {
  const TControlBarWidths widths{33, 33, 34, 35, 56, 35, 34, 23};
  // The design size: window 570, control bar 566.
  const TControlBarLefts l = LayoutControlBar(566, 570, widths);
  EXPECT_EQ(540, l.Repeat);
  EXPECT_EQ(257 - 35 - 34 - 33 - 6, l.ToggleFS);  // m = (570 - 56) div 2 = 257
  EXPECT_EQ(l.ToggleFS - 33, l.PlayList);
  EXPECT_EQ(l.ToggleFS + 33 + 4, l.Prev);
  EXPECT_EQ(l.Prev + 34, l.Stop);
  EXPECT_EQ(255, l.Play);
  EXPECT_EQ(255 + 56, l.Open);
  EXPECT_EQ(l.Open + 35, l.Next);
  EXPECT_EQ(l.Next + 34 + 6, l.Mute);
  EXPECT_EQ(l.Mute + 23 - 2, l.Volume);
  // An odd window width truncates the centre.
  EXPECT_EQ(LayoutControlBar(566, 571, widths).Play, l.Play);
}

TEST(MainWindowRules, OutlinesCutTheirCorners) {
  EXPECT_EQ((std::vector<TPoint>{{96, 55}, {4, 55}, {0, 51}, {0, 0}, {100, 0}, {100, 51}, {96, 55}}), ControlBarOutline(100, 55));
  EXPECT_EQ((std::vector<TPoint>{{100, 33}, {0, 33}, {0, 4}, {4, 0}, {96, 0}, {100, 4}, {100, 33}}), TopBarOutline(100, 33));
}

TEST(MainWindowRules, PositionFieldsRepeatTheLastAndFallBackPerField) {
  const TBounds defaults = DefaultMainBounds(1280, 1024);
  EXPECT_EQ((TBounds{390, 312, 500, 400}), defaults);
  EXPECT_EQ((TBounds{10, 20, 30, 40}), ParsePosition("10,20,30,40", defaults));
  EXPECT_EQ((TBounds{12, 34, 34, 34}), ParsePosition("12,34", defaults));
  EXPECT_EQ((TBounds{12, 34, 500, 400}), WithMinimumSize(ParsePosition("12,34", defaults)));
  EXPECT_EQ(defaults, ParsePosition("", defaults));
  EXPECT_EQ((TBounds{390, -5, 640, 400}), ParsePosition("x,-5,640,", defaults));
  EXPECT_EQ((TBounds{7, 7, 7, 7}), ParsePosition("7", defaults));
  EXPECT_EQ((TBounds{1, 2, 3, 4}), ParsePosition("1,2,3,4,5", defaults));
  EXPECT_EQ("-3,20,640,480", FormatPosition({-3, 20, 640, 480}));
  EXPECT_EQ((TBounds{-3, 20, 640, 480}), ParsePosition(FormatPosition({-3, 20, 640, 480}), defaults));
}

bool SameIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

TEST(MainWindowRules, RecentListKeepsNineFirstSpellingsMostRecentFirst) {
  TRecentList recent(SameIgnoringCase);
  for (int i = 0; i < 10; ++i) recent.Add("C:\\m\\" + std::to_string(i) + ".avi");
  ASSERT_EQ(9u, recent.Items().size());
  EXPECT_EQ("C:\\m\\9.avi", recent.Items().front());
  EXPECT_EQ("C:\\m\\1.avi", recent.Items().back());  // the oldest, 0, went
  recent.Add("c:\\M\\5.AVI");
  ASSERT_EQ(9u, recent.Items().size());
  EXPECT_EQ("C:\\m\\5.avi", recent.Items().front());
  EXPECT_EQ("C:\\m\\9.avi", recent.Items()[1]);
  EXPECT_EQ("C:\\m\\4.avi", recent.Items()[5]);
  // Loading applies no rule; the next addition does.
  TRecentList loaded(SameIgnoringCase);
  for (int i = 0; i < 12; ++i) loaded.Append("x" + std::to_string(i % 11));
  EXPECT_EQ(12u, loaded.Items().size());
  loaded.Add("new");
  EXPECT_EQ(9u, loaded.Items().size());
}

TEST(MainWindowRules, PlaylistDocksWhenItFits) {
  bool docked = false;
  EXPECT_EQ((TBounds{600, 50, 382, 400}), PlacePlaylistAtStart({100, 50, 500, 400}, 382, 443, 1280, 1024, docked));
  EXPECT_TRUE(docked);
  // 898 + 382 = 1280 is not less than the screen width: centred instead.
  EXPECT_EQ((TBounds{449, 290, 382, 443}), PlacePlaylistAtStart({398, 50, 500, 400}, 382, 443, 1280, 1024, docked));
  EXPECT_FALSE(docked);
}

TEST(ConfirmDialogLayout, MeasuredFromTheFontAndTheMessage) {
  // Tahoma 8 pt averages 6 x 13; "Do you want to Exit?" measures 104 x 13.
  TConfirmInput in{6, 13, 104, 13, true, 2, 22, true};
  const TConfirmLayout l = LayoutConfirmDialog(in);
  EXPECT_EQ(12, l.HorzMargin);   // 8 * 6 / 4
  EXPECT_EQ(13, l.VertMargin);   // 8 * 13 / 8
  EXPECT_EQ(15, l.HorzSpacing);  // 10 * 6 / 4
  EXPECT_EQ(16, l.VertSpacing);  // 10 * 13 / 8 = 16.25
  EXPECT_EQ(75, l.ButtonWidth);  // 50 * 6 / 4 beats 22 + 8
  EXPECT_EQ(23, l.ButtonHeight); // 14 * 13 / 8 = 22.75
  EXPECT_EQ(6, l.ButtonSpacing);
  // icon-text 104 + 32 + 15 = 151 wide, 32 high; buttons 75 + 6 + 75 = 156.
  EXPECT_EQ(156 + 48, l.ClientWidth);
  EXPECT_EQ(32 + 23 + 16 + 26 + 12, l.ClientHeight);
  EXPECT_EQ((qvr::ui::TPoint{12, 13}), l.Icon);
  EXPECT_EQ((qvr::ui::TRect{65, 20, 169, 33}), l.Message);  // 151 - 104 + 12 + 6
  EXPECT_EQ(24, l.ButtonsLeft);
  EXPECT_EQ(32 + 13 + 16 + 14, l.ButtonsTop);
  EXPECT_EQ((qvr::ui::TRect{24, 51, 174, 68}), l.AskBox);
  // Without the box and with a caption wider than the minimum.
  in.AskBox = false;
  in.WidestCaption = 90;
  const TConfirmLayout plain = LayoutConfirmDialog(in);
  EXPECT_EQ(98, plain.ButtonWidth);
  EXPECT_EQ(32 + 13 + 16, plain.ButtonsTop);
  EXPECT_EQ(0, plain.AskBox.Width());
}

}  // namespace
