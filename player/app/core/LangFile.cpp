#include "player/app/core/LangFile.h"

#include <algorithm>
#include <cstdint>

#include "common/core/Utf.h"

namespace qvr::app {

namespace {

constexpr std::string_view kBlanks = " \t\r\n\f\v";

std::string_view Trim(std::string_view text) {
  const size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Names are component names, plain ASCII; other bytes must match exactly.
bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Lower(x) == Lower(y); });
}

std::string DecodeFile(std::string_view bytes, const ITextCodePage& systemCodePage) {
  if (bytes.starts_with("\xEF\xBB\xBF")) return SanitizeUtf8(bytes.substr(3));
  if (bytes.starts_with("\xFF\xFE")) {
    std::u16string units;
    units.reserve(bytes.size() / 2);
    for (size_t i = 2; i + 1 < bytes.size(); i += 2)
      units.push_back(static_cast<char16_t>(static_cast<uint8_t>(bytes[i]) | static_cast<uint8_t>(bytes[i + 1]) << 8));
    return Utf16ToUtf8(units);
  }
  return systemCodePage.ToUtf8(bytes);
}

std::string_view StripQuotes(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
    return value.substr(1, value.size() - 2);
  return value;
}

std::string CutToLimit(std::string_view utf8) {
  size_t at = 0;
  for (size_t count = 0; at < utf8.size() && count < kMaxLanguageValue; ++count) NextCodePoint(utf8, at);
  return std::string(utf8.substr(0, at));
}

}  // namespace

TLangFile TLangFile::Parse(std::string_view bytes, const ITextCodePage& systemCodePage) {
  const std::string text = DecodeFile(bytes, systemCodePage);
  TLangFile file;
  TSection* section = nullptr;  // lines before the first header belong to no section
  std::string_view rest = text;
  while (!rest.empty()) {
    const size_t end = rest.find('\n');
    const std::string_view line = Trim(rest.substr(0, end));
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    if (line.empty()) continue;
    if (line.front() == '[') {
      const size_t close = line.find(']');
      file.sections_.push_back({std::string(Trim(line.substr(1, close == std::string_view::npos ? close : close - 1))), {}});
      section = &file.sections_.back();
      continue;
    }
    if (!section) continue;
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
      section->Keys.emplace_back(std::string(line), std::string());
    } else {
      section->Keys.emplace_back(std::string(Trim(line.substr(0, equals))),
                                 std::string(StripQuotes(Trim(line.substr(equals + 1)))));
    }
  }
  return file;
}

std::optional<std::string> TLangFile::Value(std::string_view section, std::string_view key) const {
  const auto found = std::find_if(sections_.begin(), sections_.end(), [&](const TSection& s) { return SameName(s.Name, section); });
  if (found == sections_.end()) return std::nullopt;
  for (const auto& [name, value] : found->Keys)
    if (SameName(name, key)) return CutToLimit(value);
  return std::nullopt;
}

int TLangFile::IntValue(std::string_view section, std::string_view key) const {
  const std::optional<std::string> value = Value(section, key);
  if (!value) return 0;
  std::string_view text = *value;
  text.remove_prefix(std::min(text.find_first_not_of(kBlanks), text.size()));
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  int64_t result = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') break;
    result = std::min<int64_t>(result * 10 + (c - '0'), int64_t{1} << 32);
  }
  return static_cast<int>(static_cast<uint32_t>(negative ? -result : result));
}

std::string ItemKey(std::string_view componentName, int index) {
  return std::string(componentName) + ".Item[" + std::to_string(index) + "]";
}

std::string LanguageForLocale(std::string_view abbreviation) {
  std::string lower(abbreviation);
  std::transform(lower.begin(), lower.end(), lower.begin(), Lower);
  return lower == "rus" || lower == "ukr" ? "russian" : "english";
}

std::string LanguageListFolder(const char* startupDir, ui::IFileSystem& fileSystem) {
  if (!startupDir || !*startupDir) return {};
  std::string folder = std::string(startupDir) + "\\languages\\";
  return fileSystem.DirectoryExists(folder) ? folder : std::string();
}

std::vector<std::string> LanguageFilesIn(const std::string& folder, ui::IFileSystem& fileSystem) {
  std::vector<std::string> names;
  if (folder.empty()) return names;
  for (const ui::TFolderEntry& entry : fileSystem.ListFolder(folder)) {
    const std::string& n = entry.Name;
    if (!entry.IsDirectory && n.size() > 4 && SameName(std::string_view(n).substr(n.size() - 4), ".lng")) names.push_back(n);
  }
  return names;
}

}  // namespace qvr::app
