// The console player's command line and the words it prints when an item cannot be opened:
// portable, so both are tested and fuzzed natively.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "player/engine/core/MWFileFormat.h"

namespace qvr::console {

inline constexpr const char* kUsage = "usage: qvrplay FILE|URL [--seconds N] | qvrplay --controls";

struct TConsoleArgs {
  enum TMode : uint8_t { cmUsage, cmPlay, cmControls } Mode = cmUsage;
  std::string Name;      // the file or URL to play, as given (UTF-8)
  double Seconds = -1;   // stop after this many seconds; negative: play to the end
  std::string Error;     // why the arguments were refused; empty for a call without arguments
};

// args: the arguments after the program name, UTF-8. "--controls" stands alone; otherwise the
// first argument is the item, followed by any number of "--seconds N" (the last one counts), N
// a finite decimal number of seconds, 0 or more. Anything else is refused.
TConsoleArgs ParseConsoleArgs(const std::vector<std::string>& args);

// What failed, in words, for the result of the engine's Open (S_FALSE, E_INVALIDARG,
// E_NOTIMPL, E_UNEXPECTED or another code) on a file or a stream URL. kind is what the
// content or the extension says the file holds: the engine reports "nothing was rendered"
// alike for a file no source reads and for one whose streams no renderer takes.
std::string OpenFailureText(uint32_t result, bool isUrl, engine::TMediaKind kind);

}  // namespace qvr::console
