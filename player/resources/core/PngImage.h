// PNG decoding (and encoding, for the build's own image generator) on plain buffers, through
// libpng's simplified API. Pixels are 32-bit BGRA, straight alpha, top-down rows: the layout of
// a top-down 32-bit DIB section.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace qvr::resources {

struct TBgraImage {
  uint32_t Width = 0;
  uint32_t Height = 0;
  std::vector<uint8_t> Pixels;  // Width * Height * 4 bytes, B G R A

  uint32_t PixelAt(uint32_t x, uint32_t y) const;  // 0xAARRGGBB
};

// Decodes any PNG libpng reads. On failure returns false and says why in `error` (if given);
// `image` is left empty.
bool DecodePng(std::span<const uint8_t> png, TBgraImage& image, std::string* error = nullptr);

// Encodes as 8-bit RGBA PNG. False on failure.
bool EncodePng(const TBgraImage& image, std::vector<uint8_t>& png, std::string* error = nullptr);

}  // namespace qvr::resources
