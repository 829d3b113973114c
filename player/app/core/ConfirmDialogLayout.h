// The measured layout of the exit question (ShowConfirmDialog): margins and button sizes from
// the message font's average character size, the client size from the wrapped message, the
// icon and the buttons, and the places of the icon, message, buttons and "Don't ask me again".
#pragma once

#include "player/ui/core/ControlGeometry.h"

namespace qvr::app {

struct TConfirmInput {
  int CharWidth = 0, CharHeight = 0;      // average character size of the message font
  int TextWidth = 0, TextHeight = 0;      // the message, word-wrapped within half the screen
  bool HasIcon = false;                   // a 32 x 32 icon left of the message
  int Buttons = 0;                        // buttons in the row
  int WidestCaption = 0;                  // pixel width of the widest button caption
  bool AskBox = false;                    // the "Don't ask me again" box
};

struct TConfirmLayout {
  int HorzMargin, VertMargin, HorzSpacing, VertSpacing, ButtonWidth, ButtonHeight, ButtonSpacing;
  int ClientWidth, ClientHeight;
  ui::TPoint Icon;
  ui::TRect Message;
  int ButtonsLeft, ButtonsTop;  // the first button; the others follow at ButtonWidth + ButtonSpacing
  ui::TRect AskBox;             // empty without the box
};

TConfirmLayout LayoutConfirmDialog(const TConfirmInput& input);

}  // namespace qvr::app
