#include "player/app/Registry.h"

#include <windows.h>

#include <cwchar>

#include "common/win/text.h"
#include "common/win/unique_resource.h"

namespace qvr::app {
namespace {

unique_hkey OpenKey(const std::string& key, REGSAM access) {
  unique_hkey handle;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, Utf8ToWide(key).c_str(), 0, access, handle.put()) != ERROR_SUCCESS)
    handle.reset();
  return handle;
}

unique_hkey CreateKey(const std::string& key) {
  unique_hkey handle;
  if (::RegCreateKeyExW(HKEY_CURRENT_USER, Utf8ToWide(key).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE,
                        nullptr, handle.put(), nullptr) != ERROR_SUCCESS)
    handle.reset();
  return handle;
}

std::string QueryString(HKEY key, const std::wstring& name) {
  DWORD type = 0, size = 0;
  if (::RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return {};
  // The value may change between the calls; a few rounds are enough for any writer but a hostile one.
  for (int round = 0; round < 4; ++round) {
    if (type != REG_SZ && type != REG_EXPAND_SZ) return {};
    // One character more than asked for: an odd size or a value stored without its zero still fits.
    std::wstring data(size / sizeof(wchar_t) + 1, L'\0');
    DWORD got = static_cast<DWORD>(data.size() * sizeof(wchar_t));
    const LSTATUS status = ::RegQueryValueExW(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &got);
    if (status == ERROR_MORE_DATA) {
      size = got;
      continue;
    }
    if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return {};
    data.resize(got / sizeof(wchar_t));
    return WideToUtf8(data.substr(0, data.find(L'\0')));  // the string ends at its first zero, as the A API reads it
  }
  return {};
}

}  // namespace

bool RegReadString(const std::string& key, const std::string& name, std::string& value) {
  value.clear();
  if (const unique_hkey handle = OpenKey(key, KEY_QUERY_VALUE)) value = QueryString(handle.get(), Utf8ToWide(name));
  return !value.empty();
}

bool RegTakeString(const std::string& key, const std::string& name, std::string& value) {
  value.clear();
  if (const unique_hkey handle = OpenKey(key, KEY_QUERY_VALUE | KEY_SET_VALUE)) {
    const std::wstring wideName = Utf8ToWide(name);
    value = QueryString(handle.get(), wideName);
    ::RegDeleteValueW(handle.get(), wideName.c_str());
  }
  return !value.empty();
}

int32_t RegReadInt(const std::string& key, const std::string& name) {
  const unique_hkey handle = OpenKey(key, KEY_QUERY_VALUE);
  if (!handle) return 0;
  DWORD type = 0, data = 0, size = sizeof data;
  if (::RegQueryValueExW(handle.get(), Utf8ToWide(name).c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&data),
                         &size) != ERROR_SUCCESS ||
      type != REG_DWORD || size != sizeof data)
    return 0;
  return static_cast<int32_t>(data);
}

bool RegWriteString(const std::string& key, const std::string& name, const std::string& value) {
  const unique_hkey handle = CreateKey(key);
  if (!handle) return false;
  const std::wstring wide = Utf8ToWide(value);
  // With its terminating zero and nothing after a zero inside, as RegSetValueExA stores a C string.
  const size_t length = std::wcslen(wide.c_str());
  return ::RegSetValueExW(handle.get(), Utf8ToWide(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(wide.c_str()),
                          static_cast<DWORD>((length + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool RegWriteInt(const std::string& key, const std::string& name, int32_t value) {
  const unique_hkey handle = CreateKey(key);
  if (!handle) return false;
  const DWORD data = static_cast<DWORD>(value);
  return ::RegSetValueExW(handle.get(), Utf8ToWide(name).c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                          sizeof data) == ERROR_SUCCESS;
}

}  // namespace qvr::app
