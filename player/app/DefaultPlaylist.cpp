#include "player/app/DefaultPlaylist.h"

#include <windows.h>
#include <shlobj.h>

#include "common/win/text.h"
#include "common/win/unique_resource.h"

namespace qvr::app {

bool FolderIsWritable(const std::string& folder) {
  std::wstring probe = Utf8ToWide(folder);
  if (!probe.empty() && probe.back() != L'\\') probe += L'\\';
  probe += L"QVRPlayer-" + std::to_wstring(::GetCurrentProcessId()) + L".write-test";
  const unique_file file(::CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                       FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
  return static_cast<bool>(file);
}

std::string DefaultPlaylistPath(const std::string& programFolder) {
  if (FolderIsWritable(programFolder)) return programFolder + "default.m3u";
  wchar_t appData[MAX_PATH] = {};
  if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, appData)))
    return programFolder + "default.m3u";
  std::wstring folder = std::wstring(appData) + L"\\QVRPlayer";
  ::CreateDirectoryW(folder.c_str(), nullptr);  // already there is fine
  return WideToUtf8(folder) + "\\default.m3u";
}

}  // namespace qvr::app
