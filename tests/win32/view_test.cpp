// The view on a real client rectangle: placement and painting at several zooms, the centre mark,
// the wheel, the title, dragging and the middle button.
#include <gtest/gtest.h>

#include <string>

#include "document/view_math.h"
#include "win32_support.h"

namespace {

// A 50 x 40 picture whose every pixel tells where it is.
uint32_t Probe(int x, int y) { return static_cast<uint32_t>(x * 5) << 16 | static_cast<uint32_t>(y * 6) << 8 | 0x40; }

ImageRect Placed() {
  const CmdClass& c = Doc();
  return ComputeImageRect(
      ViewPlacement{c.view_rect_, Width(c.current_), Height(c.current_), c.zoom_, c.scroll_x_, c.scroll_y_, false});
}

// Zoom, pan, dragging and mouse capture.
std::string ViewState() {
  const CmdClass& c = Doc();
  return std::to_string(c.zoom_) + "% pan " + std::to_string(c.scroll_x_) + "," + std::to_string(c.scroll_y_) +
         (c.view_flags_ & kViewDragging ? " dragging" : "") + (GetCapture() == MainWindow() ? " captured" : "");
}

class View : public testing::Test {
 protected:
  void SetUp() override {
    ResetDocument();
    ASSERT_TRUE(OpenByMessage(path_ = WriteBmp24("probe.bmp", 50, 40, Probe)));
    dc_ = GetDC(MainWindow());
  }
  void TearDown() override {
    ReleaseDC(MainWindow(), dc_);
    ResetDocument();
  }
  // The window painted anew; pixel (x, y) of its client area as 0x00RRGGBB.
  void Repaint() { RedrawWindow(MainWindow(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW); }
  uint32_t At(int64_t x, int64_t y) {
    const COLORREF c = GetPixel(dc_, static_cast<int>(x), static_cast<int>(y));
    return GetRValue(c) << 16 | GetGValue(c) << 8 | GetBValue(c);
  }
  std::string Title(int count, int zoom) {
    return path_ + " 加工枚数[" + std::to_string(count) + "枚] ズーム[" + std::to_string(zoom) + "%]";
  }
  std::string path_;
  HDC dc_;
};

TEST_F(View, PaintsEveryPixelWhereItBelongsAndTheCentreMark) {
  RECT client;
  GetClientRect(MainWindow(), &client);
  ASSERT_TRUE(client.right == 800 && client.bottom == 600);
  EXPECT_TRUE(Doc().view_rect_.top == 28 && Doc().view_rect_.bottom == 600);  // below the toolbar band
  // The red centre mark, shown at the start; space toggles it, other keys do not.
  Doc().zoom_ = 1;
  Repaint();
  int red = 0;
  for (int y = 309; y < 319; ++y)
    for (int x = 395; x < 405; ++x) red += At(x, y) == 0xFF0000;
  EXPECT_GT(red, 3);
  std::string marks;
  for (char key : {' ', 'a', ' ', ' '}) {
    SendMessageA(MainWindow(), WM_CHAR, key, 0);
    marks += Doc().view_flags_ & kViewCentreMark ? "+" : "-";
  }
  EXPECT_EQ(marks, "--+-");

  Doc().zoom_ = 300;
  const ImageRect centred = Placed();
  EXPECT_TRUE(centred.x == 325 && centred.y == 254 && centred.width == 150 && centred.height == 120);
  for (int zoom : {100, 300, 5000, 10}) {
    Doc().zoom_ = zoom;
    Doc().scroll_x_ = zoom == 5000 ? -3 : 0;  // at 5000 % pixel (28, 20) is in the middle
    Repaint();
    const ImageRect r = Placed();
    for (int y = 0; y < 40 && zoom >= 100; y += 13) {
      for (int x = 0; x < 50; x += 7) {
        const int64_t px = r.x + (int64_t{x} * zoom + zoom / 2) / 100, py = r.y + (int64_t{y} * zoom + zoom / 2) / 100;
        if (px < 0 || py < 28 || px >= 800 || py >= 600) continue;
        EXPECT_EQ(At(px, py), Probe(x, y)) << "zoom " << zoom << " pixel " << x << "," << y;
      }
    }
    EXPECT_TRUE(zoom != 5000 || At(400, 314) == Probe(28, 20)) << "centre at 5000 %";
    EXPECT_TRUE(zoom != 10 || At(r.x + 2, r.y + 2) != 0xFFFFFFu) << "5 x 4 pixels at 10 %";
  }
}

TEST_F(View, WheelTitleDraggingAndTheMiddleButton) {
  EXPECT_EQ(WindowText(MainWindow()), Title(1, 100));
  Command(108);
  Command(109);
  std::string zooms;
  for (int delta : {120, 120, 120, -120, -120, -120, -120, 240}) {
    SendMessageA(MainWindow(), WM_MOUSEWHEEL, MAKEWPARAM(0, delta), MAKELPARAM(400, 300));
    zooms += std::to_string(Doc().zoom_) + " ";
    PumpMessages();
    EXPECT_EQ(WindowText(MainWindow()), Title(3, Doc().zoom_));
  }
  EXPECT_EQ(zooms, "120 150 200 150 120 100 80 100 ");
  Command(106);
  EXPECT_EQ(WindowText(MainWindow()), Title(2, 100));
  Command(107);
  EXPECT_EQ(WindowText(MainWindow()), Title(1, 100));
  Doc().view_flags_ |= kViewSlideshow;
  Doc().slide_position_ = 2;
  Doc().slide_count_ = 7;
  Doc().UpdateTitle();
  EXPECT_EQ(WindowText(MainWindow()), path_ + " スライドショー[2/7]");
  Doc().view_flags_ &= ~kViewSlideshow;

  Doc().zoom_ = 200;
  const int64_t x0 = Placed().x;
  SendMessageA(MainWindow(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 100));
  SendMessageA(MainWindow(), WM_MOUSEWHEEL, MAKEWPARAM(0, 120), MAKELPARAM(400, 300));  // ignored while dragging
  EXPECT_EQ(ViewState(), "200% pan 0,0 dragging captured");
  SendMessageA(MainWindow(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(105, 100));
  SendMessageA(MainWindow(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(110, 97));
  SendMessageA(MainWindow(), WM_LBUTTONUP, 0, MAKELPARAM(110, 97));
  EXPECT_EQ(Placed().x - x0, 20);  // 10 mouse pixels at 200 %
  SendMessageA(MainWindow(), WM_MOUSEMOVE, 0, MAKELPARAM(300, 300));  // no drag: nothing moves
  EXPECT_EQ(ViewState(), "200% pan 10,-3");
  SendMessageA(MainWindow(), WM_MBUTTONDOWN, MK_MBUTTON, MAKELPARAM(1, 1));
  EXPECT_EQ(ViewState(), "200% pan 0,0");
  Doc().scroll_x_ = 7;  // zoom and pan stay when another file is opened
  ASSERT_TRUE(OpenByMessage(WriteBmp24("other.bmp", 3, 3, [](int, int) { return 0xFFu; })));
  EXPECT_EQ(ViewState(), "200% pan 7,0");
}

}  // namespace
