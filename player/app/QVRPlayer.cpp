// QVR Player program entry: the start-up steps in their order, then the main window and the
// message loop until it closes.
#include <windows.h>
#include <shellapi.h>

#include <optional>
#include <string>

#include "common/win/text.h"
#include "player/app/FormMain.h"
#include "player/app/FormMainAssociations.h"
#include "player/app/SingleInstance.h"
#include "player/app/langs.h"
#include "player/app/Startup.h"
#include "player/app/Update.h"
#include "player/app/core/UpdateRules.h"
#include "player/ui/Win32FileSystem.h"

namespace {

// The first command-line argument, as the shell quotes it, in UTF-8.
std::optional<std::string> FirstArgument() {
  int count = 0;
  wchar_t** arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (!arguments) return std::nullopt;
  std::optional<std::string> first;
  if (count > 1) first = qvr::WideToUtf8(arguments[1]);
  ::LocalFree(arguments);
  return first;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  const std::optional<std::string> argument = FirstArgument();
  // 1. Held until the process ends: it is what tells later starts that a player runs.
  const qvr::unique_handle instanceMutex = qvr::app::ClaimSingleInstance(instance, argument);
  if (!instanceMutex) return 0;  // handed over to the running player
  // 2.
  qvr::app::RequestDesktopComposition();
  // 3. The language list, read once.
  qvr::app::Langs();
  // 4.
  const std::string folder = qvr::app::ProgramFolder();
  const auto update = qvr::app::HandlePendingUpdate(
      folder, qvr::app::InstallerTrusted,
      [](const std::wstring& question) {
        return ::MessageBoxW(nullptr, question.c_str(), qvr::app::kUpdateTitle, MB_YESNO | MB_ICONQUESTION);
      },
      qvr::app::ShellOpen);
  if (update == qvr::app::TPendingUpdate::kInstallerStarted) return 0;

  qvr::ui::TWin32FileSystem fileSystem;
  qvr::app::TfrmQVRPlayer form({folder, argument}, fileSystem);
  qvr::app::BindFirstRunAssociations(form);
  // The update check of the deferred start-up tasks, and its result.
  const std::string downloadFolder = qvr::app::DownloadFolder();
  form.OnUpdateCheck = [&form, &downloadFolder] {
    qvr::app::StartUpdateCheck(qvr::app::UpdateRecord(), qvr::app::UpdateUrl(), form.Handle(), downloadFolder,
                               qvr::app::ProgramSignerPin());
  };
  form.OnUpdateDone = [](WPARAM, LPARAM lparam) { qvr::app::HandleUpdateDone(qvr::app::UpdateRecord(), lparam); };
  if (FAILED(form.Create())) return 1;
  return qvr::ui::RunMessageLoop();
}
