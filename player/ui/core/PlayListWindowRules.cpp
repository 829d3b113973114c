#include "player/ui/core/PlayListWindowRules.h"

#include <cstdlib>

namespace qvr::ui {
namespace {
constexpr int kBorder = 5;
constexpr int kCaptionHeight = 30;
}  // namespace

int PlayListHitTest(int x, int y, int width, int height, int defaultAnswer) {
  if (x <= kBorder) {
    if (y <= kBorder) return plhTopLeft;
    return y < height - kBorder ? plhLeft : plhBottomLeft;
  }
  if (y <= kBorder) return x < width - kBorder ? plhTop : plhTopRight;
  if (y < height - kBorder) {
    if (x >= width - kBorder) return plhRight;
    return y < kCaptionHeight ? plhCaption : defaultAnswer;
  }
  return x < width - kBorder ? plhBottom : plhBottomRight;
}

TRowLayout PlayListRowLayout(int rowWidth, int numberWidth, int durationWidth) {
  TRowLayout layout;
  layout.Number = {4, 2, 4 + numberWidth, 15};
  layout.Title = {4 + numberWidth + 2, 2, rowWidth - durationWidth - 8, 15};
  if (durationWidth > 0) layout.Duration = {layout.Title.Right + 2, 2, rowWidth - 4, 15};
  return layout;
}

std::array<int, 3> BottomButtonLefts(int windowWidth, int removeWidth, int sortWidth, int) {
  const int sort = (windowWidth - sortWidth) / 2;
  return {sort - removeWidth, sort, sort + sortWidth};
}

TPoint SnapPlayList(TPoint p, const TRect& main, bool dragging, bool& docked) {
  if (std::abs(p.X - main.Right) > kSnapDistance && dragging) docked = false;
  if (std::abs(main.Left - p.X) <= kSnapDistance) p.X = main.Left;
  if (std::abs(main.Right - p.X) <= kSnapDistance) {
    p.X = main.Right;
    docked = true;
  }
  if (std::abs(main.Top - p.Y) <= kSnapDistance) p.Y = main.Top;
  if (std::abs(main.Bottom - p.Y) <= kSnapDistance) p.Y = main.Bottom;
  return p;
}

bool StartsRowDrag(int rowCount, TPoint press, TPoint cursor) {
  return rowCount >= 2 && press.X >= 1 && press.Y >= 1 && std::abs(cursor.Y - press.Y) >= 3;
}

int DragScrollStep(int rowTop, int rowBottom, int listHeight, int topIndex) {
  if (rowBottom + 8 > listHeight) return 1;
  if (rowTop < 4 && topIndex > 0) return -1;
  return 0;
}

int DropTargetAfterHover(int hovered, int dragged) { return hovered == dragged ? -1 : hovered; }

int DropRow(int rowUnderPoint, int dropTarget) { return rowUnderPoint >= 0 ? rowUnderPoint : dropTarget; }

}  // namespace qvr::ui
