// The indexed pixel formats: 8 bits (one byte per pixel), 4 bits (two pixels per byte, the left
// one in the high nibble) and 1 bit (eight pixels per byte, the left one in the top bit).
// Toning and inversion change the colour table only.
#include <cstring>

#include "image/histogram_builder.h"
#include "image/pixel_ops.h"

namespace {

// 256 colours of the image's table, zero beyond its colour count, so that any index is safe.
struct ColourLookup {
  uint8_t bgr[256][3];
  explicit ColourLookup(const DibImage* image) {
    std::memset(bgr, 0, sizeof bgr);
    const RGBQUAD* pal = Palette(image);
    const int n = image->colours < 256 ? image->colours : 256;
    for (int i = 0; i < n; ++i) {
      bgr[i][0] = pal[i].rgbBlue;
      bgr[i][1] = pal[i].rgbGreen;
      bgr[i][2] = pal[i].rgbRed;
    }
  }
};

inline int Nibble(const uint8_t* row, int x) {
  const uint8_t b = row[x >> 1];
  return (x & 1) ? (b & 0x0F) : (b >> 4);
}
inline void PutNibble(uint8_t* row, int x, int v) {
  uint8_t& b = row[x >> 1];
  b = (x & 1) ? static_cast<uint8_t>((b & 0xF0) | (v & 0x0F)) : static_cast<uint8_t>((b & 0x0F) | ((v & 0x0F) << 4));
}
inline int Bit(const uint8_t* row, int x) { return (row[x >> 3] >> (7 - (x & 7))) & 1; }
inline void PutBit(uint8_t* row, int x, int v) {
  const uint8_t mask = static_cast<uint8_t>(0x80 >> (x & 7));
  row[x >> 3] = v ? static_cast<uint8_t>(row[x >> 3] | mask) : static_cast<uint8_t>(row[x >> 3] & ~mask);
}

// A view of an image's rows that reads from the decoded copy when the image is run-length coded.
class SourceRows {
 public:
  SourceRows(Dib8& ops, const DibImage* image) : image_(image) {
    if (IsRunLength(image)) {
      decoded_ = ops.DecodeRle(image);
      base_ = decoded_.get();
    } else {
      base_ = image->bits;
    }
  }
  bool ok() const { return base_ != nullptr; }
  const uint8_t* base() const { return base_; }
  const uint8_t* Row(int y) const {
    return base_ + static_cast<size_t>(Height(image_) - 1 - y) * image_->stride;
  }

 private:
  const DibImage* image_;
  BitsPtr decoded_;
  const uint8_t* base_;
};

// After a geometric copy into dst: re-encode when the source was run-length coded.
void Reencode(const DibImage* src, DibImage* dst, DWORD compression) {
  if (src->info->bmiHeader.biCompression == compression) EncodeRle(dst);
}

// Counts index occurrences row by row, then turns them into colour counts.
template <class IndexAt>
std::unique_ptr<HistogramRecord> IndexedHistogram(const DibImage* image, const SourceRows& rows, IndexAt index_at) {
  const ColourLookup lut(image);
  uint64_t counts[256] = {};
  const int w = Width(image), h = Height(image);
  for (int y = 0; y < h; ++y) {
    const uint8_t* row = rows.Row(y);
    for (int x = 0; x < w; ++x) ++counts[index_at(row, x)];
  }
  HistogramBuilder hist;
  for (int i = 0; i < 256; ++i)
    if (counts[i]) hist.Add(lut.bgr[i][0], lut.bgr[i][1], lut.bgr[i][2], static_cast<uint32_t>(counts[i]));
  return hist.Finish();
}

}  // namespace

// ---- Dib8 ----------------------------------------------------------------------------------

DibImage* Dib8::ToDib24(const DibImage* src, DibImage* dst) {
  const SourceRows rows(*this, src);
  if (!rows.ok()) return nullptr;
  IndexToDib24(src, dst, rows.base());
  return dst;
}

void Dib8::IndexToDib24(const DibImage* src, DibImage* dst, const uint8_t* source_bits) {
  const ColourLookup lut(src);
  const int w = Width(src), h = Height(src);
  for (int y = 0; y < h; ++y) {
    const uint8_t* s = PixelOffsetIn(src, source_bits, 0, y);
    uint8_t* d = RowAddress(dst, y);
    for (int x = 0; x < w; ++x, d += 3) std::memcpy(d, lut.bgr[s[x]], 3);
  }
}

uint8_t* Dib8::PixelAddress(const DibImage* image, int x, int y) { return RowAddress(image, y) + x; }

const uint8_t* Dib8::PixelOffsetIn(const DibImage* image, const uint8_t* buffer, int x, int y) {
  return buffer + static_cast<size_t>(Height(image) - 1 - y) * image->stride + x;
}

void Dib8::MirrorHorizontal(const DibImage* src, DibImage* dst) {
  const SourceRows rows(*this, src);
  if (!rows.ok()) return;
  dst->info->bmiHeader.biCompression = BI_RGB;
  const int w = Width(src), h = Height(src);
  for (int y = 0; y < h; ++y) {
    const uint8_t* s = rows.Row(y);
    uint8_t* d = RowAddress(dst, y);
    for (int x = 0; x < w; ++x) d[x] = s[w - 1 - x];
  }
  Reencode(src, dst, BI_RLE8);
}

void Dib8::FlipVertical(const DibImage* src, DibImage* dst) {
  const SourceRows rows(*this, src);
  if (!rows.ok()) return;
  dst->info->bmiHeader.biCompression = BI_RGB;
  const int h = Height(src);
  for (int y = 0; y < h; ++y) std::memcpy(RowAddress(dst, y), rows.Row(h - 1 - y), static_cast<size_t>(Width(src)));
  Reencode(src, dst, BI_RLE8);
}

void Dib8::CopyRect(const DibImage* src, DibImage* dst, const CropRect& rect, int reencode) {
  const SourceRows rows(*this, src);
  if (!rows.ok()) return;
  dst->info->bmiHeader.biCompression = BI_RGB;
  const CropRect r = ClipRect(src, dst, rect);
  for (int j = 0; j < r.height; ++j)
    std::memcpy(RowAddress(dst, j), PixelOffsetIn(src, rows.base(), r.left, r.top + j), static_cast<size_t>(r.width));
  if (reencode) Reencode(src, dst, BI_RLE8);
}

void Dib8::GrayOrSepia(DibImage* image, int command) {
  if (command != kCmdGray && command != kCmdSepia) return;
  RGBQUAD* pal = Palette(image);
  for (int i = 0; i < image->colours; ++i) {
    const int g = GreyLuma(pal[i].rgbBlue, pal[i].rgbGreen, pal[i].rgbRed);
    const bool sepia = command == kCmdSepia;
    pal[i].rgbBlue = static_cast<BYTE>(sepia ? static_cast<int>(0.6 * g) : g);
    pal[i].rgbGreen = static_cast<BYTE>(sepia ? static_cast<int>(0.8 * g) : g);
    pal[i].rgbRed = static_cast<BYTE>(g);
  }
}

void Dib8::Negative(DibImage* image) {
  RGBQUAD* pal = Palette(image);
  for (int i = 0; i < image->colours; ++i) {
    pal[i].rgbBlue = static_cast<BYTE>(255 - pal[i].rgbBlue);
    pal[i].rgbGreen = static_cast<BYTE>(255 - pal[i].rgbGreen);
    pal[i].rgbRed = static_cast<BYTE>(255 - pal[i].rgbRed);
  }
}

std::unique_ptr<HistogramRecord> Dib8::MakeHistogram(const DibImage* image) {
  const SourceRows rows(*this, image);
  if (!rows.ok()) return nullptr;
  switch (BitCount(image)) {
    case 1: return IndexedHistogram(image, rows, [](const uint8_t* r, int x) { return Bit(r, x); });
    case 4: return IndexedHistogram(image, rows, [](const uint8_t* r, int x) { return Nibble(r, x); });
    default: return IndexedHistogram(image, rows, [](const uint8_t* r, int x) { return static_cast<int>(r[x]); });
  }
}

void Dib8::SetIndex(DibImage* image, int x, int y, int index) {
  *PixelAddress(image, x, y) = static_cast<uint8_t>(index);
}

// ---- Dib4 ----------------------------------------------------------------------------------

DibImage* Dib4::ToDib24(const DibImage* src, DibImage* dst) {
  const SourceRows rows(*this, src);
  if (!rows.ok()) return nullptr;
  IndexToDib24(src, dst, rows.base());
  return dst;
}

void Dib4::IndexToDib24(const DibImage* src, DibImage* dst, const uint8_t* source_bits) {
  const ColourLookup lut(src);
  const int w = Width(src), h = Height(src);
  for (int y = 0; y < h; ++y) {
    const uint8_t* s = PixelOffsetIn(src, source_bits, 0, y);
    uint8_t* d = RowAddress(dst, y);
    for (int x = 0; x < w; ++x, d += 3) std::memcpy(d, lut.bgr[Nibble(s, x)], 3);
  }
}

uint8_t* Dib4::PixelAddress(const DibImage* image, int x, int y) { return RowAddress(image, y) + x / 2; }

const uint8_t* Dib4::PixelOffsetIn(const DibImage* image, const uint8_t* buffer, int x, int y) {
  return buffer + static_cast<size_t>(Height(image) - 1 - y) * image->stride + x / 2;
}

void Dib4::MirrorHorizontal(const DibImage* src, DibImage* dst) {
  const SourceRows rows(*this, src);
  if (!rows.ok()) return;
  dst->info->bmiHeader.biCompression = BI_RGB;
  const int w = Width(src), h = Height(src);
  for (int y = 0; y < h; ++y) {
    const uint8_t* s = rows.Row(y);
    uint8_t* d = RowAddress(dst, y);
    for (int x = 0; x < w; ++x) PutNibble(d, x, Nibble(s, w - 1 - x));
  }
  Reencode(src, dst, BI_RLE4);
}

void Dib4::FlipVertical(const DibImage* src, DibImage* dst) {
  const SourceRows rows(*this, src);
  if (!rows.ok()) return;
  dst->info->bmiHeader.biCompression = BI_RGB;
  const int h = Height(src);
  const size_t n = (static_cast<size_t>(Width(src)) + 1) / 2;  // whole bytes, nibbles in place
  for (int y = 0; y < h; ++y) std::memcpy(RowAddress(dst, y), rows.Row(h - 1 - y), n);
  Reencode(src, dst, BI_RLE4);
}

void Dib4::CopyRect(const DibImage* src, DibImage* dst, const CropRect& rect, int reencode) {
  const SourceRows rows(*this, src);
  if (!rows.ok()) return;
  dst->info->bmiHeader.biCompression = BI_RGB;
  const CropRect r = ClipRect(src, dst, rect);
  for (int j = 0; j < r.height; ++j) {
    const uint8_t* s = rows.Row(r.top + j);
    uint8_t* d = RowAddress(dst, j);
    if ((r.left & 1) == 0) {
      std::memcpy(d, s + r.left / 2, (static_cast<size_t>(r.width) + 1) / 2);
    } else {
      for (int i = 0; i < r.width; ++i) PutNibble(d, i, Nibble(s, r.left + i));
    }
  }
  if (reencode) Reencode(src, dst, BI_RLE4);
}

// Even x overwrites the whole byte (clearing the right pixel), odd x ORs into the low nibble:
// rows are written left to right.
void Dib4::SetIndex(DibImage* image, int x, int y, int index) {
  uint8_t& b = RowAddress(image, y)[x >> 1];
  if (x & 1)
    b = static_cast<uint8_t>(b | (index & 0x0F));
  else
    b = static_cast<uint8_t>(index << 4);
}

DibImage* Dib4::UnpackTo8(const DibImage* src, DibImage* dst8) {
  const SourceRows rows(*this, src);
  if (!rows.ok()) return nullptr;
  const int w = Width(src), h = Height(src);
  for (int y = 0; y < h; ++y) {
    const uint8_t* s = rows.Row(y);
    uint8_t* d = RowAddress(dst8, y);
    for (int x = 0; x < w; ++x) d[x] = static_cast<uint8_t>(Nibble(s, x));
  }
  return dst8;
}

// ---- Dib1 ----------------------------------------------------------------------------------

DibImage* Dib1::ToDib24(const DibImage* src, DibImage* dst) {
  const ColourLookup lut(src);
  const int w = Width(src), h = Height(src);
  for (int y = 0; y < h; ++y) {
    const uint8_t* s = RowAddress(src, y);
    uint8_t* d = RowAddress(dst, y);
    for (int x = 0; x < w; ++x, d += 3) std::memcpy(d, lut.bgr[Bit(s, x)], 3);
  }
  return dst;
}

uint8_t* Dib1::PixelAddress(const DibImage* image, int x, int y) { return RowAddress(image, y) + x / 8; }

void Dib1::MirrorHorizontal(const DibImage* src, DibImage* dst) {
  const int w = Width(src), h = Height(src);
  for (int y = 0; y < h; ++y) {
    const uint8_t* s = RowAddress(src, y);
    uint8_t* d = RowAddress(dst, y);
    for (int x = 0; x < w; ++x) PutBit(d, x, Bit(s, w - 1 - x));
  }
}

void Dib1::FlipVertical(const DibImage* src, DibImage* dst) {
  const int h = Height(src);
  const size_t n = (static_cast<size_t>(Width(src)) + 7) / 8;  // whole bytes, bits in place
  for (int y = 0; y < h; ++y) std::memcpy(RowAddress(dst, y), RowAddress(src, h - 1 - y), n);
}

void Dib1::CopyRect(const DibImage* src, DibImage* dst, const CropRect& rect, int) {
  const CropRect r = ClipRect(src, dst, rect);
  for (int j = 0; j < r.height; ++j) {
    const uint8_t* s = RowAddress(src, r.top + j);
    uint8_t* d = RowAddress(dst, j);
    if ((r.left & 7) == 0) {
      std::memcpy(d, s + r.left / 8, (static_cast<size_t>(r.width) + 7) / 8);
    } else {
      for (int i = 0; i < r.width; ++i) PutBit(d, i, Bit(s, r.left + i));
    }
  }
}

void Dib1::SetIndex(DibImage* image, int x, int y, int index) { PutBit(RowAddress(image, y), x, index & 1); }

DibImage* Dib1::UnpackTo8(const DibImage* src, DibImage* dst8) {
  const int w = Width(src), h = Height(src);
  for (int y = 0; y < h; ++y) {
    const uint8_t* s = RowAddress(src, y);
    uint8_t* d = RowAddress(dst8, y);
    for (int x = 0; x < w; ++x) d[x] = static_cast<uint8_t>(Bit(s, x));
  }
  return dst8;
}
