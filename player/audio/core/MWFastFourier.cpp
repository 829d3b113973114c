#include "player/audio/core/MWFastFourier.h"

#include <cstring>

namespace qvr::audio {

TMWFFT::TMWFFT() : TMWFFT(MWActiveKernels()) {}

TMWFFT::TMWFFT(const TMWDspKernels& kernels) : FBuffers(std::make_unique<TBuffers>()), FKernels(&kernels) {}

TMWFFT::~TMWFFT() = default;

int TMWFFT::FFTSizeInt() const {
  const unsigned log2n = MWFFTLog2Points(FFFTSize);
  return log2n == 0 ? 0 : 1 << log2n;
}

void TMWFFT::Forward() {
  if (const unsigned log2n = MWFFTLog2Points(FFFTSize)) FKernels->Forward(FBuffers->Data, FBuffers->Work, log2n);
}

void TMWFFT::Inverse() {
  const unsigned log2n = MWFFTLog2Points(FFFTSize);
  if (log2n == 0) return;
  // 2^-log2n is exact in single precision.
  const float scale = FScale ? 1.0f / static_cast<float>(1u << log2n) : 1.0f;
  FKernels->Inverse(FBuffers->Data, FBuffers->Work, log2n, scale);
}

void TMWFFT::Clear() { std::memset(FBuffers->Data, 0, sizeof FBuffers->Data); }

}  // namespace qvr::audio
