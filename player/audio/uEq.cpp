#include "player/audio/uEq.h"

#include <string>

#include "player/ui/Canvas.h"
#include "player/ui/Tracker.h"

namespace qvr::audio {

bool EqPanelOpen = false;

namespace {
constexpr wchar_t kClassName[] = L"TfmEq";
constexpr int kSliderWidth = 16, kSliderHeight = 120;
constexpr ui::TColor kGrey = RGB(128, 128, 128), kWhite = RGB(255, 255, 255), kSilver = RGB(192, 192, 192);
}  // namespace

std::unique_ptr<TfmEq>& TfmEq::Slot() {
  static std::unique_ptr<TfmEq> panel;
  return panel;
}

TfmEq* TfmEq::Create(HWND owner) {
  if (EqPanelOpen) return nullptr;
  std::unique_ptr<TfmEq>& slot = Slot();
  slot.reset(new TfmEq());
  if (FAILED(slot->Build(owner))) {
    slot.reset();
    EqPanelOpen = false;
    return nullptr;
  }
  return slot.get();
}

TfmEq* TfmEq::Current() { return EqPanelOpen ? Slot().get() : nullptr; }

TfmEq::~TfmEq() { DestroyHandle(); }

HRESULT TfmEq::Build(HWND owner) {
  if (const HRESULT hr = CreatePanel("TFMEQ", kClassName, owner); FAILED(hr)) return hr;
  EqPanelOpen = true;
  for (int tag = 0; tag <= 10; ++tag) {
    const std::string name = tag == 0 ? "trPreAmp" : "tr" + std::to_string(tag);
    ui::TTracker* slider = Find<ui::TTracker>(name);
    if (!slider) return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
    sliders_[static_cast<size_t>(tag)] = slider;
    slider->SetBounds({slider->Left(), slider->Top(), slider->Left() + kSliderWidth, slider->Top() + kSliderHeight});
    slider->OnChangedValue = [this](ui::TTracker&, int) { Changed(); };
    slider->OnPaint = [this](ui::TTracker& sender, HDC dc, const ui::TRect& track, const ui::TRect& thumb) {
      PaintSlider(sender, dc, track, thumb);
    };
  }
  return S_OK;
}

void TfmEq::SetBand(int index, int8_t value) {
  if (index >= 0 && index < 10) sliders_[static_cast<size_t>(index) + 1]->SetValue(value);
}

void TfmEq::SetPreamp(uint8_t value) { sliders_[0]->SetValue(value); }

int8_t TfmEq::Band(int index) const {
  return index >= 0 && index < 10 ? static_cast<int8_t>(sliders_[static_cast<size_t>(index) + 1]->Value()) : 0;
}

uint8_t TfmEq::Preamp() const { return static_cast<uint8_t>(sliders_[0]->Value()); }

void TfmEq::Changed() {
  if (!OnChange) return;
  std::array<int8_t, 10> bands{};
  for (int i = 0; i < 10; ++i) bands[static_cast<size_t>(i)] = Band(i);
  OnChange(Preamp(), bands);
}

void TfmEq::ResetClick() {
  for (int i = 0; i < 10; ++i) SetBand(i, 0);
  SetPreamp(100);
  Changed();
}

void TfmEq::PaintSlider(ui::TTracker& slider, HDC dc, const ui::TRect& track, const ui::TRect& thumb) {
  const ui::TSize size = slider.ClientSize();
  ui::FillSolid(dc, {0, 0, size.Width, size.Height}, 0);
  const std::string_view label = EqualizerBandLabel(slider.Tag());
  if (!label.empty()) {
    const HGDIOBJ previous = ::SelectObject(dc, MakeFont("Tahoma", -9, false));
    ui::DrawTextUtf8(dc, std::string(label), {0, size.Height - 10, size.Width, size.Height},
                     DT_CENTER | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_NOCLIP, kSilver);
    ::SelectObject(dc, previous);
  }
  for (int y = track.Top; y <= track.Bottom; ++y) {
    const TStripe stripe = EqualizerRow(y, thumb.Top);
    const ui::TColor colour = stripe == TStripe::Black ? 0 : stripe == TStripe::Grey ? kGrey : kWhite;
    ui::FillSolid(dc, {1, y, size.Width - 1, y + 1}, colour);
  }
}

void TfmEq::Closing() {
  EqPanelOpen = false;
  OnChange = nullptr;
}

void TfmEq::Destroyed() {
  RunSoon([] {
    if (Slot() && !Slot()->Handle()) Slot().reset();
  });
}

}  // namespace qvr::audio
