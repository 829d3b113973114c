// Where the engine presents the picture. On Windows that is the video panel itself. Wine's
// windowless VMR-9 presents only into a top-level window without children, so there the picture
// goes to a borderless pop-up owned by the main window and kept exactly over the panel; it lets
// every mouse message through to the panel, so the panel still handles clicks, menus and drags.
#pragma once

#include <windows.h>

#include <functional>

#include "player/ui/Window.h"

namespace qvr::app {

class TVideoSurface final : public ui::TWindow {
 public:
  using TRepaint = std::function<void(HWND window, HDC dc)>;

  // Whether a pop-up is needed on this system (only under Wine).
  static bool Needed();

  // `panel` is the video panel; `repaint` draws the current picture when the pop-up is exposed.
  TVideoSurface(HWND panel, TRepaint repaint);
  ~TVideoSurface() override = default;

  // False when the pop-up could not be made; the picture then goes to the panel.
  bool Create();
  // The window the engine presents into: the pop-up when there is one, else the panel.
  HWND PictureWindow() const { return Handle() ? Handle() : panel_; }
  // Places the pop-up over the panel and shows it while `showPicture` holds and the main window
  // is on screen; hides it otherwise. Cheap when nothing changed. True when the pop-up took a new
  // place or size, so the picture's destination must follow.
  bool Sync(bool showPicture);

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  HWND panel_;
  TRepaint repaint_;
  RECT placed_{};
  bool mapped_ = false;   // shown on the X server
  bool picture_ = false;  // with its full shape, so the picture shows
};

}  // namespace qvr::app
