// Pieces shared by the neighbourhood filters: the mirrored coordinate rule, the edge luma, exact
// integer forms of the filters' divisions and square roots, row buffers, and the engines that
// write a whole destination image from a 24-bit source of the same size.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

#include "base/messages.h"
#include "image/dib_image.h"

// A coordinate i along an axis of n positions, for a window reaching `half` positions either
// side: -i before the start, i - 2 * half past the end. An axis shorter than the window would
// still leave it, so the result is then held inside.
inline int MirrorIndex(int i, int n, int half) {
  if (i < 0) {
    i = -i;
  } else if (i >= n) {
    i -= 2 * half;
  }
  return i < 0 ? 0 : i >= n ? n - 1 : i;
}

// Edge luma of a blue, green, red triple (0..255).
inline int EdgeLuma(int b, int g, int r) { return (28 * b + 151 * g + 77 * r) >> 8; }

// floor(v / divisor) for 0 <= v <= 255 * divisor as (((v * multiplier) >> 16) >> shift) in 16-bit
// lanes. A divisor has one when, with multiplier = ceil(2^(16+shift) / divisor) below 2^16, the
// multiplier's excess times the largest v stays below 2^(16+shift) (the rounding error never
// reaches the next integer).
struct ByteDivider {
  uint32_t multiplier;
  int shift;
};
constexpr ByteDivider MakeByteDivider(int divisor) {
  for (int shift = 0; shift < 16; ++shift) {
    const uint64_t scale = uint64_t{1} << (16 + shift);
    const uint64_t m = (scale + static_cast<uint64_t>(divisor) - 1) / static_cast<uint64_t>(divisor);
    if (m < 65536 && (m * static_cast<uint64_t>(divisor) - scale) * 255u * static_cast<uint64_t>(divisor) < scale)
      return ByteDivider{static_cast<uint32_t>(m), shift};
  }
  return ByteDivider{0, -1};
}
inline int DivideByte(uint16_t v, ByteDivider d) {
  return static_cast<uint16_t>((static_cast<uint32_t>(v) * d.multiplier) >> 16) >> d.shift;
}

// floor(sqrt(i)) for i = 0 .. 65535 (at most 255).
struct SquareRootTable {
  uint8_t root[65536];
  SquareRootTable();
};

// A buffer of n values that is never read before written; the out-of-memory rule on failure.
template <class T>
std::unique_ptr<T[]> RowBuffer(size_t n) {
  std::unique_ptr<T[]> p(new (std::nothrow) T[n]);
  if (!p) OutOfMemoryAbort();
  return p;
}

// Fills the `half` pixels (3 values each) either side of a row of width pixels that `row` points
// at with the pixels the mirrored coordinates name.
template <class T>
void MirrorPad(T* row, int width, int half) {
  for (int k = 1; k <= half; ++k) {
    const T* left = row + 3 * static_cast<ptrdiff_t>(MirrorIndex(-k, width, half));
    const T* right = row + 3 * static_cast<ptrdiff_t>(MirrorIndex(width - 1 + k, width, half));
    T* l = row - 3 * k;
    T* r = row + 3 * (static_cast<ptrdiff_t>(width) - 1 + k);
    for (int c = 0; c < 3; ++c) {
      l[c] = left[c];
      r[c] = right[c];
    }
  }
}

// A row buffer with `half` pixels (3 values each) either side for the mirrored columns; at() is
// pixel 0.
template <class T>
struct PaddedRow {
  PaddedRow(int width, int half)
      : data(RowBuffer<T>(3 * (static_cast<size_t>(width) + 2 * static_cast<size_t>(half)))), half(half) {}
  T* at() { return data.get() + 3 * half; }
  std::unique_ptr<T[]> data;
  int half;
};

// Runs row_fn(rows, destination row) for every row y of dst, rows[k] being the source row at
// the mirrored y + k - Half.
template <int Half, class RowFn>
void ForEachWindowRow(const DibImage* src, DibImage* dst, RowFn&& row_fn) {
  const int h = Height(src);
  const uint8_t* rows[2 * Half + 1];
  for (int y = 0; y < h; ++y) {
    for (int k = 0; k <= 2 * Half; ++k) rows[k] = RowAddress(src, MirrorIndex(y + k - Half, h, Half));
    row_fn(rows, RowAddress(dst, y));
  }
}

// Engines. Each reads src (24 bits) and writes every pixel of dst (24 bits, same size).
// The fixed kernels of commands 134..146 (blurs, sharpening, emboss, gradient magnitudes).
// False for any other command.
bool ConvolveCommandKernel(int command, const DibImage* src, DibImage* dst);
// 3 x 3 median of each channel.
void MedianRows(const DibImage* src, DibImage* dst);
// 3 x 3 mean weighted by each channel's own gradient.
void EdgePreservingRows(const DibImage* src, DibImage* dst);
// Sobel strength of the edge luma, darkening toward the line colour (0x00BBGGRR).
void ContourRows(const DibImage* src, DibImage* dst, uint32_t line_colour);
// Block averages of block x block tiles.
void MosaicBlocks(const DibImage* src, DibImage* dst, int block);
// 17 x 17 mean of the bright pixels mixed in like a screen.
void SoftFocusRows(const DibImage* src, DibImage* dst);
// Zero crossings of the second derivative along the luma gradient, white on black.
void ZeroCrossingRows(const DibImage* src, DibImage* dst);
