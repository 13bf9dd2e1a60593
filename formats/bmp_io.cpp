#include "formats/bmp_io.h"

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "base/messages.h"
#include "formats/byte_order.h"
#include "image/rle_decode.h"

namespace {

// File positions in 64 bits: the long that ftell and fseek use has 32 bits on Windows, in the
// 64-bit program too, so a position past 2 GB would read as an error there.
int64_t Tell(std::FILE* stream) {
#ifdef _WIN32
  return ftello64(stream);
#else
  return ftello(stream);
#endif
}

bool Seek(std::FILE* stream, int64_t offset, int whence) {
#ifdef _WIN32
  return fseeko64(stream, offset, whence) == 0;
#else
  return fseeko(stream, static_cast<off_t>(offset), whence) == 0;
#endif
}

bool ValidDepth(int bpp) {
  return bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32;
}

// Compression a depth can carry.
bool ValidCompression(uint32_t compression, int bpp) {
  switch (compression) {
    case BI_RGB: return true;
    case BI_RLE8: return bpp == 8;
    case BI_RLE4: return bpp == 4;
    case BI_BITFIELDS: return bpp == 16 || bpp == 32;
    default: return false;
  }
}

// 8-bit value of a mask's field in a pixel word.
struct MaskField {
  uint32_t mask = 0;
  int shift = 0, width = 0;
  explicit MaskField(uint32_t m) : mask(m) {
    if (!m) return;
    while (!((m >> shift) & 1u)) ++shift;
    while (shift + width < 32 && ((m >> (shift + width)) & 1u)) ++width;
  }
  uint8_t Get(uint32_t w) const {
    if (width == 0) return 0;
    const uint32_t v = (w & mask) >> shift;
    if (width >= 8) return static_cast<uint8_t>(v >> (width - 8));
    const uint32_t max = (1u << width) - 1;
    return static_cast<uint8_t>((v * 255 + max / 2) / max);
  }
};

bool Refuse(DibImage* image, const char* reason) {
  ShowRefusal(kMsgUnsupported, reason);
  image->format = kFormatNone;
  return false;
}

// A colour blended with its alpha onto the background, as transparency in PNG files is shown.
inline uint8_t Blend(int colour, int alpha, int background) {
  return static_cast<uint8_t>((colour * alpha + background * (255 - alpha) + 127) / 255);
}

// A run-length stream read from the file a block at a time, up to a number of bytes.
class FileRleSource {
 public:
  FileRleSource(std::FILE* stream, uint64_t limit) : stream_(stream), limit_(limit), block_(1 << 16) {}
  int Next() {
    if (at_ == filled_) {
      if (taken_ >= limit_) return -1;
      filled_ = std::fread(block_.data(), 1, block_.size(), stream_);
      at_ = 0;
      if (filled_ == 0) return -1;
    }
    if (taken_ >= limit_) return -1;
    ++taken_;
    return block_[at_++];
  }
  uint64_t taken() const { return taken_; }

 private:
  std::FILE* stream_;
  uint64_t limit_, taken_ = 0;
  std::vector<uint8_t> block_;
  size_t filled_ = 0, at_ = 0;
};

}  // namespace

BmpIOClass::~BmpIOClass() {
  if (stream_) std::fclose(stream_);
}

bool BmpIOClass::OpenStream(const char* path, const char* mode) {
  if (stream_) CloseStream();
  SetPath(path);
  stream_ = std::fopen(path, mode);
  if (!stream_) {
    ShowError(kMsgCannotOpen);
    return false;
  }
  return true;
}

bool BmpIOClass::CloseStream() {
  if (!stream_) return true;
  const bool ok = std::ferror(stream_) == 0;
  const bool closed = std::fclose(stream_) == 0;
  stream_ = nullptr;
  return ok && closed;
}

uint64_t BmpIOClass::BytesLeft() {
  const int64_t here = Tell(stream_);
  if (here < 0 || !Seek(stream_, 0, SEEK_END)) return 0;
  const int64_t end = Tell(stream_);
  Seek(stream_, here, SEEK_SET);
  return end > here ? static_cast<uint64_t>(end - here) : 0;
}

bool BmpIOClass::OpenRead(const char* path) { return OpenStream(path, "rb"); }

bool BmpIOClass::OpenWrite(const char* path) { return OpenStream(path, "wb"); }

int BmpIOClass::CloseRead() { return CloseStream() ? 1 : 0; }

int BmpIOClass::CloseWrite() { return CloseStream() ? 1 : 0; }

bool BmpIOClass::ReadHeader(DibImage* image) {
  std::snprintf(image->path, sizeof image->path, "%s", path_);
  top_down_ = repack32_ = false;
  file_masks_[0] = file_masks_[1] = file_masks_[2] = file_alpha_ = 0;
  uint8_t fh[14];
  if (std::fread(fh, 1, 14, stream_) != 14 || GetLE16(fh) != 0x4D42) {
    ShowRefusal(kMsgUnsupported, "not a BMP file");
    return false;
  }
  image->format = kFormatBmp;
  pixel_offset_ = GetLE32(fh + 10);

  // The info header: OS/2's 12 bytes, or Windows' 40 bytes and its longer versions (52 and 56
  // with the masks inside, 108 and 124 as current programs write them).
  BITMAPINFOHEADER& h = image->info->bmiHeader;
  uint8_t ih[124] = {};
  if (std::fread(ih, 1, 4, stream_) != 4) return Refuse(image, "truncated header");
  const uint32_t header_size = GetLE32(ih);
  const bool os2 = header_size == 12;
  if (!os2 && header_size != 40 && header_size != 52 && header_size != 56 && header_size != 108 && header_size != 124) {
    char reason[80];
    if (header_size == 16 || header_size == 64)
      std::snprintf(reason, sizeof reason, "unsupported variant: OS/2 2.x header");
    else
      std::snprintf(reason, sizeof reason, "unsupported header size %lu", static_cast<unsigned long>(header_size));
    return Refuse(image, reason);
  }
  if (std::fread(ih + 4, 1, header_size - 4, stream_) != header_size - 4) return Refuse(image, "truncated header");
  int64_t width, height;
  uint32_t compression = BI_RGB;
  if (os2) {
    width = GetLE16(ih + 4);
    height = GetLE16(ih + 6);
    h.biPlanes = GetLE16(ih + 8);
    h.biBitCount = GetLE16(ih + 10);
    image->format = kFormatBmpOs2;
  } else {
    width = static_cast<int32_t>(GetLE32(ih + 4));
    height = static_cast<int32_t>(GetLE32(ih + 8));
    h.biPlanes = GetLE16(ih + 12);
    h.biBitCount = GetLE16(ih + 14);
    compression = GetLE32(ih + 16);
    h.biXPelsPerMeter = static_cast<int32_t>(GetLE32(ih + 24));
    h.biYPelsPerMeter = static_cast<int32_t>(GetLE32(ih + 28));
    h.biClrUsed = GetLE32(ih + 32);
    h.biClrImportant = GetLE32(ih + 36);
  }
  // Bit fields with an alpha mask (a later compression code) are bit fields with transparency.
  const bool alpha_fields = compression == kAlphaBitFields;
  h.biCompression = alpha_fields ? BI_BITFIELDS : compression;
  h.biSize = sizeof(BITMAPINFOHEADER);
  const int bpp = h.biBitCount;
  if (h.biPlanes != 1) return Refuse(image, "invalid header: planes is not 1");
  if (compression == 4 || compression == 5)
    return Refuse(image, compression == 4 ? "unsupported variant: embedded JPEG data" : "unsupported variant: embedded PNG data");
  if (!ValidDepth(bpp)) {
    char reason[64];
    std::snprintf(reason, sizeof reason, "unsupported variant: %d bits per pixel", bpp);
    return Refuse(image, reason);
  }
  if (!ValidCompression(h.biCompression, bpp) || (alpha_fields && bpp != 16 && bpp != 32)) {
    char reason[80];
    std::snprintf(reason, sizeof reason, "unsupported variant: compression %lu at %d bits per pixel",
                  static_cast<unsigned long>(compression), bpp);
    return Refuse(image, reason);
  }
  // Rows stored top first (negative height) are turned bottom-up on reading; run-length data
  // cannot be stored that way.
  top_down_ = height < 0;
  if (top_down_) height = -height;
  if (top_down_ && h.biCompression != BI_RGB && h.biCompression != BI_BITFIELDS)
    return Refuse(image, "invalid header: run-length data stored top row first");
  const uint32_t stride = CheckedStride(width, height, bpp);
  if (!stride) return Refuse(image, SizeProblem(width, height, bpp).c_str());
  h.biWidth = static_cast<LONG>(width);
  h.biHeight = static_cast<LONG>(height);
  image->stride = stride;
  h.biSizeImage = stride * static_cast<uint32_t>(height);

  // Colour table: at most 2^bits entries; direct-colour depths keep none (a table there is only
  // a display hint, and the masks follow the header).
  uint32_t colours = 0;
  if (bpp <= 8) {
    const uint32_t most = 1u << bpp;
    colours = (!os2 && h.biClrUsed != 0) ? h.biClrUsed : most;
    if (colours > most) {
      colours = most;
      h.biClrUsed = most;
    }
  } else {
    h.biClrUsed = 0;
  }
  image->colours = static_cast<uint16_t>(colours);
  RGBQUAD* pal = Palette(image);
  if (os2) {
    uint8_t entry[3];
    for (uint32_t i = 0; i < colours && std::fread(entry, 1, 3, stream_) == 3; ++i)
      pal[i] = RGBQUAD{entry[0], entry[1], entry[2], 0};
  } else if (colours) {
    uint8_t entry[4];
    for (uint32_t i = 0; i < colours && std::fread(entry, 1, 4, stream_) == 4; ++i)
      pal[i] = RGBQUAD{entry[0], entry[1], entry[2], 0};
  } else if (h.biCompression == BI_BITFIELDS) {
    // Red, green, blue (and alpha) masks: inside the longer headers, after the 40-byte one.
    uint8_t m[16] = {};
    if (header_size >= 52) {
      std::memcpy(m, ih + 40, header_size >= 56 ? 16 : 12);
    } else if (std::fread(m, 1, alpha_fields ? 16 : 12, stream_) != (alpha_fields ? 16u : 12u)) {
      return Refuse(image, "truncated header: the colour masks are missing");
    }
    uint32_t* masks = Masks(image);
    for (int i = 0; i < 3; ++i) masks[i] = file_masks_[i] = GetLE32(m + 4 * i);
    file_alpha_ = GetLE32(m + 12) & ~(file_masks_[0] | file_masks_[1] | file_masks_[2]);
    if (bpp == 16) file_alpha_ &= 0xFFFF;
    // 32-bit pixels keep their channels in bytes 0, 1, 2; other layouts, and pixels with
    // transparency, are repacked so.
    repack32_ = bpp == 32 && (file_alpha_ || !(masks[0] == 0xFF0000 && masks[1] == 0xFF00 && masks[2] == 0xFF));
    if (repack32_) {
      masks[0] = 0xFF0000;
      masks[1] = 0xFF00;
      masks[2] = 0xFF;
    }
  }
  const int64_t here = Tell(stream_);
  header_end_ = here > 0 && here <= 0xFFFFFFFF ? static_cast<uint32_t>(here) : 0;
  if (pixel_offset_ < header_end_) pixel_offset_ = header_end_;

  // Uncompressed rows must be in the file (a last row cut short is tolerated and reads as 0).
  if (h.biCompression == BI_RGB || h.biCompression == BI_BITFIELDS) {
    const uint64_t after = BytesLeft();
    const uint64_t skip = pixel_offset_ - header_end_;
    const uint64_t available = after > skip ? after - skip : 0;
    if (available + stride < static_cast<uint64_t>(stride) * static_cast<uint64_t>(height)) {
      char reason[80];
      std::snprintf(reason, sizeof reason, "truncated: %llu of %lld rows in the file",
                    static_cast<unsigned long long>(available / stride), static_cast<long long>(height));
      return Refuse(image, reason);
    }
  }
  return true;
}

bool BmpIOClass::ReadBits(DibImage* image) {
  if (IsRunLength(image)) return ReadRunLength(image);
  const size_t total = ImageBytes(image);
  if (Seek(stream_, pixel_offset_, SEEK_SET)) {
    const size_t got = std::fread(image->bits, 1, total, stream_);
    std::memset(image->bits + got, 0, total - got);  // missing bytes read as 0
  }
  const int height = Height(image);
  const size_t stride = image->stride;
  if (top_down_) {
    for (int y = 0; y < height / 2; ++y)
      std::swap_ranges(image->bits + y * stride, image->bits + (y + 1) * stride,
                       image->bits + (height - 1 - y) * stride);
  }
  const bool alpha = file_alpha_ && HasAlpha(image);
  if (repack32_) Repack32(image, alpha);
  else if (alpha) Flatten16(image);
  return true;
}

bool BmpIOClass::HasAlpha(const DibImage* image) const {
  // Pixels whose alpha is 0 everywhere come from programs that leave the field unused: opaque.
  const int width = Width(image), height = Height(image), step = BitCount(image) / 8;
  for (int y = 0; y < height; ++y) {
    const uint8_t* p = image->bits + y * static_cast<size_t>(image->stride);
    for (int x = 0; x < width; ++x, p += step)
      if ((step == 4 ? GetLE32(p) : GetLE16(p)) & file_alpha_) return true;
  }
  return false;
}

void BmpIOClass::Repack32(DibImage* image, bool alpha) const {
  const MaskField r(file_masks_[0]), g(file_masks_[1]), b(file_masks_[2]), a(alpha ? file_alpha_ : 0);
  const uint32_t background = image->details->colour;  // 0x00BBGGRR
  const int bg_r = background & 0xFF, bg_g = (background >> 8) & 0xFF, bg_b = (background >> 16) & 0xFF;
  const int width = Width(image), height = Height(image);
  for (int y = 0; y < height; ++y) {
    uint8_t* p = image->bits + y * static_cast<size_t>(image->stride);
    for (int x = 0; x < width; ++x, p += 4) {
      const uint32_t w = GetLE32(p);
      if (alpha) {
        const int k = a.Get(w);
        p[0] = Blend(b.Get(w), k, bg_b);
        p[1] = Blend(g.Get(w), k, bg_g);
        p[2] = Blend(r.Get(w), k, bg_r);
      } else {
        p[0] = b.Get(w);
        p[1] = g.Get(w);
        p[2] = r.Get(w);
      }
      p[3] = 0;
    }
  }
}

void BmpIOClass::Flatten16(DibImage* image) const {
  // The blended colours are stored as 5 bits a channel (the masks become 5-5-5), which every
  // 16-bit operation reads at full brightness whatever the file's own field widths were.
  const MaskField r(file_masks_[0]), g(file_masks_[1]), b(file_masks_[2]), a(file_alpha_);
  const uint32_t background = image->details->colour;  // 0x00BBGGRR
  const int bg_r = background & 0xFF, bg_g = (background >> 8) & 0xFF, bg_b = (background >> 16) & 0xFF;
  auto five = [](int v) { return static_cast<uint32_t>((v * 31 + 127) / 255); };
  const int width = Width(image), height = Height(image);
  for (int y = 0; y < height; ++y) {
    uint8_t* p = image->bits + y * static_cast<size_t>(image->stride);
    for (int x = 0; x < width; ++x, p += 2) {
      const uint32_t w = GetLE16(p);
      const int k = a.Get(w);
      PutLE16(p, static_cast<uint16_t>(five(Blend(r.Get(w), k, bg_r)) << 10 | five(Blend(g.Get(w), k, bg_g)) << 5 |
                                       five(Blend(b.Get(w), k, bg_b))));
    }
  }
  uint32_t* masks = Masks(image);
  masks[0] = 0x7C00;
  masks[1] = 0x03E0;
  masks[2] = 0x001F;
}

bool BmpIOClass::ReadRunLength(DibImage* image) {
  // The stream is followed in the file first. One that fits the bitmap's buffer is kept as it
  // is (the image stays run-length coded); a longer one (runs of single pixels cost two bytes
  // each, so it saves nothing) is decoded straight into the bitmap, which then holds plain rows.
  // A stream that does not decode is kept as it is too: its image refuses what needs pixels.
  BITMAPINFOHEADER& h = image->info->bmiHeader;
  const int bpp = h.biBitCount;
  const RleLayout layout{Width(image), Height(image), image->stride, bpp};
  const size_t total = ImageBytes(image);
  // No meaningful stream is longer than a run of one pixel for each pixel and two escapes a row.
  const uint64_t longest = 2 * (static_cast<uint64_t>(layout.width) + 2) * static_cast<uint64_t>(layout.height) + 16;
  uint64_t used = 0;
  bool decodes = false;
  if (Seek(stream_, pixel_offset_, SEEK_SET)) {
    FileRleSource source(stream_, longest);
    decodes = DecodeRleStream(source, layout, nullptr);
    used = source.taken();
  }
  if (!decodes || used <= total || !Seek(stream_, pixel_offset_, SEEK_SET)) {
    if (Seek(stream_, pixel_offset_, SEEK_SET)) {
      const size_t got = std::fread(image->bits, 1, total, stream_);
      std::memset(image->bits + got, 0, total - got);
    }
    return true;
  }
  FileRleSource source(stream_, longest);
  DecodeRleStream(source, layout, image->bits);  // into the zero-filled bitmap
  h.biCompression = BI_RGB;
  return true;
}
bool BmpIOClass::WriteHeader(const DibImage* image) {
  const BITMAPINFOHEADER& h = image->info->bmiHeader;
  const uint32_t n = h.biCompression == BI_BITFIELDS ? 3 : image->colours;
  const uint32_t image_bytes = static_cast<uint32_t>(ImageBytes(image));
  uint8_t head[54];
  PutLE16(head, 0x4D42);
  PutLE32(head + 2, 54 + 4 * n + image_bytes);
  PutLE32(head + 6, 0);
  PutLE32(head + 10, 54 + 4 * n);
  PutLE32(head + 14, 40);
  PutLE32(head + 18, static_cast<uint32_t>(h.biWidth));
  PutLE32(head + 22, static_cast<uint32_t>(h.biHeight));
  PutLE16(head + 26, h.biPlanes);
  PutLE16(head + 28, h.biBitCount);
  PutLE32(head + 30, h.biCompression);
  PutLE32(head + 34, image_bytes);
  PutLE32(head + 38, static_cast<uint32_t>(h.biXPelsPerMeter));
  PutLE32(head + 42, static_cast<uint32_t>(h.biYPelsPerMeter));
  PutLE32(head + 46, h.biClrUsed);
  PutLE32(head + 50, h.biClrImportant);
  if (std::fwrite(head, 1, 54, stream_) != 54) return false;
  return n == 0 || std::fwrite(image->info->bmiColors, 4, n, stream_) == n;
}

bool BmpIOClass::WriteBits(const DibImage* image) {
  const size_t total = ImageBytes(image);
  return std::fwrite(image->bits, 1, total, stream_) == total;
}
