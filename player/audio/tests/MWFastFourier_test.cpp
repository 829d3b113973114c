#include "player/audio/core/MWFastFourier.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstring>
#include <limits>
#include <numbers>
#include <vector>

#include "player/audio/tests/DspTestSupport.h"

namespace {

using namespace qvr::audio;
using qvr::audio::testing::AvailableKernelSets;
using qvr::audio::testing::TRandom;
using Cd = std::complex<double>;

TMWFFTSize SizeOf(int ordinal) { return static_cast<TMWFFTSize>(ordinal); }

// X[k] = Σ x[n]·e^(sign·2πi·kn/N) in double precision, the angle reduced exactly. Plain
// doubles in the inner loop keep the unoptimised sanitizer build quick.
std::vector<Cd> Dft(const std::vector<Cd>& x, int sign) {
  const size_t n = x.size();
  std::vector<double> cosines(n), sines(n), re(n), im(n);
  for (size_t i = 0; i < n; ++i) {
    const double angle = sign * 2.0 * std::numbers::pi * static_cast<double>(i) / static_cast<double>(n);
    cosines[i] = std::cos(angle);
    sines[i] = std::sin(angle);
    re[i] = x[i].real();
    im[i] = x[i].imag();
  }
  const double *c = cosines.data(), *s = sines.data(), *xr = re.data(), *xi = im.data();
  std::vector<Cd> out(n);
  for (size_t k = 0; k < n; ++k) {
    double sumRe = 0, sumIm = 0;
    for (size_t j = 0, at = 0; j < n; ++j, at = (at + k) & (n - 1)) {
      sumRe += xr[j] * c[at] - xi[j] * s[at];
      sumIm += xr[j] * s[at] + xi[j] * c[at];
    }
    out[k] = Cd(sumRe, sumIm);
  }
  return out;
}

std::vector<Cd> RandomSignal(size_t n, uint64_t seed) {
  TRandom random(seed);
  std::vector<Cd> x(n);
  for (Cd& v : x) v = Cd(random.Uniform(), random.Uniform());
  return x;
}

void Put(TMWFFT& fft, const std::vector<Cd>& x) {
  for (size_t i = 0; i < x.size(); ++i)
    fft.Data()[i] = TMWComplexSingle{static_cast<float>(x[i].real()), static_cast<float>(x[i].imag())};
}

std::vector<Cd> Get(const TMWFFT& fft, size_t n) {
  std::vector<Cd> x(n);
  for (size_t i = 0; i < n; ++i) x[i] = Cd(fft.Data()[i].Re, fft.Data()[i].Im);
  return x;
}

// ||a - b|| / ||b||.
double RelativeError(const std::vector<Cd>& a, const std::vector<Cd>& b) {
  double err = 0, ref = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    err += std::norm(a[i] - b[i]);
    ref += std::norm(b[i]);
  }
  return std::sqrt(err / ref);
}

// Float FFTs of this kind stay near 1e-7·sqrt(log2 N) relative RMS error; the bound leaves a
// factor of about ten and still catches a single wrong twiddle or butterfly.
double Bound(unsigned log2n) { return 4e-7 * std::sqrt(static_cast<double>(log2n)) + 2e-7; }

// A fresh object: zeroed data, 512 points in natural order, a scaled inverse, the best kernels.
TEST(MWFFT, FreshObjectTransforms512PointsInNaturalOrderAndRoundTrips) {
  TMWFFT fft;
  EXPECT_EQ(&MWActiveKernels(), &fft.Kernels());
  EXPECT_TRUE(fft.ReOrder());  // what callers read to learn the order; the kernels sort themselves
  for (size_t i = 0; i < kMWFFTMaxPoints; ++i)
    ASSERT_TRUE(fft.Data()[i].Re == 0.0f && fft.Data()[i].Im == 0.0f) << i;
  fft.Data()[1] = TMWComplexSingle{1.0f, 0.0f};
  fft.Forward();
  for (size_t k = 0; k < 512; k += 37) {  // bin k holds e^(2πik/512)
    const double angle = 2.0 * std::numbers::pi * static_cast<double>(k) / 512.0;
    EXPECT_NEAR(std::cos(angle), fft.Data()[k].Re, 1e-6) << k;
    EXPECT_NEAR(std::sin(angle), fft.Data()[k].Im, 1e-6) << k;
  }
  EXPECT_EQ(0.0f, fft.Data()[512].Re);
  fft.Inverse();
  EXPECT_NEAR(1.0, fft.Data()[1].Re, 1e-6);
  EXPECT_NEAR(0.0, fft.Data()[0].Re, 1e-6);
}

TEST(MWFFT, SizeIntIsThePointCount) {
  TMWFFT fft;
  fft.SetFFTSize(TMWFFTSize::fts2);
  EXPECT_EQ(2, fft.FFTSizeInt());
  fft.SetFFTSize(TMWFFTSize::fts2048);
  EXPECT_EQ(2048, fft.FFTSizeInt());
  fft.SetFFTSize(TMWFFTSize::fts8192);
  EXPECT_EQ(8192, fft.FFTSizeInt());
  fft.SetFFTSize(SizeOf(13));
  EXPECT_EQ(0, fft.FFTSizeInt());
}

TEST(MWFFT, UnsupportedSizesLeaveDataAlone) {
  for (const int ordinal : {-1, 13, 100}) {
    TMWFFT fft;
    fft.SetFFTSize(SizeOf(ordinal));
    for (size_t i = 0; i < kMWFFTMaxPoints; ++i) fft.Data()[i] = TMWComplexSingle{static_cast<float>(i), -1.0f};
    fft.Forward();
    fft.Inverse();
    for (size_t i = 0; i < kMWFFTMaxPoints; ++i) {
      ASSERT_EQ(static_cast<float>(i), fft.Data()[i].Re) << ordinal;
      ASSERT_EQ(-1.0f, fft.Data()[i].Im) << ordinal;
    }
  }
}

TEST(MWFFT, ClearZeroesAllOfData) {
  TMWFFT fft;
  fft.SetFFTSize(TMWFFTSize::fts4);
  for (size_t i = 0; i < kMWFFTMaxPoints; ++i) fft.Data()[i] = TMWComplexSingle{1.0f, 2.0f};
  fft.Clear();
  for (size_t i = 0; i < kMWFFTMaxPoints; ++i) ASSERT_TRUE(fft.Data()[i].Re == 0.0f && fft.Data()[i].Im == 0.0f) << i;
}

TEST(MWFFT, ForwardUsesThePositiveExponent) {
  for (const TMWDspKernels* kernels : AvailableKernelSets()) {
    TMWFFT fft(*kernels);
    fft.SetFFTSize(TMWFFTSize::fts4);
    fft.Data()[1] = TMWComplexSingle{1.0f, 0.0f};
    fft.Forward();
    const TMWComplexSingle expected[4] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}};
    for (int k = 0; k < 4; ++k) {
      EXPECT_EQ(expected[k].Re, fft.Data()[k].Re) << kernels->Name << " bin " << k;
      EXPECT_EQ(expected[k].Im, fft.Data()[k].Im) << kernels->Name << " bin " << k;
    }
  }
}

// Both directions, every size, every kernel set, against the double-precision DFT; and every
// SIMD set against the plain one.
TEST(MWFFT, MatchesTheDoublePrecisionDftOnEverySize) {
  const auto sets = AvailableKernelSets();
  for (int ordinal = 0; ordinal < kMWFFTSizeCount; ++ordinal) {
    const unsigned log2n = static_cast<unsigned>(ordinal) + 1;
    const size_t n = size_t{1} << log2n;
    const std::vector<Cd> x = RandomSignal(n, 100 + log2n);
    const std::vector<Cd> forward = Dft(x, +1);
    std::vector<Cd> inverse = Dft(x, -1);
    for (Cd& v : inverse) v /= static_cast<double>(n);

    std::vector<Cd> scalarForward, scalarInverse;
    for (const TMWDspKernels* kernels : sets) {
      SCOPED_TRACE(::testing::Message() << kernels->Name << " N=" << n);
      TMWFFT fft(*kernels);
      fft.SetFFTSize(SizeOf(ordinal));
      Put(fft, x);
      fft.Forward();
      const std::vector<Cd> gotForward = Get(fft, n);
      EXPECT_LT(RelativeError(gotForward, forward), Bound(log2n));
      Put(fft, x);
      fft.Inverse();
      const std::vector<Cd> gotInverse = Get(fft, n);
      EXPECT_LT(RelativeError(gotInverse, inverse), Bound(log2n));
      if (kernels == &MWScalarKernels()) {
        scalarForward = gotForward;
        scalarInverse = gotInverse;
      } else {
        EXPECT_LT(RelativeError(gotForward, scalarForward), Bound(log2n));
        EXPECT_LT(RelativeError(gotInverse, scalarInverse), Bound(log2n));
      }
    }
  }
}

TEST(MWFFT, RoundTripsWithAndWithoutScaleAndReOrder) {
  for (const TMWDspKernels* kernels : AvailableKernelSets()) {
    for (int ordinal = 0; ordinal < kMWFFTSizeCount; ++ordinal) {
      const unsigned log2n = static_cast<unsigned>(ordinal) + 1;
      const size_t n = size_t{1} << log2n;
      const std::vector<Cd> x = RandomSignal(n, 7 * log2n);
      for (const bool reOrder : {true, false}) {
        for (const bool scale : {true, false}) {
          SCOPED_TRACE(::testing::Message() << kernels->Name << " N=" << n << " ReOrder=" << reOrder << " Scale=" << scale);
          TMWFFT fft(*kernels);
          fft.SetFFTSize(SizeOf(ordinal));
          fft.SetReOrder(reOrder);
          fft.SetScale(scale);
          Put(fft, x);
          fft.Forward();
          fft.Inverse();
          std::vector<Cd> expected = x;
          if (!scale)
            for (Cd& v : expected) v *= static_cast<double>(n);
          EXPECT_LT(RelativeError(Get(fft, n), expected), 2 * Bound(log2n));
        }
      }
    }
  }
}

// Spectra left in internal order multiply bin by bin: the round trip is a circular convolution.
TEST(MWFFT, InternalOrderSpectraMultiplyIntoCircularConvolution) {
  constexpr size_t kN = 512;
  const std::vector<Cd> a = RandomSignal(kN, 1), b = RandomSignal(kN, 2);
  std::vector<Cd> expected(kN);
  for (size_t i = 0; i < kN; ++i)
    for (size_t j = 0; j < kN; ++j) expected[(i + j) % kN] += a[i] * b[j];
  for (const TMWDspKernels* kernels : AvailableKernelSets()) {
    TMWFFT fa(*kernels), fb(*kernels);
    for (TMWFFT* f : {&fa, &fb}) {
      f->SetFFTSize(TMWFFTSize::fts512);
      f->SetReOrder(false);
    }
    Put(fa, a);
    Put(fb, b);
    fa.Forward();
    fb.Forward();
    kernels->MultiplySpectra(fa.Data(), fb.Data(), kN);
    fa.Inverse();
    EXPECT_LT(RelativeError(Get(fa, kN), expected), Bound(9)) << kernels->Name;
  }
}

// 1/N multiplies the inputs of Inverse before any sum: a spectrum near the float limit comes
// back finite, where scaling the output would already have overflowed.
TEST(MWFFT, InverseScalesItsInputsFirst) {
  constexpr float kHuge = 1e38f;
  for (const TMWDspKernels* kernels : AvailableKernelSets()) {
    TMWFFT fft(*kernels);
    fft.SetFFTSize(TMWFFTSize::fts2048);
    for (size_t k = 0; k < 2048; ++k) fft.Data()[k] = TMWComplexSingle{kHuge, 0.0f};
    fft.Inverse();
    EXPECT_NEAR(kHuge, fft.Data()[0].Re, kHuge * 1e-6) << kernels->Name;
    for (size_t i = 1; i < 2048; ++i) {
      ASSERT_LT(std::fabs(fft.Data()[i].Re), kHuge * 1e-6) << kernels->Name << " " << i;
      ASSERT_LT(std::fabs(fft.Data()[i].Im), kHuge * 1e-6) << kernels->Name << " " << i;
    }
  }
}

// The processor's own report, through the compiler's run-time, not the dispatcher's test.
TEST(MWDspKernels, ActiveSetIsTheBestTheProcessorRuns) {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_cpu_init();
  const char* best = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma") ? "avx2+fma"
                     : __builtin_cpu_supports("sse2")                                ? "sse2"
                                                                                     : "scalar";
#else
  const char* best = "scalar";
#endif
  EXPECT_STREQ(best, MWActiveKernels().Name);
}

}  // namespace
