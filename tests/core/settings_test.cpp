// The settings file: defaults, reading texts as the profile reader does, the exact text written
// with foreign sections and keys kept, and the file written through a temporary.
#include <gtest/gtest.h>

#include <string>

#include "app/settings.h"
#include "test_support.h"

namespace {

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
