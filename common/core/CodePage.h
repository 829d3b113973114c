// An 8-bit code page as the player meets it in files and messages that other programs write
// (playlists, WM_COPYDATA from the suite application): converted to and from the player's UTF-8
// text. The Win32 implementation is qvr::TWin32CodePage (common/win/text.h); TLatin1CodePage
// stands in for a Western system where no Win32 exists (the native build and its tests).
#pragma once

#include <string>
#include <string_view>

namespace qvr {

class ITextCodePage {
 public:
  virtual ~ITextCodePage() = default;
  // The bytes as UTF-8; a byte the code page does not define becomes U+FFFD.
  virtual std::string ToUtf8(std::string_view bytes) const = 0;
  // False when some character has no exact counterpart in the code page (no "best fit"
  // look-alike counts); `bytes` is unspecified then.
  virtual bool FromUtf8(std::string_view utf8, std::string& bytes) const = 0;
};

// ISO 8859-1: every byte is the code point of the same value.
class TLatin1CodePage final : public ITextCodePage {
 public:
  std::string ToUtf8(std::string_view bytes) const override;
  bool FromUtf8(std::string_view utf8, std::string& bytes) const override;
};

}  // namespace qvr
