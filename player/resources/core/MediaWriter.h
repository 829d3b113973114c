// Writers for the uncompressed media the build bundles and the tests feed to real graphs:
// RIFF WAVE files and AVI 1.0 files (uncompressed RGB video, any number of PCM streams,
// interleaved, with an idx1 index). Everything is built in memory; SaveFile writes it out.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace qvr::media {

struct PcmFormat {
  uint16_t FormatTag = 1;  // 1 = PCM, 3 = IEEE float
  uint16_t Channels = 2;
  uint32_t SamplesPerSec = 44100;
  uint16_t BitsPerSample = 16;
  uint16_t BlockAlign() const { return static_cast<uint16_t>(Channels * ((BitsPerSample + 7) / 8)); }
  uint32_t AvgBytesPerSec() const { return SamplesPerSec * BlockAlign(); }
};

// A sine tone, the same on every channel, as 16-bit little-endian PCM.
std::vector<uint8_t> MakeTonePcm16(const PcmFormat& format, double seconds, double frequencyHz, double amplitude);

std::vector<uint8_t> MakeWav(const PcmFormat& format, std::span<const uint8_t> data);

// The eight bars, left to right, as 0x00RRGGBB: white, yellow, cyan, green, magenta, red, blue,
// black. Tests compare screenshots against these.
inline constexpr uint32_t kColourBars[8] = {0xFFFFFF, 0xFFFF00, 0x00FFFF, 0x00FF00,
                                            0xFF00FF, 0xFF0000, 0x0000FF, 0x000000};

// One bottom-up DIB frame (24 or 32 bits per pixel) of vertical colour bars.
std::vector<uint8_t> MakeColourBarsFrame(int width, int height, int bitCount);

struct AviVideoStream {
  int Width = 0;
  int Height = 0;
  int BitCount = 32;  // 24 or 32, uncompressed BI_RGB
  uint32_t FramesPerSecond = 10;
  std::vector<std::vector<uint8_t>> Frames;  // bottom-up DIB rows, each frame the full image
};

struct AviAudioStream {
  PcmFormat Format;
  std::vector<uint8_t> Data;
};

// An interleaved AVI: a video frame (when there is video) followed by each audio stream's
// share of the same period. Video is stream 0 when present.
std::vector<uint8_t> MakeAvi(const AviVideoStream* video, std::span<const AviAudioStream> audio);

// Writes the bytes to the path (8-bit, as the platform's fopen takes it). False on any failure.
bool SaveFile(const std::string& path, std::span<const uint8_t> bytes);

}  // namespace qvr::media
