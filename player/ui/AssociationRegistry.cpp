#include "player/ui/AssociationRegistry.h"

#include <shellapi.h>
#include <shlobj.h>

#include <cwchar>

#include "common/win/text.h"
#include "common/win/unique_resource.h"
#include "player/ui/Window.h"

namespace qvr::ui {

namespace {

HKEY RootOf(TRegistryRoot root) { return root == TRegistryRoot::ClassesRoot ? HKEY_CLASSES_ROOT : HKEY_CURRENT_USER; }

unique_hkey Open(TRegistryRoot root, const std::string& key, REGSAM access) {
  unique_hkey handle;
  if (::RegOpenKeyExW(RootOf(root), Utf8ToWide(key).c_str(), 0, access, handle.put()) != ERROR_SUCCESS) handle.reset();
  return handle;
}

}  // namespace

bool TWin32AssociationRegistry::ReadString(TRegistryRoot root, const std::string& key, const std::string& name,
                                           std::string& value) {
  value.clear();
  const unique_hkey handle = Open(root, key, KEY_QUERY_VALUE);
  if (!handle) return false;
  const std::wstring wideName = Utf8ToWide(name);
  DWORD type = 0, size = 0;
  if (::RegQueryValueExW(handle.get(), wideName.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
  if (type != REG_SZ && type != REG_EXPAND_SZ) return true;  // present, but no text: reads as empty
  std::wstring data(size / sizeof(wchar_t) + 1, L'\0');
  DWORD got = static_cast<DWORD>(data.size() * sizeof(wchar_t));
  if (::RegQueryValueExW(handle.get(), wideName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &got) !=
      ERROR_SUCCESS)
    return false;
  data.resize(got / sizeof(wchar_t));
  value = WideToUtf8(data.substr(0, data.find(L'\0')));
  return true;
}

bool TWin32AssociationRegistry::WriteString(TRegistryRoot root, const std::string& key, const std::string& name,
                                            const std::string& value) {
  unique_hkey handle;
  if (::RegCreateKeyExW(RootOf(root), Utf8ToWide(key).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE,
                        nullptr, handle.put(), nullptr) != ERROR_SUCCESS)
    return false;
  const std::wstring wide = Utf8ToWide(value);
  const size_t length = std::wcslen(wide.c_str());
  return ::RegSetValueExW(handle.get(), Utf8ToWide(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(wide.c_str()),
                          static_cast<DWORD>((length + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool TWin32AssociationRegistry::KeyExists(TRegistryRoot root, const std::string& key) {
  return static_cast<bool>(Open(root, key, KEY_QUERY_VALUE));
}

bool TWin32AssociationRegistry::ValueExists(TRegistryRoot root, const std::string& key, const std::string& name) {
  const unique_hkey handle = Open(root, key, KEY_QUERY_VALUE);
  return handle &&
         ::RegQueryValueExW(handle.get(), Utf8ToWide(name).c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

bool TWin32AssociationRegistry::DeleteValue(TRegistryRoot root, const std::string& key, const std::string& name) {
  const unique_hkey handle = Open(root, key, KEY_SET_VALUE);
  return handle && ::RegDeleteValueW(handle.get(), Utf8ToWide(name).c_str()) == ERROR_SUCCESS;
}

bool TWin32AssociationRegistry::DeleteTree(TRegistryRoot root, const std::string& key) {
  const std::wstring wide = Utf8ToWide(key);
  const bool deleted = ::RegDeleteTreeW(RootOf(root), wide.c_str()) == ERROR_SUCCESS;
  // The key itself, should the tree deletion have emptied it only.
  ::RegDeleteKeyW(RootOf(root), wide.c_str());
  return deleted;
}

std::vector<std::string> TWin32AssociationRegistry::ValueNames(TRegistryRoot root, const std::string& key) {
  std::vector<std::string> names;
  const unique_hkey handle = Open(root, key, KEY_QUERY_VALUE);
  if (!handle) return names;
  for (DWORD i = 0;; ++i) {
    wchar_t name[16384];
    DWORD length = 16384;
    if (::RegEnumValueW(handle.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    names.push_back(WideToUtf8(std::wstring_view(name, length)));
  }
  return names;
}

TAssociationShell DefaultAssociationShell() {
  TAssociationShell shell;
  shell.NotifyAssociationsChanged = [] { ::SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr); };
  shell.AskToConfirmInSettings = [](HWND owner, const std::vector<std::string>& exts) {
    std::string list;
    for (const std::string& ext : exts) list += (list.empty() ? "" : ", ") + ext;
    const std::wstring text = L"Windows keeps its own choice of program for " + Utf8ToWide(list) +
                              L".\n\nOpen Default Apps to choose QVR Player there?";
    return ::MessageBoxW(owner, text.c_str(), kDefaultAppsNoteTitle, MB_YESNO | MB_ICONINFORMATION) == IDYES;
  };
  shell.Open = [](HWND owner, const std::wstring& target) {
    ::ShellExecuteW(owner, L"open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  };
  return shell;
}

TApplyResult ApplyFileAssociationChoice(const TFileTypeTree& tree, const std::string& exe, IAssociationRegistry& registry,
                                        const TAssociationShell& shell, HWND owner) {
  const TApplyResult result = ApplyAssociationChanges(registry, PlanAssociationChanges(tree), exe);
  if (result.Failed) {
    ReportException(result.Error);
    return result;
  }
  if (result.Changed && shell.NotifyAssociationsChanged) shell.NotifyAssociationsChanged();
  // Since Windows 8 a program cannot make itself the default: the user confirms in Settings.
  const std::vector<std::string> elsewhere = ExtensionsChosenElsewhere(registry, result.Associated);
  if (!elsewhere.empty() && shell.AskToConfirmInSettings && shell.AskToConfirmInSettings(owner, elsewhere) && shell.Open)
    shell.Open(owner, kDefaultAppsPage);
  return result;
}

std::string RunningProgramPath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      return WideToUtf8(path);
    }
    path.resize(path.size() * 2);
  }
}

}  // namespace qvr::ui
