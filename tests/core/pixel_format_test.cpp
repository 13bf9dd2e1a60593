// Pixel layouts, conversions to 24 bits, geometric copies, SetIndex, toning, inversion and the
// histogram, for every depth.
#include <gtest/gtest.h>

#include <cstring>

#include "image/histogram_builder.h"
#include "image/pixel_ops.h"
#include "tests/core/test_support.h"

namespace {

const int kDepths[] = {1, 4, 8, 16, 24, 32};

void Set16(DibImage* image, int x, int y, uint16_t w) {
  uint8_t* p = RowAddress(image, y) + 2 * x;
  p[0] = static_cast<uint8_t>(w);
  p[1] = static_cast<uint8_t>(w >> 8);
}

void SetBitfields(DibImage* image, uint32_t red, uint32_t green, uint32_t blue) {
  image->info->bmiHeader.biCompression = BI_BITFIELDS;
  uint32_t* m = Masks(image);
  m[0] = red;
  m[1] = green;
  m[2] = blue;
}

TEST(RowLayout, StridesAddressesSizeGuardAndFactory) {
  const int cases[][3] = {{1, 1, 4}, {33, 1, 8}, {13, 4, 8}, {3, 8, 4}, {5, 8, 8}, {3, 16, 8}, {3, 24, 12}, {1, 32, 4}};
  for (const auto& c : cases) EXPECT_EQ(RowBytes(c[0], c[1]), static_cast<uint32_t>(c[2])) << c[0] << "x" << c[1];
  ImagePtr image = NewImage(4, 3, 8);
  EXPECT_EQ(RowAddress(image.get(), 0), image->bits + 2 * image->stride);  // rows are bottom-up
  EXPECT_EQ(RowAddress(image.get(), 2), image->bits);
  EXPECT_EQ(CheckedStride(0, 10, 24), 0u);
  EXPECT_EQ(CheckedStride(10, -1, 24), 0u);
  EXPECT_EQ(CheckedStride(70000, 70000, 24), 0u);   // above the pixel cap
  EXPECT_EQ(CheckedStride(0x7FFFFFFF, 2, 32), 0u);  // stride * height overflows
  EXPECT_EQ(CheckedStride(16384, 16384, 1), 2048u);  // exactly at the cap
  for (int bpp : kDepths) EXPECT_NE(CreatePixelOpsForBits(bpp), nullptr) << bpp;
  for (int bpp : {0, 2, 48}) EXPECT_EQ(CreatePixelOpsForBits(bpp), nullptr) << bpp;
}

// (The BMP suite compares every depth with the reference decoder; these are the rules it cannot
// show: the 16-bit expansion and indexes beyond the table.)
TEST(ToDib24, SixteenBitExpansionAndOutOfRangeIndexes) {
  ImagePtr src = NewImage(5, 1, 16);
  Set16(src.get(), 0, 0, 0x7FFF);
  Set16(src.get(), 1, 0, 0x0000);
  Set16(src.get(), 2, 0, 0x8000 | (1 << 10) | (2 << 5) | 3);  // bit 15 is ignored
  ImagePtr dst = NewImage(5, 1, 24);
  ASSERT_TRUE(CreatePixelOpsForBits(16)->ToDib24(src.get(), dst.get()));
  EXPECT_EQ(Pixels24(dst.get()), (std::vector<uint8_t>{255, 255, 255, 7, 7, 7, 31, 23, 15, 7, 7, 7, 7, 7, 7}));
  SetBitfields(src.get(), 0xF800, 0x07E0, 0x001F);  // 5-6-5: the wide field uses the whole range
  Set16(src.get(), 0, 0, 0xFFFF);
  Set16(src.get(), 1, 0, 32 << 5);
  CreatePixelOpsForBits(16)->ToDib24(src.get(), dst.get());
  const std::vector<uint8_t> wide = Pixels24(dst.get());
  EXPECT_EQ(std::vector<uint8_t>(wide.begin(), wide.begin() + 6), (std::vector<uint8_t>{255, 255, 255, 7, 130, 7}));

  ImagePtr indexed = NewImage(2, 1, 4, 1);
  Palette(indexed.get())[0] = RGBQUAD{10, 20, 30, 0};
  RowAddress(indexed.get(), 0)[0] = 0x09;  // index 9 of a one-colour table reads black
  ImagePtr rgb = NewImage(2, 1, 24);
  CreatePixelOpsForBits(4)->ToDib24(indexed.get(), rgb.get());
  EXPECT_EQ(Pixels24(rgb.get()), (std::vector<uint8_t>{10, 20, 30, 0, 0, 0}));
}

// Every depth and many widths: mirror, flip and rectangle copies against pixel-by-pixel rules.
TEST(Geometry, MirrorFlipAndCopyRectMoveWholePixelsForEveryDepthAndWidth) {
  for (int bpp : kDepths) {
    for (int width = 1; width <= 33; width += (width < 10 ? 1 : 7)) {
      const int height = 5;
      ImagePtr src = NewImage(width, height, bpp);
      FillRandom(src.get(), static_cast<uint32_t>(bpp * 100 + width));
      auto ops = CreatePixelOpsForBits(bpp);
      ImagePtr mirrored = NewImage(width, height, bpp);
      ImagePtr flipped = NewImage(width, height, bpp);
      ops->MirrorHorizontal(src.get(), mirrored.get());
      ops->FlipVertical(src.get(), flipped.get());
      const CropRect rect{width / 3, 1, width - width / 3, 3};
      ImagePtr cropped = NewImage(rect.width, rect.height, bpp);
      ops->CopyRect(src.get(), cropped.get(), rect, 0);
      for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
          ASSERT_EQ(PixelValue(mirrored.get(), x, y), PixelValue(src.get(), width - 1 - x, y))
              << "mirror bpp " << bpp << " width " << width << " x " << x;
          ASSERT_EQ(PixelValue(flipped.get(), x, y), PixelValue(src.get(), x, height - 1 - y))
              << "flip bpp " << bpp << " width " << width;
        }
      }
      for (int j = 0; j < rect.height; ++j)
        for (int i = 0; i < rect.width; ++i)
          ASSERT_EQ(PixelValue(cropped.get(), i, j), PixelValue(src.get(), rect.left + i, rect.top + j))
              << "crop bpp " << bpp << " width " << width << " i " << i;
    }
  }
}

TEST(SetIndex, PackedRowsAreWrittenLeftToRightAndDirectDepthsIgnoreIt) {
  ImagePtr nibbles = NewImage(2, 1, 4);
  Dib4 four;
  four.SetIndex(nibbles.get(), 0, 0, 3);
  four.SetIndex(nibbles.get(), 1, 0, 5);
  EXPECT_EQ(RowAddress(nibbles.get(), 0)[0], 0x35);
  four.SetIndex(nibbles.get(), 1, 0, 5);
  four.SetIndex(nibbles.get(), 0, 0, 3);  // the left pixel clears the right one
  EXPECT_EQ(RowAddress(nibbles.get(), 0)[0], 0x30);
  ImagePtr bits = NewImage(9, 1, 1);
  Dib1 one;
  one.SetIndex(bits.get(), 0, 0, 7);
  one.SetIndex(bits.get(), 8, 0, 1);
  EXPECT_EQ(RowAddress(bits.get(), 0)[0], 0x80);
  EXPECT_EQ(RowAddress(bits.get(), 0)[1], 0x80);
  one.SetIndex(bits.get(), 0, 0, 0);
  EXPECT_EQ(RowAddress(bits.get(), 0)[0], 0x00);
  ImagePtr rgb = NewImage(1, 1, 24);
  Dib24().SetIndex(rgb.get(), 0, 0, 255);
  EXPECT_EQ(PixelValue(rgb.get(), 0, 0), 0u);
}

TEST(Toning, TwentyFourBitGreyAndSepiaFollowTheLuma) {
  ImagePtr image = NewImage(2, 1, 24);
  uint8_t* p = RowAddress(image.get(), 0);
  p[2] = 255;                                  // pure red
  p[3] = 100, p[4] = 150, p[5] = 200;          // B, G, R
  ImagePtr sepia = NewImage(2, 1, 24);
  std::memcpy(sepia->bits, image->bits, ImageBytes(image.get()));
  Dib24 ops;
  ops.GrayOrSepia(image.get(), kCmdGray);
  ops.GrayOrSepia(sepia.get(), kCmdSepia);
  const int g = (306 * 200 + 600 * 150 + 117 * 100) >> 10;
  EXPECT_EQ(Pixels24(image.get()), (std::vector<uint8_t>{76, 76, 76, uint8_t(g), uint8_t(g), uint8_t(g)}));
  EXPECT_EQ(Pixels24(sepia.get())[0], 45);
  EXPECT_EQ(Pixels24(sepia.get())[1], 60);
  EXPECT_EQ(Pixels24(sepia.get())[2], 76);
  ops.GrayOrSepia(image.get(), 108);  // other commands change nothing
  EXPECT_EQ(Pixels24(image.get())[0], 76);
}

TEST(Toning, IndexedDepthsToneOnlyTheEntriesInUse) {
  ImagePtr image = NewImage(4, 1, 8, 2);
  Palette(image.get())[0] = RGBQUAD{0, 0, 255, 0};
  Palette(image.get())[2] = RGBQUAD{1, 2, 3, 9};  // beyond the count: untouched
  RowAddress(image.get(), 0)[0] = 1;
  Dib8().GrayOrSepia(image.get(), kCmdGray);
  EXPECT_EQ(Palette(image.get())[0].rgbRed, 76);
  EXPECT_EQ(Palette(image.get())[0].rgbBlue, 76);
  EXPECT_EQ(Palette(image.get())[2].rgbBlue, 1);
  EXPECT_EQ(RowAddress(image.get(), 0)[0], 1);
  Dib8().Negative(image.get());
  EXPECT_EQ(Palette(image.get())[0].rgbRed, 255 - 76);
  EXPECT_EQ(Palette(image.get())[2].rgbRed, 3);
}

TEST(Toning, DirectDepthsKeepTheirMasks) {
  ImagePtr image = NewImage(1, 1, 32);
  SetBitfields(image.get(), 0x00FF0000, 0x0000FF00, 0x0000000F);  // blue limited to 4 bits
  uint8_t* p = RowAddress(image.get(), 0);
  p[0] = 0, p[1] = 0, p[2] = 255, p[3] = 99;
  Dib32().GrayOrSepia(image.get(), kCmdGray);
  EXPECT_EQ(PixelValue(image.get(), 0, 0), (76u & 0x0F) | (76u << 8) | (76u << 16));

  ImagePtr word = NewImage(2, 1, 16);
  Set16(word.get(), 0, 0, 31 << 10);
  Set16(word.get(), 1, 0, 0x7FFF);
  Dib16().GrayOrSepia(word.get(), kCmdGray);
  EXPECT_EQ(PixelValue(word.get(), 0, 0), 9u | (9u << 5) | (9u << 10));  // (306 * 31) >> 10 = 9
  Set16(word.get(), 1, 0, 0x7FFF);
  Dib16().Negative(word.get());
  EXPECT_EQ(PixelValue(word.get(), 1, 0), 0u);  // (31, 31, 31) inverts to 0
}

TEST(Negative, EveryDepthInvertsAgainstItsChannelMaximum) {
  ImagePtr rgb = NewImage(1, 1, 24);
  RowAddress(rgb.get(), 0)[0] = 10;
  Dib24().Negative(rgb.get());
  EXPECT_EQ(PixelValue(rgb.get(), 0, 0), 245u | (255u << 8) | (255u << 16));

  ImagePtr quad = NewImage(1, 1, 32);
  SetBitfields(quad.get(), 0x00FF0000, 0x0000FF00, 0x0000007F);
  uint8_t* p = RowAddress(quad.get(), 0);
  p[0] = 0x10, p[1] = 0x20, p[2] = 0x30, p[3] = 0x44;
  Dib32().Negative(quad.get());
  EXPECT_EQ(PixelValue(quad.get(), 0, 0), 0x6Fu | (0xDFu << 8) | (0xCFu << 16) | (0x44u << 24));

  ImagePtr word = NewImage(1, 1, 16);
  SetBitfields(word.get(), 0xF800, 0x07E0, 0x001F);
  Set16(word.get(), 0, 0, 0);
  Dib16().Negative(word.get());
  EXPECT_EQ(PixelValue(word.get(), 0, 0), 0xFFFFu);
}

TEST(Histogram, CountsPeaksTiesAndBrightness) {
  ImagePtr image = NewImage(4, 1, 24);
  uint8_t* p = RowAddress(image.get(), 0);
  const uint8_t px[12] = {5, 5, 5, 9, 9, 9, 5, 200, 7, 9, 1, 250};
  std::memcpy(p, px, 12);
  auto h = Dib24().MakeHistogram(image.get());
  const uint32_t* w = h->w;
  EXPECT_EQ(w[HistogramRecord::kGrey], 0u);
  EXPECT_EQ(w[HistogramRecord::kBlue + 5], 2u);
  EXPECT_EQ(w[HistogramRecord::kBlue + 9], 2u);
  EXPECT_EQ(w[HistogramRecord::kPeakValue + 0], 5u);  // tie between 5 and 9: the lower value
  EXPECT_EQ(w[HistogramRecord::kPeakCount + 0], 2u);
  EXPECT_EQ(w[HistogramRecord::kMax + 250], 1u);
  EXPECT_EQ(w[HistogramRecord::kBrightest], static_cast<uint32_t>((9 + 1 + 250) / 3));
  EXPECT_EQ(w[HistogramRecord::kDarkest], 5u);
}

TEST(Histogram, GreyFlagAndIndexedCounts) {
  ImagePtr grey = NewImage(3, 2, 24);
  std::memset(grey->bits, 77, ImageBytes(grey.get()));
  EXPECT_EQ(Dib24().MakeHistogram(grey.get())->w[HistogramRecord::kGrey], 1u);
  RowAddress(grey.get(), 1)[0] = 78;
  EXPECT_EQ(Dib24().MakeHistogram(grey.get())->w[HistogramRecord::kGrey], 0u);

  ImagePtr bits = NewImage(13, 3, 1);
  Palette(bits.get())[1] = RGBQUAD{255, 255, 255, 0};
  std::memset(bits->bits, 0xFF, ImageBytes(bits.get()));  // padding bits set too
  auto h = Dib1().MakeHistogram(bits.get());
  EXPECT_EQ(h->w[HistogramRecord::kRed + 255], 39u);  // 13 pixels per row, padding not counted
  EXPECT_EQ(h->w[HistogramRecord::kRed + 0], 0u);

  ImagePtr word = NewImage(1, 1, 16);
  Set16(word.get(), 0, 0, 0x7FFF);
  EXPECT_EQ(Dib16().MakeHistogram(word.get())->w[HistogramRecord::kRed + 31], 1u);
}

}  // namespace
