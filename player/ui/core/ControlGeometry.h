// Plain geometry shared by the skinned controls and the form layer: rectangles in the Win32
// sense (right and bottom edges excluded), colours as 0x00BBGGRR like COLORREF, and the
// arithmetic of the controls' drawing rules, callable without a window.
#pragma once

#include <cstdint>
#include <vector>

namespace qvr::ui {

struct TPoint {
  int X = 0;
  int Y = 0;
  friend bool operator==(const TPoint&, const TPoint&) = default;
};

struct TRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;

  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
  bool Contains(TPoint p) const { return p.X >= Left && p.X < Right && p.Y >= Top && p.Y < Bottom; }
  TRect Inflated(int dx, int dy) const { return {Left - dx, Top - dy, Right + dx, Bottom + dy}; }
  friend bool operator==(const TRect&, const TRect&) = default;
};

// 0x00BBGGRR, the byte order of a COLORREF.
using TColor = uint32_t;
constexpr TColor Rgb(int r, int g, int b) {
  return static_cast<TColor>(r & 0xFF) | static_cast<TColor>(g & 0xFF) << 8 | static_cast<TColor>(b & 0xFF) << 16;
}
constexpr int RedOf(TColor c) { return static_cast<int>(c & 0xFF); }
constexpr int GreenOf(TColor c) { return static_cast<int>(c >> 8 & 0xFF); }
constexpr int BlueOf(TColor c) { return static_cast<int>(c >> 16 & 0xFF); }

// Win32 MulDiv: multiply in 64 bits, divide rounding half away from zero; -1 for a zero divisor.
int MulDivRound(int value, int numerator, int denominator);

// Nearest integer, ties to even (banker's rounding), independent of the FPU's rounding mode.
// Values beyond the int range saturate; NaN gives 0.
int RoundHalfEven(double value);

// --- TSkinButton -------------------------------------------------------------------------

// The strip frame a button shows: 3 pressed or latched down, else 2 hot, else 0.
int ButtonFrame(bool pressed, bool down, bool hot);

// Top-left of a button caption: centred, lifted by two pixels.
TPoint ButtonCaptionOrigin(int width, int height, int textWidth, int textHeight);

// --- TSkinPanel ----------------------------------------------------------------------------

// One stretched copy of part of the skin bitmap onto the panel.
struct TBlit {
  TRect Source;
  TRect Dest;
  friend bool operator==(const TBlit&, const TBlit&) = default;
};

// The copies that paint a panel skin of bitmapWidth x bitmapHeight on a panel: one copy (a
// bitmap narrower than 10 pixels is stretched to panel width + 6) without edges, three slices
// with an edge width of at least 1. Nothing for an empty bitmap.
std::vector<TBlit> PanelSkinBlits(int panelWidth, int panelHeight, int bitmapWidth, int bitmapHeight, int edgeWidth);

// Top-left of a panel caption: centred.
TPoint PanelCaptionOrigin(int width, int height, int textWidth, int textHeight);

}  // namespace qvr::ui
