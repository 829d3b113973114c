#include "player/resources/core/PngImage.h"

#include <gtest/gtest.h>

namespace {

using namespace qvr::resources;

TBgraImage Gradient(uint32_t w, uint32_t h) {
  TBgraImage image{w, h, std::vector<uint8_t>(static_cast<size_t>(w) * h * 4)};
  for (uint32_t y = 0; y < h; ++y)
    for (uint32_t x = 0; x < w; ++x) {
      uint8_t* p = &image.Pixels[(static_cast<size_t>(y) * w + x) * 4];
      p[0] = static_cast<uint8_t>(x * 7);
      p[1] = static_cast<uint8_t>(y * 11);
      p[2] = static_cast<uint8_t>(x + y);
      p[3] = static_cast<uint8_t>(255 - x);
    }
  return image;
}

TEST(PngImage, RoundTripKeepsEveryPixelAndAlpha) {
  const TBgraImage original = Gradient(68, 19);
  std::vector<uint8_t> png;
  ASSERT_TRUE(EncodePng(original, png));
  ASSERT_GT(png.size(), 8u);
  EXPECT_EQ(0x89, png[0]);
  TBgraImage decoded;
  std::string error;
  ASSERT_TRUE(DecodePng(png, decoded, &error)) << error;
  EXPECT_EQ(68u, decoded.Width);
  EXPECT_EQ(19u, decoded.Height);
  EXPECT_EQ(original.Pixels, decoded.Pixels);
  EXPECT_EQ((255u - 5) << 24 | 6u << 16 | 11u << 8 | 35u, decoded.PixelAt(5, 1));
}

TEST(PngImage, RejectsDamagedInputWithAReason) {
  std::vector<uint8_t> png;
  ASSERT_TRUE(EncodePng(Gradient(16, 16), png));
  TBgraImage image;
  std::string error;
  const std::vector<uint8_t> truncated(png.begin(), png.begin() + static_cast<long>(png.size() / 2));
  EXPECT_FALSE(DecodePng(truncated, image, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_TRUE(image.Pixels.empty());
  std::vector<uint8_t> not_png(png);
  not_png[1] = 'Q';
  EXPECT_FALSE(DecodePng(not_png, image));
  EXPECT_FALSE(DecodePng({}, image));
}

TEST(PngImage, EncodeRefusesAMismatchedBuffer) {
  TBgraImage image{4, 4, std::vector<uint8_t>(10)};
  std::vector<uint8_t> png{1, 2, 3};
  std::string error;
  EXPECT_FALSE(EncodePng(image, png, &error));
  EXPECT_TRUE(png.empty());
  EXPECT_FALSE(error.empty());
}

}  // namespace
