#include "player/app/ConfirmDialog.h"

#include <algorithm>
#include <stdexcept>

#include "common/win/text.h"
#include "common/win/unique_resource.h"
#include "player/app/core/ConfirmDialogLayout.h"
#include "player/ui/Canvas.h"
#include "player/ui/Window.h"

namespace qvr::app {

namespace {

constexpr int kAskBoxId = 100;

struct TButtonKind {
  TMsgDlgBtn Kind;
  const wchar_t* Caption;
  int Result;
};
constexpr TButtonKind kButtonKinds[] = {
    {TMsgDlgBtn::mbYes, L"&Yes", IDYES},       {TMsgDlgBtn::mbNo, L"&No", IDNO},
    {TMsgDlgBtn::mbOK, L"OK", IDOK},           {TMsgDlgBtn::mbCancel, L"Cancel", IDCANCEL},
    {TMsgDlgBtn::mbAbort, L"&Abort", IDABORT}, {TMsgDlgBtn::mbRetry, L"&Retry", IDRETRY},
    {TMsgDlgBtn::mbIgnore, L"&Ignore", IDIGNORE},
};

const TButtonKind& KindOf(TMsgDlgBtn kind) {
  return *std::find_if(std::begin(kButtonKinds), std::end(kButtonKinds), [kind](const TButtonKind& k) { return k.Kind == kind; });
}

bool Has(const std::vector<TMsgDlgBtn>& buttons, TMsgDlgBtn kind) {
  return std::find(buttons.begin(), buttons.end(), kind) != buttons.end();
}

struct icon_traits {
  using pointer = HICON;
  static pointer invalid() noexcept { return nullptr; }
  static void close(pointer value) noexcept { ::DestroyIcon(value); }
};
using unique_icon = unique_resource<icon_traits>;

class TMessageForm : public ui::TWindow {
 public:
  TMessageForm(std::wstring message, std::wstring title, std::vector<TMsgDlgBtn> buttons, bool ask)
      : message_(std::move(message)), title_(std::move(title)), buttons_(std::move(buttons)), ask_(ask) {}

  int Run(const wchar_t* iconResource, HWND owner, bool& asked);

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  bool Build(const wchar_t* iconResource, HWND owner);
  void CopyToClipboard();
  bool HandleKey(const MSG& message);

  std::wstring message_, title_;
  std::vector<TMsgDlgBtn> buttons_;
  bool ask_;
  unique_gdi font_;
  unique_icon icon_;
  std::vector<HWND> buttonWindows_;
  HWND askBox_ = nullptr;
  int defaultResult_ = 0, cancelResult_ = IDCANCEL;
  int result_ = 0;
  bool done_ = false;
};

bool TMessageForm::Build(const wchar_t* iconResource, HWND owner) {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  ::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
  font_.reset(::CreateFontIndirectW(&metrics.lfMessageFont));

  HDC dc = ::GetDC(nullptr);
  HGDIOBJ previous = ::SelectObject(dc, font_.get());
  const SIZE average = ui::AverageCharSize(dc);
  RECT text{0, 0, ::GetSystemMetrics(SM_CXSCREEN) / 2, 0};
  ::DrawTextW(dc, message_.c_str(), static_cast<int>(message_.size()), &text, DT_CALCRECT | DT_WORDBREAK);
  int widest = 0;
  for (TMsgDlgBtn b : buttons_) {
    RECT caption{};
    ::DrawTextW(dc, KindOf(b).Caption, -1, &caption, DT_CALCRECT | DT_SINGLELINE);
    widest = std::max<int>(widest, caption.right);
  }
  ::SelectObject(dc, previous);
  ::ReleaseDC(nullptr, dc);

  if (iconResource)
    icon_.reset(static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr), iconResource, IMAGE_ICON, 32, 32, 0)));
  const TConfirmLayout l = LayoutConfirmDialog({static_cast<int>(average.cx), static_cast<int>(average.cy),
                                                static_cast<int>(text.right), static_cast<int>(text.bottom),
                                                static_cast<bool>(icon_), static_cast<int>(buttons_.size()), widest, ask_});

  const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_DLGFRAME | WS_CLIPCHILDREN;
  const DWORD exStyle = WS_EX_DLGMODALFRAME;
  RECT frame{0, 0, l.ClientWidth, l.ClientHeight};
  ::AdjustWindowRectEx(&frame, style, FALSE, exStyle);
  const int width = frame.right - frame.left, height = frame.bottom - frame.top;
  const ui::TRect bounds{(::GetSystemMetrics(SM_CXSCREEN) - width) / 2, (::GetSystemMetrics(SM_CYSCREEN) - height) / 2, 0, 0};
  if (!RegisterWindowClass(kMessageFormClass, 0, nullptr, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1))) return false;
  if (!CreateHandle(kMessageFormClass, exStyle, style, WideToUtf8(title_),
                    {bounds.Left, bounds.Top, bounds.Left + width, bounds.Top + height}, owner))
    return false;

  const HINSTANCE instance = ::GetModuleHandleW(nullptr);
  auto child = [&](const wchar_t* cls, const wchar_t* caption, DWORD childStyle, const ui::TRect& r, int id) {
    HWND window = ::CreateWindowExW(0, cls, caption, WS_CHILD | WS_VISIBLE | childStyle, r.Left, r.Top, r.Width(), r.Height(),
                                    Handle(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    ::SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    return window;
  };
  if (icon_) {
    HWND image = child(L"STATIC", nullptr, SS_ICON, {l.Icon.X, l.Icon.Y, l.Icon.X + 32, l.Icon.Y + 32}, -1);
    ::SendMessageW(image, STM_SETICON, reinterpret_cast<WPARAM>(icon_.get()), 0);
  }
  child(L"STATIC", message_.c_str(), SS_LEFT | SS_NOPREFIX, l.Message, -1);

  defaultResult_ = Has(buttons_, TMsgDlgBtn::mbOK) ? IDOK : Has(buttons_, TMsgDlgBtn::mbYes) ? IDYES : Has(buttons_, TMsgDlgBtn::mbRetry) ? IDRETRY : 0;
  cancelResult_ = Has(buttons_, TMsgDlgBtn::mbCancel) ? IDCANCEL : Has(buttons_, TMsgDlgBtn::mbNo) ? IDNO : Has(buttons_, TMsgDlgBtn::mbOK) ? IDOK : IDCANCEL;
  int x = l.ButtonsLeft;
  for (TMsgDlgBtn b : buttons_) {
    const TButtonKind& kind = KindOf(b);
    const DWORD type = kind.Result == defaultResult_ ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
    buttonWindows_.push_back(child(L"BUTTON", kind.Caption, WS_TABSTOP | type,
                                   {x, l.ButtonsTop, x + l.ButtonWidth, l.ButtonsTop + l.ButtonHeight}, kind.Result));
    x += l.ButtonWidth + l.ButtonSpacing;
  }
  if (ask_) askBox_ = child(L"BUTTON", L"Don't ask me again", WS_TABSTOP | BS_AUTOCHECKBOX, l.AskBox, kAskBoxId);
  return true;
}

std::wstring ButtonCaption(HWND button) {
  wchar_t text[64] = {};
  ::GetWindowTextW(button, text, 64);
  std::wstring caption(text);
  caption.erase(std::remove(caption.begin(), caption.end(), L'&'), caption.end());
  return caption;
}

void TMessageForm::CopyToClipboard() {
  ::MessageBeep(0);
  std::vector<std::wstring> captions;
  for (HWND button : buttonWindows_) captions.push_back(ButtonCaption(button));
  const std::wstring text = ConfirmDialogClipboardText(title_, message_, captions);
  if (!::OpenClipboard(Handle())) throw std::runtime_error("Cannot open clipboard");
  ::EmptyClipboard();
  const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  if (HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, bytes)) {
    std::copy_n(text.c_str(), text.size() + 1, static_cast<wchar_t*>(::GlobalLock(memory)));
    ::GlobalUnlock(memory);
    if (!::SetClipboardData(CF_UNICODETEXT, memory)) ::GlobalFree(memory);  // owned by the clipboard once set
  }
  ::CloseClipboard();
}

bool TMessageForm::HandleKey(const MSG& message) {
  if (message.message != WM_KEYDOWN) return false;
  const bool ctrl = ::GetKeyState(VK_CONTROL) & 0x8000, shift = ::GetKeyState(VK_SHIFT) & 0x8000,
             alt = ::GetKeyState(VK_MENU) & 0x8000;
  if (message.wParam == 'C' && ctrl && !shift && !alt) {
    ui::GuardedCall([this] { CopyToClipboard(); });
    return true;
  }
  if (message.wParam == VK_ESCAPE) {
    result_ = cancelResult_;
    done_ = true;
    return true;
  }
  if (message.wParam == VK_RETURN) {
    const HWND focus = ::GetFocus();
    const auto id = static_cast<int>(::GetDlgCtrlID(focus));
    const bool onButton = std::find(buttonWindows_.begin(), buttonWindows_.end(), focus) != buttonWindows_.end();
    result_ = onButton ? id : defaultResult_;
    done_ = result_ != 0;
    return done_;
  }
  return false;
}

int TMessageForm::Run(const wchar_t* iconResource, HWND owner, bool& asked) {
  if (!Build(iconResource, owner)) return 0;
  const bool ownerEnabled = owner && ::IsWindowEnabled(owner);
  if (ownerEnabled) ::EnableWindow(owner, FALSE);
  ::ShowWindow(Handle(), SW_SHOWNORMAL);
  ::SetForegroundWindow(Handle());
  const auto defaultButton = std::find_if(buttonWindows_.begin(), buttonWindows_.end(),
                                          [&](HWND b) { return ::GetDlgCtrlID(b) == defaultResult_; });
  ::SetFocus(defaultButton != buttonWindows_.end() ? *defaultButton : Handle());

  MSG message;
  while (!done_ && Handle()) {
    const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
    if (got <= 0) {
      if (got == 0) ::PostQuitMessage(static_cast<int>(message.wParam));  // for the outer loop
      result_ = cancelResult_;
      break;
    }
    if ((message.hwnd == Handle() || ::IsChild(Handle(), message.hwnd)) &&
        (HandleKey(message) || ::IsDialogMessageW(Handle(), &message)))
      continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  asked = askBox_ && ::SendMessageW(askBox_, BM_GETCHECK, 0, 0) == BST_CHECKED;
  if (ownerEnabled) ::EnableWindow(owner, TRUE);
  DestroyHandle();
  if (owner) ::SetForegroundWindow(owner);
  return result_;
}

LRESULT TMessageForm::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_COMMAND:
      if (HIWORD(wparam) == BN_CLICKED && LOWORD(wparam) != kAskBoxId) {
        // IsDialogMessage's Esc arrives as IDCANCEL: the cancel button answers it.
        const int id = LOWORD(wparam);
        const bool ours = std::any_of(buttonWindows_.begin(), buttonWindows_.end(), [id](HWND b) { return ::GetDlgCtrlID(b) == id; });
        result_ = ours ? id : cancelResult_;
        done_ = true;
        return 0;
      }
      break;
    case DM_GETDEFID:
      return defaultResult_ ? MAKELONG(defaultResult_, DC_HASDEFID) : 0;
    case WM_CLOSE:
      result_ = IDCANCEL;
      done_ = true;
      return 0;
    default:
      break;
  }
  return TWindow::HandleMessage(message, wparam, lparam);
}

}  // namespace

std::wstring ConfirmDialogClipboardText(const std::wstring& title, const std::wstring& message,
                                        const std::vector<std::wstring>& captions) {
  const std::wstring divider = std::wstring(27, L'-') + L"\r\n";
  std::wstring text = divider + title + L"\r\n" + divider + message + L"\r\n" + divider;
  for (const std::wstring& caption : captions) text += caption + L"   ";
  return text + L"\r\n" + divider;
}

int ShowConfirmDialog(const std::string& message, const std::string& title, const wchar_t* iconResource, bool* askFlag,
                      const std::vector<TMsgDlgBtn>& buttons, HWND owner) {
  TMessageForm form(Utf8ToWide(message), Utf8ToWide(title), buttons, askFlag != nullptr);
  bool asked = false;
  const int result = form.Run(iconResource, owner, asked);
  if (askFlag) *askFlag = asked;
  return result;
}

}  // namespace qvr::app
