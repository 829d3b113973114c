// Start-up step one, before any window exists: one player per user session. The first process
// holds the named mutex "QVRPLAYERHINST" for as long as it runs; a later one hands its first
// command-line argument to the running player's window (class "TfrmQVRPlayer") by WM_COPYDATA
// and ends. Our own hand-over is UTF-8 marked by kCopyDataUtf8 in dwData (player/app/core/
// CopyData.h), so that no name is lost; the receiver still reads dwData 0 as the system code page.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "common/win/unique_resource.h"

namespace qvr::app {

inline constexpr wchar_t kInstanceMutexName[] = L"QVRPLAYERHINST";
inline constexpr wchar_t kMainWindowClass[] = L"TfrmQVRPlayer";

// Creates the mutex. When this is the first player, returns it (keep it until the process ends).
// Otherwise (the mutex existed, or could not be made) looks for the running player's window, 11
// tries with a 100 ms pause before each retry; when found, sends it `argument` (UTF-8) if there is
// one, with wParam = `self`, then brings it to the foreground; returns an empty handle: the
// caller ends at once, whether the window was found or not.
unique_handle ClaimSingleInstance(HINSTANCE self, const std::optional<std::string>& argument);

// Sends `path` (UTF-8) to `window` as our own hand-over does. True when the window answered.
bool SendPathToInstance(HWND window, HINSTANCE self, const std::string& path);

}  // namespace qvr::app
