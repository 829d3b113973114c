// Shared by the DSP tests: every kernel set this processor runs, and a deterministic generator.
#pragma once

#include <cstdint>
#include <vector>

#include "player/audio/core/MWDspKernels.h"

namespace qvr::audio::testing {

inline std::vector<const TMWDspKernels*> AvailableKernelSets() {
  std::vector<const TMWDspKernels*> sets{&MWScalarKernels()};
  if (const TMWDspKernels* sse2 = MWSse2Kernels()) sets.push_back(sse2);
  if (const TMWDspKernels* avx2 = MWAvx2FmaKernels()) sets.push_back(avx2);
  return sets;
}

// xorshift: the same numbers on every platform and compiler.
class TRandom {
 public:
  explicit TRandom(uint64_t seed) : FState(seed * 2654435761u + 1) {}
  uint64_t Next() {
    FState ^= FState << 13;
    FState ^= FState >> 7;
    FState ^= FState << 17;
    return FState;
  }
  // Uniform in [-1, 1).
  double Uniform() { return static_cast<double>(Next() >> 11) / 4503599627370496.0 - 1.0; }
  int64_t Between(int64_t lo, int64_t hi) { return lo + static_cast<int64_t>(Next() % static_cast<uint64_t>(hi - lo + 1)); }

 private:
  uint64_t FState;
};

}  // namespace qvr::audio::testing
