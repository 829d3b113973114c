// The stream-name parsers over arbitrary bytes: the ".mss" side file, the AVI stream-header scan
// and the stream-description values. None may read out of bounds or loop; every default it
// reports must be what the text says.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "player/audio/core/MWStreamNames.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace qvr::audio;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const TMWSideFile side = ParseSideFile(text);
  for (const auto& value : side.Values)
    if (value.empty()) __builtin_trap();  // the list ends at the first empty value

  ScanAudioStreamLanguages(std::span<const uint8_t>(data, size));

  std::vector<std::optional<std::wstring>> values;
  for (const auto& value : side.Values) values.emplace_back(std::wstring(value.begin(), value.end()));
  TMWStreamNames names;
  AddStreamValues(values, side.DefaultNumber, 0x09, [](uint32_t) { return std::wstring(L"Lang (Region)"); }, names);
  if (names.Entries.size() > values.size()) __builtin_trap();
  for (const auto& entry : names.Entries) {
    if (entry.Name.size() > kMaxStreamNameLength) __builtin_trap();
    PinNameFor(0, names.Entries);
  }
  return 0;
}
