// Language files: INI text with one section per form (named after the form's component), keys
// "<component>.Caption", "<component>.Hint" and "<component>.Item[<index>]", and [Common]
// "Language" holding the Windows language identifier. Lookups follow the platform's INI
// functions: section and key names match without regard to letter case, surrounding blanks
// and one pair of matching quotes around a value are dropped, the first section of a name is
// the one read, and a value is at most kMaxLanguageValue characters. Pure functions over text,
// plus the folder scan and the locale rule; the Win32 side is player/app/langs.h.
//
// Encodings: a file is 8-bit text in the system code page, as older language files are; one
// that starts with a UTF-8 byte-order mark is UTF-8 (so a Russian file reads right on a Western
// system), and one with a UTF-16LE mark is UTF-16, which the platform's INI functions also read.
// Every text comes out as UTF-8.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/core/CodePage.h"
#include "player/ui/core/FileSystem.h"

namespace qvr::app {

// A 2048-character buffer with its terminating zero, as the translator has always read values.
inline constexpr size_t kMaxLanguageValue = 2047;
inline constexpr char kCommonSection[] = "Common";
inline constexpr char kLanguageKey[] = "Language";

class TLangFile {
 public:
  // An empty file: every lookup misses.
  TLangFile() = default;
  // `systemCodePage` decodes a file without a byte-order mark.
  static TLangFile Parse(std::string_view bytes, const ITextCodePage& systemCodePage);

  // The value, cut at kMaxLanguageValue code points; none when the section or key is absent.
  std::optional<std::string> Value(std::string_view section, std::string_view key) const;
  // The value read as a decimal integer (leading blanks and a sign allowed, reading stops at
  // the first other character); 0 when absent or not a number.
  int IntValue(std::string_view section, std::string_view key) const;

  // Every section and its keys in file order, for checks over whole files.
  struct TSection {
    std::string Name;
    std::vector<std::pair<std::string, std::string>> Keys;
  };
  const std::vector<TSection>& Sections() const { return sections_; }

 private:
  std::vector<TSection> sections_;
};

// "%s.Item[%d]": the key of row or node `index` of a list box or tree view.
std::string ItemKey(std::string_view componentName, int index);

// The Windows language identifier's parts: primary language in the low 10 bits.
inline int PrimaryLanguageOf(int languageId) { return languageId & 0x3FF; }
inline int SubLanguageOf(int languageId) { return (languageId >> 10) & 0x3F; }

// The language file name for the user's locale, from its three-letter Windows abbreviation
// ("RUS", "UKR", "ENU"...): Russian for Russian and Ukrainian users, English otherwise.
std::string LanguageForLocale(std::string_view abbreviation);

// The folder the language list is read from: `startupDir` + "\languages\" when the variable is
// set (not null, not empty) and that folder exists, else empty.
std::string LanguageListFolder(const char* startupDir, ui::IFileSystem& fileSystem);
// The "*.lng" files of `folder` (names without the folder), in the order the file system lists
// them; none for an empty folder name.
std::vector<std::string> LanguageFilesIn(const std::string& folder, ui::IFileSystem& fileSystem);

}  // namespace qvr::app
