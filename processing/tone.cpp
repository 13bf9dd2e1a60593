// Tone and colour operations: negative, grey, sepia, the two-level conversions, the tone curves
// and the histogram stretch and equalisation.
//
// Each writes its result in one pass from the current image into the new block: a 24-bit picture
// is read where it is (never copied first and changed afterwards), 16- and 32-bit pictures are
// copied or converted band by band and changed while the band is in cache, and an indexed
// picture's tone table is applied to its colour table before it is converted. Only the
// operations that count the values of a converted picture before they change it convert it
// first.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "processing/filter.h"
#include "processing/true_colour_work.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// Counts value(pixel) over every pixel of a 24-bit image into counts (zeroed by the caller).
// Alternate pixels go to a second set of counts, so that runs of equal values do not wait on
// each other's increments.
template <class Value>
void CountValues(const DibImage* image, uint32_t counts[256], Value value) {
  uint32_t odd[256] = {};
  const int w = Width(image), h = Height(image);
  for (int y = 0; y < h; ++y) {
    const uint8_t* p = RowAddress(image, y);
    int x = 0;
    for (; x + 1 < w; x += 2, p += 6) {
      ++counts[value(p)];
      ++odd[value(p + 3)];
    }
    if (x < w) ++counts[value(p)];
  }
  for (int v = 0; v < 256; ++v) counts[v] += odd[v];
}

int Brightness(const uint8_t* p) { return std::max(p[0], std::max(p[1], p[2])); }
int Grey(const uint8_t* p) { return GreyLuma(p[0], p[1], p[2]); }

// Counts of the blue, green and red values of a 24-bit image, in one pass.
void CountChannels(const DibImage* image, uint32_t counts[3][256]) {
  uint32_t odd[3][256] = {};
  std::memset(counts, 0, 3 * 256 * sizeof(uint32_t));
  const int w = Width(image), h = Height(image);
  for (int y = 0; y < h; ++y) {
    const uint8_t* p = RowAddress(image, y);
    int x = 0;
    for (; x + 1 < w; x += 2, p += 6) {
      ++counts[0][p[0]], ++counts[1][p[1]], ++counts[2][p[2]];
      ++odd[0][p[3]], ++odd[1][p[4]], ++odd[2][p[5]];
    }
    if (x < w) ++counts[0][p[0]], ++counts[1][p[1]], ++counts[2][p[2]];
  }
  for (int c = 0; c < 3; ++c)
    for (int v = 0; v < 256; ++v) counts[c][v] += odd[c][v];
}

// Rows of a 24-bit source through a byte table into dst (the source itself allowed).
void MapRows(const DibImage* src, DibImage* dst, const uint8_t table[256]) {
  const ByteMap map(table);
  const size_t n = 3 * static_cast<size_t>(Width(src));
  ForEachRowPair(src, dst, n, [&](const uint8_t* s, uint8_t* d) { map.Map(s, d, n); });
}

// Copies src's pixel block into dst (an image of the same layout) band by band, letting change()
// work on each band while it is still in cache.
template <class Change>
void CopyAndChangeInBands(const DibImage* src, DibImage* dst, Change change) {
  RowBand band(dst);
  const int h = Height(dst), step = BandRows(dst->stride);
  for (int top = 0; top < h; top += step) {
    const int rows = std::min(step, h - top);
    DibImage* view = band.Rows(top, rows);
    std::memcpy(view->bits, src->bits + (view->bits - dst->bits), static_cast<size_t>(rows) * dst->stride);
    change(view);
  }
}

// A new 24-bit image of image with every byte b of every pixel replaced by table[b]: the same
// result as a true-colour copy toned afterwards, in one pass.
DibImage* TrueColorThroughTable(const MDIBCtrl& doc, const DibImage* image, const uint8_t table[256]) {
  auto ops = MDIBCtrl::CreatePixelOps(image);
  if (!ops) return nullptr;
  ImagePtr result(NewTrueColorLike(doc, image));
  if (!result) return nullptr;
  const int bits = BitCount(image);
  if (bits == 24) {
    MapRows(image, result.get(), table);
  } else if (bits <= 8) {
    // Every pixel shows a colour of the table: tone the table and convert once.
    RowBand whole(image);
    RGBQUAD* c = whole.AllColours();
    for (int i = 0; i < 256; ++i)
      c[i] = RGBQUAD{table[c[i].rgbBlue], table[c[i].rgbGreen], table[c[i].rgbRed], c[i].rgbReserved};
    if (!ops->ToDib24(whole.Whole(), result.get())) return nullptr;
  } else {
    RowBand from(image), to(result.get());
    const ByteMap map(table);
    const int h = Height(image), step = BandRows(result->stride);
    const size_t n = 3 * static_cast<size_t>(Width(image));
    for (int top = 0; top < h; top += step) {
      const int rows = std::min(step, h - top);
      DibImage* band = to.Rows(top, rows);
      ops->ToDib24(from.Rows(top, rows), band);
      for (int y = 0; y < rows; ++y) map.Map(RowAddress(band, y), RowAddress(band, y), n);
    }
  }
  return result.release();
}

// The picture an operation that counts its values reads, and the image it writes: a 24-bit
// picture is read where it is and written into a new block; other depths are converted first
// and changed in place.
struct CountedWork {
  const DibImage* source = nullptr;
  ImagePtr result;
  bool Make(const MDIBCtrl& doc, const DibImage* image) {
    if (BitCount(image) == 24) {
      result.reset(NewTrueColorLike(doc, image));
      source = image;
    } else {
      result.reset(doc.MakeTrueColorCopy(image));
      source = result.get();
    }
    return result != nullptr;
  }
};

}  // namespace

bool Filter::SetResult(DibImage* image) {
  if (!image) return false;
  pending_ = image;
  return true;
}

void Filter::ApplyTable(DibImage* image, const uint8_t table[256]) { MapRows(image, image, table); }

bool Filter::ApplyNegative() {
  if (image_count_ == 0) return false;
  auto ops = CreatePixelOps(current_);
  if (!ops) return false;
  const int bits = BitCount(current_);
  const bool direct = bits == 24, banded = bits == 16 || bits == 32;
  ImagePtr result(CloneImage(current_, !direct && !banded));  // indexed pictures keep their pixels
  if (!result) return false;
  if (direct) {
    const size_t n = 3 * static_cast<size_t>(Width(current_));
    ForEachRowPair(current_, result.get(), n, [n](const uint8_t* s, uint8_t* d) {
      for (size_t i = 0; i < n; ++i) d[i] = static_cast<uint8_t>(255 - s[i]);
    });
  } else if (banded) {
    CopyAndChangeInBands(current_, result.get(), [&](DibImage* band) { ops->Negative(band); });
  } else {
    ops->Negative(result.get());  // the colour table only
  }
  return SetResult(result.release());
}

bool Filter::ApplyGrayOrSepia(int command) {
  if (image_count_ == 0 || BitCount(current_) == 1) return false;
  auto ops = CreatePixelOps(current_);
  if (!ops) return false;
  const int bits = BitCount(current_);
  const bool direct = bits == 24 && (command == kCmdGray || command == kCmdSepia);
  const bool banded = bits == 16 || bits == 32;
  ImagePtr result(CloneImage(current_, !direct && !banded));
  if (!result) return false;
  if (direct) {
    // Blue and green of the result as tables of the grey value (the identity for grey).
    uint8_t blue[256], green[256];
    for (int g = 0; g < 256; ++g) {
      blue[g] = static_cast<uint8_t>(command == kCmdSepia ? static_cast<int>(0.6 * g) : g);
      green[g] = static_cast<uint8_t>(command == kCmdSepia ? static_cast<int>(0.8 * g) : g);
    }
    const int w = Width(current_);
    ForEachRowPair(current_, result.get(), 3 * static_cast<size_t>(w), [&](const uint8_t* s, uint8_t* d) {
      for (int x = 0; x < w; ++x, s += 3, d += 3) {
        const int g = GreyLuma(s[0], s[1], s[2]);
        d[0] = blue[g];
        d[1] = green[g];
        d[2] = static_cast<uint8_t>(g);
      }
    });
  } else if (banded) {
    CopyAndChangeInBands(current_, result.get(), [&](DibImage* band) { ops->GrayOrSepia(band, command); });
  } else {
    ops->GrayOrSepia(result.get(), command);  // indexed: the colour table only
  }
  return SetResult(result.release());
}

int Filter::OtsuThreshold(const uint32_t* h) {
  double best = -1000.0;
  int t = 0;
  double n_all = 0, s_all = 0;
  for (int i = 0; i < 256; ++i) {
    n_all += h[i];
    s_all += static_cast<double>(i) * h[i];
  }
  double n_a = h[0], s_a = 0;  // class A holds 0 .. k-1
  for (int k = 1; k <= 254; ++k) {
    if (k > 1) {
      n_a += h[k - 1];
      s_a += static_cast<double>(k - 1) * h[k - 1];
    }
    const double n_b = n_all - n_a, s_b = s_all - s_a;
    const double m_a = n_a != 0 ? s_a / n_a : 0.0;
    const double m_b = n_b != 0 ? s_b / n_b : 0.0;
    const double n = n_a + n_b;
    if (n == 0) continue;
    const double m = (s_a + s_b) / n;
    const double v = (n_a / n) * (m_a - m) * (m_a - m) + (n_b / n) * (m_b - m) * (m_b - m);
    if (v > best) {
      best = v;
      t = k;
    }
  }
  return t;
}

bool Filter::BinarizeGray() {
  if (image_count_ == 0) return false;
  CountedWork work;
  if (!work.Make(*this, current_)) return false;
  // The threshold of the grey picture's values, then grey and threshold in one step.
  uint32_t counts[256] = {};
  CountValues(work.source, counts, Grey);
  const int t = OtsuThreshold(counts);
  uint8_t level[256];
  for (int i = 0; i < 256; ++i) level[i] = i > t ? 255 : 0;
  const int w = Width(work.source);
  ForEachRowPair(work.source, work.result.get(), 3 * static_cast<size_t>(w), [&](const uint8_t* s, uint8_t* d) {
    for (int x = 0; x < w; ++x, s += 3, d += 3) d[0] = d[1] = d[2] = level[GreyLuma(s[0], s[1], s[2])];
  });
  return SetResult(work.result.release());
}

bool Filter::BinarizeRgb() {
  if (image_count_ == 0) return false;
  CountedWork work;
  if (!work.Make(*this, current_)) return false;
  uint32_t counts[3][256];
  CountChannels(work.source, counts);
  // The thresholds repeated over 16 pixels, so that the compare runs on whole vectors of bytes.
  uint8_t t[48];
  for (int c = 0; c < 3; ++c) t[c] = static_cast<uint8_t>(OtsuThreshold(counts[c]));
  for (int k = 3; k < 48; ++k) t[k] = t[k - 3];
  const size_t n = 3 * static_cast<size_t>(Width(work.source));
  ForEachRowPair(work.source, work.result.get(), n, [&](const uint8_t* s, uint8_t* d) {
    size_t i = 0;
    for (; i + 48 <= n; i += 48)
      for (int k = 0; k < 48; ++k) d[i + k] = s[i + k] > t[k] ? 255 : 0;
    for (size_t k = 0; i < n; ++i, ++k) d[i] = s[i] > t[k] ? 255 : 0;
  });
  return SetResult(work.result.release());
}

bool Filter::ApplyToneCurve(int command) {
  if (image_count_ == 0) return false;
  if (command != 113 && command != 114 && command != 115) return false;
  uint8_t table[256];
  const double k = kPi / 2 / 255, k2 = kPi / 255;
  for (int i = 0; i < 256; ++i) {
    double v;
    if (command == 113)
      v = 255 * std::sin(i * k);
    else if (command == 114)
      v = 255 * (1 - std::cos(i * k));
    else
      v = 127 * (1 - std::cos(i * k2));
    table[i] = static_cast<uint8_t>(static_cast<int>(v));
  }
  return SetResult(TrueColorThroughTable(*this, current_, table));
}

bool Filter::StretchHistogram() {
  if (image_count_ == 0) return false;
  CountedWork work;
  if (!work.Make(*this, current_)) return false;
  uint32_t v[256] = {};
  CountValues(work.source, v, Brightness);
  const int64_t n = static_cast<int64_t>(Width(work.source)) * Height(work.source);
  const int64_t p = n / 100;
  // Walk the brightness counts to the 1 % and 99 % points. The walk never passes value 255:
  // by then the sum has reached n.
  int i = 0;
  int64_t s = 0;
  while (s < p && i < 256) s += v[i++];
  const int low = i - 1;
  while (s < n / 2 && i < 256) s += v[i++];
  while (s < 99 * p && i < 256) s += v[i++];
  const int high = i - 1;
  const double scale = high != low ? 255.0 / (high - low) : 0.0;
  uint8_t table[256];
  for (int b = 0; b < 256; ++b) {
    if (b < low)
      table[b] = 0;
    else if (b > high)
      table[b] = 255;
    else
      table[b] = static_cast<uint8_t>(static_cast<int>((b - low) * scale));
  }
  MapRows(work.source, work.result.get(), table);
  return SetResult(work.result.release());
}

bool Filter::EqualizeHistogram() {
  if (image_count_ == 0) return false;
  CountedWork work;
  if (!work.Make(*this, current_)) return false;
  uint32_t v[256] = {};
  CountValues(work.source, v, Brightness);
  const int64_t n = static_cast<int64_t>(Width(work.source)) * Height(work.source);
  const int64_t q = n / 256 + 1;
  uint8_t table[256];
  int64_t sum = 0;
  for (int i = 0; i < 256; ++i) {
    sum += v[i];
    table[i] = static_cast<uint8_t>(sum / q);
  }
  MapRows(work.source, work.result.get(), table);
  return SetResult(work.result.release());
}
