// End-to-end tests: the real Tessamor.exe checked from outside (title, message boxes, the save dialog,
// written files, the settings file).  e2e_driver.exe [gtest options] TESSAMOR_EXE WORK_FOLDER
// WORK_FOLDER holds sample.bmp, its negative negative.bmp (made by the core's own tool) and
// "dir with space\sample copy.bmp"; screenshots are written there as BMP files.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "tests/e2e/e2e_support.h"

namespace {

// A settings file written by hand with a decimal BkColor: the empty window shows the colour; a
// second instance is refused while the first stays; quitting writes the six sections in order.
TEST(EndToEnd, EmptyWindowSecondInstanceAndSettings) {
  const std::string folder = Folder("settings");
  std::ofstream(folder + "\\Tessamor.ini", std::ios::app | std::ios::binary) << "[COLOR]\r\nBkColor = 15786192\r\n";
  Program p(folder, "", SW_SHOWMINIMIZED);  // maximised whatever it is told
  ASSERT_NE(p.Window(), nullptr);
  std::printf("start-up to a shown main window: %lu ms\n", static_cast<unsigned long>(p.startup_ms));
  EXPECT_EQ(Text(p.Window()) + (IsZoomed(p.Window()) ? ", maximised" : ""), "Tessamor, maximised");
  Screenshot("shot-empty");
  HDC dc = GetDC(p.Window());
  EXPECT_EQ(GetPixel(dc, 400, 300), RGB(0xD0, 0xE0, 0xF0));
  ReleaseDC(p.Window(), dc);
  {
    Program second(work + "\\second", "");
    HWND box = second.Find("#32770");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(Text(box, 0xFFFF), "エラーです");
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(second.ExitCode(), 0);
  }
  EXPECT_TRUE(p.Alive() && IsWindow(p.Window()) && Text(p.Window()) == "Tessamor");
  EXPECT_EQ(p.Quit(), 0);
  EXPECT_EQ(ReadFile(folder + "\\Tessamor.ini"),
            "[DIRECTORY]\r\nDirName=" + folder +
                "\r\n[COLOR]\r\nBkColor = 0xf0e0d0\r\n[SLIDESHOW]\r\nSlideInterval = 5\r\n"
                "SlideMode = 1\r\n[FLFILTER]\r\nFlFilter = 2\r\n[THUMBNAIL]\r\nThumbWidth = 80\r\nThumbHeight = 80\r\n"
                "[PPMPGMPBM]\r\nPgmSaveMode = 0\r\n");
}

TEST(EndToEnd, OpenNegativeSaveUndoAndZoom) {
  const std::string out = work + "\\saved negative.bmp";
  Program p(work + "\\open", sample);
  ASSERT_TRUE(p.TitleBecomes(Title(sample, 1, 100))) << Text(p.Window());
  Screenshot("shot-image-100");
  p.Post(WM_COMMAND, 108);
  EXPECT_TRUE(p.TitleBecomes(Title(sample, 2, 100))) << Text(p.Window());
  p.Post(WM_COMMAND, 103);
  HWND dialog = p.Dialog("ファイルを保存");
  ASSERT_NE(dialog, nullptr);
  Screenshot("shot-save-dialog");
  ASSERT_TRUE(SetFileName(dialog, out));
  PostMessageA(dialog, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(WaitFor([&] { return ReadFile(out) == ReadFile(work + "\\negative.bmp"); })) << "not the negative";
  EXPECT_EQ(Text(p.Window()), Title(sample, 2, 100));  // saving does not change the document
  // A look at a menu, and at the about box: name, button and icon, and no close box.
  p.Post(WM_SYSCOMMAND, SC_KEYMENU, '2');
  Screenshot("shot-menu", 700);
  p.Post(WM_CANCELMODE, 0);
  Sleep(200);
  p.Post(WM_COMMAND, 175);
  HWND about = p.Dialog("プログラム情報");
  ASSERT_NE(about, nullptr);
  EXPECT_EQ(Text(about, 1007) + "|" + Text(about, 1011), "Tessamor ver2.7.0|O K");
  EXPECT_TRUE(SendDlgItemMessageA(about, 1012, STM_GETICON, 0, 0) && !(GetWindowLongA(about, GWL_STYLE) & WS_SYSMENU));
  Screenshot("shot-about");
  ASSERT_TRUE(Dismiss(about, 1011));
  p.Post(WM_COMMAND, 106);
  EXPECT_TRUE(p.TitleBecomes(Title(sample, 1, 100))) << Text(p.Window());
  for (int i = 0; i < 3; ++i) p.Post(WM_MOUSEWHEEL, MAKEWPARAM(0, 120), MAKELPARAM(640, 400));
  EXPECT_TRUE(p.TitleBecomes(Title(sample, 1, 200))) << Text(p.Window());
  Screenshot("shot-image-200");
  p.Post(WM_CLOSE, 0);
  EXPECT_EQ(p.ExitCode(), 0);
}

// A quoted path with spaces on the command line; operations from the menu: a filter makes one
// step; a reduction asks, works and says it is done.
TEST(EndToEnd, QuotedPathFilterAndReduceFromTheMenu) {
  const std::string spaced = work + "\\dir with space\\sample copy.bmp";
  Program p(work + "\\filter", "\"" + spaced + "\"");
  ASSERT_TRUE(p.TitleBecomes(Title(spaced, 1, 100))) << Text(p.Window());
  p.Post(WM_COMMAND, 146);  // Sobel
  EXPECT_TRUE(p.TitleBecomes(Title(spaced, 2, 100))) << Text(p.Window());
  Screenshot("shot-sobel");
  p.Post(WM_COMMAND, 169);  // to 16 colours
  HWND ask = p.Find("#32770");
  ASSERT_NE(ask, nullptr);
  EXPECT_EQ(Text(ask, 0xFFFF), "時間がかかりますが実行しますか?");
  ASSERT_TRUE(Dismiss(ask, IDOK));
  HWND done = p.Dialog("情報");
  ASSERT_NE(done, nullptr);
  EXPECT_EQ(Text(done, 0xFFFF), "処理を終了しました");
  PostMessageA(done, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(p.TitleBecomes(Title(spaced, 3, 100))) << Text(p.Window());
  Screenshot("shot-reduced-16");
  EXPECT_EQ(p.Quit(), 0);
}

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (argc < 3) {
    std::fprintf(stderr, "usage: e2e_driver [gtest options] TESSAMOR_EXE WORK_FOLDER\n");
    return 2;
  }
  exe_path = argv[1];
  work = argv[2];
  sample = work + "\\sample.bmp";
  return RUN_ALL_TESTS();
}
