// Arbitrary bytes as a command line (NUL separates the arguments): the parser must not crash,
// and what it accepts must be usable as it stands.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "player/app/console/core/ConsoleArgs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> args;
  if (size) {
    args.emplace_back();
    for (size_t i = 0; i < size; ++i) {
      if (data[i] == 0) args.emplace_back();
      else args.back().push_back(static_cast<char>(data[i]));
    }
  }
  using qvr::console::TConsoleArgs;
  const TConsoleArgs parsed = qvr::console::ParseConsoleArgs(args);
  switch (parsed.Mode) {
    case TConsoleArgs::cmPlay:
      // The item is the first argument, and a time limit is a real one.
      if (args.empty() || parsed.Name != args[0] || !parsed.Error.empty()) std::abort();
      if (std::isnan(parsed.Seconds) || std::isinf(parsed.Seconds)) std::abort();
      if (parsed.Seconds < 0 && parsed.Seconds != -1) std::abort();
      if (args.size() % 2 == 0) std::abort();  // the item and pairs of "--seconds N"
      break;
    case TConsoleArgs::cmControls:
      if (args.size() != 1) std::abort();
      break;
    case TConsoleArgs::cmUsage:
      if (args.empty() != parsed.Error.empty()) std::abort();
      break;
    default:
      std::abort();
  }
  return 0;
}
