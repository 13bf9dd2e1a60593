// Texts of the information window that describe an image as its file gave it.
#pragma once
#include <array>
#include <string>

#include "image/dib_image.h"

struct LoadedImageTexts {
  std::string format;       // "BMP", "GIF-89a", "BINPPM" ...
  std::string bpp;          // bits per pixel as the file gave them
  std::string colour_form;  // "Palette", "TrueColor(24bit)", "RGB" ...
  std::string compression;  // "BI_RGB", "LZW", "Paeth" ... or empty
  std::string levels;       // PNM maximum value, or empty
  std::string orientation;  // JPEG: the EXIF orientation found and how the picture was turned, or empty
};

LoadedImageTexts DescribeLoadedImage(const DibImage* image);

// The fields of the information window, 619 to 637 (index = field - 619): the left column the
// image as loaded, the right one the current image. long_path is the current image's path as the
// window shows it.
constexpr int kFirstInformationField = 619, kInformationFields = 19;
std::array<std::string, kInformationFields> InformationFields(const DibImage* as_loaded, const DibImage* current,
                                                               const char* long_path);

// "BI_RGB", "BI_RLE8", "BI_RLE4", "BI_BITFIELDS"; "" for any other value.
const char* CompressionName(uint32_t compression);
// Colour form of an image from its depth: "Palette", "FullColor(32bit)", "Hi-Color(16bit)" or
// "TrueColor(24bit)".
const char* ColourFormName(const DibImage* image);
