// The playback commands' arithmetic: the time text, the seek bar's value and target, the wheel's
// volume steps, the end of an item, and the window sizes for a picture, a zoom step and an
// aspect ratio. Pure functions; the main window calls them.
#pragma once

#include <cstdint>
#include <string>

#include "player/app/core/MainWindowRules.h"

namespace qvr::app {

// The chrome around the picture: 2-pixel frame each side; top bar, control bar and gaps.
inline constexpr int kChromeWidth = 4;
inline constexpr int kChromeHeight = 93;
inline constexpr int kSeekRange = 5000;

// "mm:ss", or "hh:mm:ss" from an hour on (hours not limited to two digits).
std::string FormatDuration(int64_t seconds);
// The refresh timer's text: position and duration, both in whole seconds.
std::string TimeText(int64_t positionMs, int64_t duration100ns);

// Round(kSeekRange x position / duration), halves to even; 0 when the duration is not positive.
int SeekBarValue(int64_t position, int64_t duration);
// Round(value / kSeekRange x duration), halves to even.
int64_t SeekTarget(int value, int64_t duration);

// The volume after one wheel notch: steps of five that never leave 0..100.
int WheelVolume(int volume, int delta);

// Whether the refresh timer ends the item: the position reached or passed the duration, or the
// graph reported completion (which also ends an item whose duration is 0).
bool IsEndOfItem(int64_t position, int64_t duration, bool graphCompleted);

// The area the window is sized on: the monitor holding most of the window.
struct TScreenArea {
  int Left = 0, Top = 0, Width = 0, Height = 0;
};
// The window's bounds after opening a picture of videoWidth x videoHeight (0 x 0 without one):
// kept at its corner when it fits and centring is off, else centred and capped at screen - 50;
// never below 500 x 400.
TBounds SizeForVideo(const TBounds& window, const TScreenArea& screen, int videoWidth, int videoHeight, bool centre);

// Zoom tags 0 (100 %), 1 (50 %), 2 (200 %); aspect modes 0 (own proportions), 1 (fit),
// 2..5 (4:3, 16:9, 1.85:1, 2.35:1).
double AspectRatioOf(int aspectMode, int videoWidth, int videoHeight);
// The window's size for a zoom step, from its current size; the height follows the aspect mode
// (mode 1 keeps it). videoHeight must not be 0.
TBounds ZoomBounds(const TBounds& window, int zoomTag, int aspectMode, int videoWidth, int videoHeight);

// The engine's aspect-ratio call for a mode and the video panel's size.
struct TAspectCall {
  uint8_t Mode;
  float Width;
  float Height;
};
TAspectCall AspectCallFor(int aspectMode, int panelWidth, int panelHeight, int videoWidth, int videoHeight);

}  // namespace qvr::app
