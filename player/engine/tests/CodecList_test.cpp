#include "player/engine/core/CodecList.h"

#include <gtest/gtest.h>

namespace {

using namespace qvr::engine;

TEST(CodecList, SplitsLinesAtCrLfLfAndCrAndDropsEmptyOnes) {
  const auto lines = SplitTextLines("a=1\r\nb=2\n\r\nc=3\rd=4");
  ASSERT_EQ(4u, lines.size());
  EXPECT_EQ("a=1", lines[0]);
  EXPECT_EQ("b=2", lines[1]);
  EXPECT_EQ("c=3", lines[2]);
  EXPECT_EQ("d=4", lines[3]);
  EXPECT_TRUE(SplitTextLines("").empty());
  EXPECT_TRUE(SplitTextLines("\r\n\r\n").empty());
}

TEST(CodecList, SplitsNameAndValueAtTheFirstEquals) {
  EXPECT_EQ(std::make_pair(std::string_view("{A}"), std::string_view("x=y")), SplitNameValue("{A}=x=y"));
  EXPECT_EQ(std::make_pair(std::string_view("alone"), std::string_view("")), SplitNameValue("alone"));
  EXPECT_EQ(std::make_pair(std::string_view(""), std::string_view("v")), SplitNameValue("=v"));
}

TEST(CodecList, ParsesNameAndModuleFields) {
  const auto entries = ParseCodecList(
      "{171252A0-8820-4AFE-9DF8-5C92B2D66B04}=LAV Splitter;LAV\\LAVSplitter.ax\r\n"
      "{X}=Both.ax\r\n"
      "{Y}=Name;Path.ax;extra\r\n");
  ASSERT_EQ(3u, entries.size());
  EXPECT_EQ("{171252A0-8820-4AFE-9DF8-5C92B2D66B04}", entries[0].ClsidText);
  EXPECT_EQ("LAV Splitter", entries[0].Name);
  EXPECT_EQ("LAV\\LAVSplitter.ax", entries[0].ModulePath);
  EXPECT_EQ("Both.ax", entries[1].Name);  // no ";": the value is name and path
  EXPECT_EQ("Both.ax", entries[1].ModulePath);
  EXPECT_EQ("Name", entries[2].Name);
  EXPECT_EQ("Path.ax", entries[2].ModulePath);
}

TEST(CodecList, BlacklistKeepsTheWholeValueAsName) {
  const auto entries = ParseBlacklist("{9852A670-F845-491B-9BE6-EBD841B8A613}=DirectVobSub (auto-loading version)\r\n{B}=a;b=c");
  ASSERT_EQ(2u, entries.size());
  EXPECT_EQ("DirectVobSub (auto-loading version)", entries[0].Name);
  EXPECT_EQ("{B}", entries[1].ClsidText);
  EXPECT_EQ("a;b=c", entries[1].Name);
}

}  // namespace
