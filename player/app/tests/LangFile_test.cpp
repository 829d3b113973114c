// Language files: the INI lookup rules, the encodings, the locale rule and the folder scan.
#include "player/app/core/LangFile.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace {

using qvr::app::TLangFile;

const qvr::TLatin1CodePage kLatin1;

TLangFile Parse(std::string_view text) { return TLangFile::Parse(text, kLatin1); }

TEST(LangFile, LooksUpAsThePlatformsIniFunctions) {
  const TLangFile file = Parse(
      "; comment before any section\r\n"
      "orphan=lost\r\n"
      "[frmQVRPlayer]\r\n"
      "  btnPlay.Hint  =  Play now  \r\n"
      "miExit.Caption=\"  Quit  \"\r\n"
      "miOpen.Caption='x'\r\n"
      "half.Caption=\"x'\r\n"
      "empty.Caption=\r\n"
      "noequals\n"
      "[FRMQVRPLAYER]\n"
      "late.Caption=never read\n"
      "[Other]\n"
      "btnPlay.Hint=other\n");
  EXPECT_EQ("Play now", file.Value("frmqvrplayer", "BTNPLAY.HINT").value_or("?"));
  EXPECT_EQ("  Quit  ", file.Value("frmQVRPlayer", "miExit.Caption").value_or("?"));
  EXPECT_EQ("x", file.Value("frmQVRPlayer", "miOpen.Caption").value_or("?"));
  EXPECT_EQ("\"x'", file.Value("frmQVRPlayer", "half.Caption").value_or("?"));
  EXPECT_EQ("", file.Value("frmQVRPlayer", "empty.Caption").value_or("?"));
  EXPECT_EQ("", file.Value("frmQVRPlayer", "noequals").value_or("?"));
  // The first section of a name is the one read; absent sections and keys give nothing.
  EXPECT_FALSE(file.Value("frmQVRPlayer", "late.Caption"));
  EXPECT_FALSE(file.Value("frmQVRPlayer", "missing.Caption"));
  EXPECT_FALSE(file.Value("Missing", "btnPlay.Hint"));
  EXPECT_FALSE(file.Value("", "orphan"));
  EXPECT_EQ("other", file.Value("Other", "btnPlay.Hint").value_or("?"));
  EXPECT_FALSE(TLangFile().Value("Other", "btnPlay.Hint"));
}

TEST(LangFile, ItemKeysAndTheLengthLimit) {
  EXPECT_EQ("lbInput.Item[0]", qvr::app::ItemKey("lbInput", 0));
  EXPECT_EQ("SOURCESTRING.Item[12]", qvr::app::ItemKey("SOURCESTRING", 12));
  const std::string ascii(3000, 'a');
  std::string cyrillic;
  for (int i = 0; i < 2100; ++i) cyrillic += "\xD0\x96";  // U+0416
  const TLangFile file = TLangFile::Parse("\xEF\xBB\xBF[f]\nSOURCESTRING.item[12]=" + ascii + "\nk=" + cyrillic + "\n", kLatin1);
  EXPECT_EQ(std::string(2047, 'a'), file.Value("f", qvr::app::ItemKey("SOURCESTRING", 12)).value_or(""));
  // The limit counts characters, never cutting one in half.
  EXPECT_EQ(cyrillic.substr(0, 2047 * 2), file.Value("f", "k").value_or(""));
  EXPECT_EQ(std::string(2047, 'a'), Parse("[f]\nk=" + std::string(2047, 'a') + "\n").Value("f", "k").value_or(""));
}

TEST(LangFile, ByteOrderMarksChooseTheEncoding) {
  // Without a mark: the system code page (Latin-1 here), byte for byte.
  EXPECT_EQ("caf\xC3\xA9", Parse("[f]\nk=caf\xE9\n").Value("f", "k").value_or(""));
  EXPECT_EQ("\xC3\x90\xC2\x96", Parse("[f]\nk=\xD0\x96\n").Value("f", "k").value_or(""));
  // UTF-8 with its mark: read as written; broken sequences become U+FFFD.
  const TLangFile utf8 = Parse("\xEF\xBB\xBF[f]\nk=\xD0\x9F\xD0\xBB\xD0\xB5\xD0\xB5\xD1\x80\nbad=\xD0\n");
  EXPECT_EQ("\xD0\x9F\xD0\xBB\xD0\xB5\xD0\xB5\xD1\x80", utf8.Value("f", "k").value_or(""));
  EXPECT_EQ("\xEF\xBF\xBD", utf8.Value("f", "bad").value_or(""));
  // A mark that only starts a line later is text of that line.
  EXPECT_FALSE(Parse("\n\xEF\xBB\xBF[f]\nk=v\n").Value("f", "k"));
  // UTF-16LE with its mark, as the platform reads it too.
  const std::u16string wide = u"[f]\r\nk=\u041F\r\n";
  std::string bytes = "\xFF\xFE";
  for (const char16_t c : wide) bytes += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
  EXPECT_EQ("\xD0\x9F", Parse(bytes).Value("f", "k").value_or(""));
}

TEST(LangFile, LanguageIdentifiers) {
  const TLangFile file = Parse("[Common]\nLanguage=1049\n[a]\nLanguage= 1033x\n[b]\nLanguage=ru\n[c]\nLanguage=-\n");
  EXPECT_EQ(1049, file.IntValue("common", "language"));
  EXPECT_EQ(0x19, qvr::app::PrimaryLanguageOf(1049));
  EXPECT_EQ(1, qvr::app::SubLanguageOf(1049));
  EXPECT_EQ(1033, file.IntValue("a", "Language"));
  EXPECT_EQ(0, file.IntValue("b", "Language"));
  EXPECT_EQ(0, file.IntValue("c", "Language"));
  EXPECT_EQ(0, file.IntValue("Missing", "Language"));
}

TEST(LangFile, RussianAndUkrainianUsersGetRussian) {
  EXPECT_EQ("russian", qvr::app::LanguageForLocale("RUS"));
  EXPECT_EQ("russian", qvr::app::LanguageForLocale("ukr"));
  EXPECT_EQ("russian", qvr::app::LanguageForLocale("Ukr"));
  EXPECT_EQ("english", qvr::app::LanguageForLocale("ENU"));
  EXPECT_EQ("english", qvr::app::LanguageForLocale("BEL"));
  EXPECT_EQ("english", qvr::app::LanguageForLocale(""));
  EXPECT_EQ("english", qvr::app::LanguageForLocale("russian"));
}

// Folders and their listings as given; only what the scan asks for.
class FakeFileSystem : public qvr::ui::IFileSystem {
 public:
  std::set<std::string> folders;
  std::map<std::string, std::vector<qvr::ui::TFolderEntry>> listings;
  bool FileExists(const std::string&) override { return false; }
  bool DirectoryExists(const std::string& path) override { return folders.count(path) != 0; }
  std::vector<qvr::ui::TFolderEntry> ListFolder(const std::string& folder) override { return listings[folder]; }
  std::error_code RemoveFile(const std::string&) override { return {}; }
  std::error_code ReadWholeFile(const std::string&, std::string&) override { return std::make_error_code(std::errc::io_error); }
  std::error_code WriteFileAtomically(const std::string&, std::string_view) override { return {}; }
  std::string JoinPath(std::string_view folder, std::string_view name) const override {
    return std::string(folder) + std::string(name);
  }
  std::string PathKey(std::string_view path) const override { return std::string(path); }
  const qvr::ITextCodePage& SystemCodePage() const override { return kLatin1; }
};

TEST(LangFile, TheStartupFolderIsScannedInDirectoryOrder) {
  FakeFileSystem files;
  EXPECT_EQ("", qvr::app::LanguageListFolder(nullptr, files));
  EXPECT_EQ("", qvr::app::LanguageListFolder("", files));
  EXPECT_EQ("", qvr::app::LanguageListFolder("C:\\Suite", files));  // no such folder
  files.folders.insert("C:\\Suite\\languages\\");
  const std::string folder = qvr::app::LanguageListFolder("C:\\Suite", files);
  EXPECT_EQ("C:\\Suite\\languages\\", folder);
  files.listings[folder] = {{".", true},          {"russian.lng", false}, {"notes.txt", false}, {"old.lng", true},
                            {"ENGLISH.LNG", false}, {".lng", false},       {"x.lngx", false},   {"german.lng", false}};
  EXPECT_EQ((std::vector<std::string>{"russian.lng", "ENGLISH.LNG", "german.lng"}), qvr::app::LanguageFilesIn(folder, files));
  EXPECT_TRUE(qvr::app::LanguageFilesIn("", files).empty());
}

}  // namespace
