// The DSP against its references, in one run:
//   - TMWFFT Forward and Inverse at 512, 2048 and 8192 points against FFTW single precision
//     (in-place complex, FFTW_MEASURE) on the same data, with the kernel set the dispatcher
//     chose, plus every kernel set at 2048;
//   - EqualizePCM on 10 s of 48 kHz stereo 16-bit and float PCM, in 100 ms buffers, against an
//     overlap-add equaliser of the same design built on FFTW (one complex transform pair per
//     channel and block) and against a direct-form 513-tap FIR.
// Before timing, the references are checked against ours; afterwards the ratios are printed.
#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include "player/audio/core/MWEqualizer.h"
#include "player/audio/core/MWFastFourier.h"

namespace {

using namespace qvr::audio;
using C = TMWComplexSingle;

// ---- Shared inputs -------------------------------------------------------------------------------

// Uniform in [-1, 1), from a xorshift state.
float RandomUnit(uint64_t& state) {
  state ^= state << 13;
  state ^= state >> 7;
  state ^= state << 17;
  return static_cast<float>(static_cast<double>(state >> 11) / 4503599627370496.0 - 1.0);
}

// The same values on every call: ours and FFTW transform identical data.
std::vector<C> RandomComplex(size_t n) {
  uint64_t state = 0x9E3779B97F4A7C15u;
  std::vector<C> v(n);
  for (C& c : v) c = C{RandomUnit(state), RandomUnit(state)};
  return v;
}

struct FftwBuffer {
  explicit FftwBuffer(size_t n) : Data(static_cast<fftwf_complex*>(fftwf_malloc(n * sizeof(fftwf_complex)))) {}
  ~FftwBuffer() { fftwf_free(Data); }
  FftwBuffer(const FftwBuffer&) = delete;
  FftwBuffer& operator=(const FftwBuffer&) = delete;
  fftwf_complex* Data;
};

// Repeated in-place transforms grow (or, scaled, shrink) the data by about sqrt(N) each time;
// both sides restore the same input every kRestoreEvery iterations, long before floats
// overflow or turn subnormal.
constexpr int kRestoreEvery = 8;

// ---- FFT -----------------------------------------------------------------------------------------

// Our Forward has the positive exponent (FFTW_BACKWARD), our Inverse the negative one
// (FFTW_FORWARD) and, with Scale on as the equaliser uses it, the 1/N that FFTW leaves out.
void BM_MWFFT(benchmark::State& state, const TMWDspKernels* kernels, bool inverse) {
  const size_t n = static_cast<size_t>(state.range(0));
  TMWFFT fft(kernels != nullptr ? *kernels : MWActiveKernels());
  fft.SetFFTSize(static_cast<TMWFFTSize>(std::countr_zero(n) - 1));
  const std::vector<C> input = RandomComplex(n);
  int restore = 0;
  for (auto _ : state) {
    if (restore-- == 0) {
      std::memcpy(fft.Data(), input.data(), n * sizeof(C));
      restore = kRestoreEvery - 1;
    }
    if (inverse)
      fft.Inverse();
    else
      fft.Forward();
    benchmark::ClobberMemory();
  }
  state.SetLabel(fft.Kernels().Name);
}

void BM_FFTW(benchmark::State& state, bool inverse) {
  const size_t n = static_cast<size_t>(state.range(0));
  FftwBuffer buffer(n);
  const fftwf_plan plan =
      fftwf_plan_dft_1d(static_cast<int>(n), buffer.Data, buffer.Data, inverse ? FFTW_FORWARD : FFTW_BACKWARD, FFTW_MEASURE);
  const std::vector<C> input = RandomComplex(n);
  int restore = 0;
  for (auto _ : state) {
    if (restore-- == 0) {
      std::memcpy(buffer.Data, input.data(), n * sizeof(C));
      restore = kRestoreEvery - 1;
    }
    fftwf_execute(plan);
    benchmark::ClobberMemory();
  }
  fftwf_destroy_plan(plan);
}

// ---- Equaliser -----------------------------------------------------------------------------------

constexpr int kRate = 48000;
constexpr int kChannels = 2;
constexpr size_t kSeconds = 10;
constexpr size_t kFrames = kRate * kSeconds;
constexpr size_t kBufferFrames = kRate / 10;  // 100 ms, a typical decoder buffer
constexpr std::array<int8_t, 10> kBands = {30, 15, 0, -10, -15, -10, 0, 15, 25, 30};

std::vector<float> GainTable() {
  std::vector<float> gains(kEqualizerGainTableSize, kEqualizerFlatGain);
  for (int b = 0; b < kEqualizerBandCount; ++b)
    for (int k = kEqualizerBandEdges[b]; k < kEqualizerBandEdges[b + 1]; ++k) gains[k] = BandToGain(kBands[b]);
  return gains;
}

// Music-like test signal: a few tones and noise, below full scale.
std::vector<float> TestSignal() {
  uint64_t state = 12345;
  std::vector<float> x(kFrames * kChannels);
  for (size_t i = 0; i < kFrames; ++i) {
    const double t = static_cast<double>(i) / kRate;
    for (int c = 0; c < kChannels; ++c) {
      const double v = 0.3 * std::sin(2 * std::numbers::pi * (110 + 40 * c) * t) + 0.2 * std::sin(2 * std::numbers::pi * 2500 * t) +
                       0.1 * RandomUnit(state);
      x[i * kChannels + c] = static_cast<float>(v);
    }
  }
  return x;
}

std::vector<uint8_t> AsPcm(const std::vector<float>& x, bool isFloat) {
  std::vector<uint8_t> pcm(x.size() * (isFloat ? 4 : 2));
  for (size_t i = 0; i < x.size(); ++i) {
    if (isFloat) {
      std::memcpy(&pcm[4 * i], &x[i], 4);
    } else {
      const int16_t s = static_cast<int16_t>(std::lrint(x[i] * 32767.0f));
      std::memcpy(&pcm[2 * i], &s, 2);
    }
  }
  return pcm;
}

// Interface shared by our equaliser and the two references, so one benchmark body times all.
class TEqualizer {
 public:
  virtual ~TEqualizer() = default;
  virtual void Process(uint8_t* data, size_t frames, bool isFloat) = 0;
};

// The process-wide engine through EqualizePCM, as the audio filter calls it.
class TOurEqualizer final : public TEqualizer {
 public:
  TOurEqualizer() {
    DesignEqualizerFilter(GainTable().data());
    ClearEqualizerHistory();
  }
  void Process(uint8_t* data, size_t frames, bool isFloat) override {
    bool dirty = false;
    EqualizePCM(data, frames * kChannels * (isFloat ? 4 : 2), isFloat ? 32 : 16, dirty, nullptr, isFloat, kChannels);
  }
};

// The taps every reference uses: the same design, made by an engine of its own.
const float* DesignedTaps() {
  static const auto design = [] {
    auto eq = std::make_unique<TMWEqualizer>();
    eq->DesignFilter(GainTable().data());
    return eq;
  }();
  return design->Taps();
}

float ReadSample(const uint8_t* p, bool isFloat) {
  if (isFloat) {
    float f;
    std::memcpy(&f, p, 4);
    return f;
  }
  int16_t s;
  std::memcpy(&s, p, 2);
  return s;
}

void WriteSample(uint8_t* p, float y, bool isFloat) {
  if (isFloat) {
    std::memcpy(p, &y, 4);
    return;
  }
  const int16_t s = static_cast<int16_t>(std::nearbyint(std::clamp(y, -32768.0f, 32767.0f)));
  std::memcpy(p, &s, 2);
}

// The same design on FFTW: per channel and 1536-frame block one complex 2048-point forward,
// the product with H, one backward, 1/N, overlap-add.
class TFftwEqualizer final : public TEqualizer {
 public:
  explicit TFftwEqualizer(const float* taps) : FBuffer(kN), FH(kN), FHistory(kChannels * kOverlap, 0.0f) {
    FForward = fftwf_plan_dft_1d(kN, FBuffer.Data, FBuffer.Data, FFTW_FORWARD, FFTW_MEASURE);
    FBackward = fftwf_plan_dft_1d(kN, FBuffer.Data, FBuffer.Data, FFTW_BACKWARD, FFTW_MEASURE);
    for (size_t i = 0; i < kN; ++i) FBuffer.Data[i][0] = FBuffer.Data[i][1] = 0.0f;
    for (size_t i = 0; i < TMWEqualizer::kTaps; ++i) FBuffer.Data[i][0] = taps[i];
    fftwf_execute(FForward);
    for (size_t i = 0; i < kN; ++i) FH[i] = C{FBuffer.Data[i][0], FBuffer.Data[i][1]};
  }
  ~TFftwEqualizer() override {
    fftwf_destroy_plan(FForward);
    fftwf_destroy_plan(FBackward);
  }
  void Process(uint8_t* data, size_t frames, bool isFloat) override {
    const size_t bytes = isFloat ? 4 : 2;
    fftwf_complex* x = FBuffer.Data;
    for (int c = 0; c < kChannels; ++c) {
      float* history = &FHistory[c * kOverlap];
      for (size_t start = 0; start < frames; start += kBlock) {
        const size_t m = std::min(kBlock, frames - start);
        uint8_t* first = data + (start * kChannels + c) * bytes;
        for (size_t j = 0; j < kN; ++j) {
          x[j][0] = j < m ? ReadSample(first + j * kChannels * bytes, isFloat) : 0.0f;
          x[j][1] = 0.0f;
        }
        fftwf_execute(FForward);
        for (size_t k = 0; k < kN; ++k) {
          const float re = x[k][0] * FH[k].Re - x[k][1] * FH[k].Im;
          const float im = x[k][0] * FH[k].Im + x[k][1] * FH[k].Re;
          x[k][0] = re;
          x[k][1] = im;
        }
        fftwf_execute(FBackward);
        for (size_t j = 0; j < kN; ++j) FY[j] = x[j][0] * (1.0f / kN);
        for (size_t j = 0; j < kOverlap; ++j) FY[j] += history[j];
        for (size_t j = 0; j < kOverlap; ++j) history[j] = FY[m + j];
        for (size_t j = 0; j < m; ++j) WriteSample(first + j * kChannels * bytes, FY[j], isFloat);
      }
    }
  }

 private:
  static constexpr size_t kN = TMWEqualizer::kFFTPoints;
  static constexpr size_t kBlock = TMWEqualizer::kBlockFrames;
  static constexpr size_t kOverlap = TMWEqualizer::kOverlap;
  FftwBuffer FBuffer;
  std::vector<C> FH;
  std::vector<float> FHistory;
  std::vector<float> FY = std::vector<float>(kN);
  fftwf_plan FForward, FBackward;
};

// y[n] = Σ f[k]·x[n-k], 513 multiply-adds per output sample.
class TDirectFir final : public TEqualizer {
 public:
  explicit TDirectFir(const float* taps) : FTaps(taps, taps + kTaps), FLine(kChannels, std::vector<float>(kTaps - 1 + kBufferFrames, 0.0f)) {}
  void Process(uint8_t* data, size_t frames, bool isFloat) override {
    const size_t bytes = isFloat ? 4 : 2;
    for (int c = 0; c < kChannels; ++c) {
      std::vector<float>& line = FLine[c];  // the last kTaps - 1 inputs, then this buffer's
      for (size_t j = 0; j < frames; ++j) line[kTaps - 1 + j] = ReadSample(data + (j * kChannels + c) * bytes, isFloat);
      for (size_t j = 0; j < frames; ++j) {
        float acc = 0.0f;
        for (size_t k = 0; k < kTaps; ++k) acc += FTaps[k] * line[kTaps - 1 + j - k];
        WriteSample(data + (j * kChannels + c) * bytes, acc, isFloat);
      }
      std::memmove(line.data(), line.data() + frames, (kTaps - 1) * sizeof(float));
    }
  }

 private:
  static constexpr size_t kTaps = TMWEqualizer::kTaps;
  std::vector<float> FTaps;
  std::vector<std::vector<float>> FLine;
};

enum class TEqualizerKind { Ours, Fftw, DirectFir };

std::unique_ptr<TEqualizer> MakeEqualizer(TEqualizerKind kind) {
  switch (kind) {
    case TEqualizerKind::Ours: return std::make_unique<TOurEqualizer>();
    case TEqualizerKind::Fftw: return std::make_unique<TFftwEqualizer>(DesignedTaps());
    default: return std::make_unique<TDirectFir>(DesignedTaps());
  }
}

const std::vector<float>& Signal() {
  static const std::vector<float> signal = TestSignal();
  return signal;
}

void ProcessAll(TEqualizer& eq, std::vector<uint8_t>& pcm, bool isFloat) {
  const size_t frameBytes = kChannels * (isFloat ? 4 : 2);
  for (size_t start = 0; start < kFrames; start += kBufferFrames)
    eq.Process(pcm.data() + start * frameBytes, std::min(kBufferFrames, kFrames - start), isFloat);
}

void BM_Equalizer(benchmark::State& state, TEqualizerKind kind, bool isFloat) {
  const std::vector<uint8_t> source = AsPcm(Signal(), isFloat);
  std::vector<uint8_t> pcm = source;
  const auto eq = MakeEqualizer(kind);
  for (auto _ : state) {
    state.PauseTiming();  // each pass filters the original, not the previous pass's output
    pcm = source;
    state.ResumeTiming();
    ProcessAll(*eq, pcm, isFloat);
    benchmark::ClobberMemory();
  }
}

// ---- Checks and the ratio table ------------------------------------------------------------------

void CheckFftAgainstFftw() {
  for (const size_t n : {512u, 2048u, 8192u}) {
    const std::vector<C> input = RandomComplex(n);
    TMWFFT fft;
    fft.SetFFTSize(static_cast<TMWFFTSize>(std::countr_zero(n) - 1));
    FftwBuffer buffer(n);
    const fftwf_plan plan = fftwf_plan_dft_1d(static_cast<int>(n), buffer.Data, buffer.Data, FFTW_BACKWARD, FFTW_ESTIMATE);
    std::memcpy(fft.Data(), input.data(), n * sizeof(C));
    std::memcpy(buffer.Data, input.data(), n * sizeof(C));
    fft.Forward();
    fftwf_execute(plan);
    fftwf_destroy_plan(plan);
    double err = 0, ref = 0;
    for (size_t i = 0; i < n; ++i) {
      err += std::pow(fft.Data()[i].Re - buffer.Data[i][0], 2) + std::pow(fft.Data()[i].Im - buffer.Data[i][1], 2);
      ref += std::pow(buffer.Data[i][0], 2) + std::pow(buffer.Data[i][1], 2);
    }
    std::printf("check: TMWFFT Forward vs FFTW at %zu points: relative RMS difference %.2e\n", n, std::sqrt(err / ref));
  }
}

void CheckEqualizersAgree() {
  for (const bool isFloat : {false, true}) {
    std::vector<uint8_t> ours = AsPcm(Signal(), isFloat);
    std::vector<uint8_t> fftw = ours, fir = ours;
    ProcessAll(*MakeEqualizer(TEqualizerKind::Ours), ours, isFloat);
    ProcessAll(*MakeEqualizer(TEqualizerKind::Fftw), fftw, isFloat);
    ProcessAll(*MakeEqualizer(TEqualizerKind::DirectFir), fir, isFloat);
    double maxFftw = 0, maxFir = 0;
    for (size_t i = 0; i < kFrames * kChannels; ++i) {
      const size_t at = i * (isFloat ? 4 : 2);
      const float a = ReadSample(&ours[at], isFloat);
      maxFftw = std::max(maxFftw, static_cast<double>(std::fabs(a - ReadSample(&fftw[at], isFloat))));
      maxFir = std::max(maxFir, static_cast<double>(std::fabs(a - ReadSample(&fir[at], isFloat))));
    }
    std::printf("check: EqualizePCM %s vs FFTW equaliser: max |diff| %.3g, vs direct FIR: %.3g\n", isFloat ? "float" : "16-bit",
                maxFftw, maxFir);
  }
}

// Keeps the fastest repetition of every benchmark: on a machine shared with other work the
// minimum is the figure least disturbed by it. Prints one line per benchmark as it finishes.
class TCollectingReporter : public benchmark::BenchmarkReporter {
 public:
  bool ReportContext(const Context& context) override {
    std::printf("%d CPUs at %.0f MHz; fastest of the repetitions, CPU time:\n", context.cpu_info.num_cpus,
                context.cpu_info.cycles_per_second / 1e6);
    return true;
  }
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Aggregate || run.aggregate_name != "min") continue;
      const std::string name = run.run_name.function_name + (run.run_name.args.empty() ? "" : "/" + run.run_name.args);
      const double seconds = run.GetAdjustedCPUTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
      FSeconds[name] = seconds;
      std::printf("  %-32s %12.3f us  %s\n", name.c_str(), seconds * 1e6, run.report_label.c_str());
      std::fflush(stdout);
    }
  }
  double Seconds(const std::string& name) const {
    const auto it = FSeconds.find(name);
    return it == FSeconds.end() ? NAN : it->second;
  }

 private:
  std::map<std::string, double> FSeconds;
};

void PrintRatios(const TCollectingReporter& r) {
  std::printf("\nTMWFFT (%s) time / FFTW_MEASURE time (target at 2048: <= 1.0)\n", MWActiveKernels().Name);
  for (const char* n : {"512", "2048", "8192"}) {
    for (const char* dir : {"Forward", "Inverse"}) {
      const double ours = r.Seconds(std::string("MWFFT_") + dir + "/" + n);
      const double fftw = r.Seconds(std::string("FFTW_") + dir + "/" + n);
      std::printf("  %-8s %5s points: %8.3f us vs %8.3f us  ratio %.2f\n", dir, n, ours * 1e6, fftw * 1e6, ours / fftw);
    }
  }
  for (const char* format : {"int16", "float"}) {
    const double ours = r.Seconds(std::string("EqualizePCM_") + format);
    const double fftw = r.Seconds(std::string("FftwEqualizer_") + format);
    const double fir = r.Seconds(std::string("DirectFir_") + format);
    std::printf("\nEqualizePCM, 10 s of 48 kHz stereo %s (target: >= 1.5x the FFTW equaliser)\n", format);
    std::printf("  EqualizePCM     %9.0fx realtime\n", kSeconds / ours);
    std::printf("  FFTW equaliser  %9.0fx realtime  (EqualizePCM is %.2fx faster)\n", kSeconds / fftw, fftw / ours);
    std::printf("  direct FIR      %9.0fx realtime  (EqualizePCM is %.1fx faster)\n", kSeconds / fir, fir / ours);
  }
}

double Fastest(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }

void Repeat(benchmark::internal::Benchmark* b, int repetitions) {
  b->Repetitions(repetitions)->ComputeStatistics("min", Fastest)->ReportAggregatesOnly(true);
}

constexpr double kFftMinTime = 0.1;  // seconds per repetition

void RegisterAll() {
  for (const bool inverse : {false, true}) {
    const std::string dir = inverse ? "Inverse" : "Forward";
    Repeat(benchmark::RegisterBenchmark(("MWFFT_" + dir).c_str(), BM_MWFFT, nullptr, inverse)->Arg(512)->Arg(2048)->Arg(8192)->MinTime(kFftMinTime), 9);
    Repeat(benchmark::RegisterBenchmark(("FFTW_" + dir).c_str(), BM_FFTW, inverse)->Arg(512)->Arg(2048)->Arg(8192)->MinTime(kFftMinTime), 9);
  }
  for (const TMWDspKernels* kernels : {&MWScalarKernels(), MWSse2Kernels(), MWAvx2FmaKernels()}) {
    if (kernels == nullptr) continue;
    Repeat(benchmark::RegisterBenchmark((std::string("MWFFT_Forward_") + kernels->Name).c_str(), BM_MWFFT, kernels, false)->Arg(2048)->MinTime(kFftMinTime), 5);
  }
  for (const bool isFloat : {false, true}) {
    const std::string format = isFloat ? "float" : "int16";
    Repeat(benchmark::RegisterBenchmark(("EqualizePCM_" + format).c_str(), BM_Equalizer, TEqualizerKind::Ours, isFloat)
               ->Unit(benchmark::kMillisecond),
           5);
    Repeat(benchmark::RegisterBenchmark(("FftwEqualizer_" + format).c_str(), BM_Equalizer, TEqualizerKind::Fftw, isFloat)
               ->Unit(benchmark::kMillisecond),
           5);
    Repeat(benchmark::RegisterBenchmark(("DirectFir_" + format).c_str(), BM_Equalizer, TEqualizerKind::DirectFir, isFloat)
               ->Unit(benchmark::kMillisecond)
               ->MinTime(0.2),
           3);
  }
}

}  // namespace

int main(int argc, char** argv) {
  // Repetitions of different benchmarks run interleaved, so a burst of other load on the
  // machine spreads over ours and the references alike.
  std::vector<char*> args(argv, argv + argc);
  std::string interleave = "--benchmark_enable_random_interleaving=true";
  args.insert(args.begin() + 1, interleave.data());
  argc = static_cast<int>(args.size());
  args.push_back(nullptr);
  argv = args.data();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  std::printf("kernel set chosen for this processor: %s\n", MWActiveKernels().Name);
  CheckFftAgainstFftw();
  CheckEqualizersAgree();
  RegisterAll();
  TCollectingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  PrintRatios(reporter);
  benchmark::Shutdown();
  return 0;
}
