// Form layouts: the parser's rules and errors, every shipped layout, and the anchor arithmetic.
#include "player/ui/core/FormLayout.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

using namespace qvr::ui;

TEST(FormLayout, ParsesDeclarationsAttributesAndQuotes) {
  const std::string text =
      "\xEF\xBB\xBF; comment\r\n"
      "form frmTest 570 376 caption=\"QVR Player\" font=Tahoma\r\n"
      "\r\n"
      "pTop skinpanel frmTest 2 2 566 33 left,top,right color=108,120,129\r\n"
      "  # indented comment\n"
      "btnPlay skinbutton pTop -4 29 56 23 none hint=\"Play/\\\"Pause\\\" \\\\ \xD0\x96\"\n"
      "trVolume tracker frmTest 439 32 63 12 bottom\n";
  TFormLayout layout;
  std::string error;
  ASSERT_TRUE(ParseFormLayout(text, layout, error)) << error;
  EXPECT_EQ("frmTest", layout.Name);
  EXPECT_EQ((TSize{570, 376}), layout.Size);
  ASSERT_NE(nullptr, FindAttribute(layout.Attributes, "caption"));
  EXPECT_EQ("QVR Player", *FindAttribute(layout.Attributes, "caption"));
  ASSERT_EQ(3u, layout.Components.size());
  const TLayoutEntry& top = layout.Components[0];
  EXPECT_EQ("pTop", top.Name);
  EXPECT_EQ("skinpanel", top.Kind);
  EXPECT_EQ((TRect{2, 2, 568, 35}), top.Bounds);
  EXPECT_EQ(akLeft | akTop | akRight, top.Anchors);
  EXPECT_EQ(4, top.Line);
  const TLayoutEntry& play = layout.Components[1];
  EXPECT_EQ("pTop", play.Parent);
  EXPECT_EQ((TRect{-4, 29, 52, 52}), play.Bounds);
  EXPECT_EQ(0u, play.Anchors);
  EXPECT_EQ("Play/\"Pause\" \\ \xD0\x96", *FindAttribute(play.Attributes, "hint"));
  EXPECT_EQ(unsigned{akBottom}, layout.Components[2].Anchors);
  EXPECT_EQ(nullptr, FindAttribute(play.Attributes, "caption"));
}

TEST(FormLayout, RefusesBrokenLayoutsWithTheLine) {
  const struct {
    const char* text;
    const char* error;
  } cases[] = {
      {"", "line 0: no form declaration"},
      {"frm 1 2\n", "line 1: expected: form NAME WIDTH HEIGHT"},
      {"form f 0 10\n", "line 1: bad form size"},
      {"form f 10 10\na skinpanel g 0 0 1 1 none\n", "line 2: unknown parent 'g'"},
      {"form f 10 10\na skinpanel a 0 0 1 1 none\n", "line 2: unknown parent 'a'"},
      {"form f 10 10\nb skinpanel f 0 0 1 1 none\na skinpanel b 0 0 1 1 none\n", nullptr},
      {"form f 10 10\na skinpanel f 0 0 1 1 none\na static f 0 0 1 1 none\n", "line 3: duplicate name 'a'"},
      {"form f 10 10\na skinpanel f 0 0 1 1 up\n", "line 2: bad anchors 'up'"},
      {"form f 10 10\na skinpanel f 0 0 1 1 left,\n", "line 2: bad anchors 'left,'"},
      {"form f 10 10\na skinpanel f 0 0 -1 1 none\n", "line 2: bad bounds"},
      {"form f 10 10\na skinpanel f 0 0 1 99999 none\n", "line 2: bad bounds"},
      {"form f 10 10\na skinpanel f 0 0 1 1x none\n", "line 2: bad bounds"},
      {"form f 10 10\na skinpanel f 0 0 1 1 none caption=\"open\n", "line 2: unterminated quoted value"},
      {"form f 10 10\na skinpanel f 0 0 1 1 none =x\n", "line 2: bad attribute '=x'"},
      {"form f 10 10\na skinpanel f 0 0 1\n", "line 2: expected: NAME KIND PARENT LEFT TOP WIDTH HEIGHT ANCHORS"},
  };
  for (const auto& c : cases) {
    TFormLayout layout;
    std::string error;
    EXPECT_EQ(c.error == nullptr, ParseFormLayout(c.text, layout, error)) << c.text;
    if (c.error) {
      EXPECT_EQ(c.error, error) << c.text;
    }
  }
}

TEST(FormLayout, ValueParsers) {
  EXPECT_EQ(Rgb(108, 120, 129), ParseColorValue("108,120,129"));
  for (const char* bad : {"108,120", "1,2,3,4", "256,0,0", "a,b,c", "1,,2", ""}) EXPECT_FALSE(ParseColorValue(bad)) << bad;
  EXPECT_EQ(-11, ParseIntValue("-11"));
  EXPECT_FALSE(ParseIntValue("11px"));
  EXPECT_FALSE(ParseIntValue("99999999999"));
  EXPECT_EQ((TSize{10, 12}), ParseSizeValue("10x12"));
  EXPECT_FALSE(ParseSizeValue("10x"));
}

TEST(FormLayout, EveryShippedLayoutParses) {
  int layouts = 0;
  for (const auto& file : std::filesystem::directory_iterator(QVR_FORMS_DIR)) {
    if (file.path().extension() != ".form") continue;
    std::ifstream in(file.path(), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    TFormLayout layout;
    std::string error;
    EXPECT_TRUE(ParseFormLayout(text.str(), layout, error)) << file.path() << ": " << error;
    EXPECT_FALSE(layout.Components.empty()) << file.path();
    ++layouts;
  }
  EXPECT_GE(layouts, 2);
}

TEST(FormLayout, AnchorsKeepEdgesMoveOrCentre) {
  const TRect design{10, 20, 110, 70};  // 100 x 50 in a 200 x 100 parent
  const TSize from{200, 100}, to{300, 160};
  EXPECT_EQ(design, AnchoredBounds(design, from, to, akLeft | akTop));
  EXPECT_EQ((TRect{10, 20, 210, 130}), AnchoredBounds(design, from, to, akLeft | akTop | akRight | akBottom));
  EXPECT_EQ((TRect{110, 80, 210, 130}), AnchoredBounds(design, from, to, akRight | akBottom));
  // Neither edge: the centre (60, 45) keeps its proportion (90, 72).
  EXPECT_EQ((TRect{40, 47, 140, 97}), AnchoredBounds(design, from, to, 0));
  // Stretching never turns inside out.
  EXPECT_EQ((TRect{10, 20, 10, 20}), AnchoredBounds(design, from, {50, 10}, akLeft | akTop | akRight | akBottom));
  // A parent without a design size leaves unanchored controls alone.
  EXPECT_EQ(design, AnchoredBounds(design, {0, 0}, to, 0));
}

}  // namespace
