// IFileSystem on the W Win32 calls: the UTF-8 paths become UTF-16 only for the call, so every
// name NTFS can hold reaches the playlist whole. Names compare as the system upper-cases their
// UTF-16 form (CharUpperBuffW), so "é" and "É", or "ж" and "Ж", name the same row, as they
// name the same file on NTFS. Playlist files without a byte-order mark are in the system code
// page (CP_ACP).
#pragma once

#include <windows.h>

#include "common/win/text.h"
#include "player/ui/core/FileSystem.h"

namespace qvr::ui {

class TWin32FileSystem : public IFileSystem {
 public:
  bool FileExists(const std::string& path) override;
  bool DirectoryExists(const std::string& path) override;
  std::vector<TFolderEntry> ListFolder(const std::string& folder) override;
  std::error_code RemoveFile(const std::string& path) override;
  // SHFileOperationW FO_DELETE with FOF_ALLOWUNDO, silently: no confirmation, progress or error UI.
  std::error_code RecycleFile(const std::string& path) override;
  std::error_code ReadWholeFile(const std::string& path, std::string& contents) override;
  // Temporary file "<path>.qvr-save.tmp", FlushFileBuffers, then MoveFileExW with
  // MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH.
  std::error_code WriteFileAtomically(const std::string& path, std::string_view contents) override;
  std::string JoinPath(std::string_view folder, std::string_view name) const override;
  std::string PathKey(std::string_view path) const override;
  const ITextCodePage& SystemCodePage() const override { return FCodePage; }
  // GetFullPathNameW of the playlist, then of its folder + `path` ("/" becomes a backslash).
  std::string ResolveBesidePlaylist(const std::string& playlist, std::string_view path) override;

 protected:
  // Writes all of `data` to `file`; ERROR_SUCCESS or a Win32 error. Tests override it to fail
  // part-way.
  virtual DWORD WriteContents(HANDLE file, std::string_view data);

 private:
  TWin32CodePage FCodePage{CP_ACP};
};

}  // namespace qvr::ui
