// JPEG files against djpeg, cjpeg and ImageMagick: libjpeg-turbo's test images and variants,
// EXIF orientations, CMYK and YCCK, Pillow's JPEGs; refusals with their reasons; the writer.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

#include <jpeglib.h>

#include "document/image_info.h"
#include "formats/exif.h"
#include "formats/jpeg_io.h"
#include "tests/core/test_support.h"

namespace {

std::string TestImages() {
  const std::string dir = LibrarySourceDir("libjpeg-turbo/testimages");
  return !dir.empty() && RunCommand("command -v djpeg cjpeg >/dev/null") == 0 ? dir : "";
}

// Writes samples (components per pixel, rows from the top) with libjpeg as a file of the given
// colour space, with or without the Adobe marker (which marks CMYK samples as inverted).
void WriteSamples(const std::string& path, int width, int height, int components, J_COLOR_SPACE space, bool adobe,
                  const std::vector<uint8_t>& samples, void (*adjust)(jpeg_compress_struct&) = nullptr) {
  jpeg_compress_struct c;
  jpeg_error_mgr error;
  c.err = jpeg_std_error(&error);
  jpeg_create_compress(&c);
  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_TRUE(f);
  jpeg_stdio_dest(&c, f);
  c.image_width = static_cast<JDIMENSION>(width), c.image_height = static_cast<JDIMENSION>(height);
  c.input_components = components;
  c.in_color_space = components == 4 ? JCS_CMYK : components == 3 ? JCS_RGB : JCS_UNKNOWN;
  jpeg_set_defaults(&c);
  jpeg_set_colorspace(&c, space);
  c.write_Adobe_marker = adobe;
  if (adjust) adjust(c);
  jpeg_start_compress(&c, TRUE);
  for (JSAMPROW row = const_cast<uint8_t*>(samples.data()); c.next_scanline < c.image_height; row += width * components)
    jpeg_write_scanlines(&c, &row, 1);
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  std::fclose(f);
}

// The reason given with the one box that refused path ("" when it loaded without a box).
std::string RefusalReason(JpegIOClass& io, const std::string& path) {
  MDIBCtrl doc;
  RecordingChannel channel;
  ImagePtr image(LoadImageWith(doc, io, path.c_str()));
  EXPECT_TRUE(image ? channel.boxes.empty() : channel.Refused());
  return image ? "" : channel.FirstReason();
}

// An EXIF block: a TIFF header and one directory of (tag, type SHORT or LONG, value) entries,
// big- or little-endian; count overrides the entry count written.
std::vector<uint8_t> Tiff(bool big, const std::vector<std::array<uint32_t, 3>>& entries, int count = -1) {
  std::vector<uint8_t> t = {'E', 'x', 'i', 'f', 0, 0, uint8_t(big ? 'M' : 'I'), uint8_t(big ? 'M' : 'I')};
  auto put = [&](uint32_t v, int bytes) {
    for (int k = 0; k < bytes; ++k) t.push_back(static_cast<uint8_t>(v >> 8 * (big ? bytes - 1 - k : k)));
  };
  put(42, 2), put(8, 4), put(count >= 0 ? count : static_cast<int>(entries.size()), 2);
  for (const auto& e : entries) put(e[0], 2), put(e[1], 2), put(1, 4), put(e[2], e[1] == 3 ? 2 : 4), put(0, e[1] == 3 ? 2 : 0);
  return t;
}

// A copy of a JPEG file with an APP1 segment holding the EXIF block right after its start marker.
std::vector<uint8_t> WithExif(const std::vector<uint8_t>& jpeg, const std::vector<uint8_t>& exif) {
  std::vector<uint8_t> f = exif;
  f.insert(f.begin(), {0xFF, 0xD8, 0xFF, 0xE1, uint8_t((exif.size() + 2) >> 8), uint8_t(exif.size() + 2)});
  f.insert(f.end(), jpeg.begin() + 2, jpeg.end());
  return f;
}

// ImageMagick's red, green, blue of a CMYK file are ours or one less: it floors
// (255 - C)(255 - K) / 255 where we (and djpeg) round to the nearest.
void ExpectCmykAsMagick(const DibImage* image, const std::string& path, const std::string& options) {
  const std::vector<uint8_t> ours = RgbPixels(image), magick = MagickPixels(path, options + " -colorspace sRGB -depth 8 rgb:-");
  ASSERT_EQ(ours.size(), magick.size()) << path;
  for (size_t i = 0; i < ours.size(); ++i)
    if (ours[i] != magick[i] && ours[i] != magick[i] + 1) FAIL() << path << " sample " << i;
}

// Loads a file and checks it against djpeg: the same pixels; greyscale as 8 bits with the grey ramp.
void ExpectSameAsDjpeg(const std::string& path, bool grey) {
  SCOPED_TRACE(path);
  JpegIOClass io;
  const ImagePtr image = LoadOrRefuse(io, path);
  ASSERT_TRUE(image);
  EXPECT_TRUE(BitCount(image.get()) == (grey ? 8 : 24) && image->colours == (grey ? 256 : 0) &&
              image->details->first == (grey ? 1u : 0u));
  std::vector<uint8_t> ramp;
  for (int i = 0; i < image->colours; ++i) ramp.insert(ramp.end(), {uint8_t(i), uint8_t(i), uint8_t(i), 0});
  EXPECT_TRUE(std::equal(ramp.begin(), ramp.end(), reinterpret_cast<const uint8_t*>(Palette(image.get()))));  // grey ramp
  EXPECT_TRUE(RgbPixels(image.get()) == NetpbmRgb("djpeg '" + path + "'"));
}

TEST(JpegFiles, TestImagesAndVariantsDecodeAsDjpeg) {
  const std::string images = TestImages();
  if (images.empty()) GTEST_SKIP() << "libjpeg-turbo's test images or djpeg are not on this machine";
  for (const char* name : {"testorig.jpg", "testimgint.jpg", "testimgari.jpg"})
    ExpectSameAsDjpeg(images + "/" + name, false);
  // Progressive, greyscale, restart markers, other sampling, arithmetic coding, 1 pixel wide.
  TempDir dir;
  const std::string ppm = "'" + images + "/testorig.ppm'";
  WritePpm(dir.File("thin.ppm"), RandomImage(1, 3, 24, 1).get());
  for (const auto& v : std::vector<std::pair<std::string, std::string>>{
           {"progressive.jpg", "-progressive " + ppm},   {"grey.jpg", "-grayscale " + ppm},
           {"grey-prog.jpg", "-grayscale -progressive " + ppm}, {"restart.jpg", "-restart 1 -sample 1x1 " + ppm},
           {"h2v1.jpg", "-sample 2x1 -quality 95 " + ppm},  {"arith.jpg", "-arithmetic -progressive " + ppm},
           {"thin.jpg", dir.File("thin.ppm")}}) {
    ASSERT_EQ(RunCommand("cjpeg -outfile '" + dir.File(v.first) + "' " + v.second), 0);
    ExpectSameAsDjpeg(dir.File(v.first), v.first.find("grey") == 0);
  }
}

TEST(JpegFiles, UnsupportedCorruptTruncatedAndEndlessFilesFailCleanly) {
  const std::string images = TestImages();
  if (images.empty()) GTEST_SKIP() << "libjpeg-turbo's test images or djpeg are not on this machine";
  TempDir dir;
  const std::vector<uint8_t> good = ReadFileBytes(images + "/testorig.jpg");
  std::vector<uint8_t> huge = good, corrupt = good;
  for (size_t i = 2; i + 9 < good.size(); ++i) {
    if (good[i] == 0xFF && good[i + 1] == 0xC0) huge[i + 5] = huge[i + 7] = 0xFD, huge[i + 6] = huge[i + 8] = 0xE8;
    if (good[i] == 0xFF && good[i + 1] == 0xC4) corrupt[i + 4] = 0x7F;  // a Huffman table class that does not exist
  }
  corrupt[20] ^= 0xFF;  // inside the header segments
  WriteFileBytes(dir.File("65000x65000.jpg"), huge);
  WriteFileBytes(dir.File("corrupt.jpg"), corrupt);
  WriteFileBytes(dir.File("short.jpg"), std::vector<uint8_t>(good.begin(), good.begin() + 300));
  // A progressive file whose last scan comes again and again: 400 times loads, 600 times is refused.
  ASSERT_EQ(RunCommand("cjpeg -grayscale -progressive -outfile " + dir.File("p.jpg") + " " + images + "/testorig.ppm"), 0);
  const std::vector<uint8_t> p = ReadFileBytes(dir.File("p.jpg"));
  size_t last_scan = p.size() - 2;
  while (last_scan > 0 && !(p[last_scan] == 0xFF && p[last_scan + 1] == 0xDA)) --last_scan;
  for (int repeats : {400, 600}) {
    std::vector<uint8_t> many(p.begin(), p.end() - 2);
    for (int i = 0; i < repeats; ++i) many.insert(many.end(), p.begin() + static_cast<long>(last_scan), p.end() - 2);
    many.insert(many.end(), {0xFF, 0xD9});
    WriteFileBytes(dir.File(std::to_string(repeats) + ".jpg"), many);
  }
  WriteFileBytes(dir.File("empty.jpg"), {});
  WriteFileBytes(dir.File("ppm.jpg"), ReadFileBytes(images + "/testorig.ppm"));
  WriteSamples(dir.File("two.jpg"), 8, 8, 2, JCS_UNKNOWN, false, std::vector<uint8_t>(128, 9));
  JpegIOClass io;  // one object for all: every failure releases what the library held
  for (const auto& r : std::vector<std::pair<std::string, std::string>>{
           {dir.File("65000x65000.jpg"), SizeProblem(65000, 65000, 24)},
           {dir.File("corrupt.jpg"), "Bogus DHT index 111"},
           {dir.File("short.jpg"), "Invalid JPEG file structure: missing SOS marker"},
           {dir.File("600.jpg"), "more than 500 scans"},
           {dir.File("empty.jpg"), "Empty input file"},
           {dir.File("ppm.jpg"), "Not a JPEG file: starts with 0x50 0x36"},
           {dir.File("two.jpg"), "unsupported variant: 2 components in no known colour space"},
           {images + "/testorig12.jpg", "Unsupported JPEG data precision 12"}})
    EXPECT_EQ(RefusalReason(io, r.first), r.second) << r.first;
  EXPECT_TRUE(LoadOrRefuse(io, dir.File("400.jpg")));
  // Cut anywhere: refused, or (cut inside the image data, as djpeg does) the missing part filled in.
  for (size_t cut = 0; cut < good.size(); cut += 53) {
    const std::string path = dir.File("cut" + std::to_string(cut) + ".jpg");
    WriteFileBytes(path, std::vector<uint8_t>(good.begin(), good.begin() + cut));
    const ImagePtr image = LoadOrRefuse(io, path);
    EXPECT_TRUE(!image || (Width(image.get()) == 227 && Height(image.get()) == 149)) << path;
  }
  EXPECT_TRUE(LoadOrRefuse(io, images + "/testorig.jpg"));
}

TEST(JpegExif, OrientationIsReadInBothByteOrdersAndNeverFromOutsideTheBlock) {
  const std::array<uint32_t, 3> maker{0x10F, 4, 0}, six{0x112, 3, 6};
  std::vector<uint8_t> cut = Tiff(false, {maker, six}), far = Tiff(true, {six});
  cut.resize(cut.size() - 1);  // the orientation entry runs past the end of the block
  far[13] = 0xF0;              // the directory lies past the end of the block
  const std::vector<std::pair<std::vector<uint8_t>, int>> cases = {
      {Tiff(true, {maker, six}), 6}, {Tiff(false, {{0x112, 4, 8}}), 8}, {Tiff(true, {maker, six}, 9000), 6},
      {Tiff(true, {{0x112, 3, 9}}), 0}, {Tiff(false, {maker}), 0}, {cut, 0}, {far, 0}};
  for (const auto& c : cases) {  // each block in a buffer of its own size, for the sanitizers
    const std::vector<uint8_t> block(c.first.begin() + 6, c.first.end());
    EXPECT_EQ(ExifOrientation(block.data(), block.size()), c.second) << &c - &cases[0];
  }
}

TEST(JpegExif, EveryOrientationTurnsAsImageMagickTurnsAndSavesUnturned) {
  const std::string images = TestImages();
  if (images.empty()) GTEST_SKIP() << "libjpeg-turbo's test images or djpeg are not on this machine";
  // 227 x 149 pixels (neither side a multiple of the rows read at a time): colour, grey, CMYK.
  TempDir dir;
  ASSERT_EQ(RunCommand("cjpeg -grayscale -outfile " + dir.File("grey.jpg") + " " + images + "/testorig.ppm"), 0);
  ASSERT_EQ(RunCommand("/usr/bin/convert " + images + "/testorig.ppm -colorspace CMYK " + dir.File("cmyk.jpg")), 0);
  JpegIOClass io;
  for (const std::string& source : {images + "/testorig.jpg", dir.File("grey.jpg"), dir.File("cmyk.jpg")})
    for (uint32_t orientation = 0; orientation <= 8; ++orientation) {
      const std::string path = dir.File(std::to_string(orientation) + ".jpg");
      const std::vector<uint8_t> exif = Tiff(orientation % 2, {{0x10F, 4, 0}, {0x112, 3, orientation}});
      WriteFileBytes(path, orientation ? WithExif(ReadFileBytes(source), exif) : ReadFileBytes(source));
      SCOPED_TRACE(source + " turned by " + std::to_string(orientation));
      const ImagePtr image = LoadOrRefuse(io, path);
      ASSERT_TRUE(image);
      EXPECT_EQ(image->details->second, orientation);
      EXPECT_EQ(Width(image.get()), orientation >= 5 ? 149 : 227);
      if (source.find("cmyk") != std::string::npos) ExpectCmykAsMagick(image.get(), path, "-auto-orient");
      else EXPECT_TRUE(RgbPixels(image.get()) == MagickPixels(path, "-auto-orient -depth 8 rgb:-"));
    }
  // The information text; saved, the picture stays turned and carries no orientation.
  const std::string six = dir.File("six.jpg");
  WriteFileBytes(six, WithExif(ReadFileBytes(images + "/testorig.jpg"), Tiff(true, {{0x112, 3, 6}})));
  const ImagePtr turned = LoadOrRefuse(io, six);
  ASSERT_TRUE(turned && WriteWith(io, turned.get(), six));
  EXPECT_EQ(DescribeLoadedImage(turned.get()).orientation, "6 (turned 90 degrees clockwise)");
  const ImagePtr saved = LoadOrRefuse(io, six);
  ASSERT_TRUE(saved);
  EXPECT_EQ(DescribeLoadedImage(saved.get()).orientation + std::to_string(Width(saved.get())), "149");
}

TEST(JpegCmyk, CmykAndYcckFilesConvertAsImageMagickWithinRounding) {
  const std::string images = TestImages();
  if (images.empty()) GTEST_SKIP() << "libjpeg-turbo's test images or djpeg are not on this machine";
  // Inks of a photograph (227 x 149), as ImageMagick separates them.
  const std::vector<uint8_t> inks = MagickPixels(images + "/testorig.ppm", "-colorspace CMYK -depth 8 cmyk:-");
  ASSERT_EQ(inks.size(), 4u * 227 * 149);
  std::vector<uint8_t> inverted(inks.size());
  std::transform(inks.begin(), inks.end(), inverted.begin(), [](uint8_t v) { return uint8_t(255 - v); });
  TempDir dir;
  JpegIOClass io;
  for (const auto& v : std::vector<std::pair<J_COLOR_SPACE, bool>>{{JCS_CMYK, true}, {JCS_YCCK, true}, {JCS_CMYK, false}}) {
    const std::string path = dir.File(std::to_string(v.first) + (v.second ? "-adobe.jpg" : ".jpg"));
    WriteSamples(path, 227, 149, 4, v.first, v.second, v.second ? inverted : inks);
    const ImagePtr image = LoadOrRefuse(io, path);
    ASSERT_TRUE(image);
    // ImageMagick takes every CMYK file for inverted: without the marker the inks are turned back.
    ExpectCmykAsMagick(image.get(), path, v.second ? "" : "-channel CMYK -negate +channel");
  }
}

// Pillow's JPEGs (damaged EXIF blocks, junk between segments, truncated data, CMYK, every
// orientation) all load, as djpeg shows them, or as ImageMagick does where the file has an
// orientation or is CMYK; the orientation found is ImageMagick's.
TEST(JpegFiles, PillowImagesLoadAsDjpegOrImageMagickShowsThem) {
  const std::string folder = LibrarySourceDir("pillow-images");
  if (folder.empty() || TestImages().empty()) GTEST_SKIP() << "Pillow's test images or djpeg are not on this machine";
  const std::vector<std::string> names = {"Undefined", "TopLeft", "TopRight", "BottomRight", "BottomLeft",
                                          "LeftTop", "RightTop", "RightBottom", "LeftBottom"};
  const std::vector<std::string> files = FilesIn(folder, ".jpg");
  EXPECT_GE(files.size(), 48u);
  JpegIOClass io;
  for (const std::string& path : files) {
    SCOPED_TRACE(path);
    const ImagePtr image = LoadOrRefuse(io, path);
    ASSERT_TRUE(image);
    std::string facts;
    RunCommand("identify -format '%[orientation] %[colorspace]' '" + path + "' 2>/dev/null", &facts);
    const uint32_t orientation = static_cast<uint32_t>(std::find(names.begin(), names.end(), facts.substr(0, facts.find(' '))) - names.begin());
    EXPECT_EQ(image->details->second, orientation) << facts;
    if (facts.find("CMYK") != std::string::npos) ExpectCmykAsMagick(image.get(), path, "-auto-orient");
    else if (orientation > 1) EXPECT_TRUE(RgbPixels(image.get()) == MagickPixels(path, "-auto-orient -depth 8 rgb:-"));
    else EXPECT_TRUE(RgbPixels(image.get()) == NetpbmRgb("djpeg '" + path + "'"));
  }
}
TEST(JpegWriter, WritesAsCjpegWithDefaultSettingsAndSurvivesWriteErrors) {
  const std::string images = TestImages();
  if (images.empty()) GTEST_SKIP() << "libjpeg-turbo's test images or djpeg are not on this machine";
  TempDir dir;
  JpegIOClass writer;  // one object for all, also after a failed write
  for (int width : {1, 17, 64}) {
    SCOPED_TRACE(width);
    ImagePtr image = RandomImage(width, 9, 24, static_cast<uint32_t>(width));
    WritePpm(dir.File("in.ppm"), image.get());  // the same pixels for cjpeg with its defaults
    ASSERT_EQ(RunCommand("cjpeg -outfile '" + dir.File("ref.jpg") + "' '" + dir.File("in.ppm") + "'"), 0);
    ASSERT_TRUE(WriteWith(writer, image.get(), dir.File("ours.jpg")));
    EXPECT_EQ(ReadFileBytes(dir.File("ours.jpg")), ReadFileBytes(dir.File("ref.jpg")));
  }
  ExpectWriteErrorRecovered(writer, dir.File("again.jpg"));
}

// A thumbnail's eighth-size picture from the DC coefficients, worked out here from the
// coefficients libjpeg reads: each pixel its blocks' means (the coefficient over 8, rounded), in
// RGB by the JFIF formula in floating point. Of a progressive file only the first scan counts,
// which holds the coefficients without their lowest Al bits.
std::vector<uint8_t> DcReference(const std::string& path) {
  jpeg_decompress_struct d;
  jpeg_error_mgr error;
  d.err = jpeg_std_error(&error);
  jpeg_create_decompress(&d);
  FILE* f = std::fopen(path.c_str(), "rb");
  jpeg_stdio_src(&d, f);
  jpeg_read_header(&d, TRUE);
  const int al = d.progressive_mode ? d.Al : 0;
  jvirt_barray_ptr* coefficients = jpeg_read_coefficients(&d);
  const int width = static_cast<int>(d.image_width + 7) / 8, height = static_cast<int>(d.image_height + 7) / 8;
  std::vector<double> levels[3];
  for (int c = 0; c < d.num_components; ++c) {
    const jpeg_component_info& k = d.comp_info[c];
    for (int y = 0; y < height; ++y) {
      const JBLOCKROW row = *(*d.mem->access_virt_barray)(reinterpret_cast<j_common_ptr>(&d), coefficients[c],
                                                           static_cast<JDIMENSION>(y * k.v_samp_factor / d.max_v_samp_factor), 1, FALSE);
      for (int x = 0; x < width; ++x) {
        const double dc = (row[x * k.h_samp_factor / d.max_h_samp_factor][0] >> al) * (1 << al) * k.quant_table->quantval[0];
        levels[c].push_back(std::clamp(std::floor(dc / 8 + 0.5) + 128, 0.0, 255.0));
      }
    }
  }
  std::vector<uint8_t> rgb;
  for (size_t i = 0; i < levels[0].size(); ++i) {
    const double y = levels[0][i], cb = d.num_components == 3 ? levels[1][i] - 128 : 0,
                 cr = d.num_components == 3 ? levels[2][i] - 128 : 0;
    for (double v : {y + 1.402 * cr, y - 0.344136 * cb - 0.714136 * cr, y + 1.772 * cb})
      rgb.push_back(static_cast<uint8_t>(std::clamp(std::floor(v + 0.5), 0.0, 255.0)));
  }
  jpeg_destroy_decompress(&d);
  std::fclose(f);
  return rgb;
}

TEST(JpegThumbnails, EighthSizeFromTheDcCoefficientsOrAsTheLibraryReducesIt) {
  const std::string images = TestImages();
  if (images.empty()) GTEST_SKIP() << "libjpeg-turbo's test images or djpeg are not on this machine";
  TempDir dir;
  const std::string ppm = "'" + images + "/testorig.ppm'", noise = dir.File("noise.ppm");
  // Faint noise: blocks whose coefficients are small but not 0 up to the last one.
  ImagePtr faint = RandomImage(227, 149, 24, 5);
  for (int y = 0; y < 149; ++y)
    for (uint8_t *p = RowAddress(faint.get(), y), *end = p + 3 * 227; p < end; ++p) *p = static_cast<uint8_t>(126 + *p % 4);
  WritePpm(noise, faint.get());
  // Every Huffman code 16 bits long, on blocks black, white, and of red and blue stripes at
  // quality 100: codes with their value bits longer than a step over AC codes or a 32-bit
  // word's refill (and colour within the blocks, where the library's reduction differs).
  std::vector<uint8_t> blocks;
  for (int y = 0; y < 149; ++y)
    for (int x = 0; x < 227; ++x) {
      const int kind = (x / 8 + y / 8) % 3;
      const uint8_t v = kind == 1 ? 255 : 0, red = kind == 2 && x % 2 ? 255 : v, blue = kind == 2 && y % 2 ? 255 : v;
      blocks.insert(blocks.end(), {red, v, blue});
    }
  WriteSamples(dir.File("long-codes.jpg"), 227, 149, 3, JCS_YCbCr, false, blocks,
               [](jpeg_compress_struct& c) {
                 jpeg_set_quality(&c, 100, TRUE);
                 for (int t = 0; t < 2; ++t) {
                   JHUFF_TBL* dc = c.dc_huff_tbl_ptrs[t];
                   JHUFF_TBL* ac = c.ac_huff_tbl_ptrs[t];
                   std::fill(dc->bits, dc->bits + 17, 0), std::fill(ac->bits, ac->bits + 17, 0);
                   dc->bits[16] = 12, ac->bits[16] = 162;
                   for (int i = 0; i < 12; ++i) dc->huffval[i] = static_cast<UINT8>(i);
                   ac->huffval[0] = 0x00, ac->huffval[1] = 0xF0;  // end of block, 16 zeros
                   for (int i = 0; i < 160; ++i) ac->huffval[2 + i] = static_cast<UINT8>((i / 10) << 4 | (i % 10 + 1));
                 }
               });
  // A progressive file whose first scan is of one component only.
  const std::string scans = dir.File("scans.txt");
  const std::string script = "0: 0 0 0 0; 1 2: 0 0 0 0; 0: 1 63 0 0; 1: 1 63 0 0; 2: 1 63 0 0;";
  WriteFileBytes(scans, {script.begin(), script.end()});
  // dc: read from the DC coefficients (within one level of the reference; with every block a
  // pixel, 4:4:4 and grey, also exactly as djpeg reduces them); else the library's reduction.
  const struct {
    const char* name;
    std::string options;
    bool dc;
  } files[] = {{"444", "-sample 1x1", true},
               {"420", "-sample 2x2", true},
               {"422", "-sample 2x1", true},
               {"440", "-sample 1x2", true},
               {"411", "-sample 4x1", true},
               {"grey", "-grayscale", true},
               {"optimized", "-optimize -sample 1x1", true},
               {"noise", "-quality 100 -sample 1x1", true},
               {"long-codes", "", true},
               {"restart-1", "-restart 1B -sample 2x2", true},
               {"restart-5", "-restart 5B -sample 1x1", true},
               {"progressive", "-progressive", true},
               {"grey-progressive", "-grayscale -progressive -restart 2B", true},
               {"progressive-by-components", "-progressive -scans " + scans, false},
               {"arithmetic", "-arithmetic", false},
               {"rgb", "-rgb", false}};
  JpegIOClass io;
  io.SetThumbnailBox(16, 16);
  auto expect_as_djpeg = [&](const std::string& path) {
    const std::vector<uint8_t> djpeg = NetpbmRgb("djpeg -scale 1/8 '" + path + "'");
    const ImagePtr image = LoadOrRefuse(io, path);
    EXPECT_TRUE(image ? RgbPixels(image.get()) == djpeg : djpeg.empty());
  };
  for (const auto& f : files) {
    const std::string path = dir.File(std::string(f.name) + ".jpg");
    SCOPED_TRACE(path);
    const std::string& source = std::string(f.name) == "noise" ? noise : ppm;
    ASSERT_TRUE(f.options.empty() || RunCommand("cjpeg -outfile '" + path + "' " + f.options + " " + source) == 0);
    if (!f.dc || f.options.find("1x1") != std::string::npos || f.options == "-grayscale") expect_as_djpeg(path);
    if (!f.dc) continue;
    const std::vector<uint8_t> reference = DcReference(path);
    for (int word : {32, 64}) {  // the bit reader's word in 32- and 64-bit programs
      io.SetDcWordBits(word);
      const ImagePtr image = LoadOrRefuse(io, path);
      ASSERT_TRUE(image);
      EXPECT_EQ(Width(image.get()) * 100 + Height(image.get()), 29 * 100 + 19);
      const std::vector<uint8_t> ours = RgbPixels(image.get());
      ASSERT_EQ(ours.size(), reference.size());
      for (size_t i = 0; i < ours.size(); ++i) {
        ASSERT_LE(std::abs(ours[i] - reference[i]), 1) << word << "-bit words, sample " << i;
      }
    }
  }
  // Damaged data (cut, bytes changed, restart markers out of order) reads as the library reads it.
  const std::vector<uint8_t> plain = ReadFileBytes(dir.File("444.jpg")), restarts = ReadFileBytes(dir.File("restart-5.jpg"));
  std::vector<std::vector<uint8_t>> damaged = {{plain.begin(), plain.begin() + static_cast<long>(plain.size() * 2 / 3)},
                                              {restarts.begin(), restarts.end() - 700}};
  for (size_t at : {plain.size() / 2, plain.size() - 40}) {
    damaged.push_back(plain);
    for (size_t i = at; i < at + 24; ++i) damaged.back()[i] = static_cast<uint8_t>(i * 37);
  }
  damaged.push_back(restarts);
  for (size_t i = restarts.size() / 2; i + 1 < restarts.size(); ++i)
    if (restarts[i] == 0xFF && restarts[i + 1] >= 0xD0 && restarts[i + 1] <= 0xD7) {
      damaged.back()[i + 1] = static_cast<uint8_t>(0xD0 + (restarts[i + 1] + 1) % 8);
      break;
    }
  for (size_t i = 0; i < damaged.size(); ++i) {
    const std::string path = dir.File("damaged-" + std::to_string(i) + ".jpg");
    SCOPED_TRACE(path);
    WriteFileBytes(path, damaged[i]);
    for (int word : {32, 64}) {
      io.SetDcWordBits(word);
      expect_as_djpeg(path);
    }
  }
}

}  // namespace
