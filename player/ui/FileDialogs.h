// The system's file dialogs as the player's windows open them.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace qvr::ui {

// The process's current directory, of any length.
std::wstring CurrentDirectory();

// The multi-select "Open Media Files" dialog over the current directory, with a 25,500-byte
// name buffer. The filter is "|"-separated ("Text|*.a;*.b|All Files|*.*"). Returns the picked
// paths in the dialog's order, none when cancelled.
std::vector<std::string> PickMediaFiles(HWND owner, std::wstring_view pipedFilter);

}  // namespace qvr::ui
