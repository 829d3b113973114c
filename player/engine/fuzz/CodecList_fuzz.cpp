// Arbitrary bytes as a "CODECS" list: the parser must neither crash nor read out of bounds, and
// every entry it returns must come from one line of the input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "player/engine/core/CodecList.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto lines = qvr::engine::SplitTextLines(text);
  for (std::string_view line : lines)
    if (line.empty() || line.find_first_of("\r\n") != std::string_view::npos) std::abort();
  if (qvr::engine::ParseCodecList(text).size() != lines.size()) std::abort();
  if (qvr::engine::ParseBlacklist(text).size() != lines.size()) std::abort();
  return 0;
}
