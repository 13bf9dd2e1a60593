// Tone and colour operations beside copy-then-change references and with their worked numbers,
// and the adjustment dialogs' preview arithmetic (the HSV conversion against a plain reference).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "processing/adjust.h"
#include "processing/filter.h"
#include "tests/core/test_support.h"

namespace {

// The result as the operations were first written: a full copy (with pixels for 108-110, a
// true-colour copy for the others) changed in place, the tables straight from their formulas.
ImagePtr CopyThenChange(Filter& doc, int command) {
  if (command <= 110) {
    ImagePtr copy(doc.CloneImage(doc.current_, true));
    auto ops = MDIBCtrl::CreatePixelOps(copy.get());
    command == 108 ? ops->Negative(copy.get()) : ops->GrayOrSepia(copy.get(), command);
    return copy;
  }
  ImagePtr copy(doc.MakeTrueColorCopy(doc.current_));
  const int w = Width(copy.get()), h = Height(copy.get());
  auto each = [&](auto f) {
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) f(RowAddress(copy.get(), y) + 3 * x);
  };
  if (command == 112) each([](uint8_t* p) { p[0] = p[1] = p[2] = static_cast<uint8_t>(GreyLuma(p[0], p[1], p[2])); });
  uint32_t counts[4][256] = {};  // blue, green, red, max
  each([&](uint8_t* p) {
    for (int c = 0; c < 3; ++c) ++counts[c][p[c]];
    ++counts[3][std::max({p[0], p[1], p[2]})];
  });
  int table[3][256];
  const int64_t n = static_cast<int64_t>(w) * h, p = n / 100;  // the stretch's 1 % and 99 % points
  int i = 0;
  int64_t s = 0;
  while (s < p) s += counts[3][i++];
  const int low = i - 1;
  while (s < n / 2) s += counts[3][i++];
  while (s < 99 * p) s += counts[3][i++];
  const int high = i - 1;
  for (int c = 0; c < 3; ++c) {
    const int t = Filter::OtsuThreshold(counts[command == 112 ? 2 : c]);
    int64_t sum = 0;
    for (int v = 0; v < 256; ++v) {
      const double k = 3.14159265358979323846 / 2 / 255;
      sum += counts[3][v];
      switch (command) {
        case 111: case 112: table[c][v] = v > t ? 255 : 0; break;
        case 113: table[c][v] = static_cast<int>(255 * std::sin(v * k)); break;
        case 114: table[c][v] = static_cast<int>(255 * (1 - std::cos(v * k))); break;
        case 115: table[c][v] = static_cast<int>(127 * (1 - std::cos(v * 2 * k))); break;
        case 118:
          table[c][v] = v < low ? 0 : v > high ? 255 : high == low ? 0 : static_cast<int>((v - low) * (255.0 / (high - low)));
          break;
        case 119: table[c][v] = static_cast<int>(sum / (n / 256 + 1)); break;
      }
    }
  }
  each([&](uint8_t* p) {
    for (int c = 0; c < 3; ++c) p[c] = static_cast<uint8_t>(table[c][p[c]]);
  });
  return copy;
}

// Pictures of every depth, run-length coded ones and ones with bit-field masks included.
ImagePtr AnyDepth(int w, int h, int kind) {
  static const int bits[] = {1, 4, 8, 4, 8, 16, 16, 24, 32, 32};
  ImagePtr image = RandomImage(w, h, bits[kind], static_cast<uint32_t>(kind * 31 + w), kind == 2 ? 200 : 0);
  if (kind == 3 || kind == 4) {  // runs, so that the coding fits
    for (size_t i = 0; i < ImageBytes(image.get()); ++i) image->bits[i] = static_cast<uint8_t>(i / 5 * 0x31);
    EncodeRle(image.get());
  }
  const uint32_t masks[2][3] = {{0xF800, 0x07E0, 0x001F}, {0x00F00000, 0x0000FF00, 0x0000003F}};
  if (kind == 6 || kind == 9) {
    image->info->bmiHeader.biCompression = BI_BITFIELDS;
    std::memcpy(Masks(image.get()), masks[kind == 9], sizeof masks[0]);
  }
  return image;
}

TEST(ToneOperations, OnePassResultsEqualCopyThenChange) {
  const int sizes[][2] = {{1, 1}, {2, 2}, {3, 3}, {37, 2}, {2, 23}, {301, 300}};
  for (int kind = 0; kind < 10; ++kind)
    for (const auto& size : sizes)
      for (int command : {108, 109, 110, 111, 112, 113, 114, 115, 118, 119}) {
        Document d(AnyDepth(size[0], size[1], kind));
        SCOPED_TRACE(testing::Message() << command << " on " << BitCount(d.image()) << " bits, kind " << kind << ", "
                                        << size[0] << "x" << size[1]);
        if (BitCount(d.image()) == 1 && (command == 109 || command == 110)) {  // a 1-bit image stays as it is
          EXPECT_FALSE(d.Run(command));
          EXPECT_TRUE(d.doc.image_count_ == 1 && d.doc.pending_ == d.doc.current_);
          continue;
        }
        ImagePtr want = CopyThenChange(d.doc, command), got = d.Run(command);
        ASSERT_TRUE(got && InfoBytes(got.get()) == InfoBytes(want.get()) && got->colours == want->colours);
        EXPECT_EQ(std::memcmp(got->info, want->info, InfoBytes(want.get())), 0);
        EXPECT_EQ(std::memcmp(got->bits, want->bits, ImageBytes(want.get())), 0);
      }
}

// The blue byte of every pixel a command makes of a row of greys.
std::vector<int> OnGreys(const std::vector<int>& greys, int command) {
  std::vector<uint8_t> bgr;
  for (int g : greys) bgr.insert(bgr.end(), 3, static_cast<uint8_t>(g));
  const ImagePtr out = Document(RowImage(bgr)).Run(command);
  std::vector<int> blues;
  for (int x = 0; out && x < Width(out.get()); ++x) blues.push_back(RowAddress(out.get(), 0)[3 * x]);
  return blues;
}

TEST(ToneOperations, WorkedNumbers) {
  std::vector<int> ramp(200);
  for (int v = 0; v < 200; ++v) ramp[v] = v;
  const struct { int command; std::vector<int> greys, expected; } cases[] = {
      {113, {1, 11, 12, 13, 128, 255}, {1, 17, 18, 20, 180, 255}},
      {114, {1, 11, 12, 13, 128, 255}, {0, 0, 0, 0, 75, 254}},
      {115, {1, 11, 12, 13, 128, 255}, {0, 1, 1, 1, 127, 254}},
      // The grey step maps 2 to 1 and 3 to 2 (the luma weights sum to 1023 / 1024): a uniform
      // grey is white above one, black otherwise.
      {112, {2, 2}, {0, 0}},
      {112, {3, 3}, {255, 255}},
      {112, {10, 200, 10, 200}, {0, 255, 0, 255}},
      // Uniform: low = high = the brightness, which maps to 0. Fewer than 100 pixels: the 1 %
      // point is 0 pixels, so low = -1 and high is the lowest value.
      {118, std::vector<int>(200, 90), std::vector<int>(200, 0)},
      {118, {0, 50, 200}, {255, 255, 255}},
      // N = 4, q = 4 / 256 + 1 = 1: the darker tone maps to its count, the brighter to N.
      {119, {40, 40, 200, 40}, {3, 3, 4, 3}},
  };
  for (const auto& c : cases) EXPECT_EQ(OnGreys(c.greys, c.command), c.expected) << c.command << " " << c.greys[0];
  // A spread image: the extremes clip (low = 1, the 1 % point of 2 pixels; high = 197), the middle scales.
  const std::vector<int> s = OnGreys(ramp, 118);
  EXPECT_EQ((std::vector<int>{s[0], s[1], s[100], s[199]}), (std::vector<int>{0, 0, 128, 255}));
  // Two-level per channel: each channel thresholded on its own histogram.
  const ImagePtr rgb = Document(RowImage({10, 200, 30, 10, 200, 30, 100, 20, 250, 100, 20, 250})).Run(111);
  EXPECT_EQ(Pixels24(rgb.get()), (std::vector<uint8_t>{0, 255, 0, 0, 255, 0, 255, 0, 255, 255, 0, 255}));
}

TEST(Otsu, FirstBestThresholdWinsAndFlatHistogramsGiveOne) {
  uint32_t h[256] = {}, flat[256] = {};
  h[10] = h[200] = 5, flat[90] = 7;
  EXPECT_EQ(Filter::OtsuThreshold(h) * 1000 + Filter::OtsuThreshold(flat), 11001);
}

// The preview of one adjustment dialog with its values p on a row of blue, green, red triples.
std::vector<uint8_t> Preview(char dialog, const std::vector<int>& p, const std::vector<uint8_t>& bgr) {
  ImagePtr in = RowImage(bgr), out = NewImage(Width(in.get()), 1, 24);
  switch (dialog) {
    case 'g': PreviewGamma(in.get(), out.get(), p[0]); break;
    case 'l': PreviewGradation(in.get(), out.get(), p[0]); break;
    case 'c': PreviewLinearContrast(in.get(), out.get(), p[0], p[1], p[2], p[3]); break;
    case 'r': PreviewRgb(in.get(), out.get(), p[0], p[1], p[2]); break;
    case 'w': PreviewWhiteBalance(in.get(), out.get(), p[0]); break;
    case 'h': PreviewHsv(in.get(), out.get(), p[0], p[1], p[2]); break;
  }
  return Pixels24(out.get());
}

TEST(Adjust, TheDialogsWorkedValues) {
  const struct Case { const char* what; char dialog; std::vector<int> p; std::vector<uint8_t> in, out; } cases[] = {
      {"gamma 1.00 keeps", 'g', {100}, {0, 1, 128}, {0, 1, 128}},
      {"gamma 0.01", 'g', {1}, {0, 1, 128}, {0, 241, 253}},
      {"gamma 3.00", 'g', {300}, {128, 255, 0}, {32, 255, 0}},
      {"two levels", 'l', {2}, {0, 127, 128, 255, 200, 1}, {0, 0, 128, 128, 128, 0}},
      {"linear contrast a 0, b 255: the negative", 'c', {0, 255, 255, 0}, {0, 100, 255}, {255, 155, 0}},
      {"linear contrast below d and above c", 'c', {200, 10, 150, 50}, {10, 100, 220}, {55, 129, 245}},
      {"rgb offsets clamp", 'r', {100, -50, 255}, {10, 20, 200}, {255, 0, 255}},
      {"white balance 255", 'w', {255}, {200, 90, 30}, {0, 90, 255}},
      {"hsv: saturation +1 keeps pure red", 'h', {0, 100, 0}, {0, 0, 255}, {0, 0, 255}},
  };
  for (const Case& c : cases) EXPECT_EQ(Preview(c.dialog, c.p, c.in), c.out) << c.what;
}

// The HSV formula, written out once more in the plain order of the dialog's description.
void HsvReference(const uint8_t* bgr, uint8_t* out, int dh, int ds, int dv) {
  const double r = bgr[2], g = bgr[1], b = bgr[0];
  const double mx = std::max(r, std::max(g, b)), mn = std::min(r, std::min(g, b)), d = mx - mn;
  const double rc = d ? (mx - r) / d : 0, gc = d ? (mx - g) / d : 0, bc = d ? (mx - b) / d : 0;
  double h = r == mx ? (bc - gc) * 60 : g == mx ? (2 + rc - bc) * 60 : (4 + gc - rc) * 60;
  if (h < 0) h += 360;
  double s = mx == 0 ? 0 : d / mx, v = mx;
  h += dh, s += ds / 100.0, v += dv;
  if (h >= 360) h -= 360;
  else if (h < 0) h += 360;
  const int i = static_cast<int>(std::floor(h / 60));
  const double f = (i % 2 == 0) ? 1 - (h / 60 - i) : h / 60 - i, m = (1 - s) * v, n = (1 - s * f) * v;
  const double table[6][3] = {{v, n, m}, {n, v, m}, {m, v, n}, {m, n, v}, {n, m, v}, {v, m, n}};
  for (int c = 0; c < 3; ++c) {
    const double x = std::trunc(table[i][c] + (table[i][c] >= 0 ? 0.5 : -0.5));
    out[2 - c] = static_cast<uint8_t>(x < 0 ? 0 : x > 255 ? 255 : x);
  }
}

TEST(Adjust, HsvFollowsTheFormulaOnEveryHueSector) {
  ImagePtr work = RandomImage(64, 32, 24, 7), out = NewImage(64, 32, 24);
  const std::vector<uint8_t> in = Pixels24(work.get());
  for (const auto& p : std::vector<std::array<int, 3>>{{0, 0, 0}, {200, -30, 40}, {359, 100, -100}, {90, -100, 0}}) {
    PreviewHsv(work.get(), out.get(), p[0], p[1], p[2]);
    std::vector<uint8_t> want(in.size());
    for (size_t i = 0; i < in.size(); i += 3) HsvReference(&in[i], &want[i], p[0], p[1], p[2]);
    EXPECT_EQ(Pixels24(out.get()), want) << p[0] << " " << p[1] << " " << p[2];
  }
}

}  // namespace
