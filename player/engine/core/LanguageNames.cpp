#include "player/engine/core/LanguageNames.h"

#include <algorithm>

namespace qvr::engine {
namespace {

const TLanguageEntry* FindEntry(std::string_view code) {
  std::string lower(code);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; });
  for (const TLanguageEntry& entry : LanguageTable())
    if (lower == entry.Code) return &entry;
  return nullptr;
}

}  // namespace

std::string LanguageNameFromCode(std::string_view code) {
  if (const TLanguageEntry* entry = FindEntry(code)) return entry->LanguageName;
  return "Unknown (" + std::string(code) + ")";
}

uint32_t LanguageIdFromCode(std::string_view code) {
  const TLanguageEntry* entry = FindEntry(code);
  return entry ? entry->PrimaryLanguageId : 0;
}

}  // namespace qvr::engine
