// TfrmQVRPlayList: the playlist window, owned by the main window and hidden until shown. It owns
// the list (TPlayList) and is its view. This is the window's frame: title bar, close button,
// the three bottom buttons and docking state; the rows, menus, drag and drop come with the
// playlist window's own work.
#pragma once

#include <functional>
#include <memory>

#include "player/ui/Form.h"
#include "player/ui/core/PlayList.h"

namespace qvr::ui {

class TSkinButton;

class TfrmQVRPlayList : public TForm, public IPlayListView {
 public:
  static constexpr int kMinimumWidth = 300;
  static constexpr int kMinimumHeight = 300;

  explicit TfrmQVRPlayList(IFileSystem& fileSystem);
  ~TfrmQVRPlayList() override;

  // Creates the hidden, borderless window owned by `owner`.
  HRESULT Create(HWND owner);

  TPlayList& List() { return list_; }
  const TPlayList& List() const { return list_; }

  // The window's left edge is snapped to the main window's right edge.
  bool Docked = false;
  // Docked when an entry was last started from the list.
  bool DockedAtPlay = false;
  // The playlist hid itself through its close button.
  std::function<void(bool visible)> OnVisibleChanged;
  // Called when the list starts an entry after which it wants to be docked again.
  std::function<void()> OnRedock;

  void SetListVisible(bool visible);

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
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  void PlaceBottomButtons();

  TPlayList list_;
  int rowHeight_ = 1;
};

}  // namespace qvr::ui
