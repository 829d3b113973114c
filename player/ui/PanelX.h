// TSkinPanel: a panel that paints its colour, then a bitmap skin (stretched, copied or in
// three slices), then an owner's hook, then its centred caption; all off-screen, copied once.
#pragma once

#include <functional>
#include <string>

#include "player/ui/Form.h"

namespace qvr::ui {

class TSkinPanel;
using TPanelPaintHook = std::function<void(TSkinPanel& sender, HDC canvas, const TRect& clientRect)>;
using TPanelNotify = std::function<void(TSkinPanel& sender)>;

class TSkinPanel : public TControl {
 public:
  TSkinPanel(TForm* owner, std::string name);

  bool CreateControl(TControl* parent, const TRect& bounds) override;

  // Loads the bitmap resource as the skin with the given edge width (0: no slicing).
  HRESULT LoadSkin(const char* resourceName, int edgeWidth);
  // Takes a bitmap made in code as the skin (LoadSkin's second half).
  void SetSkin(unique_hbitmap bitmap, int edgeWidth);
  bool Skinned() const { return skinned_; }
  int EdgeWidth() const { return edgeWidth_; }

  void SetText(const std::string& text) override;
  // Off by the video panel: a windowless video renderer paints straight into the window, so
  // an off-screen copy would cover its picture.
  void SetBuffered(bool buffered) { buffered_ = buffered; }

  // After the background, before the caption.
  TPanelPaintHook OnPaintHook;
  // The pointer left the panel's window rectangle (not merely into one of its children).
  TPanelNotify OnMouseLeaveHook;
  // The panel moved or changed size within its parent.
  TPanelNotify OnBoundsChanged;

  void DescendantMouseLeft() override;
  void ApplyAttributes(const TAttributes& attributes) override;

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  void Paint(HDC target);
  void TrackLeave();
  void CheckLeave();

  unique_hbitmap skin_;
  TSize skinSize_;
  int edgeWidth_ = 0;
  bool skinned_ = false;
  bool tracking_ = false;
  bool buffered_ = true;
  std::string caption_;
};

}  // namespace qvr::ui
