// The direct-colour pixel formats: 32 bits (blue, green, red, unused) and 16 bits (three fields
// at the positions of the masks, 5-5-5 without masks).
#include <cstring>

#include "image/histogram_builder.h"
#include "image/pixel_ops.h"

namespace {

// Channel byte masks of a 32-bit image as toning and counting use them: blue, green, red.
void ByteMasks32(const DibImage* image, uint8_t out[3]) {
  if (image->info->bmiHeader.biCompression == BI_BITFIELDS) {
    const uint32_t* m = Masks(image);  // red, green, blue
    out[0] = static_cast<uint8_t>(m[2] & 0xFF);
    out[1] = static_cast<uint8_t>((m[1] >> 8) & 0xFF);
    out[2] = static_cast<uint8_t>((m[0] >> 16) & 0xFF);
  } else {
    out[0] = out[1] = out[2] = 0xFF;
  }
}

// A 16-bit field layout: for each channel (blue, green, red) its maximum (mask shifted down)
// and shift, read from the masks.
struct Fields16 {
  uint32_t max[3];
  int shift[3];
  int width[3];
  explicit Fields16(const DibImage* image) {
    const ChannelMasks m = MasksOf(image);
    for (int c = 0; c < 3; ++c) {
      shift[c] = m.shift[c];
      max[c] = m.mask[c] >> m.shift[c];
      width[c] = 0;
      while (width[c] < 32 && (max[c] >> width[c])) ++width[c];
    }
  }
  int Get(uint32_t w, int c) const { return static_cast<int>((w >> shift[c]) & max[c]); }
};

// 8-bit value of a field of the given width: a 5-bit field c gives c * 8 + 7; other widths are
// scaled to the full 0..255 range.
inline int Expand(uint32_t c, int width) {
  if (width == 5) return static_cast<int>((c * 8 + 7) & 0xFF);
  if (width == 0) return 0;
  if (width >= 8) return static_cast<int>((c >> (width - 8)) & 0xFF);
  const uint32_t max = (1u << width) - 1;
  return static_cast<int>((c * 255 + max / 2) / max);
}

// A 0..255 value stored in a field of the given maximum, rounded.
inline uint32_t Narrow(int v, uint32_t max) { return (static_cast<uint32_t>(v) * max + 127) / 255; }

inline uint16_t Load16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline void Store16(uint8_t* p, uint32_t w) {
  p[0] = static_cast<uint8_t>(w);
  p[1] = static_cast<uint8_t>(w >> 8);
}

}  // namespace

// ---- Dib32 ---------------------------------------------------------------------------------

DibImage* Dib32::ToDib24(const DibImage* src, DibImage* dst) {
  uint8_t m[3];
  ByteMasks32(src, m);
  const int w = Width(src), h = Height(src);
  for (int y = 0; y < h; ++y) {
    const uint8_t* s = RowAddress(src, y);
    uint8_t* d = RowAddress(dst, y);
    for (int x = 0; x < w; ++x, s += 4, d += 3) {
      d[0] = s[0] & m[0];
      d[1] = s[1] & m[1];
      d[2] = s[2] & m[2];
    }
  }
  return dst;
}

uint8_t* Dib32::PixelAddress(const DibImage* image, int x, int y) {
  return RowAddress(image, y) + 4 * static_cast<size_t>(x);
}

void Dib32::MirrorHorizontal(const DibImage* src, DibImage* dst) {
  const int w = Width(src), h = Height(src);
  for (int y = 0; y < h; ++y) {
    const uint8_t* s = RowAddress(src, y) + 4 * static_cast<size_t>(w - 1);
    uint8_t* d = RowAddress(dst, y);
    for (int x = 0; x < w; ++x, s -= 4, d += 4) std::memcpy(d, s, 4);
  }
}

void Dib32::FlipVertical(const DibImage* src, DibImage* dst) {
  const int h = Height(src);
  const size_t n = 4 * static_cast<size_t>(Width(src));
  for (int y = 0; y < h; ++y) std::memcpy(RowAddress(dst, y), RowAddress(src, h - 1 - y), n);
}

void Dib32::GrayOrSepia(DibImage* image, int command) {
  if (command != kCmdGray && command != kCmdSepia) return;
  uint8_t m[3];
  ByteMasks32(image, m);
  const bool sepia = command == kCmdSepia;
  const int w = Width(image), h = Height(image);
  for (int y = 0; y < h; ++y) {
    uint8_t* p = RowAddress(image, y);
    for (int x = 0; x < w; ++x, p += 4) {
      const int g = GreyLuma(p[0], p[1], p[2]);
      p[0] = static_cast<uint8_t>((sepia ? static_cast<int>(0.6 * g) : g) & m[0]);
      p[1] = static_cast<uint8_t>((sepia ? static_cast<int>(0.8 * g) : g) & m[1]);
      p[2] = static_cast<uint8_t>(g & m[2]);
      p[3] = 0;
    }
  }
}

void Dib32::Negative(DibImage* image) {
  uint32_t top[3] = {0xFF, 0xFF, 0xFF};  // blue, green, red
  if (image->info->bmiHeader.biCompression == BI_BITFIELDS) {
    const uint32_t* m = Masks(image);
    top[0] = m[2];
    top[1] = m[1] >> 8;
    top[2] = m[0] >> 16;
  }
  const int w = Width(image), h = Height(image);
  for (int y = 0; y < h; ++y) {
    uint8_t* p = RowAddress(image, y);
    for (int x = 0; x < w; ++x, p += 4) {
      p[0] = static_cast<uint8_t>(top[0] - p[0]);
      p[1] = static_cast<uint8_t>(top[1] - p[1]);
      p[2] = static_cast<uint8_t>(top[2] - p[2]);
    }
  }
}

std::unique_ptr<HistogramRecord> Dib32::MakeHistogram(const DibImage* image) {
  uint8_t m[3];
  ByteMasks32(image, m);
  HistogramBuilder hist;
  const int w = Width(image), h = Height(image);
  for (int y = 0; y < h; ++y) hist.AddRow(RowAddress(image, y), w, 4, m);
  return hist.Finish();
}

void Dib32::CopyRect(const DibImage* src, DibImage* dst, const CropRect& rect, int) {
  const CropRect r = ClipRect(src, dst, rect);
  for (int j = 0; j < r.height; ++j)
    std::memcpy(RowAddress(dst, j), PixelAddress(src, r.left, r.top + j), 4 * static_cast<size_t>(r.width));
}

// ---- Dib16 ---------------------------------------------------------------------------------

DibImage* Dib16::ToDib24(const DibImage* src, DibImage* dst) {
  const Fields16 f(src);
  const int w = Width(src), h = Height(src);
  for (int y = 0; y < h; ++y) {
    const uint8_t* s = RowAddress(src, y);
    uint8_t* d = RowAddress(dst, y);
    for (int x = 0; x < w; ++x, s += 2, d += 3) {
      const uint32_t word = Load16(s);
      d[0] = static_cast<uint8_t>(Expand(static_cast<uint32_t>(f.Get(word, 0)), f.width[0]));
      d[1] = static_cast<uint8_t>(Expand(static_cast<uint32_t>(f.Get(word, 1)), f.width[1]));
      d[2] = static_cast<uint8_t>(Expand(static_cast<uint32_t>(f.Get(word, 2)), f.width[2]));
    }
  }
  return dst;
}

uint8_t* Dib16::PixelAddress(const DibImage* image, int x, int y) {
  return RowAddress(image, y) + 2 * static_cast<size_t>(x);
}

void Dib16::MirrorHorizontal(const DibImage* src, DibImage* dst) {
  const int w = Width(src), h = Height(src);
  for (int y = 0; y < h; ++y) {
    const uint8_t* s = RowAddress(src, y) + 2 * static_cast<size_t>(w - 1);
    uint8_t* d = RowAddress(dst, y);
    for (int x = 0; x < w; ++x, s -= 2, d += 2) {
      d[0] = s[0];
      d[1] = s[1];
    }
  }
}

void Dib16::FlipVertical(const DibImage* src, DibImage* dst) {
  const int h = Height(src);
  const size_t n = 2 * static_cast<size_t>(Width(src));
  for (int y = 0; y < h; ++y) std::memcpy(RowAddress(dst, y), RowAddress(src, h - 1 - y), n);
}

void Dib16::GrayOrSepia(DibImage* image, int command) {
  if (command != kCmdGray && command != kCmdSepia) return;
  const Fields16 f(image);
  const bool sepia = command == kCmdSepia;
  // Fields of one width are toned in their own range; mixed widths (5-6-5) through 0..255.
  const bool same = f.width[0] == f.width[1] && f.width[1] == f.width[2];
  const int w = Width(image), h = Height(image);
  for (int y = 0; y < h; ++y) {
    uint8_t* p = RowAddress(image, y);
    for (int x = 0; x < w; ++x, p += 2) {
      const uint32_t word = Load16(p);
      uint32_t out[3];
      if (same) {
        const uint32_t m = f.max[0];
        const int g = GreyLuma(f.Get(word, 0), f.Get(word, 1), f.Get(word, 2));
        out[0] = static_cast<uint32_t>(sepia ? static_cast<int>(0.6 * g) : g) & m;
        out[1] = static_cast<uint32_t>(sepia ? static_cast<int>(0.8 * g) : g) & m;
        out[2] = static_cast<uint32_t>(g) & m;
      } else {
        int c8[3];
        for (int c = 0; c < 3; ++c) c8[c] = f.max[c] ? static_cast<int>(f.Get(word, c) * 255u / f.max[c]) : 0;
        const int g = GreyLuma(c8[0], c8[1], c8[2]);
        out[0] = Narrow(sepia ? static_cast<int>(0.6 * g) : g, f.max[0]);
        out[1] = Narrow(sepia ? static_cast<int>(0.8 * g) : g, f.max[1]);
        out[2] = Narrow(g, f.max[2]);
      }
      Store16(p, (out[0] << f.shift[0]) | (out[1] << f.shift[1]) | (out[2] << f.shift[2]));
    }
  }
}

void Dib16::Negative(DibImage* image) {
  const Fields16 f(image);
  const int w = Width(image), h = Height(image);
  for (int y = 0; y < h; ++y) {
    uint8_t* p = RowAddress(image, y);
    for (int x = 0; x < w; ++x, p += 2) {
      const uint32_t word = Load16(p);
      uint32_t out = 0;
      for (int c = 0; c < 3; ++c)
        out |= ((f.max[c] - static_cast<uint32_t>(f.Get(word, c))) & 0xFF) << f.shift[c];
      Store16(p, out);
    }
  }
}

std::unique_ptr<HistogramRecord> Dib16::MakeHistogram(const DibImage* image) {
  const Fields16 f(image);
  HistogramBuilder hist;
  const int w = Width(image), h = Height(image);
  for (int y = 0; y < h; ++y) {
    const uint8_t* p = RowAddress(image, y);
    for (int x = 0; x < w; ++x, p += 2) {
      const uint32_t word = Load16(p);
      hist.Add(f.Get(word, 0) & 0xFF, f.Get(word, 1) & 0xFF, f.Get(word, 2) & 0xFF);
    }
  }
  return hist.Finish();
}

void Dib16::CopyRect(const DibImage* src, DibImage* dst, const CropRect& rect, int) {
  const CropRect r = ClipRect(src, dst, rect);
  for (int j = 0; j < r.height; ++j)
    std::memcpy(RowAddress(dst, j), PixelAddress(src, r.left, r.top + j), 2 * static_cast<size_t>(r.width));
}
