#include "player/engine/video.h"

#include "player/engine/EVR9.h"

using Microsoft::WRL::ComPtr;

namespace qvr::engine {
namespace {

static_assert(sizeof(VMR9ProcAmpControlRange) == 24 && sizeof(VMR9ProcAmpControl) == 24,
              "the mixer checks the record sizes");

float& ProcAmpField(VMR9ProcAmpControl& control, TColorProperty property) {
  switch (property) {
    case cpBrightness: return control.Brightness;
    case cpContrast: return control.Contrast;
    case cpHue: return control.Hue;
    default: return control.Saturation;
  }
}

}  // namespace

bool RendererInputConnected(IBaseFilter* filter) {
  ComPtr<IEnumPins> pins;
  ComPtr<IPin> pin, peer;
  return filter && SUCCEEDED(filter->EnumPins(&pins)) && pins->Next(1, &pin, nullptr) == S_OK &&
         SUCCEEDED(pin->ConnectedTo(&peer)) && peer;
}

TVideoRect ClientDestination(HWND window, uint8_t mode, float aspectWidth, float aspectHeight) {
  RECT client{};
  ::GetClientRect(window, &client);
  return DestinationRect({client.left, client.top, client.right, client.bottom}, mode, aspectWidth, aspectHeight);
}

HRESULT TVMR9::Initialize(IGraphBuilder* graph, HWND window) {
  ComPtr<IBaseFilter> filter;
  HRESULT hr = CoCreateInstance(CLSID_VideoMixingRenderer9, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&filter));
  if (FAILED(hr)) return hr;
  if (FAILED(hr = graph->AddFilter(filter.Get(), L"VMR-9"))) return hr;
  // A renderer left in the graph unconfigured stays windowed: the builder would connect video
  // to it and the renderer would open a window of its own beside the player.
  if (FAILED(hr = Configure(filter.Get(), window))) graph->RemoveFilter(filter.Get());
  return hr;
}

HRESULT TVMR9::Configure(IBaseFilter* filter, HWND window) {
  ComPtr<IVMRFilterConfig9> config;
  HRESULT hr;
  if (FAILED(hr = filter->QueryInterface(IID_PPV_ARGS(&config)))) return hr;
  // Wine: SetNumberOfStreams would make SetVideoClippingWindow fail with VFW_E_WRONG_STATE,
  // so the mixer is left at its default.
  if (FAILED(hr = config->SetRenderingMode(VMR9Mode_Windowless))) return hr;
  ComPtr<IVMRWindowlessControl9> control;
  if (FAILED(hr = filter->QueryInterface(IID_PPV_ARGS(&control)))) return hr;
  if (FAILED(hr = control->SetVideoClippingWindow(window))) return hr;
  if (FAILED(hr = control->SetAspectRatioMode(VMR9ARMode_LetterBox))) return hr;
  ComPtr<IVMRMixerControl9> mixer;
  ComPtr<IVMRAspectRatioControl9> aspect;
  filter->QueryInterface(IID_PPV_ARGS(&mixer));  // either may be missing
  filter->QueryInterface(IID_PPV_ARGS(&aspect));
  Attach(filter, control.Get(), mixer.Get(), aspect.Get(), window);
  return S_OK;
}

void TVMR9::Attach(IBaseFilter* filter, IVMRWindowlessControl9* control, IVMRMixerControl9* mixer,
                   IVMRAspectRatioControl9* aspect, HWND window) {
  filter_ = filter;
  control_ = control;
  mixer_ = mixer;
  aspect_ = aspect;
  window_ = window;
}

HRESULT TVMR9::UpdateVideoPosition(HWND, const RECT&) {
  if (!control_) return S_OK;
  const TVideoRect to = ClientDestination(window_, aspect_mode_, aspect_width_, aspect_height_);
  const RECT destination{to.Left, to.Top, to.Right, to.Bottom};
  // The whole picture; before its size is known the renderer keeps its own source rectangle,
  // which is the whole picture from the connection on.
  const RECT whole{0, 0, native_width_, native_height_};
  const bool known = native_width_ > 0 && native_height_ > 0;
  const HRESULT hr = control_->SetVideoPosition(known ? &whole : nullptr, &destination);
  if (HDC dc = ::GetWindowDC(window_)) {
    RepaintVideo(window_, dc);
    ::ReleaseDC(window_, dc);
  }
  return hr;
}

HRESULT TVMR9::RepaintVideo(HWND window, HDC dc) { return control_ ? control_->RepaintVideo(window, dc) : S_OK; }

void TVMR9::ReadColorControls() {
  ranges_ = {};
  if (!mixer_) return;
  for (int i = 0; i < kColorPropertyCount; ++i) {
    const auto property = static_cast<TColorProperty>(i);
    VMR9ProcAmpControlRange range{};
    range.dwSize = sizeof range;
    range.dwProperty = static_cast<VMR9ProcAmpControlFlags>(ColorPropertyFlag(property));
    if (FAILED(mixer_->GetProcAmpControlRange(0, &range))) continue;  // Wine: E_NOTIMPL, the range stays empty
    ranges_[i] = {range.MinValue, range.MaxValue, range.DefaultValue};
    current_[i] = PercentOfDefault(ranges_[i]);
  }
}

HRESULT TVMR9::SetColor(TColorProperty property, int32_t percent) {
  if (ranges_[property].Empty() || percent == current_[property] || !mixer_) return S_OK;
  VMR9ProcAmpControl control{};
  control.dwSize = sizeof control;
  control.dwFlags = ColorPropertyFlag(property);
  ProcAmpField(control, property) = VmrValueFromPercent(ranges_[property], percent);
  const HRESULT hr = mixer_->SetProcAmpControl(0, &control);
  // Only a value the renderer took counts as current, so that asking again retries.
  if (SUCCEEDED(hr)) current_[property] = percent;
  return hr;
}

HRESULT TVMR9::GetNativeVideoSize(int32_t& width, int32_t& height) {
  width = height = 0;
  if (!control_) return E_NOINTERFACE;
  // Wine's VMR-9 answers S_OK with a 0 x 0 size while no video is connected; an audio-only
  // item must not count as video.
  if (!RendererInputConnected(filter_.Get())) return VFW_E_NOT_CONNECTED;
  LONG w = 0, h = 0;
  const HRESULT hr = control_->GetNativeVideoSize(&w, &h, nullptr, nullptr);
  if (FAILED(hr)) return hr;
  width = native_width_ = w;
  height = native_height_ = h;
  return hr;
}

void TVMR9::SetAspectRatio(uint8_t mode, float height, float width) {
  if (height * width == 0) return;
  if (aspect_) aspect_->SetAspectRatioMode(mode == kAspectKeepOriginal ? VMR9ARMode_LetterBox : VMR9ARMode_None);
  aspect_mode_ = mode;
  aspect_width_ = width;
  aspect_height_ = height;
  UpdateVideoPosition(window_, RECT{});
}

std::unique_ptr<TVideoRender> CreateVideoRender(bool useEvr) {
  if (useEvr) return std::make_unique<TEVR>();
  return std::make_unique<TVMR9>();
}

}  // namespace qvr::engine
