#include "player/ui/Menus.h"

#include <map>
#include <stdexcept>

#include "common/win/text.h"
#include "common/win/unique_resource.h"

namespace qvr::ui {

namespace {

struct menu_traits {
  using pointer = HMENU;
  static pointer invalid() noexcept { return nullptr; }
  static void close(pointer value) noexcept { ::DestroyMenu(value); }
};
using unique_menu = unique_resource<menu_traits>;

bool Flag(const std::string& value) { return value == "1" || value == "true"; }

// Appends the visible sub-items of `item` to `menu`, numbering the commands from `next`.
void BuildMenu(HMENU menu, const TMenuItem& item, UINT& next, std::map<UINT, TMenuItem*>& commands) {
  for (TMenuItem* child : item.Items()) {
    if (!child->Visible) continue;
    if (child->IsSeparator()) {
      ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
      continue;
    }
    const std::wstring text = MenuText(child->Caption);
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_ID | MIIM_STRING | MIIM_STATE | MIIM_FTYPE;
    info.fType = MFT_STRING;
    info.fState = (child->Enabled ? MFS_ENABLED : MFS_DISABLED) | (child->Checked ? MFS_CHECKED : MFS_UNCHECKED);
    info.dwTypeData = const_cast<wchar_t*>(text.c_str());
    info.wID = next++;
    commands[info.wID] = child;
    // An item with sub-items opens a submenu, even when none of them is visible.
    unique_menu sub;
    if (child->Count() > 0) {
      sub.reset(::CreatePopupMenu());
      if (!sub) throw std::runtime_error("CreatePopupMenu failed");
      BuildMenu(sub.get(), *child, next, commands);
      info.fMask |= MIIM_SUBMENU;
      info.hSubMenu = sub.get();
    }
    if (!::InsertMenuItemW(menu, ::GetMenuItemCount(menu), TRUE, &info)) throw std::runtime_error("InsertMenuItem failed");
    (void)sub.release();  // the parent menu owns it now
  }
}

}  // namespace

std::wstring MenuText(const std::string& caption) {
  std::wstring text = Utf8ToWide(caption);
  for (size_t at = text.find(L'&'); at != std::wstring::npos; at = text.find(L'&', at + 2)) text.insert(at, 1, L'&');
  return text;
}

// --- TMenuItem -------------------------------------------------------------------------------

void TMenuItem::ApplyAttributes(const TAttributes& attributes) {
  for (const auto& [key, value] : attributes) {
    if (key == "caption") {
      Caption = value;
    } else if (key == "hint") {
      Hint = value;
    } else if (key == "visible") {
      Visible = Flag(value);
    } else if (key == "enabled") {
      Enabled = Flag(value);
    } else if (key == "checked") {
      Checked = Flag(value);
    } else if (key == "tag") {
      const auto tag = ParseIntValue(value);
      if (!tag) throw std::invalid_argument(Name() + ": bad tag '" + value + "'");
      SetTag(*tag);
    }
  }
}

TMenuItem* TMenuItem::FindByTag(int tag) const {
  for (TMenuItem* item : items_)
    if (item->Tag() == tag) return item;
  return nullptr;
}

void TMenuItem::Attach(TMenuItem& item) {
  item.parentItem_ = this;
  items_.push_back(&item);
}

TMenuItem& TMenuItem::Add(std::string name, std::string caption) {
  auto& item = *owned_.emplace_back(std::make_unique<TMenuItem>(Owner(), std::move(name)));
  item.Caption = std::move(caption);
  Attach(item);
  return item;
}

void TMenuItem::Clear() {
  for (TMenuItem* item : items_) item->parentItem_ = nullptr;
  items_.clear();
  owned_.clear();
}

// --- TPopupMenu ------------------------------------------------------------------------------

TMenuItem* TPopupMenu::Popup(HWND owner, POINT screen) {
  if (OnPopup) OnPopup(*this);
  unique_menu menu(::CreatePopupMenu());
  if (!menu) return nullptr;
  std::map<UINT, TMenuItem*> commands;
  UINT next = 1;
  BuildMenu(menu.get(), *this, next, commands);
  // The owner must be in the foreground, or the menu does not close when the user clicks away.
  ::SetForegroundWindow(owner);
  shown_ = menu.get();
  const UINT chosen = static_cast<UINT>(
      ::TrackPopupMenuEx(menu.get(), Alignment | TPM_RIGHTBUTTON | TPM_RETURNCMD, screen.x, screen.y, owner, nullptr));
  shown_ = nullptr;
  ::PostMessageW(owner, WM_NULL, 0, 0);
  const auto found = commands.find(chosen);
  if (found == commands.end()) return nullptr;
  TMenuItem* item = found->second;
  if (item->OnClick) item->OnClick(*item);
  return item;
}

}  // namespace qvr::ui
