// TfmEq: the floating equaliser window (form "fmEq"): the pre-amplifier slider trPreAmp (0..200,
// tag 0) and the ten band sliders tr1..tr10 (-100..100, tags 1..10), "Reset" and "Close". It
// knows nothing of the engine: the owner fills the sliders, and every mouse-driven change (and
// Reset) reports the full set of values through OnChange. UI thread only; one panel at a time.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

#include "player/audio/FloatingPanel.h"

namespace qvr::ui {
class TTracker;
}

namespace qvr::audio {

// True while an equaliser panel exists.
extern bool EqPanelOpen;

class TfmEq : public TFloatingPanel {
 public:
  using TOnChange = std::function<void(uint8_t preamp, const std::array<int8_t, 10>& bands)>;

  // Creates the panel, hidden, owned by `owner`; null while another is open or when the window
  // cannot be made. The panel frees itself after it closes.
  static TfmEq* Create(HWND owner);
  // The open panel, or null.
  static TfmEq* Current();

  ~TfmEq() override;

  // Fill the sliders (raises nothing).
  void SetBand(int index, int8_t value);  // index 0..9
  void SetPreamp(uint8_t value);
  int8_t Band(int index) const;
  uint8_t Preamp() const;
  ui::TTracker& Slider(int tag) const { return *sliders_[static_cast<size_t>(tag)]; }

  TOnChange OnChange;

  // Sets the ten bands to 0 and the pre-amplifier to 100 and reports them once.
  void ResetClick() override;

 protected:
  void Closing() override;
  void Destroyed() override;

 private:
  TfmEq() : TFloatingPanel("fmEq") {}
  static std::unique_ptr<TfmEq>& Slot();
  HRESULT Build(HWND owner);
  void Changed();
  void PaintSlider(ui::TTracker& slider, HDC dc, const ui::TRect& track, const ui::TRect& thumb);

  std::array<ui::TTracker*, 11> sliders_{};  // by tag: trPreAmp, tr1..tr10
};

}  // namespace qvr::audio
