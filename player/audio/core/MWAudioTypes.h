// Types shared by the audio DSP: the FFT sizes and the complex sample the transforms work on.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qvr::audio {

// Point count 2^(ordinal + 1). A value cast from outside 0..12 is "unsupported": the FFT does
// nothing with it.
enum class TMWFFTSize : int8_t {
  fts2,
  fts4,
  fts8,
  fts16,
  fts32,
  fts64,
  fts128,
  fts256,
  fts512,
  fts1024,
  fts2048,
  fts4096,
  fts8192
};

inline constexpr int kMWFFTSizeCount = 13;
inline constexpr size_t kMWFFTMaxPoints = 8192;

// log2 of the point count, or 0 for an unsupported size.
constexpr unsigned MWFFTLog2Points(TMWFFTSize size) {
  const int ordinal = static_cast<int>(size);
  return ordinal >= 0 && ordinal < kMWFFTSizeCount ? static_cast<unsigned>(ordinal) + 1 : 0;
}

// One complex value as the transforms store it: real then imaginary, two 32-bit floats, so
// that an array of n values is also 2n interleaved floats (the kernels rely on it).
struct TMWComplexSingle {
  float Re;
  float Im;
};
static_assert(sizeof(TMWComplexSingle) == 2 * sizeof(float) && alignof(TMWComplexSingle) == alignof(float));

}  // namespace qvr::audio
