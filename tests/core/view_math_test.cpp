// The view arithmetic: placement at zoom and pan, fitting in a slideshow, the wheel at its
// edges and the visible part of a large image.
#include <gtest/gtest.h>

#include "document/view_math.h"

namespace {

ViewPlacement Placement(int free_w, int free_h, int iw, int ih, int zoom) {
  return ViewPlacement{ViewRect{0, 28, free_w, 28 + free_h}, iw, ih, zoom, 0, 0, false};
}

TEST(ViewMath, PlacesImageCentredAtZoomAndPan) {
  ImageRect r = ComputeImageRect(Placement(800, 572, 50, 40, 300));
  EXPECT_EQ(r.x, 325);
  EXPECT_EQ(r.y, 254);
  EXPECT_EQ(r.width, 150);
  EXPECT_EQ(r.height, 120);

  // A drag of 10 pixels to the right at 200 % moves the image by 20.
  ViewPlacement p = Placement(800, 572, 50, 40, 200);
  const ImageRect before = ComputeImageRect(p);
  p.scroll_x = 10;
  EXPECT_EQ(ComputeImageRect(p).x - before.x, 20);

  // An image larger than the view starts left of it (odd differences shift arithmetically).
  r = ComputeImageRect(Placement(801, 572, 1000, 10, 100));
  EXPECT_EQ(r.x, -100);

  // A very wide image at the highest zoom stays exact in 64 bits.
  r = ComputeImageRect(Placement(800, 572, 1 << 27, 2, 5000));
  EXPECT_EQ(r.width, int64_t{1 << 27} * 50);
  EXPECT_LT(r.x, 0);
}

TEST(ViewMath, FitsLargeImagesOnlyInASlideshow) {
  ViewPlacement p = Placement(1000, 800, 2000, 1000, 100);
  p.fit = true;
  ImageRect r = ComputeImageRect(p);
  EXPECT_EQ(r.width, 800);  // height rule gives 1600 x 800, width rule with ratio 0.5
  EXPECT_EQ(r.height, 400);
  p.image_width = 300;
  p.image_height = 200;
  r = ComputeImageRect(p);
  EXPECT_EQ(r.width, 300);  // never enlarged
  EXPECT_EQ(r.height, 200);
  p.zoom = 1;  // drawn size 3 x 2 ... and 0 for a smaller image: no division by zero
  p.image_width = 50;
  r = ComputeImageRect(p);
  EXPECT_EQ(r.width, 0);
}

TEST(ViewMath, WheelStepsAtTheEdges) {
  // The sequence 100 -> 200 and back is checked in the real window (Win32 tests).
  int step = kStartZoomStep;
  EXPECT_EQ(WheelZoom(5, 1, &step), 6);
  EXPECT_EQ(WheelZoom(5, -1, &step), 4);
  EXPECT_EQ(WheelZoom(1, -120, &step), 1);
  EXPECT_EQ(WheelZoom(5000, 120, &step), 5000);
  // Outside every band the previous step is used again.
  step = 7;
  EXPECT_EQ(ZoomStepAt(5000, step), 7);
  EXPECT_EQ(WheelZoom(4999, 120, &step), 5000);
  EXPECT_EQ(step, 1000);
}

TEST(ViewMath, VisiblePartCoversTheClipAndNoMore) {
  const ViewRect clip{0, 28, 1280, 800};
  BlitRect b;
  // 6000 x 4000 at 100 %: exactly the window's worth of pixels.
  ImageRect dest = ComputeImageRect(Placement(1280, 772, 6000, 4000, 100));
  ASSERT_TRUE(VisiblePart(dest, 6000, 4000, clip, &b));
  EXPECT_EQ(b.src_width, 1280);
  EXPECT_EQ(b.src_height, 772);
  EXPECT_EQ(b.dest_x, 0);
  EXPECT_EQ(b.dest_y, 28);
  EXPECT_EQ(b.src_x, (6000 - 1280) / 2);

  // 5000 %: a few source pixels, each 50 screen pixels, covering the clip.
  dest = ComputeImageRect(Placement(1280, 772, 6000, 4000, 5000));
  ASSERT_TRUE(VisiblePart(dest, 6000, 4000, clip, &b));
  EXPECT_LE(b.src_width, 1280 / 50 + 2);
  EXPECT_LE(b.dest_x, 0);
  EXPECT_GE(b.dest_x + b.dest_width, 1280);
  EXPECT_EQ(b.dest_width, b.src_width * 50);

  // 1 %: the whole image into 60 x 40 pixels.
  dest = ComputeImageRect(Placement(1280, 772, 6000, 4000, 1));
  ASSERT_TRUE(VisiblePart(dest, 6000, 4000, clip, &b));
  EXPECT_EQ(b.src_width, 6000);
  EXPECT_EQ(b.dest_width, 60);

  // Panned completely out of the view.
  ViewPlacement p = Placement(1280, 772, 100, 100, 100);
  p.scroll_x = 5000;
  EXPECT_FALSE(VisiblePart(ComputeImageRect(p), 100, 100, clip, &b));
}

}  // namespace
