#include "player/engine/EVR9.h"

using Microsoft::WRL::ComPtr;

namespace qvr::engine {
namespace {

DXVA2_Fixed32& ProcAmpField(DXVA2_ProcAmpValues& values, TColorProperty property) {
  switch (property) {
    case cpBrightness: return values.Brightness;
    case cpContrast: return values.Contrast;
    case cpHue: return values.Hue;
    default: return values.Saturation;
  }
}

}  // namespace

HRESULT TEVR::Initialize(IGraphBuilder* graph, HWND window) {
  ComPtr<IBaseFilter> filter;
  HRESULT hr = CoCreateInstance(kClsidEnhancedVideoRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&filter));
  if (FAILED(hr)) return hr;
  if (FAILED(hr = graph->AddFilter(filter.Get(), L"EVR"))) return hr;
  // An unconfigured renderer would take the video and draw it in a window of its own.
  if (FAILED(hr = Configure(filter.Get(), window))) graph->RemoveFilter(filter.Get());
  return hr;
}

HRESULT TEVR::Configure(IBaseFilter* filter, HWND window) {
  ComPtr<IMFGetService> services;
  HRESULT hr;
  if (FAILED(hr = filter->QueryInterface(IID_PPV_ARGS(&services)))) return hr;
  ComPtr<IMFVideoDisplayControl> display;
  if (FAILED(hr = services->GetService(MR_VIDEO_RENDER_SERVICE, kIidMFVideoDisplayControl, &display))) return hr;
  if (FAILED(hr = display->SetVideoWindow(window))) return hr;
  if (FAILED(hr = display->SetAspectRatioMode(MFVideoARMode_PreservePicture))) return hr;
  // Wine's EVR has no mixer service (E_NOINTERFACE): no picture controls then.
  ComPtr<IMFVideoProcessor> processor;
  services->GetService(MR_VIDEO_MIXER_SERVICE, kIidMFVideoProcessor, &processor);
  Attach(filter, display.Get(), processor.Get(), window);
  return S_OK;
}

void TEVR::Attach(IBaseFilter* filter, IMFVideoDisplayControl* display, IMFVideoProcessor* processor, HWND window) {
  filter_ = filter;
  display_ = display;
  processor_ = processor;
  window_ = window;
  if (display_) display_->SetBorderColor(RGB(0, 0, 0));  // Wine: E_NOTIMPL
  if (processor_) processor_->SetBackgroundColor(RGB(0, 0, 0));
}

HRESULT TEVR::UpdateVideoPosition(HWND, const RECT&) {
  if (!display_) return S_OK;
  const TVideoRect to = EvenEdgesInward(ClientDestination(window_, aspect_mode_, aspect_width_, aspect_height_));
  RECT destination{to.Left, to.Top, to.Right, to.Bottom};
  const MFVideoNormalizedRect whole{0.0f, 0.0f, 1.0f, 1.0f};
  const HRESULT hr = display_->SetVideoPosition(&whole, &destination);
  RepaintVideo(window_, nullptr);
  ::InvalidateRect(window_, nullptr, TRUE);
  ::UpdateWindow(window_);
  return hr;
}

HRESULT TEVR::RepaintVideo(HWND, HDC) { return display_ ? display_->RepaintVideo() : S_OK; }

void TEVR::ReadColorControls() {
  ranges_ = {};
  if (!processor_) return;
  for (int i = 0; i < kColorPropertyCount; ++i) {
    DXVA2_ValueRange range{};
    if (FAILED(processor_->GetProcAmpRange(ColorPropertyFlag(static_cast<TColorProperty>(i)), &range))) continue;
    ranges_[i] = {static_cast<float>(range.MinValue.Value), static_cast<float>(range.MaxValue.Value),
                  static_cast<float>(range.DefaultValue.Value)};
    current_[i] = PercentOfDefault(ranges_[i]);
  }
}

HRESULT TEVR::SetColor(TColorProperty property, int32_t percent) {
  if (!processor_) return S_OK;
  DXVA2_ProcAmpValues values{};
  DXVA2_Fixed32& field = ProcAmpField(values, property);
  field.Value = static_cast<SHORT>(EvrValueFromPercent(ranges_[property], percent));
  field.Fraction = 0;
  return processor_->SetProcAmpValues(ColorPropertyFlag(property), &values);
}

HRESULT TEVR::GetNativeVideoSize(int32_t& width, int32_t& height) {
  width = height = 0;
  if (!display_) return E_NOINTERFACE;
  // As with VMR-9: no native size without connected video, whatever the renderer answers.
  if (!RendererInputConnected(filter_.Get())) return VFW_E_NOT_CONNECTED;
  SIZE size{}, aspect{};
  const HRESULT hr = display_->GetNativeVideoSize(&size, &aspect);
  if (FAILED(hr)) return hr;
  width = size.cx;
  height = size.cy;
  return hr;
}

void TEVR::SetAspectRatio(uint8_t mode, float height, float width) {
  if (height * width == 0) return;
  if (display_)
    display_->SetAspectRatioMode(mode == kAspectKeepOriginal ? MFVideoARMode_PreservePicture : MFVideoARMode_None);
  aspect_mode_ = mode;
  aspect_width_ = width;
  aspect_height_ = height;
  UpdateVideoPosition(window_, RECT{});
}

}  // namespace qvr::engine
