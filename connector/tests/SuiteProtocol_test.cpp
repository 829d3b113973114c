#include "connector/core/SuiteProtocol.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

using namespace qvr::connector;

TEST(SuiteProtocol, OrdinaryUrlsAreSentUnchanged) {
  EXPECT_EQ(u"url {}", UrlCommand(u""));
  EXPECT_EQ(u"url {http://example.com/watch?v=a1&t=30s#top}", UrlCommand(u"http://example.com/watch?v=a1&t=30s#top"));
  EXPECT_EQ(u"url {http://x/a%7Bb%7D;c d[e]$f\"g}", UrlCommand(u"http://x/a%7Bb%7D;c d[e]$f\"g"));
  EXPECT_EQ(u"url {http://x/\u00e9\u0416}", UrlCommand(u"http://x/\u00e9\u0416"));
}

TEST(SuiteProtocol, HostileUrlsStayOneLiteralBracedWord) {
  EXPECT_EQ(u"url {http://x/%7D; exec calc.exe; %7B}", UrlCommand(u"http://x/}; exec calc.exe; {"));
  EXPECT_EQ(u"url {a%5C%7Db%5C%5C%5C}", UrlCommand(u"a\\}b\\\\\\"));
  for (const std::u16string url : {u"}", u"{", u"\\", u"}}}{{", u"x\\\nexit\n", u"\\u007d", u"%7D}\\{"}) {
    const std::u16string command = UrlCommand(url);
    // The only braces are the word's own and no backslash can escape or continue anything.
    EXPECT_EQ(1, std::count(command.begin(), command.end(), u'{'));
    EXPECT_EQ(1, std::count(command.begin(), command.end(), u'}'));
    EXPECT_EQ(0, std::count(command.begin(), command.end(), u'\\'));
    EXPECT_EQ(u"url {", command.substr(0, 5));
    EXPECT_EQ(u'}', command.back());
  }
}

TEST(SuiteProtocol, SingleByteTextStopsAtTheFirstUnitAbove255) {
  EXPECT_EQ("abc", ToSingleByteText(u"abc"));
  EXPECT_EQ("", ToSingleByteText(u""));
  EXPECT_EQ(std::string("ab\xE9\xFF"), ToSingleByteText(u"ab\u00e9\u00ff"));
  EXPECT_EQ("ab", ToSingleByteText(u"ab\u0416cd"));
  EXPECT_EQ("", ToSingleByteText(u"\u0100abc"));
  EXPECT_EQ("a", ToSingleByteText(u"a\U0001F600b"));  // a surrogate pair ends it too
}

TEST(SuiteProtocol, CopyDataTextEndsAtNulOrAtTheBytesThatArrived) {
  EXPECT_EQ("50", CopyDataText("50\0", 3));
  EXPECT_EQ("ab", CopyDataText("ab\0cd", 5));
  EXPECT_EQ("abc", CopyDataText("abcdef", 3));  // no NUL: nothing beyond the message is read
  EXPECT_EQ("", CopyDataText("abc", 0));
  EXPECT_EQ("", CopyDataText(nullptr, 0));
  EXPECT_EQ("", CopyDataText(nullptr, 10));
  EXPECT_EQ(u"50 \u00e9\u0080\u00ff", WidenSingleByteText("50 \xE9\x80\xFF"));
}

TEST(SuiteProtocol, ExecuteTextIsUtf16UpToNulWithinTheData) {
  const unsigned char on[] = {'x', 'o', 0, 'n', 0, 0, 0, 'z', 0};
  EXPECT_EQ(u"on", ExecuteText(on + 1, 6));  // unaligned on purpose
  EXPECT_EQ(u"on", ExecuteText(on + 1, 4));  // no NUL within the data
  EXPECT_EQ(u"o", ExecuteText(on + 1, 3));   // an odd last byte is no code unit
  EXPECT_EQ(u"", ExecuteText(on + 1, 0));
  EXPECT_EQ(u"", ExecuteText(nullptr, 8));
  const unsigned char latin[] = {0xE9, 0x00, 0x16, 0x04};
  EXPECT_EQ(u"\u00e9\u0416", ExecuteText(latin, sizeof(latin)));
}

TEST(SuiteProtocol, InputMessageCodesSelectTheirTopics) {
  EXPECT_STREQ("QVR.Toolbar.QVR-Input-Message-Download-Start", InputMessageTopic(701));
  EXPECT_STREQ("QVR.Toolbar.QVR-Input-Message-Download-Progress", InputMessageTopic(702));
  EXPECT_STREQ("QVR.Toolbar.QVR-Input-Message-Download-Pause", InputMessageTopic(703));
  EXPECT_STREQ("QVR.Toolbar.QVR-Input-Message-Download-Success", InputMessageTopic(704));
  EXPECT_STREQ("QVR.Toolbar.QVR-Input-Message-Download-Failed", InputMessageTopic(705));
  EXPECT_STREQ("QVR.Toolbar.QVR-Input-Message-Debug", InputMessageTopic(777));
  for (const uintptr_t code : {0u, 100u, 700u, 706u, 776u, 778u, 0x10000u + 702u})
    EXPECT_EQ(nullptr, InputMessageTopic(code)) << code;
}

}  // namespace
