#include "image/dib_image.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "base/messages.h"

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace {
const char* const kFormatNames[] = {"None", "BMP", "BMP(OS2)", "JPEG", "PNG", "GIF",
                                    "PPM",  "PGM", "PBM",      "TIFF", "PICT"};
}

const char* FormatName(uint32_t format) {
  return format < sizeof kFormatNames / sizeof kFormatNames[0] ? kFormatNames[format] : "";
}

uint32_t RowBytes(int32_t width, int bpp) {
  uint64_t n;
  if (bpp < 8) {
    const uint64_t per_byte = bpp > 0 ? 8 / bpp : 8;
    n = (static_cast<uint64_t>(width) + per_byte - 1) / per_byte;
  } else {
    n = static_cast<uint64_t>(bpp / 8) * static_cast<uint64_t>(width);
  }
  return static_cast<uint32_t>((n + 3) & ~uint64_t{3});
}

size_t InfoBytes(const DibImage* image) {
  if (image->info->bmiHeader.biCompression == BI_BITFIELDS && image->colours == 0) return 52;
  return sizeof(BITMAPINFOHEADER) + sizeof(RGBQUAD) * image->colours;
}

namespace {
uint64_t max_pixels = kDefaultMaxPixels;
}

uint64_t MaxPixels() { return max_pixels; }

// Beyond 2^32 pixels the bitmap's 32-bit size field would refuse the image anyway.
void SetMaxPixels(uint64_t pixels) {
  max_pixels = pixels == 0 ? kDefaultMaxPixels : pixels < (uint64_t{1} << 32) ? pixels : uint64_t{1} << 32;
}

std::string SizeProblem(int64_t width, int64_t height, int bpp) {
  char text[160];
  if (width <= 0 || height <= 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF || bpp <= 0 || bpp > 32) {
    std::snprintf(text, sizeof text, "invalid size %lld x %lld at %d bits per pixel", static_cast<long long>(width),
                  static_cast<long long>(height), bpp);
    return text;
  }
  const uint64_t pixels = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
  if (pixels > max_pixels) {
    std::snprintf(text, sizeof text, "too large for the size limit: %lld x %lld is %llu pixels, the limit is %llu",
                  static_cast<long long>(width), static_cast<long long>(height),
                  static_cast<unsigned long long>(pixels), static_cast<unsigned long long>(max_pixels));
    return text;
  }
  const uint64_t total = static_cast<uint64_t>(RowBytes(static_cast<int32_t>(width), bpp)) * static_cast<uint64_t>(height);
  if (total > SIZE_MAX / 2 || total > 0xFFFFFFFFu) {
    std::snprintf(text, sizeof text, "too large: %lld x %lld at %d bits per pixel needs %llu bytes",
                  static_cast<long long>(width), static_cast<long long>(height), bpp,
                  static_cast<unsigned long long>(total));
    return text;
  }
  return "";
}

uint32_t CheckedStride(int64_t width, int64_t height, int bpp) {
  if (width <= 0 || height <= 0 || bpp <= 0 || bpp > 32) return 0;
  if (width > 0x7FFFFFFF || height > 0x7FFFFFFF) return 0;
  if (static_cast<uint64_t>(width) * static_cast<uint64_t>(height) > max_pixels) return 0;
  const uint64_t stride = RowBytes(static_cast<int32_t>(width), bpp);
  const uint64_t total = stride * static_cast<uint64_t>(height);
  if (total > SIZE_MAX / 2 || total > 0xFFFFFFFFu) return 0;
  return static_cast<uint32_t>(stride);
}

uint8_t* AllocateBits(size_t bytes) {
  void* p = std::calloc(bytes ? bytes : 1, 1);
  if (!p) ShowError(kMsgNoMemory);
#ifdef __linux__
  // A photograph-sized block in huge pages where the system offers them on request: filling it
  // then takes a few hundred page faults instead of thousands.
  if (p && bytes >= (size_t{4} << 20)) {
    const uintptr_t begin = (reinterpret_cast<uintptr_t>(p) + 4095) & ~uintptr_t{4095};
    const uintptr_t end = (reinterpret_cast<uintptr_t>(p) + bytes) & ~uintptr_t{4095};
    madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
  }
#endif
  return static_cast<uint8_t*>(p);
}

void DeleteImage(DibImage* image) {
  if (!image) return;
  std::free(image->info);
  std::free(image->bits);
  delete image->details;
  delete image;
}
