// The playlist window's arithmetic, apart from its window: the resize and move bands, where a
// row's number, title and duration go, the bottom buttons, snapping to the main window, and the
// thresholds and steps of dragging a row. Pure functions; the window (uPlaylist) feeds them
// pixels and applies the answers.
#pragma once

#include <array>

#include "player/ui/core/ControlGeometry.h"

namespace qvr::ui {

// Win32's WM_NCHITTEST answers, by value.
enum TPlayListHit : int {
  plhCaption = 2,
  plhLeft = 10,
  plhRight = 11,
  plhTop = 12,
  plhTopLeft = 13,
  plhTopRight = 14,
  plhBottom = 15,
  plhBottomLeft = 16,
  plhBottomRight = 17,
};

// The answer for a pointer at x, y from the window's top-left corner, in a client area of
// width x height: 5-pixel resize bands and corners, the top 30 pixels move the window, anything
// else gets `defaultAnswer`.
int PlayListHitTest(int x, int y, int width, int height, int defaultAnswer);

// The three text boxes of one row, relative to the row's top-left corner.
struct TRowLayout {
  TRect Number;
  TRect Title;     // drawn with a word ellipsis
  TRect Duration;  // right-aligned; empty when the row has no duration text
};
constexpr int kRowHeight = 19;
// `numberWidth` and `durationWidth` are the pixel widths of the "n." text and the duration text
// (0 for none) in the row font.
TRowLayout PlayListRowLayout(int rowWidth, int numberWidth, int durationWidth);

// Left edges of btnrem, btnSort and btnadd: btnSort centred in the window, the others beside it.
std::array<int, 3> BottomButtonLefts(int windowWidth, int removeWidth, int sortWidth, int addWidth);

// One proposed position of the playlist against the main window's rectangle `main` (screen
// pixels), with the 10-pixel snaps applied in order, each on what the one before left.
// `dragging` = the left button is down with the pointer inside the playlist: moving away from
// the main window's right edge then undocks it.
constexpr int kSnapDistance = 10;
TPoint SnapPlayList(TPoint proposed, const TRect& main, bool dragging, bool& docked);

// Dragging rows: a press at `press` (screen; (-1, -1) none) with the pointer now at `cursor`
// starts a drag of the row under the pointer when the list has two rows or more and the
// pointer has moved 3 pixels or more vertically.
bool StartsRowDrag(int rowCount, TPoint press, TPoint cursor);
// Auto-scroll while dragging over a row whose top and bottom (list client pixels) are given:
// +1 one row down, -1 one row up, 0 none.
int DragScrollStep(int rowTop, int rowBottom, int listHeight, int topIndex);
// The drop-target mark after hovering `hovered` while `dragged` is dragged: none over the
// dragged row itself, else the hovered row.
int DropTargetAfterHover(int hovered, int dragged);
// The row a drop lands on: the row under the point, or the marked target when the point is
// below the rows (-1 under the point).
int DropRow(int rowUnderPoint, int dropTarget);

}  // namespace qvr::ui
