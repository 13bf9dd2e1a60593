#include "document/view_math.h"

#include <algorithm>
#include <cstdio>

ImageRect ComputeImageRect(const ViewPlacement& p) {
  const int64_t free_w = int64_t{p.view.right} - p.view.left;
  const int64_t free_h = int64_t{p.view.bottom} - p.view.top;
  int64_t w = int64_t{p.image_width} * p.zoom / 100;
  int64_t h = int64_t{p.image_height} * p.zoom / 100;
  const int64_t pan_x = int64_t{p.scroll_x} * p.zoom / 100;
  const int64_t pan_y = int64_t{p.scroll_y} * p.zoom / 100;
  if (p.fit && w > 0 && h > 0) {
    // Both ratios come from the zoomed size; an image that fits is never enlarged.
    const double rx = static_cast<double>(free_w) / static_cast<double>(w);
    const double ry = static_cast<double>(free_h) / static_cast<double>(h);
    if (h > free_h) {
      w = static_cast<int64_t>(static_cast<double>(w) * ry);
      h = static_cast<int64_t>(static_cast<double>(h) * ry);
    }
    if (w > free_w) {
      w = static_cast<int64_t>(static_cast<double>(w) * rx);
      h = static_cast<int64_t>(static_cast<double>(h) * rx);
    }
  }
  ImageRect r;
  r.x = ((free_w - w) >> 1) + pan_x;
  r.y = ((free_h - h) >> 1) + pan_y + kToolbarHeight;
  r.width = w;
  r.height = h;
  return r;
}

namespace {

struct ZoomBand {
  int from, below, step;
};

constexpr ZoomBand kZoomBands[] = {
    {1, 6, 1},       {6, 12, 2},       {12, 15, 3},       {15, 30, 5},       {30, 60, 10},
    {60, 120, 20},   {120, 150, 30},   {150, 300, 50},    {300, 600, 100},   {600, 1200, 200},
    {1200, 1500, 300}, {1500, 3000, 500}, {3000, 5000, 1000},
};

}  // namespace

int ZoomStepAt(int v, int previous_step) {
  for (const ZoomBand& b : kZoomBands)
    if (v >= b.from && v < b.below) return b.step;
  return previous_step;
}

int WheelZoom(int zoom, int delta, int* last_step) {
  const int direction = delta == 0 ? 0 : (delta < 0 ? -1 : 1);
  // Zooming out takes the band below a band's lower edge, so in and out retrace each other.
  const int band_value = direction == -1 ? zoom - 1 : zoom;
  *last_step = ZoomStepAt(band_value, *last_step);
  return std::clamp(zoom + *last_step * direction, kMinZoom, kMaxZoom);
}

void TitleText(char* out, size_t size, const char* path, bool slideshow, int slide_position, int slide_count,
               int image_count, int zoom) {
  if (slideshow)
    std::snprintf(out, size, "%s スライドショー[%d/%d]", path, slide_position, slide_count);
  else
    std::snprintf(out, size, "%s 加工枚数[%d枚] ズーム[%d%%]", path, image_count, zoom);
}

ViewRect CentreMarkRect(const ViewRect& view) {
  const int32_t cx = (view.right - view.left) >> 1;
  const int32_t cy = (view.bottom - view.top) >> 1;
  return ViewRect{cx - 5, cy + 23, cx + 5, cy + 33};
}

bool VisiblePart(const ImageRect& dest, int32_t image_width, int32_t image_height, const ViewRect& clip,
                 BlitRect* out) {
  if (dest.width <= 0 || dest.height <= 0 || image_width <= 0 || image_height <= 0) return false;
  // One axis: the visible span of [pos, pos + len) inside [lo, hi), as whole source pixels
  // and the destination span those pixels cover in the full blit.
  struct Span {
    int64_t dest, dest_len, src, src_len;
  };
  auto axis = [](int64_t pos, int64_t len, int64_t n, int64_t lo, int64_t hi, Span* s) {
    const int64_t v0 = std::max(pos, lo), v1 = std::min(pos + len, hi);
    if (v0 >= v1) return false;
    const int64_t s0 = (v0 - pos) * n / len;                 // first source pixel touched
    const int64_t s1 = ((v1 - pos) * n + len - 1) / len;     // one past the last
    const int64_t d0 = pos + s0 * len / n;
    const int64_t d1 = pos + s1 * len / n;
    s->src = s0;
    s->src_len = s1 - s0;
    s->dest = d0;
    s->dest_len = std::max<int64_t>(d1 - d0, 1);
    return true;
  };
  Span sx, sy;
  if (!axis(dest.x, dest.width, image_width, clip.left, clip.right, &sx) ||
      !axis(dest.y, dest.height, image_height, clip.top, clip.bottom, &sy))
    return false;
  out->dest_x = static_cast<int32_t>(sx.dest);
  out->dest_y = static_cast<int32_t>(sy.dest);
  out->dest_width = static_cast<int32_t>(sx.dest_len);
  out->dest_height = static_cast<int32_t>(sy.dest_len);
  out->src_x = static_cast<int32_t>(sx.src);
  out->src_y = static_cast<int32_t>(sy.src);
  out->src_width = static_cast<int32_t>(sx.src_len);
  out->src_height = static_cast<int32_t>(sy.src_len);
  return true;
}
