// The modes of the real program: the automatic slideshow over a folder of two pictures; the
// thumbnail browser over the view, where the arrow key and Enter open a picture in place of the one
// being edited; trimming, a band dragged by mouse messages and the release cropping. Each is
// photographed while it runs.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "tests/e2e/e2e_support.h"

namespace {

TEST(SlideshowEndToEnd, AutomaticShowStartsPhotographsAndEnds) {
  const std::string folder = work + "\\slideshow", opened = folder + "\\sample.bmp";
  CreateDirectoryA(folder.c_str(), nullptr);
  ASSERT_TRUE(CopyFileA(sample.c_str(), opened.c_str(), FALSE));
  ASSERT_TRUE(CopyFileA((work + "\\negative.bmp").c_str(), (folder + "\\negative.bmp").c_str(), FALSE));
  Program p(folder, "\"" + opened + "\"");
  ASSERT_TRUE(p.TitleBecomes(Title(opened, 1, 100))) << Text(p.Window());
  HWND toolbar = FindWindowExA(p.Window(), nullptr, TOOLBARCLASSNAMEA, nullptr);
  p.Post(WM_COMMAND, 130);
  // The listing is sorted by name: the negative comes first.
  EXPECT_TRUE(p.TitleBecomes(folder + "\\negative.bmp スライドショー[1/2]")) << Text(p.Window());
  EXPECT_EQ(SendMessageA(toolbar, TB_GETSTATE, 130, 0), TBSTATE_ENABLED | TBSTATE_CHECKED);
  Screenshot("shot-slideshow");
  p.Post(WM_COMMAND, 130);
  EXPECT_TRUE(WaitFor([&] { return Text(p.Window()).find(" 加工枚数[1枚] ズーム[100%]") != std::string::npos; }))
      << Text(p.Window());
  EXPECT_EQ(SendMessageA(toolbar, TB_GETSTATE, 130, 0), TBSTATE_ENABLED);
  EXPECT_EQ(p.Quit(), 0);
}

TEST(ThumbnailsEndToEnd, SheetOfTheFolderAndEnterOpensAPicture) {
  const std::string pictures = work + "\\thumbs\\pictures", first = pictures + "\\sample.bmp";
  const std::string folder = Folder("thumbs", pictures);
  CreateDirectoryA(pictures.c_str(), nullptr);
  CopyFileA(sample.c_str(), first.c_str(), FALSE);
  CopyFileA((work + "\\negative.bmp").c_str(), (pictures + "\\negative.bmp").c_str(), FALSE);
  CopyFileA((work + "\\dir with space\\sample copy.bmp").c_str(), (pictures + "\\sample copy.bmp").c_str(), FALSE);
  CopyFileA((work + "\\sample.jpg").c_str(), (pictures + "\\sample.jpg").c_str(), FALSE);  // read at an eighth
  std::string ppm = "P6\n64 48\n255\n";  // a colour gradient
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x) ppm += {static_cast<char>(x * 4), static_cast<char>(y * 5), static_cast<char>(160)};
  std::ofstream(pictures + "\\pic.ppm", std::ios::binary) << ppm;
  // A picture of the folder opened first (its folder becomes the current one): the browser
  // covers it, and Enter replaces it.
  Program p(folder, "\"" + first + "\"");
  ASSERT_TRUE(p.TitleBecomes(Title(first, 1, 100))) << Text(p.Window());
  p.Post(WM_COMMAND, 132);
  HWND browser = nullptr;
  ASSERT_TRUE(WaitFor([&] {
    browser = FindWindowExA(p.Window(), nullptr, "ShowThumbs", nullptr);
    return browser && Text(browser) == "サムネイル表示 " + pictures + " [5枚]";
  })) << (browser ? Text(browser) : "no browser window");
  Screenshot("shot-thumbnails");
  // negative.bmp, pic.ppm, ...: one to the right is the PPM picture.
  PostMessageA(browser, WM_KEYDOWN, VK_RIGHT, 0);
  PostMessageA(browser, WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_TRUE(p.TitleBecomes(Title(pictures + "\\pic.ppm", 1, 100))) << Text(p.Window());
  EXPECT_TRUE(WaitFor([&] { return !IsWindow(browser); }));
  Screenshot("shot-thumbnail-opened");
  EXPECT_EQ(p.Quit(), 0);
}

TEST(TrimmingEndToEnd, DragCropsTheSampleAndEndsTheMode) {
  Program p(work + "\\trimming", sample);
  ASSERT_TRUE(p.TitleBecomes(Title(sample, 1, 100))) << Text(p.Window());
  HWND window = p.Window();
  const LONG boxes = WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
  p.Post(WM_COMMAND, 129);
  ASSERT_TRUE(WaitFor([&] { return (GetWindowLongA(window, GWL_STYLE) & boxes) == 0; }));
  // The 640 x 480 sample at 100 %, centred in the client area below the 28-pixel toolbar band.
  RECT client;
  GetClientRect(window, &client);
  const int left = (client.right - 640) / 2, top = (client.bottom - 28 - 480) / 2 + 28;
  const int x0 = left + 100, y0 = top + 80, x1 = left + 400, y1 = top + 300;
  p.Post(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x0, y0));
  for (int i = 1; i <= 4; ++i)
    p.Post(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x0 + (x1 - x0) * i / 4, y0 + (y1 - y0) * i / 4));
  Screenshot("shot-trimming", 600);
  p.Post(WM_LBUTTONUP, 0, MAKELPARAM(x1, y1));
  EXPECT_TRUE(p.TitleBecomes(Title(sample, 2, 100))) << Text(p.Window());
  EXPECT_EQ(GetWindowLongA(window, GWL_STYLE) & boxes, boxes);
  Screenshot("shot-trimmed");
  EXPECT_EQ(p.Quit(), 0);
}

}  // namespace
