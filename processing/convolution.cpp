// The fixed kernels of the blur, sharpen, emboss and edge commands.
//
// Every kernel's weights are small integers, so a window's sum is an exact integer that fits in
// 16 bits; the single-precision accumulation of the integer and float engines gives exactly that
// sum, and its division by the divisor truncates to what an integer division gives (the
// fractional part of sum / divisor is at most 1 - 1/100, far from the next integer in single
// precision). So each kernel runs in 16-bit lanes: column combinations of the window's rows are
// formed once per row into buffers padded with the mirrored columns, and the row pass combines
// neighbouring columns, clamps and divides by a multiply and shift. The gradient magnitudes
// floor(sqrt(n / factor)) of an integer n and a factor 2 or 8 equal the integer square root of
// n / factor truncated, read from a table.
#include <algorithm>

#include "processing/window_filters.h"

SquareRootTable::SquareRootTable() {
  int r = 0;
  for (int i = 0; i < 65536; ++i) {
    if ((r + 1) * (r + 1) <= i) ++r;
    root[i] = static_cast<uint8_t>(r);
  }
}

namespace {

// A sum clamped to 0 .. 255 * Divisor and divided (Divisor 0: clamped to 0 .. 255).
template <int Divisor>
struct Quantiser {
  static constexpr ByteDivider kDivider = Divisor == 0 ? ByteDivider{1, 0} : MakeByteDivider(Divisor);
  static_assert(Divisor == 0 || (kDivider.shift >= 0 && 255 * Divisor < 32768), "16-bit exact division");
  static uint8_t Apply(int sum) {
    constexpr int16_t kLimit = Divisor == 0 ? 255 : 255 * Divisor;
    int16_t c = static_cast<int16_t>(sum);
    c = c < 0 ? int16_t{0} : c;
    c = c > kLimit ? kLimit : c;
    return static_cast<uint8_t>(Divisor == 0 ? c : DivideByte(static_cast<uint16_t>(c), kDivider));
  }
};

// 3 x 3 kernels symmetric about both axes: corners A, above and below the centre B, left and
// right of it C, centre D. The outer columns' sums A * (up + down) + C * mid are kept per column.
template <int A, int B, int C, int D, int Divisor>
void Symmetric3x3(const DibImage* src, DibImage* dst) {
  const int w = Width(src);
  const ptrdiff_t n = 3 * static_cast<ptrdiff_t>(w);
  PaddedRow<int16_t> outer_row(w, 1);
  int16_t* outer = outer_row.at();
  ForEachWindowRow<1>(src, dst, [&](const uint8_t* const* rows, uint8_t* __restrict out) {
    const uint8_t* __restrict up = rows[0];
    const uint8_t* __restrict mid = rows[1];
    const uint8_t* __restrict down = rows[2];
    int16_t* __restrict o = outer;
    for (ptrdiff_t j = 0; j < n; ++j) o[j] = static_cast<int16_t>(A * (up[j] + down[j]) + C * mid[j]);
    MirrorPad(o, w, 1);
    for (ptrdiff_t j = 0; j < n; ++j)
      out[j] = Quantiser<Divisor>::Apply(o[j - 3] + o[j + 3] + B * (up[j] + down[j]) + D * mid[j]);
  });
}

// The 5 x 5 box: column sums of five rows, then five neighbouring columns.
void Box5x5(const DibImage* src, DibImage* dst) {
  const int w = Width(src);
  const ptrdiff_t n = 3 * static_cast<ptrdiff_t>(w);
  PaddedRow<int16_t> column_row(w, 2);
  int16_t* column = column_row.at();
  ForEachWindowRow<2>(src, dst, [&](const uint8_t* const* r, uint8_t* __restrict out) {
    const uint8_t *__restrict r0 = r[0], *__restrict r1 = r[1], *__restrict r2 = r[2], *__restrict r3 = r[3],
                  *__restrict r4 = r[4];
    int16_t* __restrict v = column;
    for (ptrdiff_t j = 0; j < n; ++j) v[j] = static_cast<int16_t>(r0[j] + r1[j] + r2[j] + r3[j] + r4[j]);
    MirrorPad(v, w, 2);
    for (ptrdiff_t j = 0; j < n; ++j)
      out[j] = Quantiser<25>::Apply(v[j - 6] + v[j - 3] + v[j] + v[j + 3] + v[j + 6]);
  });
}

// The 5 x 5 pyramid, weight 5 - |dx| - |dy| = (3 - |dx|) + (2 - |dy|): with the column sums
// B = sum of the five rows and T = rows -1, 0, +1 weighted 1 2 1, the sum is
// B weighted 1 2 3 2 1 across plus T weighted 1 1 1 1 1 across. Kept: P = B + T, Q = 2B + T.
void Pyramid5x5(const DibImage* src, DibImage* dst) {
  const int w = Width(src);
  const ptrdiff_t n = 3 * static_cast<ptrdiff_t>(w);
  PaddedRow<int16_t> p_row(w, 2), q_row(w, 2);
  int16_t* p_at = p_row.at();
  int16_t* q_at = q_row.at();
  ForEachWindowRow<2>(src, dst, [&](const uint8_t* const* r, uint8_t* __restrict out) {
    const uint8_t *__restrict r0 = r[0], *__restrict r1 = r[1], *__restrict r2 = r[2], *__restrict r3 = r[3],
                  *__restrict r4 = r[4];
    int16_t* __restrict p = p_at;
    int16_t* __restrict q = q_at;
    for (ptrdiff_t j = 0; j < n; ++j) {
      const int box = r0[j] + r1[j] + r2[j] + r3[j] + r4[j];
      const int tent = r1[j] + 2 * r2[j] + r3[j];
      p[j] = static_cast<int16_t>(box + tent);
      q[j] = static_cast<int16_t>(2 * box + tent);
    }
    MirrorPad(p, w, 2);
    MirrorPad(q, w, 2);
    for (ptrdiff_t j = 0; j < n; ++j)
      out[j] = Quantiser<65>::Apply(p[j - 6] + p[j + 6] + q[j - 3] + q[j + 3] + 2 * q[j] - p[j]);
  });
}

// Emboss -4 -2 0 / -2 2 2 / 0 2 4 = 2 * (dx + dy) + 2 at the centre. Kept per column: the right
// column's weights mid + 2 down and the left column's -(2 up + mid), each halved.
template <int Divisor>
void Emboss3x3(const DibImage* src, DibImage* dst) {
  const int w = Width(src);
  const ptrdiff_t n = 3 * static_cast<ptrdiff_t>(w);
  PaddedRow<int16_t> right_row(w, 1), left_row(w, 1);
  int16_t* right_at = right_row.at();
  int16_t* left_at = left_row.at();
  ForEachWindowRow<1>(src, dst, [&](const uint8_t* const* rows, uint8_t* __restrict out) {
    const uint8_t* __restrict up = rows[0];
    const uint8_t* __restrict mid = rows[1];
    const uint8_t* __restrict down = rows[2];
    int16_t* __restrict right = right_at;
    int16_t* __restrict left = left_at;
    for (ptrdiff_t j = 0; j < n; ++j) {
      right[j] = static_cast<int16_t>(mid[j] + 2 * down[j]);
      left[j] = static_cast<int16_t>(-(2 * up[j] + mid[j]));
    }
    MirrorPad(right, w, 1);
    MirrorPad(left, w, 1);
    for (ptrdiff_t j = 0; j < n; ++j)
      out[j] = Quantiser<Divisor>::Apply(2 * (right[j + 3] + left[j - 3] + down[j] - up[j] + mid[j]));
  });
}

// Gradient magnitudes: the squared length of the gradient reduced to a table index per value
// (uint16), then the table. Sobel (146) keeps the columns up + 2 mid + down and down - up; the
// central difference (145) keeps the middle row.
template <bool Sobel>
void Gradient3x3(const DibImage* src, DibImage* dst) {
  const int w = Width(src);
  const ptrdiff_t n = 3 * static_cast<ptrdiff_t>(w);
  PaddedRow<int16_t> across_row(w, 1), down_row(w, 1);
  int16_t* across_at = across_row.at();
  int16_t* vertical_at = down_row.at();
  std::unique_ptr<uint16_t[]> index_row = RowBuffer<uint16_t>(static_cast<size_t>(n));
  std::unique_ptr<SquareRootTable> table(new (std::nothrow) SquareRootTable);
  if (!table) OutOfMemoryAbort();
  const uint8_t* root = table->root;
  ForEachWindowRow<1>(src, dst, [&](const uint8_t* const* rows, uint8_t* __restrict out) {
    const uint8_t* __restrict up = rows[0];
    const uint8_t* __restrict mid = rows[1];
    const uint8_t* __restrict down = rows[2];
    int16_t* __restrict a = across_at;
    int16_t* __restrict v = vertical_at;
    uint16_t* __restrict index = index_row.get();
    if (Sobel) {
      for (ptrdiff_t j = 0; j < n; ++j) {
        a[j] = static_cast<int16_t>(up[j] + 2 * mid[j] + down[j]);
        v[j] = static_cast<int16_t>(down[j] - up[j]);
      }
      MirrorPad(a, w, 1);
      MirrorPad(v, w, 1);
      for (ptrdiff_t j = 0; j < n; ++j) {
        const int gx = a[j + 3] - a[j - 3];
        const int gy = v[j - 3] + 2 * v[j] + v[j + 3];
        const int squared = (gx * gx + gy * gy) >> 3;
        index[j] = static_cast<uint16_t>(squared < 65535 ? squared : 65535);
      }
    } else {
      for (ptrdiff_t j = 0; j < n; ++j) a[j] = mid[j];
      MirrorPad(a, w, 1);
      for (ptrdiff_t j = 0; j < n; ++j) {
        const int gx = a[j + 3] - a[j - 3];
        const int gy = down[j] - up[j];
        index[j] = static_cast<uint16_t>((gx * gx + gy * gy) >> 1);
      }
    }
    for (ptrdiff_t j = 0; j < n; ++j) out[j] = root[index[j]];
  });
}

}  // namespace

bool ConvolveCommandKernel(int command, const DibImage* src, DibImage* dst) {
  switch (command) {
    case 134: Symmetric3x3<1, 1, 1, 1, 9>(src, dst); return true;
    case 135: Box5x5(src, dst); return true;
    case 136: Symmetric3x3<1, 1, 1, 4, 12>(src, dst); return true;
    case 137: Symmetric3x3<1, 2, 2, 4, 16>(src, dst); return true;
    case 138: Symmetric3x3<1, 4, 4, 16, 36>(src, dst); return true;
    case 139: Pyramid5x5(src, dst); return true;
    case 140: Symmetric3x3<7, 12, 12, 20, 100>(src, dst); return true;
    case 141: Symmetric3x3<-1, -1, -1, 15, 7>(src, dst); return true;
    case 142: Symmetric3x3<-3, -3, -3, 33, 9>(src, dst); return true;
    case 143: Emboss3x3<0>(src, dst); return true;
    case 144: Emboss3x3<9>(src, dst); return true;
    case 145: Gradient3x3<false>(src, dst); return true;
    case 146: Gradient3x3<true>(src, dst); return true;
    default: return false;
  }
}
