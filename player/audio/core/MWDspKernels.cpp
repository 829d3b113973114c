// The plain kernel set, the shared twiddle tables and the choice of the set by CPUID.
#include "player/audio/core/MWDspKernels.h"

#include <array>
#include <cmath>
#include <cstring>
#include <numbers>
#include <utility>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#define QVR_DSP_X86 1
#endif

namespace qvr::audio {
namespace {

using C = TMWComplexSingle;

constexpr unsigned kMinTwiddleLog2 = 3;
constexpr unsigned kMaxLog2 = 13;

// One block for every pass size: built once, never changed, shared by all transforms.
class TTwiddleTables {
 public:
  TTwiddleTables() {
    size_t total = 0;
    for (unsigned l = kMinTwiddleLog2; l <= kMaxLog2; ++l) total += 3 * (size_t{1} << l) / 4;
    FValues.resize(total);
    C* at = FValues.data();
    for (unsigned l = kMinTwiddleLog2; l <= kMaxLog2; ++l) {
      const size_t n = size_t{1} << l;
      const size_t n4 = n / 4;
      C* w[3] = {at, at + n4, at + 2 * n4};
      FTables[l] = TMWTwiddles{w[0], w[1], w[2]};
      for (size_t k = 0; k < 3; ++k) {
        for (size_t p = 0; p < n4; ++p) {
          // The angle from the exact residue keeps large k·p as accurate as small ones.
          const double angle = 2.0 * std::numbers::pi * static_cast<double>(((k + 1) * p) % n) / static_cast<double>(n);
          w[k][p] = C{static_cast<float>(std::cos(angle)), static_cast<float>(std::sin(angle))};
        }
      }
      at += 3 * n4;
    }
  }
  const TMWTwiddles& Get(unsigned log2n) const { return FTables[log2n]; }

 private:
  std::vector<C> FValues;
  std::array<TMWTwiddles, kMaxLog2 + 1> FTables{};
};

C Add(C a, C b) { return C{a.Re + b.Re, a.Im + b.Im}; }
C Sub(C a, C b) { return C{a.Re - b.Re, a.Im - b.Im}; }
C Mul(C a, C b) { return C{a.Re * b.Re - a.Im * b.Im, a.Im * b.Re + a.Re * b.Im}; }
C MulConj(C a, C b) { return C{a.Re * b.Re + a.Im * b.Im, a.Im * b.Re - a.Re * b.Im}; }

// The quarter turn of the radix-4 butterfly: +i forward, -i inverse.
template <bool kInverse>
C QuarterTurn(C a) {
  return kInverse ? C{a.Im, -a.Re} : C{-a.Im, a.Re};
}

template <bool kInverse>
C Twiddle(C a, C w) {
  return kInverse ? MulConj(a, w) : Mul(a, w);
}

// One Stockham pass over N/n sub-transforms of n points, interleaved with stride s (n·s = N):
// reads x[q + s·(p + t·n/4)], writes y[q + s·(4p + r)].
template <bool kInverse>
void Radix4Pass(const C* x, C* y, size_t n, size_t s, const TMWTwiddles& tw) {
  const size_t n4 = n / 4;
  for (size_t p = 0; p < n4; ++p) {
    const C w1 = tw.W1[p], w2 = tw.W2[p], w3 = tw.W3[p];
    const C* x0 = x + s * p;
    const C* x1 = x0 + s * n4;
    const C* x2 = x1 + s * n4;
    const C* x3 = x2 + s * n4;
    C* y0 = y + s * 4 * p;
    for (size_t q = 0; q < s; ++q) {
      const C apc = Add(x0[q], x2[q]), amc = Sub(x0[q], x2[q]);
      const C bpd = Add(x1[q], x3[q]), jbmd = QuarterTurn<kInverse>(Sub(x1[q], x3[q]));
      y0[q] = Add(apc, bpd);
      y0[q + s] = Twiddle<kInverse>(Add(amc, jbmd), w1);
      y0[q + 2 * s] = Twiddle<kInverse>(Sub(apc, bpd), w2);
      y0[q + 3 * s] = Twiddle<kInverse>(Sub(amc, jbmd), w3);
    }
  }
}

// The last pass has no twiddles and reads each output's inputs from the output's own
// positions, so it may run in place (x == y).
template <bool kInverse>
void FinalPass(const C* x, C* y, size_t n, size_t s) {
  if (n == 2) {
    for (size_t q = 0; q < s; ++q) {
      const C a = x[q], b = x[q + s];
      y[q] = Add(a, b);
      y[q + s] = Sub(a, b);
    }
    return;
  }
  for (size_t q = 0; q < s; ++q) {
    const C a = x[q], b = x[q + s], c = x[q + 2 * s], d = x[q + 3 * s];
    const C apc = Add(a, c), amc = Sub(a, c), bpd = Add(b, d), jbmd = QuarterTurn<kInverse>(Sub(b, d));
    y[q] = Add(apc, bpd);
    y[q + s] = Add(amc, jbmd);
    y[q + 2 * s] = Sub(apc, bpd);
    y[q + 3 * s] = Sub(amc, jbmd);
  }
}

template <bool kInverse>
void Transform(C* data, C* work, unsigned log2n) {
  C* x = data;
  C* y = work;
  size_t n = size_t{1} << log2n;
  size_t s = 1;
  for (unsigned l = log2n; l >= kMinTwiddleLog2; l -= 2) {
    Radix4Pass<kInverse>(x, y, n, s, MWFFTTwiddles(l));
    std::swap(x, y);
    n /= 4;
    s *= 4;
  }
  FinalPass<kInverse>(x, data, n, s);
}

void ScalarForward(C* data, C* work, unsigned log2n) { Transform<false>(data, work, log2n); }

void ScalarInverse(C* data, C* work, unsigned log2n, float scale) {
  const size_t count = size_t{1} << log2n;
  for (size_t i = 0; i < count; ++i) data[i] = C{data[i].Re * scale, data[i].Im * scale};
  Transform<true>(data, work, log2n);
}

void ScalarMultiplySpectra(C* x, const C* h, size_t count) {
  for (size_t i = 0; i < count; ++i) x[i] = Mul(x[i], h[i]);
}

void ScalarScaleSingles(uint8_t* values, size_t count, float gain) {
  for (size_t i = 0; i < count; ++i) {
    float v;
    std::memcpy(&v, values + 4 * i, sizeof v);
    v *= gain;
    std::memcpy(values + 4 * i, &v, sizeof v);
  }
}

void ScalarInt16ToSingles(const uint8_t* src, float* dst, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    int16_t v;
    std::memcpy(&v, src + 2 * i, sizeof v);
    dst[i] = static_cast<float>(v);
  }
}

void ScalarSinglesToInt16(const float* src, uint8_t* dst, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    float v = src[i] > -32768.0f ? src[i] : -32768.0f;  // as maxps: a NaN takes the bound
    v = v < 32767.0f ? v : 32767.0f;
    const int16_t r = static_cast<int16_t>(std::nearbyint(v));
    std::memcpy(dst + 2 * i, &r, sizeof r);
  }
}

constexpr TMWDspKernels kScalarKernels = {
    "scalar", ScalarForward, ScalarInverse, ScalarMultiplySpectra, ScalarScaleSingles, ScalarInt16ToSingles,
    ScalarSinglesToInt16};

#ifdef QVR_DSP_X86
bool CpuHasSse2() {
  unsigned a, b, c, d;
  return __get_cpuid(1, &a, &b, &c, &d) && (d & bit_SSE2) != 0;
}

bool CpuHasAvx2Fma() {
  unsigned a, b, c, d;
  if (!__get_cpuid(1, &a, &b, &c, &d)) return false;
  if ((c & bit_OSXSAVE) == 0 || (c & bit_AVX) == 0 || (c & bit_FMA) == 0) return false;
  // The OS must save the YMM registers on a context switch: XCR0 bits 1 (SSE) and 2 (AVX).
  unsigned xcr0Low, xcr0High;
  __asm__ volatile("xgetbv" : "=a"(xcr0Low), "=d"(xcr0High) : "c"(0));
  if ((xcr0Low & 6u) != 6u) return false;
  if (__get_cpuid_max(0, nullptr) < 7) return false;
  __cpuid_count(7, 0, a, b, c, d);
  return (b & bit_AVX2) != 0;
}
#endif

// Built when the program starts (this object's initialiser), or earlier on first use.
[[maybe_unused]] const bool kBuiltAtStart = (MWFFTTwiddles(kMaxLog2), MWActiveKernels(), true);

}  // namespace

const TMWTwiddles& MWFFTTwiddles(unsigned log2n) {
  static const TTwiddleTables tables;
  return tables.Get(log2n);
}

const TMWDspKernels& MWScalarKernels() { return kScalarKernels; }

const TMWDspKernels* MWSse2Kernels() {
#ifdef QVR_DSP_X86
  static const bool supported = CpuHasSse2();
  return supported ? &detail::Sse2KernelTable() : nullptr;
#else
  return nullptr;
#endif
}

const TMWDspKernels* MWAvx2FmaKernels() {
#ifdef QVR_DSP_X86
  static const bool supported = CpuHasAvx2Fma();
  return supported ? &detail::Avx2FmaKernelTable() : nullptr;
#else
  return nullptr;
#endif
}

const TMWDspKernels& MWActiveKernels() {
  static const TMWDspKernels& chosen = [] () -> const TMWDspKernels& {
    if (const TMWDspKernels* avx2 = MWAvx2FmaKernels()) return *avx2;
    if (const TMWDspKernels* sse2 = MWSse2Kernels()) return *sse2;
    return kScalarKernels;
  }();
  return chosen;
}

}  // namespace qvr::audio
