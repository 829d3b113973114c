#include "player/app/Startup.h"

#include <shellapi.h>

#include "common/win/text.h"
#include "common/win/unique_resource.h"
#include "player/app/FormMain.h"
#include "player/app/Registry.h"

namespace qvr::app {

const wchar_t kUpdateQuestion[] =
    L"A newer version of  QVR Player was released. Do You want to update?\r\n(note: your program will be closed and "
    L"reopened after update)";
const wchar_t kUpdateTitle[] = L"QVR Player update";

void RequestDesktopComposition() {
  OSVERSIONINFOW version{sizeof(version)};
  using GetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
  // RtlGetVersion tells the truth where GetVersionEx is shimmed by the manifest.
  auto rtlGetVersion = get_proc_address<GetVersionFn>(::GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion");
  if (!rtlGetVersion || rtlGetVersion(&version) != 0 || version.dwMajorVersion < 6) return;
  // Kept loaded until the process ends, as the composition state belongs to the process.
  static HMODULE dwm = ::LoadLibraryW(L"DWMAPI.DLL");
  if (!dwm) return;
  using IsEnabledFn = HRESULT(WINAPI*)(BOOL*);
  using EnableFn = HRESULT(WINAPI*)(UINT);
  auto isEnabled = get_proc_address<IsEnabledFn>(dwm, "DwmIsCompositionEnabled");
  auto enable = get_proc_address<EnableFn>(dwm, "DwmEnableComposition");
  BOOL enabled = FALSE;
  if (isEnabled && isEnabled(&enabled) == S_OK && enable) enable(1);  // DWM_EC_ENABLECOMPOSITION
}

TPendingUpdate HandlePendingUpdate(const std::string& programFolder, const std::function<bool(const std::string&)>& verify,
                                   const std::function<int(const std::wstring&)>& ask,
                                   const std::function<bool(const std::string&, const std::string&)>& launch) {
  std::string installer;
  RegTakeString(kPlayerKey, "-run", installer);
  if (!installer.empty()) {
    if (!verify(installer)) {
      std::string leftover;
      RegTakeString(kPlayerKey, "-del", leftover);
      ::DeleteFileW(Utf8ToWide(installer).c_str());
      return TPendingUpdate::kRejected;
    }
    if (ask(kUpdateQuestion) != IDYES) return TPendingUpdate::kDeclined;
    std::string folder = programFolder;
    if (!folder.empty() && folder.back() == '\\') folder.pop_back();
    // A failed start must not end the player: the user gets the player back, and "-del" (still
    // stored) removes the installer at the next start.
    return launch(installer, "/verysilent /DIR=\"" + folder + "\"") ? TPendingUpdate::kInstallerStarted
                                                                   : TPendingUpdate::kLaunchFailed;
  }
  std::string leftover;
  if (RegTakeString(kPlayerKey, "-del", leftover)) ::DeleteFileW(Utf8ToWide(leftover).c_str());
  return TPendingUpdate::kNone;
}

bool ShellOpen(const std::string& file, const std::string& parameters) {
  const std::wstring wideFile = Utf8ToWide(file), wideParameters = Utf8ToWide(parameters);
  SHELLEXECUTEINFOW info{sizeof(info)};
  info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
  info.lpVerb = L"open";
  info.lpFile = wideFile.c_str();
  info.lpParameters = wideParameters.c_str();
  info.nShow = SW_SHOWNORMAL;
  return ::ShellExecuteExW(&info) != FALSE;
}

std::string ProgramFolder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  return WideToUtf8(path.substr(0, path.find_last_of(L"\\/") + 1));
}

}  // namespace qvr::app
