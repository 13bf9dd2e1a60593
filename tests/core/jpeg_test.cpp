// JPEG files: libjpeg-turbo's test images and variants made from them decode as djpeg decodes
// them; greyscale files load as 8-bit images with the grey ramp; unsupported, corrupt,
// truncated and endless files fail cleanly; the writer matches cjpeg's default settings.
#include <gtest/gtest.h>

#include <algorithm>

#include "formats/jpeg_io.h"
#include "tests/core/test_support.h"

namespace {

std::string TestImages() {
  const std::string dir = LibrarySourceDir("libjpeg-turbo/testimages");
  return !dir.empty() && RunCommand("command -v djpeg cjpeg >/dev/null") == 0 ? dir : "";
}

// Loads a file and checks it against djpeg: the same pixels; greyscale as 8 bits with the grey ramp.
void ExpectSameAsDjpeg(const std::string& path, bool grey) {
  SCOPED_TRACE(path);
  JpegIOClass io;
  const ImagePtr image = LoadOrRefuse(io, path, false);
  ASSERT_TRUE(image);
  EXPECT_EQ(BitCount(image.get()), grey ? 8 : 24);
  EXPECT_EQ(image->colours, grey ? 256 : 0);
  EXPECT_EQ(image->details->first, grey ? 1u : 0u);
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
  const std::string ppm = "'" + images + "/testorig.ppm'", thin("P6\n1 3\n255\n\xFF\0\0\0\xFF\0\0\0\xFF", 20);
  WriteFileBytes(dir.File("thin.ppm"), std::vector<uint8_t>(thin.begin(), thin.end()));
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
  ASSERT_EQ(RunCommand("/usr/bin/convert '" + images + "/testorig.ppm' -colorspace CMYK " + dir.File("cmyk.jpg")), 0);
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
  JpegIOClass io;  // one object for all: every failure releases what the library held
  for (const char* name : {"65000x65000.jpg", "corrupt.jpg", "short.jpg", "600.jpg", "cmyk.jpg"})
    LoadOrRefuse(io, dir.File(name), true);
  LoadOrRefuse(io, images + "/testorig12.jpg", true);
  EXPECT_TRUE(LoadOrRefuse(io, dir.File("400.jpg"), false));
  // Cut anywhere: refused, or (cut inside the image data, as djpeg does) the missing part filled in.
  for (size_t cut = 0; cut < good.size(); cut += 53) {
    const std::string path = dir.File("cut" + std::to_string(cut) + ".jpg");
    WriteFileBytes(path, std::vector<uint8_t>(good.begin(), good.begin() + cut));
    const ImagePtr image = LoadOrRefuse(io, path, false);
    EXPECT_TRUE(!image || (Width(image.get()) == 227 && Height(image.get()) == 149)) << path;
  }
  EXPECT_TRUE(LoadOrRefuse(io, images + "/testorig.jpg", false));
}

TEST(JpegWriter, WritesAsCjpegWithDefaultSettingsAndSurvivesWriteErrors) {
  const std::string images = TestImages();
  if (images.empty()) GTEST_SKIP() << "libjpeg-turbo's test images or djpeg are not on this machine";
  TempDir dir;
  JpegIOClass writer;  // one object for all, also after a failed write
  for (int width : {1, 17, 64}) {
    SCOPED_TRACE(width);
    ImagePtr image = NewImage(width, 9, 24);
    FillRandom(image.get(), static_cast<uint32_t>(width));
    // The same pixels as a PPM, compressed by cjpeg with its defaults.
    const std::string head = "P6\n" + std::to_string(width) + " 9\n255\n";
    std::vector<uint8_t> ppm = RgbPixels(image.get());
    ppm.insert(ppm.begin(), head.begin(), head.end());
    WriteFileBytes(dir.File("in.ppm"), ppm);
    ASSERT_EQ(RunCommand("cjpeg -outfile '" + dir.File("ref.jpg") + "' '" + dir.File("in.ppm") + "'"), 0);
    ASSERT_TRUE(WriteWith(writer, image.get(), dir.File("ours.jpg")));
    EXPECT_EQ(ReadFileBytes(dir.File("ours.jpg")), ReadFileBytes(dir.File("ref.jpg")));
  }
  ExpectWriteErrorRecovered(writer, dir.File("again.jpg"));
}

}  // namespace
