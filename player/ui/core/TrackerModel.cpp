#include "player/ui/core/TrackerModel.h"

#include <algorithm>

namespace qvr::ui {

TTrackerModel::TTrackerModel() { Recompute(); }

bool TTrackerModel::SetValue(int value) {
  if (value < minimum_ || value > maximum_) return false;
  value_ = value;
  Recompute();
  return true;
}

bool TTrackerModel::SetMaximum(int maximum) {
  if (maximum <= minimum_) return false;
  maximum_ = maximum;
  value_ = std::min(value_, maximum_);
  Recompute();
  return true;
}

bool TTrackerModel::SetMinimum(int minimum) {
  if (minimum >= maximum_) return false;
  minimum_ = minimum;
  value_ = std::max(value_, minimum_);
  Recompute();
  return true;
}

bool TTrackerModel::SetThumbWidth(int width) {
  thumbWidth_ = width;
  Recompute();
  return true;
}

bool TTrackerModel::SetThumbHeight(int height) {
  if (height >= height_) return false;
  thumbHeight_ = height;
  Recompute();
  return true;
}

bool TTrackerModel::SetTrackHeight(int height) {
  if (height >= (Vertical() ? width_ : height_)) return false;
  trackHeight_ = height;
  return true;
}

bool TTrackerModel::SetOrientation(TjtbOrientation orientation) {
  orientation_ = orientation;
  Recompute();
  return true;
}

void TTrackerModel::SetSize(int width, int height) {
  width_ = width;
  height_ = height;
  Recompute();
}

int TTrackerModel::TrackStart() const { return (Vertical() ? thumbHeight_ : thumbWidth_) / 2 + 5; }

int TTrackerModel::TrackEnd() const { return (Vertical() ? height_ : width_) - TrackStart(); }

TRect TTrackerModel::TrackRect() const {
  if (Vertical()) {
    const int m = (width_ - trackHeight_) / 2;
    return {m, TrackStart(), width_ - m, TrackEnd()};
  }
  const int m = (height_ - trackHeight_) / 2;
  return {TrackStart(), m, TrackEnd(), height_ - m};
}

TRect TTrackerModel::HitRect() const {
  if (Vertical()) return TrackRect().Inflated((thumbWidth_ - trackHeight_) / 2, 0);
  return TrackRect().Inflated(0, (thumbHeight_ - trackHeight_) / 2);
}

TRect TTrackerModel::ThumbRect() const {
  if (Vertical()) {
    const int a = (width_ - thumbWidth_) / 2;
    return {a, thumbPos_ - thumbHeight_ / 2, width_ - a, thumbPos_ + thumbHeight_ / 2};
  }
  const int a = (height_ - thumbHeight_) / 2;
  return {thumbPos_ - thumbWidth_ / 2, a, thumbPos_ + thumbWidth_ / 2, height_ - a};
}

int TTrackerModel::PositionForValue(int value) const {
  const double f = (static_cast<double>(value) - minimum_) / (static_cast<double>(maximum_) - minimum_);
  const int offset = RoundHalfEven(f * (TrackEnd() - TrackStart()));
  return Vertical() ? TrackEnd() - offset : offset + TrackStart();
}

int TTrackerModel::ValueForPosition(int position) const {
  const int span = TrackEnd() - TrackStart();
  // A tracker too short for its thumb has no travel: every position means the low end.
  const double g = span == 0 ? 0.0 : (static_cast<double>(position) - TrackStart()) / span;
  const double range = static_cast<double>(maximum_) - minimum_;
  const int value = Vertical() ? RoundHalfEven(maximum_ - g * range) : RoundHalfEven(g * range + minimum_);
  return std::clamp(value, minimum_, maximum_);
}

int TTrackerModel::ClampToTrack(int coordinate) const {
  const TRect track = TrackRect();
  const int low = Vertical() ? track.Top : track.Left;
  const int high = Vertical() ? track.Bottom : track.Right;
  return std::clamp(coordinate, std::min(low, high), std::max(low, high));
}

void TTrackerModel::DragTo(TPoint point) {
  thumbPos_ = ClampToTrack(Vertical() ? point.Y : point.X);
  value_ = ValueForPosition(thumbPos_);
}

TTrackerModel::TMouseResult TTrackerModel::Press(bool leftButton, TPoint point) {
  if (!leftButton) return {};
  thumbSelected_ = ThumbRect().Contains(point);
  if (!thumbSelected_ && !TrackRect().Inflated(4, 4).Contains(point)) return {};
  dragging_ = true;
  DragTo(point);
  return {true, true};
}

TTrackerModel::TMouseResult TTrackerModel::Move(bool leftButtonHeld, TPoint point) {
  if (!leftButtonHeld || !dragging_) return {};
  DragTo(point);
  return {true, true};
}

TTrackerModel::TMouseResult TTrackerModel::Release() {
  dragging_ = false;
  thumbSelected_ = false;
  return {true, false};
}

TColor TTrackerModel::PositionColor(TColor trackColor) const {
  const double scale = static_cast<double>(value_) / (static_cast<double>(maximum_) - minimum_);
  auto component = [scale](int c) { return static_cast<int>(std::clamp(c * scale, 0.0, 255.0)); };
  return Rgb(component(RedOf(trackColor)), component(GreenOf(trackColor)), component(BlueOf(trackColor)));
}

}  // namespace qvr::ui
