// Draws the installer's pictures and writes them as files:
//   banner.bmp    168 x 30, the product name on a green gradient  (bitmap 100)
//   flower.bmp    38 x 38, a pink hibiscus on the transparent index (bitmap 101)
//   installer.ico 32 x 32 in 16 and in 256 colours                  (icon group 100)
//
//   make_pictures OUTPUT_FOLDER
//
// Both bitmaps share one 256-entry colour table in which black appears only
// at index 255: the panel takes the table of the banner for every draw and
// treats black as transparent. The output depends on nothing but this file,
// so the committed pictures can be checked against a fresh run.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Rgb {
  int r, g, b;
};

constexpr int kTransparent = 255;

// Palette regions; every ramp runs from dark to light.
constexpr int kSkyFirst = 0, kSkyCount = 64;       // banner gradient
constexpr int kPetalFirst = 64, kPetalCount = 64;  // hibiscus petals
constexpr int kLeafFirst = 128, kLeafCount = 32;   // leaf and sepals
constexpr int kGoldFirst = 160, kGoldCount = 16;   // pollen, lettering
constexpr int kGreyFirst = 176, kGreyCount = 32;   // greys for the dialog face
constexpr int kCream = 208, kTextShadow = 209, kSubtitle = 210, kRule = 211;
constexpr int kEyeFirst = 212, kEyeCount = 16;     // the dark red eye and column

Rgb Mix(Rgb a, Rgb b, double t) {
  auto lerp = [t](int x, int y) { return static_cast<int>(std::lround(x + (y - x) * t)); };
  return {lerp(a.r, b.r), lerp(a.g, b.g), lerp(a.b, b.b)};
}

// Three-stop ramp: a at 0, b at 0.5, c at 1.
Rgb Ramp3(Rgb a, Rgb b, Rgb c, double t) {
  return t < 0.5 ? Mix(a, b, t * 2) : Mix(b, c, (t - 0.5) * 2);
}

std::vector<Rgb> MakePalette() {
  std::vector<Rgb> p(256, Rgb{128, 128, 128});
  for (int i = 0; i < kSkyCount; ++i)
    p[kSkyFirst + i] = Ramp3({14, 58, 44}, {28, 112, 92}, {112, 184, 150}, i / double(kSkyCount - 1));
  for (int i = 0; i < kPetalCount; ++i)
    p[kPetalFirst + i] = Ramp3({122, 8, 52}, {226, 58, 128}, {255, 214, 230}, i / double(kPetalCount - 1));
  for (int i = 0; i < kLeafCount; ++i)
    p[kLeafFirst + i] = Ramp3({18, 58, 22}, {56, 128, 44}, {168, 214, 110}, i / double(kLeafCount - 1));
  for (int i = 0; i < kGoldCount; ++i)
    p[kGoldFirst + i] = Mix({168, 96, 8}, {255, 236, 120}, i / double(kGoldCount - 1));
  for (int i = 0; i < kGreyCount - 1; ++i) {
    const int v = 8 * (i + 1);  // 8 .. 248, with 192 and 240 among them
    p[kGreyFirst + i] = {v, v, v};
  }
  p[kGreyFirst + kGreyCount - 1] = {255, 255, 255};
  p[kCream] = {255, 248, 222};
  p[kTextShadow] = {6, 34, 24};
  p[kSubtitle] = {226, 242, 214};
  p[kRule] = {236, 196, 96};
  for (int i = 0; i < kEyeCount; ++i)
    p[kEyeFirst + i] = Mix({70, 2, 22}, {196, 30, 70}, i / double(kEyeCount - 1));
  p[kTransparent] = {0, 0, 0};
  return p;
}

// A bottom-up 8-bit picture addressed top-down.
struct Picture {
  int width, height, stride;
  std::vector<uint8_t> bytes;
  Picture(int w, int h) : width(w), height(h), stride((w + 3) & ~3), bytes(size_t(stride) * h, 0) {}
  uint8_t& At(int x, int y) { return bytes[size_t(height - 1 - y) * stride + x]; }
};

int RampIndex(int first, int count, double t) {
  if (t < 0) t = 0;
  if (t > 1) t = 1;
  return first + static_cast<int>(std::lround(t * (count - 1)));
}

// 4x4 ordered dither threshold in [-0.5, 0.5), so that gradients band less.
double Dither(int x, int y) {
  static const int kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
  return (kBayer[y & 3][x & 3] + 0.5) / 16.0 - 0.5;
}

// ---- lettering -------------------------------------------------------------

struct Glyph {
  char c;
  const char* rows[9];  // rows 7 and 8 are the descender
};

const Glyph kGlyphs[] = {
    {'V', {"#...#", "#...#", "#...#", "#...#", ".#.#.", ".#.#.", "..#..", ".....", "....."}},
    {'Z', {"#####", "....#", "...#.", "..#..", ".#...", "#....", "#####", ".....", "....."}},
    {'a', {".....", ".....", ".###.", "....#", ".####", "#...#", ".####", ".....", "....."}},
    {'d', {"....#", "....#", ".####", "#...#", "#...#", "#...#", ".####", ".....", "....."}},
    {'e', {".....", ".....", ".###.", "#...#", "#####", "#....", ".###.", ".....", "....."}},
    {'k', {"#....", "#....", "#..#.", "#.#..", "##...", "#.#..", "#..#.", ".....", "....."}},
    {'l', {".##..", "..#..", "..#..", "..#..", "..#..", "..#..", ".###.", ".....", "....."}},
    {'m', {".....", ".....", "##.#.", "#.#.#", "#.#.#", "#.#.#", "#.#.#", ".....", "....."}},
    {'n', {".....", ".....", "#.##.", "##..#", "#...#", "#...#", "#...#", ".....", "....."}},
    {'o', {".....", ".....", ".###.", "#...#", "#...#", "#...#", ".###.", ".....", "....."}},
    {'p', {".....", ".....", "####.", "#...#", "#...#", "#...#", "####.", "#....", "#...."}},
    {'r', {".....", ".....", "#.##.", "##..#", "#....", "#....", "#....", ".....", "....."}},
    {'s', {".....", ".....", ".####", "#....", ".###.", "....#", "####.", ".....", "....."}},
    {'t', {".#...", ".#...", "####.", ".#...", ".#...", ".#..#", "..##.", ".....", "....."}},
    {'u', {".....", ".....", "#...#", "#...#", "#...#", "#..##", ".##.#", ".....", "....."}},
    {'z', {".....", ".....", "#####", "...#.", "..#..", ".#...", "#####", ".....", "....."}},
};

const Glyph& FindGlyph(char c) {
  for (const Glyph& g : kGlyphs)
    if (g.c == c) return g;
  std::fprintf(stderr, "make_pictures: no glyph for '%c'\n", c);
  std::exit(1);
}

constexpr int kGlyphWidth = 5, kGlyphRows = 9;

// Width of a text at a scale, one scaled column of space between letters.
int TextWidth(const std::string& text, int scale) {
  return int(text.size()) * (kGlyphWidth + 1) * scale - scale;
}

// Calls plot(x, y, rowInGlyph) for every lit pixel of the text.
template <typename Plot>
void ForEachTextPixel(const std::string& text, int left, int top, int scale, Plot plot) {
  for (size_t i = 0; i < text.size(); ++i) {
    const Glyph& g = FindGlyph(text[i]);
    const int gx = left + int(i) * (kGlyphWidth + 1) * scale;
    for (int row = 0; row < kGlyphRows; ++row)
      for (int col = 0; col < kGlyphWidth; ++col) {
        if (g.rows[row][col] != '#') continue;
        for (int sy = 0; sy < scale; ++sy)
          for (int sx = 0; sx < scale; ++sx) plot(gx + col * scale + sx, top + row * scale + sy, row);
      }
  }
}

// ---- banner ----------------------------------------------------------------

Picture DrawBanner() {
  Picture pic(168, 30);
  // Sky: dark at the left edge and the bottom, light towards the upper right,
  // with a soft glow behind the title.
  for (int y = 0; y < pic.height; ++y)
    for (int x = 0; x < pic.width; ++x) {
      const double fx = x / double(pic.width - 1), fy = y / double(pic.height - 1);
      const double dx = (x - 84.0) / 70.0, dy = (y - 10.0) / 16.0;
      double t = 0.18 + 0.45 * fx + 0.22 * (1 - fy) + 0.22 * std::exp(-(dx * dx + dy * dy));
      t += Dither(x, y) / (kSkyCount - 1);
      pic.At(x, y) = uint8_t(RampIndex(kSkyFirst, kSkyCount, t * 0.92));
    }
  // Thin gold rule above the subtitle, fading out to both sides.
  for (int x = 20; x < 148; ++x) {
    const double d = std::fabs(x - 84.0) / 64.0;
    if (d < 0.85 || Dither(x, 18) + 0.5 > (d - 0.85) / 0.15) pic.At(x, 18) = kRule;
  }
  const std::string title = "Verdanelle";
  const std::string subtitle = "Zusatzkomponenten";
  const int titleLeft = (pic.width - TextWidth(title, 2)) / 2;
  const int subLeft = (pic.width - TextWidth(subtitle, 1)) / 2;
  // Shadow first, then the letters: cream at the top turning to gold below.
  ForEachTextPixel(title, titleLeft + 1, 2, 2, [&](int x, int y, int) { pic.At(x, y) = kTextShadow; });
  ForEachTextPixel(title, titleLeft, 1, 2, [&](int x, int y, int) {
    const double t = (y - 1) / 13.0;
    pic.At(x, y) = t < 0.45 ? uint8_t(kCream) : uint8_t(RampIndex(kGoldFirst, kGoldCount, 1.25 - t));
  });
  ForEachTextPixel(subtitle, subLeft + 1, 21, 1, [&](int x, int y, int) {
    if (y < pic.height) pic.At(x, y) = kTextShadow;
  });
  ForEachTextPixel(subtitle, subLeft, 20, 1, [&](int x, int y, int) {
    if (y < pic.height) pic.At(x, y) = kSubtitle;
  });
  return pic;
}

// ---- hibiscus --------------------------------------------------------------

constexpr double kPi = 3.14159265358979323846;

// Index of the flower at a point of the 38 x 38 design square, or the
// transparent index. Five broad, ruffled petals around a dark eye, a staminal
// column leaning to the upper right with pollen at its tip, and a leaf
// showing behind the lower left petals.
int FlowerAt(double u, double v) {
  const double cx = 18.5, cy = 19.5;
  const double dx = u - cx, dy = v - cy;
  const double r = std::sqrt(dx * dx + dy * dy);
  const double theta = std::atan2(dy, dx);

  // Staminal column from the eye to (29, 8), drawn over the petals.
  {
    const double ax = cx + 1, ay = cy - 1, bx = 29.0, by = 8.0;
    const double lx = bx - ax, ly = by - ay;
    double s = ((u - ax) * lx + (v - ay) * ly) / (lx * lx + ly * ly);
    if (s > -0.05 && s < 1.0) {
      const double px = ax + s * lx - u, py = ay + s * ly - v;
      const double dist = std::sqrt(px * px + py * py);
      if (s > 0.62) {
        // Pollen: a cluster of dots along the upper third.
        const double k = std::sin(u * 2.1) * std::cos(v * 1.9);
        if (dist < 2.1 && k > -0.35) return RampIndex(kGoldFirst, kGoldCount, 0.55 + 0.45 * k);
      }
      if (dist < 0.75) return RampIndex(kPetalFirst, kPetalCount, 0.78 - 0.2 * s);
    }
    const double tx = u - 30.0, ty = v - 7.0;  // stigma pads at the very tip
    if (tx * tx + ty * ty < 2.2) return RampIndex(kEyeFirst, kEyeCount, 0.9);
  }

  // Petals: five lobes, each widest at two thirds of its length.
  const double turn = theta + kPi / 2 + 0.25;  // first petal points up, a little turned
  const double sector = 2 * kPi / 5;
  double local = std::fmod(turn + 100 * sector, sector) - sector / 2;  // -36..36 degrees
  const int petal = int(std::floor((turn + 100 * sector) / sector)) % 5;
  const double q = local / (sector / 2);                              // -1..1 across a petal
  const double ruffle = 0.55 * std::sin(theta * 23.0) + 0.35 * std::sin(theta * 37.0 + 1.0);
  const double edge = 17.6 * (1.0 - 0.22 * q * q * q * q) + ruffle;
  if (r <= edge) {
    // Dark eye at the heart, veins running out, overlap shading on one side,
    // light from the upper left.
    const double eye = 4.2 + 0.8 * std::sin(theta * 5.0);
    if (r < eye) return RampIndex(kEyeFirst, kEyeCount, 0.15 + 0.6 * r / eye);
    const double along = (r - eye) / (edge - eye);
    double t = 0.25 + 0.55 * std::sqrt(along);
    t -= 0.12 * std::fabs(std::sin(local * 9.0)) * (1 - along);        // veins
    t -= 0.16 * std::max(0.0, q) * (0.3 + along);                       // overlapped side
    t += 0.12 * (-(dx + dy) / (r + 1e-9)) * along;                      // light
    t += 0.08 * (petal % 2);                                            // neighbouring petals differ
    if (edge - r < 0.9) t += 0.1;                                       // bright rim
    if (std::fabs(q) > 0.9 && along > 0.35) t -= 0.14;                  // creases between petals
    return RampIndex(kPetalFirst, kPetalCount, t);
  }

  // Leaf behind the flower, pointing to the lower left.
  {
    const double lx = u - 7.0, ly = v - 31.5;
    const double a = -0.65;
    const double ax = lx * std::cos(a) - ly * std::sin(a), ay = lx * std::sin(a) + ly * std::cos(a);
    const double len = 9.5, half = 4.2 * (1 - (ax / len) * (ax / len));
    if (std::fabs(ax) < len && std::fabs(ay) < half) {
      double t = 0.45 + 0.3 * (ay < 0 ? 1 : -0.3) * (1 - std::fabs(ay) / (half + 1e-9));
      if (std::fabs(ay) < 0.5) t = 0.85;  // midrib
      return RampIndex(kLeafFirst, kLeafCount, t);
    }
  }
  return kTransparent;
}

Picture DrawFlower(int size) {
  Picture pic(size, size);
  const double scale = 38.0 / size;
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) pic.At(x, y) = uint8_t(FlowerAt((x + 0.5) * scale, (y + 0.5) * scale));
  return pic;
}

// ---- files -----------------------------------------------------------------

void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(uint8_t(v));
  out.push_back(uint8_t(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

void PutInfoHeader(std::vector<uint8_t>& out, int width, int height, int bits, uint32_t imageSize) {
  Put32(out, 40);
  Put32(out, uint32_t(width));
  Put32(out, uint32_t(height));
  Put16(out, 1);
  Put16(out, uint16_t(bits));
  Put32(out, 0);  // BI_RGB
  Put32(out, imageSize);
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, 0);  // all 2^bits colours
  Put32(out, 0);
}

void PutColours(std::vector<uint8_t>& out, const std::vector<Rgb>& colours) {
  for (const Rgb& c : colours) {
    out.push_back(uint8_t(c.b));
    out.push_back(uint8_t(c.g));
    out.push_back(uint8_t(c.r));
    out.push_back(0);
  }
}

std::vector<uint8_t> BmpFile(const Picture& pic, const std::vector<Rgb>& palette) {
  std::vector<uint8_t> out;
  const uint32_t offset = 14 + 40 + 256 * 4;
  out.push_back('B');
  out.push_back('M');
  Put32(out, offset + uint32_t(pic.bytes.size()));
  Put32(out, 0);
  Put32(out, offset);
  PutInfoHeader(out, pic.width, pic.height, 8, uint32_t(pic.bytes.size()));
  PutColours(out, palette);
  out.insert(out.end(), pic.bytes.begin(), pic.bytes.end());
  return out;
}

int Nearest(const std::vector<Rgb>& colours, Rgb c) {
  int best = 0, bestDistance = 1 << 30;
  for (int i = 0; i < int(colours.size()); ++i) {
    const int dr = colours[i].r - c.r, dg = colours[i].g - c.g, db = colours[i].b - c.b;
    const int d = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
    if (d < bestDistance) bestDistance = d, best = i;
  }
  return best;
}

// One icon image: header with doubled height, colours, XOR rows, AND mask.
std::vector<uint8_t> IconImage(const Picture& art, const std::vector<Rgb>& palette, int bits) {
  const int n = art.width;
  const std::vector<Rgb> vga = {{0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
                                {0, 0, 128},     {128, 0, 128}, {0, 128, 128}, {192, 192, 192},
                                {128, 128, 128}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
                                {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
  const std::vector<Rgb>& colours = bits == 8 ? palette : vga;
  const int xorStride = ((n * bits + 31) / 32) * 4, andStride = ((n + 31) / 32) * 4;
  std::vector<uint8_t> xorRows(size_t(xorStride) * n, 0), andRows(size_t(andStride) * n, 0);
  for (int y = 0; y < n; ++y) {
    const int row = n - 1 - y;  // bottom-up
    for (int x = 0; x < n; ++x) {
      const int index = art.bytes[size_t(row) * art.stride + x];
      if (index == kTransparent) {
        andRows[size_t(row) * andStride + x / 8] |= uint8_t(0x80 >> (x % 8));
        continue;  // colour 0 under a set mask bit leaves the screen as it is
      }
      // 16 colours cannot hold the pinks: mix neighbouring ones by dithering.
      const Rgb colour = palette[index];
      const int spread = static_cast<int>(std::lround(Dither(x, y) * 110));
      const Rgb dithered = {colour.r + spread, colour.g + spread, colour.b + spread};
      const int c = bits == 8 ? index : Nearest(vga, dithered);
      if (bits == 8)
        xorRows[size_t(row) * xorStride + x] = uint8_t(c);
      else
        xorRows[size_t(row) * xorStride + x / 2] |= uint8_t(x % 2 ? c : c << 4);
    }
  }
  std::vector<uint8_t> out;
  PutInfoHeader(out, n, 2 * n, bits, uint32_t(xorRows.size() + andRows.size()));
  PutColours(out, colours);
  out.insert(out.end(), xorRows.begin(), xorRows.end());
  out.insert(out.end(), andRows.begin(), andRows.end());
  return out;
}

std::vector<uint8_t> IcoFile(const Picture& art, const std::vector<Rgb>& palette) {
  const std::vector<uint8_t> images[2] = {IconImage(art, palette, 4), IconImage(art, palette, 8)};
  std::vector<uint8_t> out;
  Put16(out, 0);
  Put16(out, 1);  // icon
  Put16(out, 2);
  uint32_t offset = 6 + 2 * 16;
  for (int i = 0; i < 2; ++i) {
    const int bits = i == 0 ? 4 : 8;
    out.push_back(uint8_t(art.width));
    out.push_back(uint8_t(art.height));
    out.push_back(uint8_t(bits == 4 ? 16 : 0));  // 0 stands for 256 colours
    out.push_back(0);
    Put16(out, 1);
    Put16(out, uint16_t(bits));
    Put32(out, uint32_t(images[i].size()));
    Put32(out, offset);
    offset += uint32_t(images[i].size());
  }
  for (const auto& image : images) out.insert(out.end(), image.begin(), image.end());
  return out;
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_pictures OUTPUT_FOLDER\n");
    return 2;
  }
  const std::vector<Rgb> palette = MakePalette();
  for (int i = 0; i < 255; ++i)
    if (palette[i].r == 0 && palette[i].g == 0 && palette[i].b == 0) {
      std::fprintf(stderr, "make_pictures: black at index %d; it must stay unique to %d\n", i, kTransparent);
      return 1;
    }
  const Picture banner = DrawBanner();
  for (uint8_t b : banner.bytes)
    if (b == kTransparent) {
      std::fprintf(stderr, "make_pictures: the banner must not use the transparent index\n");
      return 1;
    }
  const std::string dir = argv[1];
  if (!WriteFile(dir + "/banner.bmp", BmpFile(banner, palette)) ||
      !WriteFile(dir + "/flower.bmp", BmpFile(DrawFlower(38), palette)) ||
      !WriteFile(dir + "/installer.ico", IcoFile(DrawFlower(32), palette))) {
    std::fprintf(stderr, "make_pictures: cannot write into %s\n", argv[1]);
    return 1;
  }
  return 0;
}
