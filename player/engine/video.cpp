#include "player/engine/video.h"

#include <d3d9.h>  // vmr9.h needs the Direct3D 9 types declared first
#include <vmr9.h>
#include <wrl/client.h>

using Microsoft::WRL::ComPtr;

namespace qvr::engine {
namespace {

// VMR-9 in windowless mode: enough to connect video to the panel, place it and read its size.
// Picture controls and aspect modes answer "unavailable" here.
class TVMR9 final : public TVideoRender {
 public:
  bool HasColorControl() override { return false; }

  HRESULT Initialize(IGraphBuilder* graph, HWND window) override {
    ComPtr<IBaseFilter> filter;
    HRESULT hr = CoCreateInstance(CLSID_VideoMixingRenderer9, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&filter));
    if (FAILED(hr)) return hr;
    if (FAILED(hr = graph->AddFilter(filter.Get(), L"VMR-9"))) return hr;
    ComPtr<IVMRFilterConfig9> config;
    if (FAILED(hr = filter.As(&config))) return hr;
    // Wine: SetNumberOfStreams would make SetVideoClippingWindow fail with VFW_E_WRONG_STATE,
    // so the mixer is left at its default.
    if (FAILED(hr = config->SetRenderingMode(VMR9Mode_Windowless))) return hr;
    ComPtr<IVMRWindowlessControl9> control;
    if (FAILED(hr = filter.As(&control))) return hr;
    if (FAILED(hr = control->SetVideoClippingWindow(window))) return hr;
    if (FAILED(hr = control->SetAspectRatioMode(VMR9ARMode_LetterBox))) return hr;
    control_ = std::move(control);
    filter_ = std::move(filter);
    window_ = window;
    return S_OK;
  }

  HRESULT UpdateVideoPosition(HWND, const RECT&) override {
    if (!control_) return S_OK;
    RECT client{};
    ::GetClientRect(window_, &client);
    return control_->SetVideoPosition(nullptr, &client);
  }

  HRESULT RepaintVideo(HWND window, HDC dc) override { return control_ ? control_->RepaintVideo(window, dc) : S_OK; }
  void ReadColorControls() override {}

  HRESULT GetNativeVideoSize(int32_t& width, int32_t& height) override {
    width = height = 0;
    if (!control_) return E_NOINTERFACE;
    // Wine's VMR-9 answers S_OK with a 0 x 0 size while no video is connected; an audio-only
    // item must not count as video.
    if (!InputConnected()) return VFW_E_NOT_CONNECTED;
    LONG w = 0, h = 0;
    const HRESULT hr = control_->GetNativeVideoSize(&w, &h, nullptr, nullptr);
    if (SUCCEEDED(hr)) {
      width = w;
      height = h;
    }
    return hr;
  }

  int32_t GetBrightness() override { return 0; }
  int32_t GetContrast() override { return 0; }
  int32_t GetHue() override { return 0; }
  int32_t GetSaturation() override { return 0; }
  HRESULT SetBrightness(int32_t) override { return S_OK; }
  HRESULT SetContrast(int32_t) override { return S_OK; }
  HRESULT SetHue(int32_t) override { return S_OK; }
  HRESULT SetSaturation(int32_t) override { return S_OK; }
  void SetAspectRatio(uint8_t, float, float) override {}

 private:
  bool InputConnected() const {
    ComPtr<IEnumPins> pins;
    ComPtr<IPin> pin, peer;
    return filter_ && SUCCEEDED(filter_->EnumPins(&pins)) && pins->Next(1, &pin, nullptr) == S_OK &&
           SUCCEEDED(pin->ConnectedTo(&peer)) && peer;
  }

  ComPtr<IBaseFilter> filter_;
  ComPtr<IVMRWindowlessControl9> control_;
  HWND window_ = nullptr;
};

}  // namespace

std::unique_ptr<TVideoRender> CreateVideoRender(bool /*useEvr*/) {
  // Until the EVR wrapper exists every item uses VMR-9.
  return std::make_unique<TVMR9>();
}

}  // namespace qvr::engine
