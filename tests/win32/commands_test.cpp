// Menu 500 as the program builds it; the availability rows of the menu and the toolbar by mode with
// the relabelled items and tooltips; the dispatch of commands.
#include <windows.h>

#include <gtest/gtest.h>

#include <commctrl.h>

#include <string>

#include "app/command_labels.h"
#include "app/command_table.h"
#include "win32_support.h"

namespace {

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

// What the menu, once every popup got WM_INITMENUPOPUP, and the toolbar offer, as "menu | toolbar":
// the enabled ids ("id*" for a pressed button), or "all".
std::string Offers() {
  HMENU bar = GetMenu(main_window);
  for (int i = 0; i < GetMenuItemCount(bar); ++i)
    SendMessageA(main_window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(GetSubMenu(bar, i)), i);
  std::string menu, all, toolbar;
  for (const CommandEntry* e = kCommandTable; e->id; ++e) {
    all += std::to_string(e->id) + " ";
    if (!(GetMenuState(bar, e->id, MF_BYCOMMAND) & MF_GRAYED)) menu += std::to_string(e->id) + " ";
    const LRESULT st = SendMessageA(Doc().toolbar_, TB_GETSTATE, e->id, 0);  // -1 without a button
    if (!(st & TBSTATE_INDETERMINATE) && (st & TBSTATE_ENABLED))
      toolbar += std::to_string(e->id) + (st & TBSTATE_CHECKED ? "* " : " ");
  }
  return (menu == all ? "all " : menu) + "| " + (toolbar.size() == 33 * 4 ? "all " : toolbar);
}

std::string Tooltip(int id) {
  NMTTDISPINFOA info{};
  info.hdr = NMHDR{Doc().toolbar_, static_cast<UINT_PTR>(id), TTN_GETDISPINFOA};
  SendMessageA(main_window, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&info));
  char text[128] = "";
  if (info.hinst != GetModuleHandleA(nullptr) || !IS_INTRESOURCE(info.lpszText)) return "not a string of the program";
  LoadStringA(info.hinst, static_cast<UINT>(reinterpret_cast<UINT_PTR>(info.lpszText)), text, sizeof text);
  return text;
}

TEST(Menu500, PopupsAndItems) {
  // The item labels are checked in every mode below.
  EXPECT_EQ(Describe(GetMenu(main_window)),
            "[" POPUP_FILE ": 102 103 101] [" POPUP_EDIT ": 106 107] [" POPUP_INFO ": 104 105] [" POPUP_PROC1
            ": 108 109 110] [" POPUP_PROC2 ": 191 192 113 114 115 112 111 118 119] [" POPUP_PROC3
            ": 116 117 153 121 122] [" POPUP_FILTER ": [" POPUP_NOISE ": 151 152] [" POPUP_BLUR
            ": 134 135 136 137 138 139 140] [" POPUP_SHARPEN ": 141 142] [" POPUP_EMBOSS ": 143 144] [" POPUP_EDGE
            ": 145 146 147] [" POPUP_MOSAIC ": 149 120 150] 148 [" POPUP_MOTION ": 171 172] [" POPUP_DIFFUSE
            ": 182 183]] [" POPUP_TRANSFORM ": 124 123 128 154 126 125 127 174 173 186] [" POPUP_COMPOSE
            ": 131 [" POPUP_OTHERBLEND ": 155 156 157 158 159 160 161 162 163 164 165 166 167]] [" POPUP_PAINT
            ": 178 179] [" POPUP_TRIM ": 129] [" POPUP_SLIDE ": 130 188] [" POPUP_THUMBS ": 132] [" POPUP_REDUCE
            ": [" POPUP_REDUCE256 ": 168 187] 169 170] [" POPUP_PRINT ": 133 176] [" POPUP_SETTINGS
            ": 180 189] [" POPUP_HELP ": 177 175]");
}

TEST(Commands, RowsOfEveryModeAndTheDispatch) {
  ResetDocument();
  RecordingChannel channel;  // without an image nothing runs; help says its file is missing
  for (int id : {103, 106, 107, 108, 119, 177}) Command(id);
  EXPECT_EQ(Doc().image_count_, 0);
  EXPECT_EQ(Shown(channel),
            BoxText("Tessamor ver2_7.htmファイルがカレントディレクトリに見当たりません", nullptr, MB_OK, true));
  // The rows, the first without an image, in an order where those that leave 101 as it was show it.
  const struct Row {
    uint32_t flags;
    const char* offers;
  } rows[] = {{0, "101 102 130 132 175 177 180 188 189 | 101 102 130 132 "}, {0, "all | all "},
               {kViewTrimming, "101 129 | 101 129* "}, {kViewSlideshow, "101 130 | 101 130* "},
               {kViewThumbnails, "| "}, {kViewSlideshow, "130 | 130* "}, {kViewReducing, "| "},
               {kViewTrimming, "129 | 129* "}, {0, "all | all "}, {kViewReducing, "101 | "}};
  for (const Row& row : rows) {
    const int at = static_cast<int>(&row - rows);
    ASSERT_TRUE(at != 1 || OpenByMessage(WriteBmp24("modes.bmp", 16, 8, [](int x, int) { return x * 0x100010u; })));
    Doc().view_flags_ = kViewStartFlags | row.flags;
    Doc().UpdateToolbarStates();
    EXPECT_EQ(Offers(), row.offers) << "row " << at;
    // Every item has its label; 129 and 130 read as the mode's own only while it runs.
    const bool trimming = row.flags == kViewTrimming, slideshow = row.flags == kViewSlideshow;
    const int relabelled = trimming ? 129 : slideshow ? 130 : 0;
    for (const CommandEntry* e = kCommandTable; e->id; ++e)
      EXPECT_EQ(Label(GetMenu(main_window), e->id, MF_BYCOMMAND),
                e->id != relabelled ? e->label : trimming ? "トリミングモード解除(&R)" : "スライドショー解除(&E)")
          << e->id << " in row " << at;
    EXPECT_EQ(Tooltip(129), trimming ? "トリミングモード解除" : "トリミング実行") << at;
    EXPECT_EQ(Tooltip(130), slideshow ? "スライドショー終了" : "スライドショー実行") << at;
  }
  for (int id = 101; id <= 133; ++id) EXPECT_NE(Tooltip(id), "") << id;
  EXPECT_EQ(Tooltip(101) + Tooltip(111) + Tooltip(118) + Tooltip(133),
            "プログラム終了RGB各２色変換ヒストグラム伸張ページFit印刷");
  // Ids outside the table change nothing.
  Doc().view_flags_ = kViewStartFlags;
  const DibImage* current = Doc().current_;
  for (int id : {100, 181, 184, 185, 190, 193, 0xFFFF}) {
    EXPECT_EQ(Command(id), 0) << id;
    EXPECT_TRUE(Doc().current_ == current && Doc().image_count_ == 1) << id;
  }
}

TEST(Commands, OperationsFromTheMenuMakeOneUndoStepEach) {
  ASSERT_TRUE(OpenNew("ops.bmp", 40, 30, [](int x, int y) { return x * 0x060000u + y * 0x0800u + 0x40u; }));
  RecordingChannel channel;  // the question answered with OK
  const struct Row {
    int id;
    int count;                 // images in the chain afterwards
    const char* progress;      // captions of the progress shown, in order
    std::string boxes;
  } rows[] = {
      {169, 2, "ハッシュ処理中です,メディアンカット処理中です,",
       BoxText("時間がかかりますが実行しますか?", "問合せ", MB_OKCANCEL | MB_ICONQUESTION, true) +
           BoxText("処理を終了しました", "情報", MB_ICONINFORMATION, true)},
      {169, 2, "", BoxText("減色の必要はありません", "Information", MB_ICONINFORMATION, false)},
      {146, 3, "", ""},
      {123, 4, "", ""},
  };
  for (const Row& row : rows) {
    channel.boxes.clear();
    channel.progress.clear();
    Command(row.id);
    std::string captions;
    for (const std::string& p : channel.progress)
      if (p.rfind("begin:", 0) == 0) captions += p.substr(6) + ",";
    EXPECT_EQ(Doc().image_count_, row.count) << row.id;
    EXPECT_EQ(captions, row.progress) << row.id;
    EXPECT_EQ(Shown(channel), row.boxes) << row.id;
    EXPECT_EQ(Doc().view_flags_ & kViewReducing, 0u) << row.id;
  }
  EXPECT_EQ(BitCount(Doc().current_), 24);
  Command(106);
  EXPECT_EQ(Doc().image_count_, 3);
}

}  // namespace
