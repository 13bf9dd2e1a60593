#include "document/output_math.h"

namespace {

constexpr int32_t kMargin = 10;  // actual size starts this far from the printable area's corner

}  // namespace

bool PlaceOnPage(int32_t page_width, int32_t page_height, int32_t image_width, int32_t image_height,
                 bool actual_size, PagePlacement* out) {
  if (page_width <= 0 || page_height <= 0 || image_width <= 0 || image_height <= 0) return false;
  const int64_t pw = page_width, ph = page_height, w = image_width, h = image_height;
  if (actual_size && pw >= w + kMargin && ph >= h + kMargin) {
    *out = PagePlacement{kMargin, kMargin, image_width, image_height};
    return true;
  }
  // The axis whose ratio page / image is the smaller fills the page; the other follows by the
  // same factor, compared and scaled in 64 bits.
  int64_t fw, fh;
  if (pw * h <= ph * w) {
    fw = pw;
    fh = h * pw / w;
  } else {
    fh = ph;
    fw = w * ph / h;
  }
  if (fw < 1) fw = 1;
  if (fh < 1) fh = 1;
  *out = PagePlacement{static_cast<int32_t>((pw - fw) / 2), static_cast<int32_t>((ph - fh) / 2),
                       static_cast<int32_t>(fw), static_cast<int32_t>(fh)};
  return true;
}

bool PrintLandscape(int32_t image_width, int32_t image_height) { return image_width > image_height; }

int32_t StepPosition(int32_t position, int32_t count, bool backward) {
  if (count <= 0) return 0;
  if (position < 1 || position > count) return backward ? count : 1;
  if (backward) return position == 1 ? count : position - 1;
  return position == count ? 1 : position + 1;
}
