// Neighbourhood filters: blurs, sharpening, emboss, edge detection, contour emphasis, mosaic,
// median, edge-preserving smoothing and soft focus. Each works on the 24-bit form of the current
// image and writes a new 24-bit image of its size. Here: the operations, the contour, mosaic and
// soft-focus engines; the fixed kernels are in convolution.cpp, the median and edge-preserving
// mean in smoothing.cpp, the zero crossings in zero_crossing.cpp.
#include <cmath>

#include "processing/filter.h"
#include "processing/window_filters.h"

namespace {

// A 24-bit image without colour table or compression is its own 24-bit copy: the filters read
// it in place instead of copying it first.
bool IsPlainTrueColour(const DibImage* image) {
  const BITMAPINFOHEADER& h = image->info->bmiHeader;
  return h.biBitCount == 24 && h.biCompression == BI_RGB && h.biClrUsed == 0 && image->colours == 0 &&
         h.biHeight > 0 && h.biWidth > 0;
}

// Runs engine(source, destination) on the 24-bit form of the current image and returns the new
// image; null when no image is open or an image cannot be made (the pending slot then back at
// the current image).
template <class Engine>
DibImage* RunOnTrueColour(Filter& doc, Engine&& engine) {
  if (doc.image_count_ == 0 || !doc.current_) return nullptr;
  ImagePtr copy;
  const DibImage* source = doc.current_;
  if (!IsPlainTrueColour(source)) {
    copy.reset(doc.MakeTrueColorCopy(source));
    if (!copy) return nullptr;
    source = copy.get();
  }
  ImagePtr result(doc.CloneImage(source, false));
  if (!result) {
    doc.pending_ = doc.current_;
    return nullptr;
  }
  BITMAPINFOHEADER& h = result->info->bmiHeader;
  h.biSizeImage = static_cast<DWORD>(ImageBytes(result.get()));
  engine(source, result.get());
  return result.release();
}

// Luma rows of the source with one mirrored value either side, each worked out once: row y is
// kept in slot y % 3, which is enough for windows of three rows walked from the top.
class LumaRows {
 public:
  explicit LumaRows(const DibImage* src) : src_(src), width_(Width(src)) {
    for (int k = 0; k < 3; ++k) {
      rows_[k] = RowBuffer<int16_t>(static_cast<size_t>(width_) + 2);
      tags_[k] = -1;
    }
  }
  const int16_t* Row(int y) {
    const int slot = y % 3;
    int16_t* l = rows_[slot].get() + 1;
    if (tags_[slot] != y) {
      const uint8_t* p = RowAddress(src_, y);
      for (int x = 0; x < width_; ++x, p += 3) l[x] = static_cast<int16_t>(EdgeLuma(p[0], p[1], p[2]));
      l[-1] = l[MirrorIndex(-1, width_, 1)];
      l[width_] = l[MirrorIndex(width_, width_, 1)];
      tags_[slot] = y;
    }
    return l;
  }

 private:
  const DibImage* src_;
  int width_;
  std::unique_ptr<int16_t[]> rows_[3];
  int tags_[3];
};

// floor(sqrt(n)) for an integer n >= 0 below 2^52 (the double root of such an n never rounds up
// to the next integer).
int IntegerRoot(int64_t n) { return static_cast<int>(std::sqrt(static_cast<double>(n))); }

}  // namespace

void ContourRows(const DibImage* src, DibImage* dst, uint32_t line_colour) {
  const int w = Width(src), h = Height(src);
  const int line[3] = {static_cast<int>((line_colour >> 16) & 0xFF), static_cast<int>((line_colour >> 8) & 0xFF),
                       static_cast<int>(line_colour & 0xFF)};
  LumaRows luma(src);
  for (int y = 0; y < h; ++y) {
    const int16_t* up = luma.Row(MirrorIndex(y - 1, h, 1));
    const int16_t* down = luma.Row(MirrorIndex(y + 1, h, 1));
    const int16_t* mid = luma.Row(y);
    const uint8_t* s = RowAddress(src, y);
    uint8_t* d = RowAddress(dst, y);
    for (int x = 0; x < w; ++x, s += 3, d += 3) {
      // Kx = 1 0 -1 / 2 0 -2 / 1 0 -1, Ky = 1 2 1 / 0 0 0 / -1 -2 -1.
      const int left = up[x - 1] + 2 * mid[x - 1] + down[x - 1];
      const int right = up[x + 1] + 2 * mid[x + 1] + down[x + 1];
      const int above = up[x - 1] + 2 * up[x] + up[x + 1];
      const int below = down[x - 1] + 2 * down[x] + down[x + 1];
      const int gx = left - right, gy = above - below;
      const int64_t squared = static_cast<int64_t>(gx) * gx + static_cast<int64_t>(gy) * gy;
      const int m = squared >= 1000000 ? 1000 : IntegerRoot(squared);
      for (int c = 0; c < 3; ++c) d[c] = static_cast<uint8_t>((line[c] * m + s[c] * (1000 - m)) / 1000);
    }
  }
}

void MosaicBlocks(const DibImage* src, DibImage* dst, int block) {
  const int w = Width(src), h = Height(src);
  // Positions past the end reflect about it (2n - i - 1), held inside an image smaller than
  // half a tile.
  auto reflect = [](int i, int n) {
    if (i < n) return i;
    i = 2 * n - i - 1;
    return i < 0 ? 0 : i;
  };
  const size_t n = 3 * static_cast<size_t>(w);
  std::unique_ptr<uint32_t[]> column = RowBuffer<uint32_t>(n);
  const uint32_t area = static_cast<uint32_t>(block) * static_cast<uint32_t>(block);
  for (int top = 0; top < h; top += block) {
    for (size_t j = 0; j < n; ++j) column[j] = 0;
    for (int i = top; i < top + block; ++i) {
      const uint8_t* p = RowAddress(src, reflect(i, h));
      for (size_t j = 0; j < n; ++j) column[j] += p[j];
    }
    const int bottom = top + block < h ? top + block : h;
    for (int left = 0; left < w; left += block) {
      uint32_t sum[3] = {0, 0, 0};
      for (int i = left; i < left + block; ++i) {
        const uint32_t* c = &column[3 * static_cast<size_t>(reflect(i, w))];
        sum[0] += c[0], sum[1] += c[1], sum[2] += c[2];
      }
      const uint8_t mean[3] = {static_cast<uint8_t>(sum[0] / area), static_cast<uint8_t>(sum[1] / area),
                               static_cast<uint8_t>(sum[2] / area)};
      const int right = left + block < w ? left + block : w;
      for (int y = top; y < bottom; ++y) {
        uint8_t* d = RowAddress(dst, y) + 3 * static_cast<size_t>(left);
        for (int x = left; x < right; ++x, d += 3) d[0] = mean[0], d[1] = mean[1], d[2] = mean[2];
      }
    }
  }
}

void SoftFocusRows(const DibImage* src, DibImage* dst) {
  constexpr int kReach = 8;  // the 17 x 17 window
  const int w = Width(src), h = Height(src);
  // Column sums over the window's rows of the values of pixels with luma above 30, with
  // kReach + 1 zero columns on the left and kReach on the right so that the running sum along
  // the row needs no edge test.
  const size_t padded = 3 * (static_cast<size_t>(w) + 2 * kReach + 1);
  std::unique_ptr<uint32_t[]> column_block = RowBuffer<uint32_t>(padded);
  for (size_t j = 0; j < padded; ++j) column_block[j] = 0;
  uint32_t* column = column_block.get() + 3 * (kReach + 1);
  auto add_row = [&](int y, int sign) {
    const uint8_t* p = RowAddress(src, y);
    for (int x = 0; x < w; ++x, p += 3) {
      if (EdgeLuma(p[0], p[1], p[2]) <= 30) continue;
      uint32_t* c = column + 3 * static_cast<size_t>(x);
      c[0] += static_cast<uint32_t>(sign * p[0]);
      c[1] += static_cast<uint32_t>(sign * p[1]);
      c[2] += static_cast<uint32_t>(sign * p[2]);
    }
  };
  // The mix of the window mean a with the source value s, for every pair: a is scaled by
  // 255 / (3 s + 255), then out = (255 - a) s / 255 + a.
  std::unique_ptr<uint8_t[]> mix = RowBuffer<uint8_t>(256 * 256);
  for (int s = 0; s < 256; ++s)
    for (int a = 0; a < 256; ++a) {
      const int scaled = a * 255 / (3 * s + 255);
      mix[static_cast<size_t>(s) * 256 + static_cast<size_t>(a)] =
          static_cast<uint8_t>((255 - scaled) * s / 255 + scaled);
    }
  for (int y = 0; y < kReach && y < h; ++y) add_row(y, 1);
  for (int y = 0; y < h; ++y) {
    if (y + kReach < h) add_row(y + kReach, 1);
    if (y - kReach - 1 >= 0) add_row(y - kReach - 1, -1);
    uint32_t sum[3] = {0, 0, 0};
    for (int x = -kReach - 1; x < kReach; ++x)
      for (int c = 0; c < 3; ++c) sum[c] += column[3 * x + c];
    const uint8_t* s = RowAddress(src, y);
    uint8_t* d = RowAddress(dst, y);
    const uint32_t* enter = column + 3 * kReach;
    const uint32_t* leave = column - 3 * (kReach + 1);
    for (int x = 0; x < w; ++x, s += 3, d += 3, enter += 3, leave += 3) {
      for (int c = 0; c < 3; ++c) {
        sum[c] += enter[c] - leave[c];
        d[c] = mix[static_cast<size_t>(s[c]) * 256 + sum[c] / 289];
      }
    }
  }
}

bool Filter::Blur(int command) {
  if (command < 134 || command > 140) return false;
  return SetResult(RunOnTrueColour(*this, [command](const DibImage* s, DibImage* d) {
    ConvolveCommandKernel(command, s, d);
  }));
}

bool Filter::Sharpen(int command) {
  if (command != 141 && command != 142) return false;
  return SetResult(RunOnTrueColour(*this, [command](const DibImage* s, DibImage* d) {
    ConvolveCommandKernel(command, s, d);
  }));
}

bool Filter::Emboss(int command) {
  if (command != 143 && command != 144) return false;
  return SetResult(RunOnTrueColour(*this, [command](const DibImage* s, DibImage* d) {
    ConvolveCommandKernel(command, s, d);
  }));
}

bool Filter::DetectEdges(int command) {
  if (command < 145 || command > 147) return false;
  return SetResult(RunOnTrueColour(*this, [command](const DibImage* s, DibImage* d) {
    if (command == 147) {
      ZeroCrossingRows(s, d);
    } else {
      ConvolveCommandKernel(command, s, d);
    }
  }));
}

bool Filter::EmphasizeContour(int line_colour) {
  return SetResult(RunOnTrueColour(*this, [line_colour](const DibImage* s, DibImage* d) {
    ContourRows(s, d, static_cast<uint32_t>(line_colour));
  }));
}

bool Filter::Mosaic(int command) {
  const int block = command == 149 ? 5 : command == 120 ? 10 : command == 150 ? 20 : 0;
  if (block == 0) return false;
  return SetResult(RunOnTrueColour(*this, [block](const DibImage* s, DibImage* d) { MosaicBlocks(s, d, block); }));
}

bool Filter::MedianFilter() { return SetResult(RunOnTrueColour(*this, MedianRows)); }

bool Filter::EdgePreservingSmooth() { return SetResult(RunOnTrueColour(*this, EdgePreservingRows)); }

bool Filter::SoftFocus() { return SetResult(RunOnTrueColour(*this, SoftFocusRows)); }
