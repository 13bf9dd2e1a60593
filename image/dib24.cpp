// The 24-bit pixel format, root of the pixel-format family, and the factory.
#include <algorithm>
#include <cstring>

#include "base/messages.h"
#include "image/histogram_builder.h"
#include "image/pixel_ops.h"

namespace {
// Copies rows of n bytes each from src rows [top, top + rows) at byte offset, to dst rows 0...
void CopyRows(const DibImage* src, DibImage* dst, int top, int rows, size_t offset, size_t n) {
  for (int j = 0; j < rows; ++j) std::memcpy(RowAddress(dst, j), RowAddress(src, top + j) + offset, n);
}
}  // namespace

CropRect ClipRect(const DibImage* src, const DibImage* dst, const CropRect& rect) {
  CropRect r = rect;
  if (r.left < 0) r.left = 0;
  if (r.top < 0) r.top = 0;
  r.width = std::min({r.width, Width(src) - r.left, Width(dst)});
  r.height = std::min({r.height, Height(src) - r.top, Height(dst)});
  if (r.width < 0) r.width = 0;
  if (r.height < 0) r.height = 0;
  return r;
}

Dib24::~Dib24() = default;

DibImage* Dib24::ToDib24(const DibImage* src, DibImage* dst) {
  std::memcpy(dst->bits, src->bits, std::min(ImageBytes(src), ImageBytes(dst)));
  return dst;
}

uint8_t* Dib24::PixelAddress(const DibImage* image, int x, int y) {
  return RowAddress(image, y) + 3 * static_cast<size_t>(x);
}

void Dib24::MirrorHorizontal(const DibImage* src, DibImage* dst) {
  const int w = Width(src), h = Height(src);
  for (int y = 0; y < h; ++y) {
    const uint8_t* s = RowAddress(src, y) + 3 * static_cast<size_t>(w - 1);
    uint8_t* d = RowAddress(dst, y);
    for (int x = 0; x < w; ++x, s -= 3, d += 3) {
      d[0] = s[0];
      d[1] = s[1];
      d[2] = s[2];
    }
  }
}

void Dib24::FlipVertical(const DibImage* src, DibImage* dst) {
  const int h = Height(src);
  const size_t n = 3 * static_cast<size_t>(Width(src));
  for (int y = 0; y < h; ++y) std::memcpy(RowAddress(dst, y), RowAddress(src, h - 1 - y), n);
}

void Dib24::GrayOrSepia(DibImage* image, int command) {
  if (command != kCmdGray && command != kCmdSepia) return;
  const int w = Width(image), h = Height(image);
  // Sepia is a per-grey-value table; grey is the identity of the same table.
  uint8_t blue[256], green[256];
  for (int g = 0; g < 256; ++g) {
    blue[g] = static_cast<uint8_t>(command == kCmdSepia ? static_cast<int>(0.6 * g) : g);
    green[g] = static_cast<uint8_t>(command == kCmdSepia ? static_cast<int>(0.8 * g) : g);
  }
  for (int y = 0; y < h; ++y) {
    uint8_t* p = RowAddress(image, y);
    for (int x = 0; x < w; ++x, p += 3) {
      const int g = GreyLuma(p[0], p[1], p[2]);
      p[0] = blue[g];
      p[1] = green[g];
      p[2] = static_cast<uint8_t>(g);
    }
  }
}

void Dib24::Negative(DibImage* image) {
  const int h = Height(image);
  const size_t n = 3 * static_cast<size_t>(Width(image));
  for (int y = 0; y < h; ++y) {
    uint8_t* p = RowAddress(image, y);
    for (size_t i = 0; i < n; ++i) p[i] = static_cast<uint8_t>(255 - p[i]);
  }
}

std::unique_ptr<HistogramRecord> Dib24::MakeHistogram(const DibImage* image) {
  HistogramBuilder hist;
  const int w = Width(image), h = Height(image);
  const uint8_t all[3] = {0xFF, 0xFF, 0xFF};
  for (int y = 0; y < h; ++y) hist.AddRow(RowAddress(image, y), w, 3, all);
  return hist.Finish();
}

void Dib24::CopyRect(const DibImage* src, DibImage* dst, const CropRect& rect, int) {
  const CropRect r = ClipRect(src, dst, rect);
  CopyRows(src, dst, r.top, r.height, 3 * static_cast<size_t>(r.left), 3 * static_cast<size_t>(r.width));
}

void Dib24::SetIndex(DibImage*, int, int, int) {}

std::unique_ptr<Dib24> CreatePixelOpsForBits(int bit_count) {
  switch (bit_count) {
    case 1: return std::unique_ptr<Dib24>(CreateObject<Dib1>());
    case 4: return std::unique_ptr<Dib24>(CreateObject<Dib4>());
    case 8: return std::unique_ptr<Dib24>(CreateObject<Dib8>());
    case 16: return std::unique_ptr<Dib24>(CreateObject<Dib16>());
    case 24: return std::unique_ptr<Dib24>(CreateObject<Dib24>());
    case 32: return std::unique_ptr<Dib24>(CreateObject<Dib32>());
    default: return nullptr;
  }
}

ChannelMasks MasksOf(const DibImage* image) {
  ChannelMasks m{};
  const BITMAPINFOHEADER& h = image->info->bmiHeader;
  if (h.biCompression == BI_BITFIELDS) {
    const uint32_t* hm = Masks(image);  // red, green, blue
    m.mask[0] = hm[2];
    m.mask[1] = hm[1];
    m.mask[2] = hm[0];
  } else if (h.biBitCount == 16) {
    m.mask[0] = 0x001F;
    m.mask[1] = 0x03E0;
    m.mask[2] = 0x7C00;
  } else {
    m.mask[0] = 0x000000FF;
    m.mask[1] = 0x0000FF00;
    m.mask[2] = 0x00FF0000;
  }
  for (int c = 0; c < 3; ++c) {
    int s = 0;
    if (m.mask[c]) while (!((m.mask[c] >> s) & 1u)) ++s;
    m.shift[c] = s;
  }
  return m;
}
