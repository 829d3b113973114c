#include "player/ui/PanelX.h"

#include <stdexcept>

#include "common/win/text.h"
#include "player/ui/Canvas.h"

namespace qvr::ui {

namespace {
constexpr wchar_t kPanelClass[] = L"QvrSkinPanel";
}

TSkinPanel::TSkinPanel(TForm* owner, std::string name) : TControl(owner, std::move(name)) {}

bool TSkinPanel::CreateControl(TControl* parent, const TRect& bounds) {
  if (!RegisterWindowClass(kPanelClass, CS_DBLCLKS, nullptr, nullptr)) return false;
  return CreateHandle(kPanelClass, 0, WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, "", bounds,
                      ParentHandle(parent));
}

HRESULT TSkinPanel::LoadSkin(const char* resourceName, int edgeWidth) {
  edgeWidth_ = edgeWidth;
  unique_hbitmap skin(static_cast<HBITMAP>(::LoadImageW(::GetModuleHandleW(nullptr), Utf8ToWide(resourceName).c_str(),
                                                        IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
  if (!skin) return hresult_from_last_error();
  SetSkin(std::move(skin), edgeWidth);
  return S_OK;
}

void TSkinPanel::SetSkin(unique_hbitmap bitmap, int edgeWidth) {
  BITMAP info{};
  if (!bitmap || !::GetObjectW(bitmap.get(), sizeof(info), &info)) info = {};
  edgeWidth_ = edgeWidth;
  skin_ = std::move(bitmap);
  skinSize_ = {info.bmWidth, info.bmHeight};
  skinned_ = true;
  Invalidate();
}

void TSkinPanel::SetText(const std::string& text) {
  caption_ = text;
  TControl::SetText(text);
}

void TSkinPanel::ApplyAttributes(const TAttributes& attributes) {
  TControl::ApplyAttributes(attributes);
  if (const std::string* buffered = FindAttribute(attributes, "buffered")) buffered_ = *buffered != "0";
  if (const std::string* skin = FindAttribute(attributes, "skin")) {
    int edge = 0;
    if (const std::string* text = FindAttribute(attributes, "edge")) {
      const auto value = ParseIntValue(*text);
      if (!value) throw std::invalid_argument(Name() + ": bad edge '" + *text + "'");
      edge = *value;
    }
    if (FAILED(LoadSkin(skin->c_str(), edge))) throw std::runtime_error(Name() + ": cannot load the skin " + *skin);
  }
}

void TSkinPanel::Paint(HDC target) {
  const TSize size = ClientSize();
  TOffscreen buffer(target, buffered_ ? size.Width : 0, buffered_ ? size.Height : 0);
  HDC dc = buffer.Dc();
  const TRect client{0, 0, size.Width, size.Height};
  FillSolid(dc, client, color_);
  if (skinned_ && skin_) {
    TSelectedBitmap skin(dc, skin_.get());
    const int previousMode = ::SetStretchBltMode(dc, COLORONCOLOR);
    for (const TBlit& blit : PanelSkinBlits(size.Width, size.Height, skinSize_.Width, skinSize_.Height, edgeWidth_)) {
      ::StretchBlt(dc, blit.Dest.Left, blit.Dest.Top, blit.Dest.Width(), blit.Dest.Height(), skin.Dc(),
                   blit.Source.Left, blit.Source.Top, blit.Source.Width(), blit.Source.Height(), SRCCOPY);
    }
    ::SetStretchBltMode(dc, previousMode);
  }
  if (OnPaintHook) OnPaintHook(*this, dc, client);
  if (!caption_.empty()) {
    HGDIOBJ previous = Font() ? ::SelectObject(dc, Font()) : nullptr;
    const SIZE extent = MeasureTextUtf8(dc, caption_);
    const TPoint origin = PanelCaptionOrigin(size.Width, size.Height, extent.cx, extent.cy);
    DrawTextUtf8(dc, caption_, {origin.X, origin.Y, origin.X + extent.cx, origin.Y + extent.cy},
                 DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOCLIP | DT_NOPREFIX, fontColor_);
    if (previous) ::SelectObject(dc, previous);
  }
  buffer.Present();
}

void TSkinPanel::TrackLeave() {
  if (tracking_) return;
  TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, Handle(), 0};
  tracking_ = ::TrackMouseEvent(&track) != FALSE;
}

void TSkinPanel::CheckLeave() {
  POINT cursor;
  RECT window;
  if (!::GetCursorPos(&cursor) || !::GetWindowRect(Handle(), &window)) return;
  if (!::PtInRect(&window, cursor) && OnMouseLeaveHook) OnMouseLeaveHook(*this);
}

void TSkinPanel::DescendantMouseLeft() {
  // The pointer left a child: it may have left the panel too, or come back onto its surface.
  if (Handle()) CheckLeave();
  TControl::DescendantMouseLeft();
}

LRESULT TSkinPanel::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  if (HandlePaintMessage(Handle(), message, wparam, [this](HDC dc) { Paint(dc); })) return 0;
  switch (message) {
    case WM_ERASEBKGND:
      if (skinned_) return 1;
      break;
    case WM_MOUSEMOVE:
      TrackLeave();
      break;
    case WM_MOUSELEAVE:
      tracking_ = false;
      CheckLeave();
      TControl::DescendantMouseLeft();
      break;
    case WM_SIZE:
      Invalidate();
      if (OnBoundsChanged) OnBoundsChanged(*this);
      break;
    case WM_MOVE:
      if (OnBoundsChanged) OnBoundsChanged(*this);
      break;
    default:
      break;
  }
  return TControl::HandleMessage(message, wparam, lparam);
}

}  // namespace qvr::ui
