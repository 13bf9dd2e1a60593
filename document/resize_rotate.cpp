// Resize by two factors (nearest neighbour to enlarge, area average to shrink) and rotation by
// an angle, with the transform that maps the rotated canvas back to the source. Every routine
// takes a 24-bit source, consumes it, and leaves its result in the pending slot.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "base/messages.h"
#include "document/resample.h"
#include "document/transform.h"

namespace {

// The three bytes of the background colour 0x00BBGGRR, in pixel order.
struct Fill {
  uint8_t b, g, r;
  explicit Fill(uint32_t colour)
      : b(static_cast<uint8_t>(colour >> 16)), g(static_cast<uint8_t>(colour >> 8)), r(static_cast<uint8_t>(colour)) {}
  void To(uint8_t* p) const {
    p[0] = b, p[1] = g, p[2] = r;
  }
};

inline void CopyPixel(uint8_t* d, const uint8_t* s) {
  d[0] = s[0], d[1] = s[1], d[2] = s[2];
}

// The source index of a truncated position, or -1 outside 0..size-1 (nan included). The
// index is tested once more: with x87 arithmetic the value converted may be the compared one
// rounded to a double, which can reach size.
inline int IndexOf(double position, int size) {
  if (!(position > -1.0 && position < size)) return -1;
  const int i = static_cast<int>(position);
  return i < size ? i : -1;
}

// Dest rows in bands of kTile, each band in kTile-wide tiles: the source pixels of one tile of a
// turned picture then stay in the first-level cache.
constexpr int kTile = 64;

template <class TileFn>
void ForEachTile(int width, int height, TileFn tile) {
  for (int y0 = 0; y0 < height; y0 += kTile)
    for (int x0 = 0; x0 < width; x0 += kTile) tile(x0, std::min(x0 + kTile, width), y0, std::min(y0 + kTile, height));
}

// Quarter turns and the fitting of a blend (sin or cos exactly 0): the source column then
// depends on one destination coordinate only and the source row on the other, so both are
// tabled once. With sin 0, SourceX(u, v) = (u cos + v·0) / sx differs from SourceX(u, 0) at most
// in the sign of a zero, which truncates alike; likewise for the other three.
void TurnOnAxes(const DibImage* src, DibImage* dst, const Transform& t, const Canvas& c, const Fill& fill) {
  const int w = Width(src), h = Height(src), nw = Width(dst), nh = Height(dst);
  const std::vector<const uint8_t*> rows = RowStarts(src);
  const bool upright = t.sin() == 0;  // else cos == 0: x picks the source row, y the column
  std::vector<int> by_x(static_cast<size_t>(nw)), by_y(static_cast<size_t>(nh));
  for (int x = 0; x < nw; ++x) {
    const double u = x - c.ox;
    by_x[x] = upright ? IndexOf(t.SourceX(u, 0), w) : IndexOf(t.SourceY(u, 0), h);
  }
  for (int y = 0; y < nh; ++y) {
    const double v = y - c.oy;
    by_y[y] = upright ? IndexOf(t.SourceY(0, v), h) : IndexOf(t.SourceX(0, v), w);
  }
  const size_t row_bytes = 3 * static_cast<size_t>(nw);
  if (upright) {
    for (int y = 0; y < nh; ++y) {
      uint8_t* d = RowAddress(dst, y);
      const int r = by_y[y];
      if (y > 0 && r == by_y[y - 1]) {  // an enlarged row repeats the one above
        std::memcpy(d, RowAddress(dst, y - 1), row_bytes);
        continue;
      }
      for (int x = 0; x < nw; ++x, d += 3) {
        if (r >= 0 && by_x[x] >= 0)
          CopyPixel(d, rows[r] + 3 * static_cast<size_t>(by_x[x]));
        else
          fill.To(d);
      }
    }
    return;
  }
  ForEachTile(nw, nh, [&](int x0, int x1, int y0, int y1) {
    for (int y = y0; y < y1; ++y) {
      uint8_t* d = RowAddress(dst, y) + 3 * static_cast<size_t>(x0);
      const int col = by_y[y];
      for (int x = x0; x < x1; ++x, d += 3) {
        if (col >= 0 && by_x[x] >= 0)
          CopyPixel(d, rows[by_x[x]] + 3 * static_cast<size_t>(col));
        else
          fill.To(d);
      }
    }
  });
}

// Any other angle. u·cos and (-u)·sin are tabled per column and v·sin, v·cos taken per row, so
// each pixel adds the same two products the formula adds (the sums then come out the same).
template <bool kScaled>
void TurnAnyAngle(const DibImage* src, DibImage* dst, const Transform& t, const Canvas& c, const Fill& fill) {
  const int w = Width(src), h = Height(src), nw = Width(dst), nh = Height(dst);
  const std::vector<const uint8_t*> rows = RowStarts(src);
  const double s = t.sin(), k = t.cos(), sx = t.sx(), sy = t.sy();
  std::vector<double> u_cos(static_cast<size_t>(nw)), u_sin(static_cast<size_t>(nw));
  for (int x = 0; x < nw; ++x) {
    const double u = x - c.ox;
    u_cos[x] = u * k;
    u_sin[x] = -u * s;
  }
  const double wd = w, hd = h;
  ForEachTile(nw, nh, [&](int x0, int x1, int y0, int y1) {
    for (int y = y0; y < y1; ++y) {
      const double v = y - c.oy, v_sin = v * s, v_cos = v * k;
      uint8_t* d = RowAddress(dst, y) + 3 * static_cast<size_t>(x0);
      for (int x = x0; x < x1; ++x, d += 3) {
        double cx = u_cos[x] + v_sin, cy = u_sin[x] + v_cos;
        if (kScaled) cx /= sx, cy /= sy;
        const int col = cx > -1.0 && cx < wd ? static_cast<int>(cx) : w;  // as IndexOf
        const int row = cy > -1.0 && cy < hd ? static_cast<int>(cy) : h;
        if (col < w && row < h)
          CopyPixel(d, rows[row] + 3 * static_cast<size_t>(col));
        else
          fill.To(d);
      }
    }
  });
}

// The source index of nearest-neighbour column (or row) x: rnd(x × size / new size), kept inside
// the image (beyond a factor of 2 the rounding reaches size at the end; the last pixel is taken).
int NearestIndex(int x, int size, int new_size) {
  const double i = std::trunc(static_cast<double>(x) * size / new_size + 0.5);
  return i < size ? static_cast<int>(i) : size - 1;
}

}  // namespace

int ResampledSize(int size, double factor) {
  const double n = std::trunc(size * factor + 0.5);
  return n >= 1 && n <= INT32_MAX ? static_cast<int>(n) : 0;
}

std::vector<const uint8_t*> RowStarts(const DibImage* image) {
  std::vector<const uint8_t*> rows(static_cast<size_t>(Height(image)));
  for (int y = 0; y < Height(image); ++y) rows[y] = RowAddress(image, y);
  return rows;
}

DibImage* NewResampled(const MDIBCtrl& doc, const DibImage* source, int64_t width, int64_t height) {
  if (!CheckedStride(width, height, 24)) {
    ShowError(kMsgNoMemory);
    return nullptr;
  }
  return doc.MakeBlankLike(source, static_cast<int>(width), static_cast<int>(height));
}

bool AbandonResample(MDIBCtrl& doc, DibImage* source) {
  if (source != doc.current_) MDIBCtrl::DeleteImage(source);
  doc.pending_ = doc.current_;
  return false;
}

void MDIBCtrl::ScaleImage(double* sx, double* sy) {
  if (image_count_ == 0 || !pending_ || pending_ == current_) return;
  const int code = (*sx > 1 ? 0x02 : *sx < 1 ? 0x01 : 0) | (*sy > 1 ? 0x20 : *sy < 1 ? 0x10 : 0);
  switch (code) {
    case 0x00: return;
    case 0x01: case 0x10: case 0x11: ScaleAreaAverage(pending_, *sx, *sy); break;
    case 0x02: case 0x20: case 0x22: ScaleNearest(pending_, *sx, *sy); break;
    case 0x12:  // wider and lower
      if (ScaleNearest(pending_, 1, *sy)) ScaleAreaAverage(pending_, *sx, 1);
      break;
    case 0x21:  // narrower and taller
      if (ScaleNearest(pending_, *sx, 1)) ScaleAreaAverage(pending_, 1, *sy);
      break;
  }
  ShowInfo(kMsgFinished, kCaptionInfo, true);
}

bool MDIBCtrl::ScaleNearest(DibImage* source, double sx, double sy) {
  if (image_count_ == 0 || !source) return false;
  if (BitCount(source) != 24) return AbandonResample(*this, source);
  const int w = Width(source), h = Height(source), nw = ResampledSize(w, sx), nh = ResampledSize(h, sy);
  DibImage* result = NewResampled(*this, source, nw, nh);
  if (!result) return AbandonResample(*this, source);
  return FillResampled(*this, source, result, [&] {
    std::vector<uint32_t> offset(static_cast<size_t>(nw));
    for (int x = 0; x < nw; ++x) offset[x] = 3 * static_cast<uint32_t>(NearestIndex(x, w, nw));
    const size_t row_bytes = 3 * static_cast<size_t>(nw);
    int previous = -1;
    for (int y = 0; y < nh; ++y) {
      const int r = NearestIndex(y, h, nh);
      uint8_t* d = RowAddress(result, y);
      const uint8_t* s = RowAddress(source, r);
      if (r == previous)  // an enlarged row repeats the one above
        std::memcpy(d, RowAddress(result, y - 1), row_bytes);
      else if (nw == w)
        std::memcpy(d, s, row_bytes);
      else
        for (int x = 0; x < nw; ++x, d += 3) CopyPixel(d, s + offset[x]);
      previous = r;
    }
  });
}

bool MDIBCtrl::RotateImage(DibImage* source, double angle, double sx, double sy) {
  if (image_count_ == 0 || !source) return false;
  if (BitCount(source) != 24) return AbandonResample(*this, source);
  Transform t;
  t.SetAngle(angle);
  t.SetScale(sx, sy);
  Canvas canvas;
  DibImage* result = nullptr;
  if (t.ComputeCanvas(Width(source), Height(source), &canvas))
    result = NewResampled(*this, source, canvas.width, canvas.height);
  else
    ShowError(kMsgNoMemory);
  if (!result) return AbandonResample(*this, source);
  const Fill fill(background_colour_);
  return FillResampled(*this, source, result, [&] {
    if (t.sin() == 0 || t.cos() == 0)
      TurnOnAxes(source, result, t, canvas, fill);
    else if (sx == 1 && sy == 1)  // x / 1 is x: the division can go
      TurnAnyAngle<false>(source, result, t, canvas, fill);
    else
      TurnAnyAngle<true>(source, result, t, canvas, fill);
  });
}
