// PNG files: libpng's PngSuite and test images against ImageMagick (plain files pixel for pixel,
// gamma, tRNS and alpha files by the flattening and gamma rules), damaged files, and the writer.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>

#include "formats/png_io.h"
#include "tests/core/test_support.h"

namespace {

constexpr uint32_t kBackground = 0x336699;  // red 0x99, green 0x66, blue 0x33

uint32_t BE32(const uint8_t* p) { return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3]; }

// Offset of the first chunk of that name; 0 when there is none.
size_t ChunkAt(const std::vector<uint8_t>& file, const char* name) {
  for (size_t p = 8; p + 12 <= file.size() && BE32(&file[p]) <= file.size() - p - 12; p += 12 + BE32(&file[p]))
    if (std::equal(name, name + 4, file.begin() + p + 4)) return p;
  return 0;
}

std::vector<uint8_t> Chunk(const std::vector<uint8_t>& file, const char* name) {
  const size_t p = ChunkAt(file, name);
  return p ? std::vector<uint8_t>(file.begin() + p + 8, file.begin() + p + 8 + BE32(&file[p])) : std::vector<uint8_t>{};
}

// A copy of a file with bytes of its header chunk replaced and the chunk's CRC made right again.
std::vector<uint8_t> WithHeader(std::vector<uint8_t> file, size_t at, std::vector<uint8_t> bytes) {
  std::copy(bytes.begin(), bytes.end(), file.begin() + 16 + at);
  const uint32_t crc = static_cast<uint32_t>(crc32(0, &file[12], 17));
  for (int k = 0; k < 4; ++k) file[29 + k] = static_cast<uint8_t>(crc >> (24 - 8 * k));
  return file;
}

// The chunks of a PNG file that decide how it loads.
struct PngFacts {
  int depth, type;
  double gamma;  // 0: none
  bool srgb, trns;
  std::vector<uint8_t> bkgd, plte;
};

PngFacts Facts(const std::vector<uint8_t>& f) {
  const std::vector<uint8_t> ihdr = Chunk(f, "IHDR"), gama = Chunk(f, "gAMA");
  return {ihdr.at(8), ihdr.at(9), gama.empty() ? 0 : BE32(gama.data()) / 100000.0, !Chunk(f, "sRGB").empty(),
          !Chunk(f, "tRNS").empty(), Chunk(f, "bKGD"), Chunk(f, "PLTE")};
}

// What a sample of 8 bits shows after the gamma rule: (v / 255)^(1 / g) with g the file's
// gamma times 2.2; no change when g is within 0.05 of 1.
double Corrected(double v, double g) { return std::fabs(g - 1) <= 0.05 ? v : 255.0 * std::pow(v / 255.0, 1.0 / g); }

// Checks our red, green, blue against ImageMagick's 16-bit samples: a plain file pixel for pixel
// (16-bit samples stripped to 8), others by the flattening and gamma rules.
void CheckAgainst(const std::vector<uint8_t>& magick, const PngFacts& f, bool plain, const std::vector<uint8_t>& ours) {
  ASSERT_EQ(magick.size(), ours.size() / 3 * 8);
  const auto ref = [&](size_t k) { return magick[2 * k] << 8 | magick[2 * k + 1]; };
  const double g = f.srgb || f.gamma == 0 ? 1.0 : f.gamma * 2.2;
  const bool indexed_rule = f.type == 3 || (f.type == 0 && f.depth < 8);  // gamma and tRNS on the table
  // The background in screen values: the file's, corrected like its pixels, or the program's.
  double bg[3] = {kBackground & 0xFF, (kBackground >> 8) & 0xFF, (kBackground >> 16) & 0xFF};
  for (int c = 0; c < 3 && !f.bkgd.empty(); ++c) {
    const int at = (f.type & 2) ? 2 * c : 0, max = f.depth == 16 ? 65535 : (1 << f.depth) - 1;
    bg[c] = Corrected(f.type == 3 ? f.plte[3 * f.bkgd[0] + c] : (f.bkgd[at] << 8 | f.bkgd[at + 1]) * 255.0 / max, g);
  }
  if (f.bkgd.empty() && !(f.type & 2)) bg[1] = bg[2] = bg[0];  // a grey file shows the background's red byte
  // 16-bit samples are corrected through libpng's tables, which drop their lowest bits.
  const bool coarse = f.depth == 16 && std::fabs(g - 1) > 0.05;
  for (size_t i = 0; i < ours.size() / 3; ++i) {
    const double a = ref(4 * i + 3) / 65535.0;
    for (int c = 0; c < 3; ++c) {
      const double fg = ref(4 * i + c) / 65535.0 * 255.0;
      double expected;
      if (plain) expected = ref(4 * i + c) >> 8;
      else if (a == 1 && coarse && fg < 16) continue;  // the tables are coarse next to black
      else if (a == 1) expected = Corrected(fg, g);
      else if (a == 0) expected = bg[c];
      else if (indexed_rule) expected = Corrected(fg, g) * a + bg[c] * (1 - a);
      else if (f.gamma == 0 && !f.srgb) expected = fg * a + bg[c] * (1 - a);
      else continue;  // libpng blends partial alpha of a file with gamma in its own way
      ASSERT_NEAR(ours[3 * i + c], expected, plain ? 0 : coarse ? 2.01 : 1.01) << "pixel " << i << " channel " << c;
    }
  }
}

TEST(PngSuite, FilesDecodeAsImageMagickByTheFlatteningAndGammaRules) {
  const std::string src = LibrarySourceDir("libpng/contrib");
  if (src.empty()) GTEST_SKIP() << "libpng's source package (PngSuite) is not on this machine";
  int plain_files = 0, ruled_files = 0;
  for (const char* sub : {"/pngsuite", "/pngsuite/interlaced", "/testpngs"})
    for (const std::string& path : FilesIn(src + sub, ".png")) {
      SCOPED_TRACE(path);
      const PngFacts f = Facts(ReadFileBytes(path));
      MDIBCtrl doc;
      doc.background_colour_ = kBackground;
      RecordingChannel channel;
      PngIOClass io;
      ImagePtr image(LoadImageWith(doc, io, path.c_str()));
      ASSERT_TRUE(image && channel.boxes.empty());
      const int bpp = (f.type & 2) && f.type != 3 ? 24 : f.depth == 16 ? 8 : f.depth == 2 ? 4 : f.depth;
      EXPECT_EQ(BitCount(image.get()), bpp);
      EXPECT_EQ(image->colours, bpp == 24 ? 0 : 1 << bpp);
      EXPECT_EQ(image->details->first << 8 | image->details->second, static_cast<uint32_t>(f.depth << 8 | f.type));
      const bool plain = f.gamma == 0 && !f.srgb && !f.trns && !(f.type & 4);
      ++(plain ? plain_files : ruled_files);
      const std::vector<uint8_t> magick = MagickPixels(path, "-set colorspace sRGB -endian MSB -depth 16 rgba:-");
      CheckAgainst(magick, f, plain, RgbPixels(image.get()));
    }
  EXPECT_GE(plain_files, 20);
  EXPECT_GE(ruled_files, 80);
}

TEST(PngSuite, DamagedFilesAreRefusedWithTheMessageAndLeaveNothingBehind) {
  const std::string suite = LibrarySourceDir("libpng/contrib/pngsuite");
  if (suite.empty()) GTEST_SKIP() << "libpng's source package (PngSuite) is not on this machine";
  const std::vector<uint8_t> g01 = ReadFileBytes(suite + "/basn0g01.png"), g08 = ReadFileBytes(suite + "/basn0g08.png"),
                             c08 = ReadFileBytes(suite + "/basn2c08.png");
  const auto set = [](std::vector<uint8_t> b, size_t at, int v) { b.at(at) = static_cast<uint8_t>(v); return b; };
  const auto put = [](std::vector<uint8_t> b, size_t at, uint8_t value) { b.insert(b.begin() + at, value); return b; };
  const size_t idat = ChunkAt(g01, "IDAT"), idat_end = idat + 12 + BE32(&g01[idat]);
  std::vector<uint8_t> no_idat = g01;
  no_idat.erase(no_idat.begin() + idat, no_idat.begin() + idat_end);
  TempDir dir;
  const auto file = [&](const std::string& name, const std::vector<uint8_t>& bytes) {
    WriteFileBytes(dir.File(name), bytes);
    return dir.File(name);
  };
  PngIOClass io;  // one object for all: a failed load leaves nothing behind that spoils the next
  // The PngSuite's x* files, made from its good files, and a size beyond the program's limit.
  for (const auto& x : std::vector<std::pair<std::string, std::vector<uint8_t>>>{
           {"xs1n0g01", set(g01, 0, 0x09)}, {"xs2n0g01", set(g01, 1, 'Q')}, {"xs4n0g01", set(g01, 3, 'g')},
           {"xs7n0g01", set(g01, 6, ' ')}, {"xcrn0g04", put(g01, 4, '\r')}, {"xlfn0g04", put(g01, 5, '\n')},
           {"xhdn0g08", set(g08, 29, g08[29] ^ 0x55)}, {"xc1n0g08", WithHeader(g08, 9, {1})},
           {"xc9n2c08", WithHeader(c08, 9, {9})}, {"xd0n2c08", WithHeader(c08, 8, {0})}, {"xd3n2c08", WithHeader(c08, 8, {3})},
           {"xd9n2c08", WithHeader(c08, 8, {99})}, {"xcsn0g01", set(g01, idat_end - 4, g01[idat_end - 4] ^ 0xFF)},
           {"xdtn0g01", no_idat}, {"65568x65568", WithHeader(g08, 0, {0, 1, 0, 0x20, 0, 1, 0, 0x20})}})
    LoadOrRefuse(io, file(x.first + ".png", x.second), true);
  // Cut anywhere, or libpng's crashers: refused, or loaded without a box.
  const std::vector<uint8_t> whole = ReadFileBytes(suite + "/ibasn2c16.png");
  for (size_t cut = 0; cut < whole.size(); cut += 37)
    LoadOrRefuse(io, file("cut" + std::to_string(cut) + ".png", {whole.begin(), whole.begin() + cut}), false);
  for (const std::string& path : FilesIn(suite + "/../testpngs/crashers", ".png")) LoadOrRefuse(io, path, false);
  EXPECT_TRUE(LoadOrRefuse(io, suite + "/basn2c08.png", false));
}

TEST(PngWriter, SavedImagesReadInImageMagickWithSubFilteredRows) {
  TempDir dir;
  const std::string path = dir.File("w.png");
  struct Case {
    int bpp, colours, entries;  // entries: the palette written; the pixels use indexes below it
    bool rle = false;
  };
  // A 4-bit image whose pixels use indexes beyond its 6 colours gets a palette that covers them
  // (the new entries black); run-length and 16-bit images are written expanded.
  for (const Case& c : {Case{24, 0, 0}, Case{8, 200, 200}, Case{4, 16, 16}, Case{1, 2, 2}, Case{4, 6, 10},
                        Case{8, 256, 256, true}, Case{16, 0, 0}})
    for (int width : {1, 7, 33}) {
      if (c.rle && width == 1) continue;  // runs longer than the pixels stay uncompressed
      SCOPED_TRACE("bpp " + std::to_string(c.bpp) + " width " + std::to_string(width));
      ImagePtr image = NewImage(width, 5, c.bpp, c.colours);
      FillRandom(image.get(), static_cast<uint32_t>(width * c.bpp));
      for (size_t i = 0; i < ImageBytes(image.get()); ++i) {
        uint8_t& b = image->bits[i];
        if (c.rle) b = static_cast<uint8_t>(i / 6 % 3 * 0x11);
        else if (c.bpp == 8) b = static_cast<uint8_t>(b % c.entries);
        else if (c.bpp == 4) b = static_cast<uint8_t>((b >> 4) % c.entries << 4 | (b & 15) % c.entries);
      }
      if (c.entries > c.colours) RowAddress(image.get(), 0)[0] = static_cast<uint8_t>((c.entries - 1) << 4);
      DibImage* const source = image.get();
      Filter doc;
      doc.pending_ = image.release();
      doc.Commit();
      const ImagePtr rgb(doc.MakeTrueColorCopy(source));
      if (c.rle) EncodeRle(source);
      ASSERT_EQ(IsRunLength(source), c.rle);
      ASSERT_TRUE(SaveImageFile(doc, path.c_str(), 0));

      const std::vector<uint8_t> file = ReadFileBytes(path), idat = Chunk(file, "IDAT");
      const PngFacts f = Facts(file);
      EXPECT_EQ(f.type, c.bpp > 8 ? 2 : 3);
      EXPECT_EQ(f.depth, c.bpp > 8 ? 8 : c.bpp);
      EXPECT_EQ(f.plte.size(), 3u * c.entries);
      // Sub on every row (libpng leaves a row of one pixel unfiltered).
      std::vector<uint8_t> raw(5 * (1 + (static_cast<size_t>(width) * (c.bpp > 8 ? 24 : c.bpp) + 7) / 8));
      uLongf size = raw.size();
      ASSERT_EQ(uncompress(raw.data(), &size, idat.data(), idat.size()), Z_OK);
      for (size_t y = 0; y < 5; ++y) EXPECT_EQ(raw[y * raw.size() / 5], width == 1 ? 0 : 1);
      EXPECT_TRUE(MagickPixels(path, "-depth 8 rgb:-") == RgbPixels(rgb.get()));
    }
  PngIOClass writer;
  ExpectWriteErrorRecovered(writer, dir.File("again.png"));
}

}  // namespace
