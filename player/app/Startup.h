// The start-up steps between the single-instance check and the main window: the desktop
// composition request and the hand-over of a downloaded update.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace qvr::app {

// The folder of the running executable, with a trailing backslash.
std::string ProgramFolder();

// On Windows 6 and later asks the desktop window manager (loaded by name) to compose; any
// missing piece skips it silently. The library stays loaded for the life of the process.
void RequestDesktopComposition();

enum class TPendingUpdate { kNone, kInstallerStarted, kDeclined, kLaunchFailed, kRejected };

// Takes "-run": when it names an installer that `verify` accepts (its signature is checked again,
// as the file may have changed since it was downloaded), asks whether to update; on Yes starts
// it with "/verysilent /DIR=" and the quoted program folder (the caller then ends). A file
// `verify` refuses is deleted, "-del" taken, and nothing asked. When "-run" was empty, takes
// "-del" and deletes that file. `ask` shows the question and returns the answer (IDYES or IDNO);
// `launch` starts the installer and says whether it started.
TPendingUpdate HandlePendingUpdate(const std::string& programFolder, const std::function<bool(const std::string& file)>& verify,
                                   const std::function<int(const std::wstring&)>& ask,
                                   const std::function<bool(const std::string& file, const std::string& parameters)>& launch);

// The question's text, exactly as the player asks it.
extern const wchar_t kUpdateQuestion[];
extern const wchar_t kUpdateTitle[];

// The shell's "open" verb, shown normally; true when the program started.
bool ShellOpen(const std::string& file, const std::string& parameters);

}  // namespace qvr::app
