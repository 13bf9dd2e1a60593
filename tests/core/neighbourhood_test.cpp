// Neighbourhood filters and painterly effects beside plain per-pixel forms of their formulas
// (mirrored coordinates, single-precision accumulation and all), with the worked numbers and
// ImageMagick.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "processing/filter.h"
#include "processing/window_filters.h"
#include "tests/core/test_support.h"

namespace {

// The mirror rule, held inside for images smaller than the window.
int Mirror(int i, int n, int half) {
  i = i < 0 ? -i : i >= n ? i - 2 * half : i;
  return std::min(std::max(i, 0), n - 1);
}
// Channel c of the window pixel (x, y) of a window reaching half either side.
int Window(const Picture& s, int x, int y, int c, int half = 1) {
  return s.at(Mirror(x, s.w, half), Mirror(y, s.h, half), c);
}
int Luma(const Picture& s, int x, int y) { return (28 * s.at(x, y, 0) + 151 * s.at(x, y, 1) + 77 * s.at(x, y, 2)) >> 8; }

// gy: the second kernel of a gradient, divisor its factor; engine 'i' integer, 'f' float, 'g' gradient
struct Kernel { int command, n; std::vector<double> weights, gy; double divisor; char engine; };
const Kernel kKernels[] = {
    {134, 3, {1, 1, 1, 1, 1, 1, 1, 1, 1}, {}, 9, 'i'},
    {135, 5, std::vector<double>(25, 1), {}, 25, 'i'},
    {136, 3, {1, 1, 1, 1, 4, 1, 1, 1, 1}, {}, 12, 'i'},
    {137, 3, {1, 2, 1, 2, 4, 2, 1, 2, 1}, {}, 16, 'i'},
    {138, 3, {1, 4, 1, 4, 16, 4, 1, 4, 1}, {}, 36, 'i'},
    {139, 5, {1, 2, 3, 2, 1, 2, 3, 4, 3, 2, 3, 4, 5, 4, 3, 2, 3, 4, 3, 2, 1, 2, 3, 2, 1}, {}, 65, 'i'},
    {140, 3, {7, 12, 7, 12, 20, 12, 7, 12, 7}, {}, 100, 'f'},
    {141, 3, {-1, -1, -1, -1, 15, -1, -1, -1, -1}, {}, 7, 'i'},
    {142, 3, {-3, -3, -3, -3, 33, -3, -3, -3, -3}, {}, 9, 'i'},
    {143, 3, {-4, -2, 0, -2, 2, 2, 0, 2, 4}, {}, 0, 'i'},
    {144, 3, {-4, -2, 0, -2, 2, 2, 0, 2, 4}, {}, 9, 'i'},
    {145, 3, {0, 0, 0, -1, 0, 1, 0, 0, 0}, {0, -1, 0, 0, 0, 0, 0, 1, 0}, 2, 'g'},
    {146, 3, {-1, 0, 1, -2, 0, 2, -1, 0, 1}, {-1, -2, -1, 0, 0, 0, 1, 2, 1}, 8, 'g'},
};

int Clamp255(double a) { return a < 0 ? 0 : a > 255 ? 255 : static_cast<int>(a); }

int KernelPixel(const Kernel& k, const Picture& s, int x, int y, int c) {
  const int half = k.n / 2;
  float a = 0;
  double gx = 0, gy = 0;
  for (int i = 0; i < k.n * k.n; ++i) {
    const int v = Window(s, x + i % k.n - half, y + i / k.n - half, c, half);
    if (k.engine == 'i') a += static_cast<float>(v * static_cast<int>(k.weights[i]));
    if (k.engine == 'f') a = static_cast<float>(static_cast<double>(a) + v * k.weights[i]);
    if (k.engine == 'g') gx += v * k.weights[i], gy += v * k.gy[i];
  }
  if (k.engine == 'g') return Clamp255(std::sqrt((gx * gx + gy * gy) / k.divisor));
  if (k.divisor != 0) a = a / static_cast<float>(k.divisor);
  return Clamp255(a);
}

// Nine window values, top row first.
std::vector<int> Window3(const Picture& s, int x, int y, int c) {
  std::vector<int> v;
  for (int i = 0; i < 9; ++i) v.push_back(Window(s, x + i % 3 - 1, y + i / 3 - 1, c));
  return v;
}

int MedianPixel(const Picture& s, int x, int y, int c) {
  std::vector<int> v = Window3(s, x, y, c);
  std::nth_element(v.begin(), v.begin() + 4, v.end());
  return v[4];
}

const int kSobelX[9] = {1, 0, -1, 2, 0, -2, 1, 0, -1}, kSobelY[9] = {1, 2, 1, 0, 0, 0, -1, -2, -1};

int ContourPixel(const Picture& s, int x, int y, int c) {
  int gx = 0, gy = 0;
  for (int i = 0; i < 9; ++i) {
    const int l = Luma(s, Mirror(x + i % 3 - 1, s.w, 1), Mirror(y + i / 3 - 1, s.h, 1));
    gx += l * kSobelX[i], gy += l * kSobelY[i];
  }
  const int m = std::min(1000, static_cast<int>(std::sqrt(static_cast<double>(gx * gx + gy * gy))));
  return (0 * m + s.at(x, y, c) * (1000 - m)) / 1000;
}

int EdgePreservingPixel(const Picture& s, int x, int y, int c) {
  const std::vector<int> v = Window3(s, x, y, c);
  int gx = 0, gy = 0, sum8 = 0;
  for (int i = 0; i < 9; ++i) gx += v[i] * kSobelX[i], gy += v[i] * kSobelY[i], sum8 += i == 4 ? 0 : v[i];
  const int m = static_cast<int>(std::sqrt((gx * gx + gy * gy) / 8.0));
  const int w = std::max(0, 30 - m);
  return (30 * v[4] + w * sum8) / (30 + 8 * w);
}

int MosaicPixel(const Picture& s, int x, int y, int c, int b) {
  auto reflect = [](int i, int n) { return i < n ? i : std::max(2 * n - i - 1, 0); };
  int sum = 0;
  for (int i = 0; i < b * b; ++i) sum += s.at(reflect(x / b * b + i % b, s.w), reflect(y / b * b + i / b, s.h), c);
  return sum / (b * b);
}

int SoftFocusPixel(const Picture& s, int x, int y, int c) {
  int a = 0;
  for (int dy = -8; dy <= 8; ++dy)
    for (int dx = -8; dx <= 8; ++dx) {
      const int px = x + dx, py = y + dy;
      if (px >= 0 && py >= 0 && px < s.w && py < s.h && Luma(s, px, py) > 30) a += s.at(px, py, c);
    }
  const int src = s.at(x, y, c);
  a = a / 289 * 255 / (3 * src + 255);
  return (255 - a) * src / 255 + a;
}

// The most frequent of the eight tone bins (value >> 5), the lowest of equal counts.
int OilPixel(const Picture& s, int x, int y, int c) {
  int count[8] = {};
  for (int v : Window3(s, x, y, c)) ++count[v >> 5];
  return static_cast<int>(std::max_element(count, count + 8) - count) * 32 + 16;
}

// Tone level of the luma, faded to black lines where a channel's Sobel edge is strong.
int IllustrationPixel(const Picture& s, int x, int y) {
  int m[3];
  for (int c = 0; c < 3; ++c) {
    const std::vector<int> v = Window3(s, x, y, c);
    int gx = 0, gy = 0;
    for (int k = 0; k < 9; ++k) gx += v[k] * kSobelX[k], gy += v[k] * kSobelY[k];
    m[c] = static_cast<int>(std::sqrt(static_cast<double>(gx * gx + gy * gy)) / 8.0);
  }
  const int e = m[2] > m[1] ? m[2] : std::max(m[0], m[1]);
  const int f = e < 64 ? 255 : e < 74 ? 255 - (e - 64) * 255 / 10 : 0;
  const int luma = Luma(s, x, y), level = luma > 170 ? 255 : luma > 143 ? 128 : luma > 113 ? 64 : 0;
  return f * level / 256;
}

std::vector<uint8_t> Reference(int command, const Picture& s) {
  std::vector<uint8_t> out;
  for (int y = 0; y < s.h; ++y)
    for (int x = 0; x < s.w; ++x)
      for (int c = 0; c < 3; ++c) {
        int v = -1;
        for (const Kernel& k : kKernels)
          if (k.command == command) v = KernelPixel(k, s, x, y, c);
        if (command == 148) v = ContourPixel(s, x, y, c);
        if (command == 149 || command == 120 || command == 150)
          v = MosaicPixel(s, x, y, c, command == 149 ? 5 : command == 120 ? 10 : 20);
        if (command == 151) v = MedianPixel(s, x, y, c);
        if (command == 152) v = EdgePreservingPixel(s, x, y, c);
        if (command == 178) v = OilPixel(s, x, y, c);
        if (command == 179) v = IllustrationPixel(s, x, y);
        if (command == 191) v = SoftFocusPixel(s, x, y, c);
        out.push_back(static_cast<uint8_t>(v));
      }
  return out;
}

// Shading with grain, a bright block and a dark disc: flat areas, soft slopes and hard edges.
ImagePtr Structured(int w, int h, uint32_t seed) {
  ImagePtr image = NewImage(w, h, 24);
  uint32_t s = seed * 2654435761u + 7;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      s ^= s << 13, s ^= s >> 17, s ^= s << 5;
      int v = 40 + 120 * x / w + 50 * y / h + static_cast<int>(s % 7) - 3;
      if (x > w / 4 && x < w / 2 && y > h / 3 && y < 2 * h / 3) v += 90;
      if ((x - 3 * w / 4) * (x - 3 * w / 4) + (y - h / 2) * (y - h / 2) < w * h / 20) v -= 60;
      uint8_t* p = RowAddress(image.get(), y) + 3 * x;
      p[0] = static_cast<uint8_t>(std::clamp(v, 0, 255));
      p[1] = static_cast<uint8_t>(std::clamp(v + 20 - static_cast<int>(s >> 8 & 7), 0, 255));
      p[2] = static_cast<uint8_t>(std::clamp(255 - v, 0, 255));
    }
  return image;
}

// Ramps whose slope grows down the picture (edge strengths from 0 past 74), wrapping into sharp edges.
ImagePtr Ramps(int w, int h) {
  ImagePtr image = NewImage(w, h, 24);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < 3 * w; ++x) RowAddress(image.get(), y)[x] = static_cast<uint8_t>((x / 3) * (y % 90) + 40 * (x % 3));
  return image;
}

// Runs a command on image: the 24-bit picture it worked on and the result's pixels.
std::pair<Picture, std::vector<uint8_t>> Filtered(ImagePtr image, int command) {
  Document d(std::move(image));
  const ImagePtr source(d.doc.MakeTrueColorCopy(d.image()));
  const ImagePtr out = d.Run(command);
  EXPECT_TRUE(out && BitCount(out.get()) == 24) << command;
  return {Picture(source.get()), out ? Pixels24(out.get()) : std::vector<uint8_t>{}};
}

// Every filter on odd sizes at 24 bits (noise, a picture with flat parts and edges, ramps), and
// on every other depth and the run-length forms, against the formula on the 24-bit copy.
TEST(NeighbourhoodFilters, EqualThePlainFormulas) {
  std::vector<std::array<int, 4>> sources;  // width, height, bits (negative: run-length), kind
  for (const auto& size : {std::pair{1, 1}, {2, 2}, {3, 3}, {4, 4}, {1, 9}, {9, 1}, {41, 2}, {2, 41}, {37, 23}})
    for (int kind : {0, 1}) sources.push_back({size.first, size.second, 24, kind});
  for (int bpp : {1, 4, 8, 16, 32, -8, -4}) sources.push_back({19, 11, bpp, 0});
  sources.push_back({45, 33, 24, 2});
  for (int command : {134, 135, 136, 137, 138, 139, 140, 141, 142, 143, 144, 145, 146, 148, 149, 120, 150, 151, 152,
                      178, 179, 191})
    for (const auto& [w, h, bpp, kind] : sources) {
      SCOPED_TRACE(::testing::Message() << command << " on " << w << "x" << h << "x" << bpp << " kind " << kind);
      ImagePtr image = kind == 1 ? Structured(w, h, 3) : kind == 2 ? Ramps(w, h) : RandomImage(w, h, std::abs(bpp), command + w);
      if (bpp < 0) EncodeRle(image.get());
      const auto [source, out] = Filtered(std::move(image), command);
      EXPECT_EQ(out, Reference(command, source));
    }
}

TEST(NeighbourhoodFilters, WorkedNumbers) {
  // greys: one for every pixel, or none for blue, green and red 10 * column
  const struct { int command, w, h; std::vector<int> greys; int x, y, expected; } cases[] = {
      {140, 6, 5, {200}, 0, 0, 192},  // 200 * 96 / 100
      {143, 6, 5, {100}, 5, 4, 200},  // twice the value, no bias
      {144, 6, 5, {100}, 3, 1, 22},   // 200 / 9
      {191, 6, 5, {30}, 4, 2, 30},    // luma 30 nowhere above 30: unchanged
      // Columns 0, 10 .. 50: the last column of the 5 x 5 box reads columns 3, 4, 5, 2, 3.
      {135, 6, 5, {}, 5, 2, (30 + 40 + 50 + 20 + 30) / 5},
      // Block 5 on 7 x 7: the tile at 5 averages columns 5, 6, 6, 5, 4.
      {149, 7, 7, {}, 6, 6, (50 + 60 + 60 + 50 + 40) / 5},
      {149, 7, 7, {}, 4, 6, (0 + 10 + 20 + 30 + 40) / 5},
      {178, 3, 3, {100}, 1, 1, 112},                                 // bin 3
      {178, 3, 3, {0, 32, 64, 96, 128, 160, 161, 192, 224}, 1, 1, 176},  // bin 5 counts 2
      {178, 3, 3, {10, 10, 200, 200, 40, 70, 100, 130, 250}, 1, 1, 16},  // bins 0 and 6 tie: the lower
      {179, 3, 3, {255}, 1, 1, 254},                                 // flat white
      {179, 3, 3, {150}, 1, 1, 127},                                 // luma 150
      {179, 3, 3, {0, 0, 255, 0, 0, 255, 0, 0, 255}, 1, 1, 0},      // next to a sharp edge: a line
  };
  for (const auto& c : cases) {
    ImagePtr image = NewImage(c.w, c.h, 24);
    for (int i = 0; i < c.w * c.h; ++i)
      std::memset(RowAddress(image.get(), i / c.w) + 3 * (i % c.w),
                  c.greys.empty() ? 10 * (i % c.w) : c.greys[c.greys.size() == 1 ? 0 : i], 3);
    const auto [source, out] = Filtered(std::move(image), c.command);
    EXPECT_EQ(out[(static_cast<size_t>(c.y) * c.w + c.x) * 3], c.expected) << c.command << " " << c.greys.size();
  }
  EXPECT_FALSE(Filter().RunOperation(151));  // no image
  // A hard black and white edge keeps its two sides under edge-preserving smoothing; the
  // illustration draws black lines on both sides of it, the far columns keep their tone.
  ImagePtr edge = NewImage(8, 4, 24);
  for (int y = 0; y < 4; ++y) std::memset(RowAddress(edge.get(), y) + 12, 255, 12);
  const auto [source, out] = Filtered(std::move(edge), 152);
  EXPECT_EQ(out, source.px);
  EXPECT_EQ(Filtered(RowImage({0, 0, 0, 0, 0, 0, 255, 255, 255, 255, 255, 255}), 179).second,
            (std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0, 0, 0, 254, 254, 254}));
}

// The five sums over the 27 x 27 window, skipping positions outside: Q and M per pixel.
void DirectZeroCrossing(const Picture& s, std::vector<double>* q, std::vector<double>* m) {
  const double sg = 1.5, pi = 3.14159265358979323846;
  for (int y = 0; y < s.h; ++y)
    for (int x = 0; x < s.w; ++x) {
      double fx = 0, fy = 0, fxy = 0, fxx = 0, fyy = 0;
      for (int v = -13; v <= 13; ++v)
        for (int u = -13; u <= 13; ++u) {
          if (x + u < 0 || y + v < 0 || x + u >= s.w || y + v >= s.h) continue;
          const double l = Luma(s, x + u, y + v), g = std::exp(-(u * u + v * v) / (2 * sg)) / (2 * pi * sg);
          fx += l * (-u / sg * g), fy += l * (-v / sg * g), fxy += l * (u * v / (sg * sg) * g);
          fxx += l * ((u * u / (sg * sg) - 1 / sg) * g), fyy += l * ((v * v / (sg * sg) - 1 / sg) * g);
        }
      q->push_back(fx * fx * fxx + 2 * fxy * fx * fy + fy * fy * fyy);
      m->push_back(std::sqrt(fx * fx + fy * fy));
    }
}

TEST(ZeroCrossing, RowAndColumnPassesGiveTheDirectSumsPixels) {
  const int sizes[][2] = {{1, 1}, {2, 2}, {3, 3}, {30, 2}, {2, 30}, {64, 48}, {45, 61}};
  int white = 0;
  for (const auto& size : sizes)
    for (int kind = 0; kind < 3; ++kind) {
      SCOPED_TRACE(::testing::Message() << size[0] << "x" << size[1] << " kind " << kind);
      ImagePtr image = kind ? Structured(size[0], size[1], 11) : RandomImage(size[0], size[1], 24, 4);
      for (int y = 0; kind == 2 && y < size[1]; ++y)  // rings: crossings in every direction
        for (int x = 0; x < size[0]; ++x)
          std::memset(RowAddress(image.get(), y) + 3 * x,
                      128 + static_cast<int>(100 * std::sin(std::hypot(x - 20, y - 15) / 2.5)), 3);
      Document d(std::move(image));
      const ImagePtr out = d.Run(147);
      ASSERT_TRUE(out);
      EXPECT_EQ(d.channel.progress.front() + d.channel.progress.back(),
                std::string("begin:") + ProgressCaptionText(kProgressWorking) + "end");
      const Picture s(d.image());
      const std::vector<uint8_t> px = Pixels24(out.get());
      std::vector<double> q, m;
      DirectZeroCrossing(s, &q, &m);
      for (int y = 0; y < s.h; ++y)
        for (int x = 0; x < s.w; ++x) {
          const size_t i = static_cast<size_t>(y) * s.w + x;
          const bool right = x + 1 < s.w && q[i] * q[i + 1] < 0, below = y + 1 < s.h && q[i] * q[i + s.w] < 0;
          const int expected = m[i] >= 20 && (right || below) ? 255 : 0;
          EXPECT_TRUE(px[3 * i] == expected && px[3 * i + 1] == expected && px[3 * i + 2] == expected)
              << x << "," << y << " M " << m[i] << " Q " << q[i];
          white += expected != 0;
        }
    }
  EXPECT_GT(white, 800);
}

TEST(NeighbourhoodFilters, IntegerDivisionAndRootsEqualTheFloatFormulaForEveryReachableSum) {
  for (const Kernel& k : kKernels) {
    if (k.engine == 'g' || k.divisor == 0) continue;
    int low = 0, high = 0;
    for (double weight : k.weights) (weight < 0 ? low : high) += 255 * static_cast<int>(weight);
    const ByteDivider d = MakeByteDivider(static_cast<int>(k.divisor));
    ASSERT_GE(d.shift, 0) << k.command;
    for (int sum = low; sum <= high; ++sum) {
      const float a = static_cast<float>(sum) / static_cast<float>(k.divisor);
      const int fast = sum < 0 ? 0 : sum > 255 * k.divisor ? 255 : DivideByte(static_cast<uint16_t>(sum), d);
      ASSERT_EQ(fast, Clamp255(a)) << k.command << " sum " << sum;
    }
  }
  const SquareRootTable table;
  for (int squared = 0; squared <= 2 * 1020 * 1020; ++squared) {
    ASSERT_EQ(table.root[std::min(squared >> 3, 65535)], Clamp255(std::sqrt(squared / 8.0))) << squared;
    ASSERT_TRUE(squared > 2 * 255 * 255 || table.root[squared >> 1] == Clamp255(std::sqrt(squared / 2.0))) << squared;
  }
}

// ImageMagick's median and correlations of a photograph, away from the border (its edge rule
// differs): the median exactly, the kernels through its 16-bit result, whose 257ths truncated
// are the truncated quotient.
TEST(NeighbourhoodFilters, InteriorEqualsImageMagick) {
  const std::string dir = LibrarySourceDir("libjpeg-turbo/testimages");
  if (dir.empty()) GTEST_SKIP() << "libjpeg-turbo's test images are not here";
  const std::string file = dir + "/nightshot_iso_100.bmp";
  for (int command : {151, 134, 137, 140, 142, 143}) {
    std::string options = "-statistic Median 3x3 -depth 8";
    for (const Kernel& k : kKernels) {
      if (k.command != command) continue;
      char scale[64];
      std::snprintf(scale, sizeof scale, "-define convolve:scale=%.17g", k.divisor ? 1 / k.divisor : 1.0);
      options = std::string(scale) + " -morphology Correlate '3x3:";
      for (double weight : k.weights) options += std::to_string(static_cast<int>(weight)) + ",";
      options.back() = '\'';
      options += " -endian MSB -depth 16";
    }
    SCOPED_TRACE(options);
    OpenedFile opened(file);
    ASSERT_TRUE(opened.ok);
    const auto [source, out] = Filtered(ImagePtr(opened.doc.CloneImage(opened.image(), true)), command);
    const std::vector<uint8_t> magick = MagickPixels(file, options + " rgb:-");
    const size_t bytes = command == 151 ? 1 : 2;
    ASSERT_EQ(magick.size(), source.px.size() * bytes);
    int differing = 0;
    for (int y = 1; y + 1 < source.h; ++y)
      for (int x = 1; x + 1 < source.w; ++x)
        for (int rgb = 0; rgb < 3; ++rgb) {
          const size_t at = ((static_cast<size_t>(y) * source.w + x) * 3 + rgb) * bytes;
          const int theirs = bytes == 1 ? magick[at] : (magick[at] << 8 | magick[at + 1]) / 257;
          differing += theirs != out[(static_cast<size_t>(y) * source.w + x) * 3 + 2 - rgb];
        }
    EXPECT_EQ(differing, 0);
  }
}

}  // namespace
