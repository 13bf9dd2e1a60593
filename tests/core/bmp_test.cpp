// BMP files: the written layout, round trips of every depth, headers of every length, bit fields
// and transparency, the refusal or sound reading of bad headers and data, and the public BMP
// suite against ImageMagick.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "app/file_flow.h"
#include "formats/byte_order.h"
#include "tests/core/test_support.h"

namespace {

// A BMP file with a 40-byte or longer header, built field by field.
struct BmpBuilder {
  int32_t width = 4, height = 2;
  uint16_t planes = 1, bpp = 24;
  uint32_t compression = 0, clr_used = 0, header_size = 40;
  std::vector<uint8_t> table, pixels;  // table: colour table or masks, as bytes
  uint32_t masks[4] = {};              // red, green, blue, alpha: inside the header from 52 bytes on

  std::vector<uint8_t> Bytes() const {
    std::vector<uint8_t> f(14 + header_size, 0);
    PutLE16(&f[0], 0x4D42);
    PutLE32(&f[10], static_cast<uint32_t>(14 + header_size + table.size()));
    for (const auto& [at, v] : {std::pair<int, uint32_t>{14, header_size}, {18, uint32_t(width)}, {22, uint32_t(height)},
                               {30, compression}, {46, clr_used}})
      PutLE32(&f[at], v);
    PutLE16(&f[26], planes);
    PutLE16(&f[28], bpp);
    for (uint32_t i = 0; i < 4 && 40 + 4 * i < header_size; ++i) PutLE32(&f[54 + 4 * i], masks[i]);
    f.insert(f.end(), table.begin(), table.end());
    f.insert(f.end(), pixels.begin(), pixels.end());
    PutLE32(&f[2], static_cast<uint32_t>(f.size()));
    return f;
  }
};

TEST(BmpWrite, HeaderFieldsOfPlainAndBitFieldImages) {
  TempDir dir;
  Document plain(RandomImage(3, 2, 24, 3));
  ASSERT_TRUE(SaveImageFile(plain.doc, dir.File("a.bmp").c_str(), 0));
  std::vector<uint8_t> f = ReadFileBytes(dir.File("a.bmp"));
  ASSERT_EQ(f.size(), 78u);  // file size, offset, header size, biSizeImage = height * stride (12)
  EXPECT_EQ((std::vector<uint32_t>{GetLE32(&f[2]), GetLE32(&f[10]), GetLE32(&f[14]), GetLE32(&f[34])}),
            (std::vector<uint32_t>{78, 54, 40, 24}));
  EXPECT_EQ(std::memcmp(&f[54], plain.image()->bits, 24), 0);
  // Bit-field images write their three masks.
  BmpBuilder b;
  b.bpp = 16, b.compression = BI_BITFIELDS, b.table.resize(12), b.pixels.assign(16, 0xAB);
  PutLE32(&b.table[0], 0xF800), PutLE32(&b.table[4], 0x07E0), PutLE32(&b.table[8], 0x001F);
  OpenedFile in(dir.Put("in.bmp", b.Bytes()));
  ASSERT_TRUE(in.ok && SaveImageFile(in.doc, dir.File("out.bmp").c_str(), 0));
  f = ReadFileBytes(dir.File("out.bmp"));
  ASSERT_EQ(f.size(), 66u + 16u);
  EXPECT_EQ((std::vector<uint32_t>{GetLE32(&f[10]), GetLE32(&f[54]), GetLE32(&f[62])}),
            (std::vector<uint32_t>{66, 0xF800, 0x001F}));
}

TEST(BmpRoundTrip, EveryDepthAndOddWidthReadsBackExactlyAndRunLengthStaysCompressed) {
  TempDir dir;
  const std::string path = dir.File("rt.bmp");
  for (int bpp : {1, 4, 8, 16, 24, 32})
    for (int width : {1, 2, 3, 7, 13, 33}) {
      Document d(RandomImage(width, 3, bpp, static_cast<uint32_t>(bpp + width)));
      ASSERT_TRUE(SaveImageFile(d.doc, path.c_str(), 0));
      OpenedFile back(path);
      ASSERT_TRUE(back.ok) << bpp << " " << width;
      EXPECT_EQ(back.image()->colours, d.image()->colours);
      for (int i = 0; i < 3 * width; ++i)
        ASSERT_EQ(PixelValue(back.image(), i % width, i / width), PixelValue(d.image(), i % width, i / width)) << bpp;
    }
  for (int bpp : {8, 4}) {
    ImagePtr image = NewImage(40, 6, bpp);
    std::memset(image->bits, 0x21, ImageBytes(image.get()));
    EncodeRle(image.get());
    ASSERT_TRUE(IsRunLength(image.get()));
    Document d(std::move(image));
    ASSERT_TRUE(SaveImageFile(d.doc, path.c_str(), 0));
    OpenedFile back(path);
    ASSERT_TRUE(back.ok);
    EXPECT_EQ(back.image()->info->bmiHeader.biCompression, bpp == 8 ? 1u : 2u);
    EXPECT_EQ(std::memcmp(back.image()->bits, d.image()->bits, ImageBytes(d.image())), 0);
  }
}

TEST(BmpRead, ColourCountsTruncatedPixelsAndOversizedTables) {
  TempDir dir;
  const int cases[][3] = {{1, 0, 2}, {4, 6, 6}, {4, 300, 16}};  // bits, biClrUsed, colours (more than 2^bits: clamped)
  for (const auto& c : cases) {
    BmpBuilder b;
    b.bpp = static_cast<uint16_t>(c[0]), b.clr_used = static_cast<uint32_t>(c[1]);
    b.table.assign(4 * std::max(c[1], c[2]), 0x55), b.pixels.assign(8, 0xFF);
    OpenedFile in(dir.Put("c.bmp", b.Bytes()));
    ASSERT_TRUE(in.ok);
    EXPECT_EQ(in.image()->colours, c[2]);
    EXPECT_EQ(in.image()->info->bmiHeader.biClrUsed, static_cast<uint32_t>(c[1] ? c[2] : 0)) << c[1];
    EXPECT_EQ(InfoBytes(in.image()), 40u + 4u * c[2]);
  }
  BmpBuilder b;
  b.width = 2, b.height = 2, b.pixels = {9, 9, 9, 9, 9, 9, 0, 0, 7};  // the top row is cut short after one byte
  OpenedFile in(dir.Put("c.bmp", b.Bytes()));
  ASSERT_TRUE(in.ok);
  EXPECT_EQ(PixelValue(in.image(), 0, 0) << 8 | PixelValue(in.image(), 1, 0), 7u << 8);
}

// The headers current programs write (52 to 124 bytes, masks inside) and bit fields with an
// alpha mask: transparency is blended onto the background (white here) and the pixels read as
// red, green, blue through the image's true-colour copy. Saving writes the 40-byte header.
TEST(BmpRead, LongerHeadersMasksAndTransparency) {
  TempDir dir;
  // table: masks after a 40-byte header, or the colour table; pixels: one row of two; rgb: what they show
  const struct Case { const char* what; uint32_t header_size, bpp, compression, masks[4]; std::vector<uint8_t> table, pixels, rgb; }
      cases[] = {
      // alpha 128 over white: (c * 128 + 255 * 127 + 127) / 255
      {"version 5, 32-bit ARGB", 124, 32, BI_BITFIELDS, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, {},
       {0x01, 0x64, 0xC8, 0x80, 0x30, 0x20, 0x10, 0xFF}, {227, 177, 128, 0x10, 0x20, 0x30}},
      {"version 4, 32-bit XBGR", 108, 32, BI_BITFIELDS, {0xFF, 0xFF00, 0xFF0000, 0}, {},
       {0x10, 0x20, 0x30, 0x99, 0, 0, 0, 0}, {0x10, 0x20, 0x30, 0, 0, 0}},
      {"alpha never set: opaque", 108, 32, BI_BITFIELDS, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, {},
       {1, 2, 3, 0, 4, 5, 6, 0}, {3, 2, 1, 6, 5, 4}},
      // 4-4-4-4 with alpha 8/15: blended, then kept as 5-5-5 (which reads as c * 8 + 7)
      {"version 5, 16-bit ARGB 4444", 124, 16, BI_BITFIELDS, {0x0F00, 0x00F0, 0x000F, 0xF000}, {},
       {0x84, 0x8F, 0x00, 0xF0, 0, 0}, {255, 191, 159, 7, 7, 7}},
      {"40-byte header, alpha bit fields", 40, 32, 6, {}, {0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0, 0, 0, 0, 0xFF},
       {9, 8, 7, 0, 9, 8, 7, 0xFF}, {255, 255, 255, 7, 8, 9}},
      {"version 4, palette", 108, 8, BI_RGB, {}, {1, 2, 3, 0, 4, 5, 6, 0}, {1, 0, 0, 0}, {6, 5, 4, 3, 2, 1}},
  };
  for (const Case& c : cases) {
    BmpBuilder b;
    b.width = 2, b.height = 1, b.header_size = c.header_size, b.bpp = static_cast<uint16_t>(c.bpp);
    b.compression = c.compression, b.table = c.table, b.clr_used = c.bpp == 8 ? 2 : 0, b.pixels = c.pixels;
    std::copy(c.masks, c.masks + 4, b.masks);
    OpenedFile in(dir.Put("v.bmp", b.Bytes()));
    ASSERT_TRUE(in.ok) << c.what;
    EXPECT_EQ(TrueColourRgb(in.doc, in.image()), c.rgb) << c.what;
    ASSERT_TRUE(SaveImageFile(in.doc, dir.File("out.bmp").c_str(), 0));
    EXPECT_EQ(GetLE32(&ReadFileBytes(dir.File("out.bmp"))[14]), 40u) << c.what;
  }
}

// Run-length streams longer than the bitmap (a run of one pixel costs two bytes): every row is
// read, at both depths, whatever the stream's length.
TEST(BmpRead, RunLengthStreamsLongerThanTheBitmap) {
  TempDir dir;
  for (int bpp : {8, 4}) {
    const int w = 16, h = 6;
    BmpBuilder b;
    b.width = w, b.height = h, b.bpp = static_cast<uint16_t>(bpp), b.compression = bpp == 8 ? BI_RLE8 : BI_RLE4;
    b.clr_used = 16;
    for (int i = 0; i < 16; ++i) b.table.insert(b.table.end(), {uint8_t(255 - i), uint8_t(i), uint8_t(i * 16), 0});
    auto index = [](int x, int y) { return (x * 3 + y * 5) % 16; };
    std::vector<uint8_t> rgb;
    for (int y = 0; y < h; ++y) {  // rows bottom-up, each pixel a run of one
      for (int x = 0; x < w; ++x) {
        b.pixels.insert(b.pixels.end(), {1, uint8_t(index(x, h - 1 - y) * (bpp == 4 ? 17 : 1))});
        rgb.insert(rgb.end(), {uint8_t(index(x, y) * 16), uint8_t(index(x, y)), uint8_t(255 - index(x, y))});
      }
      b.pixels.insert(b.pixels.end(), {0, 0});
    }
    b.pixels.insert(b.pixels.end(), {0, 1});
    ASSERT_GT(b.pixels.size(), static_cast<size_t>(RowBytes(w, bpp)) * h);
    OpenedFile in(dir.Put("long.bmp", b.Bytes()));
    ASSERT_TRUE(in.ok && in.channel.boxes.empty()) << bpp;
    EXPECT_EQ(TrueColourRgb(in.doc, in.image()), rgb) << bpp;
  }
}

TEST(BmpRead, BadHeadersAreRefusedWithTheUnsupportedMessage) {
  TempDir dir;
  auto refused = [&](const BmpBuilder& b, const char* what) {
    OpenedFile in(dir.Put("bad.bmp", b.Bytes()));
    EXPECT_TRUE(!in.ok && in.channel.ShowedOnly(kMsgUnsupported) && in.doc.image_count_ == 0) << what;
    return in.channel.FirstReason();
  };
  const struct Case { const char* what; void (*change)(BmpBuilder&); const char* reason; } cases[] = {  // reason: its start
      {"OS/2 2.x header", [](BmpBuilder& b) { b.header_size = 64; }, "unsupported variant: OS/2 2.x"},
      {"unknown header size", [](BmpBuilder& b) { b.header_size = 66; }, "unsupported header size 66"},
      {"zero width", [](BmpBuilder& b) { b.width = 0; }, "invalid size 0 x 2"},
      {"zero height", [](BmpBuilder& b) { b.height = 0; }, "invalid size 4 x 0"},
      {"dimensions above the cap", [](BmpBuilder& b) { b.width = 3000000, b.height = 2000000; },
       "too large for the size limit"},
      {"more rows than the file holds", [](BmpBuilder& b) { b.height = 5000; }, "truncated: 2 of 5000 rows"},
      {"bit count without a pixel format", [](BmpBuilder& b) { b.bpp = 2; }, "unsupported variant: 2 bits"},
      {"planes", [](BmpBuilder& b) { b.planes = 3; }, "invalid header: planes"},
      {"compression the depth cannot carry", [](BmpBuilder& b) { b.compression = BI_RLE8; },
       "unsupported variant: compression 1 at 24"},
      {"embedded PNG", [](BmpBuilder& b) { b.compression = 5, b.bpp = 0; }, "unsupported variant: embedded PNG"},
      {"top-down run-length data",
       [](BmpBuilder& b) { b.bpp = 8, b.compression = BI_RLE8, b.height = -2, b.table.assign(1024, 0); },
       "invalid header: run-length data"},
  };
  for (const Case& c : cases) {
    BmpBuilder b;
    b.pixels.assign(32, 0);
    c.change(b);
    const std::string reason = refused(b, c.what);
    EXPECT_EQ(reason.rfind(c.reason, 0), 0u) << c.what << ": " << reason;
  }
  // The size limit is a setting.
  SetMaxPixels(7);
  BmpBuilder eight;
  eight.pixels.assign(32, 0);
  EXPECT_EQ(refused(eight, "above a limit of 7"), "too large for the size limit: 4 x 2 is 8 pixels, the limit is 7");
  SetMaxPixels(0);
  OpenedFile text(dir.Put("text.bmp", {'h', 'e', 'l', 'l', 'o'})), missing(dir.File("missing.bmp"));
  EXPECT_TRUE(!text.ok && text.channel.ShowedOnly(kMsgUnsupported));
  EXPECT_TRUE(!missing.ok && missing.channel.ShowedOnly(kMsgCannotOpen));
}

std::string SuiteDir() { return CorpusDir().empty() ? "" : CorpusDir() + "/bmpsuite"; }

// Every good file of the public BMP suite decodes as ImageMagick decodes it.
TEST(BmpSuite, GoodFilesDecodeAsTheReferenceDecoder) {
  if (SuiteDir().empty()) GTEST_SKIP() << "the public corpora are not on this machine";
  const std::vector<std::string> files = FilesIn(SuiteDir() + "/g", ".bmp");
  for (const std::string& path : files) {
    SCOPED_TRACE(path);
    OpenedFile in(path);
    ASSERT_TRUE(in.ok);  // every good file, the longer headers too
    const DibImage* image = in.image();
    const int w = Width(image), h = Height(image);
    const std::vector<uint8_t> expected = MagickPixels(path, "-depth 8 rgb:-");
    ASSERT_EQ(expected.size(), static_cast<size_t>(w) * h * 3);
    if (BitCount(image) != 16) {
      EXPECT_TRUE(TrueColourRgb(in.doc, image) == expected);
      continue;
    }
    // Compare the fields the file holds: the reference scales them to 0..255 its own way.
    const ChannelMasks m = MasksOf(image);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        for (int c = 0; c < 3; ++c) {  // blue, green, red
          const uint32_t max = m.mask[c] >> m.shift[c], ours = (PixelValue(image, x, y) & m.mask[c]) >> m.shift[c];
          const uint8_t theirs = expected[(static_cast<size_t>(y) * w + x) * 3 + (2 - c)];
          ASSERT_EQ(ours, static_cast<uint32_t>(std::lround(theirs * static_cast<double>(max) / 255.0)))
              << "x " << x << " y " << y << " channel " << c;
        }
  }
  EXPECT_GE(files.size(), 20u);
}

// Every questionable and bad file is read soundly or refused with a message.
TEST(BmpSuite, QuestionableAndBadFilesAreReadSoundlyOrRefused) {
  if (SuiteDir().empty()) GTEST_SKIP() << "the public corpora are not on this machine";
  int files = 0;
  for (const char* folder : {"/q", "/b"})
    for (const std::string& path : FilesIn(SuiteDir() + folder, ".bmp")) {
      SCOPED_TRACE(path);
      ++files;
      OpenedFile in(path);
      if (!in.ok) {
        ASSERT_FALSE(in.channel.boxes.empty());
        EXPECT_EQ(in.channel.boxes[0].style, static_cast<unsigned>(MB_ICONHAND));
        continue;
      }
      // A file that loads must go through every pixel operation the menu uses first; only a
      // run-length stream that does not decode may refuse them (the copy and the histogram).
      const DibImage* image = in.image();
      auto ops = MDIBCtrl::CreatePixelOps(image);
      ASSERT_TRUE(ops);
      const bool decodes = !IsRunLength(image) || (BitCount(image) == 8 ? Dib8().DecodeRle(image) : Dib4().DecodeRle(image));
      ImagePtr rgb(in.doc.MakeTrueColorCopy(image));
      EXPECT_EQ(rgb != nullptr, decodes);
      EXPECT_EQ(ops->MakeHistogram(image) != nullptr, decodes);
      // The true-colour copy shows what the indexes and the colour table say.
      const bool plain = rgb && !IsRunLength(image) && BitCount(image) % 16 != 0;  // not 16 or 32 bits
      EXPECT_TRUE(!plain || RgbPixels(rgb.get()) == RgbPixels(image));
      EXPECT_TRUE(in.doc.RunOperation(108));
    }
  EXPECT_GE(files, 30);
}

}  // namespace
