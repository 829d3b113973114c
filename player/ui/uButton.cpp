#include "player/ui/uButton.h"

#include <span>
#include <stdexcept>

#include "common/win/text.h"
#include "player/resources/ResourceLoader.h"
#include "player/ui/Canvas.h"
#include "player/ui/core/SkinImage.h"

namespace qvr::ui {

TSkinButton::TSkinButton(TForm* owner, std::string name)
    : TControl(owner, std::move(name)), skinColor_(::GetSysColor(COLOR_BTNFACE)) {
  fontColor_ = ::GetSysColor(COLOR_BTNTEXT);
  inheritFontColor_ = false;
}

bool TSkinButton::CreateControl(TControl* parent, const TRect& bounds) {
  TRect r = bounds;
  if (r.Width() == 0 && r.Height() == 0) r = {r.Left, r.Top, r.Left + kDefaultWidth, r.Top + kDefaultHeight};
  return CreateSystemHandle(L"BUTTON", 0, WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, "", r, ParentHandle(parent));
}

HRESULT TSkinButton::LoadSkin(const char* resourceName, const char* resourceType) {
  std::span<const uint8_t> bytes;
  if (const HRESULT hr = resources::FindResourceBytes(::GetModuleHandleW(nullptr), resourceName, resourceType, bytes);
      FAILED(hr))
    return hr;
  resources::TBgraImage image;
  if (!resources::DecodePng(bytes, image)) return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
  const TSize size{4 * Width(), Height()};
  unique_hbitmap strip;
  if (const HRESULT hr = resources::CreateDibSection(ComposeOverFill(image, size.Width, size.Height, skinColor_), strip);
      FAILED(hr))
    return hr;
  strip_ = std::move(strip);
  stripSize_ = size;
  skinName_ = resourceName;
  MakeOwnerDrawn();
  Invalidate();
  return S_OK;
}

bool TSkinButton::LoadSkinFromFile(const std::string& path) {
  const std::wstring wide = Utf8ToWide(path);
  if (::GetFileAttributesW(wide.c_str()) == INVALID_FILE_ATTRIBUTES) return false;
  unique_hbitmap file(static_cast<HBITMAP>(
      ::LoadImageW(nullptr, wide.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION)));
  BITMAP info{};
  if (!file || !::GetObjectW(file.get(), sizeof(info), &info)) return false;
  HDC screen = ::GetDC(nullptr);
  unique_hbitmap strip(::CreateCompatibleBitmap(screen, info.bmWidth, info.bmHeight));
  if (strip) {
    TSelectedBitmap target(screen, strip.get());
    TSelectedBitmap source(screen, file.get());
    FillSolid(target.Dc(), {0, 0, info.bmWidth, info.bmHeight}, skinColor_);
    ::GdiTransparentBlt(target.Dc(), 0, 0, info.bmWidth, info.bmHeight, source.Dc(), 0, 0, info.bmWidth, info.bmHeight,
                        skinColor_);
  }
  ::ReleaseDC(nullptr, screen);
  if (!strip) return false;
  strip_ = std::move(strip);
  skinName_.clear();
  stripSize_ = {info.bmWidth, info.bmHeight};
  MakeOwnerDrawn();
  Invalidate();
  return true;
}

void TSkinButton::SetHot(bool hot) {
  hot_ = hot;
  Repaint();
}

void TSkinButton::SetDown(bool down) {
  if (!toggle_ || down == down_) return;
  down_ = down;
  Invalidate();
}

void TSkinButton::MakeOwnerDrawn() {
  if (!Handle() || (::GetWindowLongW(Handle(), GWL_STYLE) & BS_TYPEMASK) == BS_OWNERDRAW) return;
  // Straight to the button's own procedure: our BM_SETSTYLE handler keeps styles unchanged.
  DefaultHandler(BM_SETSTYLE, BS_OWNERDRAW, TRUE);
}

void TSkinButton::ApplyAttributes(const TAttributes& attributes) {
  TControl::ApplyAttributes(attributes);
  if (const std::string* color = FindAttribute(attributes, "skincolor")) {
    const auto value = ParseColorValue(*color);
    if (!value) throw std::invalid_argument(Name() + ": bad skincolor '" + *color + "'");
    skinColor_ = *value;
  }
  if (const std::string* toggle = FindAttribute(attributes, "toggle")) toggle_ = *toggle == "1";
  if (const std::string* skin = FindAttribute(attributes, "skin"); skin && FAILED(LoadSkin(skin->c_str())))
    throw std::runtime_error(Name() + ": cannot load the skin " + *skin);
}

void TSkinButton::Draw(const DRAWITEMSTRUCT& item) const {
  const int width = item.rcItem.right - item.rcItem.left, height = item.rcItem.bottom - item.rcItem.top;
  TOffscreen buffer(item.hDC, width, height);
  HDC dc = buffer.Dc();
  const int frame = ButtonFrame(item.itemState & ODS_SELECTED, down_, hot_);
  if (strip_) {
    TSelectedBitmap strip(dc, strip_.get());
    FillSolid(dc, {0, 0, width, height}, skinColor_);
    ::BitBlt(dc, 0, 0, width, height, strip.Dc(), frame * (stripSize_.Width / 4), 0, SRCCOPY);
  } else {
    FillSolid(dc, {0, 0, width, height}, skinColor_);
  }
  const std::string caption = Text();
  if (!caption.empty()) {
    HFONT font = reinterpret_cast<HFONT>(::SendMessageW(item.hwndItem, WM_GETFONT, 0, 0));
    HGDIOBJ previous = font ? ::SelectObject(dc, font) : nullptr;
    const SIZE extent = MeasureTextUtf8(dc, caption);
    const TPoint origin = ButtonCaptionOrigin(width, height, extent.cx, extent.cy);
    DrawTextUtf8(dc, caption, {origin.X, origin.Y, origin.X + extent.cx, origin.Y + extent.cy},
                 DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOCLIP, fontColor_);
    if (previous) ::SelectObject(dc, previous);
  }
  buffer.Present();
}

LRESULT TSkinButton::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  const bool ownerDrawn = Handle() && (::GetWindowLongW(Handle(), GWL_STYLE) & BS_TYPEMASK) == BS_OWNERDRAW;
  switch (message) {
    case WM_LBUTTONDBLCLK:
      // A double click is a second press, not a separate command.
      return HandleMessage(WM_LBUTTONDOWN, wparam, lparam);
    case WM_LBUTTONDOWN:
      if (toggle_ && !(wparam & (MK_SHIFT | MK_CONTROL)) && !(::GetKeyState(VK_MENU) & 0x8000)) {
        down_ = true;
        Invalidate();
      }
      break;
    case WM_MOUSEMOVE:
      if (!hot_) {
        hot_ = true;
        TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, Handle(), 0};
        ::TrackMouseEvent(&track);
        Invalidate();
      }
      break;
    case WM_MOUSELEAVE:
      hot_ = false;
      Invalidate();
      DescendantMouseLeft();
      break;
    case BM_SETSTYLE:
      // Becoming the default button would turn an owner-drawn button back into a push button.
      if (ownerDrawn) {
        defaultLook_ = (wparam & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
        Invalidate();
        return 0;
      }
      break;
    case WM_ENABLE:
    case WM_SETFONT: {
      const LRESULT result = TControl::HandleMessage(message, wparam, lparam);
      Invalidate();
      return result;
    }
    case WM_ERASEBKGND:
      if (ownerDrawn) return 1;
      break;
    default:
      break;
  }
  return TControl::HandleMessage(message, wparam, lparam);
}

bool TSkinButton::HandleReflected(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
  switch (message) {
    case WM_DRAWITEM:
      Draw(*reinterpret_cast<const DRAWITEMSTRUCT*>(lparam));
      result = TRUE;
      return true;
    case WM_MEASUREITEM: {
      auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(lparam);
      measure->itemWidth = static_cast<UINT>(Width());
      measure->itemHeight = static_cast<UINT>(Height());
      result = TRUE;
      return true;
    }
    case WM_COMMAND:
      if (HIWORD(wparam) == BN_CLICKED) {
        if (OnClick) OnClick(*this);
        result = 0;
        return true;
      }
      return false;
    default:
      return false;
  }
}

}  // namespace qvr::ui
