// Video renderer wrappers. The engine makes one wrapper per opened item, whose Initialize adds
// the renderer filter to the graph before anything is connected, in windowless mode inside the
// video panel; the engine then drives it through TVideoRender and frees it with the graph.
// TVMR9 (Video Mixing Renderer 9) here, TEVR (Enhanced Video Renderer) in EVR9.h.
//
// UI thread only (the engine's single-threaded apartment); the renderers draw on their own
// threads, the wrappers only call their control interfaces. A wrapper holds its own references
// to the interfaces it was given. Every operation tolerates missing interfaces: getters answer
// 0, setters and repaint do nothing and answer S_OK.
#pragma once

#include <windows.h>

#include <d3d9.h>  // vmr9.h needs the Direct3D 9 types declared first
#include <wrl/client.h>

#include <cstdint>
#include <memory>

#include "common/win/DirectShow.h"
#include "player/engine/core/VideoGeometry.h"

#include <vmr9.h>

namespace qvr::engine {

class TVideoRender {
 public:
  virtual ~TVideoRender() = default;
  virtual bool HasColorControl() = 0;
  // Creates the renderer filter and adds it to the graph, windowless inside window.
  virtual HRESULT Initialize(IGraphBuilder* graph, HWND window) = 0;
  // Places the picture in the remembered window (rect is not used: the window's client
  // rectangle and the aspect mode decide) and repaints.
  virtual HRESULT UpdateVideoPosition(HWND window, const RECT& rect) = 0;
  virtual HRESULT RepaintVideo(HWND window, HDC dc) = 0;
  // Reads the colour-control ranges; the current percentages become the renderer's defaults.
  virtual void ReadColorControls() = 0;
  virtual HRESULT GetNativeVideoSize(int32_t& width, int32_t& height) = 0;
  virtual int32_t GetBrightness() = 0;
  virtual int32_t GetContrast() = 0;
  virtual int32_t GetHue() = 0;
  virtual int32_t GetSaturation() = 0;
  virtual HRESULT SetBrightness(int32_t percent) = 0;
  virtual HRESULT SetContrast(int32_t percent) = 0;
  virtual HRESULT SetHue(int32_t percent) = 0;
  virtual HRESULT SetSaturation(int32_t percent) = 0;
  // mode: kAspectKeepOriginal, kAspectStretch or kAspectFixedRatio (width:height). Ignored
  // when height × width is 0.
  virtual void SetAspectRatio(uint8_t mode, float height, float width) = 0;
};

// The Video Mixing Renderer 9 in windowless mode.
class TVMR9 final : public TVideoRender {
 public:
  bool HasColorControl() override { return mixer_ != nullptr; }
  // S_OK, or the HRESULT of the first step that failed; the wrapper is then left without
  // controls and the filter is not in the graph.
  HRESULT Initialize(IGraphBuilder* graph, HWND window) override;
  HRESULT UpdateVideoPosition(HWND window, const RECT& rect) override;
  HRESULT RepaintVideo(HWND window, HDC dc) override;
  void ReadColorControls() override;
  // VFW_E_NOT_CONNECTED while the renderer's input is unconnected.
  HRESULT GetNativeVideoSize(int32_t& width, int32_t& height) override;
  int32_t GetBrightness() override { return current_[cpBrightness]; }
  int32_t GetContrast() override { return current_[cpContrast]; }
  int32_t GetHue() override { return current_[cpHue]; }
  int32_t GetSaturation() override { return current_[cpSaturation]; }
  HRESULT SetBrightness(int32_t percent) override { return SetColor(cpBrightness, percent); }
  HRESULT SetContrast(int32_t percent) override { return SetColor(cpContrast, percent); }
  HRESULT SetHue(int32_t percent) override { return SetColor(cpHue, percent); }
  HRESULT SetSaturation(int32_t percent) override { return SetColor(cpSaturation, percent); }
  void SetAspectRatio(uint8_t mode, float height, float width) override;

  // The last step of Initialize: takes the controls of a configured renderer (any may be null)
  // and the panel. Tests hand in controls of their own here.
  void Attach(IBaseFilter* filter, IVMRWindowlessControl9* control, IVMRMixerControl9* mixer,
              IVMRAspectRatioControl9* aspect, HWND window);

 private:
  HRESULT Configure(IBaseFilter* filter, HWND window);
  HRESULT SetColor(TColorProperty property, int32_t percent);

  Microsoft::WRL::ComPtr<IBaseFilter> filter_;              // to ask whether video is connected
  Microsoft::WRL::ComPtr<IVMRWindowlessControl9> control_;  // the main control
  Microsoft::WRL::ComPtr<IVMRMixerControl9> mixer_;
  Microsoft::WRL::ComPtr<IVMRAspectRatioControl9> aspect_;
  HWND window_ = nullptr;
  TColorRanges ranges_{};
  int32_t current_[kColorPropertyCount] = {};
  int32_t native_width_ = 0;
  int32_t native_height_ = 0;
  uint8_t aspect_mode_ = kAspectKeepOriginal;
  float aspect_width_ = 0;
  float aspect_height_ = 0;
};

// Whether the filter's first pin (a renderer's input) is connected.
bool RendererInputConnected(IBaseFilter* filter);

// The destination for the window's client area in an aspect mode (VideoGeometry.h).
TVideoRect ClientDestination(HWND window, uint8_t mode, float aspectWidth, float aspectHeight);

// The Enhanced Video Renderer when useEvr, else Video Mixing Renderer 9.
std::unique_ptr<TVideoRender> CreateVideoRender(bool useEvr);

}  // namespace qvr::engine
