// How the audio filter names the audio streams of a multi-stream source: the rules that turn
// what splitters and side files say about their streams into stream name entries (an LCID and a
// name), the ".mss" side file, and the scan for AVI stream headers. The Windows side gathers the
// raw values (property bags, track information, IAMStreamSelect, the file's first bytes) and
// supplies the system's language name of an LCID; everything here is plain data.
//
// No state: callable from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qvr::audio {

inline constexpr size_t kMaxStreamNameLength = 1024;  // UTF-16 units, without the terminator
inline constexpr size_t kMaxPinNameLength = 127;

// One audio stream's name entry; index i names input pin i.
struct TMWStreamName {
  uint32_t Lcid = 0;  // 0 when unknown
  std::wstring Name;  // at most kMaxStreamNameLength units
};

// The entries gathered for one connection and the stream to enable (0-based, -1 none).
struct TMWStreamNames {
  std::vector<TMWStreamName> Entries;
  int DefaultStream = -1;
  void Add(uint32_t lcid, std::wstring name);
};

// The system's name of a language (LOCALE_SLANGUAGE); empty when it has none.
using TMWLanguageNameFn = std::function<std::wstring(uint32_t lcid)>;

// A locale's language name without its qualifier: from the character before the first "(" on,
// everything goes ("German (Germany)" gives "German").
std::wstring StripLanguageQualifier(std::wstring_view localeName);

// "Audio Track " followed by index + 1.
std::wstring DefaultTrackName(int index);

// The name an input pin reports: its entry's name when non-empty, else DefaultTrackName; at most
// kMaxPinNameLength units.
std::wstring PinNameFor(int index, const std::vector<TMWStreamName>& entries);

// A stream-description value ("INFO/IAS<n>", ".mss" "Audio_<n>"): longer than two characters
// and starting with "0x" or "0X" it is a hexadecimal LCID; anything else is a name.
struct TMWStreamValue {
  bool IsLcid = false;
  uint32_t Lcid = 0;
  std::wstring Name;
};
TMWStreamValue ParseStreamValue(std::wstring_view value);

// Adds the entries of a list of stream-description values. `values` in order, nullopt for one
// that could not be read (skipped); an empty value ends the list. `defaultNumber` is the
// 1-based default stream the source names (> 0 sets it); when it is 0, each stream whose LCID
// equals `threadLocaleLowByte` becomes the default, the last one winning.
void AddStreamValues(std::span<const std::optional<std::wstring>> values, int defaultNumber,
                     uint32_t threadLocaleLowByte, const TMWLanguageNameFn& languageName, TMWStreamNames& names);

// The entry of one stream of a stream-selecting splitter: the LCID's language name; without an
// LCID the stream's own name (its first five characters dropped when it contains "Ton: "); with
// neither, "Unknown Language".
TMWStreamName SelectStreamEntry(uint32_t lcid, std::wstring_view ownName, const TMWLanguageNameFn& languageName);

// The entry of one audio track of a splitter with track information: the ISO 639-2 code's
// Windows language gives the LCID and the system's name, else the built-in English name; a
// non-empty track name is appended as " [name]".
TMWStreamName TrackEntry(std::string_view languageCode, std::wstring_view trackName,
                         const TMWLanguageNameFn& languageName);

// The ".mss" side file (INI text in the system code page): section "MSS", "Audio_def" the
// 1-based default stream, "Audio_1", "Audio_2", ... up to the first empty or missing one.
// Section and key names ignore case; values are trimmed and lose one pair of enclosing quotes.
struct TMWSideFile {
  int DefaultNumber = 0;
  std::vector<std::string> Values;
};
TMWSideFile ParseSideFile(std::string_view text);

// The language words of AVI audio stream headers ("strh" chunks of type "auds" with a non-zero
// language) found at any byte offset of `bytes`, in file order.
std::vector<uint16_t> ScanAudioStreamLanguages(std::span<const uint8_t> bytes);

}  // namespace qvr::audio
