// Tone and colour operations with their worked numbers.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "processing/filter.h"
#include "tests/core/test_support.h"

namespace {

// A document whose current image is a one-row 24-bit image of the given grey values.
struct GreyRow {
  Filter doc;
  explicit GreyRow(const std::vector<int>& greys) {
    ImagePtr image = NewImage(static_cast<int>(greys.size()), 1, 24);
    uint8_t* p = RowAddress(image.get(), 0);
    for (size_t i = 0; i < greys.size(); ++i) std::memset(p + 3 * i, greys[i], 3);
    doc.pending_ = image.release();
    doc.Commit();
  }
  // Runs an operation and returns the blue byte of every result pixel.
  std::vector<int> Run(int command) {
    EXPECT_TRUE(doc.RunOperation(command)) << command;
    std::vector<int> out;
    for (int x = 0; x < Width(doc.pending_); ++x) out.push_back(RowAddress(doc.pending_, 0)[3 * x]);
    MDIBCtrl::DeleteImage(doc.pending_);
    doc.pending_ = doc.current_;
    return out;
  }
};

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
  ImagePtr image = NewImage(w, h, bits[kind], kind == 2 ? 200 : 0);
  FillRandom(image.get(), static_cast<uint32_t>(kind * 31 + w));
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
        Filter doc;
        doc.pending_ = AnyDepth(size[0], size[1], kind).release();
        doc.Commit();
        SCOPED_TRACE(testing::Message() << command << " on " << BitCount(doc.current_) << " bits, kind " << kind
                                        << ", " << size[0] << "x" << size[1]);
        if (BitCount(doc.current_) == 1 && (command == 109 || command == 110)) continue;
        ImagePtr want = CopyThenChange(doc, command);
        ASSERT_TRUE(doc.RunOperation(command));
        ImagePtr got(doc.pending_);
        doc.pending_ = doc.current_;
        ASSERT_EQ(InfoBytes(got.get()), InfoBytes(want.get()));
        EXPECT_EQ(std::memcmp(got->info, want->info, InfoBytes(want.get())), 0);
        EXPECT_EQ(got->colours, want->colours);
        EXPECT_EQ(std::memcmp(got->bits, want->bits, ImageBytes(want.get())), 0);
      }
}

TEST(ToneCurves, TablesGiveTheWorkedValues) {
  GreyRow row({1, 11, 12, 13, 128, 255});
  EXPECT_EQ(row.Run(113), (std::vector<int>{1, 17, 18, 20, 180, 255}));
  EXPECT_EQ(row.Run(114), (std::vector<int>{0, 0, 0, 0, 75, 254}));
  const std::vector<int> contrast = row.Run(115);
  EXPECT_EQ(contrast[1], 1);
  EXPECT_EQ(contrast[4], 127);
  EXPECT_EQ(contrast[5], 254);
}

TEST(Otsu, FirstBestThresholdWinsAndFlatHistogramsGiveOne) {
  uint32_t h[256] = {};
  h[10] = 5;
  h[200] = 5;
  EXPECT_EQ(Filter::OtsuThreshold(h), 11);
  uint32_t flat[256] = {};
  flat[90] = 7;
  EXPECT_EQ(Filter::OtsuThreshold(flat), 1);
}

TEST(Binarize, UniformGreyIsWhiteAboveOneAndBlackOtherwise) {
  // The grey step maps 2 to 1 and 3 to 2 (the luma weights sum to 1023 / 1024).
  EXPECT_EQ(GreyRow({2, 2}).Run(112), (std::vector<int>{0, 0}));
  EXPECT_EQ(GreyRow({3, 3}).Run(112), (std::vector<int>{255, 255}));
  EXPECT_EQ(GreyRow({10, 200, 10, 200}).Run(112), (std::vector<int>{0, 255, 0, 255}));
}

TEST(Binarize, RgbThresholdsEachChannelOnItsOwn) {
  Filter doc;
  ImagePtr image = NewImage(4, 1, 24);
  const uint8_t px[12] = {10, 200, 30, 10, 200, 30, 100, 20, 250, 100, 20, 250};
  std::memcpy(RowAddress(image.get(), 0), px, 12);
  doc.pending_ = image.release();
  doc.Commit();
  ASSERT_TRUE(doc.RunOperation(111));
  const std::vector<uint8_t> out = Pixels24(doc.pending_);
  EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + 6), (std::vector<uint8_t>{0, 255, 0, 0, 255, 0}));
  EXPECT_EQ(std::vector<uint8_t>(out.begin() + 6, out.end()), (std::vector<uint8_t>{255, 0, 255, 255, 0, 255}));
  MDIBCtrl::DeleteImage(doc.pending_);
  doc.pending_ = doc.current_;
}

TEST(HistogramStretch, UniformImagesAndTinyImages) {
  // A uniform colour: low = high = its brightness (the largest channel); that value maps to 0.
  Filter doc;
  ImagePtr image = NewImage(20, 10, 24);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 20; ++x) {
      uint8_t* p = RowAddress(image.get(), y) + 3 * x;
      p[0] = 10, p[1] = 50, p[2] = 90;
    }
  doc.pending_ = image.release();
  doc.Commit();
  ASSERT_TRUE(doc.RunOperation(118));
  EXPECT_EQ(Pixels24(doc.pending_)[2], 0);
  MDIBCtrl::DeleteImage(doc.pending_);
  doc.pending_ = doc.current_;
  // Fewer than 100 pixels: the 1 % point is 0 pixels, so low = -1 and high is the lowest value.
  EXPECT_EQ(GreyRow({0, 50, 200}).Run(118), (std::vector<int>{255, 255, 255}));
  // A spread image: the extremes clip, the middle scales.
  std::vector<int> ramp;
  for (int v = 0; v < 200; ++v) ramp.push_back(v);
  const std::vector<int> out = GreyRow(ramp).Run(118);
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(out[1], 0);  // low = 1 (the 1 % point, 2 pixels)
  EXPECT_EQ(out[100], static_cast<int>((100 - 1) * (255.0 / (197 - 1))));
  EXPECT_EQ(out[199], 255);
}

TEST(HistogramEqualize, TwoTonesMapToTheirCumulativeShares) {
  // N = 4, q = 4 / 256 + 1 = 1: the darker tone maps to its count, the brighter to N.
  EXPECT_EQ(GreyRow({40, 40, 200, 40}).Run(119), (std::vector<int>{3, 3, 4, 3}));
}

TEST(ToneOperations, NegativeOfAPaletteImageInvertsItsTable) {
  Filter doc;
  ImagePtr image = NewImage(3, 3, 8, 4);
  FillRandom(image.get(), 5);
  const RGBQUAD first = Palette(image.get())[0];
  doc.pending_ = image.release();
  doc.Commit();
  ASSERT_TRUE(doc.RunOperation(108) && doc.Commit());
  EXPECT_EQ(BitCount(doc.current_), 8);
  EXPECT_EQ(Palette(doc.current_)[0].rgbRed, 255 - first.rgbRed);
  ASSERT_TRUE(doc.RunOperation(113));  // the curves work on a 24-bit copy
  EXPECT_EQ(BitCount(doc.pending_), 24);
  MDIBCtrl::DeleteImage(doc.pending_);
  doc.pending_ = doc.current_;
}

TEST(ToneOperations, GreyOrSepiaLeavesOneBitImagesAlone) {
  Filter doc;
  doc.pending_ = NewImage(13, 2, 1).release();
  doc.Commit();
  EXPECT_FALSE(doc.RunOperation(109));
  EXPECT_FALSE(doc.RunOperation(110));
  EXPECT_EQ(doc.image_count_, 1);
  EXPECT_EQ(doc.pending_, doc.current_);
}

}  // namespace
