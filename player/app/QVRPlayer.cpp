// QVR Player program entry. Start-up step one (single instance and hand-over) runs here; the main
// window arrives with its own work, until then a first instance ends at once.
#include <windows.h>
#include <shellapi.h>

#include <optional>
#include <string>

#include "common/win/text.h"
#include "player/app/SingleInstance.h"

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
  // Held until the process ends: it is what tells later starts that a player runs.
  const qvr::unique_handle instanceMutex = qvr::app::ClaimSingleInstance(instance, FirstArgument());
  if (!instanceMutex) return 0;  // handed over to the running player
  // The first player: the main window and its message loop come here.
  return 0;
}
