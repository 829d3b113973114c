// The rules of the equaliser and colour panels that need no window: the colour sliders'
// position <-> value arithmetic, the colours of their columns and of the equaliser's striped
// bars, the band labels, and the fade schedule both panels share. Plain values, no state
// beyond TPanelFade; the user-interface thread owns a fade.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace qvr::audio {

// A colour slider's value 0..100 for a pointer at x in a paint box `width` pixels wide: the
// track runs from 10 to width - 10, (x - 10) / (width - 20) x 100 rounded half to even, plus 1,
// kept within 0..100. A box too narrow for a track (width <= 20) answers 0 left of the track
// start and 100 from it.
int PositionToValue(int x, int width);
// The thumb x for a value: ((value - 1) x (width - 20)) / 100 rounded half to even, plus 10.
int ValueToPosition(int value, int width);

enum class TStripe { Black, Grey, White };

// Column x of a colour slider whose thumb is at thumbX (already limited): odd columns black,
// the lit part up to and including the thumb white, the rest grey.
TStripe SliderColumn(int x, int thumbX);
// The thumb limited to the track: at least 10, at most right - 10.
int LimitThumb(int thumbX, int right);

// Row y of an equaliser bar whose thumb's top is thumbTop: odd rows black, rows above
// thumbTop + 5 grey, the rest white.
TStripe EqualizerRow(int y, int thumbTop);

// The label under the slider with tag 0..10 ("" for the pre-amplifier, tag 0, and for any
// other tag).
std::string_view EqualizerBandLabel(int tag);

// The fade of a floating panel: opacity 220 while the pointer is inside; once it has left, the
// 50 ms timer lowers it by 15 a tick, and the panel closes when it falls below 20.
class TPanelFade {
 public:
  static constexpr uint8_t kOpenOpacity = 200;
  static constexpr uint8_t kInsideOpacity = 220;
  static constexpr int kStep = 15;
  static constexpr int kCloseBelow = 20;
  static constexpr unsigned kIntervalMs = 50;

  uint8_t Opacity() const { return opacity_; }
  bool Running() const { return running_; }

  // The pointer came in: the fade stops and the opacity is 220.
  void Enter() { running_ = false, opacity_ = kInsideOpacity; }
  // The pointer left the window (cursorOutside: the cursor is outside its rectangle, not merely
  // over a child): the fade starts.
  void Leave(bool cursorOutside) {
    if (cursorOutside) running_ = true;
  }
  // One timer tick; true when the panel must close now.
  bool Tick();

 private:
  uint8_t opacity_ = kOpenOpacity;
  bool running_ = false;
};

}  // namespace qvr::audio
