// The adjustment dialogs of the real program: each opens from the menu with a moved control and
// its preview, and its cancel changes nothing; gamma's OK makes one step; the alpha blend takes
// its second image from the open dialog.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

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
    HWND dialog = p.Find("#32770");
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(Text(dialog), d.title);
    if (d.track) MoveTrackbar(dialog, d.track, d.position);
    if (d.command == 117) MoveTrackbar(dialog, 662, 180);  // the curve's upper end moved in too
    Screenshot(std::string("shot-dialog-") + d.name);
    PostMessageA(dialog, WM_COMMAND, d.cancel, 0);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(dialog); }));
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
  p.Post(WM_COMMAND, 101);
  EXPECT_EQ(p.ExitCode(), 0);
}

TEST(AdjustEndToEnd, AlphaBlendTakesItsSecondImageFromTheOpenDialog) {
  Program p(work + "\\alpha", sample);
  ASSERT_TRUE(p.TitleBecomes(Title(sample, 1, 100))) << Text(p.Window());
  p.Post(WM_COMMAND, 131);
  HWND open = p.Find("#32770");
  ASSERT_NE(open, nullptr);
  const std::string second = work + "\\negative.bmp";
  ASSERT_TRUE(SetDlgItemTextA(open, 0x47C, second.c_str()) || SetDlgItemTextA(open, 0x480, second.c_str()));
  PostMessageA(open, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(open); }));
  HWND alpha = p.Find("#32770");
  ASSERT_NE(alpha, nullptr);
  EXPECT_EQ(Text(alpha) + "|" + Text(alpha, 728), "αブレンド|50");
  Screenshot("shot-dialog-alpha");
  PostMessageA(alpha, WM_COMMAND, 726, 0);
  EXPECT_TRUE(p.TitleBecomes(Title(sample, 2, 100))) << Text(p.Window());
  Screenshot("shot-alpha-applied");
  p.Post(WM_COMMAND, 101);
  EXPECT_EQ(p.ExitCode(), 0);
}

}  // namespace
