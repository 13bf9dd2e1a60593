// Menu 500 as the resource builds it, and the availability rows applied on WM_INITMENUPOPUP.
#include <gtest/gtest.h>

#include <string>

#include "app/command_labels.h"
#include "app/command_table.h"
#include "win32_support.h"

namespace {

std::string Label(HMENU menu, UINT position) {
  char text[128] = "";
  GetMenuStringA(menu, position, text, sizeof text, MF_BYPOSITION);
  return text;
}

// "label[id id [nested: id id] ...]" of a popup, by position.
std::string Describe(HMENU menu) {
  std::string s;
  const int n = GetMenuItemCount(menu);
  for (int i = 0; i < n; ++i) {
    if (!s.empty()) s += " ";
    if (HMENU sub = GetSubMenu(menu, i)) s += "[" + Label(menu, i) + ": " + Describe(sub) + "]";
    else s += std::to_string(GetMenuItemID(menu, i));
  }
  return s;
}

// Sends WM_INITMENUPOPUP for every popup of the menu bar, as opening each of them would.
void OpenEveryPopup() {
  HMENU bar = GetMenu(MainWindow());
  for (int i = 0; i < GetMenuItemCount(bar); ++i)
    SendMessageA(MainWindow(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(GetSubMenu(bar, i)), i);
}

// The ids 101..192 that are enabled in the menu.
std::string EnabledIds() {
  std::string s;
  HMENU bar = GetMenu(MainWindow());
  for (int id = 101; id <= 192; ++id) {
    const UINT state = GetMenuState(bar, id, MF_BYCOMMAND);
    if (state != 0xFFFFFFFF && !(state & MF_GRAYED)) s += std::to_string(id) + " ";
  }
  return s;
}

std::string ItemLabel(int id) {
  char text[128] = "";
  GetMenuStringA(GetMenu(MainWindow()), id, text, sizeof text, MF_BYCOMMAND);
  return text;
}

TEST(Menu500, PopupsItemsAndLabels) {
  HMENU bar = GetMenu(MainWindow());
  ASSERT_NE(bar, nullptr);
  const char* const popups[] = {POPUP_FILE,    POPUP_EDIT,   POPUP_INFO,      POPUP_PROC1,  POPUP_PROC2,
                                POPUP_PROC3,   POPUP_FILTER, POPUP_TRANSFORM, POPUP_COMPOSE, POPUP_PAINT,
                                POPUP_TRIM,    POPUP_SLIDE,  POPUP_THUMBS,    POPUP_REDUCE, POPUP_PRINT,
                                POPUP_SETTINGS, POPUP_HELP};
  ASSERT_EQ(GetMenuItemCount(bar), 17);
  for (int i = 0; i < 17; ++i) EXPECT_EQ(Label(bar, i), popups[i]) << i;

  const char* const items[] = {
      "102 103 101", "106 107", "104 105", "108 109 110", "191 192 113 114 115 112 111 118 119",
      "116 117 153 121 122",
      "[" POPUP_NOISE ": 151 152] [" POPUP_BLUR ": 134 135 136 137 138 139 140] [" POPUP_SHARPEN
      ": 141 142] [" POPUP_EMBOSS ": 143 144] [" POPUP_EDGE ": 145 146 147] [" POPUP_MOSAIC ": 149 120 150] 148 ["
      POPUP_MOTION ": 171 172] [" POPUP_DIFFUSE ": 182 183]",
      "124 123 128 154 126 125 127 174 173 186",
      "131 [" POPUP_OTHERBLEND ": 155 156 157 158 159 160 161 162 163 164 165 166 167]",
      "178 179", "129", "130 188", "132", "[" POPUP_REDUCE256 ": 168 187] 169 170", "133 176", "180 189",
      "177 175"};
  for (int i = 0; i < 17; ++i) EXPECT_EQ(Describe(GetSubMenu(bar, i)), items[i]) << i;

  // Every command of the table has its item with its label, and nothing else is in the menu.
  int count = 0;
  for (const CommandEntry* e = kCommandTable; e->id; ++e, ++count) EXPECT_EQ(ItemLabel(e->id), e->label) << e->id;
  EXPECT_EQ(count, 88);
  for (int id : {181, 184, 185, 190}) EXPECT_EQ(GetMenuState(bar, id, MF_BYCOMMAND), 0xFFFFFFFFu);
}

TEST(Menu500, AvailabilityRowsWithRelabelling) {
  ResetDocument();
  OpenEveryPopup();
  EXPECT_EQ(EnabledIds(), "101 102 130 132 175 177 180 188 189 ");

  ASSERT_TRUE(OpenByMessage(WriteBmp24("menu.bmp", 8, 8, [](int, int) { return 0x336699u; })));
  OpenEveryPopup();
  EXPECT_EQ(EnabledIds().size(), 88u * 4);  // every item: 88 three-digit ids and blanks

  Doc().view_flags_ |= kViewTrimming;
  OpenEveryPopup();
  EXPECT_EQ(EnabledIds(), "101 129 ");
  EXPECT_EQ(ItemLabel(129), "トリミングモード解除(&R)");

  Doc().view_flags_ = kViewStartFlags | kViewSlideshow;
  OpenEveryPopup();
  EXPECT_EQ(EnabledIds(), "101 130 ");
  EXPECT_EQ(ItemLabel(130), "スライドショー解除(&E)");
  EXPECT_EQ(ItemLabel(129), LABEL_129);  // trimming is over: its label is back

  // Quit keeps its state in the reduction row; the thumbnail row greys it too.
  Doc().view_flags_ = kViewStartFlags | kViewThumbnails;
  OpenEveryPopup();
  EXPECT_EQ(EnabledIds(), "");
  EXPECT_EQ(ItemLabel(130), LABEL_130);  // the slideshow is over: back to its own label
  Doc().view_flags_ = kViewStartFlags | kViewReducing;
  OpenEveryPopup();
  EXPECT_EQ(EnabledIds(), "");
  Doc().view_flags_ = kViewStartFlags;
  OpenEveryPopup();
  Doc().view_flags_ = kViewStartFlags | kViewReducing;
  OpenEveryPopup();
  EXPECT_EQ(EnabledIds(), "101 ");
  ResetDocument();
}

TEST(Menu500, AcceleratorsSendTheirCommands) {
  HACCEL table = LoadAcceleratorsA(GetModuleHandleA(nullptr), "IDI_ACCEL");
  ASSERT_NE(table, nullptr);
  ACCEL entries[16];
  const int n = CopyAcceleratorTableA(table, entries, 16);
  std::string s;
  for (int i = 0; i < n; ++i) {
    EXPECT_EQ(entries[i].fVirt & (FVIRTKEY | FALT), FVIRTKEY | FALT);
    s += std::string(1, static_cast<char>(entries[i].key)) + "=" + std::to_string(entries[i].cmd) + " ";
  }
  EXPECT_EQ(s, "O=102 Q=101 U=106 R=107 H=124 V=123 T=132 ");
}

}  // namespace
