// TFrmColorControl: the floating picture-control window (form "FrmColorControl"): brightness,
// contrast, hue and saturation as four sliders the panel draws itself in paint boxes (tags 0..3),
// "Reset" and "Close". Values are percentages 0..100 of the renderer's ranges. It holds no
// engine: the owner sets the shown and reset values and the four events before ShowPanel.
// UI thread only; one panel at a time.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

#include "player/audio/FloatingPanel.h"

namespace qvr::audio {

// True while a colour panel exists.
extern bool ColorPanelOpen;

class TFrmColorControl : public TFloatingPanel {
 public:
  using TOnValueChange = std::function<void(int32_t value)>;

  // Creates the panel, hidden, owned by `owner`; null while another is open or when the window
  // cannot be made. The panel frees itself after it closes.
  static TFrmColorControl* Create(HWND owner);
  static TFrmColorControl* Current();

  ~TFrmColorControl() override;

  int32_t Brightness = 0, Contrast = 0, Hue = 0, Saturation = 0;
  int32_t DefaultBrightness = 0, DefaultContrast = 0, DefaultHue = 0, DefaultSaturation = 0;
  TOnValueChange OnBrightnessChange, OnContrastChange, OnHueChange, OnSaturationChange;

  // The paint box of tag 0..3 (brightness, contrast, hue, saturation).
  TPaintBox& Slider(int tag) const { return *boxes_[static_cast<size_t>(tag)]; }
  // Where the slider's thumb was last drawn.
  int ThumbX(int tag) const { return thumbs_[static_cast<size_t>(tag)]; }

  // Draws the slider into an off-screen bitmap with the thumb at thumbX, then onto the box.
  void DrawSlider(TPaintBox& box, int thumbX);

  // The shown values become the reset values, reported in order and drawn.
  void ResetClick() override;

 protected:
  void Closing() override;
  void Destroyed() override;

 private:
  TFrmColorControl() : TFloatingPanel("FrmColorControl") {}
  static std::unique_ptr<TFrmColorControl>& Slot();
  HRESULT Build(HWND owner);
  int32_t& Shown(int tag);
  TOnValueChange& Event(int tag);
  void SliderMouse(TPaintBox& box, int x);
  void Draw(TPaintBox& box, int thumbX, HDC target);

  std::array<TPaintBox*, 4> boxes_{};
  // The thumbs as last drawn, -1 until then: a repaint shows a dragged slider where it was left.
  std::array<int, 4> thumbs_{-1, -1, -1, -1};
};

}  // namespace qvr::audio
