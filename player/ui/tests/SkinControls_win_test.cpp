// The skinned controls and the window layer on real windows: the gallery form built from its
// layout resource, driven with real messages, read back as screen pixels.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/testing/WinTestSupport.h"
#include "common/win/text.h"
#include "player/resources/ResourceLoader.h"
#include "player/ui/Canvas.h"
#include "player/ui/Form.h"
#include "player/ui/PanelX.h"
#include "player/ui/Tracker.h"
#include "player/ui/core/SkinImage.h"
#include "player/ui/uButton.h"

namespace {

using namespace qvr::ui;

// What the screen shows inside a window's client area, as 0x00RRGGBB.
class Pixels {
 public:
  explicit Pixels(HWND window) {
    RECT r;
    ::GetClientRect(window, &r);
    width_ = r.right;
    height_ = r.bottom;
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width_, -height_, 1, 32, BI_RGB};
    void* bits = nullptr;
    HDC source = ::GetDC(window);
    qvr::unique_hbitmap dib(::CreateDIBSection(source, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    {
      TSelectedBitmap target(source, dib.get());
      ::BitBlt(target.Dc(), 0, 0, width_, height_, source, 0, 0, SRCCOPY);
      ::GdiFlush();
      const auto* p = static_cast<const uint32_t*>(bits);
      pixels_.assign(p, p + static_cast<size_t>(width_) * height_);
    }
    ::ReleaseDC(window, source);
  }
  uint32_t At(int x, int y) const { return pixels_.at(static_cast<size_t>(y) * width_ + x) & 0xFFFFFF; }
  int Width() const { return width_; }
  int Height() const { return height_; }

 private:
  int width_ = 0, height_ = 0;
  std::vector<uint32_t> pixels_;
};

uint32_t ScreenColor(TColor c) { return static_cast<uint32_t>(RedOf(c)) << 16 | GreenOf(c) << 8 | BlueOf(c); }

// The frames of a "PNG" strip as LoadSkin prepares them for a button of width x height.
qvr::resources::TBgraImage Strip(const char* name, int width, int height, TColor skinColor) {
  std::span<const uint8_t> bytes;
  EXPECT_EQ(S_OK, qvr::resources::FindResourceBytes(::GetModuleHandleW(nullptr), name, "PNG", bytes));
  qvr::resources::TBgraImage image;
  EXPECT_TRUE(qvr::resources::DecodePng(bytes, image));
  return ComposeOverFill(image, 4 * width, height, skinColor);
}

// The frame a button shows: the index of the strip frame equal to its pixels, or -1.
int ShownFrame(TSkinButton& button, const qvr::resources::TBgraImage& strip) {
  Pixels shown(button.Handle());
  for (int frame = 0; frame < 4; ++frame) {
    bool same = true;
    for (int y = 0; y < shown.Height() && same; ++y)
      for (int x = 0; x < shown.Width() && same; ++x)
        same = shown.At(x, y) == (strip.PixelAt(static_cast<uint32_t>(frame * shown.Width() + x), static_cast<uint32_t>(y)) & 0xFFFFFF);
    if (same) return frame;
  }
  return -1;
}

class GalleryForm : public TForm {
 public:
  GalleryForm() : TForm("frmSkinDemo") {}
  std::vector<WPARAM> PreviewedKeys;

 protected:
  bool PreviewKey(const MSG& message) override {
    if (message.message != WM_KEYDOWN) return false;
    PreviewedKeys.push_back(message.wParam);
    return message.wParam == VK_SPACE;
  }
};

class SkinControls : public qvr::testing::ComTest {
 protected:
  void SetUp() override {
    ComTest::SetUp();
    previous_ = SetExceptionReporter([this](const std::string& message) { reported_.push_back(message); });
    ASSERT_EQ(S_OK, form_.CreateFormFromResource("TFRMSKINDEMO", L"QvrTestGallery", WS_POPUP, WS_EX_TOPMOST, nullptr));
    // Shown without activation: Wine treats activated top-level windows as managed, and with no
    // window manager on the test display hiding a managed window waits 2 s for it.
    ::SetWindowPos(form_.Handle(), HWND_TOPMOST, 40, 40, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW | SWP_NOACTIVATE);
    Flush();
  }
  void TearDown() override {
    form_.DestroyHandle();
    SetExceptionReporter(previous_);
    EXPECT_TRUE(reported_.empty()) << reported_.front();
  }

  void Flush() {
    ::RedrawWindow(form_.Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    PumpPendingMessages();
    ::GdiFlush();
  }
  template <typename T>
  T& Get(const char* name) {
    T* component = form_.Find<T>(name);
    if (!component) throw std::runtime_error(std::string("no ") + name);
    return *component;
  }
  static void Click(HWND window, WPARAM keys = 0, int x = 4, int y = 4) {
    ::SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON | keys, MAKELPARAM(x, y));
    ::SendMessageW(window, WM_LBUTTONUP, keys, MAKELPARAM(x, y));
  }
  static POINT ScreenPoint(HWND window, int x, int y) {
    POINT p{x, y};
    ::ClientToScreen(window, &p);
    return p;
  }

  GalleryForm form_;
  std::vector<std::string> reported_;
  TExceptionReporter previous_;
};

TEST_F(SkinControls, ButtonsShowTheFrameOfTheirState) {
  auto& play = Get<TSkinButton>("btnPlay");
  const auto strip = Strip("btn_play", 56, 23, play.SkinColor());
  EXPECT_EQ(0, ShownFrame(play, strip));
  play.SetHot(true);
  Flush();
  EXPECT_EQ(2, ShownFrame(play, strip));
  ::SendMessageW(play.Handle(), BM_SETSTATE, TRUE, 0);  // the system's "selected" state
  Flush();
  EXPECT_EQ(3, ShownFrame(play, strip));
  ::SendMessageW(play.Handle(), BM_SETSTATE, FALSE, 0);
  play.SetHot(false);
  play.SetDown(true);  // no Toggle: ignored
  Flush();
  EXPECT_EQ(0, ShownFrame(play, strip));
  EXPECT_FALSE(play.Down());

  // A toggle latches on frame 3 after the click, until its owner clears Down.
  auto& repeat = Get<TSkinButton>("btnRepeat");
  const auto repeatStrip = Strip("BTN_REPEAT", 16, 16, repeat.SkinColor());
  Click(repeat.Handle());
  repeat.SetHot(false);
  Flush();
  EXPECT_TRUE(repeat.Down());
  EXPECT_EQ(3, ShownFrame(repeat, repeatStrip));
  repeat.SetDown(false);
  Flush();
  EXPECT_EQ(0, ShownFrame(repeat, repeatStrip));
  Click(repeat.Handle(), MK_SHIFT);  // with a modifier held it does not latch
  repeat.SetHot(false);
  Flush();
  EXPECT_FALSE(repeat.Down());
  EXPECT_EQ(0, ShownFrame(repeat, repeatStrip));

  // Hot follows the pointer: a move sets it, leaving clears it.
  ::SendMessageW(play.Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
  EXPECT_TRUE(play.Hot());
  ::SendMessageW(play.Handle(), WM_MOUSELEAVE, 0, 0);
  EXPECT_FALSE(play.Hot());
}

TEST_F(SkinControls, DoubleClicksPressTwiceAndTheDefaultLookIsIgnored) {
  auto& play = Get<TSkinButton>("btnPlay");
  int clicks = 0;
  play.OnClick = [&](TComponent& sender) {
    EXPECT_EQ(&play, &sender);
    ++clicks;
  };
  ::SendMessageW(play.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  ::SendMessageW(play.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  ::SendMessageW(play.Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 5));
  ::SendMessageW(play.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  EXPECT_EQ(2, clicks);

  ::SendMessageW(play.Handle(), BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
  EXPECT_EQ(BS_OWNERDRAW, ::GetWindowLongW(play.Handle(), GWL_STYLE) & BS_TYPEMASK);
  EXPECT_TRUE(play.DefaultLook());
  Flush();
  EXPECT_EQ(0, ShownFrame(play, Strip("btn_play", 56, 23, play.SkinColor())));
}

TEST_F(SkinControls, CaptionsSitCentredTwoPixelsHigh) {
  auto& toggle = Get<TSkinButton>("btnToggle");
  const auto strip = Strip("btn_plain", toggle.Width(), toggle.Height(), toggle.SkinColor());
  Pixels shown(toggle.Handle());
  // The caption's ink is where the pixels differ from frame 0.
  RECT ink{shown.Width(), shown.Height(), -1, -1};
  for (int y = 0; y < shown.Height(); ++y)
    for (int x = 0; x < shown.Width(); ++x)
      if (shown.At(x, y) != (strip.PixelAt(static_cast<uint32_t>(x), static_cast<uint32_t>(y)) & 0xFFFFFF)) {
        ink = {std::min<LONG>(ink.left, x), std::min<LONG>(ink.top, y), std::max<LONG>(ink.right, x), std::max<LONG>(ink.bottom, y)};
      }
  ASSERT_GE(ink.right, 0) << "no caption drawn";
  HDC dc = ::GetDC(toggle.Handle());
  HGDIOBJ previous = ::SelectObject(dc, toggle.Font());
  const SIZE extent = MeasureTextUtf8(dc, "Toggle");
  ::SelectObject(dc, previous);
  ::ReleaseDC(toggle.Handle(), dc);
  const TPoint origin = ButtonCaptionOrigin(toggle.Width(), toggle.Height(), extent.cx, extent.cy);
  EXPECT_GE(ink.left, origin.X);
  EXPECT_LT(ink.right, origin.X + extent.cx);
  EXPECT_GE(ink.top, origin.Y);
  EXPECT_LT(ink.bottom, origin.Y + extent.cy);
  // The caption is black, as the layout says, not the system colour.
  EXPECT_EQ(0u, shown.At(ink.left + (ink.right - ink.left) / 2, ink.top + (ink.bottom - ink.top) / 2) & 0xFF000000);
}

TEST_F(SkinControls, SkinsFromFilesSplitIntoFourFrames) {
  // A 4-frame bitmap file: red, green, blue and white frames of 20 x 10.
  const std::wstring path = qvr::testing::ExeDirectory() + L"skin_\x0416_test.bmp";
  {
    const int w = 80, h = 10, stride = w * 3;
    BITMAPFILEHEADER file{0x4D42, static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER) + stride * h), 0, 0,
                          sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)};
    BITMAPINFOHEADER info{sizeof(info), w, h, 1, 24, BI_RGB};
    std::vector<uint8_t> rows(static_cast<size_t>(stride) * h);
    const uint8_t bgr[4][3] = {{0, 0, 255}, {0, 255, 0}, {255, 0, 0}, {255, 255, 255}};
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) std::copy_n(bgr[x / 20], 3, &rows[static_cast<size_t>(y) * stride + x * 3]);
    FILE* f = _wfopen(path.c_str(), L"wb");
    ASSERT_NE(nullptr, f);
    std::fwrite(&file, sizeof(file), 1, f);
    std::fwrite(&info, sizeof(info), 1, f);
    std::fwrite(rows.data(), 1, rows.size(), f);
    std::fclose(f);
  }
  auto& add = Get<TSkinButton>("btnAdd");
  EXPECT_FALSE(add.LoadSkinFromFile(qvr::WideToUtf8(qvr::testing::ExeDirectory() + L"missing.bmp")));
  EXPECT_TRUE(add.Skinned());
  ASSERT_TRUE(add.LoadSkinFromFile(qvr::WideToUtf8(path)));
  Flush();
  EXPECT_EQ(0xFF0000u, Pixels(add.Handle()).At(10, 5));
  add.SetHot(true);
  Flush();
  EXPECT_EQ(0x0000FFu, Pixels(add.Handle()).At(10, 5));
  ::DeleteFileW(path.c_str());
}

// A top-down 32-bit DIB whose columns take the given colours in turn, `run` columns each.
qvr::unique_hbitmap ColumnBitmap(const std::vector<uint32_t>& colours, int run, int height) {
  const int width = static_cast<int>(colours.size()) * run;
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB};
  void* bits = nullptr;
  qvr::unique_hbitmap dib(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  auto* p = static_cast<uint32_t*>(bits);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) p[y * width + x] = colours[static_cast<size_t>(x / run)];
  return dib;
}

TEST_F(SkinControls, PanelsStretchNarrowSkinsAndSliceWideOnes) {
  auto& panel = Get<TSkinPanel>("pStretched");
  panel.SetText("");
  ASSERT_EQ(200, panel.Width());
  // Three columns stretched to 206 pixels: the third begins at 137, not at 134.
  panel.SetSkin(ColumnBitmap({0xFF0000, 0x00FF00, 0x0000FF}, 1, 33), 0);
  Flush();
  Pixels stretched(panel.Handle());
  EXPECT_EQ(0xFF0000u, stretched.At(10, 10));
  EXPECT_EQ(0x00FF00u, stretched.At(135, 10));
  EXPECT_EQ(0x0000FFu, stretched.At(140, 10));
  EXPECT_EQ(0x0000FFu, stretched.At(199, 10));

  // Slices of 4: the edges as drawn, the second slice across the middle, the rest unused.
  std::vector<uint32_t> columns(30, 0xFFFFFF);
  for (int x = 0; x < 4; ++x) columns[x] = 0xFF0000, columns[4 + x] = 0x00FF00, columns[26 + x] = 0x0000FF;
  TRect hooked;
  panel.OnPaintHook = [&](TSkinPanel& sender, HDC canvas, const TRect& client) {
    EXPECT_EQ(&panel, &sender);
    hooked = client;
    FillSolid(canvas, {100, 0, 102, 2}, 0x000000);  // over the skin, under the caption
  };
  panel.SetSkin(ColumnBitmap(columns, 1, 33), 4);
  Flush();
  Pixels sliced(panel.Handle());
  EXPECT_EQ((TRect{0, 0, 200, 33}), hooked);
  EXPECT_EQ(0xFF0000u, sliced.At(3, 20));
  EXPECT_EQ(0x00FF00u, sliced.At(4, 20));
  EXPECT_EQ(0x00FF00u, sliced.At(195, 20));
  EXPECT_EQ(0x0000FFu, sliced.At(196, 20));
  EXPECT_EQ(0x000000u, sliced.At(101, 1));
  // Below the bitmap's 33 rows the panel colour shows (the panel is 33 high: none).
  EXPECT_EQ(33, sliced.Height());
}

TEST_F(SkinControls, PanelLeaveHookFiresOnlyOutsideTheWindowRectangle) {
  auto& panel = Get<TSkinPanel>("pButtons");
  auto& play = Get<TSkinButton>("btnPlay");
  int leaves = 0;
  panel.OnMouseLeaveHook = [&](TSkinPanel&) { ++leaves; };
  POINT inside = ScreenPoint(play.Handle(), 5, 5);
  ASSERT_TRUE(::SetCursorPos(inside.x, inside.y));
  ::SendMessageW(panel.Handle(), WM_MOUSELEAVE, 0, 0);  // into a child: still inside
  EXPECT_EQ(0, leaves);
  ASSERT_TRUE(::SetCursorPos(5, 1000));
  ::SendMessageW(play.Handle(), WM_MOUSELEAVE, 0, 0);  // out through the child
  EXPECT_EQ(1, leaves);
  ::SendMessageW(panel.Handle(), WM_MOUSELEAVE, 0, 0);
  EXPECT_EQ(2, leaves);
}

TEST_F(SkinControls, TrackersFollowMouseMessagesAndRaiseOnlyMouseChanges) {
  auto& seek = Get<TTracker>("trSeek");  // 300 x 12, thumb 10: travel 10..290 over 0..5000
  std::vector<std::string> events;
  seek.OnMouseDown = [&](TControl&, TMouseButton, UINT, TPoint p) { events.push_back("down " + std::to_string(p.X)); };
  seek.OnMouseUp = [&](TControl&, TMouseButton, UINT, TPoint) { events.push_back("up"); };
  seek.OnChangedValue = [&](TTracker& sender, int value) {
    EXPECT_EQ(&seek, &sender);
    events.push_back("value " + std::to_string(value));
  };
  ::SendMessageW(seek.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(150, 6));
  EXPECT_EQ(::GetCapture(), seek.Handle());
  ::SendMessageW(seek.Handle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(220, 6));
  ::SendMessageW(seek.Handle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(-40, 30));  // outside: clamped
  ::SendMessageW(seek.Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(100, 6));            // button up: nothing
  ::SendMessageW(seek.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(100, 6));
  EXPECT_EQ((std::vector<std::string>{"down 150", "value 2500", "value 3750", "value 0", "up"}), events);
  EXPECT_EQ(nullptr, ::GetCapture());
  EXPECT_FALSE(seek.Model().Dragging());
  seek.SetValue(4000);
  seek.SetValue(6000);  // out of range: ignored
  EXPECT_EQ(4000, seek.Value());
  EXPECT_EQ(5u, events.size());
  // A right press raises OnMouseDown only.
  ::SendMessageW(seek.Handle(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(20, 6));
  ::SendMessageW(seek.Handle(), WM_RBUTTONUP, 0, MAKELPARAM(20, 6));
  EXPECT_EQ(4000, seek.Value());
  EXPECT_EQ("up", events.back());
  EXPECT_EQ("down 20", events[events.size() - 2]);
}

TEST_F(SkinControls, TrackersPaintTrackThumbAndBackground) {
  auto& volume = Get<TTracker>("trVolume");  // 63 x 12, thumb 12 x 10, track 2, value 70
  volume.SetBackColor(Rgb(10, 20, 30));
  volume.SetTrackColor(Rgb(200, 100, 0));
  volume.SetThumbColor(Rgb(0, 90, 180));
  Flush();
  const TRect thumb = volume.Model().ThumbRect(), track = volume.Model().TrackRect();
  Pixels shown(volume.Handle());
  EXPECT_EQ(ScreenColor(Rgb(10, 20, 30)), shown.At(0, 0));
  EXPECT_EQ(ScreenColor(Rgb(200, 100, 0)), shown.At(track.Left + 1, track.Top));
  EXPECT_EQ(ScreenColor(Rgb(0, 90, 180)), shown.At(thumb.Left + 3, thumb.Top + 3));
  EXPECT_EQ(ScreenColor(::GetSysColor(COLOR_HIGHLIGHT)), shown.At(thumb.Left, thumb.Top + 3));
  EXPECT_EQ(ScreenColor(::GetSysColor(COLOR_HIGHLIGHT)), shown.At(thumb.Left + 3, thumb.Top));
  EXPECT_EQ(0u, shown.At(thumb.Right - 1, thumb.Top + 3));
  EXPECT_EQ(0u, shown.At(thumb.Left + 3, thumb.Bottom - 1));

  // The track colour scaled by the value: 40 / 200 of (40, 160, 255).
  auto& band = Get<TTracker>("trBand1");
  Flush();
  const TRect bandTrack = band.Model().TrackRect();
  EXPECT_EQ(ScreenColor(Rgb(8, 32, 51)), Pixels(band.Handle()).At(bandTrack.Left + 1, bandTrack.Bottom - 2));

  // OnPaint replaces track and thumb; the background is still ours.
  volume.OnPaint = [](TTracker&, HDC canvas, const TRect& trackRect, const TRect&) { FillSolid(canvas, trackRect, Rgb(255, 0, 255)); };
  // And a back bitmap is tiled from the origin: rows alternate between two colours.
  volume.SetBackBitmap(ColumnBitmap({0x112233, 0x445566}, 3, 5).get());
  Flush();
  Pixels custom(volume.Handle());
  EXPECT_EQ(0xFF00FFu, custom.At(thumb.Left + 3, track.Top));
  EXPECT_EQ(0x445566u, custom.At(thumb.Left + 1, 1));  // no thumb drawn
  EXPECT_EQ(0x445566u, custom.At(4, 11));
  EXPECT_EQ(0x112233u, custom.At(6, 11));
}

TEST_F(SkinControls, HintsAreShownForHoveredControls) {
  HWND tooltip = form_.TooltipHandle();
  ASSERT_NE(nullptr, tooltip);
  auto& play = Get<TSkinButton>("btnPlay");
  auto toolText = [&](TControl& control) {
    wchar_t text[80] = {};
    TTTOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.hwnd = form_.Handle();
    tool.uId = reinterpret_cast<UINT_PTR>(control.Handle());
    tool.lpszText = text;
    ::SendMessageW(tooltip, TTM_GETTEXTW, 80, reinterpret_cast<LPARAM>(&tool));
    return qvr::WideToUtf8(text);
  };
  EXPECT_EQ("Play/Pause", toolText(play));
  EXPECT_EQ("Toogle Playlist", toolText(Get<TSkinButton>("btnPlayList")));
  const LRESULT tools = ::SendMessageW(tooltip, TTM_GETTOOLCOUNT, 0, 0);
  play.SetHint("Play \xE2\x96\xB6");
  EXPECT_EQ("Play \xE2\x96\xB6", toolText(play));
  play.SetHint("");
  EXPECT_EQ(tools - 1, ::SendMessageW(tooltip, TTM_GETTOOLCOUNT, 0, 0));
  play.SetHint("Play/Pause");

  // Hovering: the pointer comes to rest on the button and the tip appears after its delay.
  const POINT over = ScreenPoint(play.Handle(), 20, 10);
  ::SetCursorPos(over.x, over.y);
  ::SendMessageW(play.Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(20, 10));
  const DWORD until = ::GetTickCount() + 4000;
  while (!::IsWindowVisible(tooltip) && ::GetTickCount() < until) {
    PumpPendingMessages();
    ::Sleep(20);
  }
  EXPECT_TRUE(::IsWindowVisible(tooltip));
}

TEST_F(SkinControls, AnchorsKeepTheLayoutThroughResizes) {
  auto& close = Get<TSkinButton>("btnClose");
  auto& play = Get<TSkinButton>("btnPlay");
  ::SetWindowPos(form_.Handle(), nullptr, 0, 0, 560, 300, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  EXPECT_EQ(560, Get<TSkinPanel>("pTop").Width());
  EXPECT_EQ(534, close.Left());
  EXPECT_EQ(300, Get<TSkinPanel>("pStretched").Width());
  EXPECT_EQ(460, Get<TTracker>("trBand1").Left());
  EXPECT_EQ(234, play.Left());  // no anchors: its centre moves from 215 to 262 of 560
  // Moved by code, a control keeps that place relative to its anchors from then on.
  close.SetLeft(500);
  ::SetWindowPos(form_.Handle(), nullptr, 0, 0, 460, 250, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  EXPECT_EQ(400, close.Left());
  EXPECT_EQ(187, play.Left());
  EXPECT_EQ(460, Get<TSkinPanel>("pTop").Width());
}

TEST_F(SkinControls, ComponentsKeepTheirLayoutOrder) {
  std::vector<std::string> names;
  for (TComponent* component : form_.Components()) names.push_back(component->Name());
  ASSERT_EQ(29u, names.size());
  EXPECT_EQ("pTop", names.front());
  EXPECT_EQ("btnMin", names[1]);
  EXPECT_EQ("trBand3", names.back());
  EXPECT_EQ(nullptr, form_.Find<TTracker>("btnPlay"));
  EXPECT_EQ(&Get<TSkinPanel>("pButtons"), Get<TSkinButton>("btnPlay").Parent());
  EXPECT_EQ("QVR Player controls", form_.Text());
  EXPECT_EQ("Skinned controls", Get<TSkinPanel>("pTop").Text());
}

TEST_F(SkinControls, HandlerExceptionsAreReportedAndTheWindowGoesOn) {
  auto& play = Get<TSkinButton>("btnPlay");
  int clicks = 0;
  play.OnClick = [&](TComponent&) {
    if (++clicks == 1) throw std::runtime_error("first click failed");
  };
  Click(play.Handle());
  ASSERT_EQ(1u, reported_.size());
  EXPECT_EQ("first click failed", reported_[0]);
  reported_.clear();
  Click(play.Handle());
  EXPECT_EQ(2, clicks);
}

TEST_F(SkinControls, KeyPreviewSeesKeysBeforeTheFocusedControl) {
  auto& play = Get<TSkinButton>("btnPlay");
  int clicks = 0;
  play.OnClick = [&](TComponent&) { ++clicks; };
  ::SetForegroundWindow(form_.Handle());
  play.SetFocus();
  auto press = [&](WPARAM key) {
    ::PostMessageW(play.Handle(), WM_KEYDOWN, key, 1);
    ::PostMessageW(play.Handle(), WM_KEYUP, key, 0xC0000001);
    PumpPendingMessages();
  };
  press(VK_SPACE);  // without preview the button takes the space bar
  EXPECT_EQ(1, clicks);
  EXPECT_TRUE(form_.PreviewedKeys.empty());
  form_.SetKeyPreview(true);
  press(VK_SPACE);  // consumed by the form
  press('A');       // seen, then passed on
  EXPECT_EQ(1, clicks);
  EXPECT_EQ((std::vector<WPARAM>{VK_SPACE, 'A'}), form_.PreviewedKeys);
}

}  // namespace
