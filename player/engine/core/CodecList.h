// The "CODECS" text lists shipped in the executable's resources ("RESCODECS", "BLACKLIST"):
// CR LF text lines, each split at its first "=" into a name and a value. Pure parsing; the
// resource lookup lives in the Win32 adapter that owns the module.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qvr::engine {

// Lines end at CR LF; a lone LF or CR also ends a line. A final line needs no terminator.
// Empty lines are dropped: they name nothing.
std::vector<std::string_view> SplitTextLines(std::string_view text);

// Name and value at the first "="; a line without "=" is all name and an empty value.
std::pair<std::string_view, std::string_view> SplitNameValue(std::string_view line);

// One "RESCODECS" line: class id "=" friendly name ";" module path relative to `filters`.
struct TCodecListEntry {
  std::string ClsidText;
  std::string Name;
  std::string ModulePath;  // a value without ";" serves as both name and path
};
std::vector<TCodecListEntry> ParseCodecList(std::string_view text);

// One "BLACKLIST" line: class id "=" friendly name.
struct TBlacklistEntry {
  std::string ClsidText;
  std::string Name;
};
std::vector<TBlacklistEntry> ParseBlacklist(std::string_view text);

}  // namespace qvr::engine
