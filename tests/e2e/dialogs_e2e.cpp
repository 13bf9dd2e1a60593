// The dialogs of the real program: each adjustment dialog opens from the menu with a moved control
// and its preview, and its cancel changes nothing; gamma's OK makes one step; the alpha blend takes
// its second image from the open dialog; the settings dialog applied (settings file and
// background); the batch rename of a folder of three files.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "tests/e2e/e2e_support.h"

namespace {

// Drags a trackbar of another process's dialog to position, as the end of a drag reports it.
void MoveTrackbar(HWND dialog, int control, int position) {
  HWND track = GetDlgItem(dialog, control);
  SendMessageA(track, TBM_SETPOS, TRUE, position);
  const UINT scroll = GetWindowLongA(track, GWL_STYLE) & TBS_VERT ? WM_VSCROLL : WM_HSCROLL;
  SendMessageA(dialog, scroll, MAKEWPARAM(TB_ENDTRACK, 0), reinterpret_cast<LPARAM>(track));
}

TEST(AdjustEndToEnd, EveryDialogShowsAndCancelsAndGammaCommits) {
  const struct {
    int command;
    const char *name, *title;
    int track, position, cancel;  // track 0: nothing moved
  } dialogs[] = {
      {116, "gamma", "γ補正", 639, 50, 643},          {117, "contrast", "コントラスト調整(線形)", 664, 40, 654},
      {153, "gradation", "階調縮小", 683, 2, 681},     {121, "rgb", "RGB調整", 697, 120, 695},
      {122, "hsv", "HSV変換", 697, 180, 695},          {192, "white-balance", "ホワイトバランス調整", 735, 120, 734},
      {128, "rotation", "画像回転", 708, 45, 711},     {154, "resize", "画像拡大・縮小", 0, 0, 721},
  };
  Program p(work + "\\adjust", sample);
  ASSERT_TRUE(p.TitleBecomes(Title(sample, 1, 100))) << Text(p.Window());
  for (const auto& d : dialogs) {
    SCOPED_TRACE(d.name);
    p.Post(WM_COMMAND, d.command);
    HWND dialog = p.Dialog(d.title);
    ASSERT_NE(dialog, nullptr) << Text(p.Find("#32770"));
    if (d.track) MoveTrackbar(dialog, d.track, d.position);
    if (d.command == 117) MoveTrackbar(dialog, 662, 180);  // the curve's upper end moved in too
    Screenshot(std::string("shot-dialog-") + d.name);
    EXPECT_TRUE(Dismiss(dialog, d.cancel));
    EXPECT_EQ(Text(p.Window()), Title(sample, 1, 100));
  }
  p.Post(WM_COMMAND, 116);
  HWND gamma = p.Find("#32770");
  ASSERT_NE(gamma, nullptr);
  MoveTrackbar(gamma, 639, 50);
  PostMessageA(gamma, WM_COMMAND, 642, 0);
  EXPECT_TRUE(p.TitleBecomes(Title(sample, 2, 100))) << Text(p.Window());
  EXPECT_FALSE(IsWindow(gamma));
  Screenshot("shot-gamma-applied");
  EXPECT_EQ(p.Quit(), 0);
}

TEST(AdjustEndToEnd, AlphaBlendTakesItsSecondImageFromTheOpenDialog) {
  Program p(work + "\\alpha", sample);
  ASSERT_TRUE(p.TitleBecomes(Title(sample, 1, 100))) << Text(p.Window());
  p.Post(WM_COMMAND, 131);
  HWND open = p.Find("#32770");
  ASSERT_NE(open, nullptr);
  ASSERT_TRUE(SetFileName(open, work + "\\negative.bmp"));
  ASSERT_TRUE(Dismiss(open, IDOK));
  HWND alpha = p.Dialog("αブレンド");
  ASSERT_NE(alpha, nullptr);
  EXPECT_EQ(Text(alpha, 728), "50");
  Screenshot("shot-dialog-alpha");
  PostMessageA(alpha, WM_COMMAND, 726, 0);
  EXPECT_TRUE(p.TitleBecomes(Title(sample, 2, 100))) << Text(p.Window());
  Screenshot("shot-alpha-applied");
  EXPECT_EQ(p.Quit(), 0);
}

COLORREF Background(HWND window) {
  HDC dc = GetDC(window);
  const COLORREF pixel = GetPixel(dc, 700, 500);
  ReleaseDC(window, dc);
  return pixel;
}

TEST(SettingsEndToEnd, ApplyRepaintsTheBackgroundAndWritesTheFile) {
  const std::string folder = Folder("settings-dialog"), ini = folder + "\\Tessamor.ini";
  Program p(folder, "");
  ASSERT_NE(p.Window(), nullptr);
  // Once the new window has painted (until then the screen shows what was there before).
  EXPECT_TRUE(WaitFor([&] { return Background(p.Window()) == RGB(255, 255, 255); }));
  p.Post(WM_COMMAND, 180);
  HWND dialog = p.Dialog("Tessamor設定");
  ASSERT_NE(dialog, nullptr);
  Screenshot("shot-dialog-settings");
  EXPECT_EQ(Text(dialog, 1019) + "|" + Text(dialog, 1018) + "|" + Text(dialog, 1025) + "|" + Text(dialog, 1016),
            "0xffffff|5|80|" + folder);
  SetDlgItemTextA(dialog, 1019, "0x204080");
  EXPECT_TRUE(Dismiss(dialog, 1027));
  EXPECT_TRUE(WaitFor([&] { return ReadFile(ini).find("BkColor = 0x204080\r\n") != std::string::npos; })) << ReadFile(ini);
  EXPECT_TRUE(WaitFor([&] { return Background(p.Window()) == RGB(0x80, 0x40, 0x20); }));
  EXPECT_EQ(p.Quit(), 0);
}

TEST(SettingsEndToEnd, RenameDialogRenamesTheFolder) {
  const std::string folder = Folder("rename-dialog");
  for (const char* name : {"b.jpg", "a.bmp", "c.png"}) std::ofstream(folder + "\\" + name) << name;
  Program p(folder, "");
  ASSERT_NE(p.Window(), nullptr);
  p.Post(WM_COMMAND, 189);
  HWND dialog = p.Dialog("ファイル名変更");
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(Text(dialog, 1114) + "|" + Text(dialog, 1112), folder + "|0001");
  SetDlgItemTextA(dialog, 1110, "trip");
  Screenshot("shot-dialog-rename");
  PostMessageA(dialog, WM_COMMAND, 1115, 0);
  HWND box = p.Dialog("情報");
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(Text(box, 0xFFFF), "処理を終了しました\n3個のファイル名を変更しました");
  EXPECT_TRUE(Dismiss(box, IDOK));
  const std::string renamed = folder + "\\trip_000";
  EXPECT_EQ(ReadFile(renamed + "1.bmp") + ReadFile(renamed + "2.jpg") + ReadFile(renamed + "3.png"), "a.bmpb.jpgc.png");
  EXPECT_EQ(ReadFile(folder + "\\a.bmp") + ReadFile(folder + "\\b.jpg") + ReadFile(folder + "\\c.png"), "");
  EXPECT_EQ(p.Quit(), 0);
}

}  // namespace
