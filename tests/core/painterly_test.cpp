// Oil painting and illustration against a plain per-pixel reference, and their worked numbers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "processing/filter.h"
#include "tests/core/test_support.h"

namespace {

// Channel c of the window pixel (x, y): -i before the start, i - 2 past the end, and on an axis
// of one pixel the pixel itself.
int At(const DibImage* s, int x, int y, int c) {
  auto mirror = [](int i, int n) { return std::clamp(i < 0 ? -i : i >= n ? i - 2 : i, 0, n - 1); };
  return RowAddress(s, mirror(y, Height(s)))[3 * mirror(x, Width(s)) + c];
}

uint8_t OilReference(const DibImage* s, int x, int y, int c) {
  int count[8] = {};
  for (int k = 0; k < 9; ++k) ++count[At(s, x + k % 3 - 1, y + k / 3 - 1, c) >> 5];
  int best = 0;
  for (int bin = 1; bin < 8; ++bin)
    if (count[bin] > count[best]) best = bin;
  return static_cast<uint8_t>(best * 32 + 16);
}

uint8_t IllustrationReference(const DibImage* s, int x, int y) {
  const int kx[9] = {1, 0, -1, 2, 0, -2, 1, 0, -1}, ky[9] = {1, 2, 1, 0, 0, 0, -1, -2, -1};
  int m[3];
  for (int c = 0; c < 3; ++c) {
    int gx = 0, gy = 0;
    for (int k = 0; k < 9; ++k) {
      const int v = At(s, x + k % 3 - 1, y + k / 3 - 1, c);
      gx += v * kx[k], gy += v * ky[k];
    }
    m[c] = static_cast<int>(std::sqrt(static_cast<double>(gx * gx + gy * gy)) / 8.0);
  }
  const int e = m[2] > m[1] ? m[2] : std::max(m[0], m[1]);
  const int f = e < 64 ? 255 : e < 74 ? 255 - (e - 64) * 255 / 10 : 0;
  const uint8_t* p = RowAddress(s, y) + 3 * x;
  const int luma = (28 * p[0] + 151 * p[1] + 77 * p[2]) >> 8;
  const int level = luma > 170 ? 255 : luma > 143 ? 128 : luma > 113 ? 64 : 0;
  return static_cast<uint8_t>(f * level / 256);
}

// Runs the operation on a document holding image; the result and the true-colour copy it read.
struct Painted {
  Filter doc;
  ImagePtr source, result;
  Painted(ImagePtr image, int command) {
    doc.pending_ = image.release();
    doc.Commit();
    source.reset(doc.MakeTrueColorCopy(doc.current_));
    result.reset(command == 178 ? doc.OilPaint(doc.current_) : doc.Illustrate(doc.current_));
  }
};

// Random pictures; at 24 bits ramps whose slope grows down the picture (edge strengths from 0
// past 74), wrapping into sharp edges.
ImagePtr Picture(int w, int h, int bpp) {
  ImagePtr image = NewImage(w, h, bpp);
  FillRandom(image.get(), static_cast<uint32_t>(w * 7 + bpp));
  for (int y = 0; bpp == 24 && y < h; ++y)
    for (int x = 0; x < 3 * w; ++x)
      RowAddress(image.get(), y)[x] = static_cast<uint8_t>((x / 3) * (y % 90) + 40 * (x % 3));
  return image;
}

TEST(Painterly, EveryPixelMatchesTheReferenceAtEverySizeAndDepth) {
  const int sizes[][2] = {{1, 1}, {2, 2}, {3, 3}, {31, 2}, {1, 17}, {2, 1}, {45, 33}};
  for (int command : {178, 179})
    for (int bpp : {1, 4, 8, 16, 24, 32})
      for (const auto& size : sizes) {
        SCOPED_TRACE(testing::Message() << command << " " << bpp << " bits " << size[0] << "x" << size[1]);
        Painted run(Picture(size[0], size[1], bpp), command);
        ASSERT_TRUE(run.result && run.source);
        EXPECT_EQ(BitCount(run.result.get()), 24);
        int wrong = 0;
        for (int y = 0; y < size[1]; ++y)
          for (int x = 0; x < size[0]; ++x)
            for (int c = 0; c < 3; ++c) {
              const uint8_t want = command == 178 ? OilReference(run.source.get(), x, y, c)
                                                  : IllustrationReference(run.source.get(), x, y);
              wrong += RowAddress(run.result.get(), y)[3 * x + c] != want;
            }
        EXPECT_EQ(wrong, 0);
      }
}

TEST(Painterly, WorkedNumbers) {
  // A 3 x 3 grey picture and the result at its centre.
  const struct {
    int command;
    int values[9];
    int centre;
  } cases[] = {
      {178, {100, 100, 100, 100, 100, 100, 100, 100, 100}, 112},  // bin 3
      {178, {0, 32, 64, 96, 128, 160, 161, 192, 224}, 176},       // bin 5 counts 2
      {178, {10, 10, 200, 200, 40, 70, 100, 130, 250}, 16},       // bins 0 and 6 tie: the lower
      {179, {255, 255, 255, 255, 255, 255, 255, 255, 255}, 254},  // flat white
      {179, {150, 150, 150, 150, 150, 150, 150, 150, 150}, 127},  // luma 150
      {179, {0, 0, 255, 0, 0, 255, 0, 0, 255}, 0},                // next to a sharp edge: a line
  };
  for (const auto& t : cases) {
    ImagePtr image = NewImage(3, 3, 24);
    for (int k = 0; k < 9; ++k) std::memset(RowAddress(image.get(), k / 3) + 3 * (k % 3), t.values[k], 3);
    Painted run(std::move(image), t.command);
    EXPECT_EQ(RowAddress(run.result.get(), 1)[3], t.centre) << t.command << " " << t.values[1];
  }
  // A vertical black/white edge: black lines on both sides of it, the far columns keep their tone.
  ImagePtr edge = NewImage(4, 1, 24);
  std::memset(RowAddress(edge.get(), 0) + 6, 255, 6);
  Painted run(std::move(edge), 179);
  const std::vector<uint8_t> out = Pixels24(run.result.get());
  EXPECT_EQ(std::vector<int>(out.begin(), out.end()), (std::vector<int>{0, 0, 0, 0, 0, 0, 0, 0, 0, 254, 254, 254}));
}

}  // namespace
