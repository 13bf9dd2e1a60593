// The view arithmetic beyond what the real window shows: odd and huge sizes, fitting in a
// slideshow, the wheel at its edges and the visible part of a 24-megapixel image.
#include <gtest/gtest.h>

#include <string>

#include "document/view_math.h"

namespace {

std::string Placed(int free_w, int free_h, int iw, int ih, int zoom, bool fit = false) {
  const ImageRect r = ComputeImageRect(ViewPlacement{ViewRect{0, 28, free_w, 28 + free_h}, iw, ih, zoom, 0, 0, fit});
  return std::to_string(r.x) + "," + std::to_string(r.y) + " " + std::to_string(r.width) + "x" +
         std::to_string(r.height);
}

TEST(ViewMath, PlacementWheelEdgesAndVisiblePart) {
  EXPECT_EQ(Placed(801, 572, 1000, 10, 100), "-100,309 1000x10");  // odd differences shift arithmetically
  EXPECT_EQ(Placed(800, 572, 1 << 27, 2, 5000), "-3355442800,264 6710886400x100");  // exact in 64 bits
  // A slideshow shrinks a large image by the height rule, then by the width rule with the ratio
  // of the unshrunk width; it never enlarges, and a drawn width of 0 divides by nothing.
  EXPECT_EQ(Placed(1000, 800, 2000, 1000, 100, true), "100,228 800x400");
  EXPECT_EQ(Placed(1000, 800, 300, 200, 100, true), "350,328 300x200");
  EXPECT_EQ(Placed(1000, 800, 50, 200, 1, true), "500,427 0x2");

  int step = kStartZoomStep;  // the wheel stops at 1 and 5000 %
  EXPECT_EQ(std::to_string(WheelZoom(5, 1, &step)) + " " + std::to_string(WheelZoom(5, -1, &step)) + " " +
                std::to_string(WheelZoom(1, -120, &step)) + " " + std::to_string(WheelZoom(5000, 120, &step)),
            "6 4 1 5000");
  step = 7;  // outside every band the previous step is used again
  EXPECT_EQ(ZoomStepAt(5000, step), 7);
  EXPECT_EQ(WheelZoom(4999, 120, &step), 5000);
  EXPECT_EQ(step, 1000);

  // Only the part of a 6000 x 4000 image inside the clip goes to the blit, at every zoom.
  const ViewRect clip{0, 28, 1280, 800};
  BlitRect b;
  auto visible = [&](int zoom, int scroll_x) {
    return VisiblePart(ComputeImageRect(ViewPlacement{clip, 6000, 4000, zoom, scroll_x, 0, false}), 6000, 4000, clip,
                       &b);
  };
  EXPECT_TRUE(visible(100, 0) && b.src_width == 1280 && b.src_height == 772 && b.src_x == 2360 && b.dest_x == 0 &&
              b.dest_y == 28);
  // 5000 %: a few source pixels, each 50 screen pixels, covering the clip; 1 %: all into 60 x 40.
  EXPECT_TRUE(visible(5000, 0) && b.src_width <= 1280 / 50 + 2 && b.dest_x <= 0 && b.dest_x + b.dest_width >= 1280 &&
              b.dest_width == b.src_width * 50);
  EXPECT_TRUE(visible(1, 0) && b.src_width == 6000 && b.dest_width == 60);
  EXPECT_FALSE(visible(100, 100000));  // panned out of the view
}

}  // namespace
