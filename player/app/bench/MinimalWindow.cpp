// The reference for the start-up benchmark: one plain top-level window and a message loop.
#include <windows.h>

namespace {
LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_DESTROY) ::PostQuitMessage(0);
  return ::DefWindowProcW(window, message, wparam, lparam);
}
}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = Proc;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = L"MinimalWindow";
  ::RegisterClassW(&windowClass);
  ::CreateWindowExW(0, L"MinimalWindow", L"minimal", WS_POPUP | WS_VISIBLE, 100, 100, 500, 400, nullptr, nullptr, instance, nullptr);
  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) ::DispatchMessageW(&message);
  return 0;
}
