// Tone and colour operations with their worked numbers.
#include <gtest/gtest.h>

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
