// The adjustment dialogs' preview arithmetic: the worked values of each formula, the HSV
// conversion against a plain reference, and the operations run through the operation table.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>

#include "processing/adjust.h"
#include "processing/operation_table.h"
#include "tests/core/test_support.h"

namespace {

// A 24-bit image whose pixels are the given (blue, green, red) triples in one row.
ImagePtr Row(const std::vector<uint8_t>& bgr) {
  ImagePtr image = NewImage(static_cast<int>(bgr.size() / 3), 1, 24);
  std::copy(bgr.begin(), bgr.end(), RowAddress(image.get(), 0));
  return image;
}

std::vector<uint8_t> Preview(void (*preview)(const DibImage*, DibImage*, const int*), const std::vector<uint8_t>& bgr,
                         const int* p) {
  ImagePtr in = Row(bgr), out = NewImage(Width(in.get()), 1, 24);
  preview(in.get(), out.get(), p);
  return std::vector<uint8_t>(RowAddress(out.get(), 0), RowAddress(out.get(), 0) + bgr.size());
}

TEST(Adjust, TheDialogsWorkedValues) {
  const struct Case {
    const char* what;
    void (*preview)(const DibImage*, DibImage*, const int*);
    std::vector<int> p;
    std::vector<uint8_t> in, out;
  } cases[] = {
      {"gamma 1.00 keeps", [](const DibImage* w, DibImage* o, const int* p) { PreviewGamma(w, o, p[0]); }, {100},
       {0, 1, 128}, {0, 1, 128}},
      {"gamma 0.01", [](const DibImage* w, DibImage* o, const int* p) { PreviewGamma(w, o, p[0]); }, {1},
       {0, 1, 128}, {0, 241, 253}},
      {"gamma 3.00", [](const DibImage* w, DibImage* o, const int* p) { PreviewGamma(w, o, p[0]); }, {300},
       {128, 255, 0}, {32, 255, 0}},
      {"two levels", [](const DibImage* w, DibImage* o, const int* p) { PreviewGradation(w, o, p[0]); }, {2},
       {0, 127, 128, 255, 200, 1}, {0, 0, 128, 128, 128, 0}},
      {"linear contrast a 0, b 255: the negative",
       [](const DibImage* w, DibImage* o, const int* p) { PreviewLinearContrast(w, o, p[0], p[1], p[2], p[3]); },
       {0, 255, 255, 0}, {0, 100, 255}, {255, 155, 0}},
      {"linear contrast below d and above c",
       [](const DibImage* w, DibImage* o, const int* p) { PreviewLinearContrast(w, o, p[0], p[1], p[2], p[3]); },
       {200, 10, 150, 50}, {10, 100, 220}, {55, 129, 245}},
      {"rgb offsets clamp", [](const DibImage* w, DibImage* o, const int* p) { PreviewRgb(w, o, p[0], p[1], p[2]); },
       {100, -50, 255}, {10, 20, 200}, {255, 0, 255}},
      {"white balance 255", [](const DibImage* w, DibImage* o, const int* p) { PreviewWhiteBalance(w, o, p[0]); },
       {255}, {200, 90, 30}, {0, 90, 255}},
      {"hsv: saturation +1 keeps pure red",
       [](const DibImage* w, DibImage* o, const int* p) { PreviewHsv(w, o, p[0], p[1], p[2]); }, {0, 100, 0},
       {0, 0, 255}, {0, 0, 255}},
  };
  for (const Case& c : cases) EXPECT_EQ(Preview(c.preview, c.in, c.p.data()), c.out) << c.what;
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
  ImagePtr work = NewImage(64, 32, 24), out = NewImage(64, 32, 24);
  FillRandom(work.get(), 7);
  for (const auto& p : std::vector<std::array<int, 3>>{{0, 0, 0}, {200, -30, 40}, {359, 100, -100}, {90, -100, 0}}) {
    PreviewHsv(work.get(), out.get(), p[0], p[1], p[2]);
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 64; ++x) {
        uint8_t want[3];
        HsvReference(RowAddress(work.get(), y) + 3 * x, want, p[0], p[1], p[2]);
        ASSERT_EQ(std::vector<uint8_t>(want, want + 3),
                  std::vector<uint8_t>(RowAddress(out.get(), y) + 3 * x, RowAddress(out.get(), y) + 3 * x + 3))
            << p[0] << " " << p[1] << " " << p[2] << " at " << x << "," << y;
      }
  }
}

}  // namespace
