#include "player/app/core/PlaybackRules.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace qvr::app {

namespace {

// std::nearbyint under the default rounding mode: halves to even.
int64_t RoundHalfEven(double value) { return static_cast<int64_t>(std::nearbyint(value)); }

}  // namespace

std::string FormatDuration(int64_t seconds) {
  if (seconds < 0) seconds = 0;
  char text[40];
  if (seconds >= 3600)
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
  else
    std::snprintf(text, sizeof text, "%02lld:%02lld", static_cast<long long>(seconds / 60),
                  static_cast<long long>(seconds % 60));
  return text;
}

std::string TimeText(int64_t positionMs, int64_t duration100ns) {
  return FormatDuration(positionMs / 1000) + " / " + FormatDuration(duration100ns / 10000000);
}

int SeekBarValue(int64_t position, int64_t duration) {
  if (duration <= 0) return 0;
  const int64_t value = RoundHalfEven(static_cast<double>(kSeekRange) * static_cast<double>(position) / static_cast<double>(duration));
  return static_cast<int>(std::clamp<int64_t>(value, 0, kSeekRange));
}

int64_t SeekTarget(int value, int64_t duration) {
  // The product first, so that an exact half stays exact.
  return RoundHalfEven(static_cast<double>(value) * static_cast<double>(duration) / kSeekRange);
}

int WheelVolume(int volume, int delta) {
  if (delta <= 0) return volume > 4 ? volume - 5 : volume;
  return volume < 96 ? volume + 5 : volume;
}

bool IsEndOfItem(int64_t position, int64_t duration, bool graphCompleted) {
  return graphCompleted || (duration > 0 && position >= duration);
}

TBounds SizeForVideo(const TBounds& window, const TScreenArea& screen, int videoWidth, int videoHeight, bool centre) {
  TBounds result;
  // The corner is measured from the monitor's left edge, as the screen width is.
  const int left = window.Left - screen.Left;
  if (!centre && screen.Width - 10 >= videoWidth + left + kChromeWidth) {
    result = {window.Left, window.Top, videoWidth + kChromeWidth, videoHeight + kChromeHeight};
  } else {
    const int w = std::min(videoWidth + kChromeWidth, screen.Width - 50);
    const int h = std::min(videoHeight + kChromeHeight, screen.Height - 50);
    result = {screen.Left + (screen.Width - w) / 2, screen.Top + (screen.Height - h) / 2, w, h};
  }
  return WithMinimumSize(result);
}

double AspectRatioOf(int aspectMode, int videoWidth, int videoHeight) {
  switch (aspectMode) {
    case 2: return 4.0 / 3.0;
    case 3: return 16.0 / 9.0;
    case 4: return 1.85;
    case 5: return 2.35;
    default: return videoHeight != 0 ? static_cast<double>(videoWidth) / videoHeight : 0.0;
  }
}

TBounds ZoomBounds(const TBounds& window, int zoomTag, int aspectMode, int videoWidth, int videoHeight) {
  int width = videoWidth + kChromeWidth;
  if (zoomTag == 1) width = videoWidth / 2 + kChromeWidth;
  if (zoomTag == 2) width = 2 * videoWidth + kChromeWidth;
  TBounds result = WithMinimumSize({window.Left, window.Top, width, window.Height});
  if (aspectMode != 1) {
    const double ratio = AspectRatioOf(aspectMode, videoWidth, videoHeight);
    if (ratio > 0) result.Height = static_cast<int>(std::trunc(result.Width / ratio)) + kChromeHeight;
  }
  return WithMinimumSize(result);
}

TAspectCall AspectCallFor(int aspectMode, int panelWidth, int panelHeight, int videoWidth, int videoHeight) {
  const float width = static_cast<float>(panelWidth);
  if (aspectMode == 1) return {1, width, static_cast<float>(panelHeight)};
  const double ratio = AspectRatioOf(aspectMode, videoWidth, videoHeight);
  const float height = ratio > 0 ? static_cast<float>(panelWidth / ratio) : static_cast<float>(panelHeight);
  return {static_cast<uint8_t>(aspectMode == 0 ? 0 : 2), width, height};
}

}  // namespace qvr::app
