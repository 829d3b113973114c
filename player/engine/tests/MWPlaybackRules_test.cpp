#include "player/engine/core/MWPlaybackRules.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "ShippedCodecList.h"
#include "player/engine/core/CodecList.h"

namespace {

using namespace qvr::engine;

TEST(PlaybackRules, UrlPrefixIgnoresCaseAndOnlyTwoSchemesCount) {
  EXPECT_TRUE(IsStreamUrl("http://radio.example/stream"));
  EXPECT_TRUE(IsStreamUrl("HTTP://radio.example/stream"));
  EXPECT_TRUE(IsStreamUrl("hTtP://x"));
  EXPECT_TRUE(IsStreamUrl("mms://media.example/live"));
  EXPECT_TRUE(IsStreamUrl("MMS://x"));
  EXPECT_FALSE(IsStreamUrl("https://x"));  // any other scheme is a file name
  EXPECT_FALSE(IsStreamUrl("ftp://x"));
  EXPECT_FALSE(IsStreamUrl("http:/x"));
  EXPECT_FALSE(IsStreamUrl("C:\\music\\http://x.mp3"));
  EXPECT_FALSE(IsStreamUrl(""));
}

TEST(PlaybackRules, ExtensionsChooseAPrivateSource) {
  EXPECT_EQ(mkFlv, KindFromExtension("C:\\v\\clip.FLV"));
  EXPECT_EQ(mkWebM, KindFromExtension("clip.webm"));
  EXPECT_EQ(mkMatroska, KindFromExtension("clip.Mkv"));
  EXPECT_EQ(mkMp4, KindFromExtension("clip.mov"));
  EXPECT_EQ(mkMp4, KindFromExtension("clip.mp4"));
  EXPECT_EQ(mkMp4, KindFromExtension("C:\\Music\\song.M4A"));
  EXPECT_EQ(mkMp4, KindFromExtension("/v/clip.m4v"));
  EXPECT_EQ(mkUnknown, KindFromExtension("clip.mp4.part"));
  EXPECT_EQ(mkUnknown, KindFromExtension("clip.m4"));
  EXPECT_EQ(mkUnknown, KindFromExtension("C:\\a.flv\\clip"));
  EXPECT_EQ(mkUnknown, KindFromExtension("flv"));

  // The codec bank creates each source from the shipped list's line with its class id.
  const auto shipped = ParseCodecList(kShippedCodecList);
  const struct {
    TMediaKind kind;
    const char* filter;
  } sources[] = {{mkFlv, "MPC - FLV Source (Brevik)"},
                 {mkMatroska, "MPC - Matroska Source"},
                 {mkWebM, "MPC - Matroska Source"},
                 {mkMp4, "MPC - MP4 Source"}};
  for (const auto& source : sources) {
    const TPrivateSource* chosen = PrivateSourceFor(source.kind);
    ASSERT_NE(nullptr, chosen) << source.filter;
    EXPECT_STREQ(source.filter, chosen->FilterName);
    EXPECT_TRUE(std::any_of(shipped.begin(), shipped.end(), [&](const TCodecListEntry& entry) {
      return entry.ClsidText == chosen->ClsidText && entry.Name == chosen->FilterName;
    })) << chosen->ClsidText;
  }
  for (TMediaKind kind : {mkUnknown, mkAvi, mkWave, mkAsf, mkMpegAudio, mkOggVorbis})
    EXPECT_EQ(nullptr, PrivateSourceFor(kind)) << int(kind);
}

TEST(PlaybackRules, VolumeToAttenuation) {
  const struct {
    int percent, attenuation;
  } table[] = {{100, 0}, {75, -415}, {50, -1000}, {25, -2000}, {10, -3322}, {1, -6644}, {0, -10000}};
  for (const auto& row : table) EXPECT_EQ(row.attenuation, VolumeToAttenuation(row.percent)) << row.percent << " %";
  EXPECT_EQ(-6644, LevelToAttenuation(kMutedLevel));  // muting attenuates to the 1 % level
  EXPECT_EQ(65535, PercentToLevel(100));
  EXPECT_EQ(32767, PercentToLevel(50));
}

TEST(PlaybackRules, SeekClamping) {
  EXPECT_EQ(0, ClampSeekPosition(-5, 30000000));
  EXPECT_EQ(30000000, ClampSeekPosition(99000000, 30000000));
  EXPECT_EQ(12345, ClampSeekPosition(12345, 30000000));
}

TEST(PlaybackRules, RotNameFormat) {
  const void* graph = reinterpret_cast<const void*>(uintptr_t{0x00AB12CD});
  const std::string name = FormatRotName(graph, 0x1F4);
  if (sizeof(void*) == 8)
    EXPECT_EQ("FilterGraph 0000000000AB12CD pid 1F4", name);
  else
    EXPECT_EQ("FilterGraph 00AB12CD pid 1F4", name);
}

}  // namespace
