// Compositing of the current image with a second one: alpha blend and the channel formulas.
// The first operand is the work image (a 24-bit copy of the current image), the second the
// pending image; the second is first fitted to the size of the first, and the result is
// written into the work image over the fitted image's area, anchored at the top left.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>

#include "processing/filter.h"

namespace {

constexpr int kAlphaBlend = 131;

// One channel of a blend before clamping: a from the first image, b from the second. Integer
// division truncates toward zero throughout.
int64_t Blended(int command, int64_t a, int64_t b, int64_t k) {
  switch (command) {
    case kAlphaBlend: return (a * (255 - k) + b * k) / 255;
    case 155: return a + b;
    case 156: return a - b;
    case 157: return a > b ? a - b : b - a;
    case 158: return a * b / 255;
    case 159: return a & b;
    case 160: return a | b;
    case 161: return a ^ b;
    case 162: return a > b ? a : b;
    case 163: return a < b ? a : b;
    case 164: return b == 255 ? 255 : a * 255 / (255 - b);
    case 165: return b == 0 ? 0 : 255 - (255 - a) * 255 / b;
    case 166: return 255 - (255 - a) * (255 - b) / 255;
    case 167:  // exactly 128, not below it
      return a == 128 ? 2 * a * b / 255 : 2 * (a + b + 2 * a * b / 255) - 255;
    default: return a;
  }
}

// Every result of a formula, at a << 8 | b: the pixel loop then does one look-up per byte.
std::unique_ptr<uint8_t[]> BlendTable(int command, int alpha) {
  std::unique_ptr<uint8_t[]> table(new (std::nothrow) uint8_t[256 * 256]);
  if (!table) return table;
  const int64_t k = static_cast<int64_t>(alpha) * 255 / 100;
  for (int a = 0; a < 256; ++a)
    for (int b = 0; b < 256; ++b) {
      const int64_t v = Blended(command, a, b, k);
      table[a << 8 | b] = static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
    }
  return table;
}

// Writes table[a, b] into the first image over the second image's area.
void BlendArea(DibImage* first, const DibImage* second, const uint8_t* table) {
  const int w = std::min(Width(first), Width(second)), h = std::min(Height(first), Height(second));
  const size_t n = 3 * static_cast<size_t>(w);
  for (int y = 0; y < h; ++y) {
    uint8_t* a = RowAddress(first, y);
    const uint8_t* b = RowAddress(second, y);
    for (size_t i = 0; i < n; ++i) a[i] = table[a[i] << 8 | b[i]];
  }
}

// The blend of command (with alpha for 131): fit, blend, and the first image becomes the
// pending image.
bool Blend(Filter& doc, int command, int alpha) {
  std::unique_ptr<uint8_t[]> table = BlendTable(command, alpha);
  if (!table || !doc.FitSecondImage()) return false;
  DibImage* first = doc.work_;
  BlendArea(first, doc.pending_, table.get());
  MDIBCtrl::DeleteImage(doc.pending_);
  doc.pending_ = first;
  doc.work_ = nullptr;  // handed on: the chain owns it once committed
  doc.view_flags_ &= ~kViewBlendLoading;
  return true;
}

}  // namespace

bool Filter::AlphaBlend(int alpha) {
  if (image_count_ == 0) return false;
  return Blend(*this, kAlphaBlend, alpha);
}

bool Filter::BlendImages(int command) {
  if (image_count_ == 0 || command < 155 || command > 167) return false;
  return Blend(*this, command, 0);
}

bool Filter::FitSecondImage() {
  DibImage* second = pending_;
  if (image_count_ == 0 || !work_ || !second || second == current_ || second == work_) return false;
  pending_ = current_;  // the second image is consumed from here on
  DibImage* copy = second;
  if (BitCount(second) != 24) {
    copy = MakeTrueColorCopy(second);
    DeleteImage(second);
    if (!copy) return false;
  }
  const int w = Width(work_), h = Height(work_);
  if (Width(copy) == w && Height(copy) == h) {  // the fitting would copy it pixel for pixel
    pending_ = copy;
    return true;
  }
  return RotateImage(copy, 0.0, (w - 0.5) / (Width(copy) - 0.5), (h - 0.5) / (Height(copy) - 0.5));
}
