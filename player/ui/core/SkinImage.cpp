#include "player/ui/core/SkinImage.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace qvr::ui {

namespace {

using Premultiplied = std::array<double, 4>;  // b, g, r, a in 0..1

Premultiplied Fetch(const resources::TBgraImage& image, int x, int y) {
  x = std::clamp(x, 0, static_cast<int>(image.Width) - 1);
  y = std::clamp(y, 0, static_cast<int>(image.Height) - 1);
  const uint8_t* p = &image.Pixels[(static_cast<size_t>(y) * image.Width + x) * 4];
  const double a = p[3] / 255.0;
  return {p[0] / 255.0 * a, p[1] / 255.0 * a, p[2] / 255.0 * a, a};
}

Premultiplied Sample(const resources::TBgraImage& image, double x, double y) {
  const int x0 = static_cast<int>(std::floor(x)), y0 = static_cast<int>(std::floor(y));
  const double fx = x - x0, fy = y - y0;
  const Premultiplied a = Fetch(image, x0, y0), b = Fetch(image, x0 + 1, y0);
  const Premultiplied c = Fetch(image, x0, y0 + 1), d = Fetch(image, x0 + 1, y0 + 1);
  Premultiplied out{};
  for (int i = 0; i < 4; ++i)
    out[i] = (a[i] * (1 - fx) + b[i] * fx) * (1 - fy) + (c[i] * (1 - fx) + d[i] * fx) * fy;
  return out;
}

}  // namespace

resources::TBgraImage ComposeOverFill(const resources::TBgraImage& source, int width, int height, TColor fill) {
  resources::TBgraImage out;
  width = std::max(width, 0);
  height = std::max(height, 0);
  out.Width = static_cast<uint32_t>(width);
  out.Height = static_cast<uint32_t>(height);
  out.Pixels.resize(static_cast<size_t>(width) * height * 4);
  const double fillBgr[3] = {BlueOf(fill) / 255.0, GreenOf(fill) / 255.0, RedOf(fill) / 255.0};
  const bool haveSource = source.Width > 0 && source.Height > 0 &&
                          source.Pixels.size() >= static_cast<size_t>(source.Width) * source.Height * 4;
  const bool sameSize = haveSource && source.Width == out.Width && source.Height == out.Height;
  const double sx = haveSource ? static_cast<double>(source.Width) / std::max(width, 1) : 0;
  const double sy = haveSource ? static_cast<double>(source.Height) / std::max(height, 1) : 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      Premultiplied p{0, 0, 0, 0};
      if (sameSize) p = Fetch(source, x, y);
      else if (haveSource) p = Sample(source, (x + 0.5) * sx - 0.5, (y + 0.5) * sy - 0.5);
      uint8_t* o = &out.Pixels[(static_cast<size_t>(y) * width + x) * 4];
      for (int i = 0; i < 3; ++i) o[i] = static_cast<uint8_t>(std::lround(std::clamp(p[i] + fillBgr[i] * (1 - p[3]), 0.0, 1.0) * 255));
      o[3] = 255;
    }
  }
  return out;
}

}  // namespace qvr::ui
