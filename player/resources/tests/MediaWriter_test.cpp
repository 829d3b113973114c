// The bundled media writers, read back by a small RIFF walker of the test's own.
#include "player/resources/core/MediaWriter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>

namespace {

using namespace qvr::media;

uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}
uint16_t U16(const std::vector<uint8_t>& b, size_t at) { return static_cast<uint16_t>(b[at] | b[at + 1] << 8); }
std::string Id(const std::vector<uint8_t>& b, size_t at) { return std::string(reinterpret_cast<const char*>(&b[at]), 4); }

TEST(MediaWriter, WavHeaderDescribesThePcm) {
  const PcmFormat format{1, 2, 44100, 16};
  const auto pcm = MakeTonePcm16(format, 0.5, 440, 0.25);
  ASSERT_EQ(22050u * 4, pcm.size());
  const auto wav = MakeWav(format, pcm);
  ASSERT_EQ(44u + pcm.size(), wav.size());
  EXPECT_EQ("RIFF", Id(wav, 0));
  EXPECT_EQ(wav.size() - 8, U32(wav, 4));
  EXPECT_EQ("WAVE", Id(wav, 8));
  EXPECT_EQ("fmt ", Id(wav, 12));
  EXPECT_EQ(16u, U32(wav, 16));
  EXPECT_EQ(1, U16(wav, 20));
  EXPECT_EQ(2, U16(wav, 22));
  EXPECT_EQ(44100u, U32(wav, 24));
  EXPECT_EQ(176400u, U32(wav, 28));
  EXPECT_EQ(4, U16(wav, 32));
  EXPECT_EQ(16, U16(wav, 34));
  EXPECT_EQ("data", Id(wav, 36));
  EXPECT_EQ(pcm.size(), U32(wav, 40));
  EXPECT_EQ(0, std::memcmp(pcm.data(), wav.data() + 44, pcm.size()));
}

TEST(MediaWriter, ToneHasTheRequestedPeakOnEveryChannel) {
  const PcmFormat format{1, 2, 8000, 16};
  const auto pcm = MakeTonePcm16(format, 1.0, 1000, 0.5);  // 8 samples a period: peak at sample 2
  int peak = 0;
  for (size_t i = 0; i + 3 < pcm.size(); i += 4) {
    const auto left = static_cast<int16_t>(pcm[i] | pcm[i + 1] << 8);
    const auto right = static_cast<int16_t>(pcm[i + 2] | pcm[i + 3] << 8);
    ASSERT_EQ(left, right);
    peak = std::max(peak, static_cast<int>(left));
  }
  EXPECT_EQ(16384, peak);
}

TEST(MediaWriter, ColourBarsAreBottomUpBgrInEightEqualBands) {
  const auto frame = MakeColourBarsFrame(16, 2, 24);
  ASSERT_EQ(2u * 48, frame.size());  // 48-byte rows need no padding
  for (int bar = 0; bar < 8; ++bar) {
    const uint8_t* px = &frame[static_cast<size_t>(bar) * 2 * 3];
    const uint32_t rgb = static_cast<uint32_t>(px[2]) << 16 | px[1] << 8 | px[0];
    EXPECT_EQ(kColourBars[bar], rgb) << "bar " << bar;
  }
  EXPECT_EQ(3u * 12, MakeColourBarsFrame(3, 3, 24).size());  // 9-byte rows padded to 12
}

struct AviLayout {
  size_t movi = 0;  // offset of the "movi" form type, the base of idx1 offsets
  size_t idx1 = 0;
  std::map<std::string, uint32_t> movi_bytes, movi_chunks;  // by chunk id, walking movi itself
};

// Walks the top-level chunks and the movi list; fails the test when a size runs past the end.
AviLayout Walk(const std::vector<uint8_t>& avi) {
  AviLayout layout;
  EXPECT_EQ("RIFF", Id(avi, 0));
  EXPECT_EQ(avi.size() - 8, U32(avi, 4));
  EXPECT_EQ("AVI ", Id(avi, 8));
  size_t at = 12;
  while (at + 8 <= avi.size()) {
    const uint32_t size = U32(avi, at + 4);
    if (Id(avi, at) == "LIST" && Id(avi, at + 8) == "movi") {
      layout.movi = at + 8;
      for (size_t c = at + 12; c + 8 <= at + 8 + size; c += 8 + U32(avi, c + 4) + (U32(avi, c + 4) & 1)) {
        layout.movi_bytes[Id(avi, c)] += U32(avi, c + 4);
        ++layout.movi_chunks[Id(avi, c)];
      }
    }
    if (Id(avi, at) == "idx1") layout.idx1 = at;
    at += 8 + size + (size & 1);
  }
  EXPECT_EQ(avi.size(), at);
  return layout;
}

TEST(MediaWriter, AviChunksAndIndexAgree) {
  AviVideoStream video;
  video.Width = 8;
  video.Height = 4;
  video.BitCount = 32;
  video.FramesPerSecond = 10;
  video.Frames.assign(5, MakeColourBarsFrame(8, 4, 32));
  const PcmFormat mono{1, 1, 8000, 16};
  const AviAudioStream audio[] = {{PcmFormat{}, MakeTonePcm16(PcmFormat{}, 0.5, 440, 0.2)},
                                  {mono, MakeTonePcm16(mono, 0.35, 440, 0.2)}};
  const auto avi = MakeAvi(&video, audio);
  const AviLayout layout = Walk(avi);
  ASSERT_NE(0u, layout.movi);
  ASSERT_NE(0u, layout.idx1);
  EXPECT_EQ(3u, U32(avi, 12 + 12 + 8 + 24));  // avih dwStreams

  EXPECT_EQ(5u, layout.movi_chunks.at("00db"));
  EXPECT_EQ(5u * 8 * 4 * 4, layout.movi_bytes.at("00db"));
  EXPECT_EQ(audio[0].Data.size(), layout.movi_bytes.at("01wb"));
  EXPECT_EQ(audio[1].Data.size(), layout.movi_bytes.at("02wb"));

  uint32_t indexed = 0;
  const uint32_t entries = U32(avi, layout.idx1 + 4) / 16;
  for (uint32_t i = 0; i < entries; ++i) {
    const size_t e = layout.idx1 + 8 + i * 16;
    const size_t chunk = layout.movi + U32(avi, e + 8);
    ASSERT_EQ(Id(avi, e), Id(avi, chunk)) << "index entry " << i << " points elsewhere";
    ASSERT_EQ(U32(avi, e + 12), U32(avi, chunk + 4));
    EXPECT_EQ(0x10u, U32(avi, e + 4));
    ++indexed;
  }
  uint32_t chunks = 0;
  for (const auto& [id, count] : layout.movi_chunks) chunks += count;
  EXPECT_EQ(chunks, indexed);
}

TEST(MediaWriter, AudioOnlyAviCarriesEveryByte) {
  const AviAudioStream audio[] = {{PcmFormat{}, MakeTonePcm16(PcmFormat{}, 0.25, 440, 0.2)}};
  const AviLayout layout = Walk(MakeAvi(nullptr, audio));
  EXPECT_EQ(audio[0].Data.size(), layout.movi_bytes.at("00wb"));
  EXPECT_EQ(1u, layout.movi_bytes.size());
}

}  // namespace
