// The image record shared by the whole program, and the helpers that address its rows.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "image/bitmap_types.h"

// Which kind of file an image came from.
enum FormatIndex : uint32_t {
  kFormatNone = 0,
  kFormatBmp = 1,
  kFormatBmpOs2 = 2,
  kFormatJpeg = 3,
  kFormatPng = 4,
  kFormatGif = 5,
  kFormatPpm = 6,
  kFormatPgm = 7,
  kFormatPbm = 8,
};

// Name shown for a format index ("None", "BMP" ... "PICT"); "" beyond the table.
const char* FormatName(uint32_t format);

// Per-file facts that the readers fill and the information window shows.
struct FormatDetails {
  uint32_t colour;      // background colour (0x00BBGGRR); GIF: replaced by its background index
  char date[260];       // creation time text of the source file
  uint32_t first;       // JPEG grey flag, PNG bit depth, GIF 89a flag, PNM maximum value
  uint32_t second;      // PNG colour type, GIF bits per pixel, PNM variant 1..6, JPEG EXIF orientation
                        // 1..8 the picture was turned by (0: the file gives none)
  uint32_t third;       // PNG filter type, GIF interlace flag
  uint32_t fourth;      // GIF animation flag
};

// One image: a device-independent bitmap plus bookkeeping. Rows are stored bottom-up.
struct DibImage {
  uint32_t format;          // FormatIndex of the source file
  char path[MAX_PATH];      // source path, CP932
  BITMAPINFO* info;         // header, then colour table or masks (malloc'd, owned)
  uint32_t stride;          // bytes per row, multiple of 4
  uint16_t colours;         // colour-table entries in use
  uint8_t* bits;            // height * stride bytes (malloc'd, owned)
  FormatDetails* details;   // owned
  DibImage* older;          // undo chain links (the document's business)
  DibImage* newer;
};

// Largest image the program takes on, in pixels; larger sizes are refused before allocating.
// The settings file (LIMIT MaxPixels) and the command-line tool (--max-pixels) can change it.
constexpr uint64_t kDefaultMaxPixels = uint64_t{1} << 28;
uint64_t MaxPixels();
void SetMaxPixels(uint64_t pixels);  // 0 restores the default

// Bytes of one row of width pixels at bpp bits, rounded up to a multiple of 4.
uint32_t RowBytes(int32_t width, int bpp);

// Start of row y counted from the top.
inline uint8_t* RowAddress(const DibImage* image, int y) {
  const BITMAPINFOHEADER& h = image->info->bmiHeader;
  return image->bits + static_cast<size_t>(h.biHeight - 1 - y) * image->stride;
}

inline int Width(const DibImage* image) { return image->info->bmiHeader.biWidth; }
inline int Height(const DibImage* image) { return image->info->bmiHeader.biHeight; }
inline int BitCount(const DibImage* image) { return image->info->bmiHeader.biBitCount; }
inline RGBQUAD* Palette(const DibImage* image) { return image->info->bmiColors; }
inline uint32_t* Masks(const DibImage* image) {
  return reinterpret_cast<uint32_t*>(image->info->bmiColors);
}
inline size_t ImageBytes(const DibImage* image) {
  return static_cast<size_t>(image->stride) * static_cast<size_t>(Height(image));
}
inline bool IsRunLength(const DibImage* image) {
  const DWORD c = image->info->bmiHeader.biCompression;
  return c == BI_RLE8 || c == BI_RLE4;
}

// Bytes the BITMAPINFO block of an image needs: the header and its colour table or masks.
size_t InfoBytes(const DibImage* image);

// Checks that width x height at bpp bits is a size the program can hold: both positive, at
// most MaxPixels(), and height * stride representable. Returns the stride, or 0 when refused.
uint32_t CheckedStride(int64_t width, int64_t height, int bpp);
// Why CheckedStride refuses a size, in English ("" when it does not).
std::string SizeProblem(int64_t width, int64_t height, int bpp);

// Pixel buffer allocation that never ends the process: null (after showing "not enough memory")
// when the block cannot be had. Zero-filled.
uint8_t* AllocateBits(size_t bytes);

// Frees the header, the pixels, the format details and the record.
void DeleteImage(DibImage* image);

struct ImageDeleter {
  void operator()(DibImage* image) const { DeleteImage(image); }
};
// Owns an image while it is being built.
using ImagePtr = std::unique_ptr<DibImage, ImageDeleter>;

// Per-channel counts and extremes of one image.
struct HistogramRecord {
  enum : int {
    kGrey = 0,
    kBlue = 1,
    kGreen = 257,
    kRed = 513,
    kMax = 769,
    kPeakValue = 1025,   // blue, green, red, max
    kPeakCount = 1029,   // blue, green, red, max
    kBrightest = 1033,
    kDarkest = 1034,
    kWords = 1035
  };
  uint32_t w[kWords];
};
