// PBM, PGM and PPM files: the six variants written and read back, the save flow's questions,
// files made by ImageMagick and netpbm, and header rules and refusals.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>

#include "app/file_flow.h"
#include "document/image_info.h"
#include "tests/core/test_support.h"

namespace {

struct Loaded {
  Filter doc;
  RecordingChannel channel;
  bool ok;
  explicit Loaded(const std::string& path) : ok(OpenImageFile(doc, path.c_str())) {}
  const DibImage* image() const { return doc.current_; }
};

// A document holding a 24-bit image of random pixels: colour, grey or black and white.
enum Kind { kColour, kGrey, kTwoLevel };
void Fill(Filter& doc, int width, int height, Kind kind) {
  ImagePtr image = NewImage(width, height, 24);
  FillRandom(image.get(), static_cast<uint32_t>(width * 31 + kind));
  for (int y = 0; y < height; ++y) {
    uint8_t* p = RowAddress(image.get(), y);
    for (int x = 0; x < width; ++x, p += 3) {
      if (kind == kTwoLevel) p[0] = p[0] < 128 ? 0 : 255;
      if (kind != kColour) p[1] = p[2] = p[0];
    }
  }
  doc.pending_ = image.release();
  doc.Commit();
}

std::string Text(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

// Checks the line breaking of an ASCII body: after the value (or the triple) of column x comes a
// line feed when x is a multiple of step, else one blank.
void ExpectLineBreaks(const std::string& body, int width, int per_pixel, int step) {
  size_t token = 0;
  for (size_t i = 0; i < body.size(); ++token) {
    size_t end = body.find_first_of(" \n", i);
    ASSERT_NE(end, std::string::npos);
    const size_t x = token / per_pixel % width;
    const bool last_of_pixel = token % per_pixel == static_cast<size_t>(per_pixel - 1);
    EXPECT_EQ(body[end], last_of_pixel && x % step == 0 ? '\n' : ' ') << "value " << token;
    i = end + 1;
  }
}

TEST(PnmWrite, SixVariantsReadBackWithTheirLayout) {
  TempDir dir;
  struct Case {
    const char* name;
    Kind kind;
    int ascii;
    const char* head;  // magic, size and maximum lines
    const char* format_text;
    int per_pixel, step;
  };
  const Case cases[] = {
      {"a.ppm", kColour, 1, "P3\n37 5\n255\n", "ASCIIPPM", 3, 16}, {"b.ppm", kColour, 0, "P6\n37 5\n255\n", "BINPPM", 0, 0},
      {"c.pgm", kGrey, 1, "P2\n50 5\n255\n", "ASCIIPGM", 1, 48},   {"d.pgm", kGrey, 0, "P5\n50 5\n255\n", "BINPGM", 0, 0},
      {"e.pbm", kTwoLevel, 1, "P1\n61 5\n", "ASCIIPBM", 1, 30},    {"f.pbm", kTwoLevel, 0, "P4\n61 5\n", "BINPBM", 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const int width = c.kind == kColour ? 37 : c.kind == kGrey ? 50 : 61;
    Filter doc;
    Fill(doc, width, 5, c.kind);
    RecordingChannel channel;
    ASSERT_TRUE(SaveImageFile(doc, dir.File(c.name).c_str(), c.ascii));
    EXPECT_TRUE(channel.boxes.empty());  // grey and two-level images need no question
    const std::string file = Text(ReadFileBytes(dir.File(c.name)));
    ASSERT_EQ(file.compare(0, std::strlen(c.head), c.head), 0) << file.substr(0, 20);
    const std::string body = file.substr(std::strlen(c.head));
    if (c.per_pixel) ExpectLineBreaks(body, width, c.per_pixel, c.step);
    Loaded in(dir.File(c.name));
    ASSERT_TRUE(in.ok);
    EXPECT_EQ(Pixels24(in.image()), Pixels24(doc.current_));
    EXPECT_EQ(DescribeLoadedImage(in.image()).format, c.format_text);
  }
}

TEST(PnmWrite, SmallFilesByteForByte) {
  TempDir dir;
  Filter white;
  Fill(white, 3, 2, kGrey);
  std::memset(white.current_->bits, 255, ImageBytes(white.current_));
  ASSERT_TRUE(SaveImageFile(white, dir.File("w.pbm").c_str(), 1));
  EXPECT_EQ(Text(ReadFileBytes(dir.File("w.pbm"))), "P1\n3 2\n0\n0 0 0\n0 0 ");
  // P4 of width 10: two bytes per row, the last completed with 0 bits.
  Filter black;
  Fill(black, 10, 1, kGrey);
  std::memset(black.current_->bits, 0, ImageBytes(black.current_));
  ASSERT_TRUE(SaveImageFile(black, dir.File("b.pbm").c_str(), 0));
  EXPECT_EQ(Text(ReadFileBytes(dir.File("b.pbm"))), std::string("P4\n10 1\n\xFF\xC0"));
}

TEST(PnmSave, ColourImagesAreConvertedOnlyAfterTheQuestion) {
  TempDir dir;
  Filter doc;
  Fill(doc, 9, 4, kColour);
  const DibImage* current = doc.current_;
  const std::vector<uint8_t> before = Pixels24(current);
  struct Case {
    const char* name;
    const char* question;
  };
  for (const Case& c : {Case{"g.pgm", "モノクロ画像に変換しますか？"}, Case{"t.pbm", "白黒2値画像に変換しますか？"}}) {
    SCOPED_TRACE(c.name);
    RecordingChannel channel;
    channel.answers = {IDCANCEL};
    EXPECT_FALSE(SaveImageFile(doc, dir.File(c.name).c_str(), 0));
    ASSERT_EQ(channel.boxes.size(), 1u);
    EXPECT_EQ(channel.boxes[0].text, c.question);
    EXPECT_EQ(channel.boxes[0].caption, "問合せ");
    EXPECT_EQ(channel.boxes[0].style, static_cast<unsigned>(MB_OKCANCEL | MB_ICONQUESTION));
    EXPECT_FALSE(channel.boxes[0].owned);
    EXPECT_TRUE(ReadFileBytes(dir.File(c.name)).empty());
    ASSERT_TRUE(SaveImageFile(doc, dir.File(c.name).c_str(), 0));  // answered OK
    Loaded in(dir.File(c.name));
    ASSERT_TRUE(in.ok);
    EXPECT_TRUE(Filter::IsGrayImage(in.image()));
    EXPECT_TRUE(c.name[0] == 'g' || Filter::IsTwoLevelImage(in.image()));
    EXPECT_EQ(doc.image_count_, 1);
    EXPECT_EQ(doc.current_, current);
    EXPECT_EQ(doc.pending_, current);
    EXPECT_EQ(Pixels24(current), before);
  }
  // tessamor-cli's --pnm-ascii is the PgmSaveMode setting.
  ASSERT_TRUE(SaveImageFile(doc, dir.File("in.ppm").c_str(), 0));
  const std::string cli = std::string(TESSAMOR_CLI) + " " + dir.File("in.ppm");
  ASSERT_EQ(RunCommand(cli + " --pnm-ascii -o " + dir.File("out.ppm") + " 2>&1"), 0);
  EXPECT_EQ(Text(ReadFileBytes(dir.File("out.ppm"))).substr(0, 3), "P3\n");
  ASSERT_EQ(RunCommand(cli + " -o " + dir.File("out.ppm") + " 2>&1"), 0);
  EXPECT_EQ(Text(ReadFileBytes(dir.File("out.ppm"))).substr(0, 3), "P6\n");
}

TEST(PnmRead, FilesOfImageMagickAndNetpbmReadExactly) {
  TempDir dir;
  Filter doc;
  Fill(doc, 23, 7, kColour);
  const std::string src = dir.File("src.ppm");
  ASSERT_TRUE(SaveImageFile(doc, src.c_str(), 0));
  // Files made by ImageMagick (maxima 255 and 65535) and by netpbm (also 100, 1023 and 4095),
  // each checked against netpbm's own scaling to a maximum of 255.
  const std::string im = "/usr/bin/convert " + src;
  const std::string commands[] = {im + " -compress none ppm:-",
                                  im + " -depth 16 ppm:-",
                                  im + " -depth 16 -compress none ppm:-",
                                  im + " -colorspace gray pgm:-",
                                  im + " -colorspace gray -depth 16 pgm:-",
                                  im + " -colorspace gray -compress none pgm:-",
                                  im + " -monochrome pbm:-",
                                  im + " -monochrome -compress none pbm:-",
                                  "pnmtoplainpnm " + src,
                                  "ppmtopgm " + src,
                                  "ppmtopgm " + src + " | pnmtoplainpnm",
                                  "ppmtopgm " + src + " | pgmtopbm",
                                  "ppmtopgm " + src + " | pgmtopbm | pnmtoplainpnm",
                                  "pamdepth 1023 " + src,
                                  "pamdepth 100 " + src + " | pnmtoplainpnm",
                                  "ppmtopgm " + src + " | pamdepth 4095",
                                  "pamtopam < " + src + " | pamtopnm"};
  std::set<std::string> magics;
  for (const std::string& command : commands) {
    SCOPED_TRACE(command);
    const std::string out = dir.File("t.ppm");
    ASSERT_EQ(RunCommand(command + " > " + out + " 2>/dev/null"), 0);
    magics.insert(Text(ReadFileBytes(out)).substr(0, 2));
    std::string reference;
    ASSERT_EQ(RunCommand("pamdepth 255 " + out + " 2>/dev/null | ppmtoppm", &reference), 0);
    size_t start = 0;
    for (int line = 0; line < 3; ++line) start = reference.find('\n', start) + 1;
    std::vector<uint8_t> bgr(reference.begin() + static_cast<std::ptrdiff_t>(start), reference.end());
    for (size_t i = 0; i + 2 < bgr.size(); i += 3) std::swap(bgr[i], bgr[i + 2]);
    Loaded in(out);
    ASSERT_TRUE(in.ok);
    EXPECT_EQ(Pixels24(in.image()), bgr);
  }
  EXPECT_EQ(magics.size(), 6u);  // every variant came along
}

TEST(PnmRead, HeaderRulesScalingAndRefusals) {
  TempDir dir;
  struct Case {
    const char* what;
    std::string bytes;
    std::vector<uint8_t> greys;  // expected blue bytes of the pixels; empty: refused
  };
  const Case cases[] = {
      {"comment line", "P2\n# made by hand\n2 1\n255\n0 255\n", {0, 255}},
      {"two-byte samples", std::string("P5\n2 1\n65535\n\x80\x00\xFF\xFF", 17), {128, 255}},
      {"maximum 100, a sample above it", "P2\n3 1\n100\n50 200 0\n", {128, 255, 0}},
      {"P4 padding bits ignored", "P4\n10 1\n\x80\x7F", {0, 255, 255, 255, 255, 255, 255, 255, 255, 0}},
      {"P1 digits without blanks", "P1\n3 1\n101", {0, 255, 0}},
      {"last row cut short", "P5\n3 1\n255\n\x10", {16, 255, 255}},
      {"carriage return after the magic", "P6\r\n1 1\n255\n\x01\x02\x03", {}},
      {"unknown magic", "P7\n1 1\n255\n\x01", {}},
      {"maximum 0", "P2\n1 1\n0\n0\n", {}},
      {"maximum above 65535", "P2\n1 1\n65536\n0\n", {}},
      {"size line without a blank", "P2\n1\n255\n0\n", {}},
      {"width 0", "P5\n0 1\n255\n", {}},
      {"more rows than the file holds", "P5\n100 100\n255\n0123456789", {}},
      {"size that overflows", "P6\n70000 70000\n255\n", {}},
      {"header cut short", "P3\n2 2\n", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteFileBytes(dir.File("x.pgm"), std::vector<uint8_t>(c.bytes.begin(), c.bytes.end()));
    Loaded in(dir.File("x.pgm"));
    if (c.greys.empty()) {
      EXPECT_FALSE(in.ok);
      EXPECT_TRUE(in.channel.ShowedOnly(kMsgUnsupported));
      EXPECT_EQ(in.doc.image_count_, 0);
      continue;
    }
    ASSERT_TRUE(in.ok);
    std::vector<uint8_t> blue;
    for (size_t x = 0; x < c.greys.size(); ++x) blue.push_back(RowAddress(in.image(), 0)[3 * x]);
    EXPECT_EQ(blue, c.greys);
  }
}

}  // namespace
