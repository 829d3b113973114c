// Text at the Win32 boundary. The player's text is UTF-8 and becomes UTF-16 only for a W call
// (Utf8ToWide / WideToUtf8, over the portable converter of common/core/Utf.h, so that broken
// input is replaced the same way everywhere). Code-page conversions are for bytes other programs
// write in an 8-bit code page. ToWide / ToAnsi (the system code page, CP_ACP) remain for the
// connector's and the probe's own conventions and for tests.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "common/core/CodePage.h"
#include "common/core/Utf.h"

namespace qvr {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Win32 wide strings are UTF-16");

inline std::wstring Utf8ToWide(std::string_view text) {
  const std::u16string wide = Utf8ToUtf16(text);
  return std::wstring(wide.begin(), wide.end());
}

inline std::string WideToUtf8(std::wstring_view text) {
  return Utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(text.data()), text.size()));
}

// Bytes in `codePage` (CP_ACP: the system code page) to UTF-16; undefined bytes become U+FFFD
// or the code page's own default, as the system converts them.
inline std::wstring CodePageToWide(UINT codePage, std::string_view bytes) {
  if (bytes.empty()) return {};
  const int n = ::MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  if (n <= 0) return {};
  std::wstring wide(static_cast<size_t>(n), L'\0');
  ::MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), wide.data(), n);
  return wide;
}

// UTF-16 to `codePage`. True when every character has an exact counterpart there: without
// WC_NO_BEST_FIT_CHARS, Windows would quietly turn an unknown "ā" into "a" and report nothing.
inline bool WideToCodePage(UINT codePage, std::wstring_view text, std::string& bytes) {
  bytes.clear();
  if (codePage == CP_ACP) codePage = ::GetACP();
  if (codePage == CP_UTF8) {  // the flags below are invalid for UTF-8 (a system set to it since Windows 10 1903)
    bytes = WideToUtf8(text);
    return true;
  }
  if (text.empty()) return true;
  BOOL usedDefault = FALSE;
  const int n = ::WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, &usedDefault);
  if (n <= 0) return false;
  bytes.assign(static_cast<size_t>(n), '\0');
  ::WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, text.data(), static_cast<int>(text.size()), bytes.data(), n,
                        nullptr, &usedDefault);
  return !usedDefault;
}

// An 8-bit code page of this system for the portable code that reads and writes other
// programs' bytes.
class TWin32CodePage final : public ITextCodePage {
 public:
  explicit TWin32CodePage(UINT codePage = CP_ACP) : FCodePage(codePage) {}
  std::string ToUtf8(std::string_view bytes) const override { return WideToUtf8(CodePageToWide(FCodePage, bytes)); }
  bool FromUtf8(std::string_view utf8, std::string& bytes) const override {
    // Ill-formed UTF-8 names no character that could fit.
    return IsValidUtf8(utf8) && WideToCodePage(FCodePage, Utf8ToWide(utf8), bytes);
  }

 private:
  UINT FCodePage;
};

// The system code page (CP_ACP) to UTF-16 and back, lossy where it cannot hold a character.
inline std::wstring ToWide(std::string_view text) { return CodePageToWide(CP_ACP, text); }

inline std::string ToAnsi(std::wstring_view text) {
  if (text.empty()) return {};
  const int n = ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<size_t>(n), '\0');
  ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), narrow.data(), n, nullptr, nullptr);
  return narrow;
}

}  // namespace qvr
