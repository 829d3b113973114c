#include "player/app/core/UpdateRules.h"

#include <gtest/gtest.h>

namespace {

using namespace qvr::app;

TEST(UpdateRules, AnswerNamesTheInstallerAfterTheFirstColon) {
  const std::string answer = TrimAnswer(" \r\n1:http://127.0.0.1:8080/dl/setup.exe\r\n\t ");
  EXPECT_EQ("1:http://127.0.0.1:8080/dl/setup.exe", answer);
  EXPECT_EQ("http://127.0.0.1:8080/dl/setup.exe", DownloadUrlOf(answer));
  EXPECT_EQ("setup.exe", FileNameOf(DownloadUrlOf(answer)));
  // A bare URL loses its scheme: what remains starts with "//" and cannot be opened.
  EXPECT_EQ("//host/setup.exe", DownloadUrlOf("http://host/setup.exe"));
  EXPECT_EQ("plain", DownloadUrlOf("plain"));
  EXPECT_EQ("a.exe", FileNameOf("C:\\dir/x:a.exe"));
  EXPECT_EQ("", FileNameOf("http://host/"));
  EXPECT_EQ("", TrimAnswer(" \r\n\r\n \t"));
}

TEST(UpdateRules, EachChunkCountsUpToItsFirstZero) {
  std::string answer;
  AppendAnswerChunk(answer, "1:ab\0junk", 9);
  AppendAnswerChunk(answer, "cd", 2);
  AppendAnswerChunk(answer, "\0xyz", 4);
  AppendAnswerChunk(answer, nullptr, 5);
  EXPECT_EQ("1:abcd", answer);
}

TEST(UpdateRules, UrlSplitsIntoHostPortAndObject) {
  const auto target = SplitHttpUrl(UpdateUrl());
  ASSERT_TRUE(target);
  EXPECT_EQ(kUpdateHost, target->Host);
  EXPECT_EQ(80, target->Port);
  EXPECT_EQ("/update/check.php?id=107", target->Object);
  EXPECT_EQ("Host: update.qvrsuite.com\r\nKeep-Alive: 300\r\n\r\n", AnswerRequestHeaders(target->Host));
  const auto loopback = SplitHttpUrl("http://127.0.0.1:49152");
  ASSERT_TRUE(loopback);
  EXPECT_EQ("127.0.0.1:49152", loopback->Host);
  EXPECT_EQ("127.0.0.1", loopback->HostName);
  EXPECT_EQ(49152, loopback->Port);
  EXPECT_EQ("/", loopback->Object);
  EXPECT_FALSE(SplitHttpUrl("http:///x"));
  EXPECT_FALSE(SplitHttpUrl("http://h:0/x"));
  EXPECT_FALSE(SplitHttpUrl("http://h:99999/x"));
  EXPECT_FALSE(SplitHttpUrl("http://h:8o/x"));
  EXPECT_EQ("http://www.qvrsuite.com/qvr-suite/to/s/soft_bug/", ReportBugUrl());
  EXPECT_EQ("http://www.qvrsuite.com/qvr-suite/to/s/soft_suggestion/", SuggestionUrl());
}

TEST(UpdateRules, OnlyAWholeBodyCountsAsDownloaded) {
  EXPECT_TRUE(DownloadComplete({200, 10, 10, true, false}));
  EXPECT_TRUE(DownloadComplete({200, std::nullopt, 7, true, false}));
  EXPECT_FALSE(DownloadComplete({200, 10, 9, true, false}));   // closed early
  EXPECT_FALSE(DownloadComplete({200, 10, 11, true, false}));  // more than announced
  EXPECT_FALSE(DownloadComplete({404, std::nullopt, 7, true, false}));
  EXPECT_FALSE(DownloadComplete({200, std::nullopt, 7, false, false}));  // a read failed
  EXPECT_FALSE(DownloadComplete({200, 7, 7, true, true}));               // the disk refused
  EXPECT_EQ(18446744073709551615u, ParseContentLength("18446744073709551615"));
  EXPECT_FALSE(ParseContentLength("18446744073709551616"));
  EXPECT_FALSE(ParseContentLength(""));
  EXPECT_FALSE(ParseContentLength("-1"));
}

}  // namespace
