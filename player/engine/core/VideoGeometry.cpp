#include "player/engine/core/VideoGeometry.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace qvr::engine {
namespace {

constexpr int64_t kInt32Max = std::numeric_limits<int32_t>::max();

int64_t Extent(int32_t from, int32_t to) { return std::clamp<int64_t>(int64_t{to} - from, 0, kInt32Max); }

}  // namespace

int32_t RoundHalfEven(double value) {
  if (std::isnan(value)) return 0;
  if (value >= static_cast<double>(kInt32Max)) return std::numeric_limits<int32_t>::max();
  if (value <= static_cast<double>(std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
  double whole = std::floor(value);
  const double fraction = value - whole;
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0)) whole += 1;
  return static_cast<int32_t>(whole);
}

int32_t MulDiv32(int32_t number, int32_t numerator, int32_t denominator) {
  if (denominator == 0) return -1;
  int64_t n = number;
  int64_t d = denominator;
  if (d < 0) {
    n = -n;
    d = -d;
  }
  const int64_t product = n * numerator;
  const bool positive = (n < 0) == (numerator < 0);
  const int64_t result = positive ? (product + d / 2) / d : (product - d / 2) / d;
  if (result > kInt32Max || result < -kInt32Max) return -1;
  return static_cast<int32_t>(result);
}

TVideoRect DestinationRect(const TVideoRect& client, uint8_t mode, float aspectWidth, float aspectHeight) {
  if (mode != kAspectFixedRatio) return client;
  const double ratio = static_cast<double>(aspectWidth) / aspectHeight;
  if (!std::isfinite(ratio) || !(ratio > 0)) return client;

  const int64_t client_width = Extent(client.Left, client.Right);
  const int64_t client_height = Extent(client.Top, client.Bottom);
  int32_t width = static_cast<int32_t>(client_width);
  int32_t height = RoundHalfEven(static_cast<double>(client_width) / ratio);
  if (height > client_height) {
    width = RoundHalfEven(static_cast<double>(client_height) * ratio);
    height = static_cast<int32_t>(client_height);
  }
  // Scale to fit, keeping the proportions; the size above already fits unless rounding pushed
  // it over by a pixel.
  if (width > 0 && height > 0) {
    const auto cw = static_cast<int32_t>(client_width), ch = static_cast<int32_t>(client_height);
    if (client_width * height > client_height * width) {
      width = MulDiv32(width, ch, height);
      height = ch;
    } else {
      height = MulDiv32(height, cw, width);
      width = cw;
    }
  }
  // Centred by an arithmetic shift of the spare room: an odd spare pixel goes right or below.
  const int64_t left = client.Left + ((client_width - width) >> 1);
  const int64_t top = client.Top + ((client_height - height) >> 1);
  return {static_cast<int32_t>(left), static_cast<int32_t>(top), static_cast<int32_t>(left + width),
          static_cast<int32_t>(top + height)};
}

TVideoRect EvenEdgesInward(const TVideoRect& rect) {
  auto odd = [](int32_t v) { return (v & 1) != 0; };
  // Through 64 bits so that the int32 limits wrap (defined) instead of overflowing.
  auto step = [&](int32_t v, int64_t by) { return static_cast<int32_t>(odd(v) ? int64_t{v} + by : int64_t{v}); };
  return {step(rect.Left, 1), step(rect.Top, 1), step(rect.Right, -1), step(rect.Bottom, -1)};
}

int32_t PercentOfDefault(const TColorRange& range) {
  if (range.Maximum == range.Minimum) return 0;
  return RoundHalfEven((static_cast<double>(range.Default) - range.Minimum) * 100.0 /
                       (static_cast<double>(range.Maximum) - range.Minimum));
}

float VmrValueFromPercent(const TColorRange& range, int32_t percent) {
  const auto value = static_cast<float>(range.Minimum + percent * (static_cast<double>(range.Maximum) - range.Minimum) / 100.0);
  return value == 0 ? 1.0f : value;
}

int32_t EvrValueFromPercent(const TColorRange& range, int32_t percent) {
  const int32_t value = std::clamp(
      RoundHalfEven(range.Minimum + percent * (static_cast<double>(range.Maximum) - range.Minimum) / 100.0),
      int32_t{std::numeric_limits<int16_t>::min()}, int32_t{std::numeric_limits<int16_t>::max()});
  return value == 0 ? 1 : value;
}

}  // namespace qvr::engine
