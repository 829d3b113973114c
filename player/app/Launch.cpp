#include "player/app/Launch.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <memory>

#include "common/win/text.h"
#include "player/app/Registry.h"
#include "player/app/Startup.h"
#include "player/app/core/UpdateRules.h"

namespace qvr::app {
namespace {

std::wstring FolderOf(const std::wstring& path) { return path.substr(0, path.find_last_of(L"\\/") + 1); }

bool Exists(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(Utf8ToWide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool ShellExecuteItem(const wchar_t* verb, const std::string& file, const std::string& parameters) {
  const std::wstring wideFile = Utf8ToWide(file), wideParameters = Utf8ToWide(parameters);
  const std::wstring folder = FolderOf(wideFile);
  // The item list goes with the mask: Wine refuses SEE_MASK_INVOKEIDLIST without one
  // (ERROR_INVALID_PARAMETER), where Windows would make it from lpFile.
  const std::unique_ptr<ITEMIDLIST, decltype(&::ILFree)> items(::ILCreateFromPathW(wideFile.c_str()), &::ILFree);
  SHELLEXECUTEINFOW info{sizeof(info)};
  info.fMask = (items ? SEE_MASK_INVOKEIDLIST : 0) | SEE_MASK_FLAG_NO_UI;
  info.lpIDList = items.get();
  info.lpVerb = verb;
  info.lpFile = wideFile.c_str();
  info.lpParameters = wideParameters.empty() ? nullptr : wideParameters.c_str();
  info.lpDirectory = folder.empty() ? nullptr : folder.c_str();
  info.nShow = SW_SHOWNORMAL;
  return ::ShellExecuteExW(&info) != FALSE;
}

}  // namespace

std::string SuiteInstallDir(const std::string& programFolder) {
  std::string folder;
  if (!RegReadString(kSuiteInstallKey, "InstallDir", folder)) {
    folder = programFolder;
    while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
    folder = folder.substr(0, folder.find_last_of("\\/") + 1);
  }
  if (!folder.empty() && folder.back() != '\\') folder += '\\';
  return folder;
}

std::string SuiteInstallDir() { return SuiteInstallDir(ProgramFolder()); }

TConverterHandOff HandToConverter(const std::string& path, const std::string& suiteFolder) {
  if (path.empty() || !Exists(path)) return TConverterHandOff::kNothing;
  // The converter reads system code page bytes; a name that code page cannot hold goes by the
  // command line instead, where it stays whole.
  std::string bytes;
  if (const HWND converter = ::FindWindowW(kConverterClass, nullptr);
      converter && WideToCodePage(CP_ACP, Utf8ToWide(path), bytes)) {
    COPYDATASTRUCT data{};
    data.dwData = 0;
    data.cbData = static_cast<DWORD>(bytes.size());
    data.lpData = bytes.data();
    DWORD_PTR result = 0;
    // A converter that hangs must not hang the player with it.
    ::SendMessageTimeoutW(converter, WM_COPYDATA, reinterpret_cast<WPARAM>(::GetModuleHandleW(nullptr)),
                          reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG, 5000, &result);
    return TConverterHandOff::kSentToWindow;
  }
  const std::string program = suiteFolder + kConverterProgram;
  if (!Exists(program)) return TConverterHandOff::kNothing;
  return ShellOpenWithParams(program, "\"" + path + "\"") ? TConverterHandOff::kStarted : TConverterHandOff::kNothing;
}

TConverterHandOff HandToConverter(const std::string& path) { return HandToConverter(path, SuiteInstallDir()); }

bool ShellOpenWithParams(const std::string& program, const std::string& parameters) {
  return ShellExecuteItem(nullptr, program, parameters);
}

bool ShowFileProperties(const std::string& file) { return ShellExecuteItem(L"properties", file, ""); }

bool OpenReportBugPage() { return ShellOpen(ReportBugUrl(), ""); }
bool OpenSuggestionPage() { return ShellOpen(SuggestionUrl(), ""); }

}  // namespace qvr::app
