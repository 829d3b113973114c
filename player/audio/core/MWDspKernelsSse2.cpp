// The SSE2 kernel set (the x86-64 baseline; -msse2 where the target is 32-bit x86). Like the
// AVX2 unit it defines nothing with external linkage but the table accessor and uses no inline
// library function.
#include <emmintrin.h>

#include "player/audio/core/MWDspKernels.h"

namespace qvr::audio {
namespace {

struct Sse2 {
  using R = __m128;
  static constexpr size_t kLanes = 2;
  struct TW {
    R Re, Im;
  };

  static R Load(const TMWComplexSingle* p) { return _mm_loadu_ps(&p->Re); }
  static void Store(TMWComplexSingle* p, R v) { _mm_storeu_ps(&p->Re, v); }
  static R Add(R a, R b) { return _mm_add_ps(a, b); }
  static R Sub(R a, R b) { return _mm_sub_ps(a, b); }
  static R Mul(R a, R b) { return _mm_mul_ps(a, b); }
  static R Set1(float f) { return _mm_set1_ps(f); }
  static R Swap(R v) { return _mm_shuffle_ps(v, v, _MM_SHUFFLE(2, 3, 0, 1)); }
  static R EvenSign() { return _mm_setr_ps(-0.0f, 0.0f, -0.0f, 0.0f); }
  static R OddSign() { return _mm_setr_ps(0.0f, -0.0f, 0.0f, -0.0f); }

  template <bool kInverse>
  static R MulJ(R v) {
    return _mm_xor_ps(Swap(v), kInverse ? OddSign() : EvenSign());
  }
  template <bool kInverse>
  static R AddJ(R a, R b) {
    return _mm_add_ps(a, MulJ<kInverse>(b));
  }
  template <bool kInverse>
  static R SubJ(R a, R b) {
    return _mm_sub_ps(a, MulJ<kInverse>(b));
  }
  static TW LoadTwiddles(const TMWComplexSingle* w) {
    const R v = Load(w);
    return TW{_mm_shuffle_ps(v, v, _MM_SHUFFLE(2, 2, 0, 0)), _mm_shuffle_ps(v, v, _MM_SHUFFLE(3, 3, 1, 1))};
  }
  static TW BroadcastTwiddle(const TMWComplexSingle* w) { return TW{_mm_set1_ps(w->Re), _mm_set1_ps(w->Im)}; }
  template <bool kInverse>
  static R Twiddle(R v, const TW& w) {
    const R t = _mm_mul_ps(Swap(v), w.Im);
    return _mm_add_ps(_mm_mul_ps(v, w.Re), _mm_xor_ps(t, kInverse ? OddSign() : EvenSign()));
  }
  static void StoreTransposed(TMWComplexSingle* y, R r0, R r1, R r2, R r3) {
    const __m128d a = _mm_castps_pd(r0), b = _mm_castps_pd(r1), c = _mm_castps_pd(r2), d = _mm_castps_pd(r3);
    double* out = reinterpret_cast<double*>(y);
    _mm_storeu_pd(out, _mm_unpacklo_pd(a, b));
    _mm_storeu_pd(out + 2, _mm_unpacklo_pd(c, d));
    _mm_storeu_pd(out + 4, _mm_unpackhi_pd(a, b));
    _mm_storeu_pd(out + 6, _mm_unpackhi_pd(c, d));
  }
};

#include "player/audio/core/MWDspKernelsSimd.inc"

void ScaleSingles(uint8_t* values, size_t count, float gain) {
  const __m128 g = _mm_set1_ps(gain);
  float* v = reinterpret_cast<float*>(values);  // only ever touched through unaligned intrinsics
  size_t i = 0;
  for (; i + 4 <= count; i += 4) _mm_storeu_ps(v + i, _mm_mul_ps(_mm_loadu_ps(v + i), g));
  if (i < count) MWScalarKernels().ScaleSingles(values + 4 * i, count - i, gain);
}

void Int16ToSingles(const uint8_t* src, float* dst, size_t count) {
  size_t i = 0;
  for (; i + 8 <= count; i += 8) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 2 * i));
    // Each 16-bit value into the upper half of a 32-bit lane, then an arithmetic shift down.
    _mm_storeu_ps(dst + i, _mm_cvtepi32_ps(_mm_srai_epi32(_mm_unpacklo_epi16(v, v), 16)));
    _mm_storeu_ps(dst + i + 4, _mm_cvtepi32_ps(_mm_srai_epi32(_mm_unpackhi_epi16(v, v), 16)));
  }
  if (i < count) MWScalarKernels().Int16ToSingles(src + 2 * i, dst + i, count - i);
}

void SinglesToInt16(const float* src, uint8_t* dst, size_t count) {
  const __m128 lo = _mm_set1_ps(-32768.0f), hi = _mm_set1_ps(32767.0f);
  size_t i = 0;
  for (; i + 8 <= count; i += 8) {
    const __m128 a = _mm_min_ps(_mm_max_ps(_mm_loadu_ps(src + i), lo), hi);
    const __m128 b = _mm_min_ps(_mm_max_ps(_mm_loadu_ps(src + i + 4), lo), hi);
    const __m128i packed = _mm_packs_epi32(_mm_cvtps_epi32(a), _mm_cvtps_epi32(b));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 2 * i), packed);
  }
  if (i < count) MWScalarKernels().SinglesToInt16(src + i, dst + 2 * i, count - i);
}

constexpr TMWDspKernels kSse2Kernels = {
    "sse2", SimdForward<Sse2>, SimdInverse<Sse2>, SimdMultiplySpectra<Sse2>, ScaleSingles, Int16ToSingles,
    SinglesToInt16};

}  // namespace

const TMWDspKernels& detail::Sse2KernelTable() { return kSse2Kernels; }

}  // namespace qvr::audio
