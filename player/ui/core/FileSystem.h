// The playlist's one seam to the file system. Paths are UTF-8, as all of the player's text, and
// reach the platform unchanged in meaning (a relative path resolves against the process's current
// directory). The seam also owns the system code page that playlist files of other programs are
// written in. Implementations: TWin32FileSystem (the W Win32 calls) and TPosixFileSystem (the
// native build). Callers use one instance from one thread; it keeps no state between calls.
#pragma once

#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "common/core/CodePage.h"

namespace qvr::ui {

struct TFolderEntry {
  std::string Name;  // without the folder
  bool IsDirectory = false;
};

class IFileSystem {
 public:
  virtual ~IFileSystem() = default;

  // An existing file; false for a folder.
  virtual bool FileExists(const std::string& path) = 0;
  virtual bool DirectoryExists(const std::string& path) = 0;

  // Every entry of `folder` (hidden and system ones too) in the order the file system returns
  // them; "." and ".." may be among them. An unreadable folder gives no entries.
  virtual std::vector<TFolderEntry> ListFolder(const std::string& folder) = 0;

  virtual std::error_code RemoveFile(const std::string& path) = 0;
  // Moves a file where the user can still get it back (the recycle bin), silently. Without a
  // recycle bin it is removed.
  virtual std::error_code RecycleFile(const std::string& path) { return RemoveFile(path); }

  virtual std::error_code ReadWholeFile(const std::string& path, std::string& contents) = 0;

  // Replaces `path` with `contents` all at once: the data goes to a temporary file in the same
  // folder, is flushed to the disk and then takes the target's place. On failure the old file
  // is untouched, the temporary file is gone and the first error is returned.
  virtual std::error_code WriteFileAtomically(const std::string& path, std::string_view contents) = 0;

  // `folder` + separator + `name`, without doubling a separator `folder` already ends with.
  virtual std::string JoinPath(std::string_view folder, std::string_view name) const = 0;

  // Paths are compared case-insensitively: two paths name the same playlist row exactly when
  // their keys are equal.
  virtual std::string PathKey(std::string_view path) const = 0;

  // The code page of playlist files without a byte-order mark.
  virtual const ITextCodePage& SystemCodePage() const = 0;

  // The full path that `path`, a line of the playlist file `playlist`, names when taken from that
  // file's folder: the platform's normal form, "." and ".." folded. Empty when `path` is not
  // relative (rooted, with a drive, or with a scheme or a stream name's ":") or the folder cannot
  // be told. The default resolves nothing.
  virtual std::string ResolveBesidePlaylist(const std::string& /*playlist*/, std::string_view /*path*/) { return {}; }
};

}  // namespace qvr::ui
