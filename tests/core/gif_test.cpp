// GIF files: the corpus against ImageMagick, our writer read back by ImageMagick and by us, and
// damaged or unusual files built here byte by byte.
#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <utility>

#include "app/file_flow.h"
#include "document/image_info.h"
#include "formats/byte_order.h"
#include "formats/lzw.h"
#include "tests/core/test_support.h"

namespace {

const char kConvert[] = "/usr/bin/convert";  // the real ImageMagick, by its full path

struct Frame {
  Frame(int l, int t, int w, int h, std::vector<uint8_t> i, std::vector<uint8_t> table = {})
      : left(l), top(t), width(w), height(h), indexes(std::move(i)), local(std::move(table)) {}
  int left, top, width, height;
  std::vector<uint8_t> indexes;  // top row first
  std::vector<uint8_t> local;    // red, green, blue triples; empty for none
  bool interlaced = false;
  int code_size = 0;             // 0: from the table size
  std::vector<uint8_t> data;     // sub-blocks as they stand, instead of encoding indexes
};

int Exponent(size_t entries) {
  int e = 0;
  while ((size_t{2} << e) < entries) ++e;
  return e;
}

// A GIF file: header, global table (when given), the extra bytes, the frames, the trailer.
std::vector<uint8_t> Gif(int width, int height, const std::vector<uint8_t>& global, const std::vector<Frame>& frames,
                         const std::vector<uint8_t>& extra = {}, const char* version = "GIF89a", int background = 0) {
  std::vector<uint8_t> f(version, version + 6);
  f.resize(13);
  PutLE16(&f[6], static_cast<uint32_t>(width));
  PutLE16(&f[8], static_cast<uint32_t>(height));
  f[10] = global.empty() ? 0 : static_cast<uint8_t>(0x80 | Exponent(global.size() / 3));
  f[11] = static_cast<uint8_t>(background);
  f.insert(f.end(), global.begin(), global.end());
  f.insert(f.end(), extra.begin(), extra.end());
  for (const Frame& fr : frames) {
    uint8_t d[10] = {','};
    PutLE16(d + 1, static_cast<uint32_t>(fr.left));
    PutLE16(d + 3, static_cast<uint32_t>(fr.top));
    PutLE16(d + 5, static_cast<uint32_t>(fr.width));
    PutLE16(d + 7, static_cast<uint32_t>(fr.height));
    d[9] = static_cast<uint8_t>((fr.local.empty() ? 0 : 0x80 | Exponent(fr.local.size() / 3)) | (fr.interlaced ? 0x40 : 0));
    f.insert(f.end(), d, d + 10);
    f.insert(f.end(), fr.local.begin(), fr.local.end());
    const size_t entries = (fr.local.empty() ? global.size() : fr.local.size()) / 3;
    LzwEncoder encoder(fr.code_size ? fr.code_size : std::max(1, Exponent(entries) + 1));
    f.push_back(static_cast<uint8_t>(encoder.code_size()));
    if (!fr.data.empty()) {
      f.insert(f.end(), fr.data.begin(), fr.data.end());
      continue;
    }
    const int starts[4] = {0, 4, 2, 1}, steps[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < (fr.interlaced ? 4 : 1); ++pass)
      for (int r = fr.interlaced ? starts[pass] : 0; r < fr.height; r += fr.interlaced ? steps[pass] : 1)
        encoder.Add(&fr.indexes[static_cast<size_t>(r) * fr.width], static_cast<size_t>(fr.width));
    encoder.Finish();
    f.insert(f.end(), encoder.output().begin(), encoder.output().end());
  }
  f.push_back(';');
  return f;
}

std::vector<uint8_t> Greys(int n) {
  std::vector<uint8_t> t;
  for (int i = 0; i < n; ++i) t.insert(t.end(), 3, static_cast<uint8_t>(i * 255 / (n - 1)));
  return t;
}

// Red, green, blue of every pixel, rows from the top.
std::vector<uint8_t> Rgb(const Filter& doc, const DibImage* image) {
  ImagePtr copy(doc.MakeTrueColorCopy(image));
  std::vector<uint8_t> p = Pixels24(copy.get());
  for (size_t i = 0; i + 2 < p.size(); i += 3) std::swap(p[i], p[i + 2]);
  return p;
}

std::vector<uint8_t> ImageMagickRgb(const std::string& path) {
  std::string out;
  RunCommand(std::string(kConvert) + " '" + path + "[0]' -alpha off -depth 8 rgb:- 2>/dev/null", &out);
  return std::vector<uint8_t>(out.begin(), out.end());
}

struct Loaded {
  Filter doc;
  RecordingChannel channel;
  bool ok;
  explicit Loaded(const std::string& path) : ok(OpenImageFile(doc, path.c_str())) {}
  const DibImage* image() const { return doc.current_; }
};

TEST(GifCorpus, FirstFramesMatchImageMagick) {
  const std::string dir = CorpusDir().empty() ? "" : CorpusDir() + "/gif";
  DIR* d = dir.empty() ? nullptr : opendir(dir.c_str());
  if (!d) GTEST_SKIP() << "no GIF corpus";
  std::vector<std::string> names;
  while (dirent* e = readdir(d))
    if (std::strstr(e->d_name, ".gif")) names.push_back(e->d_name);
  closedir(d);
  ASSERT_FALSE(names.empty());
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    Loaded in(dir + "/" + name);
    ASSERT_TRUE(in.ok);
    EXPECT_TRUE(in.channel.boxes.empty());
    EXPECT_EQ(Rgb(in.doc, in.image()), ImageMagickRgb(dir + "/" + name));
    const LoadedImageTexts t = DescribeLoadedImage(in.image());
    const bool animated = name == "fire.gif" || name == "welcome2.gif";
    EXPECT_EQ(t.format == "GIF-89a[animation]", animated);
    EXPECT_EQ(t.compression == "LZW-interlace", name == "treescap-interlaced.gif" || name == "fire.gif" ||
                                                    name == "x-trans.gif");
  }
}

TEST(GifRead, InterlacedRowsAndTableSizesGiveTheRightDepths) {
  TempDir dir;
  // Height 10, interlaced: the rows come as 0, 8, 4, 2, 6, 1, 3, 5, 7, 9 and land in place.
  for (int entries : {2, 8, 16, 32, 256}) {
    SCOPED_TRACE(entries);
    Frame fr{0, 0, 3, 10, {}};
    fr.interlaced = true;
    for (int i = 0; i < 30; ++i) fr.indexes.push_back(static_cast<uint8_t>((i / 3 * 7 + i % 3) % entries));
    const std::string path = dir.File("i.gif");
    WriteFileBytes(path, Gif(3, 10, Greys(entries), {fr}));
    Loaded in(path);
    ASSERT_TRUE(in.ok);
    EXPECT_EQ(BitCount(in.image()), entries <= 2 ? 1 : entries <= 16 ? 4 : 8);
    EXPECT_EQ(in.image()->colours, entries);
    EXPECT_EQ(in.image()->details->second, static_cast<uint32_t>(Exponent(entries) + 1));
    for (int y = 0; y < 10; ++y)
      for (int x = 0; x < 3; ++x) EXPECT_EQ(PixelValue(in.image(), x, y), fr.indexes[y * 3 + x]);
    EXPECT_EQ(Rgb(in.doc, in.image()), ImageMagickRgb(path));
  }
}

TEST(GifRead, ASmallOrPlacedFirstImageLiesOnTheBackground) {
  TempDir dir;
  Frame fr{2, 1, 3, 2, {0, 1, 0, 1, 0, 1}};
  const std::vector<uint8_t> global = {0, 0, 0, 255, 255, 255, 200, 0, 0, 0, 0, 0};
  WriteFileBytes(dir.File("o.gif"), Gif(6, 4, global, {fr}, {}, "GIF89a", 2));
  Loaded in(dir.File("o.gif"));
  ASSERT_TRUE(in.ok);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) {
      const bool inside = x >= 2 && x < 5 && y >= 1 && y < 3;
      EXPECT_EQ(PixelValue(in.image(), x, y), inside ? fr.indexes[(y - 1) * 3 + x - 2] : 2u) << x << "," << y;
    }
  EXPECT_EQ(in.image()->details->colour, 0xC80000u);  // red * 65536 + green * 256 + blue
  // The first image's own table gives the colours, with or without a global table; lacking the
  // background colour, it gains an entry for it. A frame reaching past the screen is cut.
  fr = Frame{2, 1, 5, 2, std::vector<uint8_t>(10, 1), {1, 2, 3, 4, 5, 6}};
  for (bool global_table : {true, false}) {
    WriteFileBytes(dir.File("o.gif"), Gif(6, 4, global_table ? global : std::vector<uint8_t>{}, {fr}, {}, "GIF89a", 2));
    Loaded local(dir.File("o.gif"));
    ASSERT_TRUE(local.ok);
    EXPECT_EQ(local.image()->colours, global_table ? 3 : 2);
    const std::vector<uint8_t> rgb = Rgb(local.doc, local.image());
    const std::vector<uint8_t> back = global_table ? std::vector<uint8_t>{200, 0, 0} : std::vector<uint8_t>{1, 2, 3};
    EXPECT_EQ(std::vector<uint8_t>(rgb.begin(), rgb.begin() + 3), back);
    EXPECT_EQ(std::vector<uint8_t>(rgb.end() - 3, rgb.end()), back);
    EXPECT_EQ(std::vector<uint8_t>(rgb.begin() + 3 * 11, rgb.begin() + 3 * 12), (std::vector<uint8_t>{4, 5, 6}));
  }
}

TEST(GifRead, DamagedFilesStopCleanlyOrAreRefused) {
  TempDir dir;
  Frame fr{0, 0, 4, 2, {1, 2, 3, 0, 1, 2, 3, 0}};
  const std::vector<uint8_t> good = Gif(4, 2, Greys(4), {fr});
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    int message;                  // -1: loads without a message
    std::vector<uint8_t> pixels;  // expected indexes when it loads
  };
  Frame wild = fr;
  wild.code_size = 8;  // indexes beyond the 4-entry table read as entry 0
  wild.indexes = {1, 200, 3, 4, 255, 2, 3, 0};
  Frame undefined = fr;  // clear, 1, then code 300 (never defined): stops after one pixel
  undefined.code_size = 8;
  undefined.data = {4, 0x00, 0x03, 0xB0, 0x04, 0};
  Frame big_code = fr;
  big_code.code_size = 12;
  big_code.data = {1, 0xFF, 0};
  const std::vector<uint8_t> empty_comment = {0x21, 0xFE, 0x00};
  Frame outside = fr;
  outside.left = 300;
  const std::vector<Case> cases = {
      {"sound", good, -1, {1, 2, 3, 0, 1, 2, 3, 0}},
      {"empty comment", Gif(4, 2, Greys(4), {fr}, empty_comment), -1, {1, 2, 3, 0, 1, 2, 3, 0}},
      {"wild indexes", Gif(4, 2, Greys(4), {wild}), -1, {1, 0, 3, 0, 0, 2, 3, 0}},
      {"undefined code", Gif(4, 2, Greys(4), {undefined}), -1, {1, 0, 0, 0, 0, 0, 0, 0}},
      {"code size 12", Gif(4, 2, Greys(4), {big_code}), -1, {0, 0, 0, 0, 0, 0, 0, 0}},
      {"outside the screen", Gif(4, 2, Greys(4), {outside}), -1, {0, 0, 0, 0, 0, 0, 0, 0}},
      {"not a GIF", {'G', 'I', 'X', '8', '9', 'a'}, kMsgUnsupported, {}},
      {"version 90a", Gif(4, 2, Greys(4), {fr}, {}, "GIF90a"), kMsgBadVersion, {}},
      {"no image", Gif(4, 2, Greys(4), {}), kMsgUnsupported, {}},
      {"no trailer", std::vector<uint8_t>(good.begin(), good.end() - 1), kMsgUnsupported, {}},
      {"cut in the data", std::vector<uint8_t>(good.begin(), good.end() - 5), kMsgUnsupported, {}},
      {"cut in the table", std::vector<uint8_t>(good.begin(), good.begin() + 16), kMsgUnsupported, {}},
      {"screen too large", Gif(65535, 65535, Greys(4), {fr}), kMsgUnsupported, {}},
      {"screen of width 0", Gif(0, 2, Greys(4), {fr}), kMsgUnsupported, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteFileBytes(dir.File("d.gif"), c.bytes);
    Loaded in(dir.File("d.gif"));
    if (c.message < 0) {
      ASSERT_TRUE(in.ok);
      EXPECT_TRUE(in.channel.boxes.empty());
      for (int i = 0; i < 8; ++i) EXPECT_EQ(PixelValue(in.image(), i % 4, i / 4), c.pixels[static_cast<size_t>(i)]);
    } else {
      EXPECT_FALSE(in.ok);
      EXPECT_TRUE(in.channel.ShowedOnly(c.message));
      EXPECT_EQ(in.doc.image_count_, 0);
    }
  }
}

TEST(GifWrite, OurFilesReadBackExactlyHereAndInImageMagick) {
  TempDir dir;
  struct Case {
    int width, height, bpp, colours, packed, code_size;
    bool rle = false;
  };
  // 1- and 4-bit sources are saved as 8-bit images; 5 colours are padded to a table of 8; the
  // 300 x 300 noise fills the code table many times over (a clear code at 4095 each time);
  // run-length images are written expanded.
  for (const Case& c : {Case{13, 5, 1, 2, 0xF7, 8}, Case{7, 3, 4, 16, 0xF7, 8}, Case{33, 9, 8, 256, 0xF7, 8},
                        Case{5, 4, 8, 2, 0x80, 2}, Case{6, 2, 8, 5, 0xA2, 3}, Case{300, 300, 8, 256, 0xF7, 8},
                        Case{9, 7, 4, 16, 0xF7, 8, true}, Case{31, 7, 8, 256, 0xF7, 8, true}}) {
    SCOPED_TRACE(c.width);
    ImagePtr image = NewImage(c.width, c.height, c.bpp, c.colours);
    FillRandom(image.get(), static_cast<uint32_t>(c.width));
    if (c.bpp == 8)
      for (size_t i = 0; i < ImageBytes(image.get()); ++i) image->bits[i] = static_cast<uint8_t>(image->bits[i] % c.colours);
    if (c.rle) {
      for (size_t i = 0; i < ImageBytes(image.get()); ++i) image->bits[i] = static_cast<uint8_t>(i / 6 % 3 * 0x11);
      image->info->bmiHeader.biCompression = c.bpp == 8 ? BI_RLE8 : BI_RLE4;
      EncodeRle(image.get());
      ASSERT_TRUE(IsRunLength(image.get()));
    }
    Filter doc;
    doc.pending_ = image.release();
    doc.Commit();
    const std::vector<uint8_t> expected = Rgb(doc, doc.current_);
    const std::string path = dir.File("w.gif");
    ASSERT_TRUE(SaveImageFile(doc, path.c_str(), 0));
    const std::vector<uint8_t> f = ReadFileBytes(path);
    ASSERT_GT(f.size(), 20u);
    EXPECT_EQ(std::string(f.begin(), f.begin() + 6), "GIF87a");
    EXPECT_EQ(f[10], c.packed);
    const size_t table = 3u << ((c.packed & 7) + 1);
    EXPECT_EQ(f[13 + table], ',');
    EXPECT_EQ(f[13 + table + 10], c.code_size);
    Loaded in(path);
    ASSERT_TRUE(in.ok);
    EXPECT_EQ(Rgb(in.doc, in.image()), expected);
    EXPECT_EQ(ImageMagickRgb(path), expected);
  }
}

}  // namespace
