// The arithmetic behind the video renderer wrappers, free of any renderer: where the picture
// goes inside the video panel for each aspect mode, the even edges the Enhanced Video Renderer
// gets, and the mapping between picture-control percentages and a renderer's value ranges.
// Pure functions; any thread.
#pragma once

#include <array>
#include <cstdint>

namespace qvr::engine {

// A rectangle as RECT has it: right and bottom exclusive.
struct TVideoRect {
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Right = 0;
  int32_t Bottom = 0;
  friend bool operator==(const TVideoRect&, const TVideoRect&) = default;
};

// Aspect modes the main window chooses.
enum : uint8_t {
  kAspectKeepOriginal = 0,  // the renderer letter-boxes inside the whole panel
  kAspectStretch = 1,       // the picture fills the panel
  kAspectFixedRatio = 2,    // the largest rectangle of a given width:height, centred
};

// Nearest integer, an exact half going to the even neighbour. Saturates at the int32 limits;
// NaN gives 0.
int32_t RoundHalfEven(double value);

// Windows' MulDiv: number × numerator ÷ denominator through 64 bits, rounded to the nearest
// integer with halves away from zero; -1 when the denominator is 0 or the result overflows.
int32_t MulDiv32(int32_t number, int32_t numerator, int32_t denominator);

// Where the picture goes inside client. Modes other than kAspectFixedRatio use client as it
// is. kAspectFixedRatio: the largest rectangle of aspectWidth:aspectHeight that fits, centred
// (an odd spare pixel goes right or below); a ratio that is not a positive finite number
// leaves client as it is.
TVideoRect DestinationRect(const TVideoRect& client, uint8_t mode, float aspectWidth, float aspectHeight);

// Every odd edge moved one pixel inward (left and top +1, right and bottom -1): the Enhanced
// Video Renderer's destination must have even edges.
TVideoRect EvenEdgesInward(const TVideoRect& rect);

// Picture controls in the order the colour panel and the renderers' flags use (flag 1 << index).
enum TColorProperty : uint8_t { cpBrightness = 0, cpContrast = 1, cpHue = 2, cpSaturation = 3 };
inline constexpr int kColorPropertyCount = 4;
inline constexpr uint32_t ColorPropertyFlag(TColorProperty property) { return 1u << property; }

// One property's range as the renderer reported it. All zero when it could not be read.
struct TColorRange {
  float Minimum = 0;
  float Maximum = 0;
  float Default = 0;
  bool Empty() const { return Minimum == 0 && Maximum == 0; }
};
using TColorRanges = std::array<TColorRange, kColorPropertyCount>;

// The default's place in the range as a percentage, to the nearest integer; 0 for a range
// without width.
int32_t PercentOfDefault(const TColorRange& range);

// percent of the range as VMR-9 takes it (single precision); a result of exactly 0 is sent
// as 1.0.
float VmrValueFromPercent(const TColorRange& range, int32_t percent);

// percent of the range as the EVR takes it: an integer (the integer part of its fixed-point
// value, within the 16-bit range), exactly 0 sent as 1.
int32_t EvrValueFromPercent(const TColorRange& range, int32_t percent);

}  // namespace qvr::engine
