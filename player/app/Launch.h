// Launches of outside programs and pages: the suite's converter, the shell's property sheet and
// the two report pages. Failures are not reported to the user; each call says whether it got
// its program started. UI thread.
#pragma once

#include <string>

namespace qvr::app {

inline constexpr char kSuiteInstallKey[] = "Software\\QVRSuite\\QVRSuite";
inline constexpr wchar_t kConverterClass[] = L"TfrmQVRConverter";
inline constexpr char kConverterProgram[] = "QVR Converter\\QVR Converter.exe";

// "InstallDir" of the suite's key; when empty, the parent of `programFolder` (the player's own
// folder, with or without a trailing backslash). Always with a trailing backslash.
std::string SuiteInstallDir(const std::string& programFolder);
// The same for the running executable's folder.
std::string SuiteInstallDir();

enum class TConverterHandOff { kNothing, kSentToWindow, kStarted };

// The converter gets `path` (an existing file): by WM_COPYDATA (system code page bytes, no
// terminating zero) when a "TfrmQVRConverter" window exists, else the converter under the suite
// folder is started with the quoted path.
TConverterHandOff HandToConverter(const std::string& path, const std::string& suiteFolder);
// The same with the running executable's suite folder (menu item "Convert").
TConverterHandOff HandToConverter(const std::string& path);

// The shell's extended execute with the item-list mask, the default verb, `parameters` (none
// when empty), the program's own folder as working folder, shown normally.
bool ShellOpenWithParams(const std::string& program, const std::string& parameters);
// The same with the verb "properties".
bool ShowFileProperties(const std::string& file);

// The report pages in the default browser (the shell's "open" of their http URLs).
bool OpenReportBugPage();
bool OpenSuggestionPage();

}  // namespace qvr::app
