#include "document/crop.h"

#include <algorithm>

namespace {

// One axis of the band: its edges lo <= hi in client pixels over the image drawn from pos for len
// pixels, size image pixels at zoom percent. The span starts at the band's own line (or the
// image's edge) and is counted from the first pixel inside that line, in image pixels.
bool AxisSpan(int64_t pos, int64_t len, int64_t lo, int64_t hi, int32_t size, int32_t zoom, int32_t* start,
              int32_t* count) {
  const int64_t end = pos + len;
  const int64_t first = pos >= lo ? pos : lo + 1;
  const int64_t last = std::min(end, hi);
  if (last <= first) return false;
  // Client pixels to image pixels, truncated as the quotient by zoom / 100 is.
  const int64_t from = lo > pos ? (lo - pos) * 100 / zoom : 0;
  if (from >= size) return false;
  // A band beyond the drawn edge takes the image to its last pixel, whatever the zoom rounded.
  int64_t n = hi > end ? size - from : (last - first) * 100 / zoom;
  n = std::min<int64_t>(n, size - from);
  if (n <= 0) return false;
  *start = static_cast<int32_t>(from);
  *count = static_cast<int32_t>(n);
  return true;
}

}  // namespace

void FollowPointer(int32_t anchor_x, int32_t anchor_y, int32_t x, int32_t y, ViewRect* band) {
  if (anchor_x > x)
    band->left = x;
  else
    band->right = x;
  if (anchor_y > y)
    band->top = y;
  else
    band->bottom = y;
}

bool BandToImageRect(const ViewPlacement& placement, const TrimBand& band, CropRect* out) {
  if (placement.zoom <= 0 || placement.image_width <= 0 || placement.image_height <= 0) return false;
  // Where the view draws the image, so that the crop is what the band shows.
  const ImageRect drawn = ComputeImageRect(placement);
  CropRect r{};
  if (!AxisSpan(drawn.x, drawn.width, band.left, band.right, placement.image_width, placement.zoom, &r.left,
                &r.width) ||
      !AxisSpan(drawn.y, drawn.height, band.top, band.bottom, placement.image_height, placement.zoom, &r.top,
                &r.height))
    return false;
  *out = r;
  return true;
}

DibImage* CropImage(const MDIBCtrl& doc, const DibImage* image, const CropRect& rect) {
  if (!image || rect.left < 0 || rect.top < 0 || rect.width <= 0 || rect.height <= 0 ||
      rect.width > Width(image) - rect.left || rect.height > Height(image) - rect.top)
    return nullptr;
  std::unique_ptr<Dib24> ops = MDIBCtrl::CreatePixelOps(image);
  if (!ops) return nullptr;
  if (IsRunLength(image)) {
    // The copy reads the decoded rows; a stream that does not decode would leave a blank crop,
    // so it gives none.
    const int bpp = BitCount(image);
    if ((bpp != 8 && bpp != 4) || !static_cast<Dib8*>(ops.get())->DecodeRle(image)) return nullptr;
  }
  ImagePtr crop(doc.MakeBlankLike(image, rect.width, rect.height));
  if (!crop) return nullptr;
  // Re-encoded when the source is run-length coded, so the crop keeps the image's coding.
  ops->CopyRect(image, crop.get(), rect, 1);
  return crop.release();
}

bool CropToBand(MDIBCtrl& doc, const TrimBand& band) {
  if (!(doc.view_flags_ & kViewTrimming) || doc.image_count_ == 0 || !doc.current_) return false;
  const DibImage* image = doc.current_;
  // Trimming mode never runs during a slideshow, so the image is drawn at the zoom, never fitted.
  const ViewPlacement placement{doc.view_rect_, Width(image), Height(image), doc.zoom_,
                                doc.scroll_x_,  doc.scroll_y_, false};
  CropRect rect{};
  if (!BandToImageRect(placement, band, &rect)) return false;
  DibImage* crop = CropImage(doc, image, rect);
  if (!crop) return false;
  if (doc.pending_ && doc.pending_ != doc.current_) MDIBCtrl::DeleteImage(doc.pending_);
  doc.pending_ = crop;
  return true;
}
