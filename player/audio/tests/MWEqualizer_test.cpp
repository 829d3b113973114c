#include "player/audio/core/MWEqualizer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

#include "player/audio/tests/AllocationCounter.h"
#include "player/audio/tests/DspTestSupport.h"

namespace {

using namespace qvr::audio;
using qvr::audio::testing::AvailableKernelSets;
using qvr::audio::testing::TRandom;

constexpr size_t kN = TMWEqualizer::kFFTPoints;
constexpr size_t kTaps = TMWEqualizer::kTaps;

// ---- Bands and the pre-amplifier -----------------------------------------------------------------

TEST(EqualizerBands, BandToGainFollowsTheTable) {
  EXPECT_FLOAT_EQ(2.0f, BandToGain(0));
  EXPECT_FLOAT_EQ(2.0f, BandToGain(1));  // 12 div 20 = 0 steps
  EXPECT_NEAR(2.04659, BandToGain(2), 1e-5);
  EXPECT_NEAR(3.99052, BandToGain(50), 1e-5);
  EXPECT_NEAR(7.96214, BandToGain(100), 1e-5);
  EXPECT_NEAR(0.502377, BandToGain(-100), 1e-6);
  EXPECT_NEAR(2.0 * std::pow(10.0, -0.01), BandToGain(-2), 1e-6);  // -24 div 20 truncates to -1
  EXPECT_FLOAT_EQ(2.0f, BandToGain(-1));
}

TEST(EqualizerBands, GainToBandInvertsUpToTheStep) {
  for (const int v : {0, 50, -50, 100, -100, 25, -75}) EXPECT_EQ(v, GainToBand(BandToGain(static_cast<int8_t>(v)))) << v;
  EXPECT_EQ(0, GainToBand(BandToGain(1)));
  EXPECT_EQ(0, GainToBand(BandToGain(-1)));
  EXPECT_EQ(98, GainToBand(BandToGain(99)));  // 59 steps of 0.2 dB
  // Beyond a byte, and gains that have no logarithm.
  EXPECT_EQ(127, GainToBand(1e6f));
  EXPECT_EQ(-128, GainToBand(0.0f));
  EXPECT_EQ(0, GainToBand(-1.0f));
  EXPECT_EQ(0, GainToBand(std::numeric_limits<float>::quiet_NaN()));
}

template <class T>
std::vector<uint8_t> Bytes(std::initializer_list<T> values) {
  std::vector<uint8_t> out(values.size() * sizeof(T));
  std::memcpy(out.data(), values.begin(), out.size());
  return out;
}

template <class T>
T At(const std::vector<uint8_t>& bytes, size_t i) {
  T v;
  std::memcpy(&v, bytes.data() + i * sizeof(T), sizeof v);
  return v;
}

int32_t At24(const std::vector<uint8_t>& b, size_t i) {
  const int32_t v = b[3 * i] | (b[3 * i + 1] << 8) | (b[3 * i + 2] << 16);
  return v >= 0x800000 ? v - 0x1000000 : v;
}

TEST(AmplifyPCM, IntegerFormatsTruncateAndClamp) {
  auto u8 = std::vector<uint8_t>{0, 255, 200, 60, 129, 127, 128};
  AmplifyPCM(u8.data(), u8.size(), 8, 20000, false, 1);
  EXPECT_EQ((std::vector<uint8_t>{0, 255, 255, 0, 130, 126, 128}), u8);
  u8 = {200, 60, 129, 127};
  AmplifyPCM(u8.data(), u8.size(), 8, 5000, false, 2);
  EXPECT_EQ((std::vector<uint8_t>{164, 94, 128, 128}), u8);  // ±1·5000 div 10000 truncates to 0

  auto s16 = Bytes<int16_t>({30000, -30000, -3, 3, 1000});
  AmplifyPCM(s16.data(), s16.size(), 16, 15000, false, 1);
  EXPECT_EQ(32767, At<int16_t>(s16, 0));
  EXPECT_EQ(-32768, At<int16_t>(s16, 1));
  EXPECT_EQ(-4, At<int16_t>(s16, 2));  // -4.5 truncates toward zero
  EXPECT_EQ(4, At<int16_t>(s16, 3));
  EXPECT_EQ(1500, At<int16_t>(s16, 4));

  std::vector<uint8_t> s24 = {0xFF, 0xFF, 0x7F, 0x00, 0x00, 0x80, 0xE8, 0x03, 0x00, 0x17, 0xFC, 0xFF};  // 8388607, -8388608, 1000, -1001
  AmplifyPCM(s24.data(), s24.size(), 24, 20000, false, 2);
  EXPECT_EQ(8388607, At24(s24, 0));
  EXPECT_EQ(-8388608, At24(s24, 1));
  EXPECT_EQ(2000, At24(s24, 2));
  EXPECT_EQ(-2002, At24(s24, 3));

  auto s32 = Bytes<int32_t>({std::numeric_limits<int32_t>::min(), 2147483647, -1000001, 7});
  AmplifyPCM(s32.data(), s32.size(), 32, 10001, false, 1);
  EXPECT_EQ(-2147483647, At<int32_t>(s32, 0));  // the lower bound is -2147483647
  EXPECT_EQ(2147483647, At<int32_t>(s32, 1));
  EXPECT_EQ(-1000101, At<int32_t>(s32, 2));  // the product needs 64 bits; truncated
  EXPECT_EQ(7, At<int32_t>(s32, 3));
  // At unity the arithmetic still clamps -2^31: skipping unity is the filter's business.
  s32 = Bytes<int32_t>({std::numeric_limits<int32_t>::min()});
  AmplifyPCM(s32.data(), s32.size(), 32, kPreAmpUnity, false, 1);
  EXPECT_EQ(-2147483647, At<int32_t>(s32, 0));
}

TEST(AmplifyPCM, FloatScalesWithoutClamping) {
  auto f = Bytes<float>({0.8f, -0.9f, 1e30f});
  AmplifyPCM(f.data(), f.size(), 32, 20000, true, 1);
  EXPECT_EQ(0.8f * 2.0f, At<float>(f, 0));
  EXPECT_EQ(1.6f, At<float>(f, 0));
  EXPECT_EQ(-1.8f, At<float>(f, 1));
  EXPECT_EQ(2e30f, At<float>(f, 2));
  f = Bytes<float>({0.5f});
  AmplifyPCM(f.data(), f.size(), 32, 3, true, 1);
  EXPECT_EQ(0.5f * (3.0f / 10000.0f), At<float>(f, 0));
}

// Every whole sample exactly once, whatever the length and alignment; the bytes of a partial
// last sample and other bit depths are left alone. Checked for every kernel set.
TEST(AmplifyPCM, TouchesEveryWholeSampleOnce) {
  for (const TMWDspKernels* kernels : AvailableKernelSets()) {
    for (size_t offset = 0; offset < 4; ++offset) {
      for (size_t count = 0; count <= 41; ++count) {
        std::vector<uint8_t> buffer(offset + 4 * count + 3, 0xA5);
        for (size_t i = 0; i < count; ++i) {
          const float v = static_cast<float>(i) + 0.25f;
          std::memcpy(&buffer[offset + 4 * i], &v, 4);
        }
        kernels->ScaleSingles(buffer.data() + offset, count, 2.0f);
        for (size_t i = 0; i < count; ++i) {
          float v;
          std::memcpy(&v, &buffer[offset + 4 * i], 4);
          ASSERT_EQ(2.0f * (static_cast<float>(i) + 0.25f), v) << kernels->Name << " count " << count << " at " << i;
        }
        for (size_t i = 0; i < offset; ++i) ASSERT_EQ(0xA5, buffer[i]);
        for (size_t i = offset + 4 * count; i < buffer.size(); ++i) ASSERT_EQ(0xA5, buffer[i]) << kernels->Name;
      }
    }
  }
  auto s16 = std::vector<uint8_t>{0x10, 0x00, 0x33};
  AmplifyPCM(s16.data(), s16.size(), 16, 20000, false, 1);
  EXPECT_EQ((std::vector<uint8_t>{0x20, 0x00, 0x33}), s16);
  for (const int bits : {0, 12, 20, 64}) {
    auto other = std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8};
    AmplifyPCM(other.data(), other.size(), bits, 20000, bits == 64, 1);
    EXPECT_EQ((std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8}), other) << bits;
  }
}

// ---- Sample conversion kernels ---------------------------------------------------------------------

TEST(DspKernels, Int16ConversionsRoundToEvenAndClamp) {
  const std::vector<float> in = {2.5f, 3.5f, -2.5f, -0.5f, 0.5f, 1.49f, -1.51f, 40000.0f, -40000.0f, 32767.4f, -32768.6f,
                                 std::numeric_limits<float>::quiet_NaN()};
  const std::vector<int16_t> expected = {2, 4, -2, 0, 0, 1, -2, 32767, -32768, 32767, -32768, -32768};
  for (const TMWDspKernels* kernels : AvailableKernelSets()) {
    // Every length up to a few registers, so each set's tail handling is exercised.
    for (size_t count = 0; count <= 3 * in.size(); ++count) {
      std::vector<float> src(count);
      for (size_t i = 0; i < count; ++i) src[i] = in[i % in.size()];
      std::vector<uint8_t> pcm(2 * count + 1, 0x5A);
      kernels->SinglesToInt16(src.data(), pcm.data(), count);
      std::vector<float> back(count);
      kernels->Int16ToSingles(pcm.data(), back.data(), count);
      for (size_t i = 0; i < count; ++i) {
        ASSERT_EQ(expected[i % in.size()], At<int16_t>(pcm, i)) << kernels->Name << " " << src[i];
        ASSERT_EQ(static_cast<float>(expected[i % in.size()]), back[i]) << kernels->Name;
      }
      ASSERT_EQ(0x5A, pcm.back()) << kernels->Name;
    }
  }
}

// ---- The equaliser against direct convolution -------------------------------------------------------

std::vector<float> GainTable(const std::vector<int>& bands) {
  std::vector<float> gains(kEqualizerGainTableSize, kEqualizerFlatGain);
  for (size_t b = 0; b < bands.size(); ++b)
    for (int k = kEqualizerBandEdges[b]; k < kEqualizerBandEdges[b + 1]; ++k) gains[k] = BandToGain(static_cast<int8_t>(bands[b]));
  return gains;
}

// The design in double precision, straight from its definition: the real part of the inverse
// DFT of the one-sided gains, delayed 256 samples circularly, cut to 513 taps, Hann-windowed.
std::vector<double> ReferenceTaps(const std::vector<float>& gains) {
  std::vector<double> cosines(kN), h(kN);
  for (size_t i = 0; i < kN; ++i) cosines[i] = std::cos(2.0 * std::numbers::pi * static_cast<double>(i) / kN);
  for (size_t n = 0; n < kN; ++n) {
    double sum = 0;
    for (size_t k = 0; k < TMWEqualizer::kGainBins; ++k) sum += gains[k] * cosines[(k * n) % kN];
    h[n] = sum / kN;
  }
  std::vector<double> taps(kTaps);
  for (size_t n = 0; n < kTaps; ++n)
    taps[n] = h[(n + kN - TMWEqualizer::kDelay) % kN] * (0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * static_cast<double>(n) / (kTaps + 1)));
  return taps;
}

struct TFormat {
  const char* Name;
  int Bits;
  bool IsFloat;
  double Lo, Hi;      // the clamp bounds in the equaliser's float units (none for float)
  double FullScale;   // the largest input magnitude, in the same units
};

const TFormat kU8{"u8", 8, false, -128, 127, 127};
const TFormat kS16{"s16", 16, false, -32768, 32767, 32767};
const TFormat kS24{"s24", 24, false, -8388608, 8388607, 8388607};
// 32-bit integers enter as value/32768 and leave as round(y)·32768 clamped to ±2147483647.
const TFormat kS32{"s32", 32, false, -65535.99996948242, 65535.99996948242, 65535.99996948242};
const TFormat kF32{"f32", 32, true, 0, 0, 1.0};

size_t BytesPerSample(const TFormat& f) { return static_cast<size_t>(f.Bits) / 8; }

// A sample in the equaliser's float units, and back from its result.
double ReadUnits(const TFormat& f, const uint8_t* p) {
  switch (f.Bits) {
    case 8: return *p - 128.0;
    case 16: { int16_t v; std::memcpy(&v, p, 2); return v; }
    case 24: { const int32_t v = p[0] | (p[1] << 8) | (p[2] << 16); return v >= 0x800000 ? v - 0x1000000 : v; }
    default:
      if (f.IsFloat) { float v; std::memcpy(&v, p, 4); return v; }
      int32_t v;
      std::memcpy(&v, p, 4);
      return v / 32768.0;
  }
}

void WriteUnits(const TFormat& f, uint8_t* p, double units) {
  switch (f.Bits) {
    case 8: *p = static_cast<uint8_t>(std::lrint(units) + 128); return;
    case 16: { const int16_t v = static_cast<int16_t>(std::lrint(units)); std::memcpy(p, &v, 2); return; }
    case 24: { const int32_t v = static_cast<int32_t>(std::lrint(units)); p[0] = v & 0xFF; p[1] = (v >> 8) & 0xFF; p[2] = (v >> 16) & 0xFF; return; }
    default:
      if (f.IsFloat) { const float v = static_cast<float>(units); std::memcpy(p, &v, 4); return; }
      const int32_t v = static_cast<int32_t>(std::llrint(units * 32768.0));
      std::memcpy(p, &v, 4);
  }
}

// Interleaved random PCM of `frames` frames, each sample within ±amplitude·FullScale.
std::vector<uint8_t> RandomPcm(const TFormat& f, int channels, size_t frames, double amplitude, uint64_t seed) {
  TRandom random(seed);
  std::vector<uint8_t> pcm(frames * channels * BytesPerSample(f));
  for (size_t i = 0; i < frames * channels; ++i) {
    double v = random.Uniform() * amplitude * f.FullScale;
    if (f.Bits == 32 && !f.IsFloat) v = std::floor(v * 32768.0) / 32768.0;  // any 32-bit integer
    WriteUnits(f, &pcm[i * BytesPerSample(f)], v);
  }
  return pcm;
}

// Feeds `pcm` through the equaliser in buffers of the given sizes (frames; cycled), each buffer
// a separate allocation followed by a partial frame of sentinel bytes that must stay untouched.
void EqualizeInBuffers(TMWEqualizer& eq, const TFormat& f, int channels, std::vector<uint8_t>& pcm,
                       const std::vector<size_t>& sizes, bool& dirty, const std::vector<float>& gains) {
  const size_t frameBytes = channels * BytesPerSample(f);
  const size_t frames = pcm.size() / frameBytes;
  for (size_t start = 0, i = 0; start < frames; ++i) {
    const size_t count = std::min(sizes[i % sizes.size()], frames - start);
    const size_t extra = (i % frameBytes);
    std::vector<uint8_t> buffer(count * frameBytes + extra + 1, 0xC3);  // + 1: never empty
    buffer.pop_back();
    std::memcpy(buffer.data(), &pcm[start * frameBytes], count * frameBytes);
    eq.Equalize(buffer.data(), buffer.size(), f.Bits, dirty, gains.data(), f.IsFloat, channels);
    for (size_t b = count * frameBytes; b < buffer.size(); ++b) ASSERT_EQ(0xC3, buffer[b]) << "partial frame touched";
    std::memcpy(&pcm[start * frameBytes], buffer.data(), count * frameBytes);
    start += count;
  }
}

// Each channel of `in` convolved directly with the taps, in double precision.
std::vector<std::vector<double>> Convolve(const TFormat& f, int channels, const std::vector<uint8_t>& in,
                                          const std::vector<double>& taps) {
  const size_t bytes = BytesPerSample(f);
  const size_t frames = in.size() / (channels * bytes);
  std::vector<std::vector<double>> result;
  for (int c = 0; c < channels; ++c) {
    std::vector<double> x(frames), y(frames);
    for (size_t j = 0; j < frames; ++j) x[j] = ReadUnits(f, &in[(j * channels + c) * bytes]);
    const double* xs = x.data();
    const double* t = taps.data();
    for (size_t j = 0; j < frames; ++j) {
      double sum = 0;
      for (size_t k = 0; k < kTaps && k <= j; ++k) sum += t[k] * xs[j - k];
      y[j] = sum;
    }
    result.push_back(std::move(y));
  }
  return result;
}

// Every channel of `out` against its exact convolution, rounded and clamped as the format
// says. `tolerance` bounds the float error of the FFT path: an integer result must lie within
// 0.5 + tolerance of the clamped exact value, so a truncation, a wrong clamp or a sample of
// another channel is caught.
void ExpectConvolution(const TFormat& f, int channels, const std::vector<uint8_t>& out,
                       const std::vector<std::vector<double>>& exact, double tolerance) {
  const size_t bytes = BytesPerSample(f);
  for (int c = 0; c < channels; ++c) {
    for (size_t j = 0; j < exact[c].size(); ++j) {
      const double y = exact[c][j];
      const double got = ReadUnits(f, &out[(j * channels + c) * bytes]);
      const double error = f.IsFloat ? std::fabs(got - y) : std::fabs(got - std::clamp(y, f.Lo, f.Hi)) - 0.5;
      ASSERT_LE(error, tolerance) << f.Name << " channel " << c << " of " << channels << " frame " << j << ": got " << got
                                  << ", exact " << y;
      if (f.Bits == 32 && !f.IsFloat) {
        int32_t raw;
        std::memcpy(&raw, &out[(j * channels + c) * bytes], 4);
        ASSERT_NE(std::numeric_limits<int32_t>::min(), raw);  // the bound is -2147483647
        ASSERT_TRUE(raw % 32768 == 0 || raw == 2147483647 || raw == -2147483647) << raw;
      }
    }
  }
}

// Float error of the FFT path relative to the loudest input and the filter's absolute sum.
double Tolerance(const std::vector<double>& taps, double peak) {
  double sum = 0;
  for (const double t : taps) sum += std::fabs(t);
  return 6e-7 * sum * peak + 1e-6;
}

const std::vector<int> kSmile = {60, 35, 0, -20, -45, -20, 0, 35, 70, 100};
const std::vector<size_t> kSplits = {1000, 1, 0, 1536, 1537, 3000, 7, 4096, 512, 2};

TEST(MWEqualizer, DesignMatchesTheDoublePrecisionDefinition) {
  for (const auto& bands : {std::vector<int>(10, 0), kSmile, std::vector<int>{-100, 100, -100, 100, -100, 100, -100, 100, -100, 100}}) {
    const std::vector<float> gains = GainTable(bands);
    const std::vector<double> expected = ReferenceTaps(gains);
    for (const TMWDspKernels* kernels : AvailableKernelSets()) {
      TMWEqualizer eq(*kernels);
      eq.DesignFilter(gains.data());
      EXPECT_EQ(0.0f, eq.Taps()[0]);  // the window's first point
      for (size_t n = 0; n < kTaps; ++n) ASSERT_NEAR(expected[n], eq.Taps()[n], 2e-6) << kernels->Name << " tap " << n;
    }
  }
}

// The claim of the design: whatever the buffer sizes, every channel is the exact linear
// convolution of its stream with the taps (up to float rounding), for every format, channel
// count and kernel set. Quiet signals show the rounding; loud ones with a boosting filter the
// clamping.
TEST(MWEqualizer, EqualsDirectConvolutionForEveryFormatAndSplit) {
  const std::vector<float> gains = GainTable(kSmile);
  const std::vector<double> taps = ReferenceTaps(gains);
  constexpr size_t kFrames = 6000;
  uint64_t seed = 1;
  for (const TFormat* f : {&kU8, &kS16, &kS24, &kS32, &kF32}) {
    for (const int channels : {1, 2, 3}) {
      for (const double amplitude : {0.01, 1.0}) {
        const std::vector<uint8_t> in = RandomPcm(*f, channels, kFrames, amplitude, ++seed);
        const auto exact = Convolve(*f, channels, in, taps);
        for (const TMWDspKernels* kernels : AvailableKernelSets()) {
          SCOPED_TRACE(::testing::Message() << kernels->Name << " " << f->Name << " channels " << channels << " amplitude " << amplitude);
          std::vector<uint8_t> out = in;
          TMWEqualizer eq(*kernels);
          bool dirty = true;
          EqualizeInBuffers(eq, *f, channels, out, kSplits, dirty, gains);
          EXPECT_FALSE(dirty);
          ExpectConvolution(*f, channels, out, exact, Tolerance(taps, amplitude * f->FullScale));
        }
      }
    }
  }
}

// Any channel count, changing from buffer to buffer: the history grows (once) past the eight
// channels made at construction, each channel keeps its own tail whether it is transformed
// alone or with a neighbour, and a channel absent from a buffer keeps its tail for the next one.
// Nothing is read or written out of bounds (the sanitizers watch).
TEST(MWEqualizer, EveryChannelKeepsItsOwnStreamWhateverTheChannelCount) {
  const std::vector<float> gains = GainTable(kSmile);
  const std::vector<double> taps = ReferenceTaps(gains);
  const std::vector<int> counts = {6, 3, 11, 4, 11, 1, 2, 12};
  constexpr int kMaxChannels = 12;
  constexpr size_t kFramesPerBuffer = 1700;
  std::vector<std::vector<uint8_t>> in(kMaxChannels), out(kMaxChannels);  // each channel's own stream
  TMWEqualizer eq;
  bool dirty = true;
  for (size_t b = 0; b < counts.size(); ++b) {
    const int channels = counts[b];
    std::vector<uint8_t> pcm = RandomPcm(kS16, channels, kFramesPerBuffer, 0.01, 50 + b);
    const std::vector<uint8_t> original = pcm;
    eq.Equalize(pcm.data(), pcm.size(), 16, dirty, gains.data(), false, channels);
    for (int c = 0; c < channels; ++c) {
      for (size_t j = 0; j < kFramesPerBuffer; ++j) {
        const size_t at = 2 * (j * channels + c);
        in[c].insert(in[c].end(), original.begin() + at, original.begin() + at + 2);
        out[c].insert(out[c].end(), pcm.begin() + at, pcm.begin() + at + 2);
      }
    }
  }
  for (int c = 0; c < kMaxChannels; ++c) {
    SCOPED_TRACE(::testing::Message() << "channel " << c);
    ExpectConvolution(kS16, 1, out[c], Convolve(kS16, 1, in[c], taps), Tolerance(taps, 0.01 * kS16.FullScale));
  }
}

// Flat bands: the signal comes out 256 frames late (and re-quantised), not unchanged.
TEST(MWEqualizer, FlatSettingDelaysBy256Frames) {
  const std::vector<float> gains(kEqualizerGainTableSize, kEqualizerFlatGain);
  constexpr size_t kFrames = 4000;
  std::vector<uint8_t> pcm(2 * kFrames);
  for (size_t j = 0; j < kFrames; ++j) {
    const int16_t v = static_cast<int16_t>(std::lrint(12000 * std::sin(2 * std::numbers::pi * 1000.0 * static_cast<double>(j) / 48000.0)));
    std::memcpy(&pcm[2 * j], &v, 2);
  }
  const std::vector<uint8_t> in = pcm;
  TMWEqualizer eq;
  bool dirty = true;
  eq.Equalize(pcm.data(), pcm.size(), 16, dirty, gains.data(), false, 1);
  EXPECT_NE(in, pcm);
  for (size_t j = kTaps; j < kFrames; ++j) ASSERT_NEAR(At<int16_t>(in, j - TMWEqualizer::kDelay), At<int16_t>(pcm, j), 1) << j;
  // An impulse comes out at frame 256, at its own height.
  std::vector<uint8_t> impulse(2 * 1024, 0);
  const int16_t one = 10000;
  std::memcpy(impulse.data(), &one, 2);
  eq.ClearHistory();
  eq.Equalize(impulse.data(), impulse.size(), 16, dirty, gains.data(), false, 1);
  size_t peak = 0;
  for (size_t j = 0; j < 1024; ++j)
    if (std::abs(At<int16_t>(impulse, j)) > std::abs(At<int16_t>(impulse, peak))) peak = j;
  EXPECT_EQ(TMWEqualizer::kDelay, peak);
  EXPECT_EQ(10000, At<int16_t>(impulse, peak));
}

TEST(MWEqualizer, HistoryCarriesAcrossBuffersUntilCleared) {
  const std::vector<float> gains = GainTable(kSmile);
  const std::vector<uint8_t> first = RandomPcm(kF32, 2, 3000, 0.5, 7), second = RandomPcm(kF32, 2, 3000, 0.5, 8);
  bool dirty = true;
  TMWEqualizer fresh;
  std::vector<uint8_t> expected = second;
  fresh.Equalize(expected.data(), expected.size(), 32, dirty, gains.data(), true, 2);

  TMWEqualizer used;
  dirty = true;
  std::vector<uint8_t> a = first, b = second;
  used.Equalize(a.data(), a.size(), 32, dirty, gains.data(), true, 2);
  used.Equalize(b.data(), b.size(), 32, dirty, gains.data(), true, 2);
  EXPECT_NE(expected, b);  // the first buffer's tail reached into the second
  a = first;
  b = second;
  used.Equalize(a.data(), a.size(), 32, dirty, gains.data(), true, 2);
  used.ClearHistory();
  used.Equalize(b.data(), b.size(), 32, dirty, gains.data(), true, 2);
  EXPECT_EQ(expected, b);
}

TEST(MWEqualizer, RedesignsOnlyWhenDirty) {
  const std::vector<float> flat(kEqualizerGainTableSize, kEqualizerFlatGain), smile = GainTable(kSmile);
  TMWEqualizer eq;
  bool dirty = true;
  std::vector<uint8_t> pcm = RandomPcm(kS16, 1, 100, 0.1, 3);
  eq.Equalize(pcm.data(), pcm.size(), 16, dirty, smile.data(), false, 1);
  EXPECT_FALSE(dirty);
  const std::vector<float> designed(eq.Taps(), eq.Taps() + kTaps);
  eq.Equalize(pcm.data(), pcm.size(), 16, dirty, flat.data(), false, 1);  // not dirty: kept
  EXPECT_EQ(designed, std::vector<float>(eq.Taps(), eq.Taps() + kTaps));
  dirty = true;
  eq.Equalize(pcm.data(), pcm.size(), 16, dirty, flat.data(), false, 1);
  EXPECT_NE(designed, std::vector<float>(eq.Taps(), eq.Taps() + kTaps));
  // Designed even when the buffer itself cannot be filtered; the buffer is left alone.
  dirty = true;
  std::vector<uint8_t> odd = {1, 2, 3, 4, 5, 6};
  eq.Equalize(odd.data(), odd.size(), 12, dirty, smile.data(), false, 1);
  EXPECT_FALSE(dirty);
  EXPECT_EQ(designed, std::vector<float>(eq.Taps(), eq.Taps() + kTaps));
  EXPECT_EQ((std::vector<uint8_t>{1, 2, 3, 4, 5, 6}), odd);
  eq.Equalize(odd.data(), odd.size(), 16, dirty, smile.data(), false, 0);
  eq.Equalize(odd.data(), odd.size(), 16, dirty, smile.data(), false, -2);
  eq.Equalize(odd.data(), 3, 16, dirty, smile.data(), false, 2);  // no whole frame
  EXPECT_EQ((std::vector<uint8_t>{1, 2, 3, 4, 5, 6}), odd);
}

int* volatile gSink;  // keeps the probe allocation below from being elided

TEST(MWEqualizer, AllocatesNothingPerBuffer) {
  qvr::audio::testing::StartCountingAllocations();  // the counter itself sees allocations
  gSink = new int(1);
  delete gSink;
  ASSERT_EQ(1, qvr::audio::testing::StopCountingAllocations());

  const std::vector<float> gains = GainTable(kSmile);
  TMWEqualizer eq;
  bool dirty = true;
  std::vector<uint8_t> pcm = RandomPcm(kS16, 8, 5000, 0.5, 9), wide = RandomPcm(kS16, 12, 5000, 0.5, 10);
  eq.Equalize(wide.data(), wide.size(), 16, dirty, gains.data(), false, 12);  // grows the history once
  qvr::audio::testing::StartCountingAllocations();
  for (int i = 0; i < 3; ++i) {
    eq.Equalize(pcm.data(), pcm.size(), 16, dirty, gains.data(), false, 8);
    eq.Equalize(wide.data(), wide.size(), 16, dirty, gains.data(), false, 12);
    dirty = true;  // a redesign allocates nothing either
  }
  EXPECT_EQ(0, qvr::audio::testing::StopCountingAllocations());
}

// The process-wide engine behind the free functions is a TMWEqualizer like any other.
TEST(MWEqualizer, ProcessWideFunctionsUseOneSharedEngine) {
  const std::vector<float> gains = GainTable(kSmile);
  std::vector<uint8_t> shared = RandomPcm(kS24, 2, 4000, 0.3, 11), own = shared;
  bool dirty = true;
  ClearEqualizerHistory();
  EqualizePCM(shared.data(), shared.size(), 24, dirty, gains.data(), false, 2);
  EXPECT_FALSE(dirty);
  TMWEqualizer eq;
  dirty = true;
  eq.Equalize(own.data(), own.size(), 24, dirty, gains.data(), false, 2);
  EXPECT_EQ(own, shared);

  DesignEqualizerFilter(std::vector<float>(kEqualizerGainTableSize, kEqualizerFlatGain).data());
  ClearEqualizerHistory();
  std::vector<uint8_t> impulse(4 * 600, 0);
  const int16_t one = 1000;
  std::memcpy(impulse.data(), &one, 2);
  dirty = false;
  EqualizePCM(impulse.data(), impulse.size(), 16, dirty, nullptr, false, 2);
  EXPECT_EQ(1000, At<int16_t>(impulse, 2 * TMWEqualizer::kDelay));
}

}  // namespace
