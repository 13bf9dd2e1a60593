// The information window's fields for a file of each format and the histogram window's curves,
// read back from the windows themselves; the dialog protocol beside them: the two windows open once
// and close without making the main window forget the adjustment dialog; a blend whose file dialog
// is cancelled leaves nothing behind; a document change closes an adjustment dialog as its cancel would.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "app/dialogs_win32.h"
#include "app/file_flow.h"
#include "app/resource_ids.h"
#include "win32_support.h"

namespace {

std::string Field(int id) {
  char text[600] = "";
  GetDlgItemTextA(Doc().info_window_, id, text, sizeof text);
  return text;
}

// Four colours, so that every format (GIF too) can hold the picture.
uint32_t Quarters(int x, int y) { return (x < 4 ? 0x102030u : 0xF0E0D0u) ^ (y < 3 ? 0u : 0x0F0F0Fu); }

TEST(InfoWindows, FieldsOfEveryFormat) {
  ASSERT_TRUE(OpenNew("q.bmp", 8, 6, Quarters));
  RecordingChannel channel;
  channel.answers = {IDOK, IDOK, IDOK};  // the grey and two-level questions of PGM and PBM
  const struct Row {
    const char* name;
    std::string left;  // fields 619, 625, 629, 631, 635 of the as-loaded column
  } rows[] = {
      {"q.png", "PNG|8|RGB|None|"},    {"q.jpg", "JPEG|24|RGB||"},     {"q.ppm", "BINPPM|24|TrueColor(24bit)||255"},
      {"q.pgm", "BINPGM|8|GrayScale||255"}, {"q.pbm", "BINPBM|1|黒白2値||"}, {"q.bmp", "BMP|24|TrueColor(24bit)|BI_RGB|"},
  };
  for (const Row& row : rows) {
    ASSERT_TRUE(OpenByMessage(test_folder + "\\q.bmp"));
    const std::string path = test_folder + "\\" + row.name;
    ASSERT_TRUE(SaveImageFile(Doc(), path.c_str(), 0)) << row.name;
    ASSERT_TRUE(OpenByMessage(path)) << row.name;
    Command(104);
    ASSERT_NE(Doc().info_window_, nullptr);
    EXPECT_EQ(Field(619) + "|" + Field(625) + "|" + Field(629) + "|" + Field(631) + "|" + Field(635), row.left);
    EXPECT_EQ(Field(620) + " " + Field(622) + "x" + Field(624), "DIB 8x6") << row.name;
    EXPECT_EQ(Field(637).rfind(path + "\r\n作成日時:", 0), 0u) << Field(637);
    SendMessageA(Doc().info_window_, WM_CLOSE, 0, 0);
  }
  // A change of the document reaches the open window at once: 48 colours reduced to 16.
  ASSERT_TRUE(OpenByMessage(WriteBmp24("r.bmp", 8, 6, [](int x, int y) { return x * 0x200000u + y * 0x2800u; })));
  Command(104);
  EXPECT_EQ(Field(626) + " " + Field(630), "24 TrueColor(24bit)");
  channel.answers = {IDOK};
  Command(169);
  EXPECT_EQ(Field(626) + " " + Field(628) + " " + Field(630) + " " + Field(625), "4 16 16 Palette 24");
  SendMessageA(Doc().info_window_, WM_CLOSE, 0, 0);
}

// A 2 x 1 picture: every count is 0 but at the two values of each channel, where it is the
// highest (140 pixels above the base line 160); blue is drawn last, so the base line is blue.
TEST(InfoWindows, HistogramCurvesStandWhereTheCountsSay) {
  ASSERT_TRUE(OpenNew("h.bmp", 2, 1, [](int, int) { return 0x1E140Au; }));  // red 30, green 20, blue 10
  Command(105);
  HWND window = Doc().histogram_window_;
  ASSERT_NE(window, nullptr);
  SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  PumpMessages();
  const struct {
    int x, y;
    COLORREF colour;
  } points[] = {{30, 20, RGB(255, 0, 0)}, {20, 20, RGB(0, 255, 0)}, {10, 20, RGB(0, 0, 255)},
                {100, 160, RGB(0, 0, 255)}, {100, 100, RGB(236, 233, 216)}};
  for (const auto& p : points) EXPECT_EQ(ClientPixel(window, 25 + p.x, p.y), p.colour) << p.x << "," << p.y;
  // A grey picture: one black curve.
  ASSERT_TRUE(OpenByMessage(WriteBmp24("g.bmp", 2, 1, [](int, int) { return 0x404040u; })));
  Command(105);  // open already: redrawn through the document's change
  EXPECT_EQ(ClientPixel(window, 25 + 64, 20) | ClientPixel(window, 25 + 100, 160), RGB(0, 0, 0));
  SendMessageA(window, WM_CLOSE, 0, 0);
  PumpMessages();
  EXPECT_TRUE(!Doc().histogram_window_ && !Doc().histogram_);
}

uint32_t Ramp(int x, int y) { return static_cast<uint32_t>(x * 0x100000 + y * 0x1000 + 0x30); }

// Cancels the first dialog box of this thread that shows while a modal loop runs.
void CALLBACK CancelBox(HWND, UINT, UINT_PTR timer, DWORD) {
  for (HWND w = nullptr; (w = FindWindowExA(nullptr, w, "#32770", nullptr));) {
    if (GetWindowThreadProcessId(w, nullptr) == GetCurrentThreadId() && IsWindowVisible(w) &&
        w != Doc().info_window_ && w != Doc().histogram_window_ && w != Doc().dialog_window_) {
      PostMessageA(w, WM_COMMAND, IDCANCEL, 0);
      KillTimer(nullptr, timer);
      return;
    }
  }
}

TEST(DialogProtocol, WindowsOpenOnceAndCloseWithoutForgettingTheAdjustment) {
  ASSERT_TRUE(OpenNew("d.bmp", 8, 6, Ramp));
  CmdClass& c = Doc();
  Command(104);
  Command(105);
  const HWND info = c.info_window_, histogram = c.histogram_window_;
  ASSERT_TRUE(info && histogram);
  Command(104);  // open already: the same window
  EXPECT_EQ(c.info_window_, info);
  Command(116);
  const HWND gamma = c.dialog_window_;
  ASSERT_NE(gamma, nullptr);
  EXPECT_EQ(c.open_windows_, kBitInformation | kBitHistogram | kBitGamma);
  SendMessageA(info, WM_CLOSE, 0, 0);
  SendMessageA(histogram, WM_CLOSE, 0, 0);
  PumpMessages();
  EXPECT_TRUE(!c.info_window_ && !c.histogram_window_ && !c.histogram_ && !IsWindow(info));
  EXPECT_EQ(c.dialog_window_, gamma);
  EXPECT_EQ(c.open_windows_, kBitGamma);
  // Undo changes the document: the gamma dialog goes as cancelled, with its copies.
  Command(106);
  EXPECT_TRUE(!c.dialog_window_ && !IsWindow(gamma) && !c.work_ && c.pending_ == c.current_);
  EXPECT_EQ(c.open_windows_, 0u);
  EXPECT_EQ(c.image_count_, 1);
}

TEST(DialogProtocol, CancelledBlendLeavesNothingBehind) {
  ASSERT_TRUE(OpenNew("b.bmp", 8, 6, Ramp));
  CmdClass& c = Doc();
  const DibImage* const current = c.current_;
  for (int command : {131, 155}) {
    SetTimer(nullptr, 0, 200, CancelBox);
    Command(command);
    EXPECT_EQ(c.view_flags_ & kViewBlendLoading, 0u) << command;
    EXPECT_TRUE(c.current_ == current && c.pending_ == current && !c.work_ && !c.dialog_window_) << command;
    EXPECT_EQ(c.image_count_, 1) << command;
  }
  // The next open replaces the document again.
  ASSERT_TRUE(OpenByMessage(WriteBmp24("c.bmp", 5, 4, Ramp)));
  EXPECT_EQ(c.image_count_, 1);
  EXPECT_EQ(Width(c.current_), 5);
}

}  // namespace
