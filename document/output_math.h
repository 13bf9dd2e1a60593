// Where the printed image lands on the page, and the slideshow's order of positions: the pure
// arithmetic behind printing and the slideshow, apart from the printer and the timer.
#pragma once
#include <cstdint>

// A rectangle on the printable area, in device pixels.
struct PagePlacement {
  int32_t x, y, width, height;
};

// Places an image of image_width x image_height on a printable area of page_width x
// page_height. Actual size draws it one image pixel per device pixel at (10, 10) when it fits
// with that margin; otherwise (and for fit to page) it is scaled by one factor for both axes,
// the largest that fits, and centred, so the picture is never distorted and never vanishes (a
// side never shrinks below one pixel). False, with nothing placed, when a size is not positive.
bool PlaceOnPage(int32_t page_width, int32_t page_height, int32_t image_width, int32_t image_height,
                 bool actual_size, PagePlacement* out);

// Landscape for an image wider than high, portrait otherwise.
bool PrintLandscape(int32_t image_width, int32_t image_height);

// The slideshow's position after one step among count files (positions 1..count, 0 before the
// first step): forward from the last comes back to the first, backward from the first goes to
// the last; the first step forward shows the first file, the first step backward the last.
int32_t StepPosition(int32_t position, int32_t count, bool backward);
