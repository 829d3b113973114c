// TMWFFT: an in-place complex FFT of 2..8192 points on single-precision data.
//
//   Forward: X[k] = Σ x[n]·e^(+2πi·kn/N), no scaling.
//   Inverse: x[n] = (1/N)·Σ X[k]·e^(-2πi·kn/N) with Scale, without the 1/N otherwise. The 1/N
//            multiplies the inputs before anything else touches them.
//
// ReOrder chooses between natural bin order and the kernels' internal order. Our kernels are
// self-sorting, so the internal order is the natural one and ReOrder changes nothing; it stays a
// property because callers state with it which order they need (the equaliser's spectra are
// only ever multiplied bin by bin and may stay in internal order).
//
// An object owns its 64 KiB Data and an equal work buffer, allocated once and zeroed at
// creation; transforms allocate nothing. The twiddle tables and the kernel set are process-wide
// and read-only. One object is used by one thread at a time; distinct objects are independent.
#pragma once

#include <memory>

#include "player/audio/core/MWAudioTypes.h"
#include "player/audio/core/MWDspKernels.h"

namespace qvr::audio {

class TMWFFT {
 public:
  TMWFFT();  // the kernels chosen for this processor
  explicit TMWFFT(const TMWDspKernels& kernels);
  TMWFFT(const TMWFFT&) = delete;
  TMWFFT& operator=(const TMWFFT&) = delete;
  ~TMWFFT();

  // 8192 values; transforms use the first FFTSizeInt().
  TMWComplexSingle* Data() { return FBuffers->Data; }
  const TMWComplexSingle* Data() const { return FBuffers->Data; }

  bool Scale() const { return FScale; }
  void SetScale(bool scale) { FScale = scale; }
  bool ReOrder() const { return FReOrder; }
  void SetReOrder(bool reOrder) { FReOrder = reOrder; }
  TMWFFTSize FFTSize() const { return FFFTSize; }
  void SetFFTSize(TMWFFTSize size) { FFFTSize = size; }
  // 2^(ordinal + 1); 0 for an unsupported size.
  int FFTSizeInt() const;

  // Both do nothing for an unsupported size.
  void Forward();
  void Inverse();
  // Zeroes all 8192 values of Data.
  void Clear();

  const TMWDspKernels& Kernels() const { return *FKernels; }

 private:
  struct alignas(64) TBuffers {
    TMWComplexSingle Data[kMWFFTMaxPoints];
    // The padding keeps Data and Work from sharing cache sets at equal offsets, which the
    // transforms' ping-pong between them would otherwise keep hitting.
    TMWComplexSingle Padding[32];
    TMWComplexSingle Work[kMWFFTMaxPoints];
  };

  std::unique_ptr<TBuffers> FBuffers;
  const TMWDspKernels* FKernels;
  TMWFFTSize FFFTSize = TMWFFTSize::fts512;
  bool FScale = true;
  bool FReOrder = true;
};

}  // namespace qvr::audio
