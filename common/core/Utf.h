// UTF-8 and UTF-16 conversions the whole suite can share, with no platform underneath, so that
// every platform replaces broken input the same way. Pure functions.
//
// Broken input never becomes another valid text by losing pieces: each maximal subpart of an
// ill-formed UTF-8 sequence (the Unicode Standard's recommended practice, chapter 3, "U+FFFD
// Substitution of Maximal Subparts") and each unpaired surrogate becomes one U+FFFD, and the
// conversion goes on after it.
#pragma once

#include <string>
#include <string_view>

namespace qvr {

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

// The same text with every ill-formed piece replaced: what a round trip through UTF-16 gives.
std::string SanitizeUtf8(std::string_view utf8);
bool IsValidUtf8(std::string_view utf8);

// One code point appended as UTF-8 (surrogates and values past U+10FFFF as U+FFFD).
void AppendUtf8(std::string& out, char32_t codePoint);

// The next code point of `utf8` at `at`, which moves past it; U+FFFD for a maximal subpart of an
// ill-formed sequence. `at` must be below utf8.size().
char32_t NextCodePoint(std::string_view utf8, size_t& at);

}  // namespace qvr
