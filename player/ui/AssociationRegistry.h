// The association code on the real registry (TWin32AssociationRegistry, W calls, REG_SZ with its
// terminating zero), and the application of a closed dialog's choice with what surrounds it:
// the report of a failure, the one shell notification, and the note about Windows' protected
// user choice. UI thread only.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "player/ui/core/FileAssociations.h"

namespace qvr::ui {

class TWin32AssociationRegistry : public IAssociationRegistry {
 public:
  bool ReadString(TRegistryRoot root, const std::string& key, const std::string& name, std::string& value) override;
  bool WriteString(TRegistryRoot root, const std::string& key, const std::string& name, const std::string& value) override;
  bool KeyExists(TRegistryRoot root, const std::string& key) override;
  bool ValueExists(TRegistryRoot root, const std::string& key, const std::string& name) override;
  bool DeleteValue(TRegistryRoot root, const std::string& key, const std::string& name) override;
  bool DeleteTree(TRegistryRoot root, const std::string& key) override;
  std::vector<std::string> ValueNames(TRegistryRoot root, const std::string& key) override;
};

// What the application asks of the shell; tests replace these.
struct TAssociationShell {
  // SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST) by default.
  std::function<void()> NotifyAssociationsChanged;
  // Asks whether to open Default Apps for the extensions another program holds (a Yes/No
  // message box by default); true opens it.
  std::function<bool(HWND owner, const std::vector<std::string>& exts)> AskToConfirmInSettings;
  // ShellExecute "open" of the target by default.
  std::function<void(HWND owner, const std::wstring& target)> Open;
};
TAssociationShell DefaultAssociationShell();

inline constexpr wchar_t kDefaultAppsPage[] = L"ms-settings:defaultapps";
inline constexpr wchar_t kDefaultAppsNoteTitle[] = L"File Associations";

// Applies a dialog closed with OK: the planned changes, then the shell notification when
// anything changed, or the standard error report when a failure stopped them (no notification
// then). When an extension just associated has a user choice naming another program, the note
// offers Default Apps.
TApplyResult ApplyFileAssociationChoice(const TFileTypeTree& tree, const std::string& exe, IAssociationRegistry& registry,
                                        const TAssociationShell& shell, HWND owner);

// The full path of the running program.
std::string RunningProgramPath();

}  // namespace qvr::ui
