// Build check of the shipped language files: every text a form layout declares (the form's
// caption, each component's caption and hint, each menu item's caption) must have its key in
// every language file, and the files must carry the same keys, so that no window shows a
// half-translated face. Usage: langcheck [--except FORM]... FORMS_DIR FILE.lng... (--except
// leaves out a form the player never shows, such as the controls gallery). Prints each missing
// key as "file: [section] key" and fails when there is one.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "player/app/core/LangFile.h"
#include "player/ui/core/FormLayout.h"

namespace fs = std::filesystem;
using qvr::app::TLangFile;
using TKey = std::pair<std::string, std::string>;  // section, key

namespace {

bool ReadFile(const fs::path& path, std::string& contents) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  contents.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

bool HasText(const qvr::ui::TAttributes& attributes, const char* key) {
  const std::string* value = qvr::ui::FindAttribute(attributes, key);
  return value && !value->empty();
}

// The keys a layout's design texts need. Separators ("-") are no text.
std::vector<TKey> KeysOf(const qvr::ui::TFormLayout& layout) {
  std::vector<TKey> keys;
  const std::string& section = layout.Name;
  if (HasText(layout.Attributes, "caption")) keys.emplace_back(section, section + ".Caption");
  for (const qvr::ui::TLayoutEntry& entry : layout.Components) {
    const std::string* caption = qvr::ui::FindAttribute(entry.Attributes, "caption");
    const bool separator = caption && *caption == "-";
    if ((entry.Kind == "menuitem" || HasText(entry.Attributes, "caption")) && !separator)
      keys.emplace_back(section, entry.Name + ".Caption");
    if (HasText(entry.Attributes, "hint")) keys.emplace_back(section, entry.Name + ".Hint");
  }
  return keys;
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  std::set<std::string> excepted;
  int first = 1;
  while (first + 1 < argc && std::string(argv[first]) == "--except") {
    excepted.insert(argv[first + 1]);
    first += 2;
  }
  if (argc - first < 2) {
    std::fprintf(stderr, "usage: langcheck [--except FORM]... FORMS_DIR FILE.lng...\n");
    return 2;
  }
  std::vector<TKey> required;
  std::vector<fs::path> forms;
  for (const auto& entry : fs::directory_iterator(argv[first]))
    if (entry.path().extension() == ".form") forms.push_back(entry.path());
  std::sort(forms.begin(), forms.end());
  int failures = 0;
  for (const fs::path& path : forms) {
    std::string text, error;
    qvr::ui::TFormLayout layout;
    if (!ReadFile(path, text) || !qvr::ui::ParseFormLayout(text, layout, error)) {
      std::fprintf(stderr, "%s: %s\n", path.string().c_str(), error.empty() ? "unreadable" : error.c_str());
      ++failures;
      continue;
    }
    if (excepted.count(layout.Name)) continue;
    const std::vector<TKey> keys = KeysOf(layout);
    required.insert(required.end(), keys.begin(), keys.end());
  }
  // Shipped files are ASCII or UTF-8 with a mark; Latin-1 stands in for the system code page.
  const qvr::TLatin1CodePage codePage;
  std::vector<std::pair<std::string, TLangFile>> files;
  std::set<TKey> everyKey;  // lower case: keys match without regard to case
  std::vector<TKey> spelled;  // the first spelling of each, for the messages
  for (int i = first + 1; i < argc; ++i) {
    std::string bytes;
    if (!ReadFile(argv[i], bytes)) {
      std::fprintf(stderr, "%s: cannot read\n", argv[i]);
      return 1;
    }
    TLangFile file = TLangFile::Parse(bytes, codePage);
    if (file.IntValue(qvr::app::kCommonSection, qvr::app::kLanguageKey) == 0) {
      std::fprintf(stderr, "%s: [Common] Language is missing\n", argv[i]);
      ++failures;
    }
    for (const auto& section : file.Sections())
      for (const auto& key : section.Keys)
        if (everyKey.insert({Lower(section.Name), Lower(key.first)}).second) spelled.push_back({section.Name, key.first});
    files.emplace_back(fs::path(argv[i]).filename().string(), std::move(file));
  }
  required.insert(required.end(), spelled.begin(), spelled.end());
  std::set<TKey> reported;
  for (const auto& [name, file] : files) {
    for (const TKey& key : required) {
      if (file.Value(key.first, key.second)) continue;
      if (!reported.insert({name + Lower(key.first), Lower(key.second)}).second) continue;
      std::fprintf(stderr, "%s: missing [%s] %s\n", name.c_str(), key.first.c_str(), key.second.c_str());
      ++failures;
    }
  }
  if (failures) std::fprintf(stderr, "langcheck: %d problem(s) in the language files\n", failures);
  return failures ? 1 : 0;
}
