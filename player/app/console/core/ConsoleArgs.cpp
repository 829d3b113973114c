#include "player/app/console/core/ConsoleArgs.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace qvr::console {
namespace {

// from_chars, unlike wcstod, reads no locale, takes no leading blanks and reports what it left.
bool ParseSeconds(const std::string& text, double& seconds) {
  const char* end = text.data() + text.size();
  double value = 0;
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc() || stop != end || !std::isfinite(value) || value < 0) return false;
  seconds = value;
  return true;
}

TConsoleArgs Refuse(std::string why) {
  TConsoleArgs refused;
  refused.Error = std::move(why);
  return refused;
}

}  // namespace

TConsoleArgs ParseConsoleArgs(const std::vector<std::string>& args) {
  if (args.empty()) return {};
  if (args[0] == "--controls") {
    if (args.size() > 1) return Refuse("--controls takes no other arguments");
    TConsoleArgs controls;
    controls.Mode = TConsoleArgs::cmControls;
    return controls;
  }
  TConsoleArgs play;
  play.Mode = TConsoleArgs::cmPlay;
  play.Name = args[0];
  for (size_t i = 1; i < args.size(); i += 2) {
    if (args[i] != "--seconds") return Refuse("unknown argument \"" + args[i] + "\"");
    if (i + 1 == args.size()) return Refuse("--seconds needs a number of seconds");
    if (!ParseSeconds(args[i + 1], play.Seconds))
      return Refuse("--seconds needs a number of seconds, 0 or more, not \"" + args[i + 1] + "\"");
  }
  return play;
}

std::string OpenFailureText(uint32_t result, bool isUrl, engine::TMediaKind kind) {
  std::string text;
  switch (result) {
    case 0x80070057u:  // E_INVALIDARG: neither a URL nor an existing file
      text = "no such file";
      break;
    case 0x80004001u:  // E_NOTIMPL: no source takes the URL, or the source refused the file
      text = isUrl ? "no source reads this stream" : "not a media file we can read";
      break;
    case 0x8000FFFFu:  // E_UNEXPECTED
      text = "the system's filter graph cannot be created";
      break;
    case 0x00000001u:  // S_FALSE: nothing was rendered
      text = isUrl || kind != engine::mkUnknown ? "no renderer for its streams" : "not a media file we can read";
      break;
    default:
      text = "it cannot be played";
      break;
  }
  char code[16];
  std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(result));
  return text + " (" + code + ")";
}

}  // namespace qvr::console
