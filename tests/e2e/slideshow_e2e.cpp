// The automatic slideshow of the real program over a folder of two pictures: the first slide
// photographed, then the show ended with the same command.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>

#include "tests/e2e/e2e_support.h"

namespace {

TEST(SlideshowEndToEnd, AutomaticShowStartsPhotographsAndEnds) {
  const std::string folder = work + "\\slideshow";
  CreateDirectoryA(folder.c_str(), nullptr);
  ASSERT_TRUE(CopyFileA(sample.c_str(), (folder + "\\sample.bmp").c_str(), FALSE));
  ASSERT_TRUE(CopyFileA((work + "\\negative.bmp").c_str(), (folder + "\\negative.bmp").c_str(), FALSE));
  const std::string opened = folder + "\\sample.bmp";
  Program p(folder, "\"" + opened + "\"");
  ASSERT_TRUE(p.TitleBecomes(Title(opened, 1, 100))) << Text(p.Window());
  HWND toolbar = FindWindowExA(p.Window(), nullptr, TOOLBARCLASSNAMEA, nullptr);

  p.Post(WM_COMMAND, 130);
  // The listing is sorted by name: the negative comes first.
  ASSERT_TRUE(WaitFor([&] { return Text(p.Window()).find("スライドショー[1/") != std::string::npos; }))
      << Text(p.Window());
  EXPECT_EQ(Text(p.Window()), folder + "\\negative.bmp スライドショー[1/2]");
  EXPECT_EQ(SendMessageA(toolbar, TB_GETSTATE, 130, 0), TBSTATE_ENABLED | TBSTATE_CHECKED);
  Screenshot("shot-slideshow");

  p.Post(WM_COMMAND, 130);
  EXPECT_TRUE(WaitFor([&] { return Text(p.Window()).find(" 加工枚数[1枚] ズーム[100%]") != std::string::npos; }))
      << Text(p.Window());
  EXPECT_EQ(SendMessageA(toolbar, TB_GETSTATE, 130, 0), TBSTATE_ENABLED);
  p.Post(WM_COMMAND, 101);
  EXPECT_EQ(p.ExitCode(), 0);
}

}  // namespace
