// The DSP's inner loops in processor-specific sets: a plain one, SSE2 (the x86-64 baseline) and
// AVX2+FMA. `MWActiveKernels` picks the best set the processor and the operating system support,
// once, when the program starts; TMWFFT and the equaliser take their set from there unless a
// test or a benchmark hands them another one. Every set gives the plain set's results up to
// float rounding.
//
// The transforms are radix-4 Stockham passes (the last one radix-2, or radix-8 in the SIMD sets,
// for odd powers of two) that alternate between the data and a work buffer and sort themselves:
// input and output are both in natural order, so no bit-reversal permutation is ever needed.
//
// The tables and the sets are immutable once built and may be used from any thread; each call
// works only on the buffers it is given.
#pragma once

#include <cstddef>
#include <cstdint>

#include "player/audio/core/MWAudioTypes.h"

namespace qvr::audio {

// Twiddles of the radix-4 pass over sub-transforms of n = 2^log2n points (log2n 3..13):
// W1[p], W2[p], W3[p] = e^(+2πi·k·p/n) for k = 1, 2, 3 and p = 0..n/4 - 1.
struct TMWTwiddles {
  const TMWComplexSingle* W1;
  const TMWComplexSingle* W2;
  const TMWComplexSingle* W3;
};
const TMWTwiddles& MWFFTTwiddles(unsigned log2n);

struct TMWDspKernels {
  const char* Name;
  // data[k] := Σ data[n]·e^(+2πi·kn/N), N = 2^log2n (1..13); `work` holds N values of scratch.
  void (*Forward)(TMWComplexSingle* data, TMWComplexSingle* work, unsigned log2n);
  // data[n] := Σ (scale·data[k])·e^(-2πi·kn/N): each input is multiplied by `scale` before
  // anything else happens to it, exactly as a separate scaling pass would.
  void (*Inverse)(TMWComplexSingle* data, TMWComplexSingle* work, unsigned log2n, float scale);
  // x[k] := x[k]·h[k] (complex).
  void (*MultiplySpectra)(TMWComplexSingle* x, const TMWComplexSingle* h, size_t count);
  // Each of `count` floats at `values` (any alignment) := itself·gain.
  void (*ScaleSingles)(uint8_t* values, size_t count, float gain);
  // Signed 16-bit little-endian samples (any alignment) to floats and back; the way back clamps
  // to -32768..32767 and rounds to nearest, ties to even (a NaN becomes -32768).
  void (*Int16ToSingles)(const uint8_t* src, float* dst, size_t count);
  void (*SinglesToInt16)(const float* src, uint8_t* dst, size_t count);
};

const TMWDspKernels& MWScalarKernels();
const TMWDspKernels* MWSse2Kernels();     // null where the processor lacks SSE2
const TMWDspKernels* MWAvx2FmaKernels();  // null without AVX2, FMA and the OS saving YMM state
const TMWDspKernels& MWActiveKernels();   // the best of the above, chosen once

// The SIMD sets themselves, for the dispatcher only: calling one where the processor lacks its
// instructions faults.
namespace detail {
const TMWDspKernels& Sse2KernelTable();
const TMWDspKernels& Avx2FmaKernelTable();
}  // namespace detail

}  // namespace qvr::audio
