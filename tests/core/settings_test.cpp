// The settings file: defaults, reading texts as the profile reader does, and the exact text
// written, with foreign sections and keys kept.
#include <gtest/gtest.h>

#include <string>

#include "app/settings.h"
#include "test_support.h"

namespace {

TEST(Settings, DefaultsAndColourTexts) {
  const Settings s = ParseSettings("", "C:\\pics");
  EXPECT_EQ(s.bk_colour, 0xFFFFFFu);
  EXPECT_EQ(s.slide_interval, 5);
  EXPECT_EQ(s.slide_mode, 1);
  EXPECT_EQ(s.filter_index, 2);
  EXPECT_EQ(s.thumb_width, 80);
  EXPECT_EQ(s.thumb_height, 80);
  EXPECT_EQ(s.pgm_save_mode, 0);
  EXPECT_STREQ(s.dir_name, "C:\\pics");

  EXPECT_EQ(ParseColourText("0x0000ff"), 0xFFu);
  EXPECT_EQ(ParseColourText("255"), 255u);      // decimal written by hand
  EXPECT_EQ(ParseColourText("010"), 8u);        // octal
  EXPECT_EQ(ParseColourText("blue"), 0u);       // unreadable: black
}

TEST(Settings, ReadsLikeTheProfileReader) {
  const std::string ini =
      "; comment\r\n[color]\r\n  bkcolor   =   16711680  \r\n[SLIDESHOW]\r\nSlideInterval=9\r\n"
      "SlideMode = 0\r\n[FLFILTER]\r\nFlFilter = 7 trailing\r\n[DIRECTORY]\r\nDirName=D:\\photos\\2009\r\n"
      "[THUMBNAIL]\r\nThumbWidth = 44\r\n";
  const Settings s = ParseSettings(ini, "C:\\pics");
  EXPECT_EQ(s.bk_colour, 0xFF0000u);
  EXPECT_EQ(s.slide_interval, 9);
  EXPECT_EQ(s.slide_mode, 0);
  EXPECT_EQ(s.filter_index, 7);
  EXPECT_EQ(s.thumb_width, 44);
  EXPECT_EQ(s.thumb_height, 80);
  EXPECT_STREQ(s.dir_name, "D:\\photos\\2009");
}

TEST(Settings, WritesSixSectionsInOrder) {
  Settings s;
  std::snprintf(s.dir_name, sizeof s.dir_name, "C:\\users\\me\\Pictures");
  s.bk_colour = 0xABCDEF;
  EXPECT_EQ(SettingsIniText("", s),
            "[DIRECTORY]\r\nDirName=C:\\users\\me\\Pictures\r\n"
            "[COLOR]\r\nBkColor = 0xabcdef\r\n"
            "[SLIDESHOW]\r\nSlideInterval = 5\r\nSlideMode = 1\r\n"
            "[FLFILTER]\r\nFlFilter = 2\r\n"
            "[THUMBNAIL]\r\nThumbWidth = 80\r\nThumbHeight = 80\r\n"
            "[PPMPGMPBM]\r\nPgmSaveMode = 0\r\n");
  // What is written reads back the same.
  const Settings back = ParseSettings(SettingsIniText("", s), "");
  EXPECT_EQ(back.bk_colour, s.bk_colour);
  EXPECT_STREQ(back.dir_name, s.dir_name);
}

TEST(Settings, KeepsForeignSectionsAndDirectoryKeys) {
  const std::string old =
      "[OTHER]\r\nx=1\r\n[COLOR]\r\nBkColor = 255\r\nStale = 1\r\n[DIRECTORY]\r\nMine=keep\r\ndirname=old\r\n";
  Settings s;
  std::snprintf(s.dir_name, sizeof s.dir_name, "new");
  EXPECT_EQ(SettingsIniText(old, s),
            "[OTHER]\r\nx=1\r\n[COLOR]\r\nBkColor = 0xffffff\r\n[DIRECTORY]\r\nMine=keep\r\nDirName=new\r\n"
            "[SLIDESHOW]\r\nSlideInterval = 5\r\nSlideMode = 1\r\n[FLFILTER]\r\nFlFilter = 2\r\n"
            "[THUMBNAIL]\r\nThumbWidth = 80\r\nThumbHeight = 80\r\n[PPMPGMPBM]\r\nPgmSaveMode = 0\r\n");
}

TEST(Settings, FileRoundTripThroughTemporary) {
  TempDir dir;
  const std::string path = dir.File("Tessamor.ini");
  EXPECT_EQ(ReadTextFile(path.c_str()), "");
  ASSERT_TRUE(WriteTextFile(path.c_str(), "[A]\r\nb=c\r\n"));
  EXPECT_EQ(ReadTextFile(path.c_str()), "[A]\r\nb=c\r\n");
  EXPECT_EQ(ReadFileBytes(path + ".tmp~").size(), 0u);
  EXPECT_FALSE(WriteTextFile((dir.File("missing") + "/x.ini").c_str(), "x"));
  EXPECT_EQ(SettingsPath("C:\\app"), "C:\\app\\Tessamor.ini");
}

}  // namespace
