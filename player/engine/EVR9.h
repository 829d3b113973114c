// The Enhanced Video Renderer wrapper: the EVR filter, placed and coloured through the display
// control and the mixer's video processor it offers as services (IMFGetService). Same contract
// as the other wrappers (video.h): UI thread only, missing interfaces tolerated.
#pragma once

#include <windows.h>

#include <d3d9.h>  // evr9.h and dxva2api.h need the Direct3D 9 types declared first
#include <evr.h>
#include <evr9.h>
#include <mfidl.h>
#include <wrl/client.h>

#include "player/engine/video.h"

namespace qvr::engine {

// MinGW's import libraries lack these (__uuidof works, the IID_ symbols do not link).
// {FA10746C-9B63-4B6C-BC49-FC300EA5F256}
inline constexpr CLSID kClsidEnhancedVideoRenderer = {
    0xFA10746C, 0x9B63, 0x4B6C, {0xBC, 0x49, 0xFC, 0x30, 0x0E, 0xA5, 0xF2, 0x56}};
// {A490B1E4-AB84-4D31-A1B2-181E03B1077A}
inline constexpr IID kIidMFVideoDisplayControl = {
    0xA490B1E4, 0xAB84, 0x4D31, {0xA1, 0xB2, 0x18, 0x1E, 0x03, 0xB1, 0x07, 0x7A}};
// {6AB0000C-FECE-4D1F-A2AC-A9573530656E}
inline constexpr IID kIidMFVideoProcessor = {
    0x6AB0000C, 0xFECE, 0x4D1F, {0xA2, 0xAC, 0xA9, 0x57, 0x35, 0x30, 0x65, 0x6E}};

class TEVR final : public TVideoRender {
 public:
  bool HasColorControl() override { return processor_ != nullptr; }
  // S_OK, or the HRESULT of the first step that failed; the wrapper is then left without
  // controls and the filter is not in the graph. A missing video processor is no failure.
  HRESULT Initialize(IGraphBuilder* graph, HWND window) override;
  HRESULT UpdateVideoPosition(HWND window, const RECT& rect) override;
  // The arguments are not used: the EVR repaints its own window.
  HRESULT RepaintVideo(HWND window, HDC dc) override;
  void ReadColorControls() override;
  // VFW_E_NOT_CONNECTED while the renderer's input is unconnected.
  HRESULT GetNativeVideoSize(int32_t& width, int32_t& height) override;
  // The percentages read by ReadColorControls: setting a value does not change them.
  int32_t GetBrightness() override { return current_[cpBrightness]; }
  int32_t GetContrast() override { return current_[cpContrast]; }
  int32_t GetHue() override { return current_[cpHue]; }
  int32_t GetSaturation() override { return current_[cpSaturation]; }
  HRESULT SetBrightness(int32_t percent) override { return SetColor(cpBrightness, percent); }
  HRESULT SetContrast(int32_t percent) override { return SetColor(cpContrast, percent); }
  HRESULT SetHue(int32_t percent) override { return SetColor(cpHue, percent); }
  HRESULT SetSaturation(int32_t percent) override { return SetColor(cpSaturation, percent); }
  void SetAspectRatio(uint8_t mode, float height, float width) override;

  // The last step of Initialize: takes the filter and its services (display and processor may
  // be null) and the panel, and makes the borders and the background black. Tests hand in
  // services of their own here.
  void Attach(IBaseFilter* filter, IMFVideoDisplayControl* display, IMFVideoProcessor* processor, HWND window);

 private:
  HRESULT Configure(IBaseFilter* filter, HWND window);
  HRESULT SetColor(TColorProperty property, int32_t percent);

  Microsoft::WRL::ComPtr<IBaseFilter> filter_;  // the main control
  Microsoft::WRL::ComPtr<IMFVideoDisplayControl> display_;
  Microsoft::WRL::ComPtr<IMFVideoProcessor> processor_;
  HWND window_ = nullptr;
  TColorRanges ranges_{};
  int32_t current_[kColorPropertyCount] = {};
  uint8_t aspect_mode_ = kAspectKeepOriginal;
  float aspect_width_ = 0;
  float aspect_height_ = 0;
};

}  // namespace qvr::engine
