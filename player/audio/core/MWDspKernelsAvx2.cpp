// The AVX2+FMA kernel set. This unit alone is compiled with -mavx2 -mfma; it defines nothing
// with external linkage but the table accessor and uses no inline library function (<cmath>,
// <algorithm>...), so no AVX code can be picked by the linker for a baseline caller.
#include <immintrin.h>

#include "player/audio/core/MWDspKernels.h"

namespace qvr::audio {
namespace {

struct Avx2 {
  using R = __m256;
  static constexpr size_t kLanes = 4;
  struct TW {
    R Re, Im;
  };

  static R Load(const TMWComplexSingle* p) { return _mm256_loadu_ps(&p->Re); }
  static void Store(TMWComplexSingle* p, R v) { _mm256_storeu_ps(&p->Re, v); }
  static R Add(R a, R b) { return _mm256_add_ps(a, b); }
  static R Sub(R a, R b) { return _mm256_sub_ps(a, b); }
  static R Mul(R a, R b) { return _mm256_mul_ps(a, b); }
  static R Set1(float f) { return _mm256_set1_ps(f); }
  static R Swap(R v) { return _mm256_permute_ps(v, 0xB1); }  // (re, im) -> (im, re)

  template <bool kInverse>
  static R MulJ(R v) {
    const R sign = kInverse ? _mm256_setr_ps(0.0f, -0.0f, 0.0f, -0.0f, 0.0f, -0.0f, 0.0f, -0.0f)
                            : _mm256_setr_ps(-0.0f, 0.0f, -0.0f, 0.0f, -0.0f, 0.0f, -0.0f, 0.0f);
    return _mm256_xor_ps(Swap(v), sign);
  }
  // a + i·b = (a.re - b.im, a.im + b.re) is addsub(a, swap(b)); a - i·b is the mirror image,
  // an fmsubadd with a factor of one (exact: a single rounding, as an add).
  static R PlusI(R a, R b) { return _mm256_addsub_ps(a, Swap(b)); }
  static R MinusI(R a, R b) { return _mm256_fmsubadd_ps(a, _mm256_set1_ps(1.0f), Swap(b)); }
  template <bool kInverse>
  static R AddJ(R a, R b) {
    return kInverse ? MinusI(a, b) : PlusI(a, b);
  }
  template <bool kInverse>
  static R SubJ(R a, R b) {
    return kInverse ? PlusI(a, b) : MinusI(a, b);
  }
  static TW LoadTwiddles(const TMWComplexSingle* w) {
    const R v = Load(w);
    return TW{_mm256_moveldup_ps(v), _mm256_movehdup_ps(v)};
  }
  static TW BroadcastTwiddle(const TMWComplexSingle* w) {
    return TW{_mm256_broadcast_ss(&w->Re), _mm256_broadcast_ss(&w->Im)};
  }
  template <bool kInverse>
  static R Twiddle(R v, const TW& w) {
    const R t = _mm256_mul_ps(Swap(v), w.Im);
    return kInverse ? _mm256_fmsubadd_ps(v, w.Re, t) : _mm256_fmaddsub_ps(v, w.Re, t);
  }
  static void StoreTransposed(TMWComplexSingle* y, R r0, R r1, R r2, R r3) {
    // Complex values are 64-bit units: a 4x4 transpose of doubles.
    const __m256d a = _mm256_castps_pd(r0), b = _mm256_castps_pd(r1), c = _mm256_castps_pd(r2), d = _mm256_castps_pd(r3);
    const __m256d ab02 = _mm256_unpacklo_pd(a, b), ab13 = _mm256_unpackhi_pd(a, b);
    const __m256d cd02 = _mm256_unpacklo_pd(c, d), cd13 = _mm256_unpackhi_pd(c, d);
    double* out = reinterpret_cast<double*>(y);
    _mm_storeu_pd(out, _mm256_castpd256_pd128(ab02));
    _mm_storeu_pd(out + 2, _mm256_castpd256_pd128(cd02));
    _mm_storeu_pd(out + 4, _mm256_castpd256_pd128(ab13));
    _mm_storeu_pd(out + 6, _mm256_castpd256_pd128(cd13));
    _mm_storeu_pd(out + 8, _mm256_extractf128_pd(ab02, 1));
    _mm_storeu_pd(out + 10, _mm256_extractf128_pd(cd02, 1));
    _mm_storeu_pd(out + 12, _mm256_extractf128_pd(ab13, 1));
    _mm_storeu_pd(out + 14, _mm256_extractf128_pd(cd13, 1));
  }
};

#include "player/audio/core/MWDspKernelsSimd.inc"

void ScaleSingles(uint8_t* values, size_t count, float gain) {
  const __m256 g = _mm256_set1_ps(gain);
  float* v = reinterpret_cast<float*>(values);  // only ever touched through unaligned intrinsics
  size_t i = 0;
  for (; i + 8 <= count; i += 8) _mm256_storeu_ps(v + i, _mm256_mul_ps(_mm256_loadu_ps(v + i), g));
  if (i < count) MWScalarKernels().ScaleSingles(values + 4 * i, count - i, gain);
}

void Int16ToSingles(const uint8_t* src, float* dst, size_t count) {
  size_t i = 0;
  for (; i + 8 <= count; i += 8) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 2 * i));
    _mm256_storeu_ps(dst + i, _mm256_cvtepi32_ps(_mm256_cvtepi16_epi32(v)));
  }
  if (i < count) MWScalarKernels().Int16ToSingles(src + 2 * i, dst + i, count - i);
}

void SinglesToInt16(const float* src, uint8_t* dst, size_t count) {
  const __m256 lo = _mm256_set1_ps(-32768.0f), hi = _mm256_set1_ps(32767.0f);
  size_t i = 0;
  for (; i + 16 <= count; i += 16) {
    // maxps gives its second operand for a NaN: the lower bound, as the plain kernel.
    const __m256 a = _mm256_min_ps(_mm256_max_ps(_mm256_loadu_ps(src + i), lo), hi);
    const __m256 b = _mm256_min_ps(_mm256_max_ps(_mm256_loadu_ps(src + i + 8), lo), hi);
    // cvtps2dq rounds as MXCSR says: to nearest, ties to even.
    const __m256i packed = _mm256_packs_epi32(_mm256_cvtps_epi32(a), _mm256_cvtps_epi32(b));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + 2 * i), _mm256_permute4x64_epi64(packed, 0xD8));
  }
  if (i < count) MWScalarKernels().SinglesToInt16(src + i, dst + 2 * i, count - i);
}

constexpr TMWDspKernels kAvx2FmaKernels = {
    "avx2+fma", SimdForward<Avx2>, SimdInverse<Avx2>, SimdMultiplySpectra<Avx2>, ScaleSingles, Int16ToSingles,
    SinglesToInt16};

}  // namespace

const TMWDspKernels& detail::Avx2FmaKernelTable() { return kAvx2FmaKernels; }

}  // namespace qvr::audio
