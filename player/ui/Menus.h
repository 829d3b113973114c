// Pop-up menus as form components: a TPopupMenu and its TMenuItems are declared in a form's
// layout (kinds "popupmenu" and "menuitem", the parent naming the menu or item they belong to)
// or made in code, so the language files reach their captions and hints like any control's.
//
// The system menu is built afresh from the items each time the menu pops up, after OnPopup has
// set enabling and check marks, so items can change freely between pop-ups (a submenu rebuilt
// from a list, for instance). Captions are shown as written: "&" is not a mnemonic marker here.
// Everything runs on the user-interface thread.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "player/ui/Form.h"

namespace qvr::ui {

class TMenuItem : public TComponent {
 public:
  using TComponent::TComponent;

  bool IsVisual() const override { return true; }
  void ApplyAttributes(const TAttributes& attributes) override;

  std::string Caption;  // "-" makes a separator
  std::string Hint;
  bool Visible = true;
  bool Enabled = true;
  bool Checked = false;
  TNotifyEvent OnClick;

  bool IsSeparator() const { return Caption == "-"; }
  TMenuItem* ParentItem() const { return parentItem_; }
  const std::vector<TMenuItem*>& Items() const { return items_; }
  int Count() const { return static_cast<int>(items_.size()); }
  // The sub-item with this tag, or null.
  TMenuItem* FindByTag(int tag) const;

  // Attaches an item the form owns (a declared one) at the end of the sub-items.
  void Attach(TMenuItem& item);
  // Adds an item this item owns, made in code; it lives until Clear or this item's end.
  TMenuItem& Add(std::string name, std::string caption);
  // Removes every sub-item; the ones made in code are freed.
  void Clear();

 private:
  TMenuItem* parentItem_ = nullptr;
  std::vector<TMenuItem*> items_;
  std::vector<std::unique_ptr<TMenuItem>> owned_;
};

class TPopupMenu : public TMenuItem {
 public:
  using TMenuItem::TMenuItem;
  bool IsVisual() const override { return false; }

  TNotifyEvent OnPopup;
  // TPM_* alignment of the pop-up relative to the point (TPM_LEFTALIGN | TPM_TOPALIGN by default).
  UINT Alignment = TPM_LEFTALIGN | TPM_TOPALIGN;

  // Raises OnPopup, shows the menu at `screen` for `owner` and waits for the choice; the chosen
  // item's OnClick runs after the menu has closed. Returns the chosen item, or null.
  TMenuItem* Popup(HWND owner, POINT screen);
  // The system menu while it is shown (null otherwise), for reading its state back.
  HMENU ShownMenu() const { return shown_; }

 private:
  HMENU shown_ = nullptr;
};

// The system menu text for a caption: "&" doubled so that it shows as written.
std::wstring MenuText(const std::string& caption);

}  // namespace qvr::ui
