#include "player/audio/core/PanelRules.h"

#include <algorithm>

namespace qvr::audio {

namespace {

// numerator / denominator rounded to the nearest integer, ties to even; denominator > 0.
int64_t RoundHalfEven(int64_t numerator, int64_t denominator) {
  int64_t quotient = numerator / denominator, remainder = numerator % denominator;
  if (remainder < 0) remainder += denominator, --quotient;  // floor division
  const int64_t twice = 2 * remainder;
  if (twice > denominator || (twice == denominator && (quotient & 1))) ++quotient;
  return quotient;
}

}  // namespace

int PositionToValue(int x, int width) {
  const int64_t span = static_cast<int64_t>(width) - 20;
  if (span <= 0) return x < 10 ? 0 : 100;
  const int64_t value = RoundHalfEven((static_cast<int64_t>(x) - 10) * 100, span) + 1;
  return static_cast<int>(std::clamp<int64_t>(value, 0, 100));
}

int ValueToPosition(int value, int width) {
  return static_cast<int>(RoundHalfEven((static_cast<int64_t>(value) - 1) * (static_cast<int64_t>(width) - 20), 100) + 10);
}

TStripe SliderColumn(int x, int thumbX) {
  if (x & 1) return TStripe::Black;
  return x <= thumbX ? TStripe::White : TStripe::Grey;
}

int LimitThumb(int thumbX, int right) { return std::min(std::max(thumbX, 10), right - 10); }

TStripe EqualizerRow(int y, int thumbTop) {
  if (y & 1) return TStripe::Black;
  return y < thumbTop + 5 ? TStripe::Grey : TStripe::White;
}

std::string_view EqualizerBandLabel(int tag) {
  static constexpr std::array<std::string_view, 11> kLabels = {"",   "60", "170", "310", "600", "1k",
                                                               "3k", "6k", "12k", "14k", "16k"};
  return tag >= 0 && tag < static_cast<int>(kLabels.size()) ? kLabels[static_cast<size_t>(tag)] : std::string_view{};
}

bool TPanelFade::Tick() {
  if (!running_) return false;
  opacity_ = static_cast<uint8_t>(std::max(0, opacity_ - kStep));
  return opacity_ < kCloseBelow;
}

}  // namespace qvr::audio
