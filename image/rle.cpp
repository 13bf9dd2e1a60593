// Windows run-length bitmaps: decoding of BI_RLE8 and BI_RLE4 streams and the re-encoding that
// keeps a run-length image compressed after a geometric operation.
#include <cstring>

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

  // The stream goes into a block of the bitmap's own size; the moment it would not fit, the
  // image stays uncompressed (and without the block, when there is no memory for it).
  BitsPtr block(static_cast<uint8_t*>(std::malloc(limit ? limit : 1)));
  if (!block) return;
  uint8_t* const out = block.get();
  size_t n_out = 0;
  auto room = [&](size_t bytes) { return n_out + bytes <= limit; };
  for (int y = 0; y < height; ++y) {
    const uint8_t* row = image->bits + static_cast<size_t>(y) * image->stride;
    size_t i = 0;
    while (i < row_bytes) {
      if (i + 1 < row_bytes && row[i] == row[i + 1]) {  // run of equal bytes
        size_t n = 2;
        while (i + n < row_bytes && n < max_run && row[i + n] == row[i]) ++n;
        if (!room(2)) return;
        out[n_out++] = static_cast<uint8_t>(n * px_per_byte);
        out[n_out++] = row[i];
        i += n;
        continue;
      }
      // Stretch of bytes up to the next pair of equal bytes.
      size_t n = 1;
      while (i + n < row_bytes && !(i + n + 1 < row_bytes && row[i + n] == row[i + n + 1])) ++n;
      while (n > 0) {
        const size_t chunk = n < max_run ? n : max_run;
        if (chunk < 3) {
          if (!room(2 * chunk)) return;
          for (size_t k = 0; k < chunk; ++k) {
            out[n_out++] = static_cast<uint8_t>(px_per_byte);
            out[n_out++] = row[i + k];
          }
        } else {
          if (!room(2 + chunk + (chunk & 1))) return;
          out[n_out++] = 0;
          out[n_out++] = static_cast<uint8_t>(chunk * px_per_byte);
          std::memcpy(out + n_out, row + i, chunk);
          n_out += chunk;
          if (chunk & 1) out[n_out++] = 0;
        }
        i += chunk;
        n -= chunk;
      }
    }
    if (!room(2)) return;
    out[n_out++] = 0;
    out[n_out++] = 0;
  }
  if (!room(2)) return;
  out[n_out++] = 0;
  out[n_out++] = 1;
  std::memcpy(image->bits, out, n_out);
  std::memset(image->bits + n_out, 0, limit - n_out);
  image->info->bmiHeader.biCompression = bpp == 8 ? BI_RLE8 : BI_RLE4;
}
