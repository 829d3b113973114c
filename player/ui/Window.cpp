#include "player/ui/Window.h"

#include <exception>
#include <utility>

#include "common/win/text.h"

namespace qvr::ui {

namespace {

void ShowErrorBox(const std::string& message) {
  ::MessageBoxW(::GetActiveWindow(), Utf8ToWide(message).c_str(), L"Error", MB_OK | MB_ICONERROR | MB_TASKMODAL);
}

TExceptionReporter& Reporter() {
  static TExceptionReporter reporter = ShowErrorBox;
  return reporter;
}

// The UI thread's pump may meet messages whose window belongs to a form that previews keys.
bool IsKeyboardMessage(UINT message) { return message >= WM_KEYFIRST && message <= WM_KEYLAST; }

bool PreTranslate(MSG& message) {
  if (!IsKeyboardMessage(message.message) || !message.hwnd) return false;
  auto* filter = dynamic_cast<IMessageFilter*>(TWindow::FromHandle(::GetAncestor(message.hwnd, GA_ROOT)));
  if (!filter) return false;
  bool consumed = false;
  GuardedCall([&] { consumed = filter->PreTranslate(message); });
  return consumed;
}

}  // namespace

TExceptionReporter SetExceptionReporter(TExceptionReporter reporter) {
  return std::exchange(Reporter(), reporter ? std::move(reporter) : TExceptionReporter(ShowErrorBox));
}

void ReportException(const std::string& message) {
  try {
    Reporter()(message);
  } catch (...) {
    // A reporter that throws has nowhere left to report to.
  }
}

bool GuardedCall(const std::function<void()>& action) noexcept {
  try {
    action();
    return true;
  } catch (const std::exception& e) {
    ReportException(e.what());
  } catch (...) {
    ReportException("Unknown exception");
  }
  return false;
}

TWindow::~TWindow() { DestroyHandle(); }

// The object pointer lives in a window property rather than GWLP_USERDATA: a property is ours
// alone on system controls too, and it survives other code subclassing the window.
constexpr wchar_t kObjectProperty[] = L"QvrWindowObject";

TWindow* TWindow::FromHandle(HWND window) {
  return window ? static_cast<TWindow*>(::GetPropW(window, kObjectProperty)) : nullptr;
}

TWindow* TWindow::ParentWindow() const {
  if (!handle_ || !(::GetWindowLongW(handle_, GWL_STYLE) & WS_CHILD)) return nullptr;
  return FromHandle(::GetParent(handle_));
}

void TWindow::Invalidate() const {
  if (handle_) ::InvalidateRect(handle_, nullptr, FALSE);
}

void TWindow::Repaint() const {
  if (!handle_) return;
  ::InvalidateRect(handle_, nullptr, FALSE);
  ::UpdateWindow(handle_);
}

void TWindow::DestroyHandle() {
  if (handle_) ::DestroyWindow(handle_);  // WM_NCDESTROY clears handle_
  handle_ = nullptr;
}

void TWindow::DescendantMouseLeft() {
  if (TWindow* parent = ParentWindow()) parent->DescendantMouseLeft();
}

bool TWindow::RegisterWindowClass(const wchar_t* className, UINT style, HCURSOR cursor, HBRUSH background) {
  const HINSTANCE instance = ::GetModuleHandleW(nullptr);
  WNDCLASSEXW existing{sizeof(existing)};
  if (::GetClassInfoExW(instance, className, &existing)) {
    // A class of that name with another procedure would give our windows someone else's.
    if (existing.lpfnWndProc == &WindowProc) return true;
    ::SetLastError(ERROR_CLASS_ALREADY_EXISTS);
    return false;
  }
  WNDCLASSEXW windowClass{sizeof(windowClass)};
  windowClass.style = style;
  windowClass.lpfnWndProc = &WindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = cursor ? cursor : ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  windowClass.hbrBackground = background;
  windowClass.lpszClassName = className;
  windowClass.hIcon = ::LoadIconW(instance, L"MAINICON");
  return ::RegisterClassExW(&windowClass) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

bool TWindow::CreateHandle(const wchar_t* className, DWORD exStyle, DWORD style, const std::string& text,
                           const TRect& bounds, HWND parent, HMENU menu) {
  DestroyHandle();
  HWND window = ::CreateWindowExW(exStyle, className, Utf8ToWide(text).c_str(), style, bounds.Left, bounds.Top,
                                  bounds.Width(), bounds.Height(), parent, menu, ::GetModuleHandleW(nullptr), this);
  return window && window == handle_;
}

bool TWindow::CreateSystemHandle(const wchar_t* className, DWORD exStyle, DWORD style, const std::string& text,
                                 const TRect& bounds, HWND parent, HMENU menu) {
  DestroyHandle();
  HWND window = ::CreateWindowExW(exStyle, className, Utf8ToWide(text).c_str(), style, bounds.Left, bounds.Top,
                                  bounds.Width(), bounds.Height(), parent, menu, ::GetModuleHandleW(nullptr), nullptr);
  if (!window) return false;
  Attach(window);
  systemProc_ = reinterpret_cast<WNDPROC>(
      ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SubclassProc)));
  return true;
}

void TWindow::Attach(HWND window) {
  handle_ = window;
  ::SetPropW(window, kObjectProperty, this);
}

LRESULT TWindow::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  return DefaultHandler(message, wparam, lparam);
}

LRESULT TWindow::DefaultHandler(UINT message, WPARAM wparam, LPARAM lparam) {
  if (systemProc_) return ::CallWindowProcW(systemProc_, handle_, message, wparam, lparam);
  return ::DefWindowProcW(handle_, message, wparam, lparam);
}

bool TWindow::HandleReflected(UINT, WPARAM, LPARAM, LRESULT&) { return false; }

bool TWindow::Reflect(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
  HWND child = nullptr;
  switch (message) {
    case WM_DRAWITEM: child = reinterpret_cast<const DRAWITEMSTRUCT*>(lparam)->hwndItem; break;
    case WM_MEASUREITEM: child = ::GetDlgItem(handle_, static_cast<int>(reinterpret_cast<const MEASUREITEMSTRUCT*>(lparam)->CtlID)); break;
    case WM_COMMAND: child = reinterpret_cast<HWND>(lparam); break;
    case WM_NOTIFY: child = reinterpret_cast<const NMHDR*>(lparam)->hwndFrom; break;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX: child = reinterpret_cast<HWND>(lparam); break;
    default: return false;
  }
  TWindow* target = child && child != handle_ ? FromHandle(child) : nullptr;
  return target && target->HandleReflected(message, wparam, lparam, result);
}

LRESULT TWindow::Dispatch(UINT message, WPARAM wparam, LPARAM lparam) {
  LRESULT result = 0;
  const bool completed = GuardedCall([&] {
    if (!Reflect(message, wparam, lparam, result)) result = HandleMessage(message, wparam, lparam);
  });
  // A handler that threw has had its say; the window itself still gets its default treatment
  // for the messages whose answer Windows relies on.
  if (!completed && (message == WM_NCCREATE || message == WM_NCDESTROY || message == WM_PAINT))
    result = DefaultHandler(message, wparam, lparam);
  return result;
}

LRESULT CALLBACK TWindow::WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  TWindow* self = FromHandle(window);
  if (message == WM_NCCREATE) {
    self = static_cast<TWindow*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    if (self) self->Attach(window);
  }
  if (!self) return ::DefWindowProcW(window, message, wparam, lparam);
  const LRESULT result = self->Dispatch(message, wparam, lparam);
  if (message == WM_NCDESTROY) {
    ::RemovePropW(window, kObjectProperty);
    self->handle_ = nullptr;
  }
  return result;
}

LRESULT CALLBACK TWindow::SubclassProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  TWindow* self = FromHandle(window);
  if (!self) return ::DefWindowProcW(window, message, wparam, lparam);
  const LRESULT result = self->Dispatch(message, wparam, lparam);
  if (message == WM_NCDESTROY) {
    ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(self->systemProc_));
    ::RemovePropW(window, kObjectProperty);
    self->handle_ = nullptr;
    self->systemProc_ = nullptr;
  }
  return result;
}

int RunMessageLoop() {
  MSG message;
  for (;;) {
    const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
    if (got == 0) return static_cast<int>(message.wParam);
    if (got == -1) return -1;
    if (PreTranslate(message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
}

bool PumpPendingMessages() {
  MSG message;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      ::PostQuitMessage(static_cast<int>(message.wParam));
      return false;
    }
    if (PreTranslate(message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return true;
}

}  // namespace qvr::ui
