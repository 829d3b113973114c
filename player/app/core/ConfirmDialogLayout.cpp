#include "player/app/core/ConfirmDialogLayout.h"

#include <algorithm>
#include <cstdint>

namespace qvr::app {

using ui::MulDivRound;

TConfirmLayout LayoutConfirmDialog(const TConfirmInput& in) {
  TConfirmLayout l{};
  const int x = in.CharWidth, y = in.CharHeight;
  l.HorzMargin = MulDivRound(8, x, 4);
  l.VertMargin = MulDivRound(8, y, 8);
  l.HorzSpacing = MulDivRound(10, x, 4);
  l.VertSpacing = MulDivRound(10, y, 8);
  l.ButtonWidth = std::max(MulDivRound(50, x, 4), in.WidestCaption + 8);
  l.ButtonHeight = MulDivRound(14, y, 8);
  l.ButtonSpacing = MulDivRound(4, x, 4);

  int iconTextWidth = in.TextWidth, iconTextHeight = in.TextHeight;
  if (in.HasIcon) {
    iconTextWidth = in.TextWidth + 32 + l.HorzSpacing;
    iconTextHeight = std::max(in.TextHeight, 32);
  }
  const int groupWidth = in.Buttons > 0 ? in.Buttons * l.ButtonWidth + (in.Buttons - 1) * l.ButtonSpacing : 0;
  l.ClientWidth = std::max(iconTextWidth, groupWidth) + 4 * l.HorzMargin;
  l.ClientHeight = iconTextHeight + l.ButtonHeight + l.VertSpacing + 2 * l.VertMargin + (in.AskBox ? 12 : 0);

  l.Icon = {l.HorzMargin, l.VertMargin};
  const int messageLeft = iconTextWidth - in.TextWidth + l.HorzMargin + 6, messageTop = l.VertMargin + 7;
  l.Message = {messageLeft, messageTop, messageLeft + in.TextWidth, messageTop + in.TextHeight};
  l.ButtonsLeft = (l.ClientWidth - groupWidth) / 2;
  l.ButtonsTop = iconTextHeight + l.VertMargin + l.VertSpacing + (in.AskBox ? 14 : 0);
  if (in.AskBox) {
    const int top = iconTextHeight + l.VertMargin + 6;
    l.AskBox = {l.ButtonsLeft, top, l.ButtonsLeft + 2 * l.ButtonWidth, top + 17};
  }
  return l;
}

}  // namespace qvr::app
