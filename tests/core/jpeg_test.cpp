// JPEG files: libjpeg-turbo's test images and variants made from them decode as djpeg decodes
// them; greyscale files load as 8-bit images with the grey ramp; unsupported, corrupt and
// truncated files fail cleanly; the writer matches cjpeg's default settings byte for byte.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>

#include "app/file_flow.h"
#include "formats/jpeg_io.h"
#include "tests/core/test_support.h"

namespace {

std::string TestImages() {
  const char* env = std::getenv("TESSAMOR_LIBSRC");
  const std::string dir = std::string(env && *env ? env : TESSAMOR_LIBSRC) + "/libjpeg-turbo/testimages";
  return access((dir + "/testorig.jpg").c_str(), R_OK) == 0 && RunCommand("command -v djpeg cjpeg >/dev/null") == 0
             ? dir
             : "";
}

// A binary PGM or PPM: samples after the three header numbers.
struct Pnm {
  int channels = 0, width = 0, height = 0;
  std::vector<uint8_t> samples;
};

Pnm ParsePnm(const std::string& text) {
  Pnm p;
  int maximum = 0, used = 0;
  char magic[3] = {};
  if (std::sscanf(text.c_str(), "%2s %d %d %d%n", magic, &p.width, &p.height, &maximum, &used) != 4) return p;
  p.channels = magic[1] == '6' ? 3 : 1;
  p.samples.assign(text.begin() + used + 1, text.end());
  return p;
}

Pnm Djpeg(const std::string& path) {
  std::string out;
  if (RunCommand("djpeg '" + path + "' 2>/dev/null", &out) != 0) return {};
  return ParsePnm(out);
}

DibImage* LoadJpeg(MDIBCtrl& doc, const std::string& path) {
  JpegIOClass io;
  return LoadImageWith(doc, io, path.c_str());
}

// Our pixels as the reference lays them out: red, green, blue (or grey) from the top row.
void ExpectSameAsDjpeg(const std::string& path) {
  SCOPED_TRACE(path);
  const Pnm ref = Djpeg(path);
  ASSERT_GT(ref.channels, 0);
  MDIBCtrl doc;
  RecordingChannel channel;
  ImagePtr image(LoadJpeg(doc, path));
  ASSERT_TRUE(image);
  EXPECT_TRUE(channel.boxes.empty());
  ASSERT_EQ(Width(image.get()), ref.width);
  ASSERT_EQ(Height(image.get()), ref.height);
  EXPECT_EQ(image->format, kFormatJpeg);
  if (ref.channels == 1) {
    EXPECT_EQ(BitCount(image.get()), 8);
    EXPECT_EQ(image->colours, 256);
    EXPECT_EQ(image->details->first, 1u);
    for (int i = 0; i < 256; ++i) {
      const RGBQUAD e = Palette(image.get())[i];
      ASSERT_TRUE(e.rgbBlue == i && e.rgbGreen == i && e.rgbRed == i && e.rgbReserved == 0) << i;
    }
    for (int y = 0; y < ref.height; ++y)
      ASSERT_EQ(std::memcmp(RowAddress(image.get(), y), &ref.samples[static_cast<size_t>(y) * ref.width], ref.width), 0);
    return;
  }
  EXPECT_EQ(BitCount(image.get()), 24);
  EXPECT_EQ(image->details->first, 0u);
  const std::vector<uint8_t> ours = Pixels24(image.get());
  ASSERT_EQ(ours.size(), ref.samples.size());
  for (size_t i = 0; i < ours.size(); i += 3)
    ASSERT_TRUE(ours[i] == ref.samples[i + 2] && ours[i + 1] == ref.samples[i + 1] && ours[i + 2] == ref.samples[i])
        << "pixel " << i / 3;
}

TEST(JpegFiles, TestImagesAndVariantsDecodeAsDjpeg) {
  const std::string images = TestImages();
  if (images.empty()) GTEST_SKIP() << "libjpeg-turbo's test images or djpeg are not on this machine";
  for (const char* name : {"testorig.jpg", "testimgint.jpg", "testimgari.jpg"}) ExpectSameAsDjpeg(images + "/" + name);
  // Progressive, greyscale, restart markers, other sampling, arithmetic coding, 1 pixel wide.
  TempDir dir;
  const std::string ppm = images + "/testorig.ppm";
  const std::vector<std::pair<std::string, std::string>> variants = {
      {"progressive.jpg", "cjpeg -progressive"},       {"grey.jpg", "cjpeg -grayscale"},
      {"grey-prog.jpg", "cjpeg -grayscale -progressive"}, {"restart.jpg", "cjpeg -restart 1 -sample 1x1"},
      {"h2v1.jpg", "cjpeg -sample 2x1 -quality 95"},  {"arith.jpg", "cjpeg -arithmetic -progressive"},
  };
  for (const auto& v : variants) {
    ASSERT_EQ(RunCommand(v.second + " -outfile '" + dir.File(v.first) + "' '" + ppm + "'"), 0);
    ExpectSameAsDjpeg(dir.File(v.first));
  }
  ASSERT_EQ(RunCommand("printf 'P6\\n1 3\\n255\\n\\377\\0\\0\\0\\377\\0\\0\\0\\377' | cjpeg -outfile '" +
                       dir.File("thin.jpg") + "'"),
            0);
  ExpectSameAsDjpeg(dir.File("thin.jpg"));
}

TEST(JpegFiles, UnsupportedCorruptAndTruncatedFilesFailCleanly) {
  const std::string images = TestImages();
  if (images.empty()) GTEST_SKIP() << "libjpeg-turbo's test images or djpeg are not on this machine";
  TempDir dir;
  std::vector<std::string> refused = {images + "/testorig12.jpg"};  // 12-bit samples
  if (RunCommand("/usr/bin/convert '" + images + "/testorig.ppm' -colorspace CMYK '" + dir.File("cmyk.jpg") + "'") == 0)
    refused.push_back(dir.File("cmyk.jpg"));
  const std::vector<uint8_t> good = ReadFileBytes(images + "/testorig.jpg");
  std::vector<uint8_t> bytes = good;
  for (size_t i = 2; i + 9 < bytes.size(); ++i)
    if (bytes[i] == 0xFF && bytes[i + 1] == 0xC0) {  // a size the program does not take: 65000 x 65000
      bytes[i + 5] = bytes[i + 7] = 0xFD;
      bytes[i + 6] = bytes[i + 8] = 0xE8;
      break;
    }
  WriteFileBytes(dir.File("huge.jpg"), bytes);
  refused.push_back(dir.File("huge.jpg"));
  bytes = good;
  bytes[20] ^= 0xFF;  // inside the header segments
  for (size_t i = 2; i + 1 < bytes.size(); ++i)
    if (bytes[i] == 0xFF && bytes[i + 1] == 0xC4) bytes[i + 4] = 0x7F;  // a Huffman table class that does not exist
  WriteFileBytes(dir.File("corrupt.jpg"), bytes);
  refused.push_back(dir.File("corrupt.jpg"));
  WriteFileBytes(dir.File("short.jpg"), std::vector<uint8_t>(good.begin(), good.begin() + 300));
  refused.push_back(dir.File("short.jpg"));
  JpegIOClass io;  // one object for all: every failure releases what the library held
  for (const std::string& path : refused) {
    SCOPED_TRACE(path);
    MDIBCtrl doc;
    RecordingChannel channel;
    EXPECT_EQ(LoadImageWith(doc, io, path.c_str()), nullptr);
    EXPECT_TRUE(channel.ShowedOnly(kMsgUnsupported));
  }
  // Cut anywhere: refused with the message, or (cut inside the image data, as djpeg does) the
  // missing part is filled in.
  for (size_t cut = 0; cut < good.size(); cut += 53) {
    SCOPED_TRACE(cut);
    WriteFileBytes(dir.File("cut.jpg"), std::vector<uint8_t>(good.begin(), good.begin() + cut));
    MDIBCtrl doc;
    RecordingChannel channel;
    ImagePtr image(LoadImageWith(doc, io, dir.File("cut.jpg").c_str()));
    if (image) {
      EXPECT_TRUE(channel.boxes.empty() && Width(image.get()) == 227 && Height(image.get()) == 149);
    } else {
      EXPECT_TRUE(channel.ShowedOnly(kMsgUnsupported));
    }
  }
  MDIBCtrl doc;
  EXPECT_TRUE(ImagePtr(LoadImageWith(doc, io, (images + "/testorig.jpg").c_str())));
}

TEST(JpegFiles, FilesWithEndlessScansAreRefused) {
  const std::string images = TestImages();
  if (images.empty()) GTEST_SKIP() << "libjpeg-turbo's test images or djpeg are not on this machine";
  TempDir dir;
  ASSERT_EQ(RunCommand("cjpeg -grayscale -progressive -outfile '" + dir.File("p.jpg") + "' '" + images + "/testorig.ppm'"), 0);
  const std::vector<uint8_t> file = ReadFileBytes(dir.File("p.jpg"));
  size_t last_scan = 0;
  for (size_t i = 0; i + 1 < file.size(); ++i)
    if (file[i] == 0xFF && file[i + 1] == 0xDA) last_scan = i;
  ASSERT_GT(last_scan, 0u);
  const std::vector<uint8_t> scan(file.begin() + last_scan, file.end() - 2);  // up to the end marker
  for (int repeats : {400, 600}) {
    SCOPED_TRACE(repeats);
    std::vector<uint8_t> many(file.begin(), file.end() - 2);
    for (int i = 0; i < repeats; ++i) many.insert(many.end(), scan.begin(), scan.end());
    many.push_back(0xFF);
    many.push_back(0xD9);
    WriteFileBytes(dir.File("many.jpg"), many);
    MDIBCtrl doc;
    RecordingChannel channel;
    ImagePtr image(LoadJpeg(doc, dir.File("many.jpg")));
    EXPECT_EQ(image != nullptr, repeats == 400);
    if (!image) {
      EXPECT_TRUE(channel.ShowedOnly(kMsgUnsupported));
    }
  }
}

TEST(JpegWriter, WritesAsCjpegWithDefaultSettings) {
  const std::string images = TestImages();
  if (images.empty()) GTEST_SKIP() << "libjpeg-turbo's test images or djpeg are not on this machine";
  TempDir dir;
  for (int width : {1, 17, 64}) {
    SCOPED_TRACE(width);
    ImagePtr image = NewImage(width, 9, 24);
    FillRandom(image.get(), static_cast<uint32_t>(width));
    // The same pixels as a PPM, compressed by cjpeg with its defaults.
    std::string ppm = "P6\n" + std::to_string(width) + " 9\n255\n";
    const std::vector<uint8_t> bgr = Pixels24(image.get());
    for (size_t i = 0; i < bgr.size(); i += 3) ppm += {static_cast<char>(bgr[i + 2]), static_cast<char>(bgr[i + 1]), static_cast<char>(bgr[i])};
    WriteFileBytes(dir.File("in.ppm"), std::vector<uint8_t>(ppm.begin(), ppm.end()));
    ASSERT_EQ(RunCommand("cjpeg -outfile '" + dir.File("ref.jpg") + "' '" + dir.File("in.ppm") + "'"), 0);

    JpegIOClass writer;
    ASSERT_TRUE(writer.OpenWrite(dir.File("ours.jpg").c_str()));
    ASSERT_TRUE(writer.WriteHeader(image.get()));
    ASSERT_TRUE(writer.WriteBits(image.get()));
    ASSERT_EQ(writer.CloseWrite(), 1);
    EXPECT_EQ(ReadFileBytes(dir.File("ours.jpg")), ReadFileBytes(dir.File("ref.jpg")));
    ExpectSameAsDjpeg(dir.File("ours.jpg"));
  }
  // A write error after opening (a device that takes nothing) fails without ending the process,
  // and the object writes again afterwards.
  if (access("/dev/full", W_OK) != 0) return;
  ImagePtr big = NewImage(300, 300, 24);
  FillRandom(big.get(), 3);
  JpegIOClass writer;
  ASSERT_TRUE(writer.OpenWrite("/dev/full"));
  const bool header = writer.WriteHeader(big.get());
  const bool bits = header && writer.WriteBits(big.get());
  EXPECT_FALSE(header && bits && writer.CloseWrite());
  ASSERT_TRUE(writer.OpenWrite(dir.File("again.jpg").c_str()));
  EXPECT_TRUE(writer.WriteHeader(big.get()) && writer.WriteBits(big.get()) && writer.CloseWrite());
}

}  // namespace
