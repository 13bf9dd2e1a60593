// PNG files: libpng's PngSuite and test images against ImageMagick (plain files pixel for pixel,
// gamma, tRNS and alpha files by the flattening and gamma rules), corrupt and truncated files,
// and the writer.
#include <gtest/gtest.h>
#include <dirent.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>

#include <cstring>

#include "app/file_flow.h"
#include "formats/png_io.h"
#include "tests/core/test_support.h"

namespace {

constexpr uint32_t kBackground = 0x336699;  // red 0x99, green 0x66, blue 0x33

uint32_t BE32(const uint8_t* p) { return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3]; }

// The chunks of a PNG file that decide how it loads.
struct PngFacts {
  int depth = 0, type = 0;
  double gamma = 0;  // 0: none
  bool srgb = false, trns = false;
  std::vector<uint8_t> bkgd, plte;
};

PngFacts Facts(const std::vector<uint8_t>& file) {
  PngFacts f;
  for (size_t p = 8; p + 12 <= file.size();) {
    const uint32_t n = BE32(&file[p]);
    if (n > file.size() - p - 12) break;
    const std::string name(file.begin() + p + 4, file.begin() + p + 8);
    const uint8_t* d = &file[p + 8];
    if (name == "IHDR") f.depth = d[8], f.type = d[9];
    if (name == "gAMA") f.gamma = BE32(d) / 100000.0;
    if (name == "sRGB") f.srgb = true;
    if (name == "tRNS") f.trns = true;
    if (name == "bKGD") f.bkgd.assign(d, d + n);
    if (name == "PLTE") f.plte.assign(d, d + n);
    p += 12 + n;
  }
  return f;
}

// ImageMagick's decoding as red, green, blue, alpha samples of 16 bits, as the file holds them
// (without its conversion of files marked linear).
bool Reference(const std::string& path, size_t pixels, std::vector<uint16_t>* rgba) {
  std::string out;
  if (RunCommand("/usr/bin/convert '" + path + "' -set colorspace sRGB -endian MSB -depth 16 rgba:- 2>/dev/null", &out) != 0 ||
      out.size() != pixels * 8)
    return false;
  rgba->resize(pixels * 4);
  for (size_t i = 0; i < rgba->size(); ++i)
    (*rgba)[i] = static_cast<uint16_t>(static_cast<uint8_t>(out[2 * i]) << 8 | static_cast<uint8_t>(out[2 * i + 1]));
  return true;
}

std::string SourceDir() {
  const char* env = std::getenv("TESSAMOR_LIBSRC");
  std::string dir = env && *env ? env : TESSAMOR_LIBSRC;
  return access((dir + "/libpng/contrib/pngsuite").c_str(), R_OK) == 0 ? dir : "";
}

std::vector<std::string> PngFiles(const std::string& folder) {
  std::vector<std::string> files;
  if (DIR* d = opendir(folder.c_str())) {
    while (dirent* e = readdir(d)) {
      const std::string name = e->d_name;
      if (name.size() > 4 && name.substr(name.size() - 4) == ".png") files.push_back(folder + "/" + name);
    }
    closedir(d);
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::vector<std::string> CorpusFiles() {
  const std::string src = SourceDir();
  std::vector<std::string> all;
  for (const char* sub : {"/libpng/contrib/pngsuite", "/libpng/contrib/pngsuite/interlaced", "/libpng/contrib/testpngs"}) {
    const std::vector<std::string> files = PngFiles(src + sub);
    all.insert(all.end(), files.begin(), files.end());
  }
  return all;
}

// Blue, green, red of every pixel (indexed depths through the table), rows from the top.
std::vector<uint8_t> Bgr(const DibImage* image) {
  std::vector<uint8_t> out;
  for (int y = 0; y < Height(image); ++y)
    for (int x = 0; x < Width(image); ++x) {
      const uint32_t v = PixelValue(image, x, y);
      if (BitCount(image) == 24) {
        out.insert(out.end(), {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16)});
      } else {
        const RGBQUAD e = Palette(image)[v];
        out.insert(out.end(), {e.rgbBlue, e.rgbGreen, e.rgbRed});
      }
    }
  return out;
}

// What a sample of 8 bits shows after the gamma rule: (v / 255)^(1 / g) with g the file's
// gamma times 2.2; no change when g is within 0.05 of 1.
double Corrected(double v, double g) { return std::fabs(g - 1) <= 0.05 ? v : 255.0 * std::pow(v / 255.0, 1.0 / g); }

// Checks one loaded file against the reference by the flattening and gamma rules.
void CheckAgainstReference(const std::string& path, const DibImage* image, const std::vector<uint16_t>& ref) {
  const PngFacts f = Facts(ReadFileBytes(path));
  const double g = f.srgb || f.gamma == 0 ? 1.0 : f.gamma * 2.2;
  const bool indexed_rule = f.type == 3 || (f.type == 0 && f.depth < 8);  // gamma and tRNS on the table
  const int max = (1 << f.depth) - 1;
  // The background in screen values: the file's, corrected like its pixels, or the program's.
  double bg[3] = {kBackground & 0xFF, (kBackground >> 8) & 0xFF, (kBackground >> 16) & 0xFF};
  if (!f.bkgd.empty()) {
    for (int c = 0; c < 3; ++c) {
      double v;
      if (f.type == 3) v = f.plte[3 * f.bkgd[0] + c];
      else v = (f.bkgd[(f.type & 2) ? 2 * c : 0] << 8 | f.bkgd[(f.type & 2) ? 2 * c + 1 : 1]) * 255.0 / (f.depth == 16 ? 65535 : max);
      bg[c] = Corrected(v, g);
    }
  } else if (!(f.type & 2)) {
    bg[1] = bg[2] = bg[0];  // a grey file shows the red byte of the background
  }
  const std::vector<uint8_t> ours = Bgr(image);
  // 16-bit samples are corrected through libpng's tables, which drop their lowest bits.
  const bool coarse = f.depth == 16 && std::fabs(g - 1) > 0.05;
  const double tolerance = coarse ? 2.01 : 1.01;
  for (size_t i = 0; i < ours.size() / 3; ++i) {
    const double a = ref[4 * i + 3] / 65535.0;
    for (int c = 0; c < 3; ++c) {
      const double fg = ref[4 * i + c] / 65535.0 * 255.0;
      double expected;
      if (a == 1 && coarse && fg < 16) continue;  // the tables are coarse next to black
      if (a == 1) expected = Corrected(fg, g);
      else if (a == 0) expected = bg[c];
      else if (indexed_rule) expected = Corrected(fg, g) * a + bg[c] * (1 - a);
      else if (f.gamma == 0 && !f.srgb) expected = fg * a + bg[c] * (1 - a);
      else continue;  // libpng blends partial alpha of a file with gamma in its own way
      ASSERT_NEAR(ours[3 * i + 2 - c], expected, tolerance) << "pixel " << i << " channel " << c << " alpha " << a;
    }
  }
}

DibImage* LoadPng(MDIBCtrl& doc, const std::string& path) {
  PngIOClass io;
  return LoadImageWith(doc, io, path.c_str());
}

// A copy of a file with one chunk's data changed and its CRC made right again.
std::vector<uint8_t> WithChunkByte(std::vector<uint8_t> file, const char* chunk, size_t offset, uint8_t value) {
  for (size_t p = 8; p + 12 <= file.size();) {
    const uint32_t n = BE32(&file[p]);
    if (std::string(file.begin() + p + 4, file.begin() + p + 8) == chunk) {
      file[p + 8 + offset] = value;
      const uint32_t crc = static_cast<uint32_t>(crc32(0, &file[p + 4], n + 4));
      for (int k = 0; k < 4; ++k) file[p + 8 + n + k] = static_cast<uint8_t>(crc >> (24 - 8 * k));
      break;
    }
    p += 12 + n;
  }
  return file;
}

TEST(PngSuite, FilesDecodeAsTheReferenceByTheFlatteningAndGammaRules) {
  if (SourceDir().empty()) GTEST_SKIP() << "libpng's source package (PngSuite) is not on this machine";
  int plain = 0, ruled = 0;
  for (const std::string& path : CorpusFiles()) {
    SCOPED_TRACE(path);
    const PngFacts f = Facts(ReadFileBytes(path));
    MDIBCtrl doc;
    doc.background_colour_ = kBackground;
    RecordingChannel channel;
    ImagePtr image(LoadPng(doc, path));
    ASSERT_TRUE(image);
    EXPECT_TRUE(channel.boxes.empty());
    const int expected_bpp = (f.type & 2) && f.type != 3 ? 24 : f.depth == 16 ? 8 : f.depth == 2 ? 4 : f.depth;
    EXPECT_EQ(BitCount(image.get()), expected_bpp);
    EXPECT_EQ(image->colours, expected_bpp == 24 ? 0 : 1 << expected_bpp);
    EXPECT_EQ(image->details->first, static_cast<uint32_t>(f.depth));
    EXPECT_EQ(image->details->second, static_cast<uint32_t>(f.type));
    std::vector<uint16_t> ref;
    ASSERT_TRUE(Reference(path, static_cast<size_t>(Width(image.get())) * Height(image.get()), &ref));
    const bool special = f.gamma != 0 || f.srgb || f.trns || (f.type & 4);
    if (!special) {
      // Pixel for pixel, 16-bit samples stripped to their high byte.
      const std::vector<uint8_t> ours = Bgr(image.get());
      for (size_t i = 0; i < ours.size() / 3; ++i)
        for (int c = 0; c < 3; ++c) ASSERT_EQ(ours[3 * i + 2 - c], ref[4 * i + c] >> 8) << "pixel " << i;
      ++plain;
    } else {
      CheckAgainstReference(path, image.get(), ref);
      ++ruled;
    }
  }
  EXPECT_GE(plain, 20);
  EXPECT_GE(ruled, 80);
}

TEST(PngSuite, CorruptFilesAreRefusedWithTheMessage) {
  if (SourceDir().empty()) GTEST_SKIP() << "libpng's source package (PngSuite) is not on this machine";
  const std::string suite = SourceDir() + "/libpng/contrib/pngsuite/";
  const std::vector<uint8_t> g01 = ReadFileBytes(suite + "basn0g01.png"), g08 = ReadFileBytes(suite + "basn0g08.png"),
                             c08 = ReadFileBytes(suite + "basn2c08.png");
  // The PngSuite's x* cases, made from its good files.
  std::vector<std::pair<std::string, std::vector<uint8_t>>> cases;
  auto add = [&](const char* name, std::vector<uint8_t> bytes) { cases.emplace_back(name, std::move(bytes)); };
  std::vector<uint8_t> b = g01;
  b[0] = 0x09;
  add("xs1n0g01 signature byte 1 without its top bit", b);
  b = g01, b[1] = 'Q';
  add("xs2n0g01 signature byte 2 is Q", b);
  b = g01, b[3] = 'g';
  add("xs4n0g01 signature byte 4 in lower case", b);
  b = g01, b[6] = ' ';
  add("xs7n0g01 signature byte 7 is a space", b);
  b = g01, b.insert(b.begin() + 4, '\r');
  add("xcrn0g04 carriage return added", b);
  b = g01, b.insert(b.begin() + 5, '\n');
  add("xlfn0g04 line feed added", b);
  b = g08, b[8 + 8 + 13] ^= 0x55;
  add("xhdn0g08 IHDR checksum wrong", b);
  add("xc1n0g08 colour type 1", WithChunkByte(g08, "IHDR", 9, 1));
  add("xc9n2c08 colour type 9", WithChunkByte(c08, "IHDR", 9, 9));
  add("xd0n2c08 bit depth 0", WithChunkByte(c08, "IHDR", 8, 0));
  add("xd3n2c08 bit depth 3", WithChunkByte(c08, "IHDR", 8, 3));
  add("xd9n2c08 bit depth 99", WithChunkByte(c08, "IHDR", 8, 99));
  b = g01;
  for (size_t p = 8; p + 12 <= b.size(); p += 12 + BE32(&b[p]))
    if (std::string(b.begin() + p + 4, b.begin() + p + 8) == "IDAT") b[p + 8 + BE32(&b[p])] ^= 0xFF;
  add("xcsn0g01 IDAT checksum wrong", b);
  b = g01;
  for (size_t p = 8; p + 12 <= b.size(); p += 12 + BE32(&b[p]))
    if (std::string(b.begin() + p + 4, b.begin() + p + 8) == "IDAT") b.erase(b.begin() + p, b.begin() + p + 12 + BE32(&b[p]));
  add("xdtn0g01 no IDAT chunk", b);
  // Sizes the program does not take are refused before anything is allocated for them.
  std::vector<uint8_t> huge = WithChunkByte(g08, "IHDR", 0, 0x00);
  huge = WithChunkByte(WithChunkByte(huge, "IHDR", 1, 0x01), "IHDR", 5, 0x01);  // 65568 x 65568
  add("size beyond the program's limit", huge);

  TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.first);
    WriteFileBytes(dir.File("x.png"), c.second);
    MDIBCtrl doc;
    RecordingChannel channel;
    EXPECT_EQ(LoadPng(doc, dir.File("x.png")), nullptr);
    EXPECT_TRUE(channel.ShowedOnly(kMsgUnsupported));
  }
}

TEST(PngSuite, TruncatedAndDamagedFilesFailCleanly) {
  if (SourceDir().empty()) GTEST_SKIP() << "libpng's source package (PngSuite) is not on this machine";
  std::vector<std::string> files = PngFiles(SourceDir() + "/libpng/contrib/testpngs/crashers");
  TempDir dir;
  const std::vector<uint8_t> whole = ReadFileBytes(SourceDir() + "/libpng/contrib/pngsuite/ibasn2c16.png");
  for (size_t cut = 0; cut < whole.size(); cut += 37) {
    const std::string name = dir.File("cut" + std::to_string(cut) + ".png");
    WriteFileBytes(name, std::vector<uint8_t>(whole.begin(), whole.begin() + cut));
    files.push_back(name);
  }
  PngIOClass io;  // one object for all: a failed load leaves nothing behind that spoils the next
  for (const std::string& path : files) {
    SCOPED_TRACE(path);
    MDIBCtrl doc;
    RecordingChannel channel;
    ImagePtr image(LoadImageWith(doc, io, path.c_str()));
    if (image) {
      EXPECT_TRUE(channel.boxes.empty());
    } else {
      EXPECT_TRUE(channel.ShowedOnly(kMsgUnsupported));
    }
  }
  MDIBCtrl doc;
  EXPECT_TRUE(ImagePtr(LoadImageWith(doc, io, (SourceDir() + "/libpng/contrib/pngsuite/basn2c08.png").c_str())));
}

// Row filter bytes of a written file (its IDAT data inflated).
std::vector<uint8_t> FilterBytes(const std::vector<uint8_t>& file, size_t row_bytes, int height) {
  std::vector<uint8_t> data;
  for (size_t p = 8; p + 12 <= file.size(); p += 12 + BE32(&file[p]))
    if (std::string(file.begin() + p + 4, file.begin() + p + 8) == "IDAT")
      data.insert(data.end(), file.begin() + p + 8, file.begin() + p + 8 + BE32(&file[p]));
  std::vector<uint8_t> raw((row_bytes + 1) * height);
  uLongf size = raw.size();
  if (uncompress(raw.data(), &size, data.data(), data.size()) != Z_OK) return {};
  std::vector<uint8_t> filters;
  for (int y = 0; y < height; ++y) filters.push_back(raw[y * (row_bytes + 1)]);
  return filters;
}

TEST(PngWriter, TrueColourAndIndexedImagesRoundTrip) {
  TempDir dir;
  for (int bpp : {24, 8, 4, 1}) {
    for (int width : {1, 7, 33}) {
      SCOPED_TRACE("bpp " + std::to_string(bpp) + " width " + std::to_string(width));
      ImagePtr image = NewImage(width, 5, bpp, bpp == 8 ? 200 : 0);
      FillRandom(image.get(), static_cast<uint32_t>(width * bpp));
      if (bpp == 8)  // indexes within the 200 colours
        for (int y = 0; y < 5; ++y)
          for (int x = 0; x < width; ++x) RowAddress(image.get(), y)[x] %= 200;
      const std::string path = dir.File("w.png");
      PngIOClass writer;
      ASSERT_TRUE(writer.OpenWrite(path.c_str()));
      ASSERT_TRUE(writer.WriteHeader(image.get()));
      ASSERT_TRUE(writer.WriteBits(image.get()));
      ASSERT_EQ(writer.CloseWrite(), 1);

      const std::vector<uint8_t> file = ReadFileBytes(path);
      const PngFacts f = Facts(file);
      EXPECT_EQ(f.type, bpp == 24 ? 2 : 3);
      EXPECT_EQ(f.depth, bpp == 24 ? 8 : bpp);
      EXPECT_EQ(f.plte.size(), bpp == 24 ? 0u : 3u * image->colours);
      const size_t row_bytes = (static_cast<size_t>(width) * bpp + 7) / 8;
      // Sub on every row (libpng leaves a row of one pixel unfiltered).
      EXPECT_EQ(FilterBytes(file, row_bytes, 5), std::vector<uint8_t>(5, width == 1 ? 0 : 1));

      MDIBCtrl doc;
      ImagePtr back(LoadPng(doc, path));
      ASSERT_TRUE(back);
      for (int y = 0; y < 5; ++y)
        for (int x = 0; x < width; ++x) ASSERT_EQ(PixelValue(back.get(), x, y), PixelValue(image.get(), x, y));
      for (int i = 0; i < image->colours; ++i)
        ASSERT_EQ(std::memcmp(&Palette(back.get())[i], &Palette(image.get())[i], 4), 0);
      std::vector<uint16_t> ref;  // and ImageMagick reads the same colours
      ASSERT_TRUE(Reference(path, static_cast<size_t>(width) * 5, &ref));
      const std::vector<uint8_t> ours = Bgr(image.get());
      for (size_t i = 0; i < ours.size() / 3; ++i)
        for (int c = 0; c < 3; ++c) ASSERT_EQ(ours[3 * i + 2 - c], ref[4 * i + c] >> 8);
    }
  }
}

TEST(PngWriter, IndexesBeyondTheColoursAndWriteErrors) {
  // A 4-bit image with 6 colours whose pixels use index 9: the palette grows to 10 entries,
  // the new ones black, and the file is valid.
  TempDir dir;
  ImagePtr image = NewImage(4, 2, 4, 6);
  for (int i = 0; i < 6; ++i) Palette(image.get())[i] = RGBQUAD{static_cast<BYTE>(40 * i), 1, 2, 0};
  RowAddress(image.get(), 0)[1] = 0x09;
  PngIOClass writer;
  ASSERT_TRUE(writer.OpenWrite(dir.File("p.png").c_str()));
  ASSERT_TRUE(writer.WriteHeader(image.get()) && writer.WriteBits(image.get()));
  ASSERT_EQ(writer.CloseWrite(), 1);
  EXPECT_EQ(Facts(ReadFileBytes(dir.File("p.png"))).plte.size(), 30u);
  MDIBCtrl doc;
  ImagePtr back(LoadPng(doc, dir.File("p.png")));
  ASSERT_TRUE(back);
  EXPECT_EQ(PixelValue(back.get(), 3, 0), 9u);

  // A device that takes nothing: the library's write error lands in the recovery point, the
  // operations fail and the object can be used again.
  if (access("/dev/full", W_OK) != 0) return;
  ImagePtr big = NewImage(300, 300, 24);
  FillRandom(big.get(), 5);
  RecordingChannel channel;
  ASSERT_TRUE(writer.OpenWrite("/dev/full"));
  const bool header = writer.WriteHeader(big.get());
  const bool bits = header && writer.WriteBits(big.get());
  const int closed = writer.CloseWrite();
  EXPECT_FALSE(header && bits && closed);
  EXPECT_TRUE(writer.OpenWrite(dir.File("again.png").c_str()));
  EXPECT_TRUE(writer.WriteHeader(big.get()) && writer.WriteBits(big.get()) && writer.CloseWrite());
}

TEST(PngSaveFlow, RunLengthAndHighColourImagesAreWrittenExpanded) {
  TempDir dir;
  for (int bpp : {8, 16}) {
    SCOPED_TRACE(bpp);
    Filter doc;
    ImagePtr image = NewImage(9, 4, bpp);
    FillRandom(image.get(), 11);
    if (bpp == 8) {
      for (int y = 0; y < 4; ++y) std::memset(RowAddress(image.get(), y), y * 3, 5);  // some runs
      EncodeRle(image.get());
      ASSERT_TRUE(IsRunLength(image.get()));
    }
    doc.pending_ = image.release();
    doc.Commit();
    ImagePtr expected(doc.MakeTrueColorCopy(doc.current_));
    ASSERT_TRUE(SaveImageFile(doc, dir.File("s.png").c_str(), 0));
    EXPECT_EQ(doc.image_count_, 1);
    ImagePtr back(LoadPng(doc, dir.File("s.png")));
    ASSERT_TRUE(back);
    EXPECT_EQ(BitCount(back.get()), bpp == 8 ? 8 : 24);
    EXPECT_EQ(Bgr(back.get()), Pixels24(expected.get()));
  }
}

}  // namespace
