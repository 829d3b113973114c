#include "player/ui/Tracker.h"

#include <windowsx.h>

#include <stdexcept>

#include "player/ui/Canvas.h"

namespace qvr::ui {

namespace {
constexpr wchar_t kTrackerClass[] = L"QvrTracker";

[[noreturn]] void Bad(const TTracker& tracker, const char* key, const std::string& value) {
  throw std::invalid_argument(tracker.Name() + ": bad " + key + " '" + value + "'");
}
}  // namespace

TTracker::TTracker(TForm* owner, std::string name)
    : TControl(owner, std::move(name)),
      backColor_(::GetSysColor(COLOR_BTNSHADOW)),
      trackColor_(::GetSysColor(COLOR_WINDOW)),
      thumbColor_(::GetSysColor(COLOR_BTNFACE)) {}

bool TTracker::CreateControl(TControl* parent, const TRect& bounds) {
  if (!RegisterWindowClass(kTrackerClass, CS_DBLCLKS, nullptr, nullptr)) return false;
  model_.SetSize(bounds.Width(), bounds.Height());
  return CreateHandle(kTrackerClass, 0, WS_CHILD | WS_VISIBLE, "", bounds, ParentHandle(parent));
}

void TTracker::SetBackBitmap(HBITMAP bitmap) {
  backBitmap_.reset();
  backSize_ = {};
  BITMAP info{};
  if (bitmap && ::GetObjectW(bitmap, sizeof(info), &info)) {
    backBitmap_.reset(static_cast<HBITMAP>(::CopyImage(bitmap, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    if (backBitmap_) backSize_ = {info.bmWidth, info.bmHeight};
  }
  Invalidate();
}

void TTracker::ApplyAttributes(const TAttributes& attributes) {
  TControl::ApplyAttributes(attributes);
  for (const auto& [key, value] : attributes) {
    auto number = [&, k = key.c_str(), v = value] {
      const auto n = ParseIntValue(v);
      if (!n) Bad(*this, k, v);
      return *n;
    };
    auto color = [&, k = key.c_str(), v = value] {
      const auto c = ParseColorValue(v);
      if (!c) Bad(*this, k, v);
      return *c;
    };
    if (key == "min") model_.SetMinimum(number());
    else if (key == "max") model_.SetMaximum(number());
    else if (key == "value") model_.SetValue(number());
    else if (key == "orientation") model_.SetOrientation(value == "vertical" ? TjtbOrientation::jtbVertical : TjtbOrientation::jtbHorizontal);
    else if (key == "thumb") {
      const auto size = ParseSizeValue(value);
      if (!size) Bad(*this, "thumb", value);
      model_.SetThumbWidth(size->Width);
      model_.SetThumbHeight(size->Height);
    } else if (key == "trackheight") model_.SetTrackHeight(number());
    else if (key == "backcolor") backColor_ = color();
    else if (key == "trackcolor") trackColor_ = color();
    else if (key == "thumbcolor") thumbColor_ = color();
    else if (key == "bordercolor") borderColor_ = color();
    else if (key == "positioncolor") trackPositionColor_ = value == "1";
  }
  Invalidate();
}

void TTracker::Apply(const TTrackerModel::TMouseResult& result) {
  if (result.Repaint) Repaint();
  if (result.ValueChanged && OnChangedValue) OnChangedValue(*this, model_.Value());
}

void TTracker::Paint(HDC target) {
  const TSize size = ClientSize();
  TOffscreen buffer(target, size.Width, size.Height);
  HDC dc = buffer.Dc();
  if (backBitmap_ && backSize_.Width > 0 && backSize_.Height > 0) {
    TSelectedBitmap back(dc, backBitmap_.get());
    const int rows = size.Height / backSize_.Height + 1, columns = size.Width / backSize_.Width + 1;
    for (int row = 0; row < rows; ++row)
      for (int column = 0; column < columns; ++column)
        ::BitBlt(dc, column * backSize_.Width, row * backSize_.Height, backSize_.Width, backSize_.Height, back.Dc(), 0, 0,
                 SRCCOPY);
  } else {
    FillSolid(dc, {0, 0, size.Width, size.Height}, backColor_);
  }
  const TRect track = model_.TrackRect(), thumb = model_.ThumbRect();
  if (OnPaint) {
    OnPaint(*this, dc, track, thumb);
  } else {
    FillSolid(dc, track, trackPositionColor_ ? model_.PositionColor(trackColor_) : trackColor_);
    FillSolid(dc, thumb, thumbColor_);
    // One-pixel frame: highlight on the top and left edges, black on the bottom and right.
    const TColor light = ::GetSysColor(COLOR_HIGHLIGHT);
    FillSolid(dc, {thumb.Left, thumb.Top, thumb.Right, thumb.Top + 1}, light);
    FillSolid(dc, {thumb.Left, thumb.Top, thumb.Left + 1, thumb.Bottom}, light);
    FillSolid(dc, {thumb.Left, thumb.Bottom - 1, thumb.Right, thumb.Bottom}, 0);
    FillSolid(dc, {thumb.Right - 1, thumb.Top, thumb.Right, thumb.Bottom}, 0);
  }
  buffer.Present();
}

LRESULT TTracker::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  const TPoint point{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
  if (HandlePaintMessage(Handle(), message, wparam, [this](HDC dc) { Paint(dc); })) return 0;
  switch (message) {
    case WM_ERASEBKGND:
      return 1;
    case WM_SIZE:
      model_.SetSize(LOWORD(lparam), HIWORD(lparam));
      Invalidate();
      break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN: {
      RaiseMouseEvent(message == WM_LBUTTONDBLCLK ? WM_LBUTTONDOWN : message, wparam, lparam);
      const bool left = message == WM_LBUTTONDOWN || message == WM_LBUTTONDBLCLK;
      // Presses capture the mouse, as controls do, so a drag may leave the control.
      ::SetCapture(Handle());
      Apply(model_.Press(left, point));
      return 0;
    }
    case WM_MOUSEMOVE:
      if (!trackingLeave_) {
        TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, Handle(), 0};
        trackingLeave_ = ::TrackMouseEvent(&track) != FALSE;
      }
      RaiseMouseEvent(message, wparam, lparam);
      Apply(model_.Move(wparam & MK_LBUTTON, point));
      return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
      RaiseMouseEvent(message, wparam, lparam);
      Apply(model_.Release());
      if (::GetCapture() == Handle()) ::ReleaseCapture();
      return 0;
    case WM_CAPTURECHANGED:
      // Capture taken away mid-drag (a menu, another window): the drag ends there.
      if (model_.Dragging() && reinterpret_cast<HWND>(lparam) != Handle()) Apply(model_.Release());
      return 0;
    case WM_MOUSELEAVE:
      trackingLeave_ = false;
      DescendantMouseLeft();
      break;
    default:
      break;
  }
  return TControl::HandleMessage(message, wparam, lparam);
}

}  // namespace qvr::ui
