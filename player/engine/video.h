// Video renderer wrappers. The engine adds one renderer per item to the graph before anything
// is connected, in windowless mode inside the video panel, and drives it through this class.
// UI thread only. Every wrapper tolerates missing interfaces: getters answer 0, setters and
// repaint do nothing.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

#include "common/win/DirectShow.h"

namespace qvr::engine {

class TVideoRender {
 public:
  virtual ~TVideoRender() = default;
  virtual bool HasColorControl() = 0;
  // Creates the renderer filter and adds it to the graph, in windowless mode clipped to window.
  virtual HRESULT Initialize(IGraphBuilder* graph, HWND window) = 0;
  virtual HRESULT UpdateVideoPosition(HWND window, const RECT& rect) = 0;
  virtual HRESULT RepaintVideo(HWND window, HDC dc) = 0;
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
  virtual void SetAspectRatio(uint8_t mode, float height, float width) = 0;
};

// The Enhanced Video Renderer when useEvr, else Video Mixing Renderer 9.
std::unique_ptr<TVideoRender> CreateVideoRender(bool useEvr);

}  // namespace qvr::engine
