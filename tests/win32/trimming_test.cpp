// Trimming mode in the real main window: entering and leaving, drags by mouse messages, and the
// close box and quit command during the mode.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>

#include "app/command_labels.h"
#include "app/resource_ids.h"
#include "document/view_math.h"
#include "tests/win32/win32_support.h"

namespace {

// Each pixel tells where it came from: red x, green y.
uint32_t Where(int x, int y) { return static_cast<uint32_t>(x << 16 | y << 8 | 0x40); }
bool OpenPicture() { return OpenNew("trim.bmp", 120, 90, Where); }

// The flag, the caption's boxes, the procedure, the class cursor (once the mouse is over the
// view) and the toolbar states of 101, 108 and 129.
std::string ModeState() {
  SendMessageA(main_window, WM_SETCURSOR, reinterpret_cast<WPARAM>(main_window), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  const LONG_PTR style = GetWindowLongPtrA(main_window, GWL_STYLE), cursor = GetClassLongPtrA(main_window, GCLP_HCURSOR);
  std::string s = (Doc().view_flags_ & kViewTrimming) ? "trimming" : "off";
  s += std::string((style & WS_MINIMIZEBOX) ? " min" : "") + ((style & WS_MAXIMIZEBOX) ? " max" : "");
  s += OwnProcedure() ? " own" : " other";
  s += cursor == reinterpret_cast<LONG_PTR>(LoadCursorA(nullptr, IDC_CROSS)) ? " cross"
       : cursor == reinterpret_cast<LONG_PTR>(LoadCursorA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDC_VIEW_CURSOR)))
           ? " view"
           : " ?";
  for (int id : {101, 108, 129}) s += " " + std::to_string(ToolbarState(id));
  return s;
}
const char* const kOff = "off min max own view 4 4 4";
const char* const kOn = "trimming other cross 4 16 5";

// The enabled items once a popup opens (popup false: as they stand), and the label of 129.
std::string Menu(bool popup) {
  HMENU menu = GetMenu(main_window);
  if (popup) SendMessageA(main_window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(GetSubMenu(menu, 0)), 0);
  std::string s;
  for (int id = 101; popup && id <= 192; ++id)
    if (!(GetMenuState(menu, id, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED))) s += std::to_string(id) + " ";
  return s + "| " + MenuLabel(129);
}

TEST(Trimming, EnteringAndLeaving) {
  ResetDocument();
  Command(129);  // no image: no mode
  EXPECT_EQ(ModeState(), "off min max own view 4 16 16");
  ASSERT_TRUE(OpenPicture());
  // By the menu, and as the accelerators send it (1 in the high word), in both directions.
  for (const auto& [enter, leave] : {std::pair<WPARAM, WPARAM>{129, MAKEWPARAM(129, 1)}, {MAKEWPARAM(129, 1), 129}}) {
    SendMessageA(main_window, WM_COMMAND, enter, 0);
    EXPECT_EQ(ModeState(), kOn);
    EXPECT_EQ(Menu(true), "101 129 | " LABEL_129_TRIMMING);
    NMTTDISPINFOA info{};
    info.hdr = NMHDR{Doc().toolbar_, 129, static_cast<UINT>(TTN_GETDISPINFOA)};
    SendMessageA(main_window, WM_NOTIFY, 129, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(reinterpret_cast<UINT_PTR>(info.lpszText), 333u);
    Command(108);  // nothing else runs in the mode
    SendMessageA(main_window, WM_COMMAND, leave, 0);
    EXPECT_EQ(ModeState() + " " + Menu(false) + (QuitPosted() ? " quit" : ""),
              std::string(kOff) + " | " LABEL_129_TRIMMING_ENDED);
    EXPECT_EQ(Doc().image_count_, 1);
  }
  Doc().view_flags_ |= kViewTrimming;  // the flag without the mode's procedure: 129 just clears it
  Command(129);
  EXPECT_EQ(ModeState(), kOff);
}

TEST(Trimming, DragsCropToTheBandAsOneStep) {
  const struct Row {
    int zoom;
    POINT from, to;      // relative to the drawn image's top-left corner
    bool to_client;      // `to` in client coordinates instead
    const char* expect;  // size, first and last pixel of the image made
  } rows[] = {
      {100, {10, 20}, {110, 70}, false, "99x49 (10,20)-(108,68)"},
      {200, {10, 20}, {110, 70}, false, "49x24 (5,10)-(53,33)"},
      {100, {110, 70}, {10, 20}, false, "99x49 (10,20)-(108,68)"},  // right to left
      {100, {-30, -30}, {130, 100}, false, "120x90 (0,0)-(119,89)"},
      {100, {50, 40}, {-20, -20}, true, "50x40 (0,0)-(49,39)"},    // released outside the window
      {100, {10, 20}, {10, 20}, false, "none"},
      {100, {-40, 10}, {-5, 50}, false, "none"},
  };
  for (const Row& row : rows) {
    ASSERT_TRUE(OpenPicture());
    CmdClass& c = Doc();
    c.zoom_ = row.zoom;
    c.scroll_x_ = 7;  // the crop resets the pan
    const ImageRect at = ComputeImageRect(ViewPlacement{c.view_rect_, 120, 90, c.zoom_, 7, 0, false});
    const POINT p0{static_cast<LONG>(at.x) + row.from.x, static_cast<LONG>(at.y) + row.from.y};
    const POINT p1 = row.to_client ? row.to : POINT{static_cast<LONG>(at.x) + row.to.x, static_cast<LONG>(at.y) + row.to.y};
    Command(129);
    SendMessageA(main_window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p0.x, p0.y));
    for (int half : {1, 2})
      SendMessageA(main_window, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(p0.x + (p1.x - p0.x) * half / 2, p0.y + (p1.y - p0.y) * half / 2));
    EXPECT_EQ(GetCapture(), main_window) << row.expect;
    SendMessageA(main_window, WM_LBUTTONUP, 0, MAKELPARAM(p1.x, p1.y));
    PumpMessages();
    std::string made = "none";
    if (c.image_count_ == 2) {
      const int w = Width(c.current_), h = Height(c.current_);
      char text[64];
      const uint32_t a = Pixel(c.current_, 0, 0), b = Pixel(c.current_, w - 1, h - 1);
      std::snprintf(text, sizeof text, "%dx%d (%u,%u)-(%u,%u)", w, h, a >> 16, a >> 8 & 255, b >> 16, b >> 8 & 255);
      made = text;
    }
    EXPECT_EQ(made, row.expect);
    EXPECT_EQ(ModeState() + (GetCapture() ? " captured" : "") + " pan " + std::to_string(c.scroll_x_),
              std::string(kOff) + " pan 0")
        << row.expect;
    Command(106);  // one undo step back to the picture
    EXPECT_EQ(c.image_count_ * 1000 + Width(c.current_), 1120) << row.expect;
  }
}

TEST(Trimming, CloseBoxAndQuitLeaveTheModeAndQuit) {
  const std::string ini = test_folder + "\\Tessamor.ini";
  for (const auto& [message, wparam] : {std::pair<UINT, WPARAM>{WM_CLOSE, 0}, {WM_COMMAND, 101}}) {
    ASSERT_TRUE(OpenPicture());
    Command(129);
    ASSERT_EQ(ModeState(), kOn);
    ASSERT_TRUE(DeleteFileA(ini.c_str()));
    SendMessageA(main_window, message, wparam, 0);
    EXPECT_TRUE(QuitPosted()) << message;
    EXPECT_EQ(ModeState(), kOff) << message;
    EXPECT_NE(FileBytes(ini).find("DirName=" + test_folder), std::string::npos) << message;
  }
}

}  // namespace
