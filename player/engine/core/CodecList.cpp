#include "player/engine/core/CodecList.h"

namespace qvr::engine {

std::vector<std::string_view> SplitTextLines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    if (end > start) lines.push_back(text.substr(start, end - start));
    start = end;
    if (start < text.size() && text[start] == '\r') ++start;
    if (start < text.size() && text[start] == '\n') ++start;
  }
  return lines;
}

std::pair<std::string_view, std::string_view> SplitNameValue(std::string_view line) {
  const size_t eq = line.find('=');
  if (eq == std::string_view::npos) return {line, {}};
  return {line.substr(0, eq), line.substr(eq + 1)};
}

std::vector<TCodecListEntry> ParseCodecList(std::string_view text) {
  std::vector<TCodecListEntry> entries;
  for (std::string_view line : SplitTextLines(text)) {
    auto [name, value] = SplitNameValue(line);
    const size_t semi = value.find(';');
    std::string_view friendly = semi == std::string_view::npos ? value : value.substr(0, semi);
    std::string_view path = semi == std::string_view::npos ? value : value.substr(semi + 1);
    // Only field 1 is the path: anything after a second ";" is not part of it.
    if (const size_t next = path.find(';'); semi != std::string_view::npos && next != std::string_view::npos)
      path = path.substr(0, next);
    entries.push_back({std::string(name), std::string(friendly), std::string(path)});
  }
  return entries;
}

std::vector<TBlacklistEntry> ParseBlacklist(std::string_view text) {
  std::vector<TBlacklistEntry> entries;
  for (std::string_view line : SplitTextLines(text)) {
    auto [name, value] = SplitNameValue(line);
    entries.push_back({std::string(name), std::string(value)});
  }
  return entries;
}

}  // namespace qvr::engine
