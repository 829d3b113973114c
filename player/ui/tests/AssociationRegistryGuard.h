// For tests that associate files in the real registry: remembers the catalogue's ext keys under
// HKEY_CLASSES_ROOT and HKCU\Software\Classes as they were, and puts them back, removing every
// key and value the association code writes. Plus direct Win32 reads of what was written
// (Wine's HKEY_CLASSES_ROOT does not show HKCU\Software\Classes, so each place is read itself).
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "common/win/text.h"
#include "player/ui/core/FileAssociations.h"

namespace qvr::ui::testing {

// The REG_SZ value, or none when the key or the value is missing.
inline std::optional<std::wstring> RegValue(HKEY root, const std::string& key, const std::string& name = "") {
  wchar_t data[2048];
  DWORD size = sizeof(data), type = 0;
  if (::RegGetValueW(root, Utf8ToWide(key).c_str(), name.empty() ? nullptr : Utf8ToWide(name).c_str(), RRF_RT_ANY, &type,
                     data, &size) != ERROR_SUCCESS)
    return std::nullopt;
  EXPECT_EQ(static_cast<DWORD>(REG_SZ), type) << key << " " << name;
  return std::wstring(data, size / sizeof(wchar_t) > 0 ? size / sizeof(wchar_t) - 1 : 0);
}

inline bool RegKeyExists(HKEY root, const std::string& key) {
  HKEY raw = nullptr;
  if (::RegOpenKeyExW(root, Utf8ToWide(key).c_str(), 0, KEY_READ, &raw) != ERROR_SUCCESS) return false;
  ::RegCloseKey(raw);
  return true;
}

class TAssociationRegistryGuard {
 public:
  TAssociationRegistryGuard() {
    for (const auto& group : FileTypeCatalogue())
      for (const std::string& ext : group.Extensions) {
        saved_.push_back({HKEY_CLASSES_ROOT, ExtKeyOf(ext)});
        saved_.push_back({HKEY_CURRENT_USER, std::string(kUserClassesKey) + ExtKeyOf(ext)});
      }
    for (Saved& s : saved_) {
      s.Existed = RegKeyExists(s.Root, s.Key);
      s.Default = RegValue(s.Root, s.Key);
    }
    // Parents the registration may create, deepest first.
    for (const char* key : {kRegisteredApplicationsKey, "Software\\Clients\\Media", "Software\\Clients", "Software\\Classes"})
      if (!RegKeyExists(HKEY_CURRENT_USER, key)) created_.push_back(key);
    ClearOwnKeys();
  }
  ~TAssociationRegistryGuard() {
    ClearOwnKeys();
    for (const std::string& key : created_) DeleteTree(HKEY_CURRENT_USER, key);
    for (const Saved& s : saved_) {
      const std::wstring key = Utf8ToWide(s.Key);
      if (!s.Existed) {
        ::RegDeleteTreeW(s.Root, key.c_str());
        ::RegDeleteKeyW(s.Root, key.c_str());
        continue;
      }
      const std::wstring openWith = key + L"\\OpenWithProgIds";
      HKEY raw = nullptr;
      if (::RegOpenKeyExW(s.Root, key.c_str(), 0, KEY_SET_VALUE, &raw) != ERROR_SUCCESS) continue;
      if (s.Default)
        ::RegSetValueExW(raw, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(s.Default->c_str()),
                         static_cast<DWORD>((s.Default->size() + 1) * sizeof(wchar_t)));
      else
        ::RegDeleteValueW(raw, nullptr);
      ::RegCloseKey(raw);
    }
  }

 private:
  struct Saved {
    HKEY Root;
    std::string Key;
    bool Existed = false;
    std::optional<std::wstring> Default;
  };
  static void DeleteTree(HKEY root, const std::string& key) {
    ::RegDeleteTreeW(root, Utf8ToWide(key).c_str());
    ::RegDeleteKeyW(root, Utf8ToWide(key).c_str());
  }
  void ClearOwnKeys() {
    for (const auto& group : FileTypeCatalogue())
      for (const std::string& ext : group.Extensions) {
        DeleteTree(HKEY_CLASSES_ROOT, ProgIdOf(ext));
        DeleteTree(HKEY_CURRENT_USER, std::string(kUserClassesKey) + ProgIdOf(ext));
        DeleteTree(HKEY_CURRENT_USER, UserChoiceKeyOf(ext));
        HKEY raw = nullptr;
        if (::RegOpenKeyExW(HKEY_CURRENT_USER, Utf8ToWide(std::string(kUserClassesKey) + ExtKeyOf(ext) + "\\OpenWithProgIds").c_str(),
                            0, KEY_SET_VALUE, &raw) == ERROR_SUCCESS) {
          ::RegDeleteValueW(raw, Utf8ToWide(ProgIdOf(ext)).c_str());
          ::RegCloseKey(raw);
        }
      }
    DeleteTree(HKEY_CURRENT_USER, "Software\\QVRPlayer");
    DeleteTree(HKEY_CURRENT_USER, kClientKey);
    HKEY raw = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, Utf8ToWide(kRegisteredApplicationsKey).c_str(), 0, KEY_SET_VALUE, &raw) ==
        ERROR_SUCCESS) {
      ::RegDeleteValueW(raw, Utf8ToWide(kRegisteredApplicationName).c_str());
      ::RegCloseKey(raw);
    }
  }

  std::vector<Saved> saved_;
  std::vector<std::string> created_;
};

}  // namespace qvr::ui::testing
