// The system's file dialogs as the player's windows open them.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace qvr::ui {

// The process's current directory, of any length.
std::wstring CurrentDirectory();

// A "|"-separated filter ("Text|*.a;*.b|All Files|*.*") in the dialogs' form: NUL-separated
// pairs ended by a second NUL.
std::wstring DialogFilter(std::wstring_view piped);

// The paths of a multi-select result: one full path, or the folder followed by each name.
std::vector<std::string> PickedPaths(std::wstring_view buffer);

// The multi-select "Open Media Files" dialog over the current directory, with a 25,500-byte
// name buffer; returns the picked paths in the dialog's order, none when cancelled.
std::vector<std::string> PickMediaFiles(HWND owner, std::wstring_view pipedFilter);

}  // namespace qvr::ui
