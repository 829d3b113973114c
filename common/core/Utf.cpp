#include "common/core/Utf.h"

namespace qvr {

char32_t NextCodePoint(std::string_view utf8, size_t& at) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(utf8[i]); };
  const unsigned char lead = byte(at);
  if (lead < 0x80) {
    ++at;
    return lead;
  }
  // Table 3-7 of the Unicode Standard: the second byte's range depends on the lead byte, which
  // keeps out overlong forms, encoded surrogates and values past U+10FFFF.
  size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;
  char32_t value = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    value = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    value = lead & 0x0F;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    value = lead & 0x07;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    ++at;  // a continuation byte without a lead, or a byte UTF-8 never uses
    return kReplacementCharacter;
  }
  size_t i = at + 1;
  for (size_t n = 1; n < length; ++n, ++i) {
    if (i >= utf8.size() || byte(i) < low || byte(i) > high) {
      at = i;  // the maximal subpart so far is one replacement; the offending byte starts anew
      return kReplacementCharacter;
    }
    value = (value << 6) | (byte(i) & 0x3F);
    low = 0x80;
    high = 0xBF;
  }
  at = i;
  return value;
}

void AppendUtf8(std::string& out, char32_t c) {
  if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) c = kReplacementCharacter;
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

std::u16string Utf8ToUtf16(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  for (size_t at = 0; at < utf8.size();) {
    const char32_t c = NextCodePoint(utf8, at);
    if (c < 0x10000) {
      out += static_cast<char16_t>(c);
    } else {
      out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    }
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
  std::string out;
  out.reserve(utf16.size());
  for (size_t i = 0; i < utf16.size(); ++i) {
    const char16_t unit = utf16[i];
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 && utf16[i + 1] <= 0xDFFF) {
      AppendUtf8(out, 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (utf16[i + 1] - 0xDC00));
      ++i;
    } else {
      AppendUtf8(out, unit);  // an unpaired surrogate becomes U+FFFD there
    }
  }
  return out;
}

std::string SanitizeUtf8(std::string_view utf8) {
  if (IsValidUtf8(utf8)) return std::string(utf8);
  std::string out;
  out.reserve(utf8.size() + 8);
  for (size_t at = 0; at < utf8.size();) AppendUtf8(out, NextCodePoint(utf8, at));
  return out;
}

bool IsValidUtf8(std::string_view utf8) {
  for (size_t at = 0; at < utf8.size();) {
    const size_t start = at;
    if (NextCodePoint(utf8, at) == kReplacementCharacter &&
        utf8.substr(start, at - start) != std::string_view("\xEF\xBF\xBD"))
      return false;
  }
  return true;
}

}  // namespace qvr
