#include "player/audio/core/MWStreamNames.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <optional>

#include "player/resources/core/MediaWriter.h"

namespace {

using namespace qvr::audio;

// A stand-in for the system's locale names.
std::wstring FakeLanguageName(uint32_t lcid) {
  switch (lcid) {
    case 0x0407: return L"German (Germany)";
    case 0x0409: return L"English (United States)";
    case 0x09: return L"English";
    case 0x0C: return L"French";
    default: return L"";
  }
}

TEST(StreamNames, LocaleNamesLoseTheirQualifier) {
  EXPECT_EQ(L"German", StripLanguageQualifier(L"German (Germany)"));
  EXPECT_EQ(L"English", StripLanguageQualifier(L"English"));
  EXPECT_EQ(L"Norwegia", StripLanguageQualifier(L"Norwegian(Bokmal)"));  // the character before "(" goes too
  EXPECT_EQ(L"", StripLanguageQualifier(L"(none)"));
  EXPECT_EQ(L"", StripLanguageQualifier(L""));
}

TEST(StreamNames, PinNamesFallBackToTheTrackNumber) {
  const std::vector<TMWStreamName> entries = {{0x409, L"English"}, {0, L""}, {0, std::wstring(300, L'x')}};
  EXPECT_EQ(L"English", PinNameFor(0, entries));
  EXPECT_EQ(L"Audio Track 2", PinNameFor(1, entries));
  EXPECT_EQ(std::wstring(127, L'x'), PinNameFor(2, entries));
  EXPECT_EQ(L"Audio Track 4", PinNameFor(3, entries));
  EXPECT_EQ(L"Audio Track 1", DefaultTrackName(0));
}

TEST(StreamNames, ValuesAreHexadecimalLcidsOrNames) {
  struct Case {
    const wchar_t* Value;
    bool IsLcid;
    uint32_t Lcid;
  } const cases[] = {{L"0x0409", true, 0x409}, {L"0X1a", true, 0x1A},   {L"0x7", true, 7},
                     {L"0x00000407", true, 0x407}, {L"0x", false, 0},   {L"0xZZ", false, 0},
                     {L"English", false, 0},       {L"x0409", false, 0}, {L"0x123456789", false, 0}};
  for (const auto& c : cases) {
    const TMWStreamValue parsed = ParseStreamValue(c.Value);
    EXPECT_EQ(c.IsLcid, parsed.IsLcid) << c.Value;
    EXPECT_EQ(c.Lcid, parsed.Lcid) << c.Value;
    if (!c.IsLcid) {
      EXPECT_EQ(c.Value, parsed.Name);
    }
  }
}

TEST(StreamNames, BagValuesSkipUnreadableOnesAndStopAtTheFirstEmpty) {
  const std::array<std::optional<std::wstring>, 6> values = {std::wstring(L"0x00000407"), std::nullopt, std::wstring(L"Director"),
                                                             std::wstring(L"0x09"), std::wstring(L""), std::wstring(L"late")};
  TMWStreamNames names;
  AddStreamValues(values, 2, 0x09, FakeLanguageName, names);
  ASSERT_EQ(3u, names.Entries.size());
  EXPECT_EQ(0x407u, names.Entries[0].Lcid);
  EXPECT_EQ(L"German", names.Entries[0].Name);
  EXPECT_EQ(0u, names.Entries[1].Lcid);
  EXPECT_EQ(L"Director", names.Entries[1].Name);
  EXPECT_EQ(L"English", names.Entries[2].Name);
  EXPECT_EQ(1, names.DefaultStream);  // ICAS 2, 1-based

  // Without a default number, the streams in the thread's language: the last one wins.
  const std::array<std::optional<std::wstring>, 3> local = {std::wstring(L"0x09"), std::wstring(L"0x0C"), std::wstring(L"0x09")};
  TMWStreamNames more;
  AddStreamValues(local, 0, 0x09, FakeLanguageName, more);
  EXPECT_EQ(2, more.DefaultStream);
  TMWStreamNames none;
  AddStreamValues(local, 0, 0x07, FakeLanguageName, none);
  EXPECT_EQ(-1, none.DefaultStream);
}

TEST(StreamNames, StreamSelectAndTrackEntries) {
  EXPECT_EQ(L"English", SelectStreamEntry(0x409, L"ignored", FakeLanguageName).Name);
  EXPECT_EQ(L"Deutsch", SelectStreamEntry(0, L"Ton: Deutsch", FakeLanguageName).Name);
  EXPECT_EQ(L"Commentary", SelectStreamEntry(0, L"Commentary", FakeLanguageName).Name);
  EXPECT_EQ(L"Unknown Language", SelectStreamEntry(0, L"", FakeLanguageName).Name);

  const TMWStreamName english = TrackEntry("eng", L"", FakeLanguageName);
  EXPECT_EQ(0x09u, english.Lcid);
  EXPECT_EQ(L"English", english.Name);
  const TMWStreamName unknown = TrackEntry("qqq", L"Director", FakeLanguageName);
  EXPECT_EQ(0u, unknown.Lcid);
  EXPECT_EQ(L"Unknown (qqq) [Director]", unknown.Name);
  EXPECT_EQ(L"Unknown deu", TrackEntry("deu", L"", FakeLanguageName).Name);
  EXPECT_EQ(L"Castilian; Spanish", TrackEntry("spa", L"", FakeLanguageName).Name);
  EXPECT_EQ(L"Volap\u00FCk", TrackEntry("vol", L"", FakeLanguageName).Name);  // from code page 1252

  TMWStreamNames names;
  names.Add(1, std::wstring(2000, L'a'));
  EXPECT_EQ(kMaxStreamNameLength, names.Entries[0].Name.size());
}

TEST(StreamNames, SideFilesReadLikeIniFiles) {
  struct Case {
    const char* Name;
    const char* Text;
    int Default;
    std::vector<std::string> Values;
  } const cases[] = {
      {"plain", "[MSS]\nAudio_def=2\nAudio_1=English\nAudio_2=0x0407\n", 2, {"English", "0x0407"}},
      {"case, blanks, quotes, CRLF", "\xEF\xBB\xBF; comment\r\n[ mss ]\r\n  audio_DEF = 1 \r\n AUDIO_1 = \"Dub\" \r\nAudio_2='x'\r\n", 1,
       {"Dub", "x"}},
      {"stops at a gap", "[MSS]\nAudio_1=a\nAudio_3=c\n", 0, {"a"}},
      {"stops at an empty value", "[MSS]\nAudio_1=a\nAudio_2=\nAudio_3=c\n", 0, {"a"}},
      {"first of a key wins", "[MSS]\nAudio_1=a\nAudio_1=b\n", 0, {"a"}},
      {"other sections", "[Other]\nAudio_1=no\n[MSS]\nAudio_1=yes\n[Next]\nAudio_2=no\n", 0, {"yes"}},
      {"only the first MSS section", "[MSS]\nAudio_1=a\n[Other]\n[MSS]\nAudio_2=b\n", 0, {"a"}},
      {"a default that is no number", "[MSS]\nAudio_def=2x\n", 0, {}},
      {"no section", "Audio_1=a\n", 0, {}},
      {"unterminated section line", "[MSS\nAudio_1=a", 0, {"a"}},
  };
  for (const auto& c : cases) {
    const TMWSideFile file = ParseSideFile(c.Text);
    EXPECT_EQ(c.Default, file.DefaultNumber) << c.Name;
    EXPECT_EQ(c.Values, file.Values) << c.Name;
  }
}

TEST(StreamNames, AviAudioHeadersGiveTheirLanguages) {
  using namespace qvr::media;
  const PcmFormat format{};
  const AviAudioStream streams[] = {{format, MakeTonePcm16(format, 0.1, 440, 0.2)},
                                    {format, MakeTonePcm16(format, 0.1, 880, 0.2)},
                                    {format, MakeTonePcm16(format, 0.1, 220, 0.2)}};
  AviVideoStream video;
  video.Width = 8;
  video.Height = 8;
  video.Frames.push_back(MakeColourBarsFrame(8, 8, 32));
  std::vector<uint8_t> avi = MakeAvi(&video, streams);
  EXPECT_TRUE(ScanAudioStreamLanguages(avi).empty());  // language 0 everywhere

  // Language words of the first and third audio stream headers; the video header's is ignored.
  std::vector<size_t> headers;
  for (size_t at = 0; at + 12 <= avi.size(); ++at)
    if (std::memcmp(&avi[at], "strh", 4) == 0) headers.push_back(at);
  ASSERT_EQ(4u, headers.size());
  const uint16_t languages[] = {0x0411, 0x0409, 0, 0x0407};
  for (size_t i = 0; i < 4; ++i) {
    avi[headers[i] + 22] = static_cast<uint8_t>(languages[i]);
    avi[headers[i] + 23] = static_cast<uint8_t>(languages[i] >> 8);
  }
  EXPECT_EQ((std::vector<uint16_t>{0x0409, 0x0407}), ScanAudioStreamLanguages(avi));

  // A header that ends exactly at the end of what was read counts; one cut off there is not
  // read past the end.
  std::vector<uint8_t> cut(avi.begin(), avi.begin() + static_cast<long>(headers[3] + 24));
  EXPECT_EQ((std::vector<uint16_t>{0x0409, 0x0407}), ScanAudioStreamLanguages(cut));
  cut.pop_back();
  EXPECT_EQ((std::vector<uint16_t>{0x0409}), ScanAudioStreamLanguages(cut));
}

}  // namespace
