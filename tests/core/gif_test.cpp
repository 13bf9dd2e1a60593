// GIF files: the corpus against ImageMagick, our writer read back by ImageMagick and by us, and
// damaged or unusual files built here byte by byte.
#include <gtest/gtest.h>

#include <algorithm>

#include "document/image_info.h"
#include "formats/lzw.h"
#include "tests/core/test_support.h"

namespace {

const char kFirstFrame[] = "-alpha off -depth 8 rgb:-";  // ImageMagick's output of the frame asked for

struct Frame {
  int left, top, width, height;
  std::vector<uint8_t> indexes;     // in the file's row order
  std::vector<uint8_t> local = {};  // red, green, blue triples; empty for none
  bool interlaced = false;
  int code_size = 0;                // 0: from the table size
  std::vector<uint8_t> data = {};   // code size and sub-blocks as they stand, instead of encoded indexes
};

int Exponent(size_t entries) {
  int e = 0;
  while ((size_t{2} << e) < entries) ++e;
  return e;
}

// The table flag and size exponent of a packed byte.
uint8_t TableBits(const std::vector<uint8_t>& table) {
  return static_cast<uint8_t>(table.empty() ? 0 : 0x80 | Exponent(table.size() / 3));
}

void Put16(std::vector<uint8_t>& f, int v) { f.insert(f.end(), {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)}); }

// A GIF file: header, global table (when given), the extra bytes, the frames, the trailer.
std::vector<uint8_t> Gif(int width, int height, const std::vector<uint8_t>& global, const std::vector<Frame>& frames,
                         const std::vector<uint8_t>& extra = {}, const char* version = "GIF89a", int background = 0) {
  std::vector<uint8_t> f(version, version + 6);
  Put16(f, width);
  Put16(f, height);
  f.insert(f.end(), {TableBits(global), static_cast<uint8_t>(background), 0});
  f.insert(f.end(), global.begin(), global.end());
  f.insert(f.end(), extra.begin(), extra.end());
  for (const Frame& fr : frames) {
    f.push_back(',');
    for (int v : {fr.left, fr.top, fr.width, fr.height}) Put16(f, v);
    f.push_back(static_cast<uint8_t>(TableBits(fr.local) | (fr.interlaced ? 0x40 : 0)));
    f.insert(f.end(), fr.local.begin(), fr.local.end());
    const size_t entries = (fr.local.empty() ? global : fr.local).size() / 3;
    LzwEncoder encoder(fr.code_size ? fr.code_size : std::max(1, Exponent(entries) + 1));
    encoder.Add(fr.indexes.data(), fr.indexes.size());
    encoder.Finish();
    encoder.output().insert(encoder.output().begin(), static_cast<uint8_t>(encoder.code_size()));
    const std::vector<uint8_t>& data = fr.data.empty() ? encoder.output() : fr.data;
    f.insert(f.end(), data.begin(), data.end());
  }
  f.push_back(';');
  return f;
}

TEST(GifCorpus, FirstFramesMatchImageMagick) {
  const std::vector<std::string> files = FilesIn(CorpusDir() + "/gif", ".gif");
  if (files.empty()) GTEST_SKIP() << "no GIF corpus";
  for (const std::string& path : files) {
    SCOPED_TRACE(path);
    OpenedFile in(path);
    ASSERT_TRUE(in.ok && in.channel.boxes.empty());
    EXPECT_TRUE(RgbPixels(in.image()) == MagickPixels(path + "[0]", kFirstFrame));
    const std::string name = path.substr(path.rfind('/') + 1);
    const LoadedImageTexts t = DescribeLoadedImage(in.image());
    EXPECT_EQ(t.format == "GIF-89a[animation]", name == "fire.gif" || name == "welcome2.gif");
    EXPECT_EQ(t.compression == "LZW-interlace", name == "treescap-interlaced.gif" || name == "fire.gif" || name == "x-trans.gif");
  }
}

TEST(GifRead, InterlacedRowsLandInPlace) {
  // Height 10, interlaced: the file holds the rows 0, 8, 4, 2, 6, 1, 3, 5, 7, 9 (row r has index r).
  TempDir dir;
  WriteFileBytes(dir.File("i.gif"), Gif(1, 10, std::vector<uint8_t>(48, 7), {Frame{0, 0, 1, 10, {0, 8, 4, 2, 6, 1, 3, 5, 7, 9}, {}, true}}));
  OpenedFile in(dir.File("i.gif"));
  ASSERT_TRUE(in.ok);
  for (int y = 0; y < 10; ++y) EXPECT_EQ(PixelValue(in.image(), 0, y), static_cast<uint32_t>(y));
  EXPECT_EQ(BitCount(in.image()), 4);  // 16 entries
}

TEST(GifRead, ASmallOrPlacedFirstImageLiesOnTheBackground) {
  TempDir dir;
  const std::string path = dir.File("o.gif");
  Frame fr{2, 1, 3, 2, {0, 1, 0, 1, 0, 1}};
  const std::vector<uint8_t> global = {0, 0, 0, 255, 255, 255, 200, 0, 0, 0, 0, 0};
  WriteFileBytes(path, Gif(6, 4, global, {fr}, {}, "GIF89a", 2));
  OpenedFile in(path);
  ASSERT_TRUE(in.ok);
  for (int i = 0; i < 24; ++i)  // the frame's indexes at x 2 to 4, y 1 and 2; around them the background's 2
    EXPECT_EQ(PixelValue(in.image(), i % 6, i / 6), static_cast<uint32_t>("222222220102221012222222"[i] - '0')) << i;
  EXPECT_EQ(in.image()->details->colour, 0xC80000u);  // red * 65536 + green * 256 + blue
  // The first image's own table gives the colours, with or without a global table; lacking the
  // background colour, it gains an entry for it. A frame reaching past the screen is cut.
  fr = Frame{2, 1, 5, 2, std::vector<uint8_t>(10, 1), {1, 2, 3, 4, 5, 6}};
  for (bool global_table : {true, false}) {
    WriteFileBytes(path, Gif(6, 4, global_table ? global : std::vector<uint8_t>{}, {fr}, {}, "GIF89a", 2));
    OpenedFile local(path);
    ASSERT_TRUE(local.ok);
    EXPECT_EQ(local.image()->colours, global_table ? 3 : 2);
    const std::vector<uint8_t> rgb = RgbPixels(local.image());
    const std::vector<uint8_t> back = global_table ? std::vector<uint8_t>{200, 0, 0} : std::vector<uint8_t>{1, 2, 3};
    EXPECT_EQ(std::vector<uint8_t>(rgb.begin(), rgb.begin() + 3), back);
    EXPECT_EQ(std::vector<uint8_t>(rgb.end() - 3, rgb.end()), back);
    EXPECT_EQ(std::vector<uint8_t>(rgb.begin() + 3 * 11, rgb.begin() + 3 * 12), (std::vector<uint8_t>{4, 5, 6}));
  }
}

TEST(GifRead, DamagedFilesStopCleanlyOrAreRefused) {
  TempDir dir;
  const Frame fr{0, 0, 4, 2, {1, 2, 3, 0, 1, 2, 3, 0}};
  const std::vector<uint8_t> g4 = {0, 0, 0, 85, 85, 85, 170, 170, 170, 255, 255, 255}, good = Gif(4, 2, g4, {fr}), zeros(8, 0);
  const struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    int message;                  // -1: loads without a message
    std::vector<uint8_t> pixels;  // expected indexes when it loads
  } cases[] = {
      {"empty comment", Gif(4, 2, g4, {fr}, {0x21, 0xFE, 0x00}), -1, fr.indexes},
      {"indexes beyond the table read as 0", Gif(4, 2, g4, {Frame{0, 0, 4, 2, {1, 200, 3, 4, 255, 2, 3, 0}, {}, false, 8}}),
       -1, {1, 0, 3, 0, 0, 2, 3, 0}},
      {"clear, 1, then the undefined code 300", Gif(4, 2, g4, {Frame{0, 0, 4, 2, {}, {}, false, 0, {8, 4, 0, 3, 0xB0, 4, 0}}}),
       -1, {1, 0, 0, 0, 0, 0, 0, 0}},
      {"code size 12", Gif(4, 2, g4, {Frame{0, 0, 4, 2, {}, {}, false, 0, {12, 1, 0xFF, 0}}}), -1, zeros},
      {"outside the screen", Gif(4, 2, g4, {Frame{300, 0, 4, 2, fr.indexes}}), -1, zeros},
      {"not a GIF", {'G', 'I', 'X', '8', '9', 'a'}, kMsgUnsupported, {}},
      {"version 90a", Gif(4, 2, g4, {fr}, {}, "GIF90a"), kMsgBadVersion, {}},
      {"no image", Gif(4, 2, g4, {}), kMsgUnsupported, {}},
      {"no trailer", std::vector<uint8_t>(good.begin(), good.end() - 1), kMsgUnsupported, {}},
      {"cut in the data", std::vector<uint8_t>(good.begin(), good.end() - 5), kMsgUnsupported, {}},
      {"cut in the table", std::vector<uint8_t>(good.begin(), good.begin() + 16), kMsgUnsupported, {}},
      {"screen too large", Gif(65535, 65535, g4, {fr}), kMsgUnsupported, {}},
      {"screen of width 0", Gif(0, 2, g4, {fr}), kMsgUnsupported, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteFileBytes(dir.File("d.gif"), c.bytes);
    OpenedFile in(dir.File("d.gif"));
    if (c.message >= 0) EXPECT_TRUE(!in.ok && in.channel.ShowedOnly(c.message) && in.doc.image_count_ == 0);
    else ASSERT_TRUE(in.ok && in.channel.boxes.empty());
    for (size_t i = 0; i < c.pixels.size(); ++i) EXPECT_EQ(PixelValue(in.image(), i % 4, i / 4), c.pixels[i]);
  }
}

TEST(GifWrite, OurFilesReadBackExactlyHereAndInImageMagick) {
  TempDir dir;
  const std::string path = dir.File("w.gif");
  struct Case {
    int width, height, bpp, colours, packed, code_size;
    bool rle = false;
  };
  // 1- and 4-bit sources are saved as 8-bit images; 5 and 20 colours are padded to tables of 8 and
  // 32; the 300 x 300 noise fills the code table many times over (a clear code at 4095 each time);
  // run-length images are written expanded.
  for (const Case& c : {Case{13, 5, 1, 2, 0xF7, 8}, Case{7, 3, 4, 16, 0xF7, 8}, Case{33, 9, 8, 256, 0xF7, 8},
                        Case{5, 4, 8, 2, 0x80, 2}, Case{6, 2, 8, 5, 0xA2, 3}, Case{8, 5, 8, 20, 0xC4, 5},
                        Case{300, 300, 8, 256, 0xF7, 8}, Case{9, 7, 4, 16, 0xF7, 8, true}, Case{31, 7, 8, 256, 0xF7, 8, true}}) {
    SCOPED_TRACE(c.width);
    ImagePtr image = NewImage(c.width, c.height, c.bpp, c.colours);
    FillRandom(image.get(), static_cast<uint32_t>(c.width));
    for (size_t i = 0; i < ImageBytes(image.get()); ++i) {
      if (c.rle) image->bits[i] = static_cast<uint8_t>(i / 6 % 3 * 0x11);
      else if (c.bpp == 8) image->bits[i] = static_cast<uint8_t>(image->bits[i] % c.colours);
    }
    const std::vector<uint8_t> expected = RgbPixels(image.get());
    if (c.rle) EncodeRle(image.get());
    ASSERT_EQ(IsRunLength(image.get()), c.rle);
    Filter doc;
    doc.pending_ = image.release();
    doc.Commit();
    ASSERT_TRUE(SaveImageFile(doc, path.c_str(), 0));
    const std::vector<uint8_t> f = ReadFileBytes(path);
    const size_t entries = 2u << (c.packed & 7);
    EXPECT_EQ(std::string(f.begin(), f.begin() + 6), "GIF87a");
    EXPECT_EQ(f.at(10), c.packed);
    EXPECT_EQ(f.at(13 + 3 * entries), ',');
    EXPECT_EQ(f.at(13 + 3 * entries + 10), c.code_size);
    // Read back: tables of 16 or fewer entries give 1- or 4-bit images.
    OpenedFile in(path);
    ASSERT_TRUE(in.ok);
    EXPECT_EQ(BitCount(in.image()), entries <= 2 ? 1 : entries <= 16 ? 4 : 8);
    EXPECT_EQ(in.image()->colours, static_cast<int>(entries));
    EXPECT_EQ(in.image()->details->second, (c.packed & 7) + 1u);
    EXPECT_TRUE(RgbPixels(in.image()) == expected);
    EXPECT_TRUE(MagickPixels(path, kFirstFrame) == expected);
  }
}

}  // namespace
