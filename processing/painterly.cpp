// Painterly effects: oil painting (each channel takes the most frequent of eight tone bins over
// the 3 x 3 window) and black-and-white illustration (tone levels of the edge luma, black lines
// where the Sobel edges of the channels are strong).
//
// Both read a 24-bit picture of the image and write a new 24-bit image, one row at a time. The
// window's columns are summed once per row into arrays with one mirrored column at each end, so
// the inner loops carry no border tests.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "processing/filter.h"
#include "processing/true_colour_work.h"

namespace {

// A coordinate of the 3 x 3 window mirrored into an axis of n: -i before the start, i - 2 past
// the end. On an axis of one pixel both would land outside it; they stay on the only pixel.
int Mirror(int i, int n) {
  if (i < 0) i = -i;
  else if (i >= n) i -= 2;
  return std::min(std::max(i, 0), n - 1);
}

// Rows y - 1, y and y + 1 of a picture, mirrored at the top and bottom.
struct WindowRows {
  const uint8_t *top, *middle, *bottom;
  WindowRows(const DibImage* image, int y)
      : top(RowAddress(image, Mirror(y - 1, Height(image)))),
        middle(RowAddress(image, y)),
        bottom(RowAddress(image, Mirror(y + 1, Height(image)))) {}
};

// Fills the end columns of a column array of 3 * (w + 2) entries (entry 3 * (x + 1) + c for
// column x, channel c) with the columns the mirror reads there.
template <class T>
void MirrorEnds(T* columns, int w) {
  const int left = Mirror(-1, w), right = Mirror(w, w);
  for (int c = 0; c < 3; ++c) {
    columns[c] = columns[3 * (left + 1) + c];
    columns[3 * (w + 1) + c] = columns[3 * (right + 1) + c];
  }
}

// ---- Oil painting ------------------------------------------------------------------------------
//
// The counts of the eight bins (value >> 5) of one channel live in the eight 4-bit fields of a
// word: a column of three values is the sum of three one-field words and the window the sum of
// three columns (at most 9 per field, so no field carries into the next). The winning bin is read
// from a table of the word's halves: for the four counts of a half the entry is
// count * 16 + 15 - bin of its largest count, the lowest bin among equal ones; over the whole word
// the larger key wins, which again prefers the larger count and then the lower bin.

class OilBins {
 public:
  OilBins() : key_(65536) {
    for (uint32_t half = 0; half < 65536; ++half) {
      int best = 0;
      for (int bin = 1; bin < 4; ++bin)
        if (((half >> (4 * bin)) & 15) > ((half >> (4 * best)) & 15)) best = bin;
      key_[half] = static_cast<uint8_t>(((half >> (4 * best)) & 15) * 16 + 15 - best);
    }
  }
  static uint32_t Word(uint8_t v) { return 1u << (4 * (v >> 5)); }
  // Output value of a window's counts: bin * 32 + 16 of the winning bin.
  uint8_t Value(uint32_t counts) const {
    const int low = key_[counts & 0xFFFF], high = key_[counts >> 16] - 4;  // bins 4..7
    const int bin = 15 - (std::max(low, high) & 15);
    return static_cast<uint8_t>(bin * 32 + 16);
  }

 private:
  std::vector<uint8_t> key_;
};

void OilPaintRows(const DibImage* src, DibImage* dst) {
  const int w = Width(src), h = Height(src);
  const OilBins bins;
  std::vector<uint32_t> columns(3 * (static_cast<size_t>(w) + 2));
  uint32_t* col = columns.data();
  for (int y = 0; y < h; ++y) {
    const WindowRows r(src, y);
    for (size_t i = 0, n = 3 * static_cast<size_t>(w); i < n; ++i)
      col[3 + i] = OilBins::Word(r.top[i]) + OilBins::Word(r.middle[i]) + OilBins::Word(r.bottom[i]);
    MirrorEnds(col, w);
    uint8_t* d = RowAddress(dst, y);
    for (size_t i = 0, n = 3 * static_cast<size_t>(w); i < n; ++i) d[i] = bins.Value(col[i] + col[i + 3] + col[i + 6]);
  }
}

// ---- Illustration ------------------------------------------------------------------------------
//
// The Sobel sums of a channel split into a vertical and a horizontal pass: with the column sums
// v = top + 2 middle + bottom and u = top - bottom, gx = v(left) - v(right) and
// gy = u(left) + 2 u(centre) + u(right). The edge strength trunc(sqrt(gx * gx + gy * gy) / 8)
// equals the integer square root of (gx * gx + gy * gy) >> 6; it matters only below 74 (from
// there the line factor is 0 whichever channel gives it), so it is read, capped at 74, from a
// table.

constexpr int kEdgeCap = 74;

// Tone level of the edge luma: 255 above trunc(255 (128/255)^(1/1.7)), 128 above the same of 96,
// 64 above the same of 64, else 0.
void LevelTable(uint8_t level[256]) {
  const int t1 = static_cast<int>(255 * std::pow(128 / 255.0, 1 / 1.7));
  const int t2 = static_cast<int>(255 * std::pow(96 / 255.0, 1 / 1.7));
  const int t3 = static_cast<int>(255 * std::pow(64 / 255.0, 1 / 1.7));
  for (int l = 0; l < 256; ++l) level[l] = static_cast<uint8_t>(l > t1 ? 255 : l > t2 ? 128 : l > t3 ? 64 : 0);
}

// Line factor of an edge strength 0..74.
int LineFactor(int e) { return e < 64 ? 255 : e < 74 ? 255 - (e - 64) * 255 / 10 : 0; }

void IllustrateRows(const DibImage* src, DibImage* dst) {
  const int w = Width(src), h = Height(src);
  uint8_t level[256];
  LevelTable(level);
  int factor[kEdgeCap + 1];
  for (int e = 0; e <= kEdgeCap; ++e) factor[e] = LineFactor(e);
  uint8_t root[kEdgeCap * kEdgeCap + 1];  // integer square roots
  for (int k = 0, r = 0; k <= kEdgeCap * kEdgeCap; ++k) {
    if ((r + 1) * (r + 1) <= k) ++r;
    root[k] = static_cast<uint8_t>(r);
  }
  auto strength = [&root](int gx, int gy) {
    return root[std::min((gx * gx + gy * gy) >> 6, kEdgeCap * kEdgeCap)];
  };
  const size_t n = 3 * static_cast<size_t>(w);
  std::vector<int16_t> sums(2 * (n + 6));
  int16_t* v = sums.data();
  int16_t* u = v + n + 6;
  for (int y = 0; y < h; ++y) {
    const WindowRows r(src, y);
    for (size_t i = 0; i < n; ++i) {
      v[3 + i] = static_cast<int16_t>(r.top[i] + 2 * r.middle[i] + r.bottom[i]);
      u[3 + i] = static_cast<int16_t>(r.top[i] - r.bottom[i]);
    }
    MirrorEnds(v, w);
    MirrorEnds(u, w);
    const uint8_t* s = r.middle;
    uint8_t* d = RowAddress(dst, y);
    for (int x = 0; x < w; ++x, s += 3, d += 3) {
      const int16_t* a = v + 3 * x;  // left column; the centre at +3, the right at +6
      const int16_t* b = u + 3 * x;
      const int mb = strength(a[0] - a[6], b[0] + 2 * b[3] + b[6]);
      const int mg = strength(a[1] - a[7], b[1] + 2 * b[4] + b[7]);
      const int mr = strength(a[2] - a[8], b[2] + 2 * b[5] + b[8]);
      const int e = mr > mg ? mr : std::max(mb, mg);
      const int luma = (28 * s[0] + 151 * s[1] + 77 * s[2]) >> 8;
      const uint8_t out = static_cast<uint8_t>(factor[e] * level[luma] / 256);
      d[0] = d[1] = d[2] = out;
    }
  }
}

// Runs a row painter from a 24-bit picture of image into a new 24-bit image.
template <class Paint>
DibImage* Painted(const MDIBCtrl& doc, const DibImage* image, Paint paint) {
  if (doc.image_count_ == 0 || !image) return nullptr;
  TrueColorSource source;
  if (!source.Make(doc, image)) return nullptr;
  ImagePtr result(NewTrueColorLike(doc, source.get()));
  if (!result) return nullptr;
  paint(source.get(), result.get());
  return result.release();
}

}  // namespace

DibImage* Filter::OilPaint(const DibImage* image) { return Painted(*this, image, OilPaintRows); }

DibImage* Filter::Illustrate(const DibImage* image) { return Painted(*this, image, IllustrateRows); }
