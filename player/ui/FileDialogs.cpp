#include "player/ui/FileDialogs.h"

#include <commdlg.h>

#include <algorithm>

#include "common/win/text.h"

namespace qvr::ui {

namespace {

constexpr size_t kMediaNameBufferBytes = 25500;

// The dialogs take NUL-separated pairs ended by a second NUL.
std::wstring DialogFilter(std::wstring_view piped) {
  std::wstring filter(piped);
  std::replace(filter.begin(), filter.end(), L'|', L'\0');
  filter.push_back(L'\0');
  return filter;
}

// The paths of a multi-select result: one full path, or the folder followed by each name.
std::vector<std::string> PickedPaths(std::wstring_view buffer) {
  std::vector<std::wstring_view> parts;
  for (size_t at = 0; at < buffer.size() && buffer[at] != L'\0';) {
    const size_t end = std::min(buffer.find(L'\0', at), buffer.size());
    parts.push_back(buffer.substr(at, end - at));
    at = end + 1;
  }
  std::vector<std::string> paths;
  if (parts.size() == 1) paths.push_back(WideToUtf8(parts[0]));
  std::wstring folder(parts.empty() ? L"" : parts[0]);
  if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
  for (size_t i = 1; i < parts.size(); ++i) paths.push_back(WideToUtf8(folder + std::wstring(parts[i])));
  return paths;
}

}  // namespace

std::wstring CurrentDirectory() {
  std::wstring folder(MAX_PATH, L'\0');
  DWORD length = ::GetCurrentDirectoryW(static_cast<DWORD>(folder.size()), folder.data());
  if (length > folder.size()) {
    folder.resize(length);
    length = ::GetCurrentDirectoryW(length, folder.data());
  }
  folder.resize(length);
  return folder;
}

std::vector<std::string> PickMediaFiles(HWND owner, std::wstring_view pipedFilter) {
  std::wstring names(kMediaNameBufferBytes / sizeof(wchar_t), L'\0');
  const std::wstring filter = DialogFilter(pipedFilter);
  const std::wstring folder = CurrentDirectory();
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = filter.c_str();
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = names.data();
  dialog.nMaxFile = static_cast<DWORD>(names.size());
  dialog.lpstrInitialDir = folder.c_str();
  dialog.lpstrTitle = L"Open Media Files";
  dialog.Flags = OFN_ALLOWMULTISELECT | OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
  if (!::GetOpenFileNameW(&dialog)) return {};
  return PickedPaths(names);
}

}  // namespace qvr::ui
