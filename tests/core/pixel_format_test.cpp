// Pixel layouts, conversions to 24 bits, geometric copies, SetIndex, toning, inversion and the
// histogram, for every depth; run-length decoding and encoding (runs, deltas, absolute mode, bad
// streams, round trips) and the geometric copies keeping the compression.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "image/histogram_builder.h"
#include "image/pixel_ops.h"
#include "tests/core/test_support.h"

namespace {

const int kDepths[] = {1, 4, 8, 16, 24, 32};

// An image of one row of the given 16- or 32-bit words, with bit-field masks when given.
ImagePtr Words(int bpp, const std::vector<uint32_t>& words, const std::vector<uint32_t>& masks = {}) {
  ImagePtr image = NewImage(static_cast<int>(words.size()), 1, bpp);
  for (size_t x = 0; x < words.size(); ++x)
    for (int k = 0; k < bpp / 8; ++k) RowAddress(image.get(), 0)[x * bpp / 8 + k] = static_cast<uint8_t>(words[x] >> 8 * k);
  if (!masks.empty()) image->info->bmiHeader.biCompression = BI_BITFIELDS;
  for (size_t i = 0; i < masks.size(); ++i) Masks(image.get())[i] = masks[i];
  return image;
}

// (Strides and row addresses show in every round trip and every comparison with ImageMagick.)
TEST(RowLayout, SizeGuardAndFactory) {
  // Width 0, a negative height, above the pixel cap, stride * height overflowing, exactly at the cap.
  EXPECT_EQ((std::vector<uint32_t>{CheckedStride(0, 10, 24), CheckedStride(10, -1, 24), CheckedStride(70000, 70000, 24),
                                   CheckedStride(0x7FFFFFFF, 2, 32), CheckedStride(16384, 16384, 1)}),
            (std::vector<uint32_t>{0, 0, 0, 0, 2048}));
  for (int bpp : kDepths) EXPECT_NE(CreatePixelOpsForBits(bpp), nullptr) << bpp;
  for (int bpp : {0, 2, 48}) EXPECT_EQ(CreatePixelOpsForBits(bpp), nullptr) << bpp;
}

// (The BMP suite compares every depth with the reference decoder; these are the rules it cannot
// show: the 16-bit expansion and indexes beyond the table.)
TEST(ToDib24, SixteenBitExpansionAndOutOfRangeIndexes) {
  ImagePtr dst = NewImage(3, 1, 24);
  // 5-5-5 (bit 15 ignored) expands c to c * 8 + 7; in 5-6-5 the wide field uses the whole range.
  ASSERT_TRUE(CreatePixelOpsForBits(16)->ToDib24(Words(16, {0x7FFF, 0, 0x8000 | 1 << 10 | 2 << 5 | 3}).get(), dst.get()));
  EXPECT_EQ(Pixels24(dst.get()), (std::vector<uint8_t>{255, 255, 255, 7, 7, 7, 31, 23, 15}));
  CreatePixelOpsForBits(16)->ToDib24(Words(16, {0xFFFF, 32 << 5, 0x7FFF}, {0xF800, 0x07E0, 0x001F}).get(), dst.get());
  EXPECT_EQ(Pixels24(dst.get()), (std::vector<uint8_t>{255, 255, 255, 7, 130, 7, 255, 255, 127}));
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
      SCOPED_TRACE(testing::Message() << "bpp " << bpp << " width " << width);
      const int height = 5;
      ImagePtr src = RandomImage(width, height, bpp, static_cast<uint32_t>(bpp * 100 + width));
      auto ops = CreatePixelOpsForBits(bpp);
      ImagePtr mirrored = NewImage(width, height, bpp), flipped = NewImage(width, height, bpp);
      ops->MirrorHorizontal(src.get(), mirrored.get());
      ops->FlipVertical(src.get(), flipped.get());
      const CropRect rect{width / 3, 1, width - width / 3, 3};
      ImagePtr cropped = NewImage(rect.width, rect.height, bpp);
      ops->CopyRect(src.get(), cropped.get(), rect, 0);
      for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
          ASSERT_EQ(PixelValue(mirrored.get(), x, y), PixelValue(src.get(), width - 1 - x, y)) << "mirror x " << x;
          ASSERT_EQ(PixelValue(flipped.get(), x, y), PixelValue(src.get(), x, height - 1 - y)) << "flip";
        }
      for (int j = 0; j < rect.height; ++j)
        for (int i = 0; i < rect.width; ++i)
          ASSERT_EQ(PixelValue(cropped.get(), i, j), PixelValue(src.get(), rect.left + i, rect.top + j)) << "crop i " << i;
    }
  }
}

TEST(SetIndex, PackedRowsAreWrittenLeftToRightAndDirectDepthsIgnoreIt) {
  ImagePtr nibbles = NewImage(2, 1, 4), bits = NewImage(9, 1, 1), rgb = NewImage(1, 1, 24);
  const uint8_t* four = RowAddress(nibbles.get(), 0);
  const uint8_t* one = RowAddress(bits.get(), 0);
  std::vector<int> bytes;
  for (int x : {0, 1, 1, 0}) Dib4().SetIndex(nibbles.get(), x, 0, x ? 5 : 3), bytes.push_back(four[0]);  // the left pixel
  Dib1().SetIndex(bits.get(), 0, 0, 7), Dib1().SetIndex(bits.get(), 8, 0, 1);                          // clears the right
  bytes.insert(bytes.end(), {one[0], one[1]});
  Dib1().SetIndex(bits.get(), 0, 0, 0), Dib24().SetIndex(rgb.get(), 0, 0, 255);
  bytes.insert(bytes.end(), {one[0], static_cast<int>(PixelValue(rgb.get(), 0, 0))});
  EXPECT_EQ(bytes, (std::vector<int>{0x30, 0x35, 0x35, 0x30, 0x80, 0x80, 0x00, 0}));
}

TEST(Toning, GreySepiaAndNegativeOfEveryDepth) {
  // 24 bits: pure red and (B, G, R) = (100, 150, 200) by the luma (306 R + 600 G + 117 B) >> 10.
  ImagePtr grey = RowImage({0, 0, 255, 100, 150, 200}), sepia = RowImage({0, 0, 255, 100, 150, 200});
  Dib24().GrayOrSepia(grey.get(), kCmdGray), Dib24().GrayOrSepia(sepia.get(), kCmdSepia);
  Dib24().GrayOrSepia(grey.get(), 108);  // other commands change nothing
  EXPECT_EQ(Pixels24(grey.get()), (std::vector<uint8_t>{76, 76, 76, 159, 159, 159}));
  EXPECT_EQ(Pixels24(sepia.get()), (std::vector<uint8_t>{45, 60, 76, 95, 127, 159}));
  // Indexed depths tone and invert only the entries in use.
  ImagePtr image = NewImage(4, 1, 8, 2);
  Palette(image.get())[0] = RGBQUAD{0, 0, 255, 0};
  Palette(image.get())[2] = RGBQUAD{1, 2, 3, 9};  // beyond the count: untouched
  RowAddress(image.get(), 0)[0] = 1;
  Dib8().GrayOrSepia(image.get(), kCmdGray);
  const RGBQUAD toned = Palette(image.get())[0];
  Dib8().Negative(image.get());
  EXPECT_EQ((std::vector<int>{toned.rgbRed, toned.rgbBlue, Palette(image.get())[0].rgbRed, Palette(image.get())[2].rgbBlue,
                              Palette(image.get())[2].rgbRed, RowAddress(image.get(), 0)[0]}),
            (std::vector<int>{76, 76, 255 - 76, 1, 3, 1}));
  // Direct depths keep their masks (blue limited to 4 bits; 16 bits: (306 * 31) >> 10 = 9) and
  // invert against each channel's maximum.
  ImagePtr quad = Words(32, {0x63FF0000}, {0x00FF0000, 0x0000FF00, 0x0000000F}), word = Words(16, {31 << 10, 0x7FFF});
  Dib32().GrayOrSepia(quad.get(), kCmdGray), Dib16().GrayOrSepia(word.get(), kCmdGray);
  EXPECT_EQ(PixelValue(quad.get(), 0, 0), (76u & 0x0F) | (76u << 8) | (76u << 16));
  EXPECT_EQ(PixelValue(word.get(), 0, 0), 9u | (9u << 5) | (9u << 10));
  const struct { ImagePtr image; uint32_t inverted; } negatives[] = {
      {RowImage({10, 0, 0}), 245u | (255u << 8) | (255u << 16)},
      {Words(32, {0x44302010}, {0x00FF0000, 0x0000FF00, 0x0000007F}), 0x6Fu | (0xDFu << 8) | (0xCFu << 16) | (0x44u << 24)},
      {Words(16, {0}, {0xF800, 0x07E0, 0x001F}), 0xFFFF},
      {Words(16, {0x7FFF}), 0},  // (31, 31, 31) inverts to 0
  };
  for (const auto& n : negatives) {
    CreatePixelOpsForBits(BitCount(n.image.get()))->Negative(n.image.get());
    EXPECT_EQ(PixelValue(n.image.get(), 0, 0), n.inverted) << BitCount(n.image.get());
  }
}

TEST(Histogram, CountsPeaksTiesBrightnessGreyFlagAndIndexedCounts) {
  auto h = Dib24().MakeHistogram(RowImage({5, 5, 5, 9, 9, 9, 5, 200, 7, 9, 1, 250}).get());
  const uint32_t* w = h->w;
  EXPECT_EQ((std::vector<uint32_t>{w[HistogramRecord::kGrey], w[HistogramRecord::kBlue + 5], w[HistogramRecord::kBlue + 9],
                                   w[HistogramRecord::kPeakValue + 0], w[HistogramRecord::kPeakCount + 0],
                                   w[HistogramRecord::kMax + 250], w[HistogramRecord::kBrightest],
                                   w[HistogramRecord::kDarkest]}),
            // the tie between 5 and 9 goes to the lower value; the brightest (9 + 1 + 250) / 3
            (std::vector<uint32_t>{0, 2, 2, 5, 2, 1, 86, 5}));
  ImagePtr grey = NewImage(3, 2, 24);
  std::memset(grey->bits, 77, ImageBytes(grey.get()));
  EXPECT_EQ(Dib24().MakeHistogram(grey.get())->w[HistogramRecord::kGrey], 1u);
  RowAddress(grey.get(), 1)[0] = 78;
  EXPECT_EQ(Dib24().MakeHistogram(grey.get())->w[HistogramRecord::kGrey], 0u);
  ImagePtr bits = NewImage(13, 3, 1);
  Palette(bits.get())[1] = RGBQUAD{255, 255, 255, 0};
  std::memset(bits->bits, 0xFF, ImageBytes(bits.get()));  // padding bits set too
  h = Dib1().MakeHistogram(bits.get());
  EXPECT_EQ(h->w[HistogramRecord::kRed + 255], 39u);  // 13 pixels per row, padding not counted
  EXPECT_EQ(h->w[HistogramRecord::kRed + 0], 0u);
  EXPECT_EQ(Dib16().MakeHistogram(Words(16, {0x7FFF}).get())->w[HistogramRecord::kRed + 31], 1u);
}

// A run-length image whose stream is the given bytes (the rest of the buffer zero).
ImagePtr RleImage(int width, int height, int bpp, const std::vector<uint8_t>& stream) {
  ImagePtr image = NewImage(width, height, bpp);
  image->info->bmiHeader.biCompression = bpp == 8 ? BI_RLE8 : BI_RLE4;
  std::memcpy(image->bits, stream.data(), std::min(stream.size(), ImageBytes(image.get())));
  return image;
}

BitsPtr Decode(const DibImage* image) { return BitCount(image) == 8 ? Dib8().DecodeRle(image) : Dib4().DecodeRle(image); }

TEST(DecodeRle, RunsEscapesDeltasAbsoluteModeAndHostileStreams) {
  // expected: the decoded buffer from its start; none: refused
  const struct Case { int width, height, bpp; std::vector<uint8_t> stream, expected; } cases[] = {
      // (3, 7) then end of bitmap: the bottom row starts 7, 7, 7; the upper row is never reached.
      {6, 2, 8, {3, 7, 0, 1}, {7, 7, 7, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
      // Absolute 1, 2, 3 with its pad byte; end of row; delta right 2; a run of two 9s.
      {5, 3, 8, {0, 3, 1, 2, 3, 0, 0, 0, 0, 2, 2, 0, 2, 9, 0, 1}, {1, 2, 3, 0, 0, 0, 0, 0, 0, 0, 9, 9, 0}},
      // 4 bits: a run of three from 0x12 gives 1 2 1; absolute 3 4 5 goes on in the low nibble.
      {6, 2, 4, {3, 0x12, 0, 3, 0x34, 0x50, 0, 1}, {0x12, 0x13, 0x45}},
      {4, 2, 8, {4, 1, 1, 2, 0, 1}, {}},                       // a run starting at the row's end
      {4, 2, 8, {200, 5, 0, 0, 0, 1}, {5, 5, 5, 5, 0, 0, 0, 0}},  // one overshooting it is clipped
      // Deltas far beyond the image, absolute runs longer than the row and than the stream, and
      // a stream that never ends stay inside the 3 x 2 image (bottom row first), at both depths.
      {3, 2, 8, {0, 2, 255, 255, 5, 5}, {0, 0, 0, 0, 0, 0, 0, 0}},
      {3, 2, 4, {0, 2, 255, 255, 5, 5}, {0, 0, 0, 0, 0, 0, 0, 0}},
      {3, 2, 8, {0, 2, 1, 0, 0, 255, 7, 9}, {0, 7, 9, 0, 0, 0, 0, 0}},
      {3, 2, 4, {0, 2, 1, 0, 0, 255, 7, 9}, {0x00, 0x70, 0, 0, 0, 0, 0, 0}},
      {3, 2, 8, {0, 255}, {0, 0, 0, 0, 0, 0, 0, 0}},
      {3, 2, 4, {0, 255}, {0, 0, 0, 0, 0, 0, 0, 0}},
      {3, 2, 8, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 3}, {0, 0, 0, 0, 0, 0, 0, 0}},
      {3, 2, 4, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 3}, {0, 0, 0, 0, 0, 0, 0, 0}},
      {3, 2, 8, {0, 2, 1, 1, 0, 3, 0x21, 0x43}, {0, 0, 0, 0, 0, 0x21, 0x43, 0}},
      {3, 2, 4, {0, 2, 1, 1, 0, 3, 0x21, 0x43}, {0, 0, 0, 0, 0x02, 0x10, 0, 0}},
  };
  for (const Case& c : cases) {
    ImagePtr image = RleImage(c.width, c.height, c.bpp, c.stream);
    BitsPtr out = Decode(image.get());
    ASSERT_EQ(out != nullptr, !c.expected.empty()) << &c - cases;
    if (out) {
      EXPECT_EQ(std::vector<uint8_t>(out.get(), out.get() + c.expected.size()), c.expected) << &c - cases;
    }
  }
}

TEST(EncodeRle, RunsSinglesAbsoluteStretchesAndStreamsThatDoNotFit) {
  // bits: the buffer from its start (bottom row first), the rest 0; no stream: left uncompressed
  const struct Case { int width, height; std::vector<uint8_t> bits, stream; } cases[] = {
      {300, 1, std::vector<uint8_t>(300, 4), {255, 4, 45, 4, 0, 0, 0, 1}},  // runs cut at 255 pixels
      {12, 3, {1, 1, 2, 3, 4, 5, 6, 6, 6, 7, 8, 9},
       {2, 1, 0, 4, 2, 3, 4, 5, 3, 6, 0, 3, 7, 8, 9, 0, 0, 0, 12, 0, 0, 0, 12, 0, 0, 0, 0, 1}},
      {4, 2, {1, 2, 3, 4, 5, 6, 7, 8}, {}},  // 4 unequal bytes per row need more than 4 bytes coded
  };
  for (const Case& c : cases) {
    ImagePtr image = NewImage(c.width, c.height, 8);
    std::copy(c.bits.begin(), c.bits.end(), image->bits);
    const std::vector<uint8_t> before(image->bits, image->bits + ImageBytes(image.get()));
    EncodeRle(image.get());
    EXPECT_EQ(image->info->bmiHeader.biCompression, c.stream.empty() ? DWORD{BI_RGB} : DWORD{BI_RLE8});
    const std::vector<uint8_t>& expected = c.stream.empty() ? before : c.stream;
    EXPECT_EQ(std::vector<uint8_t>(image->bits, image->bits + expected.size()), expected) << c.width;
  }
}

TEST(EncodeRle, RoundTripsEveryWidthAtBothDepths) {
  for (int bpp : {8, 4}) {
    for (int width = 1; width <= 40; ++width) {
      // Noise with repeated bytes, so that every encoding form appears.
      ImagePtr image = RandomImage(width, 4, bpp, static_cast<uint32_t>(width * 7 + bpp));
      for (size_t i = 0; i < ImageBytes(image.get()); i += 5) image->bits[i] = image->bits[i ? i - 1 : 0];
      ImagePtr original = NewImage(width, 4, bpp);
      std::memcpy(original->bits, image->bits, ImageBytes(image.get()));
      EncodeRle(image.get());
      if (!IsRunLength(image.get())) continue;  // did not fit: left uncompressed (checked above)
      BitsPtr decoded = Decode(image.get());
      ASSERT_TRUE(decoded) << "bpp " << bpp << " width " << width;
      for (int y = 0; y < 4; ++y)
        for (int x = 0; x < width; ++x) {
          const uint8_t* row = decoded.get() + (3 - y) * image->stride;
          const int v = bpp == 8 ? row[x] : ((x & 1) ? row[x / 2] & 15 : row[x / 2] >> 4);
          ASSERT_EQ(static_cast<uint32_t>(v), PixelValue(original.get(), x, y)) << bpp << " " << width;
        }
    }
  }
}

TEST(RleGeometry, MirrorKeepsRunLengthAndCropWithoutReencodeExpands) {
  ImagePtr image = RleImage(8, 2, 8, {8, 5, 0, 0, 2, 1, 6, 2, 0, 1});
  ImagePtr mirrored = NewImage(8, 2, 8);
  Dib8().MirrorHorizontal(image.get(), mirrored.get());
  ASSERT_EQ(mirrored->info->bmiHeader.biCompression, static_cast<DWORD>(BI_RLE8));
  BitsPtr out = Decode(mirrored.get());
  ASSERT_TRUE(out);
  EXPECT_EQ(std::vector<uint8_t>(out.get() + 8, out.get() + 16), (std::vector<uint8_t>{2, 2, 2, 2, 2, 2, 1, 1}));  // top row
  ImagePtr cropped = NewImage(8, 2, 8);
  Dib8().CopyRect(image.get(), cropped.get(), CropRect{0, 0, 8, 2}, 0);
  EXPECT_EQ(cropped->info->bmiHeader.biCompression, static_cast<DWORD>(BI_RGB));
  EXPECT_EQ(PixelValue(cropped.get(), 7, 1) << 8 | PixelValue(cropped.get(), 0, 0), 5u << 8 | 1u);
}

TEST(RleGeometry, UndecodableSourceMakesNothing) {
  ImagePtr image = RleImage(2, 1, 8, {2, 1, 5, 1});  // second run starts past the row
  ImagePtr dst = NewImage(2, 1, 8);
  RowAddress(dst.get(), 0)[0] = 42;
  Dib8().FlipVertical(image.get(), dst.get());
  EXPECT_EQ(RowAddress(dst.get(), 0)[0], 42);
  EXPECT_EQ(Dib8().ToDib24(image.get(), NewImage(2, 1, 24).get()), nullptr);
  Document d(RleImage(2, 2, 8, {2, 5, 1, 7, 0, 0, 0, 1}));
  EXPECT_TRUE(!d.Run(123) && !d.Run(124));
}

}  // namespace
