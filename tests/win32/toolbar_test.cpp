// The toolbar: its buttons, the state rows by mode, and the tooltip texts.
#include <windows.h>

#include <gtest/gtest.h>

#include <commctrl.h>

#include <string>

#include "win32_support.h"

namespace {

HWND Bar() { return Doc().toolbar_; }

// The usable buttons: "id" enabled, "id*" pressed.
std::string UsableButtons() {
  std::string s;
  for (int id = 101; id <= 133; ++id) {
    const LRESULT st = SendMessageA(Bar(), TB_GETSTATE, id, 0);
    if (st == -1 || (st & TBSTATE_INDETERMINATE) || !(st & TBSTATE_ENABLED)) continue;
    s += std::to_string(id) + ((st & TBSTATE_CHECKED) ? "* " : " ");
  }
  return s;
}

std::string Tooltip(int id) {
  NMTTDISPINFOA info{};
  info.hdr.hwndFrom = Bar();
  info.hdr.idFrom = static_cast<UINT_PTR>(id);
  info.hdr.code = TTN_GETDISPINFOA;
  SendMessageA(MainWindow(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(info.hinst, GetModuleHandleA(nullptr));
  char text[128] = "";
  if (!IS_INTRESOURCE(info.lpszText)) return "not a string resource";
  LoadStringA(info.hinst, static_cast<UINT>(reinterpret_cast<UINT_PTR>(info.lpszText)), text, sizeof text);
  return text;
}

TEST(Toolbar, ButtonsInTableOrder) {
  ASSERT_NE(Bar(), nullptr);
  EXPECT_EQ(GetDlgCtrlID(Bar()), 730);
  ASSERT_EQ(SendMessageA(Bar(), TB_BUTTONCOUNT, 0, 0), 44);
  std::string order;
  int separators = 0;
  for (int i = 0; i < 44; ++i) {
    TBBUTTON b{};
    SendMessageA(Bar(), TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&b));
    if (b.fsStyle & TBSTYLE_SEP) {
      ++separators;
      continue;
    }
    EXPECT_EQ(b.iBitmap, b.idCommand - 101) << b.idCommand;
    EXPECT_EQ((b.fsStyle & TBSTYLE_CHECK) != 0, b.idCommand == 129 || b.idCommand == 130);
    order += std::to_string(b.idCommand) + " ";
  }
  EXPECT_EQ(separators, 11);
  std::string expected;
  for (int id = 101; id <= 133; ++id) expected += std::to_string(id) + " ";
  EXPECT_EQ(order, expected);
  EXPECT_TRUE(GetWindowLongA(Bar(), GWL_STYLE) & TBSTYLE_FLAT);
  EXPECT_FALSE(GetWindowLongA(Bar(), GWL_STYLE) & TBSTYLE_TRANSPARENT);
  // Maximised on the test screen, the buttons fit in the band the view leaves free.
  ShowWindow(MainWindow(), SW_SHOWMAXIMIZED);
  PumpMessages();
  RECT r;
  GetWindowRect(Bar(), &r);
  RECT client;
  GetClientRect(MainWindow(), &client);
  EXPECT_LE(r.bottom - r.top, 28) << "client width " << client.right;
  ResetDocument();
}

TEST(Toolbar, StateRows) {
  ResetDocument();
  EXPECT_EQ(UsableButtons(), "101 102 130 132 ");
  ASSERT_TRUE(OpenByMessage(WriteBmp24("bar.bmp", 4, 4, [](int, int) { return 0u; })));
  EXPECT_EQ(UsableButtons().size(), 33u * 4);

  CmdClass& c = Doc();
  c.view_flags_ |= kViewTrimming;
  c.UpdateToolbarStates();
  EXPECT_EQ(UsableButtons(), "101 129* ");
  c.view_flags_ = kViewStartFlags | kViewSlideshow;
  c.UpdateToolbarStates();
  EXPECT_EQ(UsableButtons(), "101 130* ");
  c.view_flags_ = kViewStartFlags | kViewThumbnails;
  c.UpdateToolbarStates();
  EXPECT_EQ(UsableButtons(), "");
  c.view_flags_ = kViewStartFlags | kViewReducing;
  c.UpdateToolbarStates();
  EXPECT_EQ(UsableButtons(), "");
  ResetDocument();
}

TEST(Toolbar, TooltipTexts) {
  CmdClass& c = Doc();
  c.view_flags_ = kViewStartFlags;
  EXPECT_EQ(Tooltip(101), "プログラム終了");
  EXPECT_EQ(Tooltip(111), "RGB各２色変換");
  EXPECT_EQ(Tooltip(118), "ヒストグラム伸張");
  EXPECT_EQ(Tooltip(129), "トリミング実行");
  EXPECT_EQ(Tooltip(130), "スライドショー実行");
  EXPECT_EQ(Tooltip(133), "ページFit印刷");
  c.view_flags_ |= kViewTrimming;
  EXPECT_EQ(Tooltip(129), "トリミングモード解除");
  c.view_flags_ = kViewStartFlags | kViewSlideshow;
  EXPECT_EQ(Tooltip(130), "スライドショー終了");
  c.view_flags_ = kViewStartFlags;
  // Every button has its text.
  for (int id = 101; id <= 133; ++id) EXPECT_FALSE(Tooltip(id).empty()) << id;
}

}  // namespace
