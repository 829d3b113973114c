#include "player/ui/TreeView.h"

#include <windowsx.h>

#include <span>
#include <stdexcept>

#include "common/win/text.h"
#include "player/resources/ResourceLoader.h"
#include "player/ui/core/SkinImage.h"

namespace qvr::ui {

// --- TImageList ------------------------------------------------------------------------------

TImageList::~TImageList() {
  if (list_) ::ImageList_Destroy(list_);
}

HRESULT TImageList::LoadStrip(const char* resourceName, TColor background) {
  std::span<const uint8_t> bytes;
  if (const HRESULT hr = resources::FindResourceBytes(::GetModuleHandleW(nullptr), resourceName,
                                                      resources::kPngResourceType, bytes);
      FAILED(hr))
    return hr;
  resources::TBgraImage image;
  if (!resources::DecodePng(bytes, image) || image.Height == 0) return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
  const int size = static_cast<int>(image.Height);
  unique_hbitmap strip;
  if (const HRESULT hr = resources::CreateDibSection(
          ComposeOverFill(image, static_cast<int>(image.Width), size, background), strip);
      FAILED(hr))
    return hr;
  HIMAGELIST list = ::ImageList_Create(size, size, ILC_COLOR32, static_cast<int>(image.Width) / size, 0);
  if (!list) return E_OUTOFMEMORY;
  if (::ImageList_Add(list, static_cast<HBITMAP>(strip.get()), nullptr) < 0) {
    ::ImageList_Destroy(list);
    return E_FAIL;
  }
  if (list_) ::ImageList_Destroy(list_);
  list_ = list;
  return S_OK;
}

void TImageList::ApplyAttributes(const TAttributes& attributes) {
  if (const std::string* name = FindAttribute(attributes, "png");
      name && FAILED(LoadStrip(name->c_str(), ::GetSysColor(COLOR_WINDOW))))
    throw std::runtime_error(Name() + ": cannot load the images " + *name);
}

// --- TTreeView -------------------------------------------------------------------------------

bool TTreeView::CreateControl(TControl* parent, const TRect& bounds) {
  INITCOMMONCONTROLSEX init{sizeof(init), ICC_TREEVIEW_CLASSES};
  ::InitCommonControlsEx(&init);
  if (!CreateSystemHandle(WC_TREEVIEWW, WS_EX_CLIENTEDGE, WS_CHILD | WS_VISIBLE | WS_TABSTOP | style_, "", bounds,
                          ParentHandle(parent)))
    return false;
  TreeView_SetIndent(Handle(), indent_);
  return true;
}

void TTreeView::ApplyAttributes(const TAttributes& attributes) {
  TControl::ApplyAttributes(attributes);
  if (const std::string* text = FindAttribute(attributes, "indent")) {
    const auto indent = ParseIntValue(*text);
    if (!indent || *indent < 0) throw std::invalid_argument(Name() + ": bad indent '" + *text + "'");
    indent_ = *indent;
    if (Handle()) TreeView_SetIndent(Handle(), indent_);
  }
  auto flag = [&](const char* key, DWORD bits, DWORD cleared) {
    const std::string* value = FindAttribute(attributes, key);
    if (!value) return;
    style_ = *value == "1" ? (style_ | bits) & ~cleared : style_ & ~bits;
  };
  // A whole-row selection draws no lines (the control ignores the one with the other).
  flag("fullrow", TVS_FULLROWSELECT, TVS_HASLINES);
  flag("lines", TVS_HASLINES, TVS_FULLROWSELECT);
  flag("editlabels", TVS_EDITLABELS, 0);
  if (Handle()) {
    const LONG style = ::GetWindowLongW(Handle(), GWL_STYLE);
    const LONG mask = TVS_FULLROWSELECT | TVS_HASLINES | TVS_EDITLABELS;
    ::SetWindowLongW(Handle(), GWL_STYLE, (style & ~mask) | (static_cast<LONG>(style_) & mask));
  }
}

void TTreeView::SetStateImages(const TImageList& images) { TreeView_SetImageList(Handle(), images.Handle(), TVSIL_STATE); }

HTREEITEM TTreeView::Add(HTREEITEM parent, const std::string& text, int state, LPARAM data) {
  std::wstring wide = Utf8ToWide(text);
  TVINSERTSTRUCTW insert{};
  insert.hParent = parent ? parent : TVI_ROOT;
  insert.hInsertAfter = TVI_LAST;
  insert.item.mask = TVIF_TEXT | TVIF_STATE | TVIF_PARAM;
  insert.item.pszText = wide.data();
  insert.item.state = INDEXTOSTATEIMAGEMASK(static_cast<UINT>(state));
  insert.item.stateMask = TVIS_STATEIMAGEMASK;
  insert.item.lParam = data;
  return reinterpret_cast<HTREEITEM>(::SendMessageW(Handle(), TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
}

void TTreeView::Clear() { TreeView_DeleteAllItems(Handle()); }

int TTreeView::StateOf(HTREEITEM item) const {
  return static_cast<int>((TreeView_GetItemState(Handle(), item, TVIS_STATEIMAGEMASK) & TVIS_STATEIMAGEMASK) >> 12);
}

void TTreeView::SetState(HTREEITEM item, int state) {
  TreeView_SetItemState(Handle(), item, INDEXTOSTATEIMAGEMASK(static_cast<UINT>(state)), TVIS_STATEIMAGEMASK);
}

LPARAM TTreeView::DataOf(HTREEITEM item) const {
  TVITEMW tv{};
  tv.mask = TVIF_PARAM | TVIF_HANDLE;
  tv.hItem = item;
  ::SendMessageW(Handle(), TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tv));
  return tv.lParam;
}

std::string TTreeView::TextOf(HTREEITEM item) const {
  wchar_t text[260] = {};
  TVITEMW tv{};
  tv.mask = TVIF_TEXT | TVIF_HANDLE;
  tv.hItem = item;
  tv.pszText = text;
  tv.cchTextMax = 260;
  ::SendMessageW(Handle(), TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tv));
  return WideToUtf8(text);
}

HTREEITEM TTreeView::Selected() const { return TreeView_GetSelection(Handle()); }

void TTreeView::Select(HTREEITEM item) { TreeView_SelectItem(Handle(), item); }

void TTreeView::ExpandAll() {
  for (HTREEITEM item : Nodes())
    if (TreeView_GetChild(Handle(), item)) TreeView_Expand(Handle(), item, TVE_EXPAND);
}

void TTreeView::ScrollToTop() {
  if (HTREEITEM first = TreeView_GetRoot(Handle())) TreeView_EnsureVisible(Handle(), first);
}

void TTreeView::BeginUpdate() { ::SendMessageW(Handle(), WM_SETREDRAW, FALSE, 0); }

void TTreeView::EndUpdate() {
  ::SendMessageW(Handle(), WM_SETREDRAW, TRUE, 0);
  Invalidate();
}

std::vector<HTREEITEM> TTreeView::Nodes() const {
  std::vector<HTREEITEM> nodes;
  std::function<void(HTREEITEM)> walk = [&](HTREEITEM item) {
    for (; item; item = TreeView_GetNextSibling(Handle(), item)) {
      nodes.push_back(item);
      walk(TreeView_GetChild(Handle(), item));
    }
  };
  if (Handle()) walk(TreeView_GetRoot(Handle()));
  return nodes;
}

int TTreeView::ItemCount() const { return static_cast<int>(Nodes().size()); }

std::string TTreeView::ItemText(int index) const {
  const std::vector<HTREEITEM> nodes = Nodes();
  return index >= 0 && index < static_cast<int>(nodes.size()) ? TextOf(nodes[static_cast<size_t>(index)]) : std::string();
}

void TTreeView::SetItemText(int index, const std::string& text) {
  const std::vector<HTREEITEM> nodes = Nodes();
  if (index < 0 || index >= static_cast<int>(nodes.size())) return;
  std::wstring wide = Utf8ToWide(text);
  TVITEMW tv{};
  tv.mask = TVIF_TEXT | TVIF_HANDLE;
  tv.hItem = nodes[static_cast<size_t>(index)];
  tv.pszText = wide.data();
  ::SendMessageW(Handle(), TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&tv));
}

LRESULT TTreeView::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      TVHITTESTINFO hit{};
      hit.pt = {GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
      TreeView_HitTest(Handle(), &hit);
      if (hit.hItem && (hit.flags & TVHT_ONITEMSTATEICON)) {
        // Selected first, as a click selects, then toggled; the control's own press handling
        // (a drag-detection loop) is not needed on the state image.
        Select(hit.hItem);
        SetFocus();
        RaiseMouseEvent(message, wparam, lparam);
        if (OnStateToggle) OnStateToggle(*this, hit.hItem);
        return 0;
      }
      break;
    }
    case WM_KEYDOWN:
      if (wparam == VK_SPACE) {
        if (HTREEITEM item = Selected(); item && OnStateToggle) OnStateToggle(*this, item);
        return 0;
      }
      break;
    case WM_CHAR:
      if (wparam == L' ') return 0;  // the toggle, not the start of an incremental search
      break;
    default:
      break;
  }
  return TControl::HandleMessage(message, wparam, lparam);
}

}  // namespace qvr::ui
