// PNG files: libpng's PngSuite and test images and Pillow's test images against ImageMagick (plain
// files pixel for pixel, gamma, tRNS and alpha files by the flattening and gamma rules), damaged
// files and their reasons, where reading stops, the memory a read takes, and the writer.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

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

void Put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

// One chunk: length, name, data and check sum (a wrong one when asked).
std::vector<uint8_t> MakeChunk(const char* name, const std::vector<uint8_t>& data, bool bad_crc = false) {
  std::vector<uint8_t> chunk;
  Put32(chunk, static_cast<uint32_t>(data.size()));
  chunk.insert(chunk.end(), name, name + 4);
  chunk.insert(chunk.end(), data.begin(), data.end());
  Put32(chunk, static_cast<uint32_t>(crc32(0, &chunk[4], static_cast<uInt>(data.size() + 4))) ^ (bad_crc ? 1u : 0u));
  return chunk;
}

std::vector<uint8_t> Ihdr(uint32_t width, uint32_t height, uint8_t depth, uint8_t type) {
  std::vector<uint8_t> data;
  Put32(data, width), Put32(data, height);
  data.insert(data.end(), {depth, type, 0, 0, 0});
  return MakeChunk("IHDR", data);
}

// The signature and the chunks.
std::vector<uint8_t> PngFile(const std::vector<std::vector<uint8_t>>& chunks) {
  std::vector<uint8_t> file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  for (const std::vector<uint8_t>& c : chunks) file.insert(file.end(), c.begin(), c.end());
  return file;
}

// Deflates more input into a stream (flush: Z_FULL_FLUSH to end a piece, Z_FINISH to end it all).
std::vector<uint8_t> Deflate(z_stream& z, std::vector<uint8_t> in, int flush) {
  std::vector<uint8_t> out(compressBound(static_cast<uLong>(in.size())) + 64);
  z.next_in = in.data();
  z.avail_in = static_cast<uInt>(in.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  EXPECT_NE(deflate(&z, flush), Z_STREAM_ERROR);
  out.resize(out.size() - z.avail_out);
  return out;
}

std::vector<uint8_t> Deflated(const std::vector<uint8_t>& raw, int level = 6) {
  z_stream z{};
  deflateInit(&z, level);
  std::vector<uint8_t> out = Deflate(z, raw, Z_FINISH);
  deflateEnd(&z);
  return out;
}

// Loads path into a document with the test's background colour.
ImagePtr Load(PngIOClass& io, const std::string& path) {
  MDIBCtrl doc;
  doc.background_colour_ = kBackground;
  return ImagePtr(LoadImageWith(doc, io, path.c_str()));
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
// (16-bit samples stripped to 8), others by the flattening and gamma rules. Partial alpha of a
// file with a gamma (or sRGB) blends in linear light, the background taken as a screen colour;
// without one it blends the file's values as they are.
void CheckAgainst(const std::vector<uint8_t>& magick, const PngFacts& f, bool plain, const std::vector<uint8_t>& ours) {
  ASSERT_EQ(magick.size(), ours.size() / 3 * 8);
  const auto ref = [&](size_t k) { return magick[2 * k] << 8 | magick[2 * k + 1]; };
  const double file_gamma = f.srgb ? 0.45455 : f.gamma, g = file_gamma == 0 ? 1.0 : file_gamma * 2.2;
  // The background in screen values: the file's, corrected like its pixels, or the program's.
  double bg[3] = {kBackground & 0xFF, (kBackground >> 8) & 0xFF, (kBackground >> 16) & 0xFF};
  for (int c = 0; c < 3 && !f.bkgd.empty(); ++c) {
    const int at = (f.type & 2) ? 2 * c : 0, max = f.depth == 16 ? 65535 : (1 << f.depth) - 1;
    bg[c] = Corrected(f.type == 3 ? f.plte[3 * f.bkgd[0] + c] : (f.bkgd[at] << 8 | f.bkgd[at + 1]) * 255.0 / max, g);
  }
  if (f.bkgd.empty() && !(f.type & 2)) bg[1] = bg[2] = bg[0];  // a grey file shows the background's red byte
  // 16-bit samples are corrected through libpng's tables, which drop their lowest bits.
  const bool coarse = f.depth == 16 && std::fabs(g - 1) > 0.05;
  const auto linear = [](double screen) { return std::pow(screen / 255.0, 2.2); };
  for (size_t i = 0; i < ours.size() / 3; ++i) {
    const double a = ref(4 * i + 3) / 65535.0;
    for (int c = 0; c < 3; ++c) {
      const double fg = ref(4 * i + c) / 65535.0 * 255.0;
      const uint8_t v = ours[3 * i + c];
      if (plain) ASSERT_EQ(v, ref(4 * i + c) >> 8) << "pixel " << i << " channel " << c;
      else if (a == 1 && coarse && fg < 16) continue;  // the tables are coarse next to black
      else if (a == 1) ASSERT_NEAR(v, Corrected(fg, g), coarse ? 2.01 : 1.01) << "pixel " << i << " channel " << c;
      else if (a == 0) ASSERT_NEAR(v, bg[c], 1.01) << "pixel " << i << " channel " << c;
      else if (file_gamma == 0) ASSERT_NEAR(v, fg * a + bg[c] * (1 - a), 1.01) << "pixel " << i << " channel " << c;
      else  // within two steps of libpng's 8-bit linear values (three for 16-bit samples, cut to 8)
        ASSERT_NEAR(linear(v), std::pow(fg / 255.0, 1.0 / file_gamma) * a + linear(bg[c]) * (1 - a),
                    (f.depth == 16 ? 3.0 : 2.0) / 255)
            << "pixel " << i << " channel " << c << " ours " << int{v};
    }
  }
}

// Loads every PNG file of a folder and compares it with ImageMagick; a file named in `refused`
// must be refused with the box and the reason given there. Counts the plain files (compared
// pixel for pixel) and those compared by the rules.
void CompareFolder(const std::string& folder, const std::map<std::string, std::string>& refused, int* plain_files,
                   int* ruled_files) {
  for (const std::string& path : FilesIn(folder, ".png")) {
    SCOPED_TRACE(path);
    const std::string name = path.substr(path.rfind('/') + 1);
    RecordingChannel channel;
    PngIOClass io;
    const ImagePtr image = Load(io, path);
    if (refused.count(name)) {
      EXPECT_TRUE(!image && channel.Refused() && channel.FirstReason() == refused.at(name)) << channel.FirstReason();
      continue;
    }
    EXPECT_TRUE(image && channel.boxes.empty()) << channel.FirstReason();
    if (!image) continue;
    const PngFacts f = Facts(ReadFileBytes(path));
    const int bpp = (f.type & 2) && f.type != 3 ? 24 : f.depth == 16 ? 8 : f.depth == 2 ? 4 : f.depth;
    EXPECT_EQ((std::vector<int>{BitCount(image.get()), image->colours, static_cast<int>(image->details->first << 8 | image->details->second)}),
              (std::vector<int>{bpp, bpp == 24 ? 0 : 1 << bpp, f.depth << 8 | f.type}));
    const bool plain = f.gamma == 0 && !f.srgb && !f.trns && !(f.type & 4);
    ++*(plain ? plain_files : ruled_files);
    const std::vector<uint8_t> magick = MagickPixels(path, "-set colorspace sRGB -endian MSB -depth 16 rgba:-");
    CheckAgainst(magick, f, plain, RgbPixels(image.get()));
  }
}

TEST(PngSuite, FilesDecodeAsImageMagickByTheFlatteningAndGammaRules) {
  const std::string src = LibrarySourceDir("libpng/contrib");
  if (src.empty()) GTEST_SKIP() << "libpng's source package (PngSuite) is not on this machine";
  int plain_files = 0, ruled_files = 0;
  for (const char* sub : {"/pngsuite", "/pngsuite/interlaced", "/testpngs"})
    CompareFolder(src + sub, {}, &plain_files, &ruled_files);
  EXPECT_TRUE(plain_files >= 20 && ruled_files >= 80) << plain_files << " plain, " << ruled_files << " by the rules";
}

TEST(PillowImages, PngFilesDecodeAsImageMagickByTheSameRules) {
  const std::string folder = LibrarySourceDir("pillow-images");
  if (folder.empty()) GTEST_SKIP() << "Pillow's test images are not on this machine";
  int plain_files = 0, ruled_files = 0;
  // Damaged files, which ImageMagick refuses too: garbage after the signature, a row with an
  // unknown filter, a file that ends in its rows.
  const std::map<std::string, std::string> refused = {{"broken.png", "[F4][A8][81][E1]: invalid chunk type"},
                                                      {"broken_data_stream.png", "bad adaptive filter value"},
                                                      {"truncated_image.png", "truncated: 398 of 480 rows"}};
  CompareFolder(folder, refused, &plain_files, &ruled_files);
  EXPECT_TRUE(plain_files >= 230 && ruled_files >= 50) << plain_files << " plain, " << ruled_files << " by the rules";
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
  PngIOClass io;  // one object for all: a failed load leaves nothing behind that spoils the next
  const auto refusal = [&io](const std::string& path) {  // refused with the box: the one reason
    RecordingChannel channel;
    EXPECT_TRUE(!Load(io, path) && channel.Refused()) << path;
    return channel.FirstReason();
  };
  // 32 rows stored uncompressed in image data chunks of 100 bytes, cut in the middle.
  const std::vector<uint8_t> stream = Deflated(std::vector<uint8_t>(32 * 33), 0);
  std::vector<std::vector<uint8_t>> chunks = {Ihdr(32, 32, 8, 0)};
  for (size_t at = 0; at < stream.size(); at += 100)
    chunks.push_back(MakeChunk("IDAT", {stream.begin() + at, stream.begin() + std::min(at + 100, stream.size())}));
  std::vector<uint8_t> cut_in_rows = PngFile(chunks);
  cut_in_rows.resize(cut_in_rows.size() / 2);
  // The PngSuite's x* files, made from its good files, a size beyond the program's limit and a
  // file cut in its rows, with the reason each is refused for (libpng's own text where libpng
  // stopped the read).
  struct Damaged { const char* name; std::vector<uint8_t> bytes; std::string reason; };
  for (const Damaged& x : std::vector<Damaged>{
           {"xs1n0g01", set(g01, 0, 0x09), "not a PNG file"}, {"xs7n0g01", set(g01, 6, ' '), "not a PNG file"},
           {"xcrn0g04", put(g01, 4, '\r'), "not a PNG file"}, {"xlfn0g04", put(g01, 5, '\n'), "not a PNG file"},
           {"xhdn0g08", set(g08, 29, g08[29] ^ 0x55), "IHDR: CRC error"},
           {"xc1n0g08", WithHeader(g08, 9, {1}), "Invalid IHDR data"}, {"xc9n2c08", WithHeader(c08, 9, {9}), "Invalid IHDR data"},
           {"xd0n2c08", WithHeader(c08, 8, {0}), "Invalid IHDR data"}, {"xd3n2c08", WithHeader(c08, 8, {3}), "Invalid IHDR data"},
           {"xd9n2c08", WithHeader(c08, 8, {99}), "Invalid IHDR data"},
           {"xcsn0g01", set(g01, idat_end - 4, g01[idat_end - 4] ^ 0xFF), "IDAT: CRC error"},
           {"xdtn0g01", no_idat, "IEND: out of place"},
           {"65568x65568", WithHeader(g08, 0, {0, 1, 0, 0x20, 0, 1, 0, 0x20}), SizeProblem(65568, 65568, 8)},
           {"cut-in-rows", cut_in_rows, "truncated: 14 of 32 rows"}})
    EXPECT_EQ(refusal(dir.Put(std::string(x.name) + ".png", x.bytes)), x.reason) << x.name;
  // Cut anywhere, or libpng's crashers: refused, or loaded without a box.
  const std::vector<uint8_t> whole = ReadFileBytes(suite + "/ibasn2c16.png");
  for (size_t cut = 0; cut < whole.size(); cut += 37)
    LoadOrRefuse(io, dir.Put("cut" + std::to_string(cut) + ".png", {whole.begin(), whole.begin() + cut}));
  for (const std::string& path : FilesIn(suite + "/../testpngs/crashers", ".png")) LoadOrRefuse(io, path);
  EXPECT_TRUE(LoadOrRefuse(io, suite + "/basn2c08.png"));
}

TEST(PngReader, PaletteAndRgbaFilesOfTheSameColoursFlattenAlike) {
  // 64 colours with alphas from 0 to 255: as a palette file with tRNS, and as an RGBA file.
  std::vector<uint8_t> plte, trns, indexes = {0}, rgba = {0};
  for (int i = 0; i < 64; ++i) {
    const uint8_t colour[4] = {static_cast<uint8_t>(i * 37), static_cast<uint8_t>(255 - i * 3),
                               static_cast<uint8_t>(i * 97 + 11), static_cast<uint8_t>(i * 255 / 63)};
    plte.insert(plte.end(), colour, colour + 3);
    trns.push_back(colour[3]);
    indexes.push_back(static_cast<uint8_t>(i));
    rgba.insert(rgba.end(), colour, colour + 4);
  }
  const std::vector<uint8_t> none, end = MakeChunk("IEND", {});
  struct Gamma { const char* name; std::vector<uint8_t> chunk; };
  TempDir dir;
  for (const Gamma& gamma : {Gamma{"none", none}, Gamma{"1.0", MakeChunk("gAMA", {0, 1, 0x86, 0xA0})},
                             Gamma{"0.45455", MakeChunk("gAMA", {0, 0, 0xB1, 0x8F})},
                             Gamma{"sRGB", MakeChunk("sRGB", {0})}})
    for (bool file_background : {false, true}) {  // the program's background, or the file's: entry 5
      SCOPED_TRACE(std::string("gamma ") + gamma.name + (file_background ? ", bKGD" : ""));
      const std::vector<uint8_t> palette_background = file_background ? MakeChunk("bKGD", {5}) : none;
      const std::vector<uint8_t> rgb_background =
          file_background ? MakeChunk("bKGD", {0, plte[15], 0, plte[16], 0, plte[17]}) : none;
      RecordingChannel channel;
      PngIOClass io;
      const ImagePtr palette_image = Load(io, dir.Put("p.png", PngFile({Ihdr(64, 1, 8, 3), gamma.chunk, MakeChunk("PLTE", plte),
                                                                       MakeChunk("tRNS", trns), palette_background,
                                                                       MakeChunk("IDAT", Deflated(indexes)), end})));
      const ImagePtr colour_image = Load(
          io, dir.Put("c.png", PngFile({Ihdr(64, 1, 8, 6), gamma.chunk, rgb_background, MakeChunk("IDAT", Deflated(rgba)), end})));
      ASSERT_TRUE(palette_image && colour_image && channel.boxes.empty());
      EXPECT_EQ(BitCount(palette_image.get()), 8);
      EXPECT_EQ(RgbPixels(palette_image.get()), RgbPixels(colour_image.get()));
    }
}

TEST(PngReader, ImageDataAfterTheLastRowIsNotRead) {
  // A 1 x 1 grey file whose image data goes on after its row with a megabyte of zeros: the row
  // (flushed) in a first chunk, the rest in a second one.
  z_stream z{};
  deflateInit(&z, 9);
  const std::vector<uint8_t> row = Deflate(z, {0, 0x5A}, Z_FULL_FLUSH), rest = Deflate(z, std::vector<uint8_t>(1 << 20), Z_FINISH);
  deflateEnd(&z);
  const std::vector<uint8_t> header = Ihdr(1, 1, 8, 0), end = MakeChunk("IEND", {});
  std::vector<uint8_t> cut = PngFile({header, MakeChunk("IDAT", row), MakeChunk("IDAT", rest)});
  cut.resize(cut.size() - rest.size() / 2);
  TempDir dir;
  PngIOClass io;
  // The rest cut off, or damaged: the row loads all the same.
  const std::vector<uint8_t> damaged = PngFile({header, MakeChunk("IDAT", row), MakeChunk("IDAT", rest, true), end});
  for (const std::vector<uint8_t>& file : {cut, damaged}) {
    RecordingChannel channel;
    const ImagePtr image = Load(io, dir.Put("rest.png", file));
    ASSERT_TRUE(image && channel.boxes.empty()) << channel.FirstReason();
    EXPECT_EQ(PixelValue(image.get(), 0, 0), 0x5Au);
  }
  // The chunk that holds the row is still checked.
  RecordingChannel channel;
  EXPECT_FALSE(Load(io, dir.Put("row.png", PngFile({header, MakeChunk("IDAT", row, true), MakeChunk("IDAT", rest), end}))));
  EXPECT_TRUE(channel.ShowedOnly(kMsgUnsupported) && channel.reasons == std::vector<std::string>{"IDAT: CRC error"});
}

TEST(PngWriter, SavedImagesReadInImageMagickWithSubFilteredRows) {
  TempDir dir;
  const std::string path = dir.File("w.png");
  struct Case { int bpp, colours, entries; bool rle = false; };  // entries: the palette written; indexes stay below it
  // A 4-bit image whose pixels use indexes beyond its 6 colours gets a palette that covers them
  // (the new entries black); run-length and 16-bit images are written expanded.
  for (const Case& c : {Case{24, 0, 0}, Case{8, 200, 200}, Case{4, 16, 16}, Case{1, 2, 2}, Case{4, 6, 10},
                        Case{8, 256, 256, true}, Case{16, 0, 0}})
    for (int width : {1, 7, 33}) {
      if (c.rle && width == 1) continue;  // runs longer than the pixels stay uncompressed
      SCOPED_TRACE("bpp " + std::to_string(c.bpp) + " width " + std::to_string(width));
      ImagePtr image = RandomImage(width, 5, c.bpp, static_cast<uint32_t>(width * c.bpp), c.colours);
      for (size_t i = 0; i < ImageBytes(image.get()); ++i) {
        uint8_t& b = image->bits[i];
        if (c.rle) b = static_cast<uint8_t>(i / 6 % 3 * 0x11);
        else if (c.bpp == 8) b = static_cast<uint8_t>(b % c.entries);
        else if (c.bpp == 4) b = static_cast<uint8_t>((b >> 4) % c.entries << 4 | (b & 15) % c.entries);
      }
      if (c.entries > c.colours) RowAddress(image.get(), 0)[0] = static_cast<uint8_t>((c.entries - 1) << 4);
      Document d(std::move(image));
      const ImagePtr rgb(d.doc.MakeTrueColorCopy(d.image()));
      if (c.rle) EncodeRle(d.doc.current_);
      ASSERT_EQ(IsRunLength(d.image()), c.rle);
      ASSERT_TRUE(SaveImageFile(d.doc, path.c_str(), 0));
      const std::vector<uint8_t> file = ReadFileBytes(path), idat = Chunk(file, "IDAT");
      const PngFacts f = Facts(file);
      EXPECT_TRUE(f.type == (c.bpp > 8 ? 2 : 3) && f.depth == (c.bpp > 8 ? 8 : c.bpp) && f.plte.size() == 3u * c.entries);
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
