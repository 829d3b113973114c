// The main window's rules that need no window: the resize and move areas, the control bar's
// run-time layout, the shapes of the window and its bars, the saved-position text, the
// recent-files list and the start-up placement of the playlist. The window code calls these.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "player/ui/core/ControlGeometry.h"

namespace qvr::app {

using ui::TPoint;
using ui::TRect;

// Win32's WM_NCHITTEST answers, by value.
enum THitTest : int {
  htCaption = 2,
  htLeft = 10,
  htRight = 11,
  htTop = 12,
  htTopLeft = 13,
  htTopRight = 14,
  htBottom = 15,
  htBottomLeft = 16,
  htBottomRight = 17,
};

// The answer for a pointer dx, dy from the window's top-left corner in a client area of
// width x height: 5-pixel resize bands, the top 30 pixels move the window, else `defaultAnswer`.
int MainWindowHitTest(int dx, int dy, int width, int height, int defaultAnswer);

// Widths of the control bar's controls and the left edges the resize rule gives them.
struct TControlBarWidths {
  int PlayList, ToggleFS, Prev, Stop, Play, Open, Next, Mute;
};
struct TControlBarLefts {
  int Repeat, PlayList, ToggleFS, Prev, Stop, Play, Open, Next, Mute, Volume;
  friend bool operator==(const TControlBarLefts&, const TControlBarLefts&) = default;
};
TControlBarLefts LayoutControlBar(int controlBarClientWidth, int windowWidth, const TControlBarWidths& widths);

// The control bar's outline (bottom corners cut by 4 pixels) and the top bar's (top corners).
std::vector<TPoint> ControlBarOutline(int width, int height);
std::vector<TPoint> TopBarOutline(int width, int height);

// "Position": "left,top,width,height". Missing trailing fields repeat the last field present;
// a field that is empty or no number takes its default.
struct TBounds {
  int Left, Top, Width, Height;
  friend bool operator==(const TBounds&, const TBounds&) = default;
};
TBounds ParsePosition(std::string_view text, const TBounds& defaults);
std::string FormatPosition(const TBounds& bounds);
// The default bounds: 500 x 400, centred on a screen of that size.
TBounds DefaultMainBounds(int screenWidth, int screenHeight);
// Raised to the main window's smallest size, 500 x 400.
TBounds WithMinimumSize(TBounds bounds);

// The recent files: most recent first, at most 9 after an addition, one entry per path under
// `same` (letter case ignored; the entry keeps the case it was first stored in).
class TRecentList {
 public:
  static constexpr size_t kMaxEntries = 9;
  using TSamePath = std::function<bool(const std::string&, const std::string&)>;

  explicit TRecentList(TSamePath same) : same_(std::move(same)) {}
  void Add(const std::string& path);
  void Append(const std::string& path) { items_.push_back(path); }  // loading: no rules
  void Clear() { items_.clear(); }
  const std::vector<std::string>& Items() const { return items_; }

 private:
  TSamePath same_;
  std::vector<std::string> items_;
};

// Where the hidden playlist goes at start-up: docked at the main window's right edge when it fits
// on the screen, else centred. `docked` says which.
TBounds PlacePlaylistAtStart(const TBounds& main, int playlistWidth, int playlistHeight, int screenWidth,
                             int screenHeight, bool& docked);

}  // namespace qvr::app
