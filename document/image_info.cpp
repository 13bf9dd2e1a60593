#include "document/image_info.h"

#include <cstdio>

namespace {

const char* Pick(const char* const* names, size_t count, uint32_t i) { return i < count ? names[i] : ""; }

const char* const kCompressionNames[] = {"BI_RGB", "BI_RLE8", "BI_RLE4", "BI_BITFIELDS"};
const char* const kPngColourTypes[] = {"GrayScale", "", "RGB", "RGB_PALETTE", "GrayScale withα", "", "RGB withα"};
const char* const kPngFilters[] = {"None", "Sub", "Up", "Average", "Paeth"};
const char* const kPnmVariants[] = {"", "ASCIIPBM", "ASCIIPGM", "ASCIIPPM", "BINPBM", "BINPGM", "BINPPM"};
// What the JPEG reader did for each EXIF orientation (1..8).
const char* const kOrientationActions[] = {"",
                                           "not turned",
                                           "mirrored left to right",
                                           "turned 180 degrees",
                                           "mirrored top to bottom",
                                           "turned 90 degrees clockwise and mirrored left to right",
                                           "turned 90 degrees clockwise",
                                           "turned 90 degrees counter-clockwise and mirrored left to right",
                                           "turned 90 degrees counter-clockwise"};

std::string Number(long v) {
  char text[32];
  std::snprintf(text, sizeof text, "%ld", v);
  return text;
}

}  // namespace

const char* CompressionName(uint32_t compression) { return Pick(kCompressionNames, 4, compression); }

const char* ColourFormName(const DibImage* image) {
  if (image->colours != 0) return "Palette";
  switch (BitCount(image)) {
    case 32: return "FullColor(32bit)";
    case 16: return "Hi-Color(16bit)";
    default: return "TrueColor(24bit)";
  }
}

LoadedImageTexts DescribeLoadedImage(const DibImage* image) {
  LoadedImageTexts t;
  const FormatDetails& d = *image->details;
  const BITMAPINFOHEADER& h = image->info->bmiHeader;
  switch (image->format) {
    case kFormatBmp:
    case kFormatBmpOs2:
      t.format = FormatName(image->format);
      t.bpp = Number(h.biBitCount);
      t.colour_form = ColourFormName(image);
      t.compression = CompressionName(h.biCompression);
      break;
    case kFormatJpeg:
      t.format = "JPEG";
      t.bpp = Number(h.biBitCount);
      t.colour_form = d.first == 1 ? "GrayScale" : "RGB";
      if (d.second >= 1 && d.second <= 8)
        t.orientation = Number(static_cast<long>(d.second)) + " (" + kOrientationActions[d.second] + ")";
      break;
    case kFormatPng:
      t.format = "PNG";
      t.bpp = Number(d.first);
      t.colour_form = Pick(kPngColourTypes, 7, d.second);
      t.compression = Pick(kPngFilters, 5, d.third);
      break;
    case kFormatGif: {
      const char* version = d.first != 1 ? "87a" : (d.fourth ? "89a[animation]" : "89a");
      t.format = std::string("GIF-") + version;
      t.bpp = Number(d.second);
      t.colour_form = "Pallette";
      t.compression = d.third ? "LZW-interlace" : "LZW";
      break;
    }
    case kFormatPpm:
    case kFormatPgm:
    case kFormatPbm:
      t.format = Pick(kPnmVariants, 7, d.second);
      t.bpp = image->format == kFormatPpm ? "24" : image->format == kFormatPgm ? "8" : "1";
      t.colour_form = image->format == kFormatPpm ? "TrueColor(24bit)"
                      : image->format == kFormatPgm ? "GrayScale"
                                                    : "黒白2値";
      if (image->format != kFormatPbm) t.levels = Number(static_cast<long>(d.first));
      break;
    default:
      t.format = FormatName(image->format);
      t.bpp = Number(h.biBitCount);
      t.colour_form = ColourFormName(image);
      break;
  }
  return t;
}
