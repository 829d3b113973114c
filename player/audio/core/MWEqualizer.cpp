#include "player/audio/core/MWEqualizer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>
#include <mutex>
#include <numbers>

namespace qvr::audio {
namespace {

using C = TMWComplexSingle;

int32_t Read24(const uint8_t* p) {
  const int32_t v = p[0] | (p[1] << 8) | (p[2] << 16);
  return (v & 0x800000) != 0 ? v - 0x1000000 : v;
}

void Write24(uint8_t* p, int32_t v) {
  p[0] = static_cast<uint8_t>(v & 0xFF);
  p[1] = static_cast<uint8_t>((v >> 8) & 0xFF);
  p[2] = static_cast<uint8_t>((v >> 16) & 0xFF);
}

template <class T>
T Load(const uint8_t* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

template <class T>
void Store(uint8_t* p, T v) {
  std::memcpy(p, &v, sizeof v);
}

int64_t Clamp64(int64_t v, int64_t lo, int64_t hi) { return v < lo ? lo : (v > hi ? hi : v); }

// ---- Pre-amplifier ---------------------------------------------------------------------------

void AmplifyInt8(uint8_t* data, size_t count, int64_t g) {
  for (size_t i = 0; i < count; ++i) data[i] = static_cast<uint8_t>(Clamp64((data[i] - 128) * g / 10000, -128, 127) + 128);
}

void AmplifyInt16(uint8_t* data, size_t count, int64_t g) {
  for (size_t i = 0; i < count; ++i) {
    uint8_t* p = data + 2 * i;
    Store(p, static_cast<int16_t>(Clamp64(Load<int16_t>(p) * g / 10000, -32768, 32767)));
  }
}

void AmplifyInt24(uint8_t* data, size_t count, int64_t g) {
  for (size_t i = 0; i < count; ++i) {
    uint8_t* p = data + 3 * i;
    Write24(p, static_cast<int32_t>(Clamp64(Read24(p) * g / 10000, -8388608, 8388607)));
  }
}

void AmplifyInt32(uint8_t* data, size_t count, int64_t g) {
  for (size_t i = 0; i < count; ++i) {
    uint8_t* p = data + 4 * i;
    Store(p, static_cast<int32_t>(Clamp64(Load<int32_t>(p) * g / 10000, -2147483647, 2147483647)));
  }
}

// ---- Equaliser sample formats ------------------------------------------------------------------

enum class TSampleFormat { U8, S16, S24, S32, F32 };

constexpr size_t BytesOf(TSampleFormat f) {
  switch (f) {
    case TSampleFormat::U8: return 1;
    case TSampleFormat::S16: return 2;
    case TSampleFormat::S24: return 3;
    default: return 4;
  }
}

bool FormatOf(int bitsPerSample, bool isFloat, TSampleFormat& format) {
  switch (bitsPerSample) {
    case 8: format = TSampleFormat::U8; return true;
    case 16: format = TSampleFormat::S16; return true;
    case 24: format = TSampleFormat::S24; return true;
    case 32: format = isFloat ? TSampleFormat::F32 : TSampleFormat::S32; return true;
    default: return false;
  }
}

// Clamps to [lo, hi] first (equal to rounding first, since the bounds are integers), then
// rounds to nearest, ties to even. A NaN takes the lower bound, as maxps does in the SIMD sets.
int32_t RoundClamped(float y, float lo, float hi) {
  float t = y > lo ? y : lo;
  t = t < hi ? t : hi;
  return static_cast<int32_t>(std::nearbyint(t));
}

template <TSampleFormat F>
float ReadSample(const uint8_t* p) {
  if constexpr (F == TSampleFormat::U8) return static_cast<float>(*p - 128);
  if constexpr (F == TSampleFormat::S16) return static_cast<float>(Load<int16_t>(p));
  if constexpr (F == TSampleFormat::S24) return static_cast<float>(Read24(p));
  if constexpr (F == TSampleFormat::S32) return static_cast<float>(Load<int32_t>(p)) / 32768.0f;
  if constexpr (F == TSampleFormat::F32) return Load<float>(p);
}

template <TSampleFormat F>
void WriteSample(uint8_t* p, float y) {
  if constexpr (F == TSampleFormat::U8) *p = static_cast<uint8_t>(RoundClamped(y, -128.0f, 127.0f) + 128);
  if constexpr (F == TSampleFormat::S16) Store(p, static_cast<int16_t>(RoundClamped(y, -32768.0f, 32767.0f)));
  if constexpr (F == TSampleFormat::S24) Write24(p, RoundClamped(y, -8388608.0f, 8388607.0f));
  if constexpr (F == TSampleFormat::S32) {
    // Every |r| ≥ 65536 saturates below, so the float range of int32 (2147483520 is the largest
    // float under 2^31) loses nothing.
    const int64_t r = RoundClamped(y, -2147483648.0f, 2147483520.0f);
    Store(p, static_cast<int32_t>(Clamp64(r * 32768, -2147483647, 2147483647)));
  }
  if constexpr (F == TSampleFormat::F32) Store(p, y);
}

// One channel (imaginary parts 0) or a pair of adjacent channels (the second as imaginary
// parts) of `m` frames into the transform's input, and back.
template <TSampleFormat F>
void LoadBlock(const TMWDspKernels& kernels, const uint8_t* first, size_t frameBytes, size_t m, bool pair, C* dst) {
  constexpr size_t kBytes = BytesOf(F);
  if (pair && frameBytes == 2 * kBytes) {
    // Two channels only: the interleaved frames are already the complex layout.
    if constexpr (F == TSampleFormat::S16) return kernels.Int16ToSingles(first, &dst->Re, 2 * m);
    if constexpr (F == TSampleFormat::F32) return static_cast<void>(std::memcpy(dst, first, m * sizeof(C)));
  }
  for (size_t j = 0; j < m; ++j, first += frameBytes)
    dst[j] = C{ReadSample<F>(first), pair ? ReadSample<F>(first + kBytes) : 0.0f};
}

template <TSampleFormat F>
void StoreBlock(const TMWDspKernels& kernels, const C* src, size_t m, bool pair, uint8_t* first, size_t frameBytes) {
  constexpr size_t kBytes = BytesOf(F);
  if (pair && frameBytes == 2 * kBytes) {
    if constexpr (F == TSampleFormat::S16) return kernels.SinglesToInt16(&src->Re, first, 2 * m);
    if constexpr (F == TSampleFormat::F32) return static_cast<void>(std::memcpy(first, src, m * sizeof(C)));
  }
  for (size_t j = 0; j < m; ++j, first += frameBytes) {
    WriteSample<F>(first, src[j].Re);
    if (pair) WriteSample<F>(first + kBytes, src[j].Im);
  }
}

// y[j] += history[j] for the first kOverlap values, then the new tail: history[j] := y[m + j].
// A lone channel leaves the imaginary half of its history (another channel's) alone.
void OverlapAdd(C* y, C* history, size_t m, bool pair) {
  constexpr size_t kOverlap = TMWEqualizer::kOverlap;
  if (pair) {
    for (size_t j = 0; j < kOverlap; ++j) y[j] = C{y[j].Re + history[j].Re, y[j].Im + history[j].Im};
    std::memcpy(history, y + m, kOverlap * sizeof(C));
    return;
  }
  for (size_t j = 0; j < kOverlap; ++j) y[j].Re += history[j].Re;
  for (size_t j = 0; j < kOverlap; ++j) history[j].Re = y[m + j].Re;
}

struct TRun {
  const TMWDspKernels& Kernels;
  TMWFFT& Signal;
  const C* H;
};

template <TSampleFormat F>
void FilterRun(const TRun& run, uint8_t* first, size_t frameBytes, size_t frames, bool pair, C* history) {
  constexpr size_t kN = TMWEqualizer::kFFTPoints;
  C* y = run.Signal.Data();
  for (size_t start = 0; start < frames; start += TMWEqualizer::kBlockFrames) {
    const size_t m = std::min(TMWEqualizer::kBlockFrames, frames - start);
    uint8_t* block = first + start * frameBytes;
    LoadBlock<F>(run.Kernels, block, frameBytes, m, pair, y);
    std::memset(static_cast<void*>(y + m), 0, (kN - m) * sizeof(C));
    run.Signal.Forward();
    run.Kernels.MultiplySpectra(y, run.H, kN);
    run.Signal.Inverse();
    OverlapAdd(y, history, m, pair);
    StoreBlock<F>(run.Kernels, y, m, pair, block, frameBytes);
  }
}

}  // namespace

// ---- Bands -------------------------------------------------------------------------------------

float BandToGain(int8_t value) {
  const int k = value * 12 / 20;  // truncates toward zero
  return static_cast<float>(2.0 * std::pow(10.0, k / 100.0));
}

int8_t GainToBand(float gain) {
  const double v = std::nearbyint(100.0 * std::log10(static_cast<double>(gain) / 2.0) * 20.0 / 12.0);
  if (std::isnan(v)) return 0;
  return static_cast<int8_t>(std::clamp(v, -128.0, 127.0));
}

// ---- Pre-amplifier -----------------------------------------------------------------------------

void AmplifyPCM(uint8_t* data, size_t length, int bitsPerSample, uint16_t gain, bool isFloat, int /*channels*/) {
  if (data == nullptr) return;
  switch (bitsPerSample) {
    case 8: return AmplifyInt8(data, length, gain);
    case 16: return AmplifyInt16(data, length / 2, gain);
    case 24: return AmplifyInt24(data, length / 3, gain);
    case 32:
      if (!isFloat) return AmplifyInt32(data, length / 4, gain);
      return MWActiveKernels().ScaleSingles(data, length / 4, static_cast<float>(gain) / 10000.0f);
    default: return;
  }
}

// ---- Equaliser ---------------------------------------------------------------------------------

TMWEqualizer::TMWEqualizer() : TMWEqualizer(MWActiveKernels()) {}

TMWEqualizer::TMWEqualizer(const TMWDspKernels& kernels)
    : FKernels(&kernels),
      FSignal(kernels),
      FFilter(kernels),
      FHistory(static_cast<size_t>(kPreallocatedChannels + 1) / 2 * kOverlap, C{0.0f, 0.0f}) {
  for (TMWFFT* fft : {&FSignal, &FFilter}) {
    fft->SetFFTSize(TMWFFTSize::fts2048);
    fft->SetScale(true);
    fft->SetReOrder(false);
  }
  // Start from the flat design rather than an all-zero H that would mute everything.
  std::array<float, kGainBins> flat;
  flat.fill(kEqualizerFlatGain);
  DesignFilter(flat.data());
}

void TMWEqualizer::DesignFilter(const float* gainTable) {
  if (gainTable == nullptr) return;
  constexpr size_t kN = kFFTPoints;
  C* d = FFilter.Data();
  FFilter.Clear();
  for (size_t k = 0; k < kGainBins; ++k) d[k] = C{gainTable[k], 0.0f};
  // The gains are in natural bin order.
  FFilter.SetReOrder(true);
  FFilter.Inverse();
  FFilter.SetReOrder(false);
  // The zero-phase response delayed by kDelay circularly, cut to kTaps and Hann-windowed over
  // kTaps + 1 points (so tap 0 is 0).
  for (size_t n = 0; n < kTaps; ++n) {
    const double window = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * static_cast<double>(n) / (kTaps + 1));
    FTaps[n] = static_cast<float>(d[(n + kN - kDelay) % kN].Re * window);
  }
  std::memset(static_cast<void*>(d), 0, kN * sizeof(C));
  for (size_t n = 0; n < kTaps; ++n) d[n].Re = FTaps[n];
  FFilter.Forward();
}

bool TMWEqualizer::EnsureHistory(int channels) {
  const size_t needed = (static_cast<size_t>(channels) + 1) / 2 * kOverlap;
  if (needed <= FHistory.size()) return true;
  try {
    FHistory.resize(needed, C{0.0f, 0.0f});
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

void TMWEqualizer::Equalize(uint8_t* data, size_t length, int bitsPerSample, bool& eqDirty, const float* gainTable,
                            bool isFloat, int channels) {
  if (eqDirty && gainTable != nullptr) {
    DesignFilter(gainTable);
    eqDirty = false;
  }
  TSampleFormat format;
  if (data == nullptr || channels <= 0 || !FormatOf(bitsPerSample, isFloat, format)) return;
  const size_t bytes = BytesOf(format);
  const size_t frameBytes = static_cast<size_t>(channels) * bytes;
  const size_t frames = length / frameBytes;
  if (frames == 0 || !EnsureHistory(channels)) return;

  const TRun run{*FKernels, FSignal, FFilter.Data()};
  for (int c = 0; c < channels; c += 2) {
    const bool pair = c + 1 < channels;
    uint8_t* first = data + static_cast<size_t>(c) * bytes;
    C* history = FHistory.data() + static_cast<size_t>(c / 2) * kOverlap;
    switch (format) {
      case TSampleFormat::U8: FilterRun<TSampleFormat::U8>(run, first, frameBytes, frames, pair, history); break;
      case TSampleFormat::S16: FilterRun<TSampleFormat::S16>(run, first, frameBytes, frames, pair, history); break;
      case TSampleFormat::S24: FilterRun<TSampleFormat::S24>(run, first, frameBytes, frames, pair, history); break;
      case TSampleFormat::S32: FilterRun<TSampleFormat::S32>(run, first, frameBytes, frames, pair, history); break;
      case TSampleFormat::F32: FilterRun<TSampleFormat::F32>(run, first, frameBytes, frames, pair, history); break;
    }
  }
}

void TMWEqualizer::ClearHistory() { std::fill(FHistory.begin(), FHistory.end(), C{0.0f, 0.0f}); }

// ---- The process-wide engine -------------------------------------------------------------------

namespace {

// Leaf lock (see the header): serialises every use of the shared engine.
std::mutex& EngineLock() {
  static std::mutex lock;
  return lock;
}

TMWEqualizer& Engine() {
  static TMWEqualizer engine;
  return engine;
}

// Built when the program starts, so the first buffer pays for nothing.
[[maybe_unused]] const bool kEngineBuiltAtStart = (Engine(), true);

}  // namespace

void DesignEqualizerFilter(const float* gainTable) {
  const std::lock_guard<std::mutex> guard(EngineLock());
  Engine().DesignFilter(gainTable);
}

void EqualizePCM(uint8_t* data, size_t length, int bitsPerSample, bool& eqDirty, const float* gainTable, bool isFloat,
                 int channels) {
  const std::lock_guard<std::mutex> guard(EngineLock());
  Engine().Equalize(data, length, bitsPerSample, eqDirty, gainTable, isFloat, channels);
}

void ClearEqualizerHistory() {
  const std::lock_guard<std::mutex> guard(EngineLock());
  Engine().ClearHistory();
}

}  // namespace qvr::audio
