// Run-length decoders of 8- and 4-bit images. Input: a depth byte (odd: 4 bits, even: 8),
// width - 1 and height - 1 as little-endian 16-bit values (kept to 1..512 and 1..256), then the
// stream, which fills exactly the image's height * stride bytes as the BMP reader leaves them
// (cut, or padded with zeros).
#include <cstdlib>
#include <cstring>

#include "image/pixel_ops.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 5) return 0;
  const int bpp = (data[0] & 1) ? 4 : 8;
  const int width = 1 + ((data[1] | (data[2] << 8)) & 511);
  const int height = 1 + ((data[3] | (data[4] << 8)) & 255);
  data += 5;
  size -= 5;

  DibImage image{};
  FormatDetails details{};
  alignas(BITMAPINFO) uint8_t info[sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD)] = {};
  image.info = reinterpret_cast<BITMAPINFO*>(info);
  image.details = &details;
  BITMAPINFOHEADER& h = image.info->bmiHeader;
  h.biSize = sizeof h;
  h.biWidth = width;
  h.biHeight = height;
  h.biPlanes = 1;
  h.biBitCount = static_cast<WORD>(bpp);
  h.biCompression = bpp == 8 ? BI_RLE8 : BI_RLE4;
  image.colours = static_cast<uint16_t>(1 << bpp);
  image.stride = RowBytes(width, bpp);
  const size_t total = ImageBytes(&image);
  h.biSizeImage = static_cast<DWORD>(total);
  // Exactly the image's bytes, so that a read past them is caught.
  image.bits = static_cast<uint8_t*>(std::malloc(total));
  if (!image.bits) return 0;
  const size_t n = size < total ? size : total;
  std::memcpy(image.bits, data, n);
  std::memset(image.bits + n, 0, total - n);

  if (bpp == 8) {
    Dib8 ops;
    BitsPtr decoded = ops.DecodeRle(&image);
  } else {
    Dib4 ops;
    BitsPtr decoded = ops.DecodeRle(&image);
  }
  std::free(image.bits);
  return 0;
}
