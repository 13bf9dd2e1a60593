// Run-length decoding and encoding: runs, deltas, absolute mode, bad streams, round trips, and
// the geometric operations keeping the compression.
#include <gtest/gtest.h>

#include <cstring>

#include "image/pixel_ops.h"
#include "tests/core/test_support.h"

namespace {

// A run-length image whose stream is the given bytes (the rest of the buffer zero).
ImagePtr RleImage(int width, int height, int bpp, const std::vector<uint8_t>& stream) {
  ImagePtr image = NewImage(width, height, bpp);
  image->info->bmiHeader.biCompression = bpp == 8 ? BI_RLE8 : BI_RLE4;
  std::memset(image->bits, 0, ImageBytes(image.get()));
  std::memcpy(image->bits, stream.data(), std::min(stream.size(), ImageBytes(image.get())));
  return image;
}

TEST(DecodeRle, RunsEscapesDeltasAndAbsoluteMode) {
  struct Case {
    int width, height, bpp;
    std::vector<uint8_t> stream, expected;  // expected: the decoded buffer from its start
  };
  const Case cases[] = {
      // (3, 7) then end of bitmap: the bottom row starts 7, 7, 7; the upper row is never reached.
      {6, 2, 8, {3, 7, 0, 1}, {7, 7, 7, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
      // Absolute 1, 2, 3 with its pad byte; end of row; delta right 2; a run of two 9s.
      {5, 3, 8, {0, 3, 1, 2, 3, 0, 0, 0, 0, 2, 2, 0, 2, 9, 0, 1}, {1, 2, 3, 0, 0, 0, 0, 0, 0, 0, 9, 9, 0}},
      // 4 bits: a run of three from 0x12 gives 1 2 1; absolute 3 4 5 goes on in the low nibble.
      {6, 2, 4, {3, 0x12, 0, 3, 0x34, 0x50, 0, 1}, {0x12, 0x13, 0x45}},
  };
  for (const Case& c : cases) {
    ImagePtr image = RleImage(c.width, c.height, c.bpp, c.stream);
    BitsPtr out = c.bpp == 8 ? Dib8().DecodeRle(image.get()) : Dib4().DecodeRle(image.get());
    ASSERT_TRUE(out);
    EXPECT_EQ(std::vector<uint8_t>(out.get(), out.get() + c.expected.size()), c.expected);
  }
}

TEST(DecodeRle, RunStartingAtTheRowEndFails) {
  ImagePtr image = RleImage(4, 2, 8, {4, 1, 1, 2, 0, 1});
  EXPECT_FALSE(Dib8().DecodeRle(image.get()));
  // A run that starts inside the row but overshoots is clipped to the row.
  ImagePtr clipped = RleImage(4, 2, 8, {200, 5, 0, 0, 0, 1});
  BitsPtr out = Dib8().DecodeRle(clipped.get());
  ASSERT_TRUE(out);
  EXPECT_EQ(std::vector<uint8_t>(out.get(), out.get() + 4), (std::vector<uint8_t>{5, 5, 5, 5}));
  EXPECT_EQ(out.get()[clipped->stride], 0);
}

TEST(DecodeRle, HostileStreamsStayInsideTheBuffer) {
  // Deltas far beyond the image, absolute runs longer than the row and than the stream, and a
  // stream that never ends decode to exactly these rows of a 3 x 2 image (memory order, bottom
  // row first; the sanitizer build also sees every access), at both depths.
  const struct Case {
    std::vector<uint8_t> stream, rle8, rle4;
  } cases[] = {
      {{0, 2, 255, 255, 5, 5}, {0, 0, 0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0, 0, 0}},
      {{0, 2, 1, 0, 0, 255, 7, 9}, {0, 7, 9, 0, 0, 0, 0, 0}, {0x00, 0x70, 0, 0, 0, 0, 0, 0}},
      {{0, 255}, {0, 0, 0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0, 0, 0}},
      {{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 3}, {0, 0, 0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0, 0, 0}},
      {{0, 2, 1, 1, 0, 3, 0x21, 0x43}, {0, 0, 0, 0, 0, 0x21, 0x43, 0}, {0, 0, 0, 0, 0x02, 0x10, 0, 0}},
  };
  for (const Case& c : cases) {
    for (int bpp : {8, 4}) {
      ImagePtr image = RleImage(3, 2, bpp, c.stream);
      BitsPtr out = bpp == 8 ? Dib8().DecodeRle(image.get()) : Dib4().DecodeRle(image.get());
      ASSERT_TRUE(out) << bpp;
      EXPECT_EQ(std::vector<uint8_t>(out.get(), out.get() + 8), bpp == 8 ? c.rle8 : c.rle4)
          << bpp << " bits, stream starting " << int{c.stream[1]};
    }
  }
}

TEST(EncodeRle, LongRunsAreCutAt255Pixels) {
  ImagePtr image = NewImage(300, 1, 8);
  std::memset(image->bits, 4, 300);
  EncodeRle(image.get());
  ASSERT_EQ(image->info->bmiHeader.biCompression, static_cast<DWORD>(BI_RLE8));
  const uint8_t* s = image->bits;
  EXPECT_EQ(std::vector<uint8_t>(s, s + 8), (std::vector<uint8_t>{255, 4, 45, 4, 0, 0, 0, 1}));
}

TEST(EncodeRle, MixedRowsUseRunsSinglesAndAbsoluteStretches) {
  ImagePtr image = NewImage(12, 3, 8);  // two plain rows above make room for the stream
  const uint8_t row[12] = {1, 1, 2, 3, 4, 5, 6, 6, 6, 7, 8, 9};
  std::memcpy(image->bits, row, 12);
  EncodeRle(image.get());
  const std::vector<uint8_t> expected = {2, 1, 0, 4, 2, 3, 4, 5, 3, 6, 0, 3, 7, 8, 9, 0, 0, 0,
                                         12, 0, 0, 0, 12, 0, 0, 0, 0, 1};
  EXPECT_EQ(std::vector<uint8_t>(image->bits, image->bits + expected.size()), expected);
}

TEST(EncodeRle, RoundTripsEveryWidthAtBothDepths) {
  for (int bpp : {8, 4}) {
    for (int width = 1; width <= 40; ++width) {
      ImagePtr image = NewImage(width, 4, bpp);
      // Noise with repeated bytes, so that every encoding form appears.
      FillRandom(image.get(), static_cast<uint32_t>(width * 7 + bpp));
      for (size_t i = 0; i < ImageBytes(image.get()); i += 5) image->bits[i] = image->bits[i ? i - 1 : 0];
      ImagePtr original = NewImage(width, 4, bpp);
      std::memcpy(original->bits, image->bits, ImageBytes(image.get()));
      EncodeRle(image.get());
      if (!IsRunLength(image.get())) continue;  // did not fit: left uncompressed (checked below)
      BitsPtr decoded = bpp == 8 ? Dib8().DecodeRle(image.get()) : Dib4().DecodeRle(image.get());
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

TEST(EncodeRle, StreamLongerThanTheBufferLeavesTheImageUncompressed) {
  ImagePtr image = NewImage(4, 2, 8);  // 4 unequal bytes per row need more than 4 bytes coded
  const uint8_t rows[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  std::memcpy(image->bits, rows, 8);
  EncodeRle(image.get());
  EXPECT_EQ(image->info->bmiHeader.biCompression, static_cast<DWORD>(BI_RGB));
  EXPECT_EQ(std::vector<uint8_t>(image->bits, image->bits + 8), std::vector<uint8_t>(rows, rows + 8));
}

TEST(RleGeometry, MirrorKeepsRunLengthAndCropWithoutReencodeExpands) {
  ImagePtr image = RleImage(8, 2, 8, {8, 5, 0, 0, 2, 1, 6, 2, 0, 1});
  ImagePtr mirrored = NewImage(8, 2, 8);
  Dib8().MirrorHorizontal(image.get(), mirrored.get());
  ASSERT_EQ(mirrored->info->bmiHeader.biCompression, static_cast<DWORD>(BI_RLE8));
  BitsPtr out = Dib8().DecodeRle(mirrored.get());
  ASSERT_TRUE(out);
  const uint8_t* top = out.get() + mirrored->stride;
  EXPECT_EQ(std::vector<uint8_t>(top, top + 8), (std::vector<uint8_t>{2, 2, 2, 2, 2, 2, 1, 1}));

  ImagePtr cropped = NewImage(8, 2, 8);
  Dib8().CopyRect(image.get(), cropped.get(), CropRect{0, 0, 8, 2}, 0);
  EXPECT_EQ(cropped->info->bmiHeader.biCompression, static_cast<DWORD>(BI_RGB));
  EXPECT_EQ(PixelValue(cropped.get(), 7, 1), 5u);
  EXPECT_EQ(PixelValue(cropped.get(), 0, 0), 1u);
}

TEST(RleGeometry, UndecodableSourceLeavesTheDestinationUntouched) {
  ImagePtr image = RleImage(2, 1, 8, {2, 1, 5, 1});  // second run starts past the row
  ImagePtr dst = NewImage(2, 1, 8);
  RowAddress(dst.get(), 0)[0] = 42;
  Dib8().FlipVertical(image.get(), dst.get());
  EXPECT_EQ(RowAddress(dst.get(), 0)[0], 42);
  EXPECT_EQ(Dib8().ToDib24(image.get(), NewImage(2, 1, 24).get()), nullptr);
}

}  // namespace
