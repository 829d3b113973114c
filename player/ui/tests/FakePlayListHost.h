// Test doubles for the playlist: an in-memory file system with Windows-style paths and Latin-1
// as its system code page, and a view that records the list's notices.
#pragma once

#include <algorithm>
#include <cerrno>
#include <map>
#include <string>
#include <vector>

#include "player/ui/core/PlayList.h"

namespace qvr::ui::testing {

class TFakeFileSystem : public IFileSystem {
 public:
  std::map<std::string, std::string> Files;                    // exact path -> contents
  std::map<std::string, std::vector<TFolderEntry>> Folders;    // folder -> entries, listing order
  std::vector<std::string> Removed;
  std::error_code WriteError;                                  // set: every write fails

  void AddFile(const std::string& folder, const std::string& name, std::string contents = {}) {
    Folders[folder].push_back({name, false});
    Files[JoinPath(folder, name)] = std::move(contents);
  }
  void AddFolder(const std::string& folder, const std::string& name) {
    Folders[folder].push_back({name, true});
    Folders[JoinPath(folder, name)];
  }

  int ExistenceChecks = 0;  // FileExists calls

  bool FileExists(const std::string& path) override {
    ++ExistenceChecks;
    return Files.contains(path);
  }
  bool DirectoryExists(const std::string& path) override { return Folders.contains(path); }
  std::vector<TFolderEntry> ListFolder(const std::string& folder) override {
    auto it = Folders.find(folder);
    return it == Folders.end() ? std::vector<TFolderEntry>{} : it->second;
  }
  std::error_code RemoveFile(const std::string& path) override {
    Removed.push_back(path);
    return Files.erase(path) ? std::error_code() : std::make_error_code(std::errc::no_such_file_or_directory);
  }
  std::error_code ReadWholeFile(const std::string& path, std::string& contents) override {
    auto it = Files.find(path);
    if (it == Files.end()) return std::make_error_code(std::errc::no_such_file_or_directory);
    contents = it->second;
    return {};
  }
  std::error_code WriteFileAtomically(const std::string& path, std::string_view contents) override {
    if (WriteError) return WriteError;
    Files[path] = std::string(contents);
    return {};
  }
  std::string JoinPath(std::string_view folder, std::string_view name) const override {
    std::string path(folder);
    if (path.empty() || path.back() != '\\') path += '\\';
    return path.append(name);
  }
  std::string PathKey(std::string_view path) const override {
    std::string key(path);
    for (char& c : key)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return key;
  }
  const ITextCodePage& SystemCodePage() const override { return CodePage; }
  // As Windows does for full playlist paths: "/" read as "\", "." and ".." folded.
  std::string ResolveBesidePlaylist(const std::string& playlist, std::string_view path) override {
    if (path.empty() || path[0] == '\\' || path[0] == '/' || path.find(':') != std::string_view::npos) return {};
    const size_t folderEnd = playlist.rfind('\\');
    if (folderEnd == std::string::npos) return {};
    std::string joined = playlist.substr(0, folderEnd + 1) + std::string(path);
    for (char& c : joined)
      if (c == '/') c = '\\';
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= joined.size()) {
      const size_t end = std::min(joined.find('\\', start), joined.size());
      const std::string part = joined.substr(start, end - start);
      if (part == "..") {
        if (parts.size() > 1) parts.pop_back();
      } else if (!part.empty() && part != ".") {
        parts.push_back(part);
      }
      start = end + 1;
    }
    std::string full;
    for (const std::string& part : parts) full += (full.empty() ? "" : "\\") + part;
    return full;
  }
  TLatin1CodePage CodePage;
};

class TRecordingView : public IPlayListView {
 public:
  std::vector<std::string> Log;
  std::vector<int> RepaintedRows;

  void RowsChanged() override { Log.push_back("rows"); }
  void RepaintRow(int index) override { RepaintedRows.push_back(index); }
  void RepaintAllRows() override {}
  void SetHasRows(bool hasRows) override { Log.push_back(hasRows ? "has-rows" : "empty"); }
  void ResetDropTarget() override { Log.push_back("drop-target"); }
  void CaptureDockState() override { Log.push_back("capture-dock"); }
  void RedockAfterPlay() override { Log.push_back("redock"); }
  bool Saw(const std::string& what) const {
    for (const auto& entry : Log)
      if (entry == what) return true;
    return false;
  }
};

}  // namespace qvr::ui::testing
