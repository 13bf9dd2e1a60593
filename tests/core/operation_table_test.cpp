// The operation table and what goes by it: every operation on every source depth and on tiny,
// wide and tall images (under the sanitizers nothing may be read or written outside a buffer),
// and the command-line tool's names, values and refusals.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "app/command_table.h"
#include "processing/operation_table.h"
#include "tests/core/test_support.h"

namespace {

// A source of the depth (0: run-length 8-bit, -4: run-length 4-bit) and size with random pixels.
ImagePtr Source(int depth, int width, int height, uint32_t seed) {
  const int bpp = depth <= 0 ? -depth + (depth == 0 ? 8 : 0) : depth;
  ImagePtr image = NewImage(width, height, bpp);
  FillRandom(image.get(), seed);
  if (depth <= 0) EncodeRle(image.get());
  return image;
}

TEST(Operations, EveryOneOnEveryDepthAndOddSize) {
  const int depths[] = {1, 4, 8, 16, 24, 32, 0, -4};
  const int sizes[][2] = {{1, 1}, {2, 2}, {3, 3}, {23, 1}, {1, 19}, {9, 7}};
  RecordingChannel channel;  // questions answered with OK, boxes recorded and passed over
  for (const OperationEntry* e = kOperations; e->id; ++e) {
    for (int depth : depths) {
      for (const auto& size : sizes) {
        SCOPED_TRACE(std::string(e->name) + " depth " + std::to_string(depth) + " size " + std::to_string(size[0]) +
                     "x" + std::to_string(size[1]));
        Filter doc;
        doc.pending_ = Source(depth, size[0], size[1], static_cast<uint32_t>(e->id + depth)).release();
        doc.Commit();
        if (e->second_image) {
          ASSERT_TRUE(doc.PrepareBlend(Source(24, size[1] + 1, size[0], 3).release()));
        }
        const double rotate45 = 45, half[2] = {0.5, 0.5};
        const double* values = e->id == 128 ? &rotate45 : e->id == 154 ? half : nullptr;
        if (!doc.RunOperation(e->id, values, values ? e->value_count : 0)) continue;
        const DibImage* out = doc.pending_;
        ASSERT_NE(out, doc.current_);
        ASSERT_EQ(out->stride, RowBytes(Width(out), BitCount(out)));
        ASSERT_GE(ImageBytes(out), static_cast<size_t>(out->stride) * Height(out));
        if (e->id != 128 && e->id != 154) {
          EXPECT_EQ(Width(out) * 1000 + Height(out), size[0] * 1000 + size[1]);
        }
        ImagePtr rgb(doc.MakeTrueColorCopy(out));  // every pixel of the result readable
        ASSERT_TRUE(rgb);
        ASSERT_TRUE(doc.Commit());
        EXPECT_EQ(doc.image_count_, 2);
      }
    }
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

std::string Cli(const std::string& args, int* status) {
  std::string out;
  *status = RunCommand(std::string(TESSAMOR_CLI) + " " + args + " 2>&1", &out);
  return out;
}

TEST(CommandLine, CommandsByNameWithValuesAndTheirRefusals) {
  TempDir dir;
  int status;
  Cli("--sample " + dir.File("s.bmp"), &status);
  ASSERT_EQ(status, 0);
  const std::string in = dir.File("s.bmp") + " ", out = " -o " + dir.File("o.bmp");
  const struct Row {
    const char* args;
    int status;
    const char* says;  // a part of the output; "" for none expected
  } rows[] = {
      {"--cmd negative --cmd 108", 0, ""},
      {"--cmd gamma=2.2 --cmd rgb=10,0,-10 --cmd hsv=30,0.5,-20", 0, ""},
      {"--cmd gamma=9", 1, "gamma: gamma takes a number from 0.01 to 3"},
      {"--cmd rgb=1,2", 0, ""},  // the missing value takes the dialog's start
      {"--cmd rgb=1,2,3,4", 1, "rgb takes 3 values"},
      {"--cmd rotate=12.5", 1, "rotate: angle takes a whole number from 0 to 360"},
      {"--cmd gradation=12", 1, "gradation: levels takes 2, 4, 8"},
      {"--cmd negative=1", 1, "negative takes no values"},
      {"--cmd gamma=x", 1, "gamma: 'x' is not a number"},
      {"--cmd sharpest", 1, "unknown command 'sharpest'"},
      {"--cmd overlay", 1, "overlay needs the second image: --with FILE"},
      {"--cmd undo --cmd restore", 0, ""},
  };
  for (const Row& row : rows) {
    const std::string said = Cli(in + row.args + out, &status);
    EXPECT_EQ(status, row.status) << row.args << "\n" << said;
    EXPECT_NE(said.find(row.says), std::string::npos) << row.args << "\n" << said;
  }
  // Compositing with the image of --with: with itself, "difference" gives black.
  Cli(in + "--cmd difference --with " + dir.File("s.bmp") + out, &status);
  ASSERT_EQ(status, 0);
  Filter doc;
  ASSERT_TRUE(OpenImageFile(doc, dir.File("o.bmp").c_str()));
  const std::vector<uint8_t> pixels = Pixels24(doc.current_);
  EXPECT_EQ(std::count(pixels.begin(), pixels.end(), 0), static_cast<long>(pixels.size()));
}

}  // namespace
