#include "player/ui/core/PlayListWindowRules.h"

#include <gtest/gtest.h>

#include "player/ui/core/PlayList.h"
#include "player/ui/tests/FakePlayListHost.h"

namespace {

using namespace qvr::ui;

TEST(PlayListWindowRules, HitTestBands) {
  constexpr int w = 382, h = 443, other = 1;
  EXPECT_EQ(plhTopLeft, PlayListHitTest(0, 0, w, h, other));
  EXPECT_EQ(plhTopLeft, PlayListHitTest(5, 5, w, h, other));
  EXPECT_EQ(plhLeft, PlayListHitTest(5, 6, w, h, other));
  EXPECT_EQ(plhLeft, PlayListHitTest(3, h - 6, w, h, other));
  EXPECT_EQ(plhBottomLeft, PlayListHitTest(3, h - 5, w, h, other));
  EXPECT_EQ(plhTop, PlayListHitTest(6, 2, w, h, other));
  EXPECT_EQ(plhTop, PlayListHitTest(w - 6, 5, w, h, other));
  EXPECT_EQ(plhTopRight, PlayListHitTest(w - 5, 5, w, h, other));
  EXPECT_EQ(plhRight, PlayListHitTest(w - 5, 6, w, h, other));
  EXPECT_EQ(plhCaption, PlayListHitTest(6, 29, w, h, other));
  EXPECT_EQ(other, PlayListHitTest(6, 30, w, h, other));
  EXPECT_EQ(other, PlayListHitTest(w - 6, h - 6, w, h, other));
  EXPECT_EQ(plhBottom, PlayListHitTest(w - 6, h - 5, w, h, other));
  EXPECT_EQ(plhBottomRight, PlayListHitTest(w - 5, h - 5, w, h, other));
}

TEST(PlayListWindowRules, RowLayoutWithAndWithoutDuration) {
  const TRowLayout timed = PlayListRowLayout(360, 14, 30);
  EXPECT_EQ((TRect{4, 2, 18, 15}), timed.Number);
  EXPECT_EQ((TRect{20, 2, 322, 15}), timed.Title);
  EXPECT_EQ((TRect{324, 2, 356, 15}), timed.Duration);
  const TRowLayout plain = PlayListRowLayout(360, 20, 0);
  EXPECT_EQ((TRect{26, 2, 352, 15}), plain.Title);
  EXPECT_EQ(0, plain.Duration.Width());
  // A long duration in a narrow row still leaves the duration its box at the right edge.
  const TRowLayout narrow = PlayListRowLayout(60, 20, 40);
  EXPECT_LE(narrow.Title.Width(), 0);
  EXPECT_EQ(56, narrow.Duration.Right);
}

TEST(PlayListWindowRules, BottomButtonsAreCentredAroundTheSortButton) {
  EXPECT_EQ((std::array<int, 3>{157, 180, 201}), BottomButtonLefts(382, 23, 21, 23));
  EXPECT_EQ((std::array<int, 3>{116, 139, 160}), BottomButtonLefts(300, 23, 21, 23));
}

TEST(PlayListWindowRules, SnappingRulesAtTenAndElevenPixels) {
  const TRect main{100, 200, 500, 600};
  bool docked = false;
  // Left edge to the main window's left edge.
  EXPECT_EQ((TPoint{100, 0}), SnapPlayList({110, 0}, main, false, docked));
  EXPECT_EQ((TPoint{111, 0}), SnapPlayList({111, 0}, main, false, docked));
  EXPECT_FALSE(docked);
  // Left edge to the right edge docks.
  EXPECT_EQ((TPoint{500, 0}), SnapPlayList({490, 0}, main, false, docked));
  EXPECT_TRUE(docked);
  docked = false;
  EXPECT_EQ((TPoint{489, 0}), SnapPlayList({489, 0}, main, false, docked));
  EXPECT_FALSE(docked);
  EXPECT_EQ((TPoint{500, 0}), SnapPlayList({510, 0}, main, false, docked));
  EXPECT_TRUE(docked);
  // Top to top, and top to bottom.
  EXPECT_EQ((TPoint{0, 200}), SnapPlayList({0, 190}, main, false, docked));
  EXPECT_EQ((TPoint{0, 189}), SnapPlayList({0, 189}, main, false, docked));
  EXPECT_EQ((TPoint{0, 600}), SnapPlayList({0, 610}, main, false, docked));
  EXPECT_EQ((TPoint{0, 611}), SnapPlayList({0, 611}, main, false, docked));
  // Undocking needs more than 10 pixels away from the right edge and the user dragging.
  docked = true;
  SnapPlayList({511, 300}, main, false, docked);
  EXPECT_TRUE(docked);
  SnapPlayList({510, 300}, main, true, docked);
  EXPECT_TRUE(docked);
  SnapPlayList({511, 300}, main, true, docked);
  EXPECT_FALSE(docked);
}

TEST(PlayListWindowRules, SnapsApplyInOrderOnEachOthersResult) {
  // A main window 8 pixels wide and 5 high: the left-edge snap moves x to 100, from where the
  // right-edge snap (8 away) takes it on to 108 and docks; y goes to the top, then the bottom.
  const TRect thin{100, 200, 108, 205};
  bool docked = false;
  EXPECT_EQ((TPoint{108, 205}), SnapPlayList({92, 195}, thin, false, docked));
  EXPECT_TRUE(docked);
  // Each test sees the value the one before left: 119 is 11 from the right edge, so nothing.
  docked = false;
  EXPECT_EQ((TPoint{119, 216}), SnapPlayList({119, 216}, thin, false, docked));
  EXPECT_FALSE(docked);
}

TEST(PlayListWindowRules, DragThresholdsAndSteps) {
  EXPECT_FALSE(StartsRowDrag(1, {10, 10}, {10, 20}));
  EXPECT_FALSE(StartsRowDrag(2, {10, 10}, {40, 12}));
  EXPECT_TRUE(StartsRowDrag(2, {10, 10}, {10, 13}));
  EXPECT_TRUE(StartsRowDrag(5, {10, 10}, {10, 7}));
  EXPECT_FALSE(StartsRowDrag(5, {-1, -1}, {10, 40}));
  EXPECT_FALSE(StartsRowDrag(5, {0, 10}, {10, 40}));

  EXPECT_EQ(1, DragScrollStep(360, 379, 386, 0));
  EXPECT_EQ(0, DragScrollStep(359, 378, 386, 0));
  EXPECT_EQ(-1, DragScrollStep(3, 22, 386, 2));
  EXPECT_EQ(0, DragScrollStep(3, 22, 386, 0));
  EXPECT_EQ(0, DragScrollStep(4, 23, 386, 2));

  EXPECT_EQ(-1, DropTargetAfterHover(2, 2));
  EXPECT_EQ(3, DropTargetAfterHover(3, 2));
  EXPECT_EQ(1, DropRow(1, 4));
  EXPECT_EQ(4, DropRow(-1, 4));
}

TEST(PlayListWindowRules, DraggingRowZeroOntoRowThreeKeepsTheNowPlayingMark) {
  qvr::ui::testing::TFakeFileSystem fs;
  TPlayList list{fs};
  for (int i = 0; i < 5; ++i) list.AddFile("C:\\m\\" + std::to_string(i) + ".mp3");
  list.SetNowPlaying("C:\\m\\0.mp3", 10);
  list.SetFocusedRow(0);
  const int target = DropRow(3, -1);
  ASSERT_NE(target, list.FocusedRow());
  list.MoveRow(list.FocusedRow(), target);
  std::string order;
  for (int i = 0; i < list.RowCount(); ++i) order += list.Item(i).Title;
  EXPECT_EQ("12304", order);
  EXPECT_EQ(3, list.CurrentIndex());
  EXPECT_EQ(3, list.FocusedRow());
}

}  // namespace
