#include "player/app/core/MainWindowRules.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace qvr::app {

int MainWindowHitTest(int dx, int dy, int width, int height, int defaultAnswer) {
  const int band = 5;
  if (dx <= band && dy <= band) return htTopLeft;
  if (dx <= band && dy >= height - band) return htBottomLeft;
  if (dx <= band) return htLeft;
  if (dy <= band && dx >= width - band) return htTopRight;
  if (dy <= band) return htTop;
  if (dy >= height - band && dx >= width - band) return htBottomRight;
  if (dy >= height - band) return htBottom;
  if (dx >= width - band) return htRight;
  if (dy < 30) return htCaption;
  return defaultAnswer;
}

TControlBarLefts LayoutControlBar(int controlBarClientWidth, int windowWidth, const TControlBarWidths& w) {
  TControlBarLefts l{};
  l.Repeat = controlBarClientWidth - 26;
  const int m = (windowWidth - w.Play) / 2;
  l.ToggleFS = m - w.Stop - w.Prev - w.ToggleFS - 6;
  l.PlayList = l.ToggleFS - w.PlayList;
  l.Prev = l.ToggleFS + w.ToggleFS + 4;
  l.Stop = l.Prev + w.Prev;
  l.Play = l.Stop + w.Stop;
  l.Open = l.Play + w.Play;
  l.Next = l.Open + w.Open;
  l.Mute = l.Next + w.Next + 6;
  l.Volume = l.Mute + w.Mute - 2;
  return l;
}

std::vector<TPoint> ControlBarOutline(int w, int h) {
  return {{w - 4, h}, {4, h}, {0, h - 4}, {0, 0}, {w, 0}, {w, h - 4}, {w - 4, h}};
}

std::vector<TPoint> TopBarOutline(int w, int h) {
  return {{w, h}, {0, h}, {0, 4}, {4, 0}, {w - 4, 0}, {w, 4}, {w, h}};
}

namespace {

// Field i of a comma list: cut after the first "," up to i times (stopping when none is left),
// then take the text up to the next ",".
std::string_view PositionField(std::string_view text, int index) {
  for (int i = 0; i < index; ++i) {
    const size_t comma = text.find(',');
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  return text.substr(0, text.find(','));
}

int FieldOr(std::string_view field, int fallback) {
  while (!field.empty() && field.front() == ' ') field.remove_prefix(1);
  while (!field.empty() && field.back() == ' ') field.remove_suffix(1);
  int value = 0;
  const char* end = field.data() + field.size();
  const auto [ptr, ec] = std::from_chars(field.data(), end, value);
  return field.empty() || ec != std::errc() || ptr != end ? fallback : value;
}

}  // namespace

TBounds ParsePosition(std::string_view text, const TBounds& defaults) {
  return {FieldOr(PositionField(text, 0), defaults.Left), FieldOr(PositionField(text, 1), defaults.Top),
          FieldOr(PositionField(text, 2), defaults.Width), FieldOr(PositionField(text, 3), defaults.Height)};
}

std::string FormatPosition(const TBounds& b) {
  char text[64];
  std::snprintf(text, sizeof text, "%d,%d,%d,%d", b.Left, b.Top, b.Width, b.Height);
  return text;
}

TBounds DefaultMainBounds(int screenWidth, int screenHeight) {
  return {(screenWidth - 500) / 2, (screenHeight - 400) / 2, 500, 400};
}

TBounds WithMinimumSize(TBounds bounds) {
  bounds.Width = std::max(bounds.Width, 500);
  bounds.Height = std::max(bounds.Height, 400);
  return bounds;
}

void TRecentList::Add(const std::string& path) {
  const auto found = std::find_if(items_.begin(), items_.end(), [&](const std::string& item) { return same_(item, path); });
  if (found != items_.end()) {
    std::rotate(items_.begin(), found, found + 1);
    return;
  }
  items_.insert(items_.begin(), path);
  if (items_.size() > kMaxEntries) items_.resize(kMaxEntries);
}

TBounds PlacePlaylistAtStart(const TBounds& main, int playlistWidth, int playlistHeight, int screenWidth,
                             int screenHeight, bool& docked) {
  docked = main.Left + main.Width + playlistWidth < screenWidth;
  if (docked) return {main.Left + main.Width, main.Top, playlistWidth, main.Height};
  return {(screenWidth - playlistWidth) / 2, (screenHeight - playlistHeight) / 2, playlistWidth, playlistHeight};
}

}  // namespace qvr::app
