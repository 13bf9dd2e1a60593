// Windows run-length bitmaps: decoding of BI_RLE8 and BI_RLE4 streams and the re-encoding that
// keeps a run-length image compressed after a geometric operation.
#include <cstring>
#include <vector>

#include "image/pixel_ops.h"
#include "image/rle_decode.h"

namespace {

// Decodes the image's own stream (its height * stride buffer) into a new zero-filled block.
BitsPtr Decode(const DibImage* image, int bpp) {
  const size_t total = ImageBytes(image);
  BitsPtr out(AllocateBits(total));
  if (!out) return nullptr;
  RleMemorySource source{image->bits, total};
  if (!DecodeRleStream(source, RleLayout{Width(image), Height(image), image->stride, bpp}, out.get())) return nullptr;
  return out;
}

}  // namespace

BitsPtr Dib8::DecodeRle(const DibImage* image) { return Decode(image, 8); }

BitsPtr Dib4::DecodeRle(const DibImage* image) { return Decode(image, 4); }

void EncodeRle(DibImage* image) {
  const int bpp = BitCount(image);
  if (bpp != 8 && bpp != 4) return;
  image->info->bmiHeader.biCompression = BI_RGB;
  const int height = Height(image);
  const size_t row_bytes = bpp == 8 ? static_cast<size_t>(Width(image)) : (static_cast<size_t>(Width(image)) + 1) / 2;
  const size_t max_run = bpp == 8 ? 255 : 127;  // bytes per run or absolute stretch
  const int px_per_byte = 8 / bpp;
  const size_t limit = ImageBytes(image);

  std::vector<uint8_t> out;
  out.reserve(limit);
  for (int y = 0; y < height; ++y) {
    const uint8_t* row = image->bits + static_cast<size_t>(y) * image->stride;
    size_t i = 0;
    while (i < row_bytes) {
      if (i + 1 < row_bytes && row[i] == row[i + 1]) {  // run of equal bytes
        size_t n = 2;
        while (i + n < row_bytes && n < max_run && row[i + n] == row[i]) ++n;
        out.push_back(static_cast<uint8_t>(n * px_per_byte));
        out.push_back(row[i]);
        i += n;
        continue;
      }
      // Stretch of bytes up to the next pair of equal bytes.
      size_t n = 1;
      while (i + n < row_bytes && !(i + n + 1 < row_bytes && row[i + n] == row[i + n + 1])) ++n;
      while (n > 0) {
        const size_t chunk = n < max_run ? n : max_run;
        if (chunk < 3) {
          for (size_t k = 0; k < chunk; ++k) {
            out.push_back(static_cast<uint8_t>(px_per_byte));
            out.push_back(row[i + k]);
          }
        } else {
          out.push_back(0);
          out.push_back(static_cast<uint8_t>(chunk * px_per_byte));
          out.insert(out.end(), row + i, row + i + chunk);
          if (chunk & 1) out.push_back(0);
        }
        i += chunk;
        n -= chunk;
      }
    }
    out.push_back(0);
    out.push_back(0);
    if (out.size() > limit) return;  // would not fit: stays uncompressed
  }
  out.push_back(0);
  out.push_back(1);
  if (out.size() > limit) return;
  std::memset(image->bits, 0, limit);
  std::memcpy(image->bits, out.data(), out.size());
  image->info->bmiHeader.biCompression = bpp == 8 ? BI_RLE8 : BI_RLE4;
}
