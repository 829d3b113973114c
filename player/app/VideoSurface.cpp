#include "player/app/VideoSurface.h"

#include <utility>

namespace qvr::app {

namespace {
constexpr wchar_t kClassName[] = L"TQVRVideoSurface";
}

bool TVideoSurface::Needed() {
  HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  return ntdll && ::GetProcAddress(ntdll, "wine_get_version");
}

TVideoSurface::TVideoSurface(HWND panel, TRepaint repaint) : panel_(panel), repaint_(std::move(repaint)) {}

bool TVideoSurface::Create() {
  if (!RegisterWindowClass(kClassName, 0, nullptr, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH))))
    return false;
  if (!CreateHandle(kClassName, WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, WS_POPUP, "", {0, 0, 1, 1},
                    ::GetAncestor(panel_, GA_ROOT)))
    return false;
  ::SetWindowRgn(Handle(), ::CreateRectRgn(0, 0, 0, 0), FALSE);  // no picture yet
  return true;
}

bool TVideoSurface::Sync(bool showPicture) {
  if (!Handle()) return false;
  HWND main = ::GetAncestor(panel_, GA_ROOT);
  if (!::IsWindowVisible(panel_) || ::IsIconic(main)) {
    if (mapped_) ::ShowWindow(Handle(), SW_HIDE);
    mapped_ = picture_ = false;
    return false;
  }
  RECT r{};
  ::GetClientRect(panel_, &r);
  ::MapWindowPoints(panel_, nullptr, reinterpret_cast<POINT*>(&r), 2);
  // Kept directly above the main window and below its other windows (dialogs, playlist,
  // panels), as the panel itself is. The X server puts a window that is mapped on top of all
  // others, so once mapped the pop-up stays mapped, and without a picture it only loses its
  // shape.
  const bool inPlace = ::GetWindow(main, GW_HWNDPREV) == Handle();
  const bool newPlace = !::EqualRect(&r, &placed_) || !mapped_;
  if (newPlace || !inPlace) {
    HWND above = ::GetWindow(main, GW_HWNDPREV);
    UINT flags = SWP_NOACTIVATE | SWP_SHOWWINDOW;
    if (inPlace) flags |= SWP_NOZORDER;
    ::SetWindowPos(Handle(), above ? above : HWND_TOP, r.left, r.top, r.right - r.left, r.bottom - r.top, flags);
    placed_ = r;
    mapped_ = true;
  }
  if (showPicture != picture_) {
    ::SetWindowRgn(Handle(), showPicture ? nullptr : ::CreateRectRgn(0, 0, 0, 0), TRUE);
    picture_ = showPicture;
    return showPicture;
  }
  return newPlace && showPicture;
}

LRESULT TVideoSurface::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_NCHITTEST:
      return HTTRANSPARENT;
    case WM_MOUSEACTIVATE:
      return MA_NOACTIVATE;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = ::BeginPaint(Handle(), &paint);
      if (repaint_) repaint_(Handle(), dc);
      ::EndPaint(Handle(), &paint);
      return 0;
    }
    default:
      return TWindow::HandleMessage(message, wparam, lparam);
  }
}

}  // namespace qvr::app
