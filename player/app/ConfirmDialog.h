// ShowConfirmDialog: the player's message form (the exit question), built at run time with the
// measured layout of core/ConfirmDialogLayout, shown modally centred on the screen. Esc and the
// close box answer the cancel button's result (the close box: Cancel); Ctrl+C copies the whole
// dialog as text. Runs its own modal loop on the user-interface thread.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace qvr::app {

enum class TMsgDlgBtn { mbYes, mbNo, mbOK, mbCancel, mbAbort, mbRetry, mbIgnore };

// The window class of the dialog, for whoever needs to find it.
inline constexpr wchar_t kMessageFormClass[] = L"TMessageForm";

// Returns the pressed button's result (IDYES, IDNO, IDOK, IDCANCEL, IDABORT, IDRETRY,
// IDIGNORE); IDCANCEL when closed by its close box. With `askFlag`, the "Don't ask me again"
// box is shown (not ticked) and its state is returned there. `iconResource` names an icon of
// the executable (none: no icon).
int ShowConfirmDialog(const std::string& message, const std::string& title, const wchar_t* iconResource, bool* askFlag,
                      const std::vector<TMsgDlgBtn>& buttons, HWND owner);

// The text Ctrl+C puts on the clipboard.
std::wstring ConfirmDialogClipboardText(const std::wstring& title, const std::wstring& message,
                                        const std::vector<std::wstring>& captions);

}  // namespace qvr::app
