// Compositing: the worked numbers, every formula per pixel against the formulas written out
// here, the fitting of the second image and the state a blend leaves.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "processing/filter.h"
#include "tests/core/test_support.h"

namespace {

ImagePtr Image(int w, int h, int grey, int bpp = 24) {  // grey < 0: random bytes
  ImagePtr image = NewImage(w, h, bpp);
  if (grey < 0) FillRandom(image.get(), static_cast<uint32_t>(-grey));
  else std::memset(image->bits, grey, ImageBytes(image.get()));
  return image;
}

// Blends the first image (made current) with the second (loaded as the blend loads it).
ImagePtr Blend(ImagePtr first, ImagePtr second, int command, int alpha, std::vector<uint8_t>* a = nullptr,
               std::vector<uint8_t>* b = nullptr) {
  Filter doc;
  doc.pending_ = first.release();
  doc.Commit();
  EXPECT_TRUE(doc.PrepareBlend(second.release()));
  if (a) *a = Pixels24(doc.work_), *b = Pixels24(doc.pending_);
  if (!(command == 131 ? doc.AlphaBlend(alpha) : doc.BlendImages(command))) return nullptr;
  EXPECT_TRUE((doc.view_flags_ & kViewBlendLoading) == 0 && doc.work_ == nullptr);
  ImagePtr out(doc.pending_);
  doc.pending_ = doc.current_;
  return out;
}

// The formulas as written, before clamping.
int Formula(int command, int alpha, int a, int b) {
  const int k = alpha * 255 / 100;
  switch (command) {
    case 131: return (a * (255 - k) + b * k) / 255;
    case 155: return a + b;
    case 156: return a - b;
    case 157: return std::abs(a - b);
    case 158: return a * b / 255;
    case 159: return a & b;
    case 160: return a | b;
    case 161: return a ^ b;
    case 162: return std::max(a, b);
    case 163: return std::min(a, b);
    case 164: return b == 255 ? 255 : a * 255 / (255 - b);
    case 165: return b == 0 ? 0 : 255 - (255 - a) * 255 / b;
    case 166: return 255 - (255 - a) * (255 - b) / 255;
    default: return a == 128 ? 2 * a * b / 255 : 2 * (a + b + 2 * a * b / 255) - 255;
  }
}

TEST(Compositing, WorkedNumbersAndEveryFormulaOnEveryPixel) {
  const struct {
    int command, alpha, a, b, expected;
  } worked[] = {
      {131, 0, 77, 200, 77},   {131, 100, 77, 200, 200}, {131, 50, 100, 200, 149}, {155, 0, 200, 100, 255},
      {156, 0, 10, 20, 0},     {157, 0, 10, 20, 10},     {158, 0, 100, 200, 78},    {164, 0, 200, 128, 255},
      {164, 0, 10, 255, 255},  {165, 0, 0, 1, 0},        {165, 0, 100, 0, 0},       {166, 0, 100, 200, 222},
      {167, 0, 200, 200, 255}, {167, 0, 128, 255, 255},  {167, 0, 50, 50, 0},       {167, 0, 128, 10, 10},
      {167, 0, 127, 10, 37},   {167, 0, 129, 10, 43},
  };
  for (const auto& c : worked) {
    ImagePtr out = Blend(Image(2, 1, c.a), Image(2, 1, c.b), c.command, c.alpha);
    ASSERT_TRUE(out) << c.command;
    EXPECT_EQ(Pixels24(out.get()), std::vector<uint8_t>(6, static_cast<uint8_t>(c.expected))) << c.command << ": " << c.a << ", " << c.b;
  }
  for (int command = 155; command <= 168; ++command) {
    const int id = command == 168 ? 131 : command, alpha = 37;
    std::vector<uint8_t> a, b, expected;
    ImagePtr out = Blend(Image(23, 17, -1), Image(23, 17, -2), id, alpha, &a, &b);
    ASSERT_TRUE(out);
    for (size_t i = 0; i < a.size(); ++i) expected.push_back(static_cast<uint8_t>(std::clamp(Formula(id, alpha, a[i], b[i]), 0, 255)));
    EXPECT_EQ(Pixels24(out.get()), expected) << id;
  }
}

TEST(Compositing, SecondImageFittedAndAnchoredAtTheTopLeft) {
  const struct {
    int w, h, second_w, second_h, second_bpp, fitted_w, fitted_h;
  } cases[] = {
      {100, 10, 50, 10, 24, 99, 10}, {100, 10, 100, 10, 8, 100, 10}, {10, 10, 1, 1, 24, 1, 1}, {9, 7, 25, 30, 4, 9, 7},
      {3, 2, 400, 1, 24, 3, 1},      {1, 1, 3, 3, 1, 1, 1},           {40, 3, 7, 3, 24, 37, 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << " with " << c.second_w << "x" << c.second_h);
    std::vector<uint8_t> a, b;
    ImagePtr out = Blend(Image(c.w, c.h, 0), Image(c.second_w, c.second_h, -3, c.second_bpp), 155, 0, &a, &b);
    ASSERT_TRUE(out);  // 0 + b: the fitted image where it lies, the first image's 0 elsewhere
    const double sx = (c.w - 0.5) / (c.second_w - 0.5), sy = (c.h - 0.5) / (c.second_h - 0.5);
    ASSERT_EQ(static_cast<int>((c.second_w - 1) * sx + 1.5) * 1000 + static_cast<int>((c.second_h - 1) * sy + 1.5),
              c.fitted_w * 1000 + c.fitted_h);
    const std::vector<uint8_t> got = Pixels24(out.get());
    for (int y = 0; y < c.h; ++y)
      for (int x = 0; x < c.w; ++x) {
        const int col = static_cast<int>(x / sx), row = static_cast<int>(y / sy);
        const bool fitted = x < c.fitted_w && y < c.fitted_h, inside = col < c.second_w && row < c.second_h;
        for (int k = 0; k < 3; ++k)
          ASSERT_EQ(got[3 * (static_cast<size_t>(y) * c.w + x) + k],
                    !fitted ? 0 : inside ? b[3 * (static_cast<size_t>(row) * c.second_w + col) + k] : 255)
              << x << "," << y;
      }
  }
}

}  // namespace
