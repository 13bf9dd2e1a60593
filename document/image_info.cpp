#include "document/image_info.h"

#include <cinttypes>
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

std::array<std::string, kInformationFields> InformationFields(const DibImage* as_loaded, const DibImage* current,
                                                               const char* long_path) {
  std::array<std::string, kInformationFields> f;
  auto at = [&f](int field) -> std::string& { return f[static_cast<size_t>(field - kFirstInformationField)]; };
  auto pixel_bytes = [](const DibImage* image) {
    return Number(static_cast<long>(static_cast<uint64_t>(image->stride) * static_cast<uint32_t>(Height(image))));
  };
  auto palette_count = [](const DibImage* image) { return image->colours ? Number(image->colours) : std::string(); };
  if (as_loaded) {
    const LoadedImageTexts t = DescribeLoadedImage(as_loaded);
    at(619) = t.format;
    at(621) = Number(Width(as_loaded));
    at(623) = Number(Height(as_loaded));
    at(625) = t.bpp;
    at(627) = palette_count(as_loaded);
    at(629) = t.colour_form;
    at(631) = t.compression;
    at(633) = pixel_bytes(as_loaded);
    at(635) = t.levels;
  }
  if (current) {
    at(620) = "DIB";
    at(622) = Number(Width(current));
    at(624) = Number(Height(current));
    at(626) = Number(BitCount(current));
    at(628) = palette_count(current);
    at(630) = current->colours ? Number(current->colours) + " Palette" : ColourFormName(current);
    at(632) = CompressionName(current->info->bmiHeader.biCompression);
    at(634) = pixel_bytes(current);
    char address[32];
    std::snprintf(address, sizeof address, "0x%08" PRIxPTR, reinterpret_cast<uintptr_t>(current->bits));
    at(636) = address;
    at(637) = std::string(long_path ? long_path : current->path) + "\r\n作成日時:" + current->details->date;
    // A turned photo says how it was turned.
    if (as_loaded) {
      const std::string orientation = DescribeLoadedImage(as_loaded).orientation;
      if (!orientation.empty()) at(637) += "\r\nEXIF Orientation: " + orientation;
    }
  }
  return f;
}
