// TfrmQVRPlayList: the playlist window, owned by the main window and hidden until shown. It owns
// the list (TPlayList) and is its view: the borderless rounded window with its title bar, the
// owner-drawn rows of lbInput, the four pop-up menus, keys, dialogs, dragging rows, files
// dropped from the shell, and snapping and docking to the main window.
//
// Everything runs on the user-interface thread. The main window sets OnPlay (on the list),
// OnVisibleChanged, OnConvert, OnProperties and Docked; the menus and dialogs act at once and
// report failures through the window layer's error report.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/win/unique_resource.h"
#include "player/ui/Form.h"
#include "player/ui/core/PlayList.h"

namespace qvr::ui {

class TSkinButton;
class TSkinPanel;
class TPopupMenu;
class TMenuItem;
class TfrmQVRPlayList;

// lbInput: a system list box with fixed-height owner-drawn rows and extended selection, drawn
// from the TPlayList it shows. The list holds the selection and the focused row; the box mirrors
// them and reports the user's clicks back.
class TPlayListBox : public TControl {
 public:
  TPlayListBox(TfrmQVRPlayList* owner, std::string name);
  bool CreateControl(TControl* parent, const TRect& bounds) override;

  int RowCount() const;
  int TopIndex() const;
  // The row at a point of the box's client area; -1 below the rows or outside.
  int RowAt(TPoint client) const;
  TRect RowRect(int index) const;
  void SetRowHeight(int height);
  int RowHeight() const;

  // The list's rows, selection and focused row into the box.
  void SyncFromList();
  void SyncRowFromList(int index);
  void InvalidateRow(int index) const;

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;
  bool HandleReflected(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) override;

 private:
  friend class TfrmQVRPlayList;
  void SyncToList();
  void DrawRow(const DRAWITEMSTRUCT& item);

  TfrmQVRPlayList& form_;
  unique_gdi brush_;
  bool dragging_ = false;
  bool syncing_ = false;
  int locks_ = 0;              // TRedrawLocks alive: list changes are mirrored once at the end
  bool syncPending_ = false;
};

// SOURCESTRING: a hidden list of texts, which the language files translate by index.
class TStringsControl : public TControl {
 public:
  using TControl::TControl;
  bool CreateControl(TControl* parent, const TRect& bounds) override;
  void ApplyAttributes(const TAttributes& attributes) override;
  int ItemCount() const override { return static_cast<int>(items_.size()); }
  std::string ItemText(int index) const override;
  void SetItemText(int index, const std::string& text) override;

 private:
  std::vector<std::string> items_;
};

class TfrmQVRPlayList : public TForm, public IPlayListView {
 public:
  static constexpr int kMinimumWidth = 300;
  static constexpr int kMinimumHeight = 300;
  static constexpr TColor kFrameColor = RGB(108, 120, 129);
  static constexpr TColor kListColor = RGB(242, 242, 242);

  // SOURCESTRING items, by index.
  enum TCaption {
    csAddFiles, csAddFolder, csLoadPlaylist, csSavePlaylist, csPlay, csProperties, csSelectAll,
    csSelectNone, csInvertSelection, csRemoveSelected, csRemoveAll, csRemoveDeadFiles, csConvert
  };

  explicit TfrmQVRPlayList(IFileSystem& fileSystem);
  ~TfrmQVRPlayList() override;

  // Creates the hidden, borderless window owned by `owner`.
  HRESULT Create(HWND owner);

  TPlayList& List() { return list_; }
  const TPlayList& List() const { return list_; }
  TPlayListBox& ListBox() const { return *lbInput; }

  // The window's left edge is snapped to the main window's right edge.
  bool Docked = false;
  // Docked when an entry was last started from the list.
  bool DockedAtPlay = false;
  // The playlist hid itself through its close button.
  std::function<void(bool visible)> OnVisibleChanged;
  // Set by the main window to place a re-docked playlist itself; without it the window moves
  // beside its owner.
  std::function<void()> OnRedock;
  // The row's file for the suite's converter and for the shell's property sheet: the launches
  // are the main window's, shared with its own menu.
  std::function<void(const std::string& file)> OnConvert;
  std::function<void(const std::string& file)> OnProperties;

  // Row being dragged onto, highlighted; -1 none.
  int DropTarget = -1;
  // Screen position of the last press in the list; (-1, -1) none.
  TPoint PressPos{-1, -1};

  void SetListVisible(bool visible);

  // The menus' and keys' actions, public for the main window and for tests.
  void AddFilesDialog();
  void AddFolderDialog();
  void LoadPlaylistDialog();
  void SavePlaylistDialog();
  // Loads `path` into the list; an unreadable file keeps the list and is reported.
  void LoadPlaylistFrom(const std::string& path);
  void ShowProperties(int row);
  void ConvertRow(int row);
  // Adds what the shell dropped: folders are scanned, files need the media masks.
  void AddDropped(const std::vector<std::string>& names);
  // Right click on the list at a point of its client area: adjusts the selection and shows
  // pmItem (on a row) or pmList (below the rows) at `screen`.
  void ListContextMenu(TPoint client, POINT screen);
  void ButtonMenu(TSkinButton& button, TPopupMenu& menu);
  std::string Caption(TCaption index) const;

  // IPlayListView
  void RowsChanged() override;
  void RepaintRow(int index) override;
  void RepaintAllRows() override;
  void SetHasRows(bool hasRows) override;
  void ResetDropTarget() override;
  void CaptureDockState() override;
  void RedockAfterPlay() override;

  int RowHeight() const { return rowHeight_; }

 protected:
  std::unique_ptr<TComponent> CreateComponent(const TLayoutEntry& entry) override;
  bool PreviewKey(const MSG& message) override;
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  friend class TPlayListBox;
  void BindMenus();
  void SetMenuCaptions(TPopupMenu& menu);
  void PlaceBottomButtons();
  void UpdateRegions();
  void PaintBackground(HDC dc);
  void Snap(WINDOWPOS& position);
  void DropFiles(HDROP drop);
  HWND OwnerWindow() const;
  // While it lives, the list box does not redraw (a folder scan, a move).
  struct TRedrawLock {
    explicit TRedrawLock(TPlayListBox& box);
    ~TRedrawLock();
    TPlayListBox& Box;
  };

  TPlayList list_;
  int rowHeight_ = 1;
  int clickedRow_ = -1;  // the row a row menu was opened on
  TPlayListBox* lbInput = nullptr;
  TSkinPanel* pTop = nullptr;
  TSkinButton* btnClose = nullptr;
  TSkinButton* btnrem = nullptr;
  TSkinButton* btnSort = nullptr;
  TSkinButton* btnadd = nullptr;
  TStringsControl* SOURCESTRING = nullptr;
  TPopupMenu* pmList = nullptr;
  TPopupMenu* pmItem = nullptr;
  TPopupMenu* pmAdd = nullptr;
  TPopupMenu* pmRem = nullptr;
  TPopupMenu* pmSort = nullptr;
  unique_hbitmap background_;  // the window's background, composed off-screen
  TSize backgroundSize_;
};

}  // namespace qvr::ui
