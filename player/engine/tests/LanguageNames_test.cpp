#include "player/engine/core/LanguageNames.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

using namespace qvr::engine;

struct Lookup {
  const char* code;
  const char* name;
  uint32_t id;
};

TEST(LanguageNames, LooksUpNamesAndIdsByTheFirstEntryOfACode) {
  const Lookup cases[] = {
      {"ENG", "English", 0x09},
      {"ENG ", "Unknown (ENG )", 0},          // exact comparison: no trimming
      {"en", "Unknown (en)", 0},
      {"", "Unknown ()", 0},
      {"qqq", "Unknown (qqq)", 0},
      {"QqQ", "Unknown (QqQ)", 0},            // the caller's letter case is kept
      {"deu", "Unknown deu", 0},              // terminology codes have a placeholder name
      {"ger", "German", 0x07},
      {"Ger", "German", 0x07},
      {"CZE", "Czech", 0x05},                 // every upper-case letter folds, "Z" too
      {"AZE", "Azerbaijani", 0x2C},
      {"ZUL", "Zulu", 0x35},
      {"per", "Persian", 0},
      {"fas", "Unknown fas", 0},
      {"spa", "Castilian; Spanish", 0},       // alphabetically first of its name lines
      {"dut", "Dutch; Flemish", 0x13},
      {"nld", "Unknown nld", 0},
      {"rum", "Moldavian; Romanian; Moldovan", 0x18},
      {"scr", "Croatian", 0x1A},
      {"hrv", "Unknown hrv", 0},
      {"scc", "Serbian", 0x1A},
      {"srp", "Unknown srp", 0},
      {"jav", "Javanese", 0x11},
      {"gaa", "Ga", 0x56},
      {"peo", "Persian, Old (ca. 600-400 B.C.)", 0x29},
      {"grc", "Greek, Ancient (to 1453)", 0x08},
      {"gre", "Greek, Modern (1453-)", 0x08},
      {"vol", "Volap\xFCk", 0},                // code page 1252
      {"qaa-qtz", "Unknown (qaa-qtz)", 0},    // a range, not a code
  };
  for (const Lookup& c : cases) {
    SCOPED_TRACE(c.code);
    EXPECT_EQ(c.name, LanguageNameFromCode(c.code));
    EXPECT_EQ(c.id, LanguageIdFromCode(c.code));
  }
  EXPECT_EQ(std::string("Unknown (eng\0)", 14), LanguageNameFromCode(std::string("eng\0", 4)));
  EXPECT_EQ(0u, LanguageIdFromCode(std::string("eng\0", 4)));
}

TEST(LanguageNames, TableHoldsEveryNameLineAndTerminologyCodesRightAfterTheirLine) {
  const auto table = LanguageTable();
  int dutchLines = 0;
  for (size_t i = 0; i < table.size(); ++i) {
    const TLanguageEntry& e = table[i];
    SCOPED_TRACE(e.LanguageName);
    ASSERT_EQ(3u, std::strlen(e.Code));
    for (int k = 0; k < 3; ++k) EXPECT_TRUE(e.Code[k] >= 'a' && e.Code[k] <= 'z');
    if (std::strncmp(e.LanguageName, "Unknown ", 8) == 0) {
      EXPECT_STREQ(e.Code, e.LanguageName + 8);
      ASSERT_GT(i, 0u);
      EXPECT_STRNE("Unknown ", std::string(table[i - 1].LanguageName).substr(0, 8).c_str());
    }
    if (std::strcmp(e.Code, "dut") == 0) {
      ++dutchLines;
      ASSERT_LT(i + 1, table.size());
      EXPECT_STREQ("nld", table[i + 1].Code);
    }
  }
  EXPECT_EQ(2, dutchLines);  // "Dutch; Flemish" and "Flemish; Dutch"
}

}  // namespace
