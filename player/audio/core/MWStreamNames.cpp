#include "player/audio/core/MWStreamNames.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "player/engine/core/LanguageNames.h"

namespace qvr::audio {
namespace {

// Code page 1252's 0x80..0x9F (the built-in language names are in that code page).
constexpr wchar_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

std::wstring FromCp1252(std::string_view text) {
  std::wstring wide;
  wide.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    wide.push_back(byte >= 0x80 && byte < 0xA0 ? kCp1252High[byte - 0x80] : static_cast<wchar_t>(byte));
  }
  return wide;
}

int HexDigit(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return -1;
}

std::string_view Trim(std::string_view s) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

std::string Lower(std::string_view s) {
  std::string lower(s);
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return lower;
}

// A whole decimal number with an optional sign; anything else is 0.
int ParseInteger(std::string_view s) {
  bool negative = false;
  if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  if (s.empty() || s.size() > 9) return 0;
  int value = 0;
  for (const char c : s) {
    if (c < '0' || c > '9') return 0;
    value = value * 10 + (c - '0');
  }
  return negative ? -value : value;
}

}  // namespace

void TMWStreamNames::Add(uint32_t lcid, std::wstring name) {
  if (name.size() > kMaxStreamNameLength) name.resize(kMaxStreamNameLength);
  Entries.push_back({lcid, std::move(name)});
}

std::wstring StripLanguageQualifier(std::wstring_view localeName) {
  const size_t open = localeName.find(L'(');
  if (open == std::wstring_view::npos) return std::wstring(localeName);
  return std::wstring(localeName.substr(0, open == 0 ? 0 : open - 1));
}

std::wstring DefaultTrackName(int index) { return L"Audio Track " + std::to_wstring(index + 1); }

std::wstring PinNameFor(int index, const std::vector<TMWStreamName>& entries) {
  std::wstring name;
  if (index >= 0 && static_cast<size_t>(index) < entries.size()) name = entries[static_cast<size_t>(index)].Name;
  if (name.empty()) name = DefaultTrackName(index);
  if (name.size() > kMaxPinNameLength) name.resize(kMaxPinNameLength);
  return name;
}

TMWStreamValue ParseStreamValue(std::wstring_view value) {
  TMWStreamValue parsed;
  if (value.size() > 2 && value[0] == L'0' && (value[1] == L'x' || value[1] == L'X') && value.size() <= 10) {
    uint32_t lcid = 0;
    bool hex = true;
    for (const wchar_t c : value.substr(2)) {
      const int digit = HexDigit(c);
      if (digit < 0) {
        hex = false;
        break;
      }
      lcid = lcid << 4 | static_cast<uint32_t>(digit);
    }
    if (hex) {
      parsed.IsLcid = true;
      parsed.Lcid = lcid;
      return parsed;
    }
  }
  parsed.Name = std::wstring(value);
  return parsed;
}

void AddStreamValues(std::span<const std::optional<std::wstring>> values, int defaultNumber,
                     uint32_t threadLocaleLowByte, const TMWLanguageNameFn& languageName, TMWStreamNames& names) {
  if (defaultNumber > 0) names.DefaultStream = defaultNumber - 1;
  for (const auto& value : values) {
    if (!value) continue;
    if (value->empty()) break;
    const TMWStreamValue parsed = ParseStreamValue(*value);
    if (!parsed.IsLcid) {
      names.Add(0, parsed.Name);
      continue;
    }
    if (defaultNumber == 0 && parsed.Lcid == threadLocaleLowByte)
      names.DefaultStream = static_cast<int>(names.Entries.size());
    names.Add(parsed.Lcid, StripLanguageQualifier(languageName(parsed.Lcid)));
  }
}

TMWStreamName SelectStreamEntry(uint32_t lcid, std::wstring_view ownName, const TMWLanguageNameFn& languageName) {
  TMWStreamName entry{lcid, {}};
  if (lcid != 0) {
    entry.Name = StripLanguageQualifier(languageName(lcid));
  } else if (!ownName.empty()) {
    entry.Name = std::wstring(ownName.find(L"Ton: ") != std::wstring_view::npos ? ownName.substr(std::min<size_t>(5, ownName.size()))
                                                                                  : ownName);
  } else {
    entry.Name = L"Unknown Language";
  }
  if (entry.Name.size() > kMaxStreamNameLength) entry.Name.resize(kMaxStreamNameLength);
  return entry;
}

TMWStreamName TrackEntry(std::string_view languageCode, std::wstring_view trackName,
                         const TMWLanguageNameFn& languageName) {
  TMWStreamName entry;
  entry.Lcid = engine::LanguageIdFromCode(languageCode);
  entry.Name = entry.Lcid != 0 ? StripLanguageQualifier(languageName(entry.Lcid))
                               : FromCp1252(engine::LanguageNameFromCode(languageCode));
  if (!trackName.empty()) {
    entry.Name += L" [";
    entry.Name += trackName;
    entry.Name += L"]";
  }
  if (entry.Name.size() > kMaxStreamNameLength) entry.Name.resize(kMaxStreamNameLength);
  return entry;
}

TMWSideFile ParseSideFile(std::string_view text) {
  if (text.size() >= 3 && std::memcmp(text.data(), "\xEF\xBB\xBF", 3) == 0) text.remove_prefix(3);
  std::map<std::string, std::string> keys;  // of the first [MSS] section, first occurrence wins
  enum { kBefore, kInside, kAfter } where = kBefore;
  while (!text.empty() && where != kAfter) {
    const size_t end = text.find('\n');
    const std::string_view line = Trim(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      const size_t close = line.find(']');
      const std::string section = Lower(Trim(line.substr(1, close == std::string_view::npos ? line.npos : close - 1)));
      if (where == kInside) where = kAfter;
      else if (section == "mss") where = kInside;
      continue;
    }
    if (where != kInside) continue;
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    std::string_view value = Trim(line.substr(equals + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
      value = value.substr(1, value.size() - 2);
    keys.emplace(Lower(Trim(line.substr(0, equals))), std::string(value));
  }

  TMWSideFile file;
  if (const auto found = keys.find("audio_def"); found != keys.end()) file.DefaultNumber = ParseInteger(found->second);
  for (int n = 1;; ++n) {
    const auto found = keys.find("audio_" + std::to_string(n));
    if (found == keys.end() || found->second.empty()) break;
    file.Values.push_back(found->second);
  }
  return file;
}

std::vector<uint16_t> ScanAudioStreamLanguages(std::span<const uint8_t> bytes) {
  // strh: "strh", size, fccType, fccHandler, dwFlags, wPriority, wLanguage (at +22).
  constexpr size_t kHeaderBytes = 24;
  std::vector<uint16_t> languages;
  for (size_t at = 0; at + kHeaderBytes <= bytes.size(); ++at) {
    if (std::memcmp(&bytes[at], "strh", 4) != 0 || std::memcmp(&bytes[at + 8], "auds", 4) != 0) continue;
    const auto language = static_cast<uint16_t>(bytes[at + 22] | bytes[at + 23] << 8);
    if (language != 0) languages.push_back(language);
  }
  return languages;
}

}  // namespace qvr::audio
