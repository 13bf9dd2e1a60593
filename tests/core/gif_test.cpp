// GIF files: the corpus against ImageMagick, our writer read back by ImageMagick and by us, and
// damaged or unusual files built here byte by byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

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
uint8_t TableBits(const std::vector<uint8_t>& table) { return uint8_t(table.empty() ? 0 : 0x80 | Exponent(table.size() / 3)); }
void Put16(std::vector<uint8_t>& f, int v) { f.insert(f.end(), {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)}); }

// A GIF file: header, global table (when given), the extra bytes, the frames, the trailer.
std::vector<uint8_t> Gif(int width, int height, const std::vector<uint8_t>& global, const std::vector<Frame>& frames,
                         const std::vector<uint8_t>& extra = {}, const char* version = "GIF89a", int background = 0) {
  std::vector<uint8_t> f(version, version + 6);
  for (int v : {width, height}) Put16(f, v);
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

// Compares our reading of a corpus file with ImageMagick's first frame. ImageMagick gives that
// frame alone; we lay it on the logical screen with the background colour around it (our rule),
// so the frame's rectangle is compared and the rest must be the background. Files ImageMagick
// cannot read either must be refused with the message and a reason.
void ExpectFirstFrameAsImageMagick(const std::string& path, const OpenedFile& in, bool refused) {
  SCOPED_TRACE(path);
  const std::vector<uint8_t> magick = MagickPixels(path + "[0]", kFirstFrame);
  EXPECT_EQ(magick.empty(), refused);
  if (refused) {
    EXPECT_TRUE(!in.ok && in.channel.Refused());
    return;
  }
  ASSERT_TRUE(in.ok && in.channel.boxes.empty());
  int w = 0, h = 0, x0 = 0, y0 = 0;
  const std::vector<uint8_t> g = MagickPixels(path + "[0]", "-format '%w %h %X %Y' info:");
  ASSERT_EQ(std::sscanf(std::string(g.begin(), g.end()).c_str(), "%d %d %d %d", &w, &h, &x0, &y0), 4);
  const int width = Width(in.image()), height = Height(in.image());
  ASSERT_TRUE(x0 >= 0 && y0 >= 0 && x0 + w <= width && y0 + h <= height && magick.size() == 3u * w * h);
  const std::vector<uint8_t> ours = RgbPixels(in.image());
  const uint32_t c = in.image()->details->colour;
  const uint8_t back[3] = {static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 8), static_cast<uint8_t>(c)};
  size_t frame_differs = 0, back_differs = 0;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const uint8_t* p = &ours[3 * (static_cast<size_t>(y) * width + x)];
      if (x >= x0 && x < x0 + w && y >= y0 && y < y0 + h)
        frame_differs += std::memcmp(p, &magick[3 * (static_cast<size_t>(y - y0) * w + x - x0)], 3) != 0;
      else
        back_differs += std::memcmp(p, back, 3) != 0;
    }
  EXPECT_EQ(frame_differs, 0u);
  EXPECT_EQ(back_differs, 0u);
}

TEST(GifCorpus, FirstFramesMatchImageMagick) {
  const std::vector<std::string> files = FilesIn(CorpusDir() + "/gif", ".gif");
  if (files.empty()) GTEST_SKIP() << "no GIF corpus";
  for (const std::string& path : files) {
    OpenedFile in(path);
    ExpectFirstFrameAsImageMagick(path, in, false);
    if (!in.ok) continue;
    SCOPED_TRACE(path);
    const std::string name = path.substr(path.rfind('/') + 1);
    const LoadedImageTexts t = DescribeLoadedImage(in.image());
    EXPECT_EQ(t.format == "GIF-89a[animation]", name == "fire.gif" || name == "welcome2.gif");
    EXPECT_EQ(t.compression == "LZW-interlace", name == "treescap-interlaced.gif" || name == "fire.gif" || name == "x-trans.gif");
  }
}

// Pillow's GIFs: animations with frames smaller than the screen, files without any colour
// table, an LZW code size of 11 (issue_2811), and a 44-byte file declaring a first image of
// 65535 x 1321 with the code size 143, which is refused.
TEST(GifCorpus, PillowFirstFramesMatchImageMagick) {
  const std::string dir = LibrarySourceDir("pillow-images");
  if (dir.empty()) GTEST_SKIP() << "no Pillow images";
  for (const std::string& path : FilesIn(dir, ".gif"))
    ExpectFirstFrameAsImageMagick(path, OpenedFile(path), path.substr(path.rfind('/') + 1) == "decompression_bomb.gif");
}

TEST(GifRead, ASmallOrPlacedFirstImageLiesOnTheBackground) {
  TempDir dir;
  Frame fr{2, 1, 3, 2, {0, 1, 0, 1, 0, 1}};
  const std::vector<uint8_t> global = {0, 0, 0, 255, 255, 255, 200, 0, 0, 0, 0, 0};
  OpenedFile in(dir.Put("o.gif", Gif(6, 4, global, {fr}, {}, "GIF89a", 2)));
  ASSERT_TRUE(in.ok);
  for (int i = 0; i < 24; ++i)  // the frame's indexes at x 2 to 4, y 1 and 2; around them the background's 2
    EXPECT_EQ(PixelValue(in.image(), i % 6, i / 6), static_cast<uint32_t>("222222220102221012222222"[i] - '0')) << i;
  EXPECT_EQ(in.image()->details->colour, 0xC80000u);  // red * 65536 + green * 256 + blue
  // The first image's own table gives the colours, with or without a global table; lacking the
  // background colour, it gains an entry for it. A frame reaching past the screen is cut.
  fr = Frame{2, 1, 5, 2, std::vector<uint8_t>(10, 1), {1, 2, 3, 4, 5, 6}};
  for (bool global_table : {true, false}) {
    OpenedFile local(dir.Put("o.gif", Gif(6, 4, global_table ? global : std::vector<uint8_t>{}, {fr}, {}, "GIF89a", 2)));
    ASSERT_TRUE(local.ok);
    EXPECT_EQ(local.image()->colours, global_table ? 3 : 2);
    const std::vector<uint8_t> rgb = RgbPixels(local.image());
    const int back = global_table ? 200 << 16 : 1 << 16 | 2 << 8 | 3;  // first and last pixel; pixel 11 is 4, 5, 6
    const auto at = [&rgb](size_t i) { return rgb[3 * i] << 16 | rgb[3 * i + 1] << 8 | rgb[3 * i + 2]; };
    EXPECT_EQ((std::vector<int>{at(0), at(23), at(11)}), (std::vector<int>{back, back, 4 << 16 | 5 << 8 | 6}));
  }
}

TEST(GifRead, DamagedFilesStopCleanlyOrAreRefused) {
  TempDir dir;
  const Frame fr{0, 0, 4, 2, {1, 2, 3, 0, 1, 2, 3, 0}};
  const std::vector<uint8_t> g4 = {0, 0, 0, 85, 85, 85, 170, 170, 170, 255, 255, 255}, good = Gif(4, 2, g4, {fr}),
                             two = Gif(4, 2, g4, {fr, fr}), zeros(8, 0);
  // good: header and table 25 bytes, the image descriptor 10, the code size at 35, then the data.
  const auto cut = [](const std::vector<uint8_t>& f, size_t n) { return std::vector<uint8_t>(f.begin(), f.begin() + n); };
  std::vector<uint8_t> comment_cut = cut(good, good.size() - 1);
  comment_cut.insert(comment_cut.end(), {0x21, 0xFE, 5, 'a', 'b'});
  // message -1: loads without a message, with the indexes given; else refused with a reason holding the text given
  const struct Case { const char* what; std::vector<uint8_t> bytes; int message; const char* reason; std::vector<uint8_t> pixels; }
      cases[] = {
      {"empty comment", Gif(4, 2, g4, {fr}, {0x21, 0xFE, 0x00}), -1, nullptr, fr.indexes},
      // Interlaced, height 10: the file holds the rows 0, 8, 4, 2, 6, 1, 3, 5, 7, 9 (row r has index r).
      {"interlaced", Gif(1, 10, std::vector<uint8_t>(48, 7), {Frame{0, 0, 1, 10, {0, 8, 4, 2, 6, 1, 3, 5, 7, 9}, {}, true}}), -1,
       nullptr, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
      {"indexes beyond the table read as 0", Gif(4, 2, g4, {Frame{0, 0, 4, 2, {1, 200, 3, 4, 255, 2, 3, 0}, {}, false, 8}}),
       -1, nullptr, {1, 0, 3, 0, 0, 2, 3, 0}},
      {"clear, 1, then the undefined code 300", Gif(4, 2, g4, {Frame{0, 0, 4, 2, {}, {}, false, 0, {8, 4, 0, 3, 0xB0, 4, 0}}}),
       -1, nullptr, {1, 0, 0, 0, 0, 0, 0, 0}},
      {"code size 9", Gif(4, 2, g4, {Frame{0, 0, 4, 2, fr.indexes, {}, false, 9}}), -1, nullptr, fr.indexes},
      {"code size 11", Gif(4, 2, g4, {Frame{0, 0, 4, 2, fr.indexes, {}, false, 11}}), -1, nullptr, fr.indexes},
      // 12-bit codes clear, 1, 300 (an index beyond any table), 2050 (1 then 300's), end.
      {"code size 11, index 300",
       Gif(4, 2, g4, {Frame{0, 0, 4, 2, {}, {}, false, 0, {11, 8, 0x00, 0x18, 0x00, 0x2C, 0x21, 0x80, 0x01, 0x08, 0}}}), -1,
       nullptr, {1, 0, 1, 0, 0, 0, 0, 0}},
      {"outside the screen", Gif(4, 2, g4, {Frame{300, 0, 4, 2, fr.indexes}}), -1, nullptr, zeros},
      {"no trailer", cut(good, good.size() - 1), -1, nullptr, fr.indexes},
      {"cut in a later image", cut(two, two.size() - 3), -1, nullptr, fr.indexes},
      {"cut in a comment after the image", comment_cut, -1, nullptr, fr.indexes},
      {"code size 12", Gif(4, 2, g4, {Frame{0, 0, 4, 2, {}, {}, false, 0, {12, 1, 0xFF, 0}}}), kMsgUnsupported,
       "unsupported variant: LZW code size 12", {}},
      {"code size 0", Gif(4, 2, g4, {Frame{0, 0, 4, 2, {}, {}, false, 0, {0, 1, 0xFF, 0}}}), kMsgUnsupported,
       "unsupported variant: LZW code size 0", {}},
      {"not a GIF", {'G', 'I', 'X', '8', '9', 'a'}, kMsgUnsupported, "not a GIF file", {}},
      {"version 90a", Gif(4, 2, g4, {fr}, {}, "GIF90a"), kMsgBadVersion, "unsupported version: GIF90a", {}},
      {"no image", Gif(4, 2, g4, {}), kMsgUnsupported, "no image with pixels before the trailer", {}},
      {"cut before the data", cut(good, 36), kMsgUnsupported, "truncated before the first image's data", {}},
      {"cut in the descriptor", cut(good, 30), kMsgUnsupported, "truncated in the first image's descriptor", {}},
      {"cut before any image", cut(good, 25), kMsgUnsupported, "truncated before the first image", {}},
      {"cut in the table", cut(good, 16), kMsgUnsupported, "truncated in the global colour table", {}},
      {"cut in the screen descriptor", cut(good, 9), kMsgUnsupported, "truncated in the screen descriptor", {}},
      {"screen too large", Gif(65535, 65535, g4, {fr}), kMsgUnsupported, "too large for the size limit: 65535 x 65535",
       {}},
      {"screen of width 0", Gif(0, 2, g4, {fr}), kMsgUnsupported, "invalid size 0 x 2", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    OpenedFile in(dir.Put("d.gif", c.bytes));
    if (c.message >= 0) {
      EXPECT_TRUE(!in.ok && in.channel.ShowedOnly(c.message) && in.doc.image_count_ == 0 && in.channel.reasons.size() == 1);
      EXPECT_NE(in.channel.FirstReason().find(c.reason), std::string::npos) << in.channel.FirstReason();
      continue;
    }
    ASSERT_TRUE(in.ok && in.channel.boxes.empty());
    const int w = Width(in.image());
    for (size_t i = 0; i < c.pixels.size(); ++i) EXPECT_EQ(PixelValue(in.image(), i % w, i / w), c.pixels[i]) << i;
  }
}

TEST(GifRead, ACutDownloadShowsTheRowsItHolds) {
  // 32 x 16, indexes 1 to 15 (never 0) in the file's row order; the file loses the second half of
  // its image data (which begins at byte 72). The indexes that arrived are shown in place, every
  // pixel after them has index 0.
  TempDir dir;
  const int kFileRow[2][16] = {{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15},
                               {0, 8, 4, 12, 2, 6, 10, 14, 1, 3, 5, 7, 9, 11, 13, 15}};  // interlaced
  std::vector<uint8_t> g16(48), indexes(32 * 16);
  for (size_t i = 0; i < indexes.size(); ++i) indexes[i] = static_cast<uint8_t>(1 + (i * 7 + i / 5) % 15);
  for (bool interlaced : {false, true}) {
    SCOPED_TRACE(interlaced);
    const std::vector<uint8_t> good = Gif(32, 16, g16, {Frame{0, 0, 32, 16, indexes, {}, interlaced}});
    OpenedFile in(dir.Put("c.gif", std::vector<uint8_t>(good.begin(), good.begin() + 72 + (good.size() - 72) / 2)));
    ASSERT_TRUE(in.ok && in.channel.boxes.empty());
    size_t arrived = 0;  // pixels in the file's order
    for (size_t i = 0; i < indexes.size(); ++i) {
      const uint32_t v = PixelValue(in.image(), static_cast<int>(i % 32), kFileRow[interlaced][i / 32]);
      if (v != 0 && arrived == i) ++arrived;
      EXPECT_EQ(v, i < arrived ? indexes[i] : 0u) << i;
    }
    EXPECT_GT(arrived, 32u);
    EXPECT_LT(arrived, indexes.size());
  }
}

TEST(GifWrite, OurFilesReadBackExactlyHereAndInImageMagick) {
  TempDir dir;
  const std::string path = dir.File("w.gif");
  struct Case { int width, height, bpp, colours, packed, code_size; bool rle = false, wild = false; };
  // 1- and 4-bit sources are saved as 8-bit images; 5 and 20 colours are padded to tables of 8 and
  // 32; the 300 x 300 noise fills the code table many times over (a clear code at 4095 each time);
  // run-length images are written expanded; wild: indexes past the colour table are written as 0.
  for (const Case& c : {Case{13, 5, 1, 2, 0xF7, 8}, Case{7, 3, 4, 16, 0xF7, 8}, Case{33, 9, 8, 256, 0xF7, 8},
                        Case{5, 4, 8, 2, 0x80, 2}, Case{6, 2, 8, 5, 0xA2, 3}, Case{8, 5, 8, 20, 0xC4, 5},
                        Case{300, 300, 8, 256, 0xF7, 8}, Case{9, 7, 4, 16, 0xF7, 8, true}, Case{31, 7, 8, 256, 0xF7, 8, true},
                        Case{40, 10, 8, 5, 0xA2, 3, false, true}}) {
    SCOPED_TRACE(c.width);
    ImagePtr image = RandomImage(c.width, c.height, c.bpp, static_cast<uint32_t>(c.width), c.colours);
    for (size_t i = 0; i < ImageBytes(image.get()); ++i) {
      if (c.rle) image->bits[i] = static_cast<uint8_t>(i / 6 % 3 * 0x11);
      else if (c.bpp == 8 && !c.wild) image->bits[i] = static_cast<uint8_t>(image->bits[i] % c.colours);
    }
    std::vector<uint8_t> expected = RgbPixels(image.get());
    const RGBQUAD first = Palette(image.get())[0];
    for (int y = 0; c.wild && y < c.height; ++y)
      for (int x = 0; x < c.width; ++x)
        if (RowAddress(image.get(), y)[x] >= c.colours)
          std::copy_n(std::array<uint8_t, 3>{first.rgbRed, first.rgbGreen, first.rgbBlue}.begin(), 3,
                      expected.begin() + 3 * (y * c.width + x));
    if (c.rle) EncodeRle(image.get());
    ASSERT_EQ(IsRunLength(image.get()), c.rle);
    Document saved(std::move(image));
    ASSERT_TRUE(SaveImageFile(saved.doc, path.c_str(), 0));
    const std::vector<uint8_t> f = ReadFileBytes(path);
    const size_t entries = 2u << (c.packed & 7);
    EXPECT_EQ(std::string(f.begin(), f.begin() + 6), "GIF87a");
    EXPECT_EQ((std::vector<int>{f.at(10), f.at(13 + 3 * entries), f.at(23 + 3 * entries)}),
              (std::vector<int>{c.packed, ',', c.code_size}));
    // Read back: tables of 16 or fewer entries give 1- or 4-bit images.
    OpenedFile in(path);
    ASSERT_TRUE(in.ok);
    EXPECT_EQ((std::vector<int>{BitCount(in.image()), in.image()->colours, static_cast<int>(in.image()->details->second)}),
              (std::vector<int>{entries <= 2 ? 1 : entries <= 16 ? 4 : 8, static_cast<int>(entries), (c.packed & 7) + 1}));
    EXPECT_TRUE(RgbPixels(in.image()) == expected);
    EXPECT_TRUE(MagickPixels(path, kFirstFrame) == expected);
  }
}

}  // namespace
