#include "player/ui/uPlaylist.h"

#include "player/ui/PanelX.h"
#include "player/ui/uButton.h"

namespace qvr::ui {

TfrmQVRPlayList::TfrmQVRPlayList(IFileSystem& fileSystem) : TForm("frmQVRPlayList"), list_(fileSystem) {
  list_.SetView(this);
}

TfrmQVRPlayList::~TfrmQVRPlayList() {
  list_.SetView(nullptr);
  DestroyHandle();
}

HRESULT TfrmQVRPlayList::Create(HWND owner) {
  if (const HRESULT hr = CreateFormFromResource("TFRMQVRPLAYLIST", L"TfrmQVRPlayList", WS_POPUP | WS_CLIPCHILDREN, 0, owner);
      FAILED(hr))
    return hr;
  Find<TSkinButton>("btnClose")->OnClick = [this](TComponent&) {
    SetListVisible(false);
    if (OnVisibleChanged) OnVisibleChanged(false);
  };
  // The title bar moves the window.
  Find<TSkinPanel>("pTop")->OnMouseDown = [this](TControl&, TMouseButton button, UINT, TPoint) {
    if (button != TMouseButton::mbLeft) return;
    ::ReleaseCapture();
    ::SendMessageW(Handle(), WM_SYSCOMMAND, 0xF012, 0);  // SC_MOVE + HTCAPTION
  };
  PlaceBottomButtons();
  return S_OK;
}

void TfrmQVRPlayList::SetListVisible(bool visible) {
  if (Handle()) ::ShowWindow(Handle(), visible ? SW_SHOWNOACTIVATE : SW_HIDE);
}

void TfrmQVRPlayList::PlaceBottomButtons() {
  auto* sort = Find<TSkinButton>("btnSort");
  auto* remove = Find<TSkinButton>("btnrem");
  auto* add = Find<TSkinButton>("btnadd");
  if (!sort || !remove || !add) return;
  sort->SetLeft((Width() - sort->Width()) / 2);
  remove->SetLeft(sort->Left() - remove->Width());
  add->SetLeft(sort->Left() + sort->Width());
}

void TfrmQVRPlayList::RowsChanged() { Invalidate(); }
void TfrmQVRPlayList::RepaintRow(int) { Invalidate(); }
void TfrmQVRPlayList::RepaintAllRows() { Invalidate(); }
void TfrmQVRPlayList::SetHasRows(bool hasRows) { rowHeight_ = hasRows ? 19 : 1; }
void TfrmQVRPlayList::ResetDropTarget() {}
void TfrmQVRPlayList::CaptureDockState() { DockedAtPlay = Docked; }
void TfrmQVRPlayList::RedockAfterPlay() {
  if (DockedAtPlay && OnRedock) OnRedock();
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
      PlaceBottomButtons();
      return result;
    }
    case WM_CLOSE:
      SetListVisible(false);
      if (OnVisibleChanged) OnVisibleChanged(false);
      return 0;
    default:
      return TForm::HandleMessage(message, wparam, lparam);
  }
}

}  // namespace qvr::ui
