#include "processing/adjust.h"

#include <cmath>

#include "processing/true_colour_work.h"

namespace {

inline uint8_t Clamp(int v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); }

// out = (tb[blue], tg[green], tr[red]) for every pixel, in one pass.
void ApplyChannelTables(const DibImage* work, DibImage* out, const uint8_t* tb, const uint8_t* tg, const uint8_t* tr) {
  const int w = Width(work), h = Height(work);
  for (int y = 0; y < h; ++y) {
    const uint8_t* s = RowAddress(work, y);
    uint8_t* d = RowAddress(out, y);
    for (int x = 0; x < w; ++x, s += 3, d += 3) {
      d[0] = tb[s[0]];
      d[1] = tg[s[1]];
      d[2] = tr[s[2]];
    }
  }
}

void ApplyTable(const DibImage* work, DibImage* out, const uint8_t* table) {
  const ByteMap map(table);
  const int h = Height(work);
  const size_t n = 3 * static_cast<size_t>(Width(work));
  for (int y = 0; y < h; ++y) map.Map(RowAddress(work, y), RowAddress(out, y), n);
}

// t[v] = clamp(v + offset).
void OffsetTable(int offset, uint8_t table[256]) {
  for (int v = 0; v < 256; ++v) table[v] = Clamp(v + offset);
}

}  // namespace

void GammaTable(int gamma100, uint8_t table[256]) {
  const double g = gamma100 / 100.0;
  for (int c = 0; c < 256; ++c) {
    const double v = std::pow(c / 255.0, g) * 255.0;
    table[c] = Clamp(static_cast<int>(v));
  }
}

void LinearContrastTable(int a, int b, int c, int d, uint8_t table[256]) {
  for (int v = 0; v < 256; ++v) table[v] = Clamp(v < d ? 255 - a : v > c ? 255 - b : (a - b) * v / 255 + 255 - a);
}

void GradationTable(int levels, uint8_t table[256]) {
  const int step = levels > 0 && levels <= 256 ? 256 / levels : 1;
  for (int v = 0; v < 256; ++v) table[v] = static_cast<uint8_t>(v / step * step);
}

void PreviewGamma(const DibImage* work, DibImage* out, int gamma100) {
  uint8_t t[256];
  GammaTable(gamma100, t);
  ApplyTable(work, out, t);
}

void PreviewLinearContrast(const DibImage* work, DibImage* out, int a, int b, int c, int d) {
  uint8_t t[256];
  LinearContrastTable(a, b, c, d, t);
  ApplyTable(work, out, t);
}

void PreviewGradation(const DibImage* work, DibImage* out, int levels) {
  uint8_t t[256];
  GradationTable(levels, t);
  ApplyTable(work, out, t);
}

void PreviewRgb(const DibImage* work, DibImage* out, int red, int green, int blue) {
  uint8_t tb[256], tg[256], tr[256];
  OffsetTable(blue, tb);
  OffsetTable(green, tg);
  OffsetTable(red, tr);
  ApplyChannelTables(work, out, tb, tg, tr);
}

void PreviewWhiteBalance(const DibImage* work, DibImage* out, int t) {
  uint8_t tb[256], tg[256], tr[256];
  OffsetTable(-t, tb);
  OffsetTable(0, tg);
  OffsetTable(t, tr);
  ApplyChannelTables(work, out, tb, tg, tr);
}

void HsvAdjustPixel(const uint8_t* in, uint8_t* out, int hue, int saturation100, int value) {
  const double b = in[0], g = in[1], r = in[2];
  const double max = std::fmax(r, std::fmax(g, b)), min = std::fmin(r, std::fmin(g, b)), d = max - min;
  double rc = 0, gc = 0, bc = 0;
  if (d != 0) {
    rc = (max - r) / d;
    gc = (max - g) / d;
    bc = (max - b) / d;
  }
  double h = r == max ? (bc - gc) * 60 : g == max ? (2 + rc - bc) * 60 : (4 + gc - rc) * 60;
  if (h < 0) h += 360;
  const double s0 = max == 0 ? 0 : d / max;
  h += hue;
  const double s = s0 + saturation100 / 100.0, v = max + value;
  if (h >= 360) h -= 360;
  else if (h < 0) h += 360;
  const int i = static_cast<int>(std::floor(h / 60));
  double f = h / 60 - i;
  if (i % 2 == 0) f = 1 - f;
  const double m = (1 - s) * v, n = (1 - s * f) * v;
  double rgb[3];
  switch (i) {
    case 0: rgb[0] = v, rgb[1] = n, rgb[2] = m; break;
    case 1: rgb[0] = n, rgb[1] = v, rgb[2] = m; break;
    case 2: rgb[0] = m, rgb[1] = v, rgb[2] = n; break;
    case 3: rgb[0] = m, rgb[1] = n, rgb[2] = v; break;
    case 4: rgb[0] = n, rgb[1] = m, rgb[2] = v; break;
    default: rgb[0] = v, rgb[1] = m, rgb[2] = n; break;
  }
  for (int c = 0; c < 3; ++c) {
    const double x = rgb[c] >= 0 ? rgb[c] + 0.5 : rgb[c] - 0.5;  // half away from zero
    const double clamped = x < 0 ? 0 : x > 255 ? 255 : x;
    out[2 - c] = static_cast<uint8_t>(static_cast<int>(clamped));
  }
}

void PreviewHsv(const DibImage* work, DibImage* out, int hue, int saturation100, int value) {
  const int w = Width(work), h = Height(work);
  for (int y = 0; y < h; ++y) {
    const uint8_t* s = RowAddress(work, y);
    uint8_t* d = RowAddress(out, y);
    for (int x = 0; x < w; ++x, s += 3, d += 3) HsvAdjustPixel(s, d, hue, saturation100, value);
  }
}
