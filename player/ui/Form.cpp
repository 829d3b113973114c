#include "player/ui/Form.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <span>
#include <stdexcept>

#include "common/win/text.h"
#include "player/resources/ResourceLoader.h"
#include "player/ui/Canvas.h"
#include "player/ui/Menus.h"
#include "player/ui/PanelX.h"
#include "player/ui/Tracker.h"
#include "player/ui/uButton.h"

namespace qvr::ui {

namespace {

constexpr char kFormResourceType[] = "FORM";

bool FlagValue(const TAttributes& attributes, std::string_view key, bool& value) {
  const std::string* text = FindAttribute(attributes, key);
  if (!text) return false;
  value = *text == "1" || *text == "true";
  return true;
}

// A bad attribute value is a fault of the layout, which ships inside the program.
[[noreturn]] void BadAttribute(const TComponent& component, std::string_view key, const std::string& value) {
  throw std::invalid_argument(component.Name() + ": bad " + std::string(key) + " '" + value + "'");
}

std::vector<TForm*>& OpenFormList() {
  static std::vector<TForm*> forms;
  return forms;
}

TFormTranslator& Translator() {
  static TFormTranslator translator;
  return translator;
}

}  // namespace

const std::vector<TForm*>& OpenForms() { return OpenFormList(); }

void SetFormTranslator(TFormTranslator translator) { Translator() = std::move(translator); }

void TranslateAtCreation(TForm& form) {
  if (Translator()) Translator()(form);
}

// --- TControl --------------------------------------------------------------------------------

std::string TControl::Text() const {
  if (!Handle()) return {};
  const int length = ::GetWindowTextLengthW(Handle());
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  text.resize(static_cast<size_t>(::GetWindowTextW(Handle(), text.data(), length + 1)));
  return WideToUtf8(text);
}

void TControl::SetText(const std::string& text) {
  if (Handle()) ::SetWindowTextW(Handle(), Utf8ToWide(text).c_str());
  Invalidate();
}

void TControl::SetHint(const std::string& hint) {
  hint_ = hint;
  if (Owner() && Owner() != this) Owner()->UpdateHint(*this);
}

TRect TControl::Bounds() const {
  if (!Handle()) return anchorBounds_;
  RECT r;
  ::GetWindowRect(Handle(), &r);
  if (HWND parent = (::GetWindowLongW(Handle(), GWL_STYLE) & WS_CHILD) ? ::GetParent(Handle()) : nullptr)
    ::MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
  return FromRect(r);
}

void TControl::SetBounds(const TRect& bounds) {
  if (!anchoring_) {
    anchorBounds_ = bounds;
    if (parent_) anchorParent_ = parent_->ClientSize();
  }
  if (Handle()) ::MoveWindow(Handle(), bounds.Left, bounds.Top, bounds.Width(), bounds.Height(), TRUE);
}

void TControl::SetLeft(int left) {
  TRect r = Bounds();
  SetBounds({left, r.Top, left + r.Width(), r.Bottom});
}

void TControl::SetTop(int top) {
  TRect r = Bounds();
  SetBounds({r.Left, top, r.Right, top + r.Height()});
}

TSize TControl::ClientSize() const {
  RECT r{};
  if (Handle()) ::GetClientRect(Handle(), &r);
  return {r.right, r.bottom};
}

bool TControl::Visible() const { return Handle() && (::GetWindowLongW(Handle(), GWL_STYLE) & WS_VISIBLE); }

void TControl::SetVisible(bool visible) {
  if (Handle()) ::ShowWindow(Handle(), visible ? SW_SHOW : SW_HIDE);
}

bool TControl::Enabled() const { return Handle() && ::IsWindowEnabled(Handle()); }

void TControl::SetEnabled(bool enabled) {
  if (Handle()) ::EnableWindow(Handle(), enabled);
}

void TControl::SetFocus() {
  if (Handle()) ::SetFocus(Handle());
}

void TControl::SetColor(TColor color) {
  color_ = color;
  Invalidate();
}

void TControl::SetFontColor(TColor color) {
  fontColor_ = color;
  Invalidate();
}

void TControl::SetFont(HFONT font) {
  font_ = font;
  if (Handle()) ::SendMessageW(Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

void TControl::ApplyAttributes(const TAttributes& attributes) {
  if (parent_ && inheritFontColor_) fontColor_ = parent_->fontColor_;
  for (const auto& [key, value] : attributes) {
    if (key == "caption") {
      SetText(value);
    } else if (key == "hint") {
      SetHint(value);
    } else if (key == "tag") {
      const auto tag = ParseIntValue(value);
      if (!tag) BadAttribute(*this, key, value);
      SetTag(*tag);
    } else if (key == "color") {
      const auto color = ParseColorValue(value);
      if (!color) BadAttribute(*this, key, value);
      SetColor(*color);
    } else if (key == "fontcolor") {
      const auto color = ParseColorValue(value);
      if (!color) BadAttribute(*this, key, value);
      SetFontColor(*color);
    } else if (key == "cursor") {
      SetHandCursor(value == "hand");
    }
  }
  // A control takes its parent's font unless it names its own face, height or weight.
  if (parent_) {
    fontFace_ = parent_->fontFace_;
    fontHeight_ = parent_->fontHeight_;
    fontBold_ = parent_->fontBold_;
  }
  bool fontChanged = false;
  if (const std::string* face = FindAttribute(attributes, "font")) fontFace_ = *face, fontChanged = true;
  if (const std::string* size = FindAttribute(attributes, "fontsize")) {
    const auto height = ParseIntValue(*size);
    if (!height) BadAttribute(*this, "fontsize", *size);
    fontHeight_ = *height;
    fontChanged = true;
  }
  if (FlagValue(attributes, "bold", fontBold_)) fontChanged = true;
  if ((fontChanged || (parent_ && parent_->font_)) && !fontFace_.empty() && Owner())
    SetFont(Owner()->MakeFont(fontFace_, fontHeight_, fontBold_));
  bool flag = true;
  if (FlagValue(attributes, "enabled", flag)) SetEnabled(flag);
  if (FlagValue(attributes, "visible", flag)) SetVisible(flag);
}

void TControl::Adopt(TControl* parent, const TRect& designBounds) {
  parent_ = parent;
  if (parent) parent->children_.push_back(this);
  designBounds_ = anchorBounds_ = designBounds;
  anchorParent_ = parent ? parent->ClientSize() : TSize{};
}

void TControl::LayoutChildren() {
  const TSize now = ClientSize();
  for (TControl* child : children_) {
    const TRect r = AnchoredBounds(child->anchorBounds_, child->anchorParent_, now, child->anchors_);
    child->anchoring_ = true;
    child->SetBounds(r);
    child->anchoring_ = false;
  }
}

HWND TControl::ParentHandle(TControl* parent) const { return parent ? parent->Handle() : nullptr; }

void TControl::RaiseMouseEvent(UINT message, WPARAM wparam, LPARAM lparam) {
  if (Owner()) Owner()->RelayToTooltip(Handle(), message, wparam, lparam);
  const TPoint point{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
  const UINT keys = static_cast<UINT>(GET_KEYSTATE_WPARAM(wparam));
  auto raise = [&](const TMouseEvent& event, TMouseButton button) {
    if (event) event(*this, button, keys, point);
  };
  switch (message) {
    case WM_LBUTTONDOWN: raise(OnMouseDown, TMouseButton::mbLeft); break;
    case WM_RBUTTONDOWN: raise(OnMouseDown, TMouseButton::mbRight); break;
    case WM_MBUTTONDOWN: raise(OnMouseDown, TMouseButton::mbMiddle); break;
    case WM_LBUTTONUP: raise(OnMouseUp, TMouseButton::mbLeft); break;
    case WM_RBUTTONUP: raise(OnMouseUp, TMouseButton::mbRight); break;
    case WM_MBUTTONUP: raise(OnMouseUp, TMouseButton::mbMiddle); break;
    case WM_MOUSEMOVE: raise(OnMouseMove, TMouseButton::mbLeft); break;
    case WM_LBUTTONDBLCLK: raise(OnDblClick, TMouseButton::mbLeft); break;
    default: break;
  }
}

LRESULT TControl::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_SIZE:
      LayoutChildren();
      break;
    case WM_SETCURSOR:
      if (handCursor_ && LOWORD(lparam) == HTCLIENT && reinterpret_cast<HWND>(wparam) == Handle()) {
        ::SetCursor(::LoadCursorW(nullptr, MAKEINTRESOURCEW(32649)));  // IDC_HAND
        return TRUE;
      }
      break;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
    case WM_MOUSEMOVE:
    case WM_LBUTTONDBLCLK:
      RaiseMouseEvent(message, wparam, lparam);
      break;
    default:
      break;
  }
  return DefaultHandler(message, wparam, lparam);
}

// --- TTimer ----------------------------------------------------------------------------------

TTimer::~TTimer() {
  if (enabled_ && Owner() && Owner()->Handle()) ::KillTimer(Owner()->Handle(), id_);
}

void TTimer::SetInterval(UINT milliseconds) {
  interval_ = milliseconds;
  Update();
}

void TTimer::SetEnabled(bool enabled) {
  enabled_ = enabled;
  Update();
}

void TTimer::Update() {
  HWND window = Owner() ? Owner()->Handle() : nullptr;
  if (!window) return;
  if (enabled_ && interval_ > 0) ::SetTimer(window, id_, interval_, nullptr);
  else ::KillTimer(window, id_);
}

void TTimer::ApplyAttributes(const TAttributes& attributes) {
  if (const std::string* text = FindAttribute(attributes, "interval")) {
    const auto value = ParseIntValue(*text);
    if (!value || *value < 0) BadAttribute(*this, "interval", *text);
    interval_ = static_cast<UINT>(*value);
  }
  bool enabled = enabled_;
  FlagValue(attributes, "enabled", enabled);
  SetEnabled(enabled);
}

// --- TImage ----------------------------------------------------------------------------------

HRESULT TImage::LoadPng(const char* resourceName) {
  std::span<const uint8_t> bytes;
  if (const HRESULT hr = resources::FindResourceBytes(::GetModuleHandleW(nullptr), resourceName,
                                                      resources::kPngResourceType, bytes);
      FAILED(hr))
    return hr;
  resources::TBgraImage image;
  if (!resources::DecodePng(bytes, image)) return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
  // AlphaBlend wants premultiplied colour.
  for (size_t i = 0; i + 3 < image.Pixels.size(); i += 4)
    for (int c = 0; c < 3; ++c) image.Pixels[i + c] = static_cast<uint8_t>(image.Pixels[i + c] * image.Pixels[i + 3] / 255);
  if (const HRESULT hr = resources::CreateDibSection(image, bitmap_); FAILED(hr)) return hr;
  size_ = {static_cast<int>(image.Width), static_cast<int>(image.Height)};
  return S_OK;
}

void TImage::Draw(HDC dc, int x, int y) const {
  if (!bitmap_) return;
  TSelectedBitmap source(dc, bitmap_.get());
  BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  ::GdiAlphaBlend(dc, x, y, size_.Width, size_.Height, source.Dc(), 0, 0, size_.Width, size_.Height, blend);
}

void TImage::ApplyAttributes(const TAttributes& attributes) {
  if (const std::string* name = FindAttribute(attributes, "png"); name && FAILED(LoadPng(name->c_str())))
    throw std::runtime_error(Name() + ": cannot load the picture " + *name);
}

// --- TStaticText -----------------------------------------------------------------------------

bool TStaticText::CreateControl(TControl* parent, const TRect& bounds) {
  return CreateSystemHandle(L"STATIC", 0, WS_CHILD | WS_VISIBLE | SS_NOPREFIX | align_, "", bounds, ParentHandle(parent));
}

void TStaticText::SetColor(TColor color) {
  brush_.reset();
  TControl::SetColor(color);
}

void TStaticText::ApplyAttributes(const TAttributes& attributes) {
  if (const std::string* align = FindAttribute(attributes, "align")) {
    align_ = *align == "right" ? SS_RIGHT : *align == "center" ? SS_CENTER : SS_LEFT;
    if (Handle()) {
      const LONG style = ::GetWindowLongW(Handle(), GWL_STYLE);
      ::SetWindowLongW(Handle(), GWL_STYLE, (style & ~(SS_RIGHT | SS_CENTER)) | static_cast<LONG>(align_));
    }
  }
  TControl::ApplyAttributes(attributes);
}

bool TStaticText::HandleReflected(UINT message, WPARAM wparam, LPARAM, LRESULT& result) {
  if (message != WM_CTLCOLORSTATIC) return false;
  HDC dc = reinterpret_cast<HDC>(wparam);
  ::SetTextColor(dc, fontColor_);
  ::SetBkColor(dc, color_);
  if (!brush_) brush_.reset(::CreateSolidBrush(color_));
  result = reinterpret_cast<LRESULT>(brush_.get());
  return true;
}

// --- TForm -----------------------------------------------------------------------------------

TForm::TForm(std::string name) : TControl(this, std::move(name)) {}

TForm::~TForm() {
  // The windows go first (children included), then the objects that owned them.
  DestroyHandle();
  std::erase(OpenFormList(), this);
}

bool TForm::CreateControl(TControl*, const TRect&) { return false; }

HRESULT TForm::CreateFormFromResource(const char* resourceName, const wchar_t* className, DWORD style, DWORD exStyle,
                                      HWND owner) {
  std::string text;
  if (const HRESULT hr = resources::LoadTextResource(::GetModuleHandleW(nullptr), resourceName, kFormResourceType, text);
      FAILED(hr))
    return hr;
  TFormLayout layout;
  std::string error;
  if (!ParseFormLayout(text, layout, error)) {
    ReportException(std::string(resourceName) + ": " + error);
    return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
  }
  return CreateForm(layout, className, style, exStyle, owner);
}

HRESULT TForm::CreateForm(const TFormLayout& layout, const wchar_t* className, DWORD style, DWORD exStyle, HWND owner) {
  if (layout.Name != Name()) return E_INVALIDARG;
  if (!RegisterWindowClass(className, CS_DBLCLKS, nullptr, nullptr)) return hresult_from_last_error();
  RECT frame{0, 0, layout.Size.Width, layout.Size.Height};
  ::AdjustWindowRectEx(&frame, style, FALSE, exStyle);
  // Placed at the origin: the form's owner positions it before showing it.
  const TRect bounds{0, 0, frame.right - frame.left, frame.bottom - frame.top};
  if (!CreateHandle(className, exStyle, style & ~WS_VISIBLE, "", bounds, owner)) return hresult_from_last_error();
  Adopt(nullptr, bounds);
  if (std::find(OpenFormList().begin(), OpenFormList().end(), this) == OpenFormList().end())
    OpenFormList().push_back(this);

  HRESULT result = S_OK;
  const bool built = GuardedCall([&] {
    ApplyAttributes(layout.Attributes);
    for (const TLayoutEntry& entry : layout.Components) {
      std::unique_ptr<TComponent> component = CreateComponent(entry);
      if (!component) throw std::invalid_argument(entry.Name + ": unknown kind '" + entry.Kind + "'");
      if (auto* control = dynamic_cast<TControl*>(component.get())) {
        TControl* parent = entry.Parent == Name() ? this : Find<TControl>(entry.Parent);
        if (!parent) throw std::invalid_argument(entry.Name + ": parent '" + entry.Parent + "' is no control");
        control->SetAnchors(entry.Anchors);
        control->Adopt(parent, entry.Bounds);
        if (!control->CreateControl(parent, entry.Bounds)) {
          result = hresult_from_last_error();
          throw std::runtime_error(entry.Name + ": the window cannot be created");
        }
      }
      TComponent& added = AddComponent(std::move(component));
      added.ApplyAttributes(entry.Attributes);
    }
  });
  if (!built) {
    DestroyHandle();
    std::erase(OpenFormList(), this);
    return FAILED(result) ? result : HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
  }
  if (style & WS_VISIBLE) ::ShowWindow(Handle(), SW_SHOW);
  return S_OK;
}

std::unique_ptr<TComponent> TForm::CreateComponent(const TLayoutEntry& entry) {
  if (entry.Kind == "skinbutton") return std::make_unique<TSkinButton>(this, entry.Name);
  if (entry.Kind == "skinpanel") return std::make_unique<TSkinPanel>(this, entry.Name);
  if (entry.Kind == "tracker") return std::make_unique<TTracker>(this, entry.Name);
  if (entry.Kind == "static") return std::make_unique<TStaticText>(this, entry.Name);
  if (entry.Kind == "image") return std::make_unique<TImage>(this, entry.Name);
  if (entry.Kind == "popupmenu") return std::make_unique<TPopupMenu>(this, entry.Name);
  if (entry.Kind == "menuitem") {
    auto* parent = Find<TMenuItem>(entry.Parent);
    if (!parent) throw std::invalid_argument(entry.Name + ": parent '" + entry.Parent + "' is no menu");
    auto item = std::make_unique<TMenuItem>(this, entry.Name);
    parent->Attach(*item);
    return item;
  }
  if (entry.Kind == "timer") return std::make_unique<TTimer>(this, entry.Name, nextTimerId_++);
  return nullptr;
}

TComponent& TForm::AddComponent(std::unique_ptr<TComponent> component) {
  order_.push_back(component.get());
  owned_.push_back(std::move(component));
  return *owned_.back();
}

TComponent* TForm::FindComponent(std::string_view name) const {
  for (TComponent* component : order_)
    if (component->Name() == name) return component;
  return nullptr;
}

HFONT TForm::MakeFont(const std::string& face, int height, bool bold) {
  auto& font = fonts_[{face, height, bold}];
  if (!font) {
    LOGFONTW logFont{};
    logFont.lfHeight = height;
    logFont.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    logFont.lfCharSet = DEFAULT_CHARSET;
    logFont.lfQuality = DEFAULT_QUALITY;
    const std::wstring wide = Utf8ToWide(face);
    wcsncpy(logFont.lfFaceName, wide.c_str(), LF_FACESIZE - 1);
    font.reset(::CreateFontIndirectW(&logFont));
  }
  return static_cast<HFONT>(font.get());
}

void TForm::UpdateHint(TControl& control) {
  if (!Handle() || !control.Handle()) return;
  if (!tooltip_) {
    INITCOMMONCONTROLSEX init{sizeof(init), ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&init);
    tooltip_ = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                 0, 0, 0, 0, Handle(), nullptr, ::GetModuleHandleW(nullptr), nullptr);
    if (!tooltip_) return;
  }
  std::wstring text = Utf8ToWide(control.Hint());
  TTTOOLINFOW tool{};
  tool.cbSize = TTTOOLINFOW_V2_SIZE;  // understood by every comctl32, with or without a manifest
  tool.uFlags = TTF_IDISHWND;
  tool.hwnd = Handle();
  tool.uId = reinterpret_cast<UINT_PTR>(control.Handle());
  tool.lpszText = text.data();
  // Replaced rather than updated: asking for a tool's info copies its old text into our buffer.
  ::SendMessageW(tooltip_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  if (!text.empty()) ::SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void TForm::RelayToTooltip(HWND from, UINT message, WPARAM wparam, LPARAM lparam) {
  if (!tooltip_) return;
  MSG relayed{from, message, wparam, lparam, static_cast<DWORD>(::GetMessageTime()), {}};
  ::SendMessageW(tooltip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relayed));
}

bool TForm::PreviewKey(const MSG&) { return false; }

bool TForm::PreTranslate(MSG& message) { return keyPreview_ && PreviewKey(message); }

LRESULT TForm::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCDESTROY) std::erase(OpenFormList(), this);
  if (message == WM_TIMER && wparam >= TTimer::kFirstTimerId) {
    for (TComponent* component : order_) {
      auto* timer = dynamic_cast<TTimer*>(component);
      if (timer && timer->Id() == wparam) {
        if (timer->OnTimer) timer->OnTimer(*timer);
        return 0;
      }
    }
    return 0;
  }
  if (message == WM_ERASEBKGND) {
    RECT client;
    ::GetClientRect(Handle(), &client);
    FillSolid(reinterpret_cast<HDC>(wparam), FromRect(client), color_);
    return 1;
  }
  if (message == WM_NCDESTROY) tooltip_ = nullptr;  // an owned popup: gone with the form
  return TControl::HandleMessage(message, wparam, lparam);
}

}  // namespace qvr::ui
