// IFileSystem on the ANSI Win32 calls: paths are in the system code page, as everywhere in the
// player. Names compare as the system code page upper-cases them (CharUpperBuffA), so "é" and
// "É" name the same row under code page 1252, as they name the same file on NTFS.
#pragma once

#include <windows.h>

#include "player/ui/core/FileSystem.h"

namespace qvr::ui {

class TWin32FileSystem : public IFileSystem {
 public:
  bool FileExists(const std::string& path) override;
  bool DirectoryExists(const std::string& path) override;
  std::vector<TFolderEntry> ListFolder(const std::string& folder) override;
  std::error_code RemoveFile(const std::string& path) override;
  std::error_code ReadWholeFile(const std::string& path, std::string& contents) override;
  // Temporary file "<path>.qvr-save.tmp", FlushFileBuffers, then MoveFileExA with
  // MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH.
  std::error_code WriteFileAtomically(const std::string& path, std::string_view contents) override;
  std::string JoinPath(std::string_view folder, std::string_view name) const override;
  std::string PathKey(std::string_view path) const override;

 protected:
  // Writes all of `data` to `file`; ERROR_SUCCESS or a Win32 error. Tests override it to fail
  // part-way.
  virtual DWORD WriteContents(HANDLE file, std::string_view data);
};

}  // namespace qvr::ui
