#include "player/ui/uPlaylist.h"

#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>
#include <windowsx.h>

#include <algorithm>
#include <utility>

#include "common/win/text.h"
#include "player/ui/Canvas.h"
#include "player/ui/FileDialogs.h"
#include "player/ui/Menus.h"
#include "player/ui/PanelX.h"
#include "player/ui/core/MediaMask.h"
#include "player/ui/core/PlayListWindowRules.h"
#include "player/ui/uButton.h"

namespace qvr::ui {
namespace {

constexpr TColor kSelectedColor = RGB(108, 120, 129);
constexpr TColor kOddRowColor = RGB(255, 255, 255);
constexpr TColor kInnerColor = RGB(232, 232, 232);

constexpr wchar_t kMediaFilter[] =
    L"Video Files|*.WEBM;*.3GP;*.ASF;*.AVI;*.AVM;*.AVS;*.DAT;*.FLV;*.MKV;*.MOV;*.MP4;*.MPEG;*.MPG;*.NSV;*.OGM;*.RM;"
    L"*.RMVB;*.TP;*.TS;*.VOB;*.WMV;*.MOD|All Files|*.*";
// The common dialogs take NUL-separated pairs ended by a second NUL.
constexpr wchar_t kPlaylistFilter[] = L"Playlist Files \0*.m3u\0";

// Menu item name -> SOURCESTRING index; items not listed ("Delete files", separators) keep
// their own caption.
struct TCaptionOf {
  const char* Item;
  TfrmQVRPlayList::TCaption Caption;
};
constexpr TCaptionOf kCaptions[] = {
    {"miListAddFiles", TfrmQVRPlayList::csAddFiles},       {"miListAddFolder", TfrmQVRPlayList::csAddFolder},
    {"miListLoad", TfrmQVRPlayList::csLoadPlaylist},       {"miListSave", TfrmQVRPlayList::csSavePlaylist},
    {"miPlay", TfrmQVRPlayList::csPlay},                   {"miProperties", TfrmQVRPlayList::csProperties},
    {"miItemAddFiles", TfrmQVRPlayList::csAddFiles},       {"miItemAddFolder", TfrmQVRPlayList::csAddFolder},
    {"miSelectAll", TfrmQVRPlayList::csSelectAll},         {"miSelectNone", TfrmQVRPlayList::csSelectNone},
    {"miInvert", TfrmQVRPlayList::csInvertSelection},      {"miRemoveSelected", TfrmQVRPlayList::csRemoveSelected},
    {"miRemoveAll", TfrmQVRPlayList::csRemoveAll},         {"miConvert", TfrmQVRPlayList::csConvert},
    {"miAddFiles", TfrmQVRPlayList::csAddFiles},           {"miAddFolder", TfrmQVRPlayList::csAddFolder},
    {"miRemSelectAll", TfrmQVRPlayList::csSelectAll},      {"miRemInvert", TfrmQVRPlayList::csInvertSelection},
    {"miRemSelected", TfrmQVRPlayList::csRemoveSelected},  {"miRemAll", TfrmQVRPlayList::csRemoveAll},
    {"miRemDead", TfrmQVRPlayList::csRemoveDeadFiles},     {"miSortLoad", TfrmQVRPlayList::csLoadPlaylist},
    {"miSortSave", TfrmQVRPlayList::csSavePlaylist},
};

int CALLBACK BrowseCallback(HWND dialog, UINT message, LPARAM, LPARAM data) {
  if (message == BFFM_INITIALIZED) {
    // Centred over the owner, opened on the current directory.
    if (HWND owner = ::GetWindow(dialog, GW_OWNER)) {
      RECT o{}, d{};
      ::GetWindowRect(owner, &o);
      ::GetWindowRect(dialog, &d);
      const int w = d.right - d.left, h = d.bottom - d.top;
      ::SetWindowPos(dialog, nullptr, o.left + ((o.right - o.left) - w) / 2, o.top + ((o.bottom - o.top) - h) / 2, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    ::SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, data);
  }
  return 0;
}

}  // namespace

// --- TPlayListBox ----------------------------------------------------------------------------

TPlayListBox::TPlayListBox(TfrmQVRPlayList* owner, std::string name) : TControl(owner, std::move(name)), form_(*owner) {}

bool TPlayListBox::CreateControl(TControl* parent, const TRect& bounds) {
  if (!CreateSystemHandle(L"LISTBOX", 0,
                          WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_OWNERDRAWFIXED | LBS_EXTENDEDSEL | LBS_NOTIFY |
                              LBS_NOINTEGRALHEIGHT,
                          "", bounds, ParentHandle(parent)))
    return false;
  SetRowHeight(1);
  return true;
}

int TPlayListBox::RowCount() const { return static_cast<int>(::SendMessageW(Handle(), LB_GETCOUNT, 0, 0)); }
int TPlayListBox::TopIndex() const { return static_cast<int>(::SendMessageW(Handle(), LB_GETTOPINDEX, 0, 0)); }
int TPlayListBox::RowHeight() const { return static_cast<int>(::SendMessageW(Handle(), LB_GETITEMHEIGHT, 0, 0)); }
void TPlayListBox::SetRowHeight(int height) { ::SendMessageW(Handle(), LB_SETITEMHEIGHT, 0, MAKELPARAM(height, 0)); }

int TPlayListBox::RowAt(TPoint client) const {
  RECT r{};
  ::GetClientRect(Handle(), &r);
  if (client.X < 0 || client.Y < 0 || client.X >= r.right || client.Y >= r.bottom) return -1;
  const int height = std::max(1, RowHeight());
  const int row = TopIndex() + client.Y / height;
  return row < RowCount() ? row : -1;
}

TRect TPlayListBox::RowRect(int index) const {
  RECT r{};
  if (::SendMessageW(Handle(), LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r)) == LB_ERR) return {};
  return FromRect(r);
}

void TPlayListBox::InvalidateRow(int index) const {
  if (index < 0 || index >= RowCount()) return;
  const RECT r = ToRect(RowRect(index));
  ::InvalidateRect(Handle(), &r, FALSE);
}

void TPlayListBox::SyncFromList() {
  // A folder scan adds rows one by one: mirroring each would cost the square of the rows.
  if (locks_ > 0) {
    syncPending_ = true;
    return;
  }
  syncPending_ = false;
  const TPlayList& list = form_.List();
  syncing_ = true;
  // The rows carry no data of their own: each is drawn from the list by index.
  int count = RowCount();
  while (count < list.RowCount()) {
    ::SendMessageW(Handle(), LB_ADDSTRING, 0, 0);
    ++count;
  }
  while (count > list.RowCount()) ::SendMessageW(Handle(), LB_DELETESTRING, static_cast<WPARAM>(--count), 0);
  for (int i = 0; i < count; ++i) {
    const bool selected = list.IsSelected(i);
    if ((::SendMessageW(Handle(), LB_GETSEL, static_cast<WPARAM>(i), 0) > 0) != selected)
      ::SendMessageW(Handle(), LB_SETSEL, selected, i);
  }
  if (list.FocusedRow() >= 0 && list.FocusedRow() < count)
    ::SendMessageW(Handle(), LB_SETCARETINDEX, static_cast<WPARAM>(list.FocusedRow()), FALSE);
  syncing_ = false;
  Invalidate();
}

void TPlayListBox::SyncRowFromList(int index) {
  if (locks_ > 0) {
    syncPending_ = true;
    return;
  }
  if (index < 0 || index >= RowCount() || index >= form_.List().RowCount()) return;
  syncing_ = true;
  ::SendMessageW(Handle(), LB_SETSEL, form_.List().IsSelected(index), index);
  syncing_ = false;
  InvalidateRow(index);
}

void TPlayListBox::SyncToList() {
  TPlayList& list = form_.List();
  syncing_ = true;
  const int count = std::min(RowCount(), list.RowCount());
  for (int i = 0; i < count; ++i) {
    const bool selected = ::SendMessageW(Handle(), LB_GETSEL, static_cast<WPARAM>(i), 0) > 0;
    if (selected != list.IsSelected(i)) list.SetSelected(i, selected);
  }
  const int caret = static_cast<int>(::SendMessageW(Handle(), LB_GETCARETINDEX, 0, 0));
  if (count > 0 && caret >= 0 && caret < count && caret != list.FocusedRow()) list.SetFocusedRow(caret);
  syncing_ = false;
}

void TPlayListBox::DrawRow(const DRAWITEMSTRUCT& item) {
  const TPlayList& list = form_.List();
  const int index = static_cast<int>(item.itemID);
  const TRect row = FromRect(item.rcItem);
  if (item.itemID == static_cast<UINT>(-1) || index >= list.RowCount() || row.Width() <= 0 || row.Height() <= 0) return;
  const TPlayListItem& record = list.Item(index);
  const bool selected = list.IsSelected(index);

  // The row is composed off-screen at its own size and copied once.
  unique_hbitmap bitmap(::CreateCompatibleBitmap(item.hDC, row.Width(), row.Height()));
  TSelectedBitmap buffer(item.hDC, bitmap.get());
  HDC dc = bitmap && buffer ? buffer.Dc() : item.hDC;
  const int ox = dc == item.hDC ? row.Left : 0, oy = dc == item.hDC ? row.Top : 0;

  const TColor back = selected || index == form_.DropTarget ? kSelectedColor
                      : index % 2 == 1                     ? kOddRowColor
                                                           : TfrmQVRPlayList::kListColor;
  FillSolid(dc, {ox, oy, ox + row.Width(), oy + row.Height()}, back);
  HFONT font = form_.MakeFont("Tahoma", -11, index == list.CurrentIndex());
  const HGDIOBJ oldFont = ::SelectObject(dc, font);
  const TColor text = ::GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_BTNTEXT);
  const std::string number = std::to_string(index + 1) + ".";
  const int durationWidth = record.DurationText.empty() ? 0 : MeasureTextUtf8(dc, record.DurationText).cx;
  const TRowLayout layout = PlayListRowLayout(row.Width(), MeasureTextUtf8(dc, number).cx, durationWidth);
  auto at = [&](const TRect& r) { return TRect{r.Left + ox, r.Top + oy, r.Right + ox, r.Bottom + oy}; };
  constexpr UINT kLine = DT_SINGLELINE | DT_NOPREFIX | DT_TOP;
  DrawTextUtf8(dc, number, at(layout.Number), kLine | DT_LEFT, text);
  DrawTextUtf8(dc, record.Title, at(layout.Title), kLine | DT_LEFT | DT_WORD_ELLIPSIS, text);
  if (durationWidth > 0) DrawTextUtf8(dc, record.DurationText, at(layout.Duration), kLine | DT_RIGHT, text);
  ::SelectObject(dc, oldFont);
  if (item.itemState & ODS_FOCUS) {
    const RECT focus{ox, oy, ox + row.Width(), oy + row.Height()};
    ::SetTextColor(dc, RGB(0, 0, 0));
    ::SetBkColor(dc, RGB(255, 255, 255));
    ::DrawFocusRect(dc, &focus);
  }
  if (dc != item.hDC) ::BitBlt(item.hDC, row.Left, row.Top, row.Width(), row.Height(), dc, 0, 0, SRCCOPY);
}

bool TPlayListBox::HandleReflected(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
  switch (message) {
    case WM_DRAWITEM:
      DrawRow(*reinterpret_cast<const DRAWITEMSTRUCT*>(lparam));
      result = TRUE;
      return true;
    case WM_MEASUREITEM:
      reinterpret_cast<MEASUREITEMSTRUCT*>(lparam)->itemHeight = static_cast<UINT>(form_.RowHeight());
      result = TRUE;
      return true;
    case WM_CTLCOLORLISTBOX:
      if (!brush_) brush_.reset(::CreateSolidBrush(color_));
      result = reinterpret_cast<LRESULT>(brush_.get());
      return true;
    case WM_COMMAND:
      if (HIWORD(wparam) == LBN_SELCHANGE && !syncing_) SyncToList();
      result = 0;
      return true;
    default:
      return false;
  }
}

LRESULT TPlayListBox::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  const TPoint client{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
  TPlayList& list = form_.List();
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN: {
      RaiseMouseEvent(message, wparam, lparam);
      POINT screen{client.X, client.Y};
      ::ClientToScreen(Handle(), &screen);
      form_.PressPos = {screen.x, screen.y};
      if (form_.DropTarget >= 0) {
        const int old = form_.DropTarget;
        form_.DropTarget = -1;
        InvalidateRow(old);
      }
      if (message == WM_RBUTTONDOWN) {
        form_.ListContextMenu(client, screen);
        return 0;
      }
      return DefaultHandler(message, wparam, lparam);
    }
    case WM_MOUSEMOVE: {
      if (!dragging_) {
        POINT screen{client.X, client.Y};
        ::ClientToScreen(Handle(), &screen);
        const int row = RowAt(client);
        if ((wparam & MK_LBUTTON) && row >= 0 && StartsRowDrag(list.RowCount(), form_.PressPos, {screen.x, screen.y})) {
          list.SelectNone();
          list.SetFocusedRow(row);
          list.SelectOnly(row);
          SyncFromList();
          dragging_ = true;
          ::SetCapture(Handle());
          return 0;
        }
        return DefaultHandler(message, wparam, lparam);
      }
      if (list.RowCount() == 0) return 0;
      const int hovered = RowAt(client);
      if (hovered >= 0) {
        RECT box{};
        ::GetClientRect(Handle(), &box);
        const TRect r = RowRect(hovered);
        if (const int step = DragScrollStep(r.Top, r.Bottom, box.bottom, TopIndex()))
          ::SendMessageW(Handle(), LB_SETTOPINDEX, static_cast<WPARAM>(std::max(0, TopIndex() + step)), 0);
        const int target = DropTargetAfterHover(hovered, list.FocusedRow());
        if (target != form_.DropTarget) {
          InvalidateRow(form_.DropTarget);
          form_.DropTarget = target;
          InvalidateRow(target);
        }
      }
      return 0;
    }
    case WM_LBUTTONUP: {
      if (dragging_) {
        dragging_ = false;
        const int under = RowAt(client);
        if (under >= 0) form_.DropTarget = under;
        const int target = DropRow(under, form_.DropTarget);
        const int from = list.FocusedRow();
        if (target >= 0 && target < list.RowCount() && from >= 0 && target != from) {
          TfrmQVRPlayList::TRedrawLock lock(*this);
          list.MoveRow(from, target);
        }
        form_.DropTarget = -1;
        Invalidate();
      }
      const LRESULT result = DefaultHandler(message, wparam, lparam);
      if (::GetCapture() == Handle()) ::ReleaseCapture();
      form_.DropTarget = -1;
      form_.PressPos = {-1, -1};
      RaiseMouseEvent(message, wparam, lparam);
      return result;
    }
    case WM_RBUTTONUP:
      form_.DropTarget = -1;
      form_.PressPos = {-1, -1};
      return 0;
    case WM_CAPTURECHANGED:
      if (dragging_ && reinterpret_cast<HWND>(lparam) != Handle()) {
        dragging_ = false;
        InvalidateRow(form_.DropTarget);
        form_.DropTarget = -1;
      }
      return DefaultHandler(message, wparam, lparam);
    case WM_LBUTTONDBLCLK: {
      const LRESULT result = DefaultHandler(message, wparam, lparam);
      SyncToList();
      if (RowAt(client) >= 0) {
        if (list.FocusedRow() >= 0) list.PlayItem(list.FocusedRow());
      } else {
        form_.AddFilesDialog();
      }
      return result;
    }
    case WM_ERASEBKGND: {
      // Only the part below the rows: rows paint themselves in full.
      RECT box{};
      ::GetClientRect(Handle(), &box);
      const int below = (RowCount() - TopIndex()) * RowHeight();
      if (below < box.bottom) FillSolid(reinterpret_cast<HDC>(wparam), {0, std::max(0, below), box.right, box.bottom}, color_);
      return 1;
    }
    default:
      return TControl::HandleMessage(message, wparam, lparam);
  }
}

// --- TStringsControl -------------------------------------------------------------------------

bool TStringsControl::CreateControl(TControl* parent, const TRect& bounds) {
  return CreateSystemHandle(L"STATIC", 0, WS_CHILD, "", bounds, ParentHandle(parent));
}

void TStringsControl::ApplyAttributes(const TAttributes& attributes) {
  if (const std::string* items = FindAttribute(attributes, "items")) {
    items_.clear();
    size_t start = 0;
    for (;;) {
      const size_t bar = items->find('|', start);
      items_.push_back(items->substr(start, bar == std::string::npos ? std::string::npos : bar - start));
      if (bar == std::string::npos) break;
      start = bar + 1;
    }
  }
  TControl::ApplyAttributes(attributes);
}

std::string TStringsControl::ItemText(int index) const {
  return index >= 0 && index < ItemCount() ? items_[static_cast<size_t>(index)] : std::string();
}

void TStringsControl::SetItemText(int index, const std::string& text) {
  if (index >= 0 && index < ItemCount()) items_[static_cast<size_t>(index)] = text;
}

// --- TfrmQVRPlayList -------------------------------------------------------------------------

TfrmQVRPlayList::TRedrawLock::TRedrawLock(TPlayListBox& box) : Box(box) {
  if (Box.locks_++ == 0) ::SendMessageW(Box.Handle(), WM_SETREDRAW, FALSE, 0);
}

TfrmQVRPlayList::TRedrawLock::~TRedrawLock() {
  if (--Box.locks_ > 0) return;
  if (Box.syncPending_) Box.SyncFromList();
  ::SendMessageW(Box.Handle(), WM_SETREDRAW, TRUE, 0);
  ::InvalidateRect(Box.Handle(), nullptr, TRUE);
}

TfrmQVRPlayList::TfrmQVRPlayList(IFileSystem& fileSystem) : TForm("frmQVRPlayList"), list_(fileSystem) {}

TfrmQVRPlayList::~TfrmQVRPlayList() {
  list_.SetView(nullptr);
  DestroyHandle();
}

std::unique_ptr<TComponent> TfrmQVRPlayList::CreateComponent(const TLayoutEntry& entry) {
  if (entry.Kind == "playlistbox") return std::make_unique<TPlayListBox>(this, entry.Name);
  if (entry.Kind == "strings") return std::make_unique<TStringsControl>(this, entry.Name);
  return TForm::CreateComponent(entry);
}

HRESULT TfrmQVRPlayList::Create(HWND owner) {
  if (const HRESULT hr = CreateFormFromResource("TFRMQVRPLAYLIST", L"TfrmQVRPlayList", WS_POPUP | WS_CLIPCHILDREN, 0, owner);
      FAILED(hr))
    return hr;
  lbInput = Find<TPlayListBox>("lbInput");
  pTop = Find<TSkinPanel>("pTop");
  btnClose = Find<TSkinButton>("btnClose");
  btnrem = Find<TSkinButton>("btnrem");
  btnSort = Find<TSkinButton>("btnSort");
  btnadd = Find<TSkinButton>("btnadd");
  SOURCESTRING = Find<TStringsControl>("SOURCESTRING");
  pmList = Find<TPopupMenu>("pmList");
  pmItem = Find<TPopupMenu>("pmItem");
  pmAdd = Find<TPopupMenu>("pmAdd");
  pmRem = Find<TPopupMenu>("pmRem");
  pmSort = Find<TPopupMenu>("pmSort");
  if (!lbInput || !pTop || !btnClose || !btnrem || !btnSort || !btnadd || !SOURCESTRING || !pmList || !pmItem || !pmAdd ||
      !pmRem || !pmSort)
    return E_UNEXPECTED;
  TranslateAtCreation(*this);
  SetKeyPreview(true);
  list_.SetView(this);
  btnClose->OnClick = [this](TComponent&) {
    SetListVisible(false);
    if (OnVisibleChanged) OnVisibleChanged(false);
  };
  // The title bar moves the window.
  pTop->OnMouseDown = [this](TControl&, TMouseButton button, UINT, TPoint) {
    if (button != TMouseButton::mbLeft) return;
    ::ReleaseCapture();
    ::SendMessageW(Handle(), WM_SYSCOMMAND, SC_MOVE | HTCAPTION, 0);
  };
  BindMenus();
  ::DragAcceptFiles(Handle(), TRUE);
  UpdateRegions();
  PlaceBottomButtons();
  return S_OK;
}

void TfrmQVRPlayList::BindMenus() {
  for (TPopupMenu* menu : {pmList, pmItem, pmAdd, pmRem, pmSort})
    menu->OnPopup = [this, menu](TComponent&) { SetMenuCaptions(*menu); };
  auto on = [this](const char* name, std::function<void()> action) {
    if (auto* item = Find<TMenuItem>(name)) item->OnClick = [action = std::move(action)](TComponent&) { action(); };
  };
  on("miListAddFiles", [this] { AddFilesDialog(); });
  on("miListAddFolder", [this] { AddFolderDialog(); });
  on("miListLoad", [this] { LoadPlaylistDialog(); });
  on("miListSave", [this] { SavePlaylistDialog(); });
  on("miPlay", [this] { list_.PlayItem(clickedRow_); });
  on("miProperties", [this] { ShowProperties(clickedRow_); });
  on("miItemAddFiles", [this] { AddFilesDialog(); });
  on("miItemAddFolder", [this] { AddFolderDialog(); });
  on("miSelectAll", [this] { list_.SelectAll(); });
  on("miSelectNone", [this] { list_.SelectNone(); });
  on("miInvert", [this] { list_.InvertSelection(); });
  on("miRemoveSelected", [this] { list_.RemoveItems(false, false); });
  on("miRemoveAll", [this] { list_.RemoveItems(true, false); });
  on("miDeleteFiles", [this] { list_.RemoveItems(false, true); });
  on("miConvert", [this] { ConvertRow(clickedRow_); });
  on("miAddFiles", [this] { AddFilesDialog(); });
  on("miAddFolder", [this] { AddFolderDialog(); });
  on("miRemSelectAll", [this] { list_.SelectAll(); });
  on("miRemInvert", [this] { list_.InvertSelection(); });
  on("miRemSelected", [this] { list_.RemoveItems(false, false); });
  on("miRemAll", [this] { list_.RemoveItems(true, false); });
  on("miRemDead", [this] { list_.RemoveDeadFiles(); });
  on("miSortLoad", [this] { LoadPlaylistDialog(); });
  on("miSortSave", [this] { SavePlaylistDialog(); });
  btnadd->OnClick = [this](TComponent&) { ButtonMenu(*btnadd, *pmAdd); };
  btnrem->OnClick = [this](TComponent&) { ButtonMenu(*btnrem, *pmRem); };
  btnSort->OnClick = [this](TComponent&) { ButtonMenu(*btnSort, *pmSort); };
}

std::string TfrmQVRPlayList::Caption(TCaption index) const { return SOURCESTRING->ItemText(index); }

void TfrmQVRPlayList::SetMenuCaptions(TPopupMenu& menu) {
  for (TMenuItem* item : menu.Items()) {
    for (const TCaptionOf& c : kCaptions)
      if (item->Name() == c.Item) item->Caption = Caption(c.Caption);
    // "Save Playlist" only with something to save.
    if (item->Name() == "miListSave" || item->Name() == "miSortSave") item->Visible = list_.RowCount() > 0;
  }
}

void TfrmQVRPlayList::ListContextMenu(TPoint client, POINT screen) {
  const int row = lbInput->RowAt(client);
  if (row < 0) {
    pmList->Popup(Handle(), screen);
    return;
  }
  if (list_.SelectedCount() < 2) {
    list_.SelectOnly(row);
    list_.SetFocusedRow(row);
  } else {
    list_.SetSelected(row, true);
  }
  clickedRow_ = row;
  pmItem->Popup(Handle(), screen);
}

void TfrmQVRPlayList::ButtonMenu(TSkinButton& button, TPopupMenu& menu) {
  RECT r{};
  ::GetWindowRect(button.Handle(), &r);
  menu.Popup(Handle(), {r.left, r.bottom});
  button.SetHot(false);
  pTop->SetFocus();
}

void TfrmQVRPlayList::SetListVisible(bool visible) {
  if (Handle()) ::ShowWindow(Handle(), visible ? SW_SHOWNOACTIVATE : SW_HIDE);
}

HWND TfrmQVRPlayList::OwnerWindow() const { return ::GetWindow(Handle(), GW_OWNER); }

void TfrmQVRPlayList::PlaceBottomButtons() {
  if (!btnSort || !btnrem || !btnadd) return;
  const auto lefts = BottomButtonLefts(Width(), btnrem->Width(), btnSort->Width(), btnadd->Width());
  btnrem->SetLeft(lefts[0]);
  btnSort->SetLeft(lefts[1]);
  btnadd->SetLeft(lefts[2]);
}

void TfrmQVRPlayList::UpdateRegions() {
  if (::IsZoomed(Handle())) {
    ::SetWindowRgn(Handle(), nullptr, TRUE);
    if (pTop) ::SetWindowRgn(pTop->Handle(), nullptr, TRUE);
    return;
  }
  // The system owns a region once it is set: nothing to free here.
  ::SetWindowRgn(Handle(), ::CreateRoundRectRgn(0, 0, Width() + 1, Height() + 1, 11, 11), TRUE);
  if (pTop) {
    const int w = pTop->Width(), h = pTop->Height();
    const POINT corners[] = {{w, h}, {0, h}, {0, 4}, {4, 0}, {w - 4, 0}, {w, 4}, {w, h}};
    ::SetWindowRgn(pTop->Handle(), ::CreatePolygonRgn(corners, 7, WINDING), TRUE);
  }
}

void TfrmQVRPlayList::PaintBackground(HDC target) {
  RECT client{};
  ::GetClientRect(Handle(), &client);
  const TSize size{client.right, client.bottom};
  if (!background_ || size.Width != backgroundSize_.Width || size.Height != backgroundSize_.Height) {
    background_.reset(::CreateCompatibleBitmap(target, size.Width, size.Height));
    backgroundSize_ = size;
  }
  TSelectedBitmap buffer(target, background_.get());
  HDC dc = background_ && buffer ? buffer.Dc() : target;
  FillSolid(dc, {0, 0, size.Width, size.Height}, kFrameColor);
  unique_gdi brush(::CreateSolidBrush(kInnerColor));
  unique_gdi pen(::CreatePen(PS_SOLID, 1, kInnerColor));
  const HGDIOBJ oldBrush = ::SelectObject(dc, brush.get());
  const HGDIOBJ oldPen = ::SelectObject(dc, pen.get());
  ::RoundRect(dc, 2, 7, size.Width - 2, size.Height - 2, 10, 10);
  ::SelectObject(dc, oldPen);
  ::SelectObject(dc, oldBrush);
  if (dc != target) ::BitBlt(target, 0, 0, size.Width, size.Height, dc, 0, 0, SRCCOPY);
}

void TfrmQVRPlayList::Snap(WINDOWPOS& position) {
  HWND owner = OwnerWindow();
  if (!owner || (position.flags & SWP_NOMOVE)) return;
  RECT m{};
  ::GetWindowRect(owner, &m);
  RECT self{};
  ::GetWindowRect(Handle(), &self);
  POINT cursor{};
  ::GetCursorPos(&cursor);
  const bool dragging = (::GetAsyncKeyState(VK_LBUTTON) & 0x8000) != 0 && ::PtInRect(&self, cursor);
  const TPoint snapped = SnapPlayList({position.x, position.y}, FromRect(m), dragging, Docked);
  position.x = snapped.X;
  position.y = snapped.Y;
}

void TfrmQVRPlayList::AddFilesDialog() {
  const std::vector<std::string> paths = PickMediaFiles(OwnerWindow(), kMediaFilter);
  if (paths.empty()) return;
  TRedrawLock lock(*lbInput);
  for (const std::string& path : paths) list_.AddFile(path);
}

void TfrmQVRPlayList::AddFolderDialog() {
  const std::wstring folder = CurrentDirectory();
  BROWSEINFOW browse{};
  browse.hwndOwner = OwnerWindow();
  browse.lpszTitle = L"Select Directory";
  browse.ulFlags = BIF_RETURNONLYFSDIRS;
  browse.lpfn = BrowseCallback;
  browse.lParam = reinterpret_cast<LPARAM>(folder.c_str());
  PIDLIST_ABSOLUTE chosen = ::SHBrowseForFolderW(&browse);
  if (!chosen) return;
  const unique_cotaskmem owned(chosen);
  wchar_t path[MAX_PATH] = {};
  if (!::SHGetPathFromIDListW(chosen, path) || !path[0]) return;
  ::SetCurrentDirectoryW(path);
  TRedrawLock lock(*lbInput);
  list_.ScanFolder(WideToUtf8(path));
}

void TfrmQVRPlayList::LoadPlaylistDialog() {
  wchar_t name[MAX_PATH] = {};
  const std::wstring folder = CurrentDirectory();
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = OwnerWindow();
  dialog.lpstrFilter = kPlaylistFilter;
  dialog.lpstrFile = name;
  dialog.nMaxFile = MAX_PATH;
  dialog.lpstrInitialDir = folder.c_str();
  dialog.lpstrTitle = L"Open Playlist";
  dialog.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_EXPLORER;
  if (::GetOpenFileNameW(&dialog) && name[0]) LoadPlaylistFrom(WideToUtf8(name));
}

void TfrmQVRPlayList::LoadPlaylistFrom(const std::string& path) {
  if (const std::error_code error = list_.LoadPlaylist(path))
    ReportException("Cannot open file \"" + path + "\". " + error.message());
}

void TfrmQVRPlayList::SavePlaylistDialog() {
  wchar_t name[MAX_PATH] = {};
  const std::wstring folder = CurrentDirectory();
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = OwnerWindow();
  dialog.lpstrFilter = kPlaylistFilter;
  dialog.lpstrFile = name;
  dialog.nMaxFile = MAX_PATH;
  dialog.lpstrInitialDir = folder.c_str();
  dialog.lpstrTitle = L"Save Playlist";
  dialog.Flags = OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_EXPLORER;
  if (!::GetSaveFileNameW(&dialog) || !name[0]) return;
  const std::string path = WideToUtf8(name);
  // A save that fails must not look like one that worked.
  if (const std::error_code error = list_.SavePlaylist(path))
    ReportException("Cannot create file \"" + PlaylistFileName(path) + "\". " + error.message());
}

void TfrmQVRPlayList::ShowProperties(int row) {
  if (row >= 0 && row < list_.RowCount() && OnProperties) OnProperties(list_.Item(row).FileName);
}

void TfrmQVRPlayList::ConvertRow(int row) {
  if (row >= 0 && row < list_.RowCount() && OnConvert) OnConvert(list_.Item(row).FileName);
}

void TfrmQVRPlayList::AddDropped(const std::vector<std::string>& names) {
  TRedrawLock lock(*lbInput);
  for (const std::string& name : names) {
    const DWORD attributes = ::GetFileAttributesW(Utf8ToWide(name).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
      list_.ScanFolder(name);
    else if (MatchesMaskList(name, MediaMaskList))
      list_.AddFile(name);
  }
}

void TfrmQVRPlayList::DropFiles(HDROP drop) {
  std::vector<std::string> names;
  const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    wchar_t name[1025] = {};
    if (::DragQueryFileW(drop, i, name, 1025)) names.push_back(WideToUtf8(name));
  }
  ::DragFinish(drop);
  AddDropped(names);
}

bool TfrmQVRPlayList::PreviewKey(const MSG& message) {
  if (message.message != WM_KEYDOWN) return false;
  const bool control = ::GetKeyState(VK_CONTROL) < 0;
  switch (message.wParam) {
    case VK_ESCAPE:
      list_.SelectOnly(list_.FocusedRow());
      return true;
    case VK_INSERT:
      if (!control) return false;
      AddFilesDialog();
      return true;
    case VK_DELETE:
      list_.RemoveItems(false, false);
      return true;
    case 'A':
      if (!control) return false;
      list_.SelectAll();
      return true;
    default:
      return false;
  }
}

// --- IPlayListView ---------------------------------------------------------------------------

void TfrmQVRPlayList::RowsChanged() {
  if (lbInput) lbInput->SyncFromList();
}

void TfrmQVRPlayList::RepaintRow(int index) {
  if (lbInput && !lbInput->syncing_) lbInput->SyncRowFromList(index);
  else if (lbInput) lbInput->InvalidateRow(index);
}

void TfrmQVRPlayList::RepaintAllRows() {
  if (lbInput && !lbInput->syncing_) lbInput->SyncFromList();
  else if (lbInput) lbInput->Invalidate();
}

void TfrmQVRPlayList::SetHasRows(bool hasRows) {
  rowHeight_ = hasRows ? kRowHeight : 1;
  if (lbInput) lbInput->SetRowHeight(rowHeight_);
}

void TfrmQVRPlayList::ResetDropTarget() {
  if (DropTarget < 0) return;
  const int old = DropTarget;
  DropTarget = -1;
  if (lbInput) lbInput->InvalidateRow(old);
}

void TfrmQVRPlayList::CaptureDockState() { DockedAtPlay = Docked; }

void TfrmQVRPlayList::RedockAfterPlay() {
  if (!DockedAtPlay) return;
  if (OnRedock) {
    OnRedock();
    return;
  }
  RECT m{};
  if (HWND owner = OwnerWindow(); owner && ::GetWindowRect(owner, &m)) {
    Docked = true;
    ::SetWindowPos(Handle(), nullptr, m.right, m.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

LRESULT TfrmQVRPlayList::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_GETMINMAXINFO: {
      auto* info = reinterpret_cast<MINMAXINFO*>(lparam);
      info->ptMinTrackSize = {kMinimumWidth, kMinimumHeight};
      return 0;
    }
    case WM_SIZE: {
      const LRESULT result = TForm::HandleMessage(message, wparam, lparam);
      UpdateRegions();
      PlaceBottomButtons();
      ::InvalidateRect(Handle(), nullptr, FALSE);
      return result;
    }
    case WM_WINDOWPOSCHANGING:
      Snap(*reinterpret_cast<WINDOWPOS*>(lparam));
      return TForm::HandleMessage(message, wparam, lparam);
    case WM_NCHITTEST: {
      const LRESULT answer = TForm::HandleMessage(message, wparam, lparam);
      if (::IsZoomed(Handle())) return answer;
      RECT r{};
      ::GetWindowRect(Handle(), &r);
      const TSize client = ClientSize();
      return PlayListHitTest(GET_X_LPARAM(lparam) - r.left, GET_Y_LPARAM(lparam) - r.top, client.Width, client.Height,
                             static_cast<int>(answer));
    }
    case WM_ERASEBKGND:
      return 1;  // WM_PAINT covers everything
    case WM_PAINT:
    case WM_PRINTCLIENT:
      if (HandlePaintMessage(Handle(), message, wparam, [this](HDC dc) { PaintBackground(dc); })) return 0;
      return TForm::HandleMessage(message, wparam, lparam);
    case WM_DROPFILES:
      DropFiles(reinterpret_cast<HDROP>(wparam));
      return 0;
    case WM_CLOSE:
      SetListVisible(false);
      if (OnVisibleChanged) OnVisibleChanged(false);
      return 0;
    default:
      return TForm::HandleMessage(message, wparam, lparam);
  }
}

}  // namespace qvr::ui
