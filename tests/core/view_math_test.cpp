// The view arithmetic beyond what the real window shows: odd and huge sizes, fitting in a
// slideshow, the wheel at its edges and the visible part of a large image.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "document/view_math.h"

namespace {

std::string Placed(int free_w, int free_h, int iw, int ih, int zoom, bool fit = false) {
  const ImageRect r = ComputeImageRect(ViewPlacement{ViewRect{0, 28, free_w, 28 + free_h}, iw, ih, zoom, 0, 0, fit});
  return std::to_string(r.x) + "," + std::to_string(r.y) + " " + std::to_string(r.width) + "x" +
         std::to_string(r.height);
}

TEST(ViewMath, OddHugeAndFittedImages) {
  EXPECT_EQ(Placed(801, 572, 1000, 10, 100), "-100,309 1000x10");  // odd differences shift arithmetically
  EXPECT_EQ(Placed(800, 572, 1 << 27, 2, 5000), "-3355442800,264 6710886400x100");  // exact in 64 bits
  // A slideshow shrinks a large image by the height rule, then by the width rule with the ratio
  // of the unshrunk width; it never enlarges, and a drawn width of 0 divides by nothing.
  EXPECT_EQ(Placed(1000, 800, 2000, 1000, 100, true), "100,228 800x400");
  EXPECT_EQ(Placed(1000, 800, 300, 200, 100, true), "350,328 300x200");
  EXPECT_EQ(Placed(1000, 800, 50, 200, 1, true), "500,427 0x2");
}

TEST(ViewMath, WheelStepsAtTheEdges) {
  int step = kStartZoomStep;
  const int zoomed[] = {WheelZoom(5, 1, &step), WheelZoom(5, -1, &step), WheelZoom(1, -120, &step),
                        WheelZoom(5000, 120, &step)};
  EXPECT_EQ(std::vector<int>(zoomed, zoomed + 4), (std::vector<int>{6, 4, 1, 5000}));
  step = 7;  // outside every band the previous step is used again
  EXPECT_EQ(ZoomStepAt(5000, step), 7);
  EXPECT_EQ(WheelZoom(4999, 120, &step), 5000);
  EXPECT_EQ(step, 1000);
}

TEST(ViewMath, VisiblePartOfA24MegapixelImageCoversTheClipAndNoMore) {
  const ViewRect clip{0, 28, 1280, 800};
  BlitRect b;
  auto visible = [&](int zoom, int scroll_x) {
    const ViewPlacement p{clip, 6000, 4000, zoom, scroll_x, 0, false};
    return VisiblePart(ComputeImageRect(p), 6000, 4000, clip, &b);
  };
  ASSERT_TRUE(visible(100, 0));  // exactly the window's worth of pixels
  EXPECT_TRUE(b.src_width == 1280 && b.src_height == 772 && b.src_x == 2360 && b.dest_x == 0 && b.dest_y == 28);
  ASSERT_TRUE(visible(5000, 0));  // a few source pixels, each 50 screen pixels, covering the clip
  EXPECT_LE(b.src_width, 1280 / 50 + 2);
  EXPECT_TRUE(b.dest_x <= 0 && b.dest_x + b.dest_width >= 1280 && b.dest_width == b.src_width * 50);
  ASSERT_TRUE(visible(1, 0));  // the whole image into 60 x 40 pixels
  EXPECT_TRUE(b.src_width == 6000 && b.dest_width == 60);
  EXPECT_FALSE(visible(100, 100000));  // panned out of the view
}

}  // namespace
