// The view on a real client rectangle: placement, painting at several zooms, the wheel, the
// title, dragging, the middle button and the centre mark.
#include <gtest/gtest.h>

#include <string>

#include "document/view_math.h"
#include "win32_support.h"

namespace {

// A 50 x 40 picture whose every pixel tells where it is.
uint32_t Probe(int x, int y) { return static_cast<uint32_t>(x * 5) << 16 | static_cast<uint32_t>(y * 6) << 8 | 0x40; }

// Paints the view into an 800 x 600 memory bitmap and reads it back as 0x00RRGGBB.
class Canvas {
 public:
  Canvas() {
    BITMAPINFO bi{};
    bi.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), 800, -600, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    dc_ = CreateCompatibleDC(nullptr);
    bitmap_ = CreateDIBSection(dc_, &bi, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0);
    old_ = SelectObject(dc_, bitmap_);
    PatBlt(dc_, 0, 0, 800, 600, WHITENESS);
    painted_ = Doc().PaintView(dc_);
    GdiFlush();
  }
  ~Canvas() {
    SelectObject(dc_, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  uint32_t At(int x, int y) const { return bits_[y * 800 + x] & 0xFFFFFF; }
  bool painted() const { return painted_; }

 private:
  HDC dc_;
  HBITMAP bitmap_;
  HGDIOBJ old_;
  uint32_t* bits_ = nullptr;
  bool painted_ = false;
};

void Wheel(int delta) {
  SendMessageA(MainWindow(), WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(static_cast<short>(delta))),
               MAKELPARAM(400, 300));
}

ImageRect Placed() {
  const CmdClass& c = Doc();
  return ComputeImageRect(ViewPlacement{c.view_rect_, Width(c.current_), Height(c.current_), c.zoom_, c.scroll_x_,
                                        c.scroll_y_, false});
}

class View : public testing::Test {
 protected:
  void SetUp() override {
    ResetDocument();
    path_ = WriteBmp24("probe.bmp", 50, 40, Probe);
    ASSERT_TRUE(OpenByMessage(path_));
  }
  void TearDown() override { ResetDocument(); }
  std::string path_;
};

TEST_F(View, RectangleOnTheRealClientArea) {
  RECT client;
  GetClientRect(MainWindow(), &client);
  ASSERT_EQ(client.right, 800);
  ASSERT_EQ(client.bottom, 600);
  const ViewRect v = Doc().view_rect_;
  EXPECT_EQ(v.top, 28);
  EXPECT_EQ(v.bottom - v.top, 572);
  Doc().zoom_ = 300;
  const ImageRect r = Placed();
  EXPECT_EQ(r.x, 325);
  EXPECT_EQ(r.y, 254);
  EXPECT_EQ(r.width, 150);
  EXPECT_EQ(r.height, 120);
}

TEST_F(View, PaintsEveryPixelWhereItBelongs) {
  for (int zoom : {100, 300, 5000, 10}) {
    Doc().zoom_ = zoom;
    Doc().scroll_x_ = zoom == 5000 ? -3 : 0;  // at 5000 % show pixel (28, 20) in the middle
    const ImageRect r = Placed();
    Canvas canvas;
    ASSERT_TRUE(canvas.painted());
    const int scale = zoom;
    for (int y = 0; y < 40; y += 13) {
      for (int x = 0; x < 50; x += 7) {
        const int64_t px = r.x + (int64_t{x} * scale + scale / 2) / 100;
        const int64_t py = r.y + (int64_t{y} * scale + scale / 2) / 100;
        if (zoom < 100 || px < 0 || py < 28 || px >= 800 || py >= 600) continue;
        EXPECT_EQ(canvas.At(static_cast<int>(px), static_cast<int>(py)), Probe(x, y))
            << "zoom " << zoom << " pixel " << x << "," << y;
      }
    }
    if (zoom == 5000) {
      EXPECT_EQ(canvas.At(400, 314), Probe(25 + 3, 20)) << "centre at 5000 %";
    }
    if (zoom == 10) {
      EXPECT_EQ(r.width, 5);
      EXPECT_NE(canvas.At(static_cast<int>(r.x) + 2, static_cast<int>(r.y) + 2), 0xFFFFFFu);
    }
  }
}

TEST_F(View, TitleFollowsTheDocument) {
  const std::string name = path_ + " 加工枚数[1枚] ズーム[100%]";
  EXPECT_EQ(WindowText(MainWindow()), name);
  SendMessageA(MainWindow(), WM_COMMAND, 108, 0);
  SendMessageA(MainWindow(), WM_COMMAND, 109, 0);
  Wheel(120);
  PumpMessages();
  EXPECT_EQ(WindowText(MainWindow()), path_ + " 加工枚数[3枚] ズーム[120%]");
  SendMessageA(MainWindow(), WM_COMMAND, 106, 0);
  PumpMessages();
  EXPECT_EQ(WindowText(MainWindow()), path_ + " 加工枚数[2枚] ズーム[120%]");
  Doc().view_flags_ |= kViewSlideshow;
  Doc().slide_position_ = 2;
  Doc().slide_count_ = 7;
  Doc().UpdateTitle();
  EXPECT_EQ(WindowText(MainWindow()), path_ + " スライドショー[2/7]");
}

TEST_F(View, WheelSequenceAndDragging) {
  std::string seq;
  for (int d : {120, 120, 120, -120, -120, -120, -120, 240}) {
    Wheel(d);
    seq += std::to_string(Doc().zoom_) + " ";
  }
  EXPECT_EQ(seq, "120 150 200 150 120 100 80 100 ");

  Doc().zoom_ = 200;
  const int64_t x0 = Placed().x;
  SendMessageA(MainWindow(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 100));
  EXPECT_TRUE(Doc().view_flags_ & kViewDragging);
  EXPECT_EQ(GetCapture(), MainWindow());
  Wheel(120);  // ignored while dragging
  EXPECT_EQ(Doc().zoom_, 200);
  SendMessageA(MainWindow(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(105, 100));
  SendMessageA(MainWindow(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(110, 97));
  SendMessageA(MainWindow(), WM_LBUTTONUP, 0, MAKELPARAM(110, 97));
  EXPECT_FALSE(Doc().view_flags_ & kViewDragging);
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_EQ(Placed().x - x0, 20);  // 10 mouse pixels at 200 %
  EXPECT_EQ(Doc().scroll_y_, -3);
  SendMessageA(MainWindow(), WM_MOUSEMOVE, 0, MAKELPARAM(300, 300));  // no drag: nothing moves
  EXPECT_EQ(Doc().scroll_x_, 10);

  SendMessageA(MainWindow(), WM_MBUTTONDOWN, MK_MBUTTON, MAKELPARAM(1, 1));
  EXPECT_EQ(Doc().scroll_x_, 0);
  EXPECT_EQ(Doc().scroll_y_, 0);
  // Zoom and pan stay when another file is opened.
  Doc().scroll_x_ = 7;
  ASSERT_TRUE(OpenByMessage(WriteBmp24("other.bmp", 3, 3, [](int, int) { return 0xFFu; })));
  EXPECT_EQ(Doc().zoom_, 200);
  EXPECT_EQ(Doc().scroll_x_, 7);
}

TEST_F(View, SpaceTogglesTheCentreMark) {
  EXPECT_TRUE(Doc().view_flags_ & kViewCentreMark);
  SendMessageA(MainWindow(), WM_CHAR, ' ', 0);
  EXPECT_FALSE(Doc().view_flags_ & kViewCentreMark);
  SendMessageA(MainWindow(), WM_CHAR, 'a', 0);
  EXPECT_FALSE(Doc().view_flags_ & kViewCentreMark);
  SendMessageA(MainWindow(), WM_CHAR, ' ', 0);
  EXPECT_TRUE(Doc().view_flags_ & kViewCentreMark);
  // The mark is drawn in red at the middle of the view.
  Doc().zoom_ = 1;
  InvalidateRect(MainWindow(), nullptr, TRUE);
  UpdateWindow(MainWindow());
  HDC dc = GetDC(MainWindow());
  int red = 0;
  for (int y = 309; y < 319; ++y)
    for (int x = 395; x < 405; ++x) red += GetPixel(dc, x, y) == RGB(255, 0, 0);
  ReleaseDC(MainWindow(), dc);
  EXPECT_GT(red, 3);
}

}  // namespace
