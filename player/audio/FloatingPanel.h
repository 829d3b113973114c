// What the equaliser and colour panels share: a borderless, stay-on-top, alpha-blended popup
// with a rounded shape, centred on its owner, that closes when it loses activation, fades out
// once the pointer has left it (TPanelFade, 50 ms timer "tmFade"), and whose two text buttons
// "stReset" and "stClose" show silver text while pressed.
//
// Lifetime: a panel is created by its unit's Create (one at a time) and closes itself; closing
// destroys the window at once and frees the object from a zero-delay thread timer, since the
// window procedure is still running on it when the window goes. An owned window also goes with
// its owner. UI thread only.
#pragma once

#include <memory>
#include <string>

#include "player/audio/core/PanelRules.h"
#include "player/ui/Form.h"

namespace qvr::audio {

// A line of bold text on a raised bevel, centred, that acts as a button (layout kind
// "textbutton"): OnClick after a press and release inside it.
class TTextButton : public ui::TControl {
 public:
  using TControl::TControl;
  bool CreateControl(ui::TControl* parent, const ui::TRect& bounds) override;
  ui::TNotifyEvent OnClick;

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  void Paint(HDC target);
  bool pressed_ = false;
  bool trackingLeave_ = false;
};

// A window that its owner paints (OnPaint with an HDC) and that raises mouse events; a press
// captures the mouse until the release (layout kind "paintbox").
class TPaintBox : public ui::TControl {
 public:
  using TControl::TControl;
  bool CreateControl(ui::TControl* parent, const ui::TRect& bounds) override;
  std::function<void(TPaintBox& sender, HDC dc)> OnPaint;

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  bool trackingLeave_ = false;
};

class TFloatingPanel : public ui::TForm {
 public:
  using TForm::TForm;

  // Centres the panel on its owner, gives it its opening opacity and shows it active.
  void ShowPanel();
  // Closes the panel (posted: it may be called from inside one of its own handlers).
  void Close();
  const TPanelFade& Fade() const { return fade_; }
  uint8_t Opacity() const { return fade_.Opacity(); }

 protected:
  // Builds the form from its layout resource and wires what every panel has.
  HRESULT CreatePanel(const char* resourceName, const wchar_t* className, HWND owner);
  // Reset was clicked.
  virtual void ResetClick() = 0;
  // The window is being destroyed: the unit clears its open flag and events.
  virtual void Closing() = 0;
  // After WM_NCDESTROY: the unit frees this object later.
  virtual void Destroyed() = 0;

  std::unique_ptr<ui::TComponent> CreateComponent(const ui::TLayoutEntry& entry) override;
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;
  void DescendantMouseLeft() override;

 private:
  void PointerMoved(HWND over);
  void PointerLeft();
  void ApplyOpacity();
  void FadeTick();

  TPanelFade fade_;
  bool inside_ = false;
  bool trackingLeave_ = false;
  ui::TTimer* tmFade = nullptr;
};

// Runs `action` once from the thread's message loop (a zero-delay thread timer): how a panel's
// unit frees the panel object after its window procedure has returned.
void RunSoon(void (*action)());

}  // namespace qvr::audio
