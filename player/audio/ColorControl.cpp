#include "player/audio/ColorControl.h"

#include "player/ui/Canvas.h"

namespace qvr::audio {

bool ColorPanelOpen = false;

namespace {
constexpr wchar_t kClassName[] = L"TFrmColorControl";
constexpr const char* kBoxes[] = {"pbBrightness", "pbContrast", "pbHue", "pbSaturation"};
constexpr ui::TColor kGrey = RGB(128, 128, 128), kWhite = RGB(255, 255, 255);
}  // namespace

std::unique_ptr<TFrmColorControl>& TFrmColorControl::Slot() {
  static std::unique_ptr<TFrmColorControl> panel;
  return panel;
}

TFrmColorControl* TFrmColorControl::Create(HWND owner) {
  if (ColorPanelOpen) return nullptr;
  std::unique_ptr<TFrmColorControl>& slot = Slot();
  slot.reset(new TFrmColorControl());
  if (FAILED(slot->Build(owner))) {
    slot.reset();
    ColorPanelOpen = false;
    return nullptr;
  }
  return slot.get();
}

TFrmColorControl* TFrmColorControl::Current() { return ColorPanelOpen ? Slot().get() : nullptr; }

TFrmColorControl::~TFrmColorControl() { DestroyHandle(); }

HRESULT TFrmColorControl::Build(HWND owner) {
  if (const HRESULT hr = CreatePanel("TFRMCOLORCONTROL", kClassName, owner); FAILED(hr)) return hr;
  ColorPanelOpen = true;
  for (size_t i = 0; i < boxes_.size(); ++i) {
    TPaintBox* box = Find<TPaintBox>(kBoxes[i]);
    if (!box) return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
    boxes_[i] = box;
    box->OnPaint = [this](TPaintBox& sender, HDC dc) {
      const int tag = sender.Tag();
      if (tag < 0 || tag > 3) return;
      const int drawn = thumbs_[static_cast<size_t>(tag)];
      Draw(sender, drawn >= 0 ? drawn : ValueToPosition(Shown(tag), sender.Width()), dc);
    };
    box->OnMouseDown = [this](ui::TControl& sender, ui::TMouseButton, UINT, ui::TPoint p) {
      SliderMouse(static_cast<TPaintBox&>(sender), p.X);
    };
    box->OnMouseMove = [this, previous = box->OnMouseMove](ui::TControl& sender, ui::TMouseButton button, UINT keys,
                                                           ui::TPoint p) {
      if (previous) previous(sender, button, keys, p);
      if (keys & MK_LBUTTON) SliderMouse(static_cast<TPaintBox&>(sender), p.X);
    };
    box->OnMouseUp = [this](ui::TControl& sender, ui::TMouseButton, UINT, ui::TPoint p) {
      DrawSlider(static_cast<TPaintBox&>(sender), p.X);
    };
  }
  return S_OK;
}

int32_t& TFrmColorControl::Shown(int tag) {
  switch (tag) {
    case 0: return Brightness;
    case 1: return Contrast;
    case 2: return Hue;
    default: return Saturation;
  }
}

TFrmColorControl::TOnValueChange& TFrmColorControl::Event(int tag) {
  switch (tag) {
    case 0: return OnBrightnessChange;
    case 1: return OnContrastChange;
    case 2: return OnHueChange;
    default: return OnSaturationChange;
  }
}

void TFrmColorControl::SliderMouse(TPaintBox& box, int x) {
  DrawSlider(box, x);
  const int tag = box.Tag();
  if (tag < 0 || tag > 3) return;
  if (TOnValueChange& event = Event(tag)) event(PositionToValue(x, box.Width()));
}

void TFrmColorControl::DrawSlider(TPaintBox& box, int thumbX) {
  if (HDC target = ::GetDC(box.Handle())) {
    Draw(box, thumbX, target);
    ::ReleaseDC(box.Handle(), target);
  }
}

void TFrmColorControl::Draw(TPaintBox& box, int thumbX, HDC target) {
  const ui::TSize size = box.ClientSize();
  thumbX = LimitThumb(thumbX, size.Width);
  if (box.Tag() >= 0 && box.Tag() <= 3) thumbs_[static_cast<size_t>(box.Tag())] = thumbX;
  ui::TOffscreen buffer(target, size.Width, size.Height);
  HDC dc = buffer.Dc();
  ui::FillSolid(dc, {0, 0, size.Width, size.Height}, 0);
  const int mid = size.Height / 2;
  for (int x = 11; x <= size.Width - 10; ++x) {
    const TStripe stripe = SliderColumn(x, thumbX);
    const ui::TColor colour = stripe == TStripe::Black ? 0 : stripe == TStripe::White ? kWhite : kGrey;
    ui::FillSolid(dc, {x, mid - 7, x + 1, mid + 7}, colour);
  }
  buffer.Present();
}

void TFrmColorControl::ResetClick() {
  Brightness = DefaultBrightness;
  Contrast = DefaultContrast;
  Hue = DefaultHue;
  Saturation = DefaultSaturation;
  for (int tag = 0; tag < 4; ++tag)
    if (TOnValueChange& event = Event(tag)) event(Shown(tag));
  for (int tag = 0; tag < 4; ++tag) DrawSlider(*boxes_[static_cast<size_t>(tag)], ValueToPosition(Shown(tag), boxes_[static_cast<size_t>(tag)]->Width()));
}

void TFrmColorControl::Closing() {
  ColorPanelOpen = false;
  OnBrightnessChange = OnContrastChange = OnHueChange = OnSaturationChange = nullptr;
}

void TFrmColorControl::Destroyed() {
  RunSoon([] {
    if (Slot() && !Slot()->Handle()) Slot().reset();
  });
}

}  // namespace qvr::audio
