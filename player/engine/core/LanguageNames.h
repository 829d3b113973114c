// The built-in ISO 639-2 language table and its two lookups, used to name the audio streams of
// multi-stream files. The table is generated (tools/gen_language_table.py, see README.md) and
// read-only; the lookups keep no state and may be called from any thread.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace qvr::engine {

struct TLanguageEntry {
  const char* Code;             // three lower-case ASCII letters
  const char* LanguageName;     // English name, code page 1252
  uint32_t PrimaryLanguageId;   // Windows primary language id, 0 when none
};

// In lookup order: a code listed several times is found at its first entry.
std::span<const TLanguageEntry> LanguageTable();

// The first entry whose code equals `code` lower-cased (ASCII), compared exactly: trailing
// characters never match. Without one: "Unknown (" + code + ")" with the caller's letter case.
std::string LanguageNameFromCode(std::string_view code);

// The same scan; 0 when no entry matches.
uint32_t LanguageIdFromCode(std::string_view code);

}  // namespace qvr::engine
