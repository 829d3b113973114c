#include "player/ui/Win32FileSystem.h"

#include <shellapi.h>

#include <algorithm>

#include "common/win/unique_resource.h"

namespace qvr::ui {
namespace {

constexpr DWORD kMaxFileSize = 256u << 20;  // far beyond any playlist; keeps a bad file from
                                            // exhausting memory

std::error_code Win32Error(DWORD code) { return {static_cast<int>(code), std::system_category()}; }

DWORD Attributes(const std::string& path) { return ::GetFileAttributesW(Utf8ToWide(path).c_str()); }

// GetFullPathNameW: "." and ".." folded, "/" turned into a backslash; empty on failure.
std::wstring FullPathName(const std::wstring& path) {
  std::wstring full(MAX_PATH, L'\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    const DWORD n = ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (n == 0) return {};
    if (n < full.size()) {
      full.resize(n);
      return full;
    }
    full.resize(n);  // n counts the terminating NUL when the buffer was too small
  }
  return {};
}

// Neither rooted (a leading backslash or "/", which a server path has too) nor with a drive; any
// ":" (a drive, a scheme such as "http:", a stream name) rules a path out.
bool IsRelativePath(std::string_view path) {
  return !path.empty() && path[0] != '\\' && path[0] != '/' && path.find(':') == std::string_view::npos;
}

}  // namespace

bool TWin32FileSystem::FileExists(const std::string& path) {
  const DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool TWin32FileSystem::DirectoryExists(const std::string& path) {
  const DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::vector<TFolderEntry> TWin32FileSystem::ListFolder(const std::string& folder) {
  std::vector<TFolderEntry> entries;
  std::wstring pattern = Utf8ToWide(folder);
  if (pattern.empty() || (pattern.back() != L'\\' && pattern.back() != L'/')) pattern += L'\\';
  pattern += L"*.*";
  WIN32_FIND_DATAW data;
  unique_find find(::FindFirstFileW(pattern.c_str(), &data));
  if (!find) return entries;
  do {
    entries.push_back({WideToUtf8(data.cFileName), (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
  } while (::FindNextFileW(find.get(), &data));
  return entries;
}

std::error_code TWin32FileSystem::RemoveFile(const std::string& path) {
  return ::DeleteFileW(Utf8ToWide(path).c_str()) ? std::error_code() : Win32Error(::GetLastError());
}

std::error_code TWin32FileSystem::RecycleFile(const std::string& path) {
  std::wstring from = Utf8ToWide(path);
  from.push_back(L'\0');  // the list of names ends with a second NUL
  SHFILEOPSTRUCTW operation{};
  operation.wFunc = FO_DELETE;
  operation.pFrom = from.c_str();
  operation.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
  const int result = ::SHFileOperationW(&operation);
  // SHFileOperation answers with its own codes as well as Win32 ones; any non-zero one fails.
  if (result != 0) return Win32Error(static_cast<DWORD>(result));
  if (operation.fAnyOperationsAborted) return Win32Error(ERROR_CANCELLED);
  return {};
}

std::error_code TWin32FileSystem::ReadWholeFile(const std::string& path, std::string& contents) {
  contents.clear();
  unique_file file(::CreateFileW(Utf8ToWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file) return Win32Error(::GetLastError());
  char buffer[16384];
  while (true) {
    DWORD got = 0;
    if (!::ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr)) return Win32Error(::GetLastError());
    if (got == 0) return {};
    if (contents.size() + got > kMaxFileSize) return Win32Error(ERROR_FILE_TOO_LARGE);
    contents.append(buffer, got);
  }
}

DWORD TWin32FileSystem::WriteContents(HANDLE file, std::string_view data) {
  while (!data.empty()) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(data.size(), 1u << 20));
    DWORD written = 0;
    if (!::WriteFile(file, data.data(), chunk, &written, nullptr)) return ::GetLastError();
    data.remove_prefix(written);
  }
  return ERROR_SUCCESS;
}

std::error_code TWin32FileSystem::WriteFileAtomically(const std::string& path, std::string_view contents) {
  // Windows' MoveFileEx refuses to replace a read-only file (ERROR_ACCESS_DENIED); Wine 8's
  // replaces it (seen in playlist_win_tests). Refusing here gives the same answer on both.
  const DWORD attributes = Attributes(path);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
    return Win32Error(ERROR_ACCESS_DENIED);
  const std::wstring target = Utf8ToWide(path);
  const std::wstring temporary = target + L".qvr-save.tmp";
  DWORD error = ERROR_SUCCESS;
  {
    // CREATE_ALWAYS: a temporary file left by a crash is simply reused.
    unique_file file(::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return Win32Error(::GetLastError());
    error = WriteContents(file.get(), contents);
    if (error == ERROR_SUCCESS && !::FlushFileBuffers(file.get())) error = ::GetLastError();
    if (!::CloseHandle(file.release()) && error == ERROR_SUCCESS) error = ::GetLastError();
  }
  if (error == ERROR_SUCCESS &&
      !::MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    error = ::GetLastError();
  if (error != ERROR_SUCCESS) {
    ::DeleteFileW(temporary.c_str());
    return Win32Error(error);
  }
  return {};
}

std::string TWin32FileSystem::JoinPath(std::string_view folder, std::string_view name) const {
  std::string path(folder);
  if (path.empty() || (path.back() != '\\' && path.back() != '/')) path += '\\';
  path += name;
  return path;
}

std::string TWin32FileSystem::PathKey(std::string_view path) const {
  std::wstring key = Utf8ToWide(path);
  if (!key.empty()) ::CharUpperBuffW(key.data(), static_cast<DWORD>(key.size()));
  return WideToUtf8(key);
}

std::string TWin32FileSystem::ResolveBesidePlaylist(const std::string& playlist, std::string_view path) {
  if (!IsRelativePath(path)) return {};
  std::wstring folder = FullPathName(Utf8ToWide(playlist));
  const size_t separator = folder.find_last_of(L'\\');
  if (separator == std::wstring::npos) return {};
  folder.resize(separator + 1);
  const std::wstring full = FullPathName(folder + Utf8ToWide(path));
  return full.empty() ? std::string() : WideToUtf8(full);
}

}  // namespace qvr::ui
