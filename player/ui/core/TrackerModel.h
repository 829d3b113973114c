// The track bar's state and rules without a window: the range and value with their setters,
// the geometry along the long axis (TrackStart, TrackEnd, ThumbPos and the track, hit and thumb
// rectangles), value <-> position conversion and the press/move/release handling. The Win32
// TTracker keeps one of these, forwards sizes and mouse messages, raises its events from the
// results and paints what the model says. Not thread-safe: the user-interface thread owns it.
#pragma once

#include "player/ui/core/ControlGeometry.h"

namespace qvr::ui {

enum class TjtbOrientation { jtbHorizontal, jtbVertical };

class TTrackerModel {
 public:
  // What a mouse step did: the control repaints when Repaint is set and raises
  // OnChangedValue(Value()) when ValueChanged is set (mouse-driven changes only).
  struct TMouseResult {
    bool Repaint = false;
    bool ValueChanged = false;
  };

  TTrackerModel();

  int Minimum() const { return minimum_; }
  int Maximum() const { return maximum_; }
  int Value() const { return value_; }
  TjtbOrientation Orientation() const { return orientation_; }
  int ThumbWidth() const { return thumbWidth_; }
  int ThumbHeight() const { return thumbHeight_; }
  int TrackHeight() const { return trackHeight_; }
  bool ThumbSelected() const { return thumbSelected_; }
  bool Dragging() const { return dragging_; }
  int Width() const { return width_; }
  int Height() const { return height_; }

  // Setters return true when the control must repaint; a refused change returns false and
  // changes nothing.
  bool SetValue(int value);          // ignored outside [Minimum, Maximum]
  bool SetMaximum(int maximum);      // ignored unless above Minimum; lowers Value to it
  bool SetMinimum(int minimum);      // ignored unless below Maximum; raises Value to it
  bool SetThumbWidth(int width);
  bool SetThumbHeight(int height);   // ignored unless below the control's height
  bool SetTrackHeight(int height);   // ignored unless below the height (width when vertical)
  bool SetOrientation(TjtbOrientation orientation);
  void SetSize(int width, int height);  // a resize: geometry and ThumbPos follow Value

  // Geometry along the long axis and the rectangles, from the current ThumbPos.
  int TrackStart() const;
  int TrackEnd() const;
  int ThumbPos() const { return thumbPos_; }
  TRect TrackRect() const;
  TRect HitRect() const;
  TRect ThumbRect() const;

  int PositionForValue(int value) const;
  int ValueForPosition(int position) const;

  TMouseResult Press(bool leftButton, TPoint point);
  TMouseResult Move(bool leftButtonHeld, TPoint point);
  TMouseResult Release();

  // The track fill when TrackPositionColor is on: each component scaled by
  // Value / (Maximum - Minimum), truncated and kept within 0..255.
  TColor PositionColor(TColor trackColor) const;

 private:
  bool Vertical() const { return orientation_ == TjtbOrientation::jtbVertical; }
  int ClampToTrack(int coordinate) const;
  void DragTo(TPoint point);
  void Recompute() { thumbPos_ = PositionForValue(value_); }

  int minimum_ = 0;
  int maximum_ = 100;
  int value_ = 0;
  TjtbOrientation orientation_ = TjtbOrientation::jtbHorizontal;
  int thumbWidth_ = 20;
  int thumbHeight_ = 16;
  int trackHeight_ = 6;
  int width_ = 0;
  int height_ = 0;
  int thumbPos_ = 0;
  bool thumbSelected_ = false;
  bool dragging_ = false;
};

}  // namespace qvr::ui
