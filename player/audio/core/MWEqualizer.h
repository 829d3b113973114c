// The sample arithmetic behind the audio filter: the pre-amplifier, the mapping between the ten
// equaliser band values and per-bin gains, and the equaliser itself, a 513-tap linear-phase FIR
// designed from a gain table and applied by overlap-add FFT convolution on every channel.
//
// Threading: BandToGain, GainToBand and AmplifyPCM keep no state. A TMWEqualizer is used by one
// thread at a time (its owner serialises). The free functions DesignEqualizerFilter,
// EqualizePCM and ClearEqualizerHistory share one process-wide engine and serialise on its own
// lock, so two filters streaming at once cannot corrupt it (they do share its history and its
// filter; a filter that may stream beside another should own a TMWEqualizer).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "player/audio/core/MWDspKernels.h"
#include "player/audio/core/MWFastFourier.h"

namespace qvr::audio {

inline constexpr int kEqualizerBandCount = 10;
// Band i covers FFT bins kEqualizerBandEdges[i] .. kEqualizerBandEdges[i + 1] - 1; bin k stands
// for k·SampleRate/2048 Hz, so the bands move with the sample rate.
inline constexpr std::array<int, kEqualizerBandCount + 1> kEqualizerBandEdges = {0,   3,   9,   16,  29, 48,
                                                                                   100, 141, 280, 559, 1024};
// A gain table holds one gain per FFT bin; only the first 1024 are used. 2.0 is flat: only the
// positive-frequency half of the spectrum is filled, and the 2 restores the full amplitude.
inline constexpr size_t kEqualizerGainTableSize = 8192;
inline constexpr float kEqualizerFlatGain = 2.0f;
// The pre-amplifier's unity: gains are linear × 10000.
inline constexpr uint16_t kPreAmpUnity = 10000;

// Band value -100..100 (steps of 0.2 dB, ±12 dB) to a gain: 2·10^(k/100), k = (v·12) div 20.
float BandToGain(int8_t value);
// The nearest band value (ties to even) to 100·log10(g/2)·20/12; inverts BandToGain up to its
// 0.2 dB steps. Gains beyond a signed byte's reach (0 among them) give -128 or 127; a negative
// gain or a NaN gives 0.
int8_t GainToBand(float gain);

// Scales every whole sample of `data` in place by gain/10000: unsigned 8-bit (128 = silence),
// signed 16-, 24- and 32-bit integers (truncating division, clamped; 32-bit to ±2147483647) and
// 32-bit float (isFloat; no clamping). `isFloat` matters only at 32 bits; other depths are left
// alone. `channels` does not matter: samples are scaled independently.
void AmplifyPCM(uint8_t* data, size_t length, int bitsPerSample, uint16_t gain, bool isFloat, int channels);

// One equaliser: the filter spectrum H and the per-channel convolution history.
class TMWEqualizer {
 public:
  static constexpr size_t kFFTPoints = 2048;
  static constexpr size_t kBlockFrames = 1536;  // 3N/4: a block plus the FIR tail fill a transform
  static constexpr size_t kGainBins = 1024;
  static constexpr size_t kOverlap = 512;
  static constexpr size_t kTaps = 513;
  static constexpr size_t kDelay = 256;  // the linear-phase FIR's group delay, in frames
  // History allocated at construction: up to 7.1 nothing is ever allocated while streaming.
  static constexpr int kPreallocatedChannels = 8;

  TMWEqualizer();  // the kernels chosen for this processor
  explicit TMWEqualizer(const TMWDspKernels& kernels);
  TMWEqualizer(const TMWEqualizer&) = delete;
  TMWEqualizer& operator=(const TMWEqualizer&) = delete;

  // Designs the FIR from gainTable[0..1023] and keeps its spectrum H. A new equaliser holds the
  // flat design.
  void DesignFilter(const float* gainTable);

  // Redesigns first when eqDirty is set and clears it (without a gain table nothing is
  // designed and the flag stays for a later call). Then filters every channel of the
  // interleaved buffer in place: the exact linear convolution of each channel's stream with the
  // FIR up to float rounding, whatever the buffer sizes, delayed by kDelay frames. Adjacent
  // channels share one complex transform (one as the real, one as the imaginary part), which
  // the real FIR keeps apart. Only whole frames are touched. Bit depths 8, 16, 24 and 32
  // (isFloat matters at 32 only); others are left alone. Any channel count: the history grows
  // to the largest count seen, allocating only then; if that allocation fails the buffer is
  // left unfiltered.
  void Equalize(uint8_t* data, size_t length, int bitsPerSample, bool& eqDirty, const float* gainTable, bool isFloat,
                int channels);

  // Forgets every channel's tail: the next buffer starts from silence.
  void ClearHistory();

  // The taps of the current design (kTaps values).
  const float* Taps() const { return FTaps.data(); }

 private:
  bool EnsureHistory(int channels);

  const TMWDspKernels* FKernels;
  TMWFFT FSignal;  // one block's transform, fts2048, Scale on, ReOrder off
  TMWFFT FFilter;  // H, in the transforms' internal order
  std::array<float, kTaps> FTaps{};
  // kOverlap complex values per pair of channels: channel c is the real (c even) or imaginary
  // (c odd) part of pair c/2, the layout in which a pair is transformed together.
  std::vector<TMWComplexSingle> FHistory;
};

// The process-wide engine. Its lock is a leaf: callers may hold their own locks (the audio
// filter's filter and receive locks) but nothing is locked while it is held.
void DesignEqualizerFilter(const float* gainTable);
void EqualizePCM(uint8_t* data, size_t length, int bitsPerSample, bool& eqDirty, const float* gainTable, bool isFloat,
                 int channels);
void ClearEqualizerHistory();

}  // namespace qvr::audio
