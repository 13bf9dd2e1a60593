// Menu 500, its accelerators and the toolbar as the program builds them, their availability rows
// by mode with the relabelled items and tooltips, the dispatch of commands and the progress window.
#include <windows.h>

#include <gtest/gtest.h>

#include <commctrl.h>

#include <string>

#include "app/channel_win32.h"
#include "app/command_labels.h"
#include "app/command_table.h"
#include "app/resource_ids.h"
#include "win32_support.h"

namespace {

HMENU Bar() { return GetMenu(MainWindow()); }

std::string Label(HMENU menu, UINT item, UINT by) {
  char text[128] = "";
  GetMenuStringA(menu, item, text, sizeof text, by);
  return text;
}

// "[label: id id [label: id ...] ...] ..." of a menu, by position.
std::string Describe(HMENU menu) {
  std::string s;
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    HMENU sub = GetSubMenu(menu, i);
    s += (i ? " " : "") + (sub ? "[" + Label(menu, i, MF_BYPOSITION) + ": " + Describe(sub) + "]"
                               : std::to_string(GetMenuItemID(menu, i)));
  }
  return s;
}

// The menu items enabled once every popup got WM_INITMENUPOPUP, as "101 102 ...", or "all".
std::string MenuOffers() {
  for (int i = 0; i < GetMenuItemCount(Bar()); ++i)
    SendMessageA(MainWindow(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(GetSubMenu(Bar(), i)), i);
  std::string s, all;
  for (const CommandEntry* e = kCommandTable; e->id; ++e) {
    all += std::to_string(e->id) + " ";
    if (!(GetMenuState(Bar(), e->id, MF_BYCOMMAND) & MF_GRAYED)) s += std::to_string(e->id) + " ";
  }
  return s == all ? "all" : s;
}

// The usable toolbar buttons ("id*" when pressed), or "all".
std::string ToolbarOffers() {
  std::string s;
  for (int id = 101; id <= 133; ++id) {
    const LRESULT st = SendMessageA(Doc().toolbar_, TB_GETSTATE, id, 0);
    if (!(st & TBSTATE_INDETERMINATE) && (st & TBSTATE_ENABLED)) s += std::to_string(id) + (st & TBSTATE_CHECKED ? "* " : " ");
  }
  return s.size() == 33 * 4 ? "all" : s;
}

std::string Tooltip(int id) {
  NMTTDISPINFOA info{};
  info.hdr = NMHDR{Doc().toolbar_, static_cast<UINT_PTR>(id), TTN_GETDISPINFOA};
  SendMessageA(MainWindow(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&info));
  char text[128] = "";
  if (info.hinst != GetModuleHandleA(nullptr) || !IS_INTRESOURCE(info.lpszText)) return "not a string of the program";
  LoadStringA(info.hinst, static_cast<UINT>(reinterpret_cast<UINT_PTR>(info.lpszText)), text, sizeof text);
  return text;
}

TEST(Menu500, PopupsItemsAndAccelerators) {
  // The item labels are checked in every mode below.
  EXPECT_EQ(Describe(Bar()),
            "[" POPUP_FILE ": 102 103 101] [" POPUP_EDIT ": 106 107] [" POPUP_INFO ": 104 105] [" POPUP_PROC1
            ": 108 109 110] [" POPUP_PROC2 ": 191 192 113 114 115 112 111 118 119] [" POPUP_PROC3
            ": 116 117 153 121 122] [" POPUP_FILTER ": [" POPUP_NOISE ": 151 152] [" POPUP_BLUR
            ": 134 135 136 137 138 139 140] [" POPUP_SHARPEN ": 141 142] [" POPUP_EMBOSS ": 143 144] [" POPUP_EDGE
            ": 145 146 147] [" POPUP_MOSAIC ": 149 120 150] 148 [" POPUP_MOTION ": 171 172] [" POPUP_DIFFUSE
            ": 182 183]] [" POPUP_TRANSFORM ": 124 123 128 154 126 125 127 174 173 186] [" POPUP_COMPOSE ": 131 ["
            POPUP_OTHERBLEND ": 155 156 157 158 159 160 161 162 163 164 165 166 167]] [" POPUP_PAINT ": 178 179] ["
            POPUP_TRIM ": 129] [" POPUP_SLIDE ": 130 188] [" POPUP_THUMBS ": 132] [" POPUP_REDUCE ": [" POPUP_REDUCE256
            ": 168 187] 169 170] [" POPUP_PRINT ": 133 176] [" POPUP_SETTINGS ": 180 189] [" POPUP_HELP ": 177 175]");
  ACCEL keys[16];  // all with Alt
  const int n = CopyAcceleratorTableA(LoadAcceleratorsA(GetModuleHandleA(nullptr), "IDI_ACCEL"), keys, 16);
  std::string s;
  for (int i = 0; i < n; ++i)
    s += std::string(1, keys[i].key) + ((keys[i].fVirt & (FVIRTKEY | FALT)) == (FVIRTKEY | FALT) ? "=" : "?") +
         std::to_string(keys[i].cmd) + " ";
  EXPECT_EQ(s, "O=102 Q=101 U=106 R=107 H=124 V=123 T=132 ");
}

TEST(Toolbar, ButtonsInTableOrderFitTheBandWhenMaximised) {
  std::string order;  // "|" a separator, "c" a check button
  for (int i = 0; i < SendMessageA(Doc().toolbar_, TB_BUTTONCOUNT, 0, 0); ++i) {
    TBBUTTON b{};
    SendMessageA(Doc().toolbar_, TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&b));
    EXPECT_TRUE((b.fsStyle & TBSTYLE_SEP) || b.iBitmap == b.idCommand - 101) << b.idCommand;  // its own picture
    order += b.fsStyle & TBSTYLE_SEP ? "| " : std::to_string(b.idCommand) + (b.fsStyle & TBSTYLE_CHECK ? "c " : " ");
  }
  EXPECT_EQ(order, "101 | 102 103 | 104 105 | 106 107 | 108 109 110 111 112 | 113 114 115 | 116 117 118 119 120 | "
                   "121 122 | 123 124 | 125 126 127 | 128 129c 130c 131 | 132 133 ");
  ShowWindow(MainWindow(), SW_SHOWMAXIMIZED);
  PumpMessages();
  RECT r;
  GetWindowRect(Doc().toolbar_, &r);
  EXPECT_LE(r.bottom - r.top, 28);
  ResetDocument();
}

TEST(Modes, MenuToolbarLabelsAndTooltipsFollowTheRows) {
  // In an order where the rows that leave 101 as it was show it.
  const struct Row {
    uint32_t flags;
    const char *menu, *toolbar;
  } rows[] = {
      {0, "101 102 130 132 175 177 180 188 189 ", "101 102 130 132 "},  // no image
      {0, "all", "all"},           {kViewTrimming, "101 129 ", "101 129* "}, {kViewSlideshow, "101 130 ", "101 130* "},
      {kViewThumbnails, "", ""},   {kViewSlideshow, "130 ", "130* "},        {kViewReducing, "", ""},
      {kViewTrimming, "129 ", "129* "}, {0, "all", "all"},                   {kViewReducing, "101 ", ""},
  };
  ResetDocument();
  for (const Row& row : rows) {
    const int at = static_cast<int>(&row - rows);
    ASSERT_TRUE(at != 1 || OpenByMessage(WriteBmp24("modes.bmp", 8, 8, [](int, int) { return 0x336699u; })));
    Doc().view_flags_ = kViewStartFlags | row.flags;
    Doc().UpdateToolbarStates();
    EXPECT_EQ(MenuOffers(), row.menu) << "row " << at;
    EXPECT_EQ(ToolbarOffers(), row.toolbar) << "row " << at;
    // Every item has its label; 129 and 130 read as the mode's own only while it runs.
    const bool trimming = row.flags == kViewTrimming, slideshow = row.flags == kViewSlideshow;
    for (const CommandEntry* e = kCommandTable; e->id; ++e)
      EXPECT_EQ(Label(Bar(), e->id, MF_BYCOMMAND), e->id == 129 && trimming    ? "トリミングモード解除(&R)"
                                                   : e->id == 130 && slideshow ? "スライドショー解除(&E)"
                                                                               : e->label)
          << e->id << " in row " << at;
    EXPECT_EQ(Tooltip(129), trimming ? "トリミングモード解除" : "トリミング実行") << at;
    EXPECT_EQ(Tooltip(130), slideshow ? "スライドショー終了" : "スライドショー実行") << at;
  }
  for (int id = 101; id <= 133; ++id) EXPECT_NE(Tooltip(id), "") << id;
  EXPECT_EQ(Tooltip(101) + Tooltip(111) + Tooltip(118) + Tooltip(133), "プログラム終了RGB各２色変換ヒストグラム伸張ページFit印刷");
  ResetDocument();
}

TEST(Commands, IdsOutsideTheTableAndCommandsWithoutAnImage) {
  ResetDocument();
  ASSERT_TRUE(OpenByMessage(WriteBmp24("cmd.bmp", 16, 8, [](int x, int y) { return x * 0x100010u + y * 0x2000u; })));
  const DibImage* current = Doc().current_;
  // Commands whose operations come later keep their item and do nothing yet.
  for (int id : {100, 181, 184, 185, 190, 193, 0xFFFF, 104, 116, 120, 128, 131, 155, 169, 186}) {
    EXPECT_EQ(Command(id), 0) << id;
    EXPECT_TRUE(Doc().current_ == current && Doc().image_count_ == 1) << id;
  }
  ResetDocument();
  BoxRecorder boxes;
  for (int id : {103, 106, 107, 108, 119, 177}) Command(id);
  EXPECT_EQ(Doc().image_count_, 0);
  EXPECT_EQ(boxes.boxes, std::vector<std::string>{BoxText("Tessamor ver2_7.htmファイルがカレントディレクトリに見当たりません",
                                                          nullptr, MB_OK, true)});  // help without its file
}

TEST(Commands, ProgressWindowCountsWrapsAndCloses) {
  Win32Channel channel;
  channel.ProgressBegin("縮小処理中です");
  HWND window = Doc().progress_window_;
  ASSERT_TRUE(window && GetParent(window) == MainWindow());
  for (int i = 0; i < 130; ++i) channel.ProgressStep((std::to_string(i) + " / 130").c_str());
  char caption[64] = "", counter[64] = "";
  GetDlgItemTextA(window, IDC_PROGRESS_CAPTION, caption, sizeof caption);
  GetDlgItemTextA(window, IDC_PROGRESS_COUNTER, counter, sizeof counter);
  EXPECT_EQ(std::string(caption) + "|" + counter, "縮小処理中です|129 / 130");
  EXPECT_EQ(SendDlgItemMessageA(window, IDC_PROGRESS_BAR, PBM_GETPOS, 0, 0), 30);  // wraps after 100 steps
  channel.ProgressEnd();
  EXPECT_TRUE(!IsWindow(window) && !Doc().progress_window_);
}

}  // namespace
