// The view arithmetic beyond what the real window shows; where view flags combine, the first
// matching command-state row wins (the single rows: the Win32 tests); the settings file:
// defaults, the profile reader's rules, the exact text written and the write through a temporary.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>

#include "app/command_states.h"
#include "app/settings.h"
#include "document/view_math.h"
#include "document/view_reductions.h"
#include "tests/core/test_support.h"

namespace {

std::string Placed(int free_w, int free_h, int iw, int ih, int zoom, bool fit = false) {
  const ImageRect r = ComputeImageRect(ViewPlacement{ViewRect{0, 28, free_w, 28 + free_h}, iw, ih, zoom, 0, 0, fit});
  return std::to_string(r.x) + "," + std::to_string(r.y) + " " + std::to_string(r.width) + "x" +
         std::to_string(r.height);
}

TEST(ViewMath, PlacementWheelEdgesAndVisiblePart) {
  EXPECT_EQ(Placed(801, 572, 1000, 10, 100), "-100,309 1000x10");  // odd differences shift arithmetically
  EXPECT_EQ(Placed(800, 572, 1 << 27, 2, 5000), "-3355442800,264 6710886400x100");  // exact in 64 bits
  // A slideshow shrinks a large image by the height rule, then by the width rule with the ratio
  // of the unshrunk width; it never enlarges, and a drawn width of 0 divides by nothing.
  EXPECT_EQ(Placed(1000, 800, 2000, 1000, 100, true), "100,228 800x400");
  EXPECT_EQ(Placed(1000, 800, 300, 200, 100, true), "350,328 300x200");
  EXPECT_EQ(Placed(1000, 800, 50, 200, 1, true), "500,427 0x2");

  int step = kStartZoomStep;  // the wheel stops at 1 and 5000 %
  EXPECT_EQ(std::to_string(WheelZoom(5, 1, &step)) + " " + std::to_string(WheelZoom(5, -1, &step)) + " " +
                std::to_string(WheelZoom(1, -120, &step)) + " " + std::to_string(WheelZoom(5000, 120, &step)),
            "6 4 1 5000");
  step = 7;  // outside every band the previous step is used again
  EXPECT_EQ(ZoomStepAt(5000, step), 7);
  EXPECT_TRUE(WheelZoom(4999, 120, &step) == 5000 && step == 1000);

  // Only the part of a 6000 x 4000 image inside the clip goes to the blit, at every zoom.
  const ViewRect clip{0, 28, 1280, 800};
  BlitRect b;
  auto visible = [&](int zoom, int scroll_x) {
    return VisiblePart(ComputeImageRect(ViewPlacement{clip, 6000, 4000, zoom, scroll_x, 0, false}), 6000, 4000, clip,
                       &b);
  };
  EXPECT_TRUE(visible(100, 0) && b.src_width == 1280 && b.src_height == 772 && b.src_x == 2360 && b.dest_x == 0 &&
              b.dest_y == 28);
  // 5000 %: a few source pixels, each 50 screen pixels, covering the clip; 1 %: all into 60 x 40.
  EXPECT_TRUE(visible(5000, 0) && b.src_width <= 1280 / 50 + 2 && b.dest_x <= 0 && b.dest_x + b.dest_width >= 1280 &&
              b.dest_width == b.src_width * 50);
  EXPECT_TRUE(visible(1, 0) && b.src_width == 6000 && b.dest_width == 60);
  EXPECT_FALSE(visible(100, 100000));  // panned out of the view
}

TEST(CommandStates, FirstMatchingRowWins) {
  EXPECT_EQ(CurrentModeRow(kViewThumbnails | kViewSlideshow, 1), ModeRow::kSlideshow);
  EXPECT_EQ(CurrentModeRow(kViewSlideshow | kViewTrimming, 1), ModeRow::kTrimming);
  EXPECT_EQ(CurrentModeRow(kViewReducing | kViewTrimming, 1), ModeRow::kReducing);
  EXPECT_EQ(CurrentModeRow(kViewSettings | kViewRenaming | kViewBlendLoading, 0), ModeRow::kNoImage);
  EXPECT_EQ(TooltipStringId(129, kViewSlideshow | kViewTrimming), 327);
  EXPECT_EQ(TooltipStringId(130, kViewSlideshow | kViewTrimming), 332);
}

const std::string kLastSections =
    "[SLIDESHOW]\r\nSlideInterval = 5\r\nSlideMode = 1\r\n[FLFILTER]\r\nFlFilter = 2\r\n"
    "[THUMBNAIL]\r\nThumbWidth = 80\r\nThumbHeight = 80\r\n[PPMPGMPBM]\r\nPgmSaveMode = 0\r\n";

TEST(Settings, DefaultsColourTextsAndForeignSections) {
  EXPECT_EQ(SettingsIniText("", ParseSettings("", "C:\\pics")),
            "[DIRECTORY]\r\nDirName=C:\\pics\r\n[COLOR]\r\nBkColor = 0xffffff\r\n" + kLastSections);
  // Hexadecimal as written, decimal by hand, octal; unreadable is black.
  for (auto [text, colour] : {std::pair{"0x0000ff", 255u}, {"255", 255u}, {"010", 8u}, {"blue", 0u}})
    EXPECT_EQ(ParseColourText(text), colour) << text;
  Settings s;
  std::snprintf(s.dir_name, sizeof s.dir_name, "new");
  EXPECT_EQ(
      SettingsIniText("[OTHER]\r\nx=1\r\n[COLOR]\r\nBkColor = 255\r\nStale = 1\r\n[DIRECTORY]\r\nMine=keep\r\n"
                      "dirname=old\r\n",
                      s),
      "[OTHER]\r\nx=1\r\n[COLOR]\r\nBkColor = 0xffffff\r\n[DIRECTORY]\r\nMine=keep\r\nDirName=new\r\n" + kLastSections);
}

TEST(Settings, ReadsLikeTheProfileReaderAndWritesThroughATemporary) {
  const Settings s = ParseSettings(
      "; comment\r\n[color]\r\n  bkcolor   =   65280  \r\n[SLIDESHOW]\r\nSlideInterval=9\r\nSlideMode = 0\r\n"
      "[FLFILTER]\r\nFlFilter = 7 trailing\r\n[DIRECTORY]\r\nDirName=D:\\photos\r\n[THUMBNAIL]\r\nThumbWidth = 44\r\n"
      "[PPMPGMPBM]\r\nPgmSaveMode = 1\r\n",
      "C:\\pics");
  EXPECT_EQ(SettingsIniText("", s),
            "[DIRECTORY]\r\nDirName=D:\\photos\r\n[COLOR]\r\nBkColor = 0x00ff00\r\n"
            "[SLIDESHOW]\r\nSlideInterval = 9\r\nSlideMode = 0\r\n[FLFILTER]\r\nFlFilter = 7\r\n"
            "[THUMBNAIL]\r\nThumbWidth = 44\r\nThumbHeight = 80\r\n[PPMPGMPBM]\r\nPgmSaveMode = 1\r\n");
  TempDir dir;  // the file: written whole through a temporary, or not at all
  const std::string path = dir.File("Tessamor.ini");
  EXPECT_EQ(ReadTextFile(path.c_str()), "");
  ASSERT_TRUE(WriteTextFile(path.c_str(), "[A]\r\nb=c\r\n"));
  EXPECT_EQ(ReadTextFile(path.c_str()) + std::to_string(ReadFileBytes(path + ".tmp~").size()), "[A]\r\nb=c\r\n0");
  EXPECT_FALSE(WriteTextFile((dir.File("missing") + "/x.ini").c_str(), "x"));
}

TEST(Settings, SizeLimitIsReadOnlyAndTakesOnlyAWholeNumberAboveZero) {
  for (auto [text, pixels] : {std::pair{"1000", uint64_t{1000}}, {"4294967296", uint64_t{1} << 32}, {"0", kDefaultMaxPixels},
                              {"-5", kDefaultMaxPixels}, {"12k", kDefaultMaxPixels}, {"", kDefaultMaxPixels}})
    EXPECT_EQ(ParseSettings(std::string("[LIMIT]\r\nMaxPixels = ") + text + "\r\n", "").max_pixels, pixels) << text;
  // Written files keep the section as it was (the settings dialog does not write it).
  EXPECT_EQ(SettingsIniText("[LIMIT]\r\nMaxPixels=99\r\n", Settings{}).rfind("[LIMIT]\r\nMaxPixels=99\r\n", 0), 0u);
}

}  // namespace

// Reduced copies for small zooms: each level the rounded 2 x 2 mean (an odd edge averaged with
// itself), the smallest level still at least as large as the drawing (made on first need), other
// depths through a 24-bit copy.
TEST(ViewReductions, HalvedMeansAndTheLevelChosen) {
  for (const auto& [w, h] : {std::pair{7, 5}, std::pair{8, 6}, std::pair{1, 3}}) {
    ImagePtr source = RandomImage(w, h, 24, 3);
    ImagePtr half = NewImage((w + 1) / 2, (h + 1) / 2, 24);
    HalveImage(source.get(), half.get());
    const Picture in(source.get()), out(half.get());
    for (int y = 0; y < out.h; ++y)
      for (int x = 0; x < out.w; ++x)
        for (int c = 0; c < 3; ++c) {
          const int x1 = std::min(2 * x + 1, w - 1), y1 = std::min(2 * y + 1, h - 1);
          const int sum = in.at(2 * x, 2 * y, c) + in.at(x1, 2 * y, c) + in.at(2 * x, y1, c) + in.at(x1, y1, c);
          ASSERT_EQ(out.at(x, y, c), (sum + 2) / 4) << w << "x" << h << " at " << x << "," << y;
        }
  }
  Document d(RandomImage(600, 400, 8, 5));
  ViewReductions r;
  const struct Row { int64_t width, height; int expect_width, levels; } rows[] = {
      {600, 400, 600, 0}, {301, 200, 600, 0}, {300, 200, 300, 1}, {60, 40, 75, 3}, {1, 1, 1, 10}};
  for (const Row& row : rows) {
    const DibImage* shown = r.For(d.doc, d.image(), row.width, row.height);
    EXPECT_EQ((std::vector<int>{Width(shown), r.LevelCount(), BitCount(shown)}),
              (std::vector<int>{row.expect_width, row.levels, shown == d.image() ? 8 : 24})) << row.width;
  }
  // The first level from the 8-bit image equals halving its true-colour copy.
  ImagePtr copy(d.doc.MakeTrueColorCopy(d.image())), half = NewImage(300, 200, 24);
  HalveImage(copy.get(), half.get());
  r.Clear();
  EXPECT_EQ(Picture(r.For(d.doc, d.image(), 300, 200)), Picture(half.get()));
}
