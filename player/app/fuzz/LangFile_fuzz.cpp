// Language files over arbitrary bytes (they come from any folder a user fills): no crash, no
// sanitizer report, and every value found is valid UTF-8 within the length limit.
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>

#include "common/core/Utf.h"
#include "player/app/core/LangFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const qvr::TLatin1CodePage codePage;
  const qvr::app::TLangFile file = qvr::app::TLangFile::Parse(std::string_view(reinterpret_cast<const char*>(data), size), codePage);
  (void)file.IntValue(qvr::app::kCommonSection, qvr::app::kLanguageKey);
  std::set<std::string> seen;  // a later section of a name is never read
  for (const auto& section : file.Sections()) {
    std::string name = section.Name;
    for (char& c : name) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    if (!seen.insert(name).second) continue;
    for (const auto& key : section.Keys) {
      const auto value = file.Value(section.Name, key.first);
      if (!value || !qvr::IsValidUtf8(*value)) __builtin_trap();
      size_t at = 0, count = 0;
      for (; at < value->size(); ++count) qvr::NextCodePoint(*value, at);
      if (count > qvr::app::kMaxLanguageValue) __builtin_trap();
    }
  }
  return 0;
}
