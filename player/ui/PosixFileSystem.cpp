#include "player/ui/PosixFileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

namespace qvr::ui {
namespace {

constexpr size_t kMaxFileSize = 256u << 20;  // far beyond any playlist; keeps a bad file from
                                             // exhausting memory

std::error_code LastError() { return {errno, std::generic_category()}; }

class TFd {
 public:
  explicit TFd(int fd) : FFd(fd) {}
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;
  ~TFd() {
    if (FFd >= 0) ::close(FFd);
  }
  int get() const { return FFd; }
  int release() { return std::exchange(FFd, -1); }

 private:
  int FFd;
};

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

bool TPosixFileSystem::FileExists(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

bool TPosixFileSystem::DirectoryExists(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::vector<TFolderEntry> TPosixFileSystem::ListFolder(const std::string& folder) {
  std::vector<TFolderEntry> entries;
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
  if (!dir) return entries;
  while (const dirent* entry = ::readdir(dir.get())) {
    bool isDirectory = entry->d_type == DT_DIR;
    if (entry->d_type == DT_UNKNOWN) {
      struct stat info;
      isDirectory = ::lstat(JoinPath(folder, entry->d_name).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
    }
    entries.push_back({entry->d_name, isDirectory});
  }
  return entries;
}

std::error_code TPosixFileSystem::RemoveFile(const std::string& path) {
  return ::unlink(path.c_str()) == 0 ? std::error_code() : LastError();
}

std::error_code TPosixFileSystem::ReadWholeFile(const std::string& path, std::string& contents) {
  contents.clear();
  TFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) return LastError();
  char buffer[16384];
  while (true) {
    const ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) continue;
      return LastError();
    }
    if (got == 0) return {};
    if (contents.size() + static_cast<size_t>(got) > kMaxFileSize) return std::make_error_code(std::errc::file_too_large);
    contents.append(buffer, static_cast<size_t>(got));
  }
}

int TPosixFileSystem::WriteContents(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t written = ::write(fd, data.data(), data.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    data.remove_prefix(static_cast<size_t>(written));
  }
  return 0;
}

std::error_code TPosixFileSystem::WriteFileAtomically(const std::string& path, std::string_view contents) {
  const std::string temporary = path + ".qvr-save.tmp";
  TFd fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
  if (fd.get() < 0) return LastError();
  std::error_code error;
  struct stat old;
  if (::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode)) ::fchmod(fd.get(), old.st_mode & 07777);
  if (const int code = WriteContents(fd.get(), contents))
    error = {code, std::generic_category()};
  else if (::fsync(fd.get()) != 0)
    error = LastError();
  if (::close(fd.release()) != 0 && !error) error = LastError();
  if (!error && ::rename(temporary.c_str(), path.c_str()) != 0) error = LastError();
  if (error) {
    ::unlink(temporary.c_str());
    return error;
  }
  // The rename itself reaches the disk with the folder's entry.
  TFd folder(::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.get() >= 0) ::fsync(folder.get());
  return {};
}

std::string TPosixFileSystem::JoinPath(std::string_view folder, std::string_view name) const {
  std::string path(folder);
  if (!path.empty() && path.back() != '/') path += '/';
  path += name;
  return path;
}

std::string TPosixFileSystem::PathKey(std::string_view path) const {
  std::string key(path);
  for (char& c : key)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return key;
}

std::string TPosixFileSystem::ResolveBesidePlaylist(const std::string& playlist, std::string_view path) {
  if (path.empty() || path[0] == '/' || path.find("://") != std::string_view::npos) return {};
  std::string joined;
  if (playlist.empty() || playlist[0] != '/') {
    char cwd[4096];
    if (!::getcwd(cwd, sizeof cwd)) return {};
    joined = cwd;
    joined += '/';
  }
  joined += playlist;
  joined.resize(joined.rfind('/') + 1);
  joined += path;
  // Fold ".", ".." and doubled separators.
  std::vector<std::string_view> parts;
  std::string_view rest = joined;
  while (!rest.empty()) {
    const size_t slash = rest.find('/');
    const std::string_view part = rest.substr(0, slash);
    rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    parts.push_back(part);
  }
  std::string full;
  for (std::string_view part : parts) (full += '/') += part;
  return full.empty() ? "/" : full;
}

}  // namespace qvr::ui
