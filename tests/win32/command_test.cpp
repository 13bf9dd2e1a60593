// Command dispatch in the real window: ids outside the table, the tone commands with undo and
// revert, help, the about box, the progress window and the settings file.
#include <windows.h>

#include <gtest/gtest.h>

#include <commctrl.h>

#include <string>

#include "app/channel_win32.h"
#include "app/resource_ids.h"
#include "app/settings.h"
#include "win32_support.h"

namespace {

LRESULT Command(int id) { return SendMessageA(MainWindow(), WM_COMMAND, MAKEWPARAM(id, 0), 0); }

class Commands : public testing::Test {
 protected:
  void SetUp() override {
    ResetDocument();
    ASSERT_TRUE(OpenByMessage(WriteBmp24("cmd.bmp", 16, 8, [](int x, int y) { return x * 0x100010u + y * 0x2000u; })));
  }
  void TearDown() override { ResetDocument(); }
};

TEST_F(Commands, IdsOutsideTheTableChangeNothing) {
  const DibImage* current = Doc().current_;
  for (int id : {100, 181, 184, 185, 190, 193, 0xFFFF}) {
    EXPECT_EQ(Command(id), 0) << id;
    EXPECT_EQ(Doc().current_, current) << id;
    EXPECT_EQ(Doc().image_count_, 1) << id;
  }
  // Commands whose operations come later keep their item and do nothing yet.
  for (int id : {104, 116, 120, 128, 131, 155, 169, 186}) Command(id);
  EXPECT_EQ(Doc().image_count_, 1);
}

TEST_F(Commands, ToneCommandsUndoAndRevert) {
  const uint8_t first = Doc().current_->bits[0];
  for (int id : {108, 109, 110, 111, 112, 113, 114, 115, 118, 119}) Command(id);
  EXPECT_EQ(Doc().image_count_, 11);
  Command(106);
  EXPECT_EQ(Doc().image_count_, 10);
  Command(107);
  EXPECT_EQ(Doc().image_count_, 1);
  EXPECT_EQ(Doc().current_->bits[0], first);
  Command(106);  // nothing below the image as loaded
  EXPECT_EQ(Doc().image_count_, 1);
  Command(108);
  EXPECT_EQ(Doc().current_->bits[0], 255 - first);

  // Without an image nothing runs and nothing is reported.
  ResetDocument();
  BoxRecorder boxes;
  for (int id : {103, 106, 107, 108, 119}) Command(id);
  EXPECT_EQ(Doc().image_count_, 0);
  EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(Commands, HelpWithoutItsFile) {
  BoxRecorder boxes;
  Command(177);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, "Tessamor ver2_7.htmファイルがカレントディレクトリに見当たりません");
  EXPECT_FALSE(boxes.boxes[0].has_caption);
  EXPECT_EQ(boxes.boxes[0].style, static_cast<unsigned>(MB_OK));
  EXPECT_TRUE(boxes.boxes[0].owned);
}

// Checks the about box from inside its modal loop, then presses its button.
std::string about_seen;
void CALLBACK InspectAbout(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND box = FindWindowA("#32770", "プログラム情報");
  if (!box) return;
  KillTimer(nullptr, timer);
  char name[64] = "", button[16] = "";
  GetDlgItemTextA(box, IDC_ABOUT_NAME, name, sizeof name);
  GetDlgItemTextA(box, IDC_ABOUT_OK, button, sizeof button);
  const bool icon = SendDlgItemMessageA(box, IDC_ABOUT_ICON, STM_GETICON, 0, 0) != 0;
  const bool close_box = (GetWindowLongA(box, GWL_STYLE) & WS_SYSMENU) != 0;
  about_seen = std::string(name) + "|" + button + "|" + (icon ? "icon" : "no icon") + "|" +
               (close_box ? "close box" : "no close box");
  SendMessageA(box, WM_COMMAND, IDC_ABOUT_OK, 0);
}

TEST_F(Commands, AboutBox) {
  about_seen.clear();
  SetTimer(nullptr, 0, 50, InspectAbout);
  Command(175);
  EXPECT_EQ(about_seen, "Tessamor ver2.7.0|O K|icon|no close box");
}

TEST_F(Commands, ProgressWindowCountsAndCloses) {
  Win32Channel channel;
  channel.ProgressBegin("縮小処理中です");
  HWND window = Doc().progress_window_;
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(GetParent(window), MainWindow());
  char text[64] = "";
  GetDlgItemTextA(window, IDC_PROGRESS_CAPTION, text, sizeof text);
  EXPECT_STREQ(text, "縮小処理中です");
  char counter[32];
  for (int i = 0; i < 130; ++i) {
    std::snprintf(counter, sizeof counter, "%d / %d", i, 130);
    channel.ProgressStep(counter);
  }
  GetDlgItemTextA(window, IDC_PROGRESS_COUNTER, text, sizeof text);
  EXPECT_STREQ(text, "129 / 130");
  // The bar wraps after 100 steps, as the platform's bar does.
  EXPECT_EQ(SendDlgItemMessageA(window, IDC_PROGRESS_BAR, PBM_GETPOS, 0, 0), 30);
  channel.ProgressEnd();
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(Doc().progress_window_, nullptr);
}

TEST_F(Commands, SettingsFileFromHandWrittenText) {
  // main() wrote BkColor = 12632256 (decimal) before the window existed.
  EXPECT_EQ(Doc().background_colour_, 0xC0C0C0u);
  LOGBRUSH brush{};
  GetObjectA(reinterpret_cast<HBRUSH>(GetClassLongPtrA(MainWindow(), GCLP_HBRBACKGROUND)), sizeof brush, &brush);
  EXPECT_EQ(brush.lbColor, 0xC0C0C0u);
  Doc().SaveSettings();
  const std::string ini = ReadTextFile((TestFolder() + "\\Tessamor.ini").c_str());
  EXPECT_EQ(ini, "[DIRECTORY]\r\nDirName=" + TestFolder() +
                     "\r\n[COLOR]\r\nBkColor = 0xc0c0c0\r\n[SLIDESHOW]\r\nSlideInterval = 5\r\nSlideMode = 1\r\n"
                     "[FLFILTER]\r\nFlFilter = 2\r\n[THUMBNAIL]\r\nThumbWidth = 80\r\nThumbHeight = 80\r\n"
                     "[PPMPGMPBM]\r\nPgmSaveMode = 0\r\n");
}

}  // namespace
