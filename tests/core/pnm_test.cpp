// PBM, PGM and PPM files: the six variants written and read back, files made by ImageMagick and
// netpbm, and header rules and refusals.
#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "document/image_info.h"
#include "tests/core/test_support.h"

namespace {

std::string Text(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

// A document holding a 24-bit image of random pixels (colour, grey or black and white), or of
// one value in every byte.
enum Kind { kColour, kGrey, kTwoLevel };
void Fill(Filter& doc, int width, int height, Kind kind, int value = -1) {
  ImagePtr image = RandomImage(width, height, 24, static_cast<uint32_t>(width * 31 + kind));
  if (value >= 0) std::memset(image->bits, value, ImageBytes(image.get()));
  for (int y = 0; y < height; ++y) {
    uint8_t* p = RowAddress(image.get(), y);
    for (int x = 0; x < width; ++x, p += 3) {
      if (kind == kTwoLevel) p[0] = p[0] < 128 ? 0 : 255;
      if (kind != kColour) p[1] = p[2] = p[0];
    }
  }
  Commit(doc, std::move(image));
}

TEST(PnmWrite, SixVariantsReadBackWithTheirLayout) {
  TempDir dir;
  // head: the magic, size and maximum lines; step: in ASCII, a line feed after the value (or triple) of each
  // column that is a multiple of it
  const struct Case { const char* name; Kind kind; int width, ascii; const char* head; int step; const char* format_text; }
      cases[] = {
      {"a.ppm", kColour, 37, 1, "P3\n37 5\n255\n", 16, "ASCIIPPM"}, {"b.ppm", kColour, 37, 0, "P6\n37 5\n255\n", 0, "BINPPM"},
      {"c.pgm", kGrey, 50, 1, "P2\n50 5\n255\n", 48, "ASCIIPGM"},   {"d.pgm", kGrey, 50, 0, "P5\n50 5\n255\n", 0, "BINPGM"},
      {"e.pbm", kTwoLevel, 61, 1, "P1\n61 5\n", 30, "ASCIIPBM"},    {"f.pbm", kTwoLevel, 61, 0, "P4\n61 5\n", 0, "BINPBM"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Filter doc;
    Fill(doc, c.width, 5, c.kind);
    RecordingChannel channel;
    ASSERT_TRUE(SaveImageFile(doc, dir.File(c.name).c_str(), c.ascii));
    EXPECT_TRUE(channel.boxes.empty());  // grey and two-level images need no question
    const std::string file = Text(ReadFileBytes(dir.File(c.name)));
    ASSERT_EQ(file.compare(0, std::strlen(c.head), c.head), 0) << file.substr(0, 20);
    const size_t per_pixel = c.kind == kColour ? 3 : 1;
    for (size_t i = std::strlen(c.head), value = 0; c.step && i < file.size(); ++value) {
      const size_t end = file.find_first_of(" \n", i);
      ASSERT_NE(end, std::string::npos);
      const bool line_end = value % per_pixel == per_pixel - 1 && value / per_pixel % c.width % c.step == 0;
      EXPECT_EQ(file[end], line_end ? '\n' : ' ') << "value " << value;
      i = end + 1;
    }
    OpenedFile in(dir.File(c.name));
    ASSERT_TRUE(in.ok);
    EXPECT_EQ(Pixels24(in.image()), Pixels24(doc.current_));
    EXPECT_EQ(DescribeLoadedImage(in.image()).format, c.format_text);
  }
  // Byte for byte: a white 3 x 2 P1, and a black P4 of width 10 whose rows end in 0 bits.
  Filter white, black;
  Fill(white, 3, 2, kGrey, 255);
  Fill(black, 10, 1, kGrey, 0);
  ASSERT_TRUE(SaveImageFile(white, dir.File("w.pbm").c_str(), 1) && SaveImageFile(black, dir.File("k.pbm").c_str(), 0));
  EXPECT_EQ(Text(ReadFileBytes(dir.File("w.pbm"))), "P1\n3 2\n0\n0 0 0\n0 0 ");
  EXPECT_EQ(Text(ReadFileBytes(dir.File("k.pbm"))), std::string("P4\n10 1\n\xFF\xC0"));
  // tessamor-cli's --pnm-ascii is the PgmSaveMode setting.
  Cli(dir.File("b.ppm") + " --pnm-ascii -o " + dir.File("o.ppm"));
  EXPECT_EQ(Text(ReadFileBytes(dir.File("o.ppm"))).substr(0, 3), "P3\n");
}

TEST(PnmRead, FilesOfImageMagickAndNetpbmReadExactly) {
  TempDir dir;
  Filter doc;
  Fill(doc, 23, 7, kColour);
  const std::string src = dir.File("src.ppm"), out = dir.File("t.ppm");
  ASSERT_TRUE(SaveImageFile(doc, src.c_str(), 0));
  // Files made by ImageMagick (maxima 255 and 65535) and by netpbm (also 100, 1023 and 4095),
  // each checked against netpbm's own scaling to a maximum of 255.
  const std::string im = "/usr/bin/convert " + src, grey = "ppmtopgm " + src;
  std::set<std::string> magics;
  for (const std::string& command :
       {im + " -compress none ppm:-", im + " -depth 16 ppm:-", im + " -depth 16 -compress none ppm:-",
        im + " -colorspace gray pgm:-", im + " -colorspace gray -depth 16 pgm:-", im + " -colorspace gray -compress none pgm:-",
        im + " -monochrome pbm:-", im + " -monochrome -compress none pbm:-", "pnmtoplainpnm " + src, grey,
        grey + " | pnmtoplainpnm", grey + " | pgmtopbm", grey + " | pgmtopbm | pnmtoplainpnm", "pamdepth 1023 " + src,
        "pamdepth 100 " + src + " | pnmtoplainpnm", grey + " | pamdepth 4095", "pamtopam < " + src + " | pamtopnm"}) {
    SCOPED_TRACE(command);
    ASSERT_EQ(RunCommand(command + " > " + out + " 2>/dev/null"), 0);
    magics.insert(Text(ReadFileBytes(out)).substr(0, 2));
    OpenedFile in(out);
    ASSERT_TRUE(in.ok);
    EXPECT_EQ(RgbPixels(in.image()), NetpbmRgb("cat " + out));
  }
  EXPECT_EQ(magics.size(), 6u);  // every variant came along
}

TEST(PnmRead, HeaderRulesScalingAndRefusals) {
  TempDir dir;
  // greys: the expected grey of the pixels, or none for a refusal with a reason that starts so
  const struct Case { const char* what; std::string bytes; std::vector<uint8_t> greys; const char* reason; } cases[] = {
      {"comment line", "P2\n# made by hand\n2 1\n255\n0 255\n", {0, 255}, ""},
      {"whole header on one line", "P5 2 1 255 \x10\x20", {16, 32}, ""},
      {"comments between the numbers", "P2 2 # two\n# wide\n 1 255\n0 255", {0, 255}, ""},
      {"tabs and carriage returns", "P2\r\n2\t1\r\n255\r\n3 4", {3, 4}, ""},
      {"two-byte samples", std::string("P5\n2 1\n65535\n\x80\x00\xFF\xFF", 17), {128, 255}, ""},
      {"binary samples above the maximum", "P5\n3 1\n100\n\x32\xC8\xFF", {128, 255, 255}, ""},
      {"maximum 100, a sample above it", "P2\n3 1\n100\n50 200 0\n", {128, 255, 0}, ""},
      {"P4 padding bits ignored", "P4\n10 1\n\x80\x7F", {0, 255, 255, 255, 255, 255, 255, 255, 255, 0}, ""},
      {"P1 digits without blanks", "P1\n3 1\n101", {0, 255, 0}, ""},
      {"last row cut short", "P5\n3 1\n255\n\x10", {16, 255, 255}, ""},
      {"magic run into the size", "P61 1\n255\n\x01\x02\x03", {}, "not a PNM file"},
      {"unknown magic", "P7\n1 1\n255\n\x01", {}, "not a PNM file"},
      {"maximum 0", "P2\n1 1\n0\n0\n", {}, "invalid header: the maximum"},
      {"maximum above 65535", "P2\n1 1\n65536\n0\n", {}, "invalid header: the maximum"},
      {"letters in the size", "P2\n1x1\n255\n0\n", {}, "invalid header: the size"},
      {"width 0", "P5\n0 1\n255\n", {}, "invalid header: the size"},
      {"more rows than the file holds", "P5\n100 100\n255\n0123456789", {}, "truncated: pixel data for 0 of 100"},
      {"size that overflows", "P6\n70000 70000\n255\n", {}, "too large for the size limit"},
      {"header cut short", "P3\n2 2\n", {}, "truncated header"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    OpenedFile in(dir.Put("x.pgm", std::vector<uint8_t>(c.bytes.begin(), c.bytes.end())));
    std::vector<uint8_t> rgb;
    for (uint8_t g : c.greys) rgb.insert(rgb.end(), 3, g);
    if (rgb.empty()) {
      EXPECT_TRUE(!in.ok && in.channel.Refused() && in.doc.image_count_ == 0);
      EXPECT_EQ(in.channel.FirstReason().rfind(c.reason, 0), 0u) << in.channel.FirstReason();
    } else {
      ASSERT_TRUE(in.ok) << in.channel.FirstReason();
      EXPECT_EQ(RgbPixels(in.image()), rgb);
    }
  }
}

}  // namespace
