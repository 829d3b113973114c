#include "player/ui/Canvas.h"

#include "common/win/text.h"

namespace qvr::ui {

TOffscreen::TOffscreen(HDC target, int width, int height) noexcept
    : target_(target),
      width_(width),
      height_(height),
      bitmap_(width > 0 && height > 0 ? ::CreateCompatibleBitmap(target, width, height) : nullptr),
      selected_(target, bitmap_.get()) {
  if (selected_ && bitmap_) {
    // Text drawn into the buffer uses the target's font unless the painter selects another.
    ::SelectObject(selected_.Dc(), ::GetCurrentObject(target, OBJ_FONT));
  }
}

void TOffscreen::Present() const noexcept {
  if (selected_ && bitmap_) ::BitBlt(target_, 0, 0, width_, height_, selected_.Dc(), 0, 0, SRCCOPY);
}

void FillSolid(HDC dc, const TRect& rect, TColor color) {
  const RECT r = ToRect(rect);
  const COLORREF previous = ::SetBkColor(dc, color);
  ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
  ::SetBkColor(dc, previous);
}

bool HandlePaintMessage(HWND window, UINT message, WPARAM wparam, const std::function<void(HDC)>& paint) {
  if (message == WM_PRINTCLIENT) {
    paint(reinterpret_cast<HDC>(wparam));
    return true;
  }
  if (message != WM_PAINT) return false;
  PAINTSTRUCT ps;
  HDC dc = ::BeginPaint(window, &ps);
  paint(dc);
  ::EndPaint(window, &ps);
  return true;
}

void DrawTextUtf8(HDC dc, const std::string& text, TRect rect, UINT format, TColor color) {
  if (text.empty()) return;
  const std::wstring wide = Utf8ToWide(text);
  RECT r = ToRect(rect);
  const int mode = ::SetBkMode(dc, TRANSPARENT);
  const COLORREF previous = ::SetTextColor(dc, color);
  ::DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &r, format);
  ::SetTextColor(dc, previous);
  ::SetBkMode(dc, mode);
}

SIZE AverageCharSize(HDC dc) {
  wchar_t letters[52];
  for (int i = 0; i < 26; ++i) letters[i] = static_cast<wchar_t>(L'A' + i), letters[26 + i] = static_cast<wchar_t>(L'a' + i);
  SIZE size{0, 0};
  ::GetTextExtentPoint32W(dc, letters, 52, &size);
  return {size.cx / 52, size.cy};
}

SIZE MeasureTextUtf8(HDC dc, const std::string& text) {
  const std::wstring wide = Utf8ToWide(text);
  SIZE size{0, 0};
  ::GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &size);
  return size;
}

}  // namespace qvr::ui
