// Arbitrary bytes into the PNG decoder: no crash, no leak, and a decoded image is consistent.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "player/resources/core/PngImage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qvr::resources::TBgraImage image;
  if (qvr::resources::DecodePng({data, size}, image)) {
    if (image.Pixels.size() != static_cast<size_t>(image.Width) * image.Height * 4) std::abort();
  } else if (!image.Pixels.empty()) {
    std::abort();
  }
  return 0;
}
