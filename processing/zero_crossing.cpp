// Zero crossings of the second derivative of the edge luma along its gradient.
//
// The five 27 x 27 derivative-of-Gaussian kernels (s = 1.5) are each a product of a function of
// the column offset u and one of the row offset v:
//   g = C e(u) e(v) with e(t) = exp(-t^2 / (2 s)), C = 1 / (2 pi s);
//   Gx = -C [u/s e(u)] e(v), Gy = -C e(u) [v/s e(v)], Gxy = C [u/s e(u)] [v/s e(v)],
//   Gxx = C [(u^2/s^2 - 1/s) e(u)] e(v), Gyy = C e(u) [(v^2/s^2 - 1/s) e(v)].
// So three passes along each row (with e, t/s e and (t^2/s^2 - 1/s) e) and five down the columns
// give the five sums, in double precision, with positions outside the image counting as 0.
// Only the signs of fx and fy are dropped: Q and M do not see them.
//
// A pixel is white when its gradient length M is at least 20 and Q = fx^2 fxx + 2 fxy fx fy +
// fy^2 fyy changes sign towards its right or lower neighbour. The last column has no right
// neighbour and the last row no lower one: those tests are false there.
#include <cmath>

#include "processing/window_filters.h"

namespace {

constexpr int kReach = 13;  // 27 x 27 window
constexpr double kSigma = 1.5;
constexpr double kPi = 3.14159265358979323846;

struct Taps {
  double even[kReach + 1];    // e(t)
  double odd[kReach + 1];     // t/s e(t)
  double second[kReach + 1];  // (t^2/s^2 - 1/s) e(t)
};

Taps MakeTaps(double scale) {
  Taps taps{};
  for (int t = 0; t <= kReach; ++t) {
    const double e = std::exp(-static_cast<double>(t * t) / (2 * kSigma)) * scale;
    taps.even[t] = e;
    taps.odd[t] = t / kSigma * e;
    taps.second[t] = (t * t / (kSigma * kSigma) - 1 / kSigma) * e;
  }
  return taps;
}

}  // namespace

void ZeroCrossingRows(const DibImage* src, DibImage* dst) {
  const int w = Width(src), h = Height(src);
  const size_t width = static_cast<size_t>(w);
  const Taps across = MakeTaps(1.0), down = MakeTaps(1 / (2 * kPi * kSigma));

  // The row passes of the last up to 27 rows: row r in slot r % ring.
  const int ring = h < 2 * kReach + 1 ? h : 2 * kReach + 1;
  const size_t plane = static_cast<size_t>(ring) * width;
  std::unique_ptr<double[]> even_rows = RowBuffer<double>(plane), odd_rows = RowBuffer<double>(plane),
                            second_rows = RowBuffer<double>(plane);
  std::unique_ptr<double[]> zero = RowBuffer<double>(width);
  std::unique_ptr<double[]> luma_row = RowBuffer<double>(width + 2 * kReach);
  for (size_t x = 0; x < width; ++x) zero[x] = 0;
  for (size_t x = 0; x < width + 2 * kReach; ++x) luma_row[x] = 0;
  double* luma = luma_row.get() + kReach;

  auto row_pass = [&](int r) {
    const uint8_t* p = RowAddress(src, r);
    for (size_t x = 0; x < width; ++x, p += 3) luma[x] = EdgeLuma(p[0], p[1], p[2]);
    const size_t at = static_cast<size_t>(r % ring) * width;
    double* __restrict even = even_rows.get() + at;
    double* __restrict odd = odd_rows.get() + at;
    double* __restrict second = second_rows.get() + at;
    const double* __restrict l = luma;
    for (size_t x = 0; x < width; ++x) {
      even[x] = across.even[0] * l[x];
      odd[x] = 0;
      second[x] = across.second[0] * l[x];
    }
    for (int t = 1; t <= kReach; ++t) {
      const double ke = across.even[t], ko = across.odd[t], ks = across.second[t];
      const double* __restrict right = l + t;
      const double* __restrict left = l - t;
      for (size_t x = 0; x < width; ++x) {
        const double sum = right[x] + left[x];
        even[x] += ke * sum;
        odd[x] += ko * (right[x] - left[x]);
        second[x] += ks * sum;
      }
    }
  };
  auto row_of = [&](std::unique_ptr<double[]>& rows, int r) -> const double* {
    return r < 0 || r >= h ? zero.get() : rows.get() + static_cast<size_t>(r % ring) * width;
  };

  // fx, fy, fxy, fxx, fyy of the current row, then Q and M of it and of the row above.
  std::unique_ptr<double[]> sums = RowBuffer<double>(5 * width);
  double* fx = sums.get();
  double* fy = fx + width;
  double* fxy = fy + width;
  double* fxx = fxy + width;
  double* fyy = fxx + width;
  std::unique_ptr<double[]> q_rows = RowBuffer<double>(2 * width);
  std::unique_ptr<uint8_t[]> strong_rows = RowBuffer<uint8_t>(2 * width);

  // Writes row y from its Q and strength, with the Q of the row below (null for none).
  auto write_row = [&](int y, const double* q, const uint8_t* strong, const double* q_below) {
    uint8_t* out = RowAddress(dst, y);
    for (size_t x = 0; x < width; ++x, out += 3) {
      const bool right = x + 1 < width && q[x] * q[x + 1] < 0;
      const bool below = q_below && q[x] * q_below[x] < 0;
      const uint8_t v = strong[x] && (right || below) ? 255 : 0;
      out[0] = out[1] = out[2] = v;
    }
  };

  Progress progress(kProgressWorking);
  int passed = 0;  // rows whose row passes are done
  for (int y = 0; y < h; ++y) {
    for (; passed < h && passed <= y + kReach; ++passed) row_pass(passed);
    {
      const double* __restrict e0 = row_of(even_rows, y);
      const double* __restrict o0 = row_of(odd_rows, y);
      const double* __restrict s0 = row_of(second_rows, y);
      for (size_t x = 0; x < width; ++x) {
        fx[x] = down.even[0] * o0[x];
        fy[x] = 0;
        fxy[x] = 0;
        fxx[x] = down.even[0] * s0[x];
        fyy[x] = down.second[0] * e0[x];
      }
    }
    for (int t = 1; t <= kReach; ++t) {
      const double ke = down.even[t], ko = down.odd[t], ks = down.second[t];
      const double* __restrict e_below = row_of(even_rows, y + t);
      const double* __restrict e_above = row_of(even_rows, y - t);
      const double* __restrict o_below = row_of(odd_rows, y + t);
      const double* __restrict o_above = row_of(odd_rows, y - t);
      const double* __restrict s_below = row_of(second_rows, y + t);
      const double* __restrict s_above = row_of(second_rows, y - t);
      double* __restrict ax = fx;
      double* __restrict ay = fy;
      double* __restrict axy = fxy;
      double* __restrict axx = fxx;
      double* __restrict ayy = fyy;
      for (size_t x = 0; x < width; ++x) {
        ax[x] += ke * (o_below[x] + o_above[x]);
        ay[x] += ko * (e_below[x] - e_above[x]);
        axy[x] += ko * (o_below[x] - o_above[x]);
        axx[x] += ke * (s_below[x] + s_above[x]);
        ayy[x] += ks * (e_below[x] + e_above[x]);
      }
    }
    double* q = q_rows.get() + static_cast<size_t>(y & 1) * width;
    uint8_t* strong = strong_rows.get() + static_cast<size_t>(y & 1) * width;
    for (size_t x = 0; x < width; ++x) {
      q[x] = fx[x] * fx[x] * fxx[x] + 2 * fxy[x] * fx[x] * fy[x] + fy[x] * fy[x] * fyy[x];
      strong[x] = std::sqrt(fx[x] * fx[x] + fy[x] * fy[x]) >= 20 ? 1 : 0;
    }
    if (y > 0) {
      const size_t above = static_cast<size_t>((y - 1) & 1) * width;
      write_row(y - 1, q_rows.get() + above, strong_rows.get() + above, q);
    }
    progress.Step(y + 1, h);
  }
  const size_t last = static_cast<size_t>((h - 1) & 1) * width;
  write_row(h - 1, q_rows.get() + last, strong_rows.get() + last, nullptr);
}
