// The 3 x 3 median and the edge-preserving mean, per channel, with mirrored coordinates.
#include <algorithm>

#include "processing/window_filters.h"

namespace {

inline uint8_t Median3(uint8_t a, uint8_t b, uint8_t c) {
  return std::max(std::min(a, b), std::min(std::max(a, b), c));
}

// ceil(2^32 / d) for the edge-preserving denominators d = 30 + 8w, w = 0..30; with it
// floor(n / d) = (n * r) >> 32 for every n up to 255 * d, as the multiplier's excess
// r * d - 2^32 (below d) times 255 * d stays below 2^32.
constexpr uint64_t Reciprocal(int d) {
  return ((uint64_t{1} << 32) + static_cast<uint64_t>(d) - 1) / static_cast<uint64_t>(d);
}
constexpr bool ReciprocalsExact() {
  for (int w = 0; w <= 30; ++w) {
    const uint64_t d = 30 + 8 * static_cast<uint64_t>(w);
    if ((Reciprocal(static_cast<int>(d)) * d - (uint64_t{1} << 32)) * 255 * d >= (uint64_t{1} << 32)) return false;
  }
  return true;
}
static_assert(ReciprocalsExact(), "exact division by every edge-preserving denominator");

}  // namespace

// The median of nine is the median of: the largest of the three column minima, the median of
// the column medians and the smallest of the column maxima (the 19-exchange network: each
// column sorted once and shared by three windows). Branch-free byte minima and maxima, so the
// loops run in vector lanes.
void MedianRows(const DibImage* src, DibImage* dst) {
  const int w = Width(src);
  const ptrdiff_t n = 3 * static_cast<ptrdiff_t>(w);
  PaddedRow<uint8_t> low_row(w, 1), mid_row(w, 1), high_row(w, 1);
  ForEachWindowRow<1>(src, dst, [&](const uint8_t* const* rows, uint8_t* __restrict out) {
    const uint8_t* __restrict up = rows[0];
    const uint8_t* __restrict mid = rows[1];
    const uint8_t* __restrict down = rows[2];
    uint8_t* __restrict lo = low_row.at();
    uint8_t* __restrict md = mid_row.at();
    uint8_t* __restrict hi = high_row.at();
    for (ptrdiff_t j = 0; j < n; ++j) {
      const uint8_t a = up[j], b = mid[j], c = down[j];
      const uint8_t l = std::min(a, b), h = std::max(a, b);
      const uint8_t t = std::max(l, c);
      lo[j] = std::min(l, c);
      md[j] = std::min(h, t);
      hi[j] = std::max(h, t);
    }
    MirrorPad(lo, w, 1);
    MirrorPad(md, w, 1);
    MirrorPad(hi, w, 1);
    for (ptrdiff_t j = 0; j < n; ++j) {
      const uint8_t a = std::max(std::max(lo[j - 3], lo[j]), lo[j + 3]);
      const uint8_t b = Median3(md[j - 3], md[j], md[j + 3]);
      const uint8_t c = std::min(std::min(hi[j - 3], hi[j]), hi[j + 3]);
      out[j] = Median3(a, b, c);
    }
  });
}

// Per channel: the Sobel strength m = floor(sqrt((gx^2 + gy^2) / 8)) of the channel itself gives
// the neighbours the weight w = max(0, 30 - m) beside the centre's 30. Only m below 30 matters,
// so the root is read from a table of n / 8 up to 900.
void EdgePreservingRows(const DibImage* src, DibImage* dst) {
  const int w = Width(src);
  const ptrdiff_t n = 3 * static_cast<ptrdiff_t>(w);
  PaddedRow<int16_t> across_row(w, 1), vertical_row(w, 1), box_row(w, 1);
  uint8_t weight_of[901];
  for (int i = 0, r = 0; i <= 900; ++i) {
    if ((r + 1) * (r + 1) <= i) ++r;
    weight_of[i] = static_cast<uint8_t>(30 - r);
  }
  uint64_t reciprocal[31];
  for (int k = 0; k <= 30; ++k) reciprocal[k] = Reciprocal(30 + 8 * k);
  ForEachWindowRow<1>(src, dst, [&](const uint8_t* const* rows, uint8_t* __restrict out) {
    const uint8_t* __restrict up = rows[0];
    const uint8_t* __restrict mid = rows[1];
    const uint8_t* __restrict down = rows[2];
    int16_t* __restrict a = across_row.at();
    int16_t* __restrict v = vertical_row.at();
    int16_t* __restrict b = box_row.at();
    for (ptrdiff_t j = 0; j < n; ++j) {
      a[j] = static_cast<int16_t>(up[j] + 2 * mid[j] + down[j]);
      v[j] = static_cast<int16_t>(up[j] - down[j]);
      b[j] = static_cast<int16_t>(up[j] + mid[j] + down[j]);
    }
    MirrorPad(a, w, 1);
    MirrorPad(v, w, 1);
    MirrorPad(b, w, 1);
    for (ptrdiff_t j = 0; j < n; ++j) {
      const int gx = a[j - 3] - a[j + 3];
      const int gy = v[j - 3] + 2 * v[j] + v[j + 3];
      const int eighth = (gx * gx + gy * gy) >> 3;
      const int weight = weight_of[eighth < 900 ? eighth : 900];
      const int centre = mid[j];
      const uint32_t sum = static_cast<uint32_t>(30 * centre + weight * (b[j - 3] + b[j] + b[j + 3] - centre));
      out[j] = static_cast<uint8_t>((sum * reciprocal[weight]) >> 32);
    }
  });
}
