// Placement of the printed image (fit to page and actual size, one scale for both axes, never
// distorted, never empty) and the slideshow's wrap-around order.
#include <gtest/gtest.h>

#include <string>

#include "document/output_math.h"

namespace {

std::string Placed(int pw, int ph, int w, int h, bool actual) {
  PagePlacement p{};
  if (!PlaceOnPage(pw, ph, w, h, actual, &p)) return "none";
  return std::to_string(p.x) + "," + std::to_string(p.y) + " " + std::to_string(p.width) + "x" +
         std::to_string(p.height);
}

TEST(PrintLayout, FitsWithOneScaleOrPrintsActualSize) {
  const struct { int pw, ph, w, h; bool actual; const char* expected; } cases[] = {
      {4800, 6800, 1000, 500, false, "0,2200 4800x2400"},   // width decides; centred vertically
      {4800, 6800, 1000, 500, true, "10,10 1000x500"},
      {4800, 6800, 4790, 500, true, "10,10 4790x500"},      // exactly the margin left
      {4800, 6800, 4795, 500, true, "0,3150 4800x500"},     // no margin left: fitted instead
      {4800, 6800, 1000, 6795, true, "1900,0 1000x6800"},    // too tall for the margin: height decides
      {4800, 6800, 1000, 1000, false, "0,1000 4800x4800"},  // square
      {6800, 4800, 1000, 1000, false, "1000,0 4800x4800"},
      {4800, 6800, 20000, 10000, false, "0,2200 4800x2400"},  // larger than the page: shrunk
      {4800, 6800, 10000, 20000, true, "700,0 3400x6800"},
      {4800, 6800, 1, 1, false, "0,1000 4800x4800"},
      {4800, 6800, 1, 1, true, "10,10 1x1"},
      {4800, 6800, 1, 100000, false, "2399,0 1x6800"},     // a side never shrinks to nothing
      {2329, 3358, 65535, 1, false, "0,1678 2329x1"},
      {0, 6800, 10, 10, false, "none"},
      {4800, 6800, 0, 10, true, "none"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h) + (c.actual ? " actual" : " fit"));
    EXPECT_EQ(Placed(c.pw, c.ph, c.w, c.h, c.actual), c.expected);
  }
  EXPECT_TRUE(PrintLandscape(1000, 500));
  EXPECT_FALSE(PrintLandscape(500, 500));
  EXPECT_FALSE(PrintLandscape(500, 1000));
}

TEST(SlideshowOrder, WrapsAroundAtBothEnds) {
  const struct { int position, count; bool backward; int expected; } cases[] = {
      {0, 3, false, 1}, {0, 3, true, 3}, {1, 3, false, 2}, {3, 3, false, 1}, {1, 3, true, 3},
      {3, 3, true, 2},  {1, 1, false, 1}, {1, 1, true, 1}, {0, 0, false, 0}, {5, 3, false, 1},
  };
  for (const auto& c : cases)
    EXPECT_EQ(StepPosition(c.position, c.count, c.backward), c.expected) << c.position << "/" << c.count;
}

}  // namespace
