// The thumbnail browser's arithmetic (thumbnail size, sheet cells, scrolling, the arrow keys,
// labels and texts) and the JPEG reader's reduced decoding for thumbnails against djpeg -scale
// (also of a picture the EXIF orientation turns).
#include <gtest/gtest.h>

#include "document/thumbnail_layout.h"
#include "formats/jpeg_io.h"
#include "tests/core/test_support.h"

namespace {

TEST(Thumbnails, SizeInTheBox) {
  const struct {
    int w, h, box_w, box_h, tw, th;
  } rows[] = {
      {100, 50, 80, 80, 66, 33},     // rw 1.5, rh 0.5
      {40, 30, 80, 80, 80, 60},      // smaller than the box: twice as large
      {60, 60, 80, 80, 80, 80},      // twice as large, limited to the box
      {152, 50, 80, 80, 80, 26},     // rw 1.5 overflows: limited as a whole, not squeezed to 80 x 33
      {100, 50, 120, 100, 120, 60},  // doubled 200 x 100, limited to 120 x 60 (not 120 x 100)
      {60, 90, 120, 100, 66, 100},
      {4000, 3000, 80, 80, 79, 59},  // rw 50.5
      {3000, 4000, 80, 80, 59, 79},
      {300, 300, 150, 100, 85, 85},  // rh 3.5 decides
      {1, 10000, 80, 80, 1, 79},     // a line, never 0 wide
  };
  for (const auto& r : rows) {
    const ThumbSize t = ThumbnailSize(r.w, r.h, r.box_w, r.box_h);
    EXPECT_EQ(std::to_string(t.width) + "x" + std::to_string(t.height), std::to_string(r.tw) + "x" + std::to_string(r.th))
        << r.w << "x" << r.h << " in " << r.box_w << "x" << r.box_h;
  }
}

TEST(Thumbnails, SheetCellsAndScrolling) {
  const struct {
    int client_width, count, box_w, box_h;
    int columns, rows, last_row, sheet_w, sheet_h;
    CellPoint first, last;
  } rows[] = {
      {280, 7, 80, 80, 3, 3, 1, 270, 315, {10, 0}, {10, 210}},
      {279, 7, 80, 80, 2, 4, 1, 180, 420, {10, 0}, {10, 315}},
      {800, 13, 120, 100, 6, 3, 1, 780, 375, {10, 0}, {10, 250}},
      {800, 12, 120, 100, 6, 2, 6, 780, 250, {10, 0}, {660, 125}},
      {50, 2, 80, 80, 1, 2, 1, 90, 210, {10, 0}, {10, 105}},  // narrower than a cell: one column
  };
  for (const auto& r : rows) {
    const SheetLayout s = MakeSheetLayout(r.client_width, r.count, r.box_w, r.box_h, 12);
    const CellPoint first = CellOrigin(s, 0), last = CellOrigin(s, r.count - 1);
    EXPECT_EQ(s.cell_height, r.box_h + 17);
    EXPECT_EQ((std::vector<int>{s.columns, s.rows, s.LastRowCount(), s.sheet_width, s.sheet_height, first.x, first.y,
                                last.x, last.y}),
              (std::vector<int>{r.columns, r.rows, r.last_row, r.sheet_w, r.sheet_h, r.first.x, r.first.y, r.last.x,
                                r.last.y}))
        << r.client_width << " " << r.count;
  }
  // Five rows 105 pixels apart: the last row can always be scrolled fully into view.
  const SheetLayout s = MakeSheetLayout(280, 15, 80, 80, 12);
  const struct {
    int client_height, largest;
  } ends[] = {{420, 105}, {500, 105}, {419, 210}, {525, 0}, {600, 0}, {50, 525}};
  for (const auto& e : ends) EXPECT_EQ(LargestScroll(s, e.client_height), e.largest) << e.client_height;
  const struct {
    int row, scroll, client_height, expect;
  } shows[] = {
      {4, 0, 420, 105}, {3, 0, 420, 0}, {0, 105, 420, 0}, {2, 105, 420, 105}, {4, 0, 300, 315},
      {4, 0, 50, 420},  // lower than a row: its top, within the largest offset 420
  };
  for (const auto& v : shows)
    EXPECT_EQ(ScrollToShow(s, v.row, v.scroll, v.client_height, LargestScroll(s, v.client_height)), v.expect)
        << v.row << " " << v.scroll << " " << v.client_height;
}

TEST(Thumbnails, ArrowKeysOnSevenFilesInThreeColumns) {
  using K = ThumbKey;
  const struct {
    Selection from;
    K key;
    Selection to;
  } rows[] = {
      {{1, 0}, K::kLeft, {0, 0}},  {{0, 1}, K::kLeft, {2, 0}},  {{0, 0}, K::kLeft, {0, 0}},
      {{1, 1}, K::kUp, {1, 0}},    {{1, 0}, K::kUp, {1, 0}},    {{1, 0}, K::kRight, {2, 0}},
      {{2, 0}, K::kRight, {0, 1}}, {{2, 1}, K::kRight, {0, 2}}, {{0, 2}, K::kRight, {0, 2}},  // the last file
      {{0, 1}, K::kDown, {0, 2}},  {{1, 1}, K::kDown, {1, 1}},  {{2, 1}, K::kDown, {2, 1}},
      {{0, 2}, K::kDown, {0, 2}},
  };
  for (const auto& r : rows) {
    const Selection s = MoveSelection(r.from, r.key, 3, 7);
    EXPECT_EQ(std::make_pair(s.column, s.row), std::make_pair(r.to.column, r.to.row))
        << r.from.column << "," << r.from.row << " key " << static_cast<int>(r.key);
  }
  // A full last row: Right at the last file stays there too.
  const Selection end = MoveSelection({2, 1}, K::kRight, 3, 6);
  EXPECT_EQ(std::make_pair(end.column, end.row), std::make_pair(2, 1));
}

TEST(Thumbnails, LabelsAndTexts) {
  EXPECT_EQ(LabelLimit(80, 4), 18);
  EXPECT_EQ(LabelLimit(150, 6), 24);
  const std::string kanji = "写真";  // two double-byte characters in code page 932
  ASSERT_EQ(kanji.size(), 4u);
  const struct {
    std::string name;
    int limit;
    size_t bytes;
  } rows[] = {{"abcdefghijklmnopqrstuvwxyz.bmp", 18, 18}, {"a.bmp", 18, 5}, {"a" + kanji, 4, 3},
              {"ab" + kanji, 4, 4}, {kanji + "x", 18, 5}, {"abc", 0, 0}};
  for (const auto& r : rows) EXPECT_EQ(LabelBytes(r.name.c_str(), r.limit), r.bytes) << r.name << " " << r.limit;

  EXPECT_EQ(ThumbnailTitle("C:\\pictures", 12), "サムネイル表示 C:\\pictures [12枚]");
  ThumbnailEntry e{};
  std::snprintf(e.name, sizeof e.name, "a.jpg");
  std::snprintf(e.date, sizeof e.date, "2024/01/02 03:04:05");
  e.width = 4000, e.height = 3000, e.image_bytes = 36000000;
  EXPECT_EQ(ThumbnailTip(e),
            "a.jpg\r\nサイズ:4000 x 3000 pixels\r\n画素数:36000000 bytes\r\n作成日時:2024/01/02 03:04:05");
}

TEST(Thumbnails, JpegDecodedReducedKeepsTheFullSize) {
  const struct {
    int w, h, box_w, box_h, denominator;
  } reductions[] = {{4000, 3000, 80, 80, 8}, {639, 639, 80, 80, 4}, {640, 100, 80, 80, 8}, {159, 1000, 80, 80, 8},
                    {100, 50, 80, 80, 1},    {1000, 600, 150, 150, 4}, {300, 200, 150, 100, 2}};
  for (const auto& r : reductions)
    EXPECT_EQ(ThumbnailReduction(r.w, r.h, r.box_w, r.box_h), r.denominator) << r.w << "x" << r.h;

  if (RunCommand("command -v djpeg >/dev/null") != 0) GTEST_SKIP() << "djpeg is not installed";
  TempDir dir;
  const std::string file = dir.File("photo.jpg");
  ImagePtr picture = NewImage(1000, 600, 24);
  for (int y = 0; y < 600; ++y)
    for (int x = 0; x < 1000; ++x) {
      uint8_t* p = RowAddress(picture.get(), y) + 3 * x;
      p[0] = static_cast<uint8_t>(x / 4), p[1] = static_cast<uint8_t>(y / 3), p[2] = static_cast<uint8_t>((x ^ y) & 0xFF);
    }
  // Every block a pixel at an eighth (no colour subsampling): the reduction is djpeg's exactly.
  WritePpm(dir.File("photo.ppm"), picture.get());
  ASSERT_EQ(RunCommand("cjpeg -sample 1x1 -outfile '" + file + "' '" + dir.File("photo.ppm") + "'"), 0);
  // The same picture with an EXIF orientation 6 (turned a quarter clockwise to be shown): an
  // APP1 segment right after the start marker.
  const std::vector<uint8_t> app1 = {0xFF, 0xE1, 0, 34, 'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0,
                                     1, 0, 0x12, 1, 3, 0, 1, 0, 0, 0, 6, 0, 0, 0, 0, 0, 0, 0};
  std::vector<uint8_t> bytes = ReadFileBytes(file);
  bytes.insert(bytes.begin() + 2, app1.begin(), app1.end());
  const std::string turned = dir.File("turned.jpg");
  WriteFileBytes(turned, bytes);
  const struct {
    const std::string& path;
    int box, width, height, scale, full_width, full_height;
    const char* turn;  // how netpbm turns djpeg's picture
  } reads[] = {{file, 80, 125, 75, 8, 1000, 600, ""},
               {file, 150, 250, 150, 4, 1000, 600, ""},
               {file, 0, 1000, 600, 1, 1000, 600, ""},
               {turned, 80, 75, 125, 8, 600, 1000, " | pamflip -cw"}};
  for (const auto& r : reads) {
    MDIBCtrl doc;
    RecordingChannel channel;
    JpegIOClass reader;
    reader.SetThumbnailBox(r.box, r.box);
    ImagePtr image(LoadImageWith(doc, reader, r.path.c_str()));
    ASSERT_TRUE(image) << r.box;
    EXPECT_EQ((std::vector<int>{Width(image.get()), Height(image.get()), BitCount(image.get()), reader.full_width(),
                                reader.full_height()}),
              (std::vector<int>{r.width, r.height, 24, r.full_width, r.full_height}))
        << r.path << " " << r.box;
    EXPECT_EQ(RgbPixels(image.get()),
              NetpbmRgb("djpeg -scale 1/" + std::to_string(r.scale) + " '" + r.path + "'" + r.turn))
        << r.path << " " << r.box;
  }
}

}  // namespace
