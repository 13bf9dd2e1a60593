// The thumbnail browser of the real program: command 132 on a folder of pictures shows the
// sheet in its own window over the view; the arrow key and Enter open a picture in place of the
// one being edited.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "tests/e2e/e2e_support.h"

namespace {

// A 64 x 48 binary PPM with a colour gradient.
void WritePpm(const std::string& path) {
  std::string ppm = "P6\n64 48\n255\n";
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x) ppm += {static_cast<char>(x * 4), static_cast<char>(y * 5), static_cast<char>(160)};
  std::ofstream(path, std::ios::binary) << ppm;
}

TEST(ThumbnailsEndToEnd, SheetOfTheFolderAndEnterOpensAPicture) {
  const std::string folder = work + "\\thumbs", pictures = folder + "\\pictures";
  CreateDirectoryA(folder.c_str(), nullptr);
  CreateDirectoryA(pictures.c_str(), nullptr);
  CopyFileA(sample.c_str(), (pictures + "\\sample.bmp").c_str(), FALSE);
  CopyFileA((work + "\\negative.bmp").c_str(), (pictures + "\\negative.bmp").c_str(), FALSE);
  CopyFileA((work + "\\dir with space\\sample copy.bmp").c_str(), (pictures + "\\sample copy.bmp").c_str(), FALSE);
  WritePpm(pictures + "\\pic.ppm");
  std::ofstream(folder + "\\Tessamor.ini", std::ios::binary) << "[DIRECTORY]\r\nDirName=" + pictures + "\r\n";

  // A picture of the folder opened first (its folder becomes the current one): the browser
  // covers it, and Enter replaces it.
  const std::string first = pictures + "\\sample.bmp";
  Program p(folder, "\"" + first + "\"");
  ASSERT_TRUE(p.TitleBecomes(Title(first, 1, 100))) << Text(p.Window());
  p.Post(WM_COMMAND, 132);
  HWND browser = nullptr;
  ASSERT_TRUE(WaitFor([&] {
    browser = FindWindowExA(p.Window(), nullptr, "ShowThumbs", nullptr);
    return browser && Text(browser) == "サムネイル表示 " + pictures + " [4枚]";
  })) << (browser ? Text(browser) : "no browser window");
  Screenshot("shot-thumbnails");
  // negative.bmp, pic.ppm, ...: one to the right is the PPM picture.
  PostMessageA(browser, WM_KEYDOWN, VK_RIGHT, 0);
  PostMessageA(browser, WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_TRUE(p.TitleBecomes(Title(pictures + "\\pic.ppm", 1, 100))) << Text(p.Window());
  EXPECT_TRUE(WaitFor([&] { return !IsWindow(browser); }));
  Screenshot("shot-thumbnail-opened");
  p.Post(WM_COMMAND, 101);
  EXPECT_EQ(p.ExitCode(), 0);
}

}  // namespace
