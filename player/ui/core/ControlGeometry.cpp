#include "player/ui/core/ControlGeometry.h"

#include <climits>
#include <cstdint>
#include <cmath>

namespace qvr::ui {

int MulDivRound(int value, int numerator, int denominator) {
  if (denominator == 0) return -1;
  const int64_t product = static_cast<int64_t>(value) * numerator;
  const int64_t half = (denominator < 0 ? -static_cast<int64_t>(denominator) : denominator) / 2;
  const int64_t adjusted = (product < 0) != (denominator < 0) ? product - half : product + half;
  return static_cast<int>(adjusted / denominator);
}

int RoundHalfEven(double value) {
  if (std::isnan(value)) return 0;
  if (value >= static_cast<double>(INT_MAX)) return INT_MAX;
  if (value <= static_cast<double>(INT_MIN)) return INT_MIN;
  const double floor = std::floor(value);
  const double fraction = value - floor;
  double result = floor;
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(floor, 2.0) != 0.0)) result = floor + 1.0;
  return static_cast<int>(result);
}

int ButtonFrame(bool pressed, bool down, bool hot) {
  if (pressed || down) return 3;
  return hot ? 2 : 0;
}

TPoint ButtonCaptionOrigin(int width, int height, int textWidth, int textHeight) {
  return {(width - textWidth) / 2, (height - textHeight) / 2 - 2};
}

std::vector<TBlit> PanelSkinBlits(int panelWidth, int panelHeight, int bitmapWidth, int bitmapHeight, int edgeWidth) {
  if (bitmapWidth <= 0 || bitmapHeight <= 0) return {};
  if (edgeWidth < 1) {
    const TRect whole{0, 0, bitmapWidth, bitmapHeight};
    // Slivers (the 3-pixel "top" skin) are stretched a little past both sides so that no seam
    // of the panel colour shows at the right edge.
    if (bitmapWidth < 10) return {{whole, {0, 0, panelWidth + 6, panelHeight}}};
    return {{whole, whole}};
  }
  const int e = edgeWidth;
  return {
      {{0, 0, e, bitmapHeight}, {0, 0, e, bitmapHeight}},
      {{e, 0, 2 * e, bitmapHeight}, {e, 0, panelWidth - e, bitmapHeight}},
      {{bitmapWidth - e, 0, bitmapWidth, bitmapHeight}, {panelWidth - e, 0, panelWidth, bitmapHeight}},
  };
}

TPoint PanelCaptionOrigin(int width, int height, int textWidth, int textHeight) {
  return {(width - textWidth) / 2, (height - textHeight) / 2};
}

}  // namespace qvr::ui
