#include "player/audio/core/MWAudioFormat.h"

#include <gtest/gtest.h>

#include <array>

namespace {

using namespace qvr::audio;

constexpr TMWGuid kMediaTypeVideo = {0x73646976, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
constexpr TMWGuid kSubtypeMp3 = {0x00000055, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
constexpr TMWGuid kFormatVideoInfo = {0x05589F80, 0xC356, 0x11CE, {0xBF, 0x01, 0x00, 0xAA, 0x00, 0x55, 0x59, 0x5A}};

// The seven fields in their order, so that records compare without the comparison under test.
std::array<int32_t, 7> Fields(const TMWAudioFormat& f) {
  return {f.DataLength, f.SampleRate, f.Channels, f.BitsPerSample, f.IsFloat, f.IsSPDIF, f.IsDTS};
}

TEST(AudioTypeRules, GuidTestsRunInOrderWithTheirOwnVerdicts) {
  EXPECT_EQ(TMWTypeVerdict::InvalidMediaType, CheckAudioTypeGuids(kMediaTypeVideo, kSubtypeMp3, kFormatVideoInfo));
  EXPECT_EQ(TMWTypeVerdict::InvalidSubtype, CheckAudioTypeGuids(kMWMediaTypeAudio, kSubtypeMp3, kFormatVideoInfo));
  EXPECT_EQ(TMWTypeVerdict::NotAccepted, CheckAudioTypeGuids(kMWMediaTypeAudio, kMWSubtypePcm, kFormatVideoInfo));
  for (const TMWGuid& subtype : {kMWSubtypePcm, kMWSubtypeIeeeFloat, kMWSubtypeDolbyAc3Spdif, kMWGuidNull})
    EXPECT_EQ(TMWTypeVerdict::Accepted, CheckAudioTypeGuids(kMWMediaTypeAudio, subtype, kMWFormatWaveFormatEx));
}

struct TWaveCase {
  const char* Name;
  TMWGuid Subtype;
  TMWWaveDescription Wave;
  TMWAudioFormat Expected;  // DataLength unused
};

TEST(AudioTypeRules, AcceptedFormatsGiveTheirRecord) {
  const TWaveCase cases[] = {
      {"pcm", kMWSubtypePcm, {1, 2, 48000, 16}, {0, 48000, 2, 16, 0, 0, 0}},
      {"rate 0 is 44100", kMWSubtypePcm, {1, 1, 0, 8}, {0, 44100, 1, 8, 0, 0, 0}},
      {"float by subtype", kMWSubtypeIeeeFloat, {1, 2, 44100, 32}, {0, 44100, 2, 32, -1, 0, 0}},
      {"float by tag", kMWSubtypePcm, {3, 2, 44100, 32}, {0, 44100, 2, 32, -1, 0, 0}},
      {"extensible float", kMWSubtypePcm, {0xFFFE, 6, 48000, 32, true, kMWSubtypeIeeeFloat}, {0, 48000, 6, 32, -1, 0, 0}},
      {"extensible pcm", kMWSubtypePcm, {0xFFFE, 6, 48000, 24, true, kMWSubtypePcm}, {0, 48000, 6, 24, 0, 0, 0}},
      {"extensible without subformat", kMWSubtypePcm, {0xFFFE, 2, 48000, 32}, {0, 48000, 2, 32, 0, 0, 0}},
      {"ac3 spdif tag", kMWSubtypePcm, {0x0092, 2, 48000, 16}, {0, 48000, 2, 16, 0, -1, 0}},
      {"spdif tag 0x2000", kMWGuidNull, {0x2000, 2, 48000, 16}, {0, 48000, 2, 16, 0, -1, 0}},
      {"ac3 spdif subtype", kMWSubtypeDolbyAc3Spdif, {1, 2, 48000, 16}, {0, 48000, 2, 16, 0, -1, 0}},
      {"dts tag 8", kMWSubtypePcm, {0x0008, 2, 48000, 16}, {0, 48000, 2, 16, 0, 0, -1}},
      {"dts tag 0x2001", kMWSubtypePcm, {0x2001, 2, 44100, 16}, {0, 44100, 2, 16, 0, 0, -1}},
  };
  for (const auto& c : cases) {
    TMWAudioFormat format{};
    ASSERT_EQ(TMWTypeVerdict::Accepted, DescribeWaveFormat(c.Subtype, c.Wave, format)) << c.Name;
    EXPECT_EQ(Fields(c.Expected), Fields(format)) << c.Name;
    EXPECT_EQ(c.Expected.IsSPDIF != 0 || c.Expected.IsDTS != 0, IsPassThrough(format)) << c.Name;
  }
}

// The filter announces a new input type to its callback when the comparison says it differs.
TEST(AudioTypeRules, PassThroughAtTheSameRateAndDepthIsAnotherFormat) {
  TMWAudioFormat pcm{}, spdif{}, dts{};
  ASSERT_EQ(TMWTypeVerdict::Accepted, DescribeWaveFormat(kMWSubtypePcm, {1, 2, 48000, 16}, pcm));
  ASSERT_EQ(TMWTypeVerdict::Accepted, DescribeWaveFormat(kMWSubtypeDolbyAc3Spdif, {0x0092, 2, 48000, 16}, spdif));
  ASSERT_EQ(TMWTypeVerdict::Accepted, DescribeWaveFormat(kMWSubtypePcm, {0x2001, 2, 48000, 16}, dts));
  EXPECT_FALSE(SameFormat(pcm, spdif));
  EXPECT_FALSE(SameFormat(spdif, pcm));
  EXPECT_FALSE(SameFormat(pcm, dts));
  EXPECT_FALSE(SameFormat(spdif, dts));
  EXPECT_TRUE(SameFormat(spdif, TMWAudioFormat(spdif)));
  // Every field counts, each on its own.
  const TMWAudioFormat base{4096, 44100, 2, 16, 0, 0, 0};
  EXPECT_TRUE(SameFormat(base, TMWAudioFormat{4096, 44100, 2, 16, 0, 0, 0}));
  for (int32_t TMWAudioFormat::*field : {&TMWAudioFormat::DataLength, &TMWAudioFormat::SampleRate, &TMWAudioFormat::Channels,
                                          &TMWAudioFormat::BitsPerSample, &TMWAudioFormat::IsFloat, &TMWAudioFormat::IsSPDIF,
                                          &TMWAudioFormat::IsDTS}) {
    TMWAudioFormat other = base;
    other.*field ^= 1;
    EXPECT_FALSE(SameFormat(base, other)) << ::testing::PrintToString(Fields(other));
  }
}

TEST(AudioTypeRules, OddBitDepthsAreRefusedWithoutTouchingTheRecord) {
  for (const uint16_t bits : {0, 4, 12, 20, 64}) {
    TMWAudioFormat format{5, 22050, 1, 16, 0, 0, 0};
    EXPECT_EQ(TMWTypeVerdict::NotAccepted, DescribeWaveFormat(kMWSubtypePcm, {1, 6, 96000, bits}, format)) << bits;
    EXPECT_EQ((std::array<int32_t, 7>{5, 22050, 1, 16, 0, 0, 0}), Fields(format)) << bits;
  }
}

TEST(AudioTypeRules, DurationOfBytesUsesIntegerDivisions) {
  const TMWAudioFormat stereo16{0, 44100, 2, 16, 0, 0, 0};
  EXPECT_EQ(10000000, DurationOfBytes(176400, stereo16));
  EXPECT_EQ(5000000, DurationOfBytes(88200, stereo16));
  EXPECT_EQ(226, DurationOfBytes(4, stereo16));  // one frame: 226.7 truncated
  EXPECT_EQ(-1, DurationOfBytes(100, TMWAudioFormat{0, 44100, 0, 16, 0, 0, 0}));
  EXPECT_EQ(-1, DurationOfBytes(100, TMWAudioFormat{0, 44100, 2, 4, 0, 0, 0}));
  EXPECT_EQ(-1, DurationOfBytes(100, TMWAudioFormat{0, 0, 2, 16, 0, 0, 0}));
}

TEST(AudioTypeRules, PublishedFormatKeepsEveryField) {
  TMWPublishedFormat published;
  const TMWAudioFormat format{1234, 48000, 6, 24, 0, -1, 0};
  published.Store(format);
  EXPECT_EQ(Fields(format), Fields(published.Load()));
  published.StoreDataLength(99);
  EXPECT_EQ(99, published.Record()->DataLength);
  EXPECT_EQ(48000, published.Record()->SampleRate);
}

}  // namespace
