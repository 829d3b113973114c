#include "common/core/Utf.h"

#include <gtest/gtest.h>

#include <string>

#include "common/core/CodePage.h"

namespace {

using namespace qvr;

const std::string R = "\xEF\xBF\xBD";  // U+FFFD in UTF-8

TEST(Utf, RoundTripsEveryPlaneAndPairsAstralCharacters) {
  const std::string text = "a\xC3\xA9\xD0\x96\xE6\xB5\x8B\xF0\x9F\x8E\xB5\xF4\x8F\xBF\xBF";  // a é Ж 测 🎵 U+10FFFF
  const std::u16string wide = Utf8ToUtf16(text);
  EXPECT_EQ((std::u16string{u'a', 0xE9, 0x416, 0x6D4B, 0xD83C, 0xDFB5, 0xDBFF, 0xDFFF}), wide);
  EXPECT_EQ(text, Utf16ToUtf8(wide));
  EXPECT_TRUE(IsValidUtf8(text));
  EXPECT_TRUE(IsValidUtf8(R));  // U+FFFD written by someone is a character, not an error
  EXPECT_EQ(std::string("a\0b", 3), Utf16ToUtf8(std::u16string(u"a\0b", 3)));  // no truncation at NUL
}

struct TBrokenCase {
  const char* name;
  std::string in;
  std::string out;  // after SanitizeUtf8, what Utf8ToUtf16 means too
};

// One U+FFFD per maximal subpart (Unicode Standard, table 3-8), and the text around it kept.
TEST(Utf, ReplacesEachMaximalSubpartOfBrokenUtf8) {
  const TBrokenCase cases[] = {
      {"lone continuation", "a\x80z", "a" + R + "z"},
      {"two continuations", "\x80\xBF", R + R},
      {"lead never used", "\xC0\xAF\xF5\x80", R + R + R + R},
      {"overlong 3-byte", "\xE0\x80\xAF", R + R + R},
      {"encoded surrogate", "\xED\xA0\x80", R + R + R},
      {"past U+10FFFF", "\xF4\x90\x80\x80", R + R + R + R},
      {"truncated 3-byte at end", "ab\xE6\xB5", "ab" + R},
      {"truncated 4-byte then ASCII", "\xF0\x9F\x8E.wav", R + ".wav"},
      {"truncated then new lead", "\xE6\xB5\xE6\xB5\x8B", R + "\xE6\xB5\x8B"},
      {"table 3-8 example", "\x61\xF1\x80\x80\xE1\x80\xC2\x62\x80\x63\x80\xBF\x64",
       "a" + R + R + R + "b" + R + "c" + R + R + "d"},
      {"Latin-1 bytes", "caf\xE9.mp3", "caf" + R + ".mp3"},
  };
  for (const TBrokenCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_FALSE(IsValidUtf8(c.in));
    EXPECT_EQ(c.out, SanitizeUtf8(c.in));
    EXPECT_EQ(c.out, Utf16ToUtf8(Utf8ToUtf16(c.in)));
  }
}

TEST(Utf, ReplacesUnpairedSurrogates) {
  EXPECT_EQ("a" + R + "b", Utf16ToUtf8(u"a\xD83C" u"b"));           // high without low
  EXPECT_EQ("a" + R + "b", Utf16ToUtf8(u"a\xDFB5" u"b"));           // low without high
  EXPECT_EQ("a" + R, Utf16ToUtf8(u"a\xD83C"));                        // high at the end
  EXPECT_EQ(R + R, Utf16ToUtf8(u"\xDFB5\xD83C"));                     // the wrong order
  EXPECT_EQ(R + "\xF0\x9F\x8E\xB5", Utf16ToUtf8(u"\xD83C\xD83C\xDFB5"));  // the second pair still counts
}

TEST(Latin1CodePage, ConvertsOnlyWhatFits) {
  const TLatin1CodePage latin1;
  EXPECT_EQ("caf\xC3\xA9 \xC2\x80\xC3\xBF", latin1.ToUtf8("caf\xE9 \x80\xFF"));
  std::string bytes;
  EXPECT_TRUE(latin1.FromUtf8("caf\xC3\xA9\xC3\xBF", bytes));
  EXPECT_EQ("caf\xE9\xFF", bytes);
  EXPECT_FALSE(latin1.FromUtf8("\xD0\x96", bytes));          // Ж
  EXPECT_FALSE(latin1.FromUtf8("\xC4\x81", bytes));          // ā: no look-alike
  EXPECT_FALSE(latin1.FromUtf8("caf\xE9", bytes));           // not UTF-8 at all
  EXPECT_FALSE(latin1.FromUtf8(R, bytes));
}

}  // namespace
