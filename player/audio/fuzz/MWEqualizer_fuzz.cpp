// The pre-amplifier and the equaliser over arbitrary PCM: random bit depths (also unsupported
// ones), float or integer, 0..12 channels, lengths that end inside a frame, buffers split at
// random points, random band settings and every kernel set. Under ASan and UBSan nothing may be
// read or written out of bounds, no conversion may overflow, and the bytes of a partial last
// frame must come back untouched.
//
// Input: [format][channels][gain lo][gain hi][flags][10 band values][split][repeat] then PCM.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "player/audio/core/MWEqualizer.h"

using namespace qvr::audio;

namespace {

constexpr size_t kHeader = 17;

std::vector<const TMWDspKernels*> KernelSets() {
  std::vector<const TMWDspKernels*> sets{&MWScalarKernels()};
  if (const TMWDspKernels* sse2 = MWSse2Kernels()) sets.push_back(sse2);
  if (const TMWDspKernels* avx2 = MWAvx2FmaKernels()) sets.push_back(avx2);
  return sets;
}

// One engine per kernel set, made once; each input starts it from a clean history and a fresh
// design, so a failing input reproduces on its own.
TMWEqualizer& Engine(size_t index) {
  static const std::vector<const TMWDspKernels*> sets = KernelSets();
  static std::vector<std::unique_ptr<TMWEqualizer>> engines(sets.size());
  index %= sets.size();
  if (!engines[index]) engines[index] = std::make_unique<TMWEqualizer>(*sets[index]);
  return *engines[index];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kHeader) return 0;
  static constexpr std::array<int, 7> kBits = {8, 16, 24, 32, 32, 12, 64};
  const int bits = kBits[data[0] % kBits.size()];
  const bool isFloat = data[0] % kBits.size() == 4 || (data[0] & 0x80) != 0;
  const int channels = data[1] % 13;
  const uint16_t gain = static_cast<uint16_t>(data[2] | (data[3] << 8));
  const uint8_t flags = data[4];
  std::vector<float> gains(kEqualizerGainTableSize, kEqualizerFlatGain);
  for (int b = 0; b < kEqualizerBandCount; ++b) {
    const int8_t value = static_cast<int8_t>(static_cast<int8_t>(data[5 + b]) % 101);
    for (int k = kEqualizerBandEdges[b]; k < kEqualizerBandEdges[b + 1]; ++k) gains[k] = BandToGain(value);
  }
  const size_t split = data[15];
  // The PCM repeated up to 64 times: streams of several 1536-frame blocks from short inputs.
  const size_t repeat = 1 + data[16] % 64;

  std::vector<uint8_t> pcm;
  for (size_t r = 0; r < repeat && pcm.size() < 65536; ++r) pcm.insert(pcm.end(), data + kHeader, data + size);
  if (pcm.empty()) return 0;
  if ((flags & 1) != 0) AmplifyPCM(pcm.data(), pcm.size(), bits, gain, isFloat, channels);

  TMWEqualizer& eq = Engine(flags >> 4);
  eq.ClearHistory();
  bool dirty = true;
  const size_t frameBytes = channels > 0 ? static_cast<size_t>(channels) * (bits / 8) : 1;
  // Up to three buffers, cut at frame boundaries except for the last, which may end mid-frame.
  size_t start = 0;
  for (int piece = 0; piece < 3 && start < pcm.size(); ++piece) {
    size_t length = pcm.size() - start;
    if (piece < 2) length = std::min(length, (split * 61 % 4099 + 1) * frameBytes);
    const size_t whole = length / frameBytes * frameBytes;
    const std::vector<uint8_t> tail(pcm.begin() + static_cast<std::ptrdiff_t>(start + whole),
                                    pcm.begin() + static_cast<std::ptrdiff_t>(start + length));
    if ((flags & 2) != 0 && piece == 1) {
      ClearEqualizerHistory();
      EqualizePCM(pcm.data() + start, length, bits, dirty, gains.data(), isFloat, channels);
    } else {
      eq.Equalize(pcm.data() + start, length, bits, dirty, gains.data(), isFloat, channels);
    }
    if (dirty) std::abort();  // the first call designs and clears the flag
    if (!tail.empty() && std::memcmp(tail.data(), pcm.data() + start + whole, tail.size()) != 0) std::abort();
    start += length;
    dirty = (flags & 4) != 0;
  }
  return 0;
}
