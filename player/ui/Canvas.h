// GDI helpers for the controls: an off-screen buffer that a control paints into and copies to
// the screen once, a memory DC with a bitmap selected (restored on destruction), and small
// drawing calls taking the layer's colours and rectangles.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "common/win/unique_resource.h"
#include "player/ui/core/ControlGeometry.h"

namespace qvr::ui {

inline RECT ToRect(const TRect& r) { return {r.Left, r.Top, r.Right, r.Bottom}; }
inline TRect FromRect(const RECT& r) { return {r.left, r.top, r.right, r.bottom}; }

// A memory DC with one bitmap selected into it; the previous selection is put back first.
class TSelectedBitmap {
 public:
  TSelectedBitmap(HDC compatibleWith, HBITMAP bitmap) noexcept
      : dc_(::CreateCompatibleDC(compatibleWith)), previous_(dc_ ? ::SelectObject(dc_.get(), bitmap) : nullptr) {}
  TSelectedBitmap(const TSelectedBitmap&) = delete;
  TSelectedBitmap& operator=(const TSelectedBitmap&) = delete;
  ~TSelectedBitmap() {
    if (dc_ && previous_) ::SelectObject(dc_.get(), previous_);
  }
  HDC Dc() const noexcept { return dc_.get(); }
  explicit operator bool() const noexcept { return static_cast<bool>(dc_); }

 private:
  unique_mem_dc dc_;
  HGDIOBJ previous_;
};

// An off-screen picture of width x height compatible with `target`; Present copies it to the
// target's origin. Painting goes to Dc(). Without memory (a failed allocation), Dc() is the
// target itself, so the control still paints, only not flicker-free.
class TOffscreen {
 public:
  TOffscreen(HDC target, int width, int height) noexcept;
  TOffscreen(const TOffscreen&) = delete;
  TOffscreen& operator=(const TOffscreen&) = delete;
  HDC Dc() const noexcept { return bitmap_ && selected_ ? selected_.Dc() : target_; }
  void Present() const noexcept;

 private:
  HDC target_;
  int width_, height_;
  unique_hbitmap bitmap_;
  TSelectedBitmap selected_;
};

void FillSolid(HDC dc, const TRect& rect, TColor color);
// WM_PAINT (between BeginPaint and EndPaint) and WM_PRINTCLIENT both go to `paint`; true when
// the message was one of them.
bool HandlePaintMessage(HWND window, UINT message, WPARAM wparam, const std::function<void(HDC)>& paint);
// Draws UTF-8 text with a transparent background; `format` takes DrawTextW's DT_ flags.
void DrawTextUtf8(HDC dc, const std::string& text, TRect rect, UINT format, TColor color);
// The average character of the DC's current font: the width of "A".."Z" and "a".."z" divided
// by 52 (integer division) and that text's height.
SIZE AverageCharSize(HDC dc);
// The extent of one line of UTF-8 text in the DC's current font.
SIZE MeasureTextUtf8(HDC dc, const std::string& text);

}  // namespace qvr::ui
