// IFileSystem on POSIX calls, for the native build (tests and tools). Paths go to the system as
// their UTF-8 bytes. Names are compared with ASCII letter case folded; symbolic links to folders
// are listed as files, so a folder scan cannot loop. The system code page of playlist files is
// Latin-1, standing in for the Western Windows code page 1252 so that native runs take the same
// choices (code page or UTF-8 with a byte-order mark) as a Western Windows system.
#pragma once

#include "player/ui/core/FileSystem.h"

namespace qvr::ui {

class TPosixFileSystem : public IFileSystem {
 public:
  bool FileExists(const std::string& path) override;
  bool DirectoryExists(const std::string& path) override;
  std::vector<TFolderEntry> ListFolder(const std::string& folder) override;
  std::error_code RemoveFile(const std::string& path) override;
  std::error_code ReadWholeFile(const std::string& path, std::string& contents) override;
  std::error_code WriteFileAtomically(const std::string& path, std::string_view contents) override;
  std::string JoinPath(std::string_view folder, std::string_view name) const override;
  std::string PathKey(std::string_view path) const override;
  const ITextCodePage& SystemCodePage() const override { return FCodePage; }
  // Lexically, from the current folder when `playlist` is relative; symbolic links are not followed.
  std::string ResolveBesidePlaylist(const std::string& playlist, std::string_view path) override;

 protected:
  // Writes all of `data` to `fd`; 0 or an errno value. Tests override it to fail part-way.
  virtual int WriteContents(int fd, std::string_view data);

 private:
  TLatin1CodePage FCodePage;
};

}  // namespace qvr::ui
