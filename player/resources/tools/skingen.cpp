// Draws the player's skin images at build time: the four-frame PNG button strips, the track-bar
// and panel bitmaps, the idle pictures and the icons. All pixels are ours; only the resource
// names and sizes are fixed by the program.
//
// usage: skingen OUTPUT_DIR
#include "player/resources/core/PngImage.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

using qvr::resources::TBgraImage;

namespace {

struct Rgb {
  int r, g, b;
};

class Canvas {
 public:
  Canvas(int w, int h, Rgb fill) : w_(w), h_(h), px_(static_cast<size_t>(w) * h * 4) { Fill(0, 0, w, h, fill); }

  void Set(int x, int y, Rgb c, int alpha = 255) {
    if (x < 0 || y < 0 || x >= w_ || y >= h_) return;
    uint8_t* p = &px_[(static_cast<size_t>(y) * w_ + x) * 4];
    auto mix = [alpha](int dst, int src) { return static_cast<uint8_t>((src * alpha + dst * (255 - alpha)) / 255); };
    p[0] = mix(p[0], c.b);
    p[1] = mix(p[1], c.g);
    p[2] = mix(p[2], c.r);
    p[3] = 255;
  }
  void Fill(int x0, int y0, int w, int h, Rgb c) {
    for (int y = y0; y < y0 + h; ++y)
      for (int x = x0; x < x0 + w; ++x) Set(x, y, c);
  }
  void VerticalGradient(int x0, int y0, int w, int h, Rgb top, Rgb bottom) {
    for (int y = 0; y < h; ++y) {
      const double t = h > 1 ? static_cast<double>(y) / (h - 1) : 0;
      Rgb c{static_cast<int>(top.r + (bottom.r - top.r) * t), static_cast<int>(top.g + (bottom.g - top.g) * t),
            static_cast<int>(top.b + (bottom.b - top.b) * t)};
      for (int x = 0; x < w; ++x) Set(x0 + x, y0 + y, c);
    }
  }
  void Frame(int x0, int y0, int w, int h, Rgb c) {
    for (int x = x0; x < x0 + w; ++x) {
      Set(x, y0, c);
      Set(x, y0 + h - 1, c);
    }
    for (int y = y0; y < y0 + h; ++y) {
      Set(x0, y, c);
      Set(x0 + w - 1, y, c);
    }
  }
  // Fills every pixel whose centre satisfies the predicate, with 4x4 supersampled edges.
  void Shape(int x0, int y0, int w, int h, Rgb c, const std::function<bool(double, double)>& inside) {
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        int hits = 0;
        for (int sy = 0; sy < 4; ++sy)
          for (int sx = 0; sx < 4; ++sx)
            if (inside(x + (sx + 0.5) / 4.0, y + (sy + 0.5) / 4.0)) ++hits;
        if (hits) Set(x0 + x, y0 + y, c, hits * 255 / 16);
      }
  }

  TBgraImage Image() const { return {static_cast<uint32_t>(w_), static_cast<uint32_t>(h_), px_}; }
  int Width() const { return w_; }
  int Height() const { return h_; }

 private:
  int w_, h_;
  std::vector<uint8_t> px_;
};

using Glyph = std::function<bool(double, double, double, double)>;  // (x, y, w, h) inside?

bool in_triangle_right(double x, double y, double w, double h) {
  const double cx = w / 2, cy = h / 2, s = std::min(w, h) * 0.32;
  return x >= cx - s * 0.8 && x <= cx + s && std::abs(y - cy) <= (cx + s - x) * 0.62;
}

const Glyph kPlay = in_triangle_right;
const Glyph kPause = [](double x, double y, double w, double h) {
  const double s = std::min(w, h) * 0.3;
  return std::abs(y - h / 2) <= s && (std::abs(x - (w / 2 - s * 0.55)) <= s * 0.3 || std::abs(x - (w / 2 + s * 0.55)) <= s * 0.3);
};
const Glyph kStop = [](double x, double y, double w, double h) {
  const double s = std::min(w, h) * 0.27;
  return std::abs(x - w / 2) <= s && std::abs(y - h / 2) <= s;
};
const Glyph kNext = [](double x, double y, double w, double h) {
  return in_triangle_right(x + w * 0.08, y, w, h) || (std::abs(x - w * 0.66) <= 1.0 && std::abs(y - h / 2) <= h * 0.3);
};
const Glyph kPrev = [](double x, double y, double w, double h) { return kNext(w - x, y, w, h); };
const Glyph kOpen = [](double x, double y, double w, double h) {  // an eject-like arrow over a bar
  const double cx = w / 2, top = h * 0.22, s = h * 0.3;
  const bool arrow = y >= top && y <= top + s && std::abs(x - cx) <= (y - top) * 1.1;
  const bool bar = y >= h * 0.62 && y <= h * 0.74 && std::abs(x - cx) <= s * 1.1;
  return arrow || bar;
};
const Glyph kClose = [](double x, double y, double w, double h) {
  const double cx = w / 2, cy = h / 2, s = std::min(w, h) * 0.28;
  return std::abs(x - cx) <= s && std::abs(y - cy) <= s && (std::abs((x - cx) - (y - cy)) <= 1.1 || std::abs((x - cx) + (y - cy)) <= 1.1);
};
const Glyph kMax = [](double x, double y, double w, double h) {
  const double cx = w / 2, cy = h / 2, s = std::min(w, h) * 0.28;
  const bool box = std::abs(x - cx) <= s && std::abs(y - cy) <= s;
  const bool hole = std::abs(x - cx) <= s - 1 && y - cy >= -s + 2.5 && y - cy <= s - 1;
  return box && !hole;
};
const Glyph kMin = [](double x, double y, double w, double h) {
  return std::abs(x - w / 2) <= std::min(w, h) * 0.28 && y >= h * 0.62 && y <= h * 0.72;
};
const Glyph kPlus = [](double x, double y, double w, double h) {
  const double s = std::min(w, h) * 0.3;
  return (std::abs(x - w / 2) <= 1.0 && std::abs(y - h / 2) <= s) || (std::abs(y - h / 2) <= 1.0 && std::abs(x - w / 2) <= s);
};
const Glyph kMinus = [](double x, double y, double w, double h) {
  return std::abs(y - h / 2) <= 1.0 && std::abs(x - w / 2) <= std::min(w, h) * 0.3;
};
const Glyph kList = [](double x, double y, double w, double h) {
  const double s = std::min(w, h) * 0.3;
  if (std::abs(x - w / 2) > s) return false;
  for (int i = -1; i <= 1; ++i)
    if (std::abs(y - (h / 2 + i * s * 0.8)) <= 0.8) return true;
  return false;
};
const Glyph kFullScreen = [](double x, double y, double w, double h) {
  const double cx = w / 2, cy = h / 2, sx = w * 0.22, sy = h * 0.28;
  const bool outer = std::abs(x - cx) <= sx && std::abs(y - cy) <= sy;
  const bool inner = std::abs(x - cx) <= sx - 1.2 && std::abs(y - cy) <= sy - 1.2;
  return outer && !inner;
};
Glyph Speaker(bool muted) {
  return [muted](double x, double y, double w, double h) {
    const double cx = w * 0.42, cy = h / 2, s = h * 0.3;
    const bool box = x >= cx - s && x <= cx - s * 0.4 && std::abs(y - cy) <= s * 0.4;
    const bool cone = x >= cx - s * 0.4 && x <= cx + s * 0.2 && std::abs(y - cy) <= s * 0.4 + (x - (cx - s * 0.4)) * 0.9;
    const double dx = x - (cx + s * 0.8), dy = y - cy;
    const bool mark = muted ? (std::abs(dx) <= s * 0.5 && std::abs(dy) <= s * 0.5 && (std::abs(dx - dy) <= 0.9 || std::abs(dx + dy) <= 0.9))
                            : (x > cx + s * 0.4 && std::abs(std::hypot(x - cx, dy) - s * 0.9) <= 0.7 && std::abs(dy) <= s * 0.7);
    return box || cone || mark;
  };
}
const Glyph kRepeat = [](double x, double y, double w, double h) {
  const double r = std::hypot(x - w / 2, y - h / 2);
  const bool ring = std::abs(r - std::min(w, h) * 0.3) <= 0.9 && !(x > w / 2 && y < h / 2 && x - w / 2 < 3);
  const bool head = y >= h * 0.12 && y <= h * 0.4 && x >= w / 2 && x <= w / 2 + 3 && std::abs(y - h * 0.2) <= (w / 2 + 3 - x) * 0.8;
  return ring || head;
};

// A four-frame strip: normal, disabled, hot, pressed; the glyph shifts by a pixel when pressed.
Canvas ButtonStrip(int frame_w, int frame_h, const Glyph& glyph, Rgb face, Rgb ink) {
  Canvas c(frame_w * 4, frame_h, face);
  const Rgb tops[4] = {{250, 250, 250}, {236, 236, 236}, {255, 255, 255}, {196, 200, 206}};
  const Rgb bottoms[4] = {{206, 210, 216}, {222, 222, 222}, {224, 232, 244}, {228, 230, 234}};
  const Rgb inks[4] = {ink, {160, 160, 160}, {30, 90, 170}, ink};
  for (int f = 0; f < 4; ++f) {
    const int x0 = f * frame_w;
    c.VerticalGradient(x0 + 1, 1, frame_w - 2, frame_h - 2, tops[f], bottoms[f]);
    c.Frame(x0, 0, frame_w, frame_h, f == 2 ? Rgb{90, 130, 190} : Rgb{150, 156, 164});
    const double shift = f == 3 ? 1.0 : 0.0;
    c.Shape(x0, 0, frame_w, frame_h, inks[f], [&](double x, double y) { return glyph(x - shift, y - shift, frame_w, frame_h); });
  }
  return c;
}

// Title-bar buttons sit on the dark top panel; their face is the transparent skin colour.
Canvas TitleStrip(const Glyph& glyph) {
  const Rgb skin{108, 120, 129};
  Canvas c(68, 19, skin);
  const Rgb inks[4] = {{230, 234, 238}, {150, 158, 166}, {255, 255, 255}, {200, 210, 220}};
  for (int f = 0; f < 4; ++f) {
    if (f == 2) c.Fill(f * 17 + 1, 1, 15, 17, {128, 142, 152});
    if (f == 3) c.Fill(f * 17 + 1, 1, 15, 17, {84, 94, 102});
    c.Shape(f * 17, 0, 17, 19, inks[f], [&](double x, double y) { return glyph(x, y, 17, 19); });
  }
  return c;
}

bool WriteAll(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

void Put16(std::vector<uint8_t>& v, unsigned x) {
  v.push_back(static_cast<uint8_t>(x));
  v.push_back(static_cast<uint8_t>(x >> 8));
}
void Put32(std::vector<uint8_t>& v, unsigned x) {
  Put16(v, x & 0xFFFF);
  Put16(v, x >> 16);
}

// A 24-bit BI_RGB bitmap file (bottom-up rows), the form windres takes for BITMAP resources.
std::vector<uint8_t> Bmp24(const Canvas& c) {
  const TBgraImage img = c.Image();
  const unsigned stride = (img.Width * 3 + 3) & ~3u, size = stride * img.Height;
  std::vector<uint8_t> v;
  v.push_back('B');
  v.push_back('M');
  Put32(v, 54 + size);
  Put32(v, 0);
  Put32(v, 54);
  Put32(v, 40);
  Put32(v, img.Width);
  Put32(v, img.Height);
  Put16(v, 1);
  Put16(v, 24);
  Put32(v, 0);
  Put32(v, size);
  Put32(v, 2835);
  Put32(v, 2835);
  Put32(v, 0);
  Put32(v, 0);
  for (uint32_t y = img.Height; y-- > 0;) {
    for (uint32_t x = 0; x < img.Width; ++x) {
      const uint8_t* p = &img.Pixels[(static_cast<size_t>(y) * img.Width + x) * 4];
      v.insert(v.end(), p, p + 3);
    }
    for (unsigned pad = img.Width * 3; pad < stride; ++pad) v.push_back(0);
  }
  return v;
}

// A one-image .ico holding a PNG-compressed 32 x 32 image (Vista icon format) plus a classic
// 32-bit DIB 16 x 16 one, so both old and new loaders find a size they read.
std::vector<uint8_t> Ico(const Canvas& big, const Canvas& small) {
  std::vector<uint8_t> png;
  qvr::resources::EncodePng(big.Image(), png);
  // 16x16 32-bit DIB: header with doubled height, XOR pixels bottom-up, AND mask (all zero).
  const TBgraImage s = small.Image();
  std::vector<uint8_t> dib;
  Put32(dib, 40);
  Put32(dib, s.Width);
  Put32(dib, s.Height * 2);
  Put16(dib, 1);
  Put16(dib, 32);
  for (int i = 0; i < 6; ++i) Put32(dib, 0);
  for (uint32_t y = s.Height; y-- > 0;)
    dib.insert(dib.end(), s.Pixels.begin() + static_cast<long>(y * s.Width * 4), s.Pixels.begin() + static_cast<long>((y + 1) * s.Width * 4));
  const unsigned mask_stride = ((s.Width + 31) / 32) * 4;
  dib.insert(dib.end(), static_cast<size_t>(mask_stride) * s.Height, 0);

  std::vector<uint8_t> v;
  Put16(v, 0);
  Put16(v, 1);
  Put16(v, 2);
  const unsigned first = 6 + 2 * 16;
  auto entry = [&](unsigned w, unsigned h, size_t bytes, unsigned offset) {
    v.push_back(static_cast<uint8_t>(w));
    v.push_back(static_cast<uint8_t>(h));
    v.push_back(0);
    v.push_back(0);
    Put16(v, 1);
    Put16(v, 32);
    Put32(v, static_cast<unsigned>(bytes));
    Put32(v, offset);
  };
  entry(32, 32, png.size(), first);
  entry(16, 16, dib.size(), first + static_cast<unsigned>(png.size()));
  v.insert(v.end(), png.begin(), png.end());
  v.insert(v.end(), dib.begin(), dib.end());
  return v;
}

Canvas IconArt(int size, Rgb back, const Glyph& glyph) {
  Canvas c(size, size, back);
  c.VerticalGradient(0, 0, size, size, {std::min(back.r + 40, 255), std::min(back.g + 40, 255), std::min(back.b + 40, 255)}, back);
  c.Frame(0, 0, size, size, {40, 50, 60});
  c.Shape(0, 0, size, size, {255, 255, 255}, [&](double x, double y) { return glyph(x, y, size, size); });
  return c;
}

// Text-free pictures for the logo and idle screens: bands and a play mark.
Canvas Picture(int w, int h, Rgb a, Rgb b) {
  Canvas c(w, h, a);
  c.VerticalGradient(0, 0, w, h, a, b);
  c.Shape(0, 0, w, h, {240, 244, 248}, [&](double x, double y) { return in_triangle_right(x, y, w, h); });
  return c;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: skingen OUTPUT_DIR\n");
    return 2;
  }
  const std::string dir = argv[1];
  bool ok = true;
  auto png = [&](const std::string& name, const Canvas& c) {
    std::vector<uint8_t> bytes;
    std::string error;
    if (!qvr::resources::EncodePng(c.Image(), bytes, &error) || !WriteAll(dir + "/" + name + ".png", bytes)) {
      std::fprintf(stderr, "skingen: %s.png: %s\n", name.c_str(), error.c_str());
      ok = false;
    }
  };
  auto file = [&](const std::string& name, const std::vector<uint8_t>& bytes) {
    if (!WriteAll(dir + "/" + name, bytes)) {
      std::fprintf(stderr, "skingen: cannot write %s\n", name.c_str());
      ok = false;
    }
  };

  const Rgb face{232, 232, 232}, ink{60, 66, 74};
  png("biclose", TitleStrip(kClose));
  png("bimax", TitleStrip(kMax));
  png("bimin", TitleStrip(kMin));
  png("btn_add", ButtonStrip(23, 19, kPlus, face, ink));
  png("btn_rem", ButtonStrip(23, 19, kMinus, face, ink));
  png("btn_sort", ButtonStrip(21, 19, kList, face, ink));
  png("btn_audoff", ButtonStrip(23, 19, Speaker(false), face, ink));
  png("btn_audon", ButtonStrip(23, 19, Speaker(true), face, ink));
  png("btn_fs", ButtonStrip(33, 23, kFullScreen, face, ink));
  png("btn_playlist", ButtonStrip(33, 23, kList, face, ink));
  png("btn_playlist2", ButtonStrip(33, 23, kList, face, {30, 90, 170}));
  png("btn_next", ButtonStrip(34, 23, kNext, face, ink));
  png("btn_prev", ButtonStrip(34, 23, kPrev, face, ink));
  png("btn_open", ButtonStrip(35, 23, kOpen, face, ink));
  png("btn_stop", ButtonStrip(35, 23, kStop, face, ink));
  png("btn_play", ButtonStrip(56, 23, kPlay, face, ink));
  png("btn_pause", ButtonStrip(56, 23, kPause, face, ink));
  png("BTN_REPEAT", ButtonStrip(16, 16, kRepeat, face, ink));
  // A face without a glyph, for buttons that carry a caption.
  png("btn_plain", ButtonStrip(108, 27, [](double, double, double, double) { return false; }, face, ink));
  png("image1", Picture(85, 16, {70, 84, 96}, {40, 48, 56}));
  png("image2", Picture(228, 80, {30, 34, 40}, {10, 12, 14}));
  png("image3", Picture(233, 47, {30, 34, 40}, {10, 12, 14}));
  png("imgbug", IconArt(16, {190, 60, 50}, kMinus));
  // Tree-view state images: index 0 is no state, then unchecked, checked, partly checked.
  Canvas states(64, 16, {255, 255, 255});
  for (int i = 1; i < 4; ++i) {
    const int x0 = i * 16;
    states.Frame(x0 + 2, 2, 12, 12, {90, 100, 110});
    states.VerticalGradient(x0 + 3, 3, 10, 10, {255, 255, 255}, {226, 230, 236});
    if (i == 2)
      states.Shape(x0, 0, 16, 16, {30, 90, 170}, [](double x, double y) {
        return std::abs(y - (x < 7 ? 5.0 + x * 0.5 : 8.5 - (x - 7) * 0.9)) <= 1.1 && x > 4 && x < 12;
      });
    if (i == 3) states.Fill(x0 + 5, 5, 6, 6, {30, 90, 170});
  }
  png("treestates", states);

  Canvas top(3, 33, {108, 120, 129});
  top.VerticalGradient(0, 0, 3, 33, {132, 144, 153}, {88, 98, 106});
  file("top.bmp", Bmp24(top));
  auto thumb = [](Rgb c) {
    Canvas t(12, 10, {232, 232, 232});
    t.Shape(0, 0, 12, 10, c, [](double x, double y) { return std::hypot((x - 6) / 5.5, (y - 5) / 4.5) <= 1.0; });
    return t;
  };
  file("voln.bmp", Bmp24(thumb({120, 128, 136})));
  file("vold.bmp", Bmp24(thumb({40, 100, 180})));
  file("volds.bmp", Bmp24(thumb({190, 190, 190})));
  Canvas seekd(1, 10, {210, 212, 214}), seekb(1, 10, {60, 120, 200});
  seekd.VerticalGradient(0, 0, 1, 10, {196, 198, 200}, {228, 230, 232});
  seekb.VerticalGradient(0, 0, 1, 10, {90, 150, 225}, {40, 96, 170});
  file("seekd.bmp", Bmp24(seekd));
  file("seekb.bmp", Bmp24(seekb));

  file("main.ico", Ico(IconArt(32, {40, 96, 170}, kPlay), IconArt(16, {40, 96, 170}, kPlay)));
  const Glyph question = [](double x, double y, double w, double h) {
    const double r = std::hypot(x - w / 2, y - h * 0.38);
    return (std::abs(r - w * 0.18) <= w * 0.06 && !(x < w / 2 && y > h * 0.38)) ||
           (std::abs(x - w / 2) <= w * 0.06 && y >= h * 0.52 && y <= h * 0.66) || std::hypot(x - w / 2, y - h * 0.8) <= w * 0.07;
  };
  file("question.ico", Ico(IconArt(32, {30, 110, 200}, question), IconArt(16, {30, 110, 200}, question)));
  file("mediafile.ico", Ico(IconArt(32, {90, 100, 110}, kPlay), IconArt(16, {90, 100, 110}, kPlay)));
  return ok ? 0 : 1;
}
