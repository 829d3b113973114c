// The file system the playlist fuzz targets run over: every path is an existing file, a read
// gives `Text` and a write lands in `Saved`, with the player's letter-case rule for keys.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "player/ui/core/FileSystem.h"

namespace qvr::ui::fuzzing {

class TMemoryFileSystem final : public IFileSystem {
 public:
  std::string Text;
  std::string Saved;
  bool FileExists(const std::string&) override { return true; }
  bool DirectoryExists(const std::string&) override { return false; }
  std::vector<TFolderEntry> ListFolder(const std::string&) override { return {}; }
  std::error_code RemoveFile(const std::string&) override { return {}; }
  std::error_code ReadWholeFile(const std::string&, std::string& contents) override {
    contents = Text;
    return {};
  }
  std::error_code WriteFileAtomically(const std::string&, std::string_view contents) override {
    Saved = contents;
    return {};
  }
  std::string JoinPath(std::string_view folder, std::string_view name) const override {
    return std::string(folder) + "\\" + std::string(name);
  }
  std::string PathKey(std::string_view path) const override {
    std::string key(path);
    for (char& c : key)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return key;
  }
  const qvr::ITextCodePage& SystemCodePage() const override { return CodePage; }
  qvr::TLatin1CodePage CodePage;
};

}  // namespace qvr::ui::fuzzing
