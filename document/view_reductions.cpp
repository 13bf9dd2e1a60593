#include "document/view_reductions.h"

void HalveImage(const DibImage* source, DibImage* half) {
  const int sw = Width(source), sh = Height(source);
  const int hw = Width(half), hh = Height(half);
  for (int y = 0; y < hh; ++y) {
    // Rows counted from the top; the second row of the block is the first again at an odd end.
    const uint8_t* a = RowAddress(source, 2 * y);
    const uint8_t* b = RowAddress(source, 2 * y + 1 < sh ? 2 * y + 1 : 2 * y);
    uint8_t* out = RowAddress(half, y);
    const int pairs = sw / 2;
    for (int x = 0; x < pairs; ++x, a += 6, b += 6, out += 3) {
      out[0] = static_cast<uint8_t>((a[0] + a[3] + b[0] + b[3] + 2) >> 2);
      out[1] = static_cast<uint8_t>((a[1] + a[4] + b[1] + b[4] + 2) >> 2);
      out[2] = static_cast<uint8_t>((a[2] + a[5] + b[2] + b[5] + 2) >> 2);
    }
    if (pairs < hw) {  // odd width: the last column stands alone
      out[0] = static_cast<uint8_t>((a[0] + b[0] + 1) >> 1);
      out[1] = static_cast<uint8_t>((a[1] + b[1] + 1) >> 1);
      out[2] = static_cast<uint8_t>((a[2] + b[2] + 1) >> 1);
    }
  }
}

void ViewReductions::Clear() {
  levels_.clear();
  source_ = nullptr;
  source_bits_ = nullptr;
}

const DibImage* ViewReductions::For(const MDIBCtrl& doc, const DibImage* image, int64_t width, int64_t height) {
  if (!image || width <= 0 || height <= 0) return image;
  if (image != source_ || image->bits != source_bits_) {
    Clear();
    source_ = image;
    source_bits_ = image->bits;
  }
  const DibImage* best = image;
  for (size_t k = 0;; ++k) {
    const int w = Width(best), h = Height(best);
    const int hw = (w + 1) / 2, hh = (h + 1) / 2;
    // A level smaller than the drawing would have to be stretched up: stop at the one before.
    if (hw < width || hh < height || (w == 1 && h == 1)) return best;
    if (k < levels_.size()) {
      best = levels_[k].get();
      continue;
    }
    // The first level starts from a 24-bit copy when the image has another depth or is compressed.
    ImagePtr start;
    const DibImage* from = best;
    if (BitCount(from) != 24 || IsRunLength(from)) {
      start.reset(doc.MakeTrueColorCopy(from));
      if (!start) return best;
      from = start.get();
    }
    ImagePtr half(doc.MakeBlankLike(from, hw, hh));
    if (!half) return best;
    HalveImage(from, half.get());
    levels_.push_back(std::move(half));
    best = levels_.back().get();
  }
}
