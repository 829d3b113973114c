#include "common/core/CodePage.h"

#include "common/core/Utf.h"

namespace qvr {

std::string TLatin1CodePage::ToUtf8(std::string_view bytes) const {
  std::string out;
  out.reserve(bytes.size());
  for (const char byte : bytes) AppendUtf8(out, static_cast<unsigned char>(byte));
  return out;
}

bool TLatin1CodePage::FromUtf8(std::string_view utf8, std::string& bytes) const {
  bytes.clear();
  bytes.reserve(utf8.size());
  for (size_t at = 0; at < utf8.size();) {
    const char32_t c = NextCodePoint(utf8, at);
    if (c > 0xFF) return false;  // also an ill-formed sequence: U+FFFD has no Latin-1 byte
    bytes += static_cast<char>(c);
  }
  return true;
}

}  // namespace qvr
