#include "player/resources/core/PngImage.h"

#include <png.h>

namespace qvr::resources {

uint32_t TBgraImage::PixelAt(uint32_t x, uint32_t y) const {
  const uint8_t* p = Pixels.data() + (static_cast<size_t>(y) * Width + x) * 4;
  return static_cast<uint32_t>(p[3]) << 24 | static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[0];
}

bool DecodePng(std::span<const uint8_t> png, TBgraImage& image, std::string* error) {
  image = {};
  png_image decoder{};
  decoder.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&decoder, png.data(), png.size())) {
    if (error) *error = decoder.message;
    return false;
  }
  decoder.format = PNG_FORMAT_BGRA;
  // A hostile header can claim a huge image: refuse what cannot be a resource of ours.
  constexpr uint32_t kMaxSide = 16384;
  if (decoder.width == 0 || decoder.height == 0 || decoder.width > kMaxSide || decoder.height > kMaxSide) {
    png_image_free(&decoder);
    if (error) *error = "image size out of range";
    return false;
  }
  std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(decoder));
  if (!png_image_finish_read(&decoder, nullptr, pixels.data(), 0, nullptr)) {
    if (error) *error = decoder.message;
    png_image_free(&decoder);
    return false;
  }
  image.Width = decoder.width;
  image.Height = decoder.height;
  image.Pixels = std::move(pixels);
  return true;
}

bool EncodePng(const TBgraImage& image, std::vector<uint8_t>& png, std::string* error) {
  png.clear();
  if (image.Pixels.size() != static_cast<size_t>(image.Width) * image.Height * 4) {
    if (error) *error = "pixel buffer does not match the size";
    return false;
  }
  png_image encoder{};
  encoder.version = PNG_IMAGE_VERSION;
  encoder.width = image.Width;
  encoder.height = image.Height;
  encoder.format = PNG_FORMAT_BGRA;
  png_alloc_size_t size = 0;
  if (!png_image_write_to_memory(&encoder, nullptr, &size, 0, image.Pixels.data(), 0, nullptr)) {
    if (error) *error = encoder.message;
    return false;
  }
  png.resize(size);
  if (!png_image_write_to_memory(&encoder, png.data(), &size, 0, image.Pixels.data(), 0, nullptr)) {
    if (error) *error = encoder.message;
    png.clear();
    return false;
  }
  png.resize(size);
  return true;
}

}  // namespace qvr::resources
