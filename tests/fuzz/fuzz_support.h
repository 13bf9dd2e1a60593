// Shared parts of the fuzzing harnesses: every reader takes a path, so an input is written to a
// file in memory-backed storage and loaded the way the program loads a file.
#pragma once
#include <cstddef>
#include <cstdint>

#include "formats/bmp_io.h"

// Larger images are refused by the harness once their header is read: they add time, not paths.
constexpr uint64_t kFuzzMaxPixels = uint64_t{1} << 20;

// Refuses, after the reader's own header checks, an image above kFuzzMaxPixels.
template <class Format>
class CappedReader : public Format {
 public:
  bool ReadHeader(DibImage* image) override {
    if (!Format::ReadHeader(image)) return false;
    const BITMAPINFOHEADER& h = image->info->bmiHeader;
    return static_cast<uint64_t>(h.biWidth) * static_cast<uint64_t>(h.biHeight) <= kFuzzMaxPixels;
  }
};

// Writes the input to this process's scratch file with the given extension and loads it with
// io through LoadImageWith; true when an image was loaded.
bool LoadBytes(BmpIOClass& io, const uint8_t* data, size_t size, const char* extension);
