// The main window's equaliser and colour panels: each opens once, filled from the engine, and
// its change events go straight to the engine.
#include "player/app/FormMain.h"
#include "player/audio/ColorControl.h"
#include "player/audio/uEq.h"

namespace qvr::app {

void TfrmQVRPlayer::OpenEqualizer() {
  if (audio::EqPanelOpen) return;
  audio::TfmEq* panel = audio::TfmEq::Create(Handle());
  if (!panel) return;
  engine::TMWMediaPlayer& engine = *engine_;
  for (int i = 0; i < 10; ++i) panel->SetBand(i, engine.GetEqBand(i));
  panel->SetPreamp(engine.Preamp == 0 ? 100 : engine.Preamp);
  // EqualizerChanged: the bands first, then the pre-amplifier, which applies everything.
  panel->OnChange = [this](uint8_t preamp, const std::array<int8_t, 10>& bands) {
    for (int i = 0; i < 10; ++i) engine_->SetEqBand(i, bands[static_cast<size_t>(i)]);
    engine_->SetPreamp(preamp);
  };
  panel->ShowPanel();
}

void TfrmQVRPlayer::OpenColorControls() {
  if (audio::ColorPanelOpen) return;
  audio::TFrmColorControl* panel = audio::TFrmColorControl::Create(Handle());
  if (!panel) return;
  engine::TMWMediaPlayer& engine = *engine_;
  panel->Brightness = engine.GetBrightness();
  panel->Contrast = engine.GetContrast();
  panel->Hue = engine.GetHue();
  panel->Saturation = engine.GetSaturation();
  panel->DefaultBrightness = FColorDefaults[0];
  panel->DefaultContrast = FColorDefaults[1];
  panel->DefaultHue = FColorDefaults[2];
  panel->DefaultSaturation = FColorDefaults[3];
  panel->OnBrightnessChange = [this](int32_t v) { engine_->SetBrightness(v); };
  panel->OnContrastChange = [this](int32_t v) { engine_->SetContrast(v); };
  panel->OnHueChange = [this](int32_t v) { engine_->SetHue(v); };
  panel->OnSaturationChange = [this](int32_t v) { engine_->SetSaturation(v); };
  panel->ShowPanel();
}

}  // namespace qvr::app
