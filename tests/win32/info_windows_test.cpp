// The information window's fields for a file of each format and the histogram window's curves,
// read back from the windows themselves.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "app/file_flow.h"
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
  ResetDocument();
  ASSERT_TRUE(OpenByMessage(WriteBmp24("q.bmp", 8, 6, Quarters)));
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
  ResetDocument();
  ASSERT_TRUE(OpenByMessage(WriteBmp24("h.bmp", 2, 1, [](int, int) { return 0x1E140Au; })));  // red 30, green 20, blue 10
  Command(105);
  HWND window = Doc().histogram_window_;
  ASSERT_NE(window, nullptr);
  SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  PumpMessages();
  HDC dc = GetDC(window);
  EXPECT_EQ(GetPixel(dc, 25 + 30, 20), RGB(255, 0, 0));
  EXPECT_EQ(GetPixel(dc, 25 + 20, 20), RGB(0, 255, 0));
  EXPECT_EQ(GetPixel(dc, 25 + 10, 20), RGB(0, 0, 255));
  EXPECT_EQ(GetPixel(dc, 25 + 100, 160), RGB(0, 0, 255));
  EXPECT_EQ(GetPixel(dc, 25 + 100, 100), RGB(236, 233, 216));
  ReleaseDC(window, dc);
  // A grey picture: one black curve.
  ASSERT_TRUE(OpenByMessage(WriteBmp24("g.bmp", 2, 1, [](int, int) { return 0x404040u; })));
  Command(105);  // open already: redrawn through the document's change
  dc = GetDC(window);
  EXPECT_EQ(GetPixel(dc, 25 + 64, 20), RGB(0, 0, 0));
  EXPECT_EQ(GetPixel(dc, 25 + 100, 160), RGB(0, 0, 0));
  ReleaseDC(window, dc);
  SendMessageA(window, WM_CLOSE, 0, 0);
  PumpMessages();
  EXPECT_TRUE(!Doc().histogram_window_ && !Doc().histogram_);
}

}  // namespace
