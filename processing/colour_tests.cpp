// Whether an image is grey, or two-level: the save flow asks before converting other images.
#include "processing/filter.h"

namespace {

// Calls test(b, g, r) for every colour of the image (table entries in use, or every pixel);
// stops and returns false at the first colour it rejects.
template <class Test>
bool EveryColour(const DibImage* image, Test test) {
  const int bpp = BitCount(image);
  if (bpp <= 8) {
    const RGBQUAD* pal = Palette(image);
    for (int i = 0; i < image->colours; ++i)
      if (!test(pal[i].rgbBlue, pal[i].rgbGreen, pal[i].rgbRed)) return false;
    return true;
  }
  const int w = Width(image), h = Height(image);
  if (bpp == 16) {
    const ChannelMasks m = MasksOf(image);
    uint32_t max[3];
    for (int c = 0; c < 3; ++c) max[c] = m.mask[c] >> m.shift[c];
    for (int y = 0; y < h; ++y) {
      const uint8_t* p = RowAddress(image, y);
      for (int x = 0; x < w; ++x, p += 2) {
        const uint32_t word = static_cast<uint32_t>(p[0] | (p[1] << 8));
        if (!test(static_cast<int>(word & m.mask[0]), static_cast<int>((word >> m.shift[1]) & max[1]),
                  static_cast<int>((word >> m.shift[2]) & max[2])))
          return false;
      }
    }
    return true;
  }
  const int step = bpp / 8;
  for (int y = 0; y < h; ++y) {
    const uint8_t* p = RowAddress(image, y);
    for (int x = 0; x < w; ++x, p += step)
      if (!test(p[0], p[1], p[2])) return false;
  }
  return true;
}

inline bool Extreme(int v) { return v == 0 || v == 255; }
inline bool Between(int v) { return v > 0 && v < 255; }

}  // namespace

bool Filter::IsGrayImage(const DibImage* image) {
  return EveryColour(image, [](int b, int g, int r) { return b == g && g == r; });
}

bool Filter::IsTwoLevelImage(const DibImage* image) {
  if (BitCount(image) == 16)
    return EveryColour(image, [](int b, int g, int r) { return !(Between(b) && Between(g) && Between(r)); });
  return EveryColour(image, [](int b, int g, int r) { return Extreme(b) && Extreme(g) && Extreme(r); });
}
