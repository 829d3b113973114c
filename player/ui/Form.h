// Forms and their components: the player's windows are TForms that own named components in
// creation order (what the language files walk), built from a "FORM" layout resource. Visual
// components are TControls (a window each, with caption, hint, Tag, design bounds and anchors);
// the others (timers, picture holders, menus) are plain TComponents.
//
// Ownership: a form owns every component it creates and frees them after its own window is
// gone; components never outlive their form. Anchors: each control that has children lays
// them out again on every resize of its own client area. Hints: one tooltip window per form,
// fed by the controls' mouse messages. Keys: a form with KeyPreview sees every keyboard message
// of its windows first (PreviewKey). Everything runs on the user-interface thread.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "common/win/unique_resource.h"
#include "player/ui/Window.h"
#include "player/ui/core/FormLayout.h"

namespace qvr::ui {

class TForm;
class TComponent;
class TControl;

enum class TMouseButton { mbLeft, mbRight, mbMiddle };

// Mouse events: the sender, the button (for moves: none is meaningful, mbLeft is passed), the
// MK_* key state of the message, and the point in the sender's client coordinates.
using TMouseEvent = std::function<void(TControl& sender, TMouseButton button, UINT keys, TPoint point)>;
using TNotifyEvent = std::function<void(TComponent& sender)>;

class TComponent {
 public:
  TComponent(TForm* owner, std::string name) : owner_(owner), name_(std::move(name)) {}
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;
  virtual ~TComponent() = default;

  const std::string& Name() const { return name_; }
  TForm* Owner() const { return owner_; }
  int Tag() const { return tag_; }
  void SetTag(int tag) { tag_ = tag; }
  // Controls with text the language files may replace; timers and picture holders are not.
  virtual bool IsVisual() const { return false; }
  // Applies the layout's attributes (after creation). Unknown keys are left for the form.
  virtual void ApplyAttributes(const TAttributes&) {}

 private:
  TForm* owner_;
  std::string name_;
  int tag_ = 0;
};

class TControl : public TComponent, public TWindow {
 public:
  TControl(TForm* owner, std::string name) : TComponent(owner, std::move(name)) {}
  bool IsVisual() const override { return true; }

  // Creates the control's window inside `parent` (null for a form) at its design bounds.
  virtual bool CreateControl(TControl* parent, const TRect& bounds) = 0;

  // Caption or text, UTF-8.
  virtual std::string Text() const;
  virtual void SetText(const std::string& text);
  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& hint);

  // Rows of a list box or nodes of a tree view in flat order, whose texts the language files
  // may replace by index; plain controls have none.
  virtual int ItemCount() const { return 0; }
  virtual std::string ItemText(int) const { return {}; }
  virtual void SetItemText(int, const std::string&) {}

  TControl* Parent() const { return parent_; }
  const std::vector<TControl*>& Children() const { return children_; }

  // Bounds in the parent's client coordinates (screen coordinates for a top-level window).
  TRect Bounds() const;
  void SetBounds(const TRect& bounds);
  void SetLeft(int left);
  void SetTop(int top);
  int Left() const { return Bounds().Left; }
  int Top() const { return Bounds().Top; }
  int Width() const { return Bounds().Width(); }
  int Height() const { return Bounds().Height(); }
  TSize ClientSize() const;

  // The design bounds from the layout. Bounds set from code become the new reference for the
  // anchors, measured against the parent's size at that moment (as a designer would move it).
  const TRect& DesignBounds() const { return designBounds_; }
  unsigned Anchors() const { return anchors_; }
  void SetAnchors(unsigned anchors) { anchors_ = anchors; }

  bool Visible() const;
  void SetVisible(bool visible);
  bool Enabled() const;
  void SetEnabled(bool enabled);
  void SetFocus();

  TColor Color() const { return color_; }
  virtual void SetColor(TColor color);
  TColor FontColor() const { return fontColor_; }
  void SetFontColor(TColor color);
  HFONT Font() const { return font_; }
  void SetFont(HFONT font);  // the form owns the font object
  void SetHandCursor(bool hand) { handCursor_ = hand; }

  TMouseEvent OnMouseDown, OnMouseUp, OnMouseMove, OnDblClick;

  void ApplyAttributes(const TAttributes& attributes) override;

 protected:
  friend class TForm;
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;
  // Child bookkeeping and the anchor layout; called from creation and WM_SIZE.
  void Adopt(TControl* parent, const TRect& designBounds);
  void LayoutChildren();
  // Raises the mouse events and feeds the tooltip; derived controls call it before their own
  // handling so that OnMouseDown comes first.
  void RaiseMouseEvent(UINT message, WPARAM wparam, LPARAM lparam);
  HWND ParentHandle(TControl* parent) const;

  TColor color_ = ::GetSysColor(COLOR_BTNFACE);
  TColor fontColor_ = ::GetSysColor(COLOR_BTNTEXT);
  bool inheritFontColor_ = true;  // buttons keep the system button-text colour instead

 private:
  TControl* parent_ = nullptr;
  std::vector<TControl*> children_;
  TRect designBounds_;
  TRect anchorBounds_;     // bounds the anchors start from
  TSize anchorParent_;     // the parent's client size when anchorBounds_ were taken
  bool anchoring_ = false;  // the parent is laying this control out
  unsigned anchors_ = kDefaultAnchors;
  std::string fontFace_;
  int fontHeight_ = 0;
  bool fontBold_ = false;
  std::string hint_;
  HFONT font_ = nullptr;
  bool handCursor_ = false;
};

// A timer component on its form's window; ids from kFirstTimerId up are the layer's.
class TTimer : public TComponent {
 public:
  static constexpr UINT_PTR kFirstTimerId = 1000;
  TTimer(TForm* owner, std::string name, UINT_PTR id) : TComponent(owner, std::move(name)), id_(id) {}
  ~TTimer() override;
  UINT Interval() const { return interval_; }
  void SetInterval(UINT milliseconds);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  UINT_PTR Id() const { return id_; }
  TNotifyEvent OnTimer;
  void ApplyAttributes(const TAttributes& attributes) override;

 private:
  void Update();
  UINT_PTR id_;
  UINT interval_ = 1000;
  bool enabled_ = false;
};

// A hidden picture holder: a PNG resource decoded once, drawn with its alpha by owners.
class TImage : public TComponent {
 public:
  using TComponent::TComponent;
  HRESULT LoadPng(const char* resourceName);
  void Draw(HDC dc, int x, int y) const;
  TSize Size() const { return size_; }
  void ApplyAttributes(const TAttributes& attributes) override;

 private:
  unique_hbitmap bitmap_;  // premultiplied 32-bit DIB
  TSize size_;
};

// A line of text on a panel ("static"): system STATIC control, colours answered through
// WM_CTLCOLORSTATIC, no "&" prefixes; attribute align=right for right alignment.
class TStaticText : public TControl {
 public:
  using TControl::TControl;
  bool CreateControl(TControl* parent, const TRect& bounds) override;
  void SetColor(TColor color) override;
  void ApplyAttributes(const TAttributes& attributes) override;

 protected:
  bool HandleReflected(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) override;

 private:
  unique_gdi brush_;
  DWORD align_ = SS_LEFT;
};

class TForm : public TControl, public IMessageFilter {
 public:
  explicit TForm(std::string name);
  ~TForm() override;

  // Creates the form's window (class `className`, registered here) at its design client size
  // and every component of the layout in order. The layout's form name must be this form's.
  HRESULT CreateForm(const TFormLayout& layout, const wchar_t* className, DWORD style, DWORD exStyle, HWND owner);
  // The same from a "FORM" resource of the executable.
  HRESULT CreateFormFromResource(const char* resourceName, const wchar_t* className, DWORD style, DWORD exStyle,
                                 HWND owner);
  bool CreateControl(TControl* parent, const TRect& bounds) override;

  // Components in creation order (the form itself is not among them).
  const std::vector<TComponent*>& Components() const { return order_; }
  TComponent* FindComponent(std::string_view name) const;
  template <typename T>
  T* Find(std::string_view name) const {
    return dynamic_cast<T*>(FindComponent(name));
  }
  // Adds a component made in code (menus, for instance) at the end of the order.
  TComponent& AddComponent(std::unique_ptr<TComponent> component);

  // A font shared by the form's controls; made once per face, height and weight.
  HFONT MakeFont(const std::string& face, int height, bool bold);

  HWND TooltipHandle() const { return tooltip_; }
  void UpdateHint(TControl& control);
  void RelayToTooltip(HWND from, UINT message, WPARAM wparam, LPARAM lparam);

  bool KeyPreview() const { return keyPreview_; }
  void SetKeyPreview(bool on) { keyPreview_ = on; }

 protected:
  // The component for one layout line. Forms may make their own kinds and fall back to this.
  virtual std::unique_ptr<TComponent> CreateComponent(const TLayoutEntry& entry);
  // Keys of the form's windows before the focused control (KeyPreview on); true consumes.
  virtual bool PreviewKey(const MSG& message);
  bool PreTranslate(MSG& message) override;
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  std::string className_;
  std::vector<std::unique_ptr<TComponent>> owned_;
  std::vector<TComponent*> order_;
  std::map<std::tuple<std::string, int, bool>, unique_gdi> fonts_;
  HWND tooltip_ = nullptr;  // destroyed with the form's window
  bool keyPreview_ = false;
  UINT_PTR nextTimerId_ = TTimer::kFirstTimerId;
};

// Every form whose window exists, in creation order: what a change of language walks.
const std::vector<TForm*>& OpenForms();

// The language seam: a form calls TranslateAtCreation once its components exist; the
// localisation layer installs the translator. Without one, nothing happens.
using TFormTranslator = std::function<void(TForm&)>;
void SetFormTranslator(TFormTranslator translator);
void TranslateAtCreation(TForm& form);

}  // namespace qvr::ui
