// The registry functions against the real HKEY_CURRENT_USER, under a private key of the test
// that is deleted afterwards.
#include "player/app/Registry.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/win/text.h"
#include "common/win/unique_resource.h"

namespace {

using namespace qvr::app;
using qvr::Utf8ToWide;
using qvr::WideToUtf8;

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, Utf8ToWide(key).c_str()); }
  void TearDown() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, Utf8ToWide(key).c_str()); }

  bool KeyExists(const std::string& path) {
    qvr::unique_hkey handle;
    return ::RegOpenKeyExW(HKEY_CURRENT_USER, Utf8ToWide(path).c_str(), 0, KEY_READ, handle.put()) == ERROR_SUCCESS;
  }
  // The stored bytes and type, as the W API reports them.
  std::vector<BYTE> Raw(const std::string& path, const wchar_t* name, DWORD* type = nullptr) {
    qvr::unique_hkey handle;
    std::vector<BYTE> data(4096);
    DWORD size = static_cast<DWORD>(data.size()), kind = 0;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, Utf8ToWide(path).c_str(), 0, KEY_READ, handle.put()) != ERROR_SUCCESS ||
        ::RegQueryValueExW(handle.get(), name, nullptr, &kind, data.data(), &size) != ERROR_SUCCESS)
      return {};
    if (type) *type = kind;
    data.resize(size);
    return data;
  }
  void SetRaw(const wchar_t* name, DWORD type, const void* data, DWORD size) {
    qvr::unique_hkey handle;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(HKEY_CURRENT_USER, Utf8ToWide(key).c_str(), 0, nullptr, 0, KEY_WRITE,
                                               nullptr, handle.put(), nullptr));
    ASSERT_EQ(ERROR_SUCCESS, ::RegSetValueExW(handle.get(), name, 0, type, static_cast<const BYTE*>(data), size));
  }

  const std::string key = "Software\\QVRPlayerTest-" + std::to_string(::GetCurrentProcessId());
};

TEST_F(RegistryTest, RoundTripsACyrillicRecentFile) {
  const std::string recent = key + "\\Recent";
  const std::string path = WideToUtf8(L"C:\\Музыка\\Тест_звук 🎵.wav");
  ASSERT_TRUE(RegWriteString(recent, "0", path));
  std::string read;
  EXPECT_TRUE(RegReadString(recent, "0", read));
  EXPECT_EQ(path, read);
  // REG_SZ in UTF-16 with its terminating zero, nothing replaced.
  DWORD type = 0;
  const std::wstring wide = L"C:\\Музыка\\Тест_звук 🎵.wav";
  const auto* bytes = reinterpret_cast<const BYTE*>(wide.c_str());
  EXPECT_EQ(std::vector<BYTE>(bytes, bytes + (wide.size() + 1) * sizeof(wchar_t)), Raw(recent, L"0", &type));
  EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);

  // Key paths and value names take any name as well.
  const std::string named = key + "\\" + WideToUtf8(L"Ключ");
  ASSERT_TRUE(RegWriteString(named, WideToUtf8(L"имя"), "x"));
  EXPECT_TRUE(RegReadString(named, WideToUtf8(L"имя"), read));
  EXPECT_EQ("x", read);
}

// A value an older copy wrote through the A API reads the same, and ours is byte for byte
// what it would have stored.
TEST_F(RegistryTest, StoresWhatTheAnsiApiStoresForCodePageNames) {
  ASSERT_EQ(1252u, ::GetACP());
  const char ansi[] = "C:\\M\xFAsica\\caf\xE9 \x80.mp3";  // C:\Música\café €.mp3 in code page 1252
  const std::string utf8 = WideToUtf8(L"C:\\Música\\café €.mp3");
  {
    qvr::unique_hkey handle;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                                               handle.put(), nullptr));
    ASSERT_EQ(ERROR_SUCCESS,
              ::RegSetValueExA(handle.get(), "Position", 0, REG_SZ, reinterpret_cast<const BYTE*>(ansi), sizeof ansi));
  }
  ASSERT_TRUE(RegWriteString(key, "Ours", utf8));
  const std::vector<BYTE> theirs = Raw(key, L"Position");
  ASSERT_FALSE(theirs.empty());
  EXPECT_EQ(theirs, Raw(key, L"Ours"));

  std::string read;
  EXPECT_TRUE(RegReadString(key, "Position", read));
  EXPECT_EQ(utf8, read);
  qvr::unique_hkey handle;
  ASSERT_EQ(ERROR_SUCCESS, ::RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, handle.put()));
  char back[64] = {};
  DWORD size = sizeof back;
  ASSERT_EQ(ERROR_SUCCESS, ::RegQueryValueExA(handle.get(), "Ours", nullptr, nullptr, reinterpret_cast<BYTE*>(back), &size));
  EXPECT_EQ(std::string(ansi, sizeof ansi), std::string(back, size));
}

// Missing keys and values read as empty or 0 and are not created; a value is taken only once.
TEST_F(RegistryTest, MissingAndWrongTypedValuesReadAsEmptyOrZeroAndTakeDeletes) {
  std::string read = "stale";
  EXPECT_FALSE(RegReadString(key + "\\None", "x", read));
  EXPECT_EQ("", read);
  EXPECT_FALSE(RegTakeString(key + "\\None", "x", read));
  EXPECT_EQ(0, RegReadInt(key + "\\None", "x"));
  EXPECT_FALSE(KeyExists(key + "\\None"));
  EXPECT_FALSE(KeyExists(key));

  ASSERT_TRUE(RegWriteInt(key, "Repeat", 1));
  ASSERT_TRUE(RegWriteInt(key, "Negative", -5));
  EXPECT_EQ(1, RegReadInt(key, "Repeat"));
  EXPECT_EQ(-5, RegReadInt(key, "Negative"));
  EXPECT_EQ(0, RegReadInt(key, "Missing"));
  EXPECT_FALSE(RegReadString(key, "Repeat", read));  // a DWORD is no string
  ASSERT_TRUE(RegWriteString(key, "Text", "12"));
  EXPECT_EQ(0, RegReadInt(key, "Text"));             // nor a string a DWORD
  ASSERT_TRUE(RegWriteString(key, "Empty", ""));
  EXPECT_FALSE(RegReadString(key, "Empty", read));    // present but empty: reported as empty

  const std::string installer = WideToUtf8(L"C:\\Temp\\Обновление.exe");
  ASSERT_TRUE(RegWriteString(key, "-run", installer));
  EXPECT_TRUE(RegTakeString(key, "-run", read));
  EXPECT_EQ(installer, read);
  EXPECT_FALSE(RegTakeString(key, "-run", read));  // taken: gone
}

// Other writers may leave out the terminating zero or put text after one.
TEST_F(RegistryTest, ReadsStringsStoredWithoutOrWithInnerZeros) {
  const wchar_t unterminated[] = L"C:\\Тест.mp3";
  SetRaw(L"Bare", REG_SZ, unterminated, (sizeof unterminated) - sizeof(wchar_t));
  const wchar_t inner[] = L"first\0second";
  SetRaw(L"Inner", REG_SZ, inner, sizeof inner);
  SetRaw(L"Expand", REG_EXPAND_SZ, L"%TEMP%\\x", 18);
  std::string read;
  EXPECT_TRUE(RegReadString(key, "Bare", read));
  EXPECT_EQ(WideToUtf8(L"C:\\Тест.mp3"), read);
  EXPECT_TRUE(RegReadString(key, "Inner", read));
  EXPECT_EQ("first", read);
  EXPECT_TRUE(RegReadString(key, "Expand", read));
  EXPECT_EQ("%TEMP%\\x", read);  // not expanded
}

}  // namespace
