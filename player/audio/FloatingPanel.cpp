#include "player/audio/FloatingPanel.h"

#include <map>

#include "player/ui/Canvas.h"

namespace qvr::audio {

namespace {

constexpr wchar_t kTextButtonClass[] = L"QvrTextButton";
constexpr wchar_t kPaintBoxClass[] = L"QvrPaintBox";
constexpr ui::TColor kWhite = RGB(255, 255, 255);
constexpr ui::TColor kSilver = RGB(192, 192, 192);

std::map<UINT_PTR, void (*)()>& Pending() {
  static std::map<UINT_PTR, void (*)()> pending;
  return pending;
}

void CALLBACK RunPending(HWND, UINT, UINT_PTR id, DWORD) {
  ::KillTimer(nullptr, id);
  const auto found = Pending().find(id);
  if (found == Pending().end()) return;
  void (*action)() = found->second;
  Pending().erase(found);
  ui::GuardedCall(action);
}

// Asks for WM_MOUSELEAVE once per stay of the pointer.
void TrackLeave(HWND window, bool& tracking) {
  if (tracking) return;
  TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, window, 0};
  tracking = ::TrackMouseEvent(&track) != FALSE;
}

}  // namespace

void RunSoon(void (*action)()) {
  if (const UINT_PTR id = ::SetTimer(nullptr, 0, 0, &RunPending)) Pending()[id] = action;
}

// --- TTextButton -----------------------------------------------------------------------------

bool TTextButton::CreateControl(ui::TControl* parent, const ui::TRect& bounds) {
  if (!RegisterWindowClass(kTextButtonClass, 0, nullptr, nullptr)) return false;
  return CreateHandle(kTextButtonClass, 0, WS_CHILD | WS_VISIBLE, "", bounds, ParentHandle(parent));
}

void TTextButton::Paint(HDC target) {
  const ui::TSize size = ClientSize();
  ui::TOffscreen buffer(target, size.Width, size.Height);
  HDC dc = buffer.Dc();
  const ui::TRect all{0, 0, size.Width, size.Height};
  ui::FillSolid(dc, all, color_);
  RECT edge = ui::ToRect(all);
  ::DrawEdge(dc, &edge, BDR_RAISEDINNER, BF_RECT);
  const HGDIOBJ previous = Font() ? ::SelectObject(dc, Font()) : nullptr;
  ui::DrawTextUtf8(dc, Text(), all, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX, fontColor_);
  if (previous) ::SelectObject(dc, previous);
  buffer.Present();
}

LRESULT TTextButton::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  if (ui::HandlePaintMessage(Handle(), message, wparam, [this](HDC dc) { Paint(dc); })) return 0;
  switch (message) {
    case WM_ERASEBKGND:
      return 1;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      pressed_ = true;
      ::SetCapture(Handle());
      break;
    case WM_LBUTTONUP: {
      const bool wasPressed = pressed_;
      pressed_ = false;
      if (::GetCapture() == Handle()) ::ReleaseCapture();
      RECT client;
      ::GetClientRect(Handle(), &client);
      const POINT p{static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))};
      const LRESULT result = TControl::HandleMessage(message, wparam, lparam);  // OnMouseUp first
      if (wasPressed && ::PtInRect(&client, p) && OnClick) OnClick(*this);
      return result;
    }
    case WM_MOUSEMOVE:
      TrackLeave(Handle(), trackingLeave_);
      break;
    case WM_MOUSELEAVE:
      trackingLeave_ = false;
      DescendantMouseLeft();
      break;
    default:
      break;
  }
  return TControl::HandleMessage(message, wparam, lparam);
}

// --- TPaintBox -------------------------------------------------------------------------------

bool TPaintBox::CreateControl(ui::TControl* parent, const ui::TRect& bounds) {
  if (!RegisterWindowClass(kPaintBoxClass, 0, nullptr, nullptr)) return false;
  return CreateHandle(kPaintBoxClass, 0, WS_CHILD | WS_VISIBLE, "", bounds, ParentHandle(parent));
}

LRESULT TPaintBox::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  if (ui::HandlePaintMessage(Handle(), message, wparam, [this](HDC dc) {
        if (OnPaint) OnPaint(*this, dc);
      }))
    return 0;
  switch (message) {
    case WM_ERASEBKGND:
      return 1;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      ::SetCapture(Handle());
      break;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP: {
      const LRESULT result = TControl::HandleMessage(message, wparam, lparam);
      if (::GetCapture() == Handle()) ::ReleaseCapture();
      return result;
    }
    case WM_MOUSEMOVE:
      TrackLeave(Handle(), trackingLeave_);
      break;
    case WM_MOUSELEAVE:
      trackingLeave_ = false;
      DescendantMouseLeft();
      break;
    default:
      break;
  }
  return TControl::HandleMessage(message, wparam, lparam);
}

// --- TFloatingPanel --------------------------------------------------------------------------

std::unique_ptr<ui::TComponent> TFloatingPanel::CreateComponent(const ui::TLayoutEntry& entry) {
  if (entry.Kind == "textbutton") return std::make_unique<TTextButton>(this, entry.Name);
  if (entry.Kind == "paintbox") return std::make_unique<TPaintBox>(this, entry.Name);
  return TForm::CreateComponent(entry);
}

HRESULT TFloatingPanel::CreatePanel(const char* resourceName, const wchar_t* className, HWND owner) {
  if (const HRESULT hr = CreateFormFromResource(resourceName, className, WS_POPUP, WS_EX_TOPMOST | WS_EX_LAYERED, owner);
      FAILED(hr))
    return hr;
  ::SetLayeredWindowAttributes(Handle(), 0, fade_.Opacity(), LWA_ALPHA);
  const ui::TRect bounds = Bounds();
  // The system owns the region once it is set.
  if (HRGN shape = ::CreateRoundRectRgn(0, 0, bounds.Width() + 1, bounds.Height() + 1, 20, 20))
    if (!::SetWindowRgn(Handle(), shape, FALSE)) ::DeleteObject(shape);

  tmFade = Find<ui::TTimer>("tmFade");
  if (tmFade) {
    tmFade->SetInterval(TPanelFade::kIntervalMs);
    tmFade->SetEnabled(false);
    tmFade->OnTimer = [this](ui::TComponent&) { FadeTick(); };
  }
  for (const char* name : {"stReset", "stClose"}) {
    auto* button = Find<TTextButton>(name);
    if (!button) continue;
    button->OnMouseDown = [](ui::TControl& sender, ui::TMouseButton, UINT, ui::TPoint) { sender.SetFontColor(kSilver); };
    button->OnMouseUp = [](ui::TControl& sender, ui::TMouseButton, UINT, ui::TPoint) { sender.SetFontColor(kWhite); };
  }
  if (auto* reset = Find<TTextButton>("stReset")) reset->OnClick = [this](ui::TComponent&) { ResetClick(); };
  if (auto* close = Find<TTextButton>("stClose")) close->OnClick = [this](ui::TComponent&) { Close(); };
  // The pointer over any control counts as inside the panel.
  for (ui::TComponent* component : Components()) {
    auto* control = dynamic_cast<ui::TControl*>(component);
    if (!control) continue;
    control->OnMouseMove = [this, previous = control->OnMouseMove](ui::TControl& sender, ui::TMouseButton button,
                                                                   UINT keys, ui::TPoint point) {
      PointerMoved(sender.Handle());
      if (previous) previous(sender, button, keys, point);
    };
  }
  ui::TranslateAtCreation(*this);
  return S_OK;
}

void TFloatingPanel::ShowPanel() {
  if (!Handle()) return;
  RECT own{}, mine{};
  ::GetWindowRect(Handle(), &mine);
  const int width = mine.right - mine.left, height = mine.bottom - mine.top;
  if (HWND owner = ::GetWindow(Handle(), GW_OWNER); owner && ::GetWindowRect(owner, &own)) {
    const int left = own.left + ((own.right - own.left) - width) / 2;
    const int top = own.top + ((own.bottom - own.top) - height) / 2;
    ::SetWindowPos(Handle(), HWND_TOPMOST, left, top, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
  }
  ::ShowWindow(Handle(), SW_SHOW);
  ::SetForegroundWindow(Handle());
}

void TFloatingPanel::Close() {
  if (Handle()) ::PostMessageW(Handle(), WM_CLOSE, 0, 0);
}

void TFloatingPanel::ApplyOpacity() { ::SetLayeredWindowAttributes(Handle(), 0, fade_.Opacity(), LWA_ALPHA); }

void TFloatingPanel::PointerMoved(HWND over) {
  if (over == Handle()) TrackLeave(Handle(), trackingLeave_);
  if (inside_) return;
  inside_ = true;
  fade_.Enter();
  if (tmFade) tmFade->SetEnabled(false);
  ApplyOpacity();
}

void TFloatingPanel::PointerLeft() {
  inside_ = false;
  POINT cursor{};
  RECT window{};
  ::GetCursorPos(&cursor);
  ::GetWindowRect(Handle(), &window);
  fade_.Leave(!::PtInRect(&window, cursor));
  if (fade_.Running() && tmFade) tmFade->SetEnabled(true);
}

void TFloatingPanel::DescendantMouseLeft() { PointerLeft(); }

void TFloatingPanel::FadeTick() {
  const bool close = fade_.Tick();
  ApplyOpacity();
  if (close) {
    if (tmFade) tmFade->SetEnabled(false);
    Close();
  }
}

LRESULT TFloatingPanel::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_MOUSEMOVE:
      PointerMoved(Handle());
      break;
    case WM_MOUSELEAVE:
      trackingLeave_ = false;
      PointerLeft();
      return 0;
    case WM_ACTIVATE:
      // Another window took the activation: the panel goes at once, without fading.
      if (LOWORD(wparam) == WA_INACTIVE) Close();
      break;
    case WM_CLOSE:
      DestroyHandle();
      return 0;
    case WM_DESTROY:
      if (tmFade) tmFade->SetEnabled(false);
      Closing();
      break;
    case WM_NCDESTROY: {
      const LRESULT result = TForm::HandleMessage(message, wparam, lparam);
      Destroyed();
      return result;
    }
    default:
      break;
  }
  return TForm::HandleMessage(message, wparam, lparam);
}

}  // namespace qvr::audio
