// The arithmetic of the view: where the current image is drawn, the wheel's zoom steps, the
// window title and the centre mark. The program's painting code draws what these compute.
#pragma once
#include <cstddef>
#include <cstdint>

#include "document/mdib_ctrl.h"

// Destination of the image in client coordinates.
struct ImageRect {
  int64_t x, y, width, height;
};

// What the placement depends on.
struct ViewPlacement {
  ViewRect view;          // client rectangle with its top moved down by the toolbar band
  int32_t image_width;
  int32_t image_height;
  int32_t zoom;           // percent, 1..5000
  int32_t scroll_x;       // pan in mouse pixels, scaled by the zoom when drawn
  int32_t scroll_y;
  bool fit;               // a slideshow runs and shrinks large images to the view
};

// The drawn image: scaled by the zoom, centred in the view, shifted by the pan. Computed in 64
// bits: a wide image at a high zoom, or a long pan, leaves the 32-bit range.
ImageRect ComputeImageRect(const ViewPlacement& p);

constexpr int kMinZoom = 1;
constexpr int kMaxZoom = 5000;
constexpr int kStartZoomStep = 20;

// The step the wheel uses at band value v; previous_step where v lies in no band.
int ZoomStepAt(int v, int previous_step);
// The zoom after one wheel notch of delta (the signed high word of the message parameter);
// last_step is the step used by the previous notch and is updated.
int WheelZoom(int zoom, int delta, int* last_step);

// The main window's title: "%s 加工枚数[%d枚] ズーム[%d%%]", or during a slideshow
// "%s スライドショー[%d/%d]". Texts in CP932.
void TitleText(char* out, size_t size, const char* path, bool slideshow, int slide_position, int slide_count,
               int image_count, int zoom);

// Rectangle of the red "+" centre mark.
ViewRect CentreMarkRect(const ViewRect& view);

// The part of the source image that lands inside clip when the whole image is drawn at dest,
// and where that part is drawn: painting only the visible rows and columns keeps the blit's
// work proportional to the window, whatever the zoom. False when nothing is visible.
struct BlitRect {
  int32_t dest_x, dest_y, dest_width, dest_height;
  int32_t src_x, src_y, src_width, src_height;  // src_y counted from the top row
};
bool VisiblePart(const ImageRect& dest, int32_t image_width, int32_t image_height, const ViewRect& clip,
                 BlitRect* out);
