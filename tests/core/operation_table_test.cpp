// The operation table and what goes by it: every operation on every source depth and on tiny,
// wide and tall images (under the sanitizers nothing may be read or written outside a buffer,
// and the current image stays as it was), and the command-line tool.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>

#include "app/command_table.h"
#include "processing/operation_table.h"
#include "tests/core/test_support.h"

namespace {

// A source of the depth (0: run-length 8-bit, -4: run-length 4-bit, in runs of three so that
// the coding fits) and size with random pixels.
ImagePtr Source(int depth, int width, int height, uint32_t seed) {
  if (depth > 0) return RandomImage(width, height, depth, seed);
  const int bpp = depth == 0 ? 8 : 4;
  ImagePtr image = NewImage(width, height, bpp);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) RowAddress(image.get(), y)[x * bpp / 8] = static_cast<uint8_t>(x / 3 + y);
  EncodeRle(image.get());
  return image;
}

TEST(Operations, EveryOneOnEveryDepthAndOddSize) {
  const int depths[] = {1, 4, 8, 16, 24, 32, 0, -4};
  const int sizes[][2] = {{1, 1}, {2, 2}, {3, 3}, {23, 1}, {1, 19}, {9, 7}, {40, 3}};
  RecordingChannel channel;  // questions answered with OK, boxes recorded and passed over
  for (const OperationEntry* e = kOperations; e->id; ++e)
    for (int depth : depths)
      for (const auto& size : sizes) {
        SCOPED_TRACE(std::string(e->name) + " depth " + std::to_string(depth) + " size " + std::to_string(size[0]) +
                     "x" + std::to_string(size[1]));
        Filter doc;
        Commit(doc, Source(depth, size[0], size[1], static_cast<uint32_t>(e->id + depth)));
        const DibImage* current = doc.current_;
        const std::vector<uint8_t> bits(current->bits, current->bits + ImageBytes(current)),
            info(reinterpret_cast<uint8_t*>(current->info), reinterpret_cast<uint8_t*>(current->info) + InfoBytes(current));
        ASSERT_TRUE(!e->second_image || doc.PrepareBlend(Source(24, size[1] + 1, size[0], 3).release()));
        const double rotate45 = 45, half[2] = {0.5, 0.5};
        const double* values = e->id == 128 ? &rotate45 : e->id == 154 ? half : nullptr;
        const bool ran = doc.RunOperation(e->id, values, values ? e->value_count : 0);
        EXPECT_TRUE(std::equal(bits.begin(), bits.end(), current->bits));
        EXPECT_TRUE(std::equal(info.begin(), info.end(), reinterpret_cast<uint8_t*>(current->info)));
        if (!ran) continue;
        const DibImage* out = doc.pending_;
        ASSERT_NE(out, doc.current_);
        ASSERT_EQ(out->stride, RowBytes(Width(out), BitCount(out)));
        ASSERT_GE(ImageBytes(out), static_cast<size_t>(out->stride) * Height(out));
        const bool flip = e->id == 123 || e->id == 124, resized = e->id == 128 || e->id == 154;
        EXPECT_TRUE(resized || (Width(out) == size[0] && Height(out) == size[1]));
        const BITMAPINFOHEADER &o = out->info->bmiHeader, &c = current->info->bmiHeader;
        EXPECT_TRUE(!flip || (o.biBitCount == c.biBitCount && o.biCompression == c.biCompression &&  // kept by the
                              out->colours == current->colours &&                                    // flips
                              std::memcmp(Palette(out), Palette(current), 4 * out->colours) == 0));
        ASSERT_TRUE(ImagePtr(doc.MakeTrueColorCopy(out)));  // every pixel of the result readable
        ASSERT_TRUE(doc.Commit());
        EXPECT_EQ(doc.image_count_, 2);
      }
}

TEST(Operations, TableNamesAndLabels) {
  std::set<std::string> names;
  for (const OperationEntry* e = kOperations; e->id; ++e) {
    EXPECT_NE(CommandLabel(e->id), nullptr) << e->id;  // every operation is a menu command
    EXPECT_TRUE(names.insert(e->name).second) << e->name;
    EXPECT_EQ(FindOperation(e->name), e);
    double initial[4];
    for (int i = 0; i < e->value_count; ++i) initial[i] = e->values[i].initial;
    char problem[160] = "";
    EXPECT_TRUE(CheckOperationValues(*e, initial, e->value_count, problem, sizeof problem)) << problem;
  }
}

TEST(CommandLine, ReadsAppliesWritesReportsAndRefuses) {
  TempDir dir;
  int status;
  const std::string s = dir.File("s.bmp"), in = s + " ", out = " -o " + dir.File("o.bmp"), no = " -o " + dir.File("no.bmp");
  Cli("--sample " + s, &status);
  ASSERT_EQ(status, 0);
  WriteFileBytes(dir.File("bad.bmp"), {'B', 'M', 0, 0});
  const struct Row { std::string args; int status; const char* says; } rows[] = {  // says: a part of the output
      {"--info " + s, 0, "format: BMP\nsize: 640 x 480\nbits per pixel: 24\npalette: 0\ncolour form: TrueColor(24bit)\n"
                         "compression: BI_RGB\n"},
      {"--help", 0, u8"108  negative          ネガ変換\n"},  // UTF-8 on the terminal
      {in + "--cmd gamma=2.2 --cmd rgb=10,0,-10 --cmd hsv=30,0.5,-20" + out, 0, ""},
      {in + "--cmd rgb=1,2" + out, 0, ""},  // the missing value takes the dialog's start
      {in + "--cmd undo --cmd restore" + out, 0, ""},
      {"--max-pixels 307200 --info " + s, 0, ""},
      {in + "--cmd gamma=9" + no, 1, "gamma: gamma takes a number from 0.01 to 3"},
      {in + "--cmd rgb=1,2,3,4" + no, 1, "rgb takes 3 values"},
      {in + "--cmd rotate=12.5" + no, 1, "rotate: angle takes a whole number from 0 to 360"},
      {in + "--cmd gradation=12" + no, 1, "gradation: levels takes 2, 4, 8"},
      {in + "--cmd negative=1" + no, 1, "negative takes no values"},
      {in + "--cmd gamma=x" + no, 1, "gamma: 'x' is not a number"},
      {in + "--cmd sharpest" + no, 1, "unknown command 'sharpest'"},
      {in + "--cmd overlay" + no, 1, "overlay needs the second image: --with FILE"},
      {dir.File("missing.bmp") + no, 1, u8"ファイルをオープンできませんでした!!"},
      {"--info " + dir.File("bad.bmp"), 1, ""},
      {dir.File("bad.bmp") + " --cmd 999" + no, 1, ""},
      // Ids that an int cannot hold never wrap round to a known one (2^32 + 108), nor do limits.
      {in + "--cmd 4294967404" + no, 1, "see --help"},
      {in + "--cmd -108" + no, 1, "see --help"},
      {in + "--cmd 108x" + no, 1, "see --help"},
      {in + "--max-pixels 0" + no, 1, "see --help"},
      {in + "--max-pixels -5" + no, 1, "see --help"},
      {in + "--max-pixels 99999999999" + no, 1, "see --help"},
      // A refusal's reason on a line of its own, under the box's text; the size limit as an option.
      {"--max-pixels 1000 --info " + s, 1,
       u8"誤っています!!\nreason: too large for the size limit: 640 x 480 is 307200 pixels, the limit is 1000\n"},
      {"", 1, ""},
  };
  for (const Row& row : rows) {
    const std::string said = Cli(row.args, &status);
    EXPECT_EQ(status, row.status) << row.args << "\n" << said;
    EXPECT_NE(said.find(row.says), std::string::npos) << row.args << "\n" << said;
  }
  EXPECT_TRUE(ReadFileBytes(dir.File("no.bmp")).empty());
  // The negative twice is the picture; grey makes a grey picture; the difference of the image
  // with itself (the image of --with) is black.
  Cli(in + "--cmd 108 --cmd negative" + out, &status);
  EXPECT_EQ(ReadFileBytes(dir.File("o.bmp")), ReadFileBytes(s));
  Cli(in + "--cmd 109" + out, &status);
  const OpenedFile grey(dir.File("o.bmp"));
  EXPECT_TRUE(grey.ok && Filter::IsGrayImage(grey.image()));
  Cli(in + "--cmd difference --with " + s + out, &status);
  const OpenedFile black(dir.File("o.bmp"));
  EXPECT_TRUE(black.ok && Pixels24(black.image()) == std::vector<uint8_t>(640 * 480 * 3, 0));
}

}  // namespace
