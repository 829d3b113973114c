// TTracker: the custom track bar of the seek bar, the volume and the equaliser sliders. The
// rules live in TTrackerModel; this control feeds it sizes and mouse messages, raises the
// events and paints off-screen (tiled back bitmap or BackColor, then the track and the thumb,
// or the owner's OnPaint instead).
#pragma once

#include <functional>
#include <string>

#include "player/ui/Form.h"
#include "player/ui/core/TrackerModel.h"

namespace qvr::ui {

class TTracker;
using TOnChangedValue = std::function<void(TTracker& sender, int newValue)>;
using TOnPaint = std::function<void(TTracker& sender, HDC canvas, const TRect& trackRect, const TRect& thumbRect)>;

class TTracker : public TControl {
 public:
  TTracker(TForm* owner, std::string name);

  bool CreateControl(TControl* parent, const TRect& bounds) override;

  int Minimum() const { return model_.Minimum(); }
  void SetMinimum(int value) { Changed(model_.SetMinimum(value)); }
  int Maximum() const { return model_.Maximum(); }
  void SetMaximum(int value) { Changed(model_.SetMaximum(value)); }
  int Value() const { return model_.Value(); }
  void SetValue(int value) { Changed(model_.SetValue(value)); }  // never raises OnChangedValue
  TjtbOrientation Orientation() const { return model_.Orientation(); }
  void SetOrientation(TjtbOrientation orientation) { Changed(model_.SetOrientation(orientation)); }

  // Copies the bitmap (the caller keeps its own); null clears it.
  void SetBackBitmap(HBITMAP bitmap);
  HBITMAP BackBitmap() const { return backBitmap_.get(); }
  TColor BackColor() const { return backColor_; }
  void SetBackColor(TColor color) { backColor_ = color, Invalidate(); }
  TColor TrackColor() const { return trackColor_; }
  void SetTrackColor(TColor color) { trackColor_ = color, Invalidate(); }
  bool TrackPositionColor() const { return trackPositionColor_; }
  void SetTrackPositionColor(bool on) { trackPositionColor_ = on, Invalidate(); }
  TColor BorderColor() const { return borderColor_; }
  void SetBorderColor(TColor color) { borderColor_ = color; }  // kept, never painted
  TColor ThumbColor() const { return thumbColor_; }
  void SetThumbColor(TColor color) { thumbColor_ = color, Invalidate(); }
  int ThumbWidth() const { return model_.ThumbWidth(); }
  void SetThumbWidth(int width) { Changed(model_.SetThumbWidth(width)); }
  int ThumbHeight() const { return model_.ThumbHeight(); }
  void SetThumbHeight(int height) { Changed(model_.SetThumbHeight(height)); }
  bool ThumbSelected() const { return model_.ThumbSelected(); }
  int TrackHeight() const { return model_.TrackHeight(); }
  void SetTrackHeight(int height) { Changed(model_.SetTrackHeight(height)); }

  const TTrackerModel& Model() const { return model_; }

  TOnChangedValue OnChangedValue;
  TOnPaint OnPaint;

  void ApplyAttributes(const TAttributes& attributes) override;

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  void Changed(bool repaint) {
    if (repaint) Invalidate();
  }
  void Apply(const TTrackerModel::TMouseResult& result);
  void Paint(HDC target);

  TTrackerModel model_;
  unique_hbitmap backBitmap_;
  TSize backSize_;
  TColor backColor_;
  TColor trackColor_;
  bool trackPositionColor_ = false;
  TColor borderColor_ = 0;
  TColor thumbColor_;
  bool trackingLeave_ = false;
};

}  // namespace qvr::ui
