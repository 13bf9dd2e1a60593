// BMP files: the written layout, round trips of every depth, OS/2 and bit-field files, and the
// refusal or sound reading of bad headers and data.
#include <gtest/gtest.h>

#include <cstring>

#include "app/file_flow.h"
#include "formats/byte_order.h"
#include "tests/core/test_support.h"

namespace {

// A BMP file with a 40-byte header, built field by field.
struct BmpBuilder {
  int32_t width = 4, height = 2;
  uint16_t planes = 1, bpp = 24;
  uint32_t compression = 0, clr_used = 0;
  std::vector<uint8_t> table;  // colour table or masks, as bytes
  std::vector<uint8_t> pixels;
  int32_t offset_adjust = 0;
  uint32_t header_size = 40;

  std::vector<uint8_t> Bytes() const {
    std::vector<uint8_t> f(14 + header_size, 0);
    PutLE16(&f[0], 0x4D42);
    PutLE32(&f[10], static_cast<uint32_t>(14 + header_size + table.size() + offset_adjust));
    PutLE32(&f[14], header_size);
    PutLE32(&f[18], static_cast<uint32_t>(width));
    PutLE32(&f[22], static_cast<uint32_t>(height));
    PutLE16(&f[26], planes);
    PutLE16(&f[28], bpp);
    PutLE32(&f[30], compression);
    PutLE32(&f[46], clr_used);
    f.insert(f.end(), table.begin(), table.end());
    f.insert(f.end(), pixels.begin(), pixels.end());
    PutLE32(&f[2], static_cast<uint32_t>(f.size()));
    return f;
  }
};

TEST(BmpWrite, TwentyFourBitLayout) {
  TempDir dir;
  Filter doc;
  ImagePtr image = NewImage(3, 2, 24);
  FillRandom(image.get(), 3);
  doc.pending_ = image.release();
  doc.Commit();
  ASSERT_TRUE(SaveImageFile(doc, dir.File("a.bmp").c_str(), 0));
  const std::vector<uint8_t> f = ReadFileBytes(dir.File("a.bmp"));
  ASSERT_EQ(f.size(), 78u);
  EXPECT_EQ(GetLE32(&f[2]), 78u);
  EXPECT_EQ(GetLE32(&f[10]), 54u);
  EXPECT_EQ(GetLE32(&f[14]), 40u);
  EXPECT_EQ(GetLE32(&f[34]), 24u);  // biSizeImage = height * stride (12)
  EXPECT_EQ(std::memcmp(&f[54], doc.current_->bits, 24), 0);
}

TEST(BmpWrite, BitfieldImagesWriteTheirThreeMasks) {
  TempDir dir;
  BmpBuilder b;
  b.bpp = 16;
  b.compression = BI_BITFIELDS;
  b.table.resize(12);
  PutLE32(&b.table[0], 0xF800);
  PutLE32(&b.table[4], 0x07E0);
  PutLE32(&b.table[8], 0x001F);
  b.pixels.assign(16, 0xAB);
  WriteFileBytes(dir.File("in.bmp"), b.Bytes());
  OpenedFile in(dir.File("in.bmp"));
  ASSERT_TRUE(in.ok);
  ASSERT_TRUE(SaveImageFile(in.doc, dir.File("out.bmp").c_str(), 0));
  const std::vector<uint8_t> f = ReadFileBytes(dir.File("out.bmp"));
  ASSERT_EQ(f.size(), 66u + 16u);
  EXPECT_EQ(GetLE32(&f[10]), 66u);
  EXPECT_EQ(GetLE32(&f[54]), 0xF800u);
  EXPECT_EQ(GetLE32(&f[62]), 0x001Fu);
}

TEST(BmpRead, ColourCountsFromClrUsed) {
  TempDir dir;
  const int cases[][3] = {{1, 0, 2}, {4, 6, 6}};  // bits, biClrUsed, colours
  for (const auto& c : cases) {
    BmpBuilder b;
    b.bpp = static_cast<uint16_t>(c[0]);
    b.clr_used = static_cast<uint32_t>(c[1]);
    b.table.assign(4 * c[2], 0x55);
    b.pixels.assign(8, 0);
    WriteFileBytes(dir.File("c.bmp"), b.Bytes());
    OpenedFile in(dir.File("c.bmp"));
    ASSERT_TRUE(in.ok);
    EXPECT_EQ(in.image()->colours, c[2]);
    EXPECT_EQ(InfoBytes(in.image()), 40u + 4u * c[2]);
  }
}

TEST(BmpRoundTrip, EveryDepthAndOddWidthsReadBackExactly) {
  TempDir dir;
  for (int bpp : {1, 4, 8, 16, 24, 32}) {
    for (int width : {1, 2, 3, 7, 13, 33}) {
      Filter doc;
      ImagePtr image = NewImage(width, 3, bpp);
      FillRandom(image.get(), static_cast<uint32_t>(bpp + width));
      doc.pending_ = image.release();
      doc.Commit();
      const std::string path = dir.File("rt.bmp");
      ASSERT_TRUE(SaveImageFile(doc, path.c_str(), 0));
      OpenedFile back(path);
      ASSERT_TRUE(back.ok) << bpp << " " << width;
      EXPECT_EQ(back.image()->colours, doc.current_->colours);
      for (int y = 0; y < 3; ++y)
        for (int x = 0; x < width; ++x)
          ASSERT_EQ(PixelValue(back.image(), x, y), PixelValue(doc.current_, x, y)) << bpp << " " << width;
    }
  }
}

TEST(BmpRoundTrip, RunLengthImagesStayCompressed) {
  TempDir dir;
  for (int bpp : {8, 4}) {
    Filter doc;
    ImagePtr image = NewImage(40, 6, bpp);
    std::memset(image->bits, 0x21, ImageBytes(image.get()));
    EncodeRle(image.get());
    ASSERT_TRUE(IsRunLength(image.get()));
    doc.pending_ = image.release();
    doc.Commit();
    ASSERT_TRUE(SaveImageFile(doc, dir.File("rle.bmp").c_str(), 0));
    OpenedFile back(dir.File("rle.bmp"));
    ASSERT_TRUE(back.ok);
    EXPECT_EQ(back.image()->info->bmiHeader.biCompression, bpp == 8 ? 1u : 2u);
    EXPECT_EQ(std::memcmp(back.image()->bits, doc.current_->bits, ImageBytes(doc.current_)), 0);
  }
}

TEST(BmpRead, TruncatedPixelsReadAsZeroAndOversizedTablesAreClamped) {
  TempDir dir;
  BmpBuilder b;
  b.width = 2;
  b.height = 2;
  b.pixels = {9, 9, 9, 9, 9, 9, 0, 0, 7};  // the top row is cut short after one byte
  WriteFileBytes(dir.File("short.bmp"), b.Bytes());
  OpenedFile in(dir.File("short.bmp"));
  ASSERT_TRUE(in.ok);
  EXPECT_EQ(PixelValue(in.image(), 0, 0), 7u);
  EXPECT_EQ(PixelValue(in.image(), 1, 0), 0u);

  BmpBuilder pal;
  pal.bpp = 4;
  pal.clr_used = 300;  // more than 2^4
  pal.table.assign(300 * 4, 0x40);
  pal.pixels.assign(8, 0xFF);
  WriteFileBytes(dir.File("pal.bmp"), pal.Bytes());
  OpenedFile p(dir.File("pal.bmp"));
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.image()->colours, 16);
  EXPECT_EQ(p.image()->info->bmiHeader.biClrUsed, 16u);
}

TEST(BmpRead, BadHeadersAreRefusedWithTheUnsupportedMessage) {
  TempDir dir;
  auto refused = [&](const BmpBuilder& b, const char* what) {
    WriteFileBytes(dir.File("bad.bmp"), b.Bytes());
    OpenedFile in(dir.File("bad.bmp"));
    EXPECT_FALSE(in.ok) << what;
    EXPECT_TRUE(in.channel.ShowedOnly(kMsgUnsupported)) << what;
    EXPECT_EQ(in.doc.image_count_, 0) << what;
  };
  struct Case {
    const char* what;
    void (*change)(BmpBuilder&);
  };
  const Case cases[] = {
      {"version-4 header", [](BmpBuilder& b) { b.header_size = 108; }},
      {"zero width", [](BmpBuilder& b) { b.width = 0; }},
      {"zero height", [](BmpBuilder& b) { b.height = 0; }},
      {"dimensions above the cap", [](BmpBuilder& b) { b.width = 3000000, b.height = 2000000; }},
      {"more rows than the file holds", [](BmpBuilder& b) { b.height = 5000; }},
      {"bit count without a pixel format", [](BmpBuilder& b) { b.bpp = 2; }},
      {"planes", [](BmpBuilder& b) { b.planes = 3; }},
      {"compression the depth cannot carry", [](BmpBuilder& b) { b.compression = BI_RLE8; }},
      {"top-down run-length data",
       [](BmpBuilder& b) { b.bpp = 8, b.compression = BI_RLE8, b.height = -2, b.table.assign(1024, 0); }},
  };
  for (const Case& c : cases) {
    BmpBuilder b;
    b.pixels.assign(32, 0);
    c.change(b);
    refused(b, c.what);
  }

  WriteFileBytes(dir.File("text.bmp"), std::vector<uint8_t>{'h', 'e', 'l', 'l', 'o'});
  OpenedFile text(dir.File("text.bmp"));
  EXPECT_FALSE(text.ok);
  EXPECT_TRUE(text.channel.ShowedOnly(kMsgUnsupported));

  OpenedFile missing(dir.File("missing.bmp"));
  EXPECT_FALSE(missing.ok);
  EXPECT_TRUE(missing.channel.ShowedOnly(kMsgCannotOpen));
}

}  // namespace
