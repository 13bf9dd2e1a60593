// Building blocks of the operations that read the current image as 24 bits and write their result
// in one pass: a 24-bit picture is read where it is instead of being copied first, and other
// depths are converted in bands of rows small enough to stay in cache while they are changed.
#pragma once
#include <cstdint>
#include <cstring>
#include <vector>

#include "document/mdib_ctrl.h"

// A new 24-bit image with the header, name and format details a true-colour copy of model would
// have (same size, no colour table, uncompressed); its pixel block is allocated but not written.
// Null on failure.
DibImage* NewTrueColorLike(const MDIBCtrl& doc, const DibImage* model);

// A 24-bit picture of an image to read from: the image itself when it has 24 bits, otherwise a
// converted copy that this object owns.
class TrueColorSource {
 public:
  bool Make(const MDIBCtrl& doc, const DibImage* image);
  const DibImage* get() const { return image_; }

 private:
  ImagePtr copy_;
  const DibImage* image_ = nullptr;
};

// The rows of an image seen as an image of their own: the same header, colour table and masks,
// a smaller height, the bits pointing into the image's block. A per-depth operation run on a
// band changes exactly those rows.
class RowBand {
 public:
  explicit RowBand(const DibImage* image);
  RowBand(const RowBand&) = delete;
  RowBand& operator=(const RowBand&) = delete;
  // Rows [top, top + rows) counted from the top.
  DibImage* Rows(int top, int rows);
  // The view's own copy of all 256 entries of the colour table, for a caller that changes it
  // (the image's table stays as it is). Entries past the image's colour count are black, as the
  // conversions read them; the view now counts all 256.
  RGBQUAD* AllColours() {
    view_.colours = 256;
    return info_.colours;
  }
  DibImage* Whole() { return Rows(0, Height(image_)); }

 private:
  struct Info {
    BITMAPINFOHEADER header;
    RGBQUAD colours[256];
  } info_;
  DibImage view_;
  const DibImage* image_;
};

// Rows per band for rows of the given stride: about 128 KB, at least one.
int BandRows(uint32_t stride);

// Calls row(source row, destination row) for every row of two images of the same size, rows
// from the top. When they are different blocks, the padding bytes of each destination row past
// `used` bytes are copied from the source row, as a whole-block copy would have left them.
template <class RowFn>
void ForEachRowPair(const DibImage* src, DibImage* dst, size_t used, RowFn row) {
  const int h = Height(src);
  const size_t stride = src->stride < dst->stride ? src->stride : dst->stride;
  const size_t pad = stride > used ? stride - used : 0;
  for (int y = 0; y < h; ++y) {
    const uint8_t* s = RowAddress(src, y);
    uint8_t* d = RowAddress(dst, y);
    row(s, d);
    if (pad && s != d)
      for (size_t i = 0; i < pad; ++i) d[used + i] = s[used + i];
  }
}

// A per-byte table applied two bytes at a time: one look-up in a table of the 65536 byte pairs
// gives both results.
class ByteMap {
 public:
  explicit ByteMap(const uint8_t table[256]) : pairs_(65536) {
    std::memcpy(table_, table, sizeof table_);
    for (int a = 0; a < 256; ++a)
      for (int b = 0; b < 256; ++b) {
        const uint8_t in[2] = {static_cast<uint8_t>(a), static_cast<uint8_t>(b)}, out[2] = {table[a], table[b]};
        uint16_t key, value;
        std::memcpy(&key, in, 2);
        std::memcpy(&value, out, 2);
        pairs_[key] = value;
      }
  }
  // d[i] = table[s[i]] for n bytes; s may be d.
  void Map(const uint8_t* s, uint8_t* d, size_t n) const {
    const uint16_t* pairs = pairs_.data();
    size_t i = 0;
    for (; i + 16 <= n; i += 16) {
      uint16_t k[8];
      std::memcpy(k, s + i, 16);
      const uint16_t out[8] = {pairs[k[0]], pairs[k[1]], pairs[k[2]], pairs[k[3]],
                               pairs[k[4]], pairs[k[5]], pairs[k[6]], pairs[k[7]]};
      std::memcpy(d + i, out, 16);
    }
    for (; i < n; ++i) d[i] = table_[s[i]];
  }

 private:
  uint8_t table_[256];
  std::vector<uint16_t> pairs_;
};
