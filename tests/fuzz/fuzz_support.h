// Shared parts of the fuzzing harnesses: every reader takes a path, so an input is written to a
// file in memory-backed storage and loaded the way the program loads a file.
#pragma once
#include <cstddef>
#include <cstdint>

#include "formats/bmp_io.h"

// The harnesses' size limit, set through the program's own setting, so that the readers refuse
// larger images on the very path the program takes (and not the harness after the header): up
// to it every image is decoded whole.
constexpr uint64_t kFuzzMaxPixels = uint64_t{1} << 22;

// Writes the input to this process's scratch file with the given extension and loads it with
// io through LoadImageWith under the size limit kFuzzMaxPixels; true when an image was loaded.
bool LoadBytes(BmpIOClass& io, const uint8_t* data, size_t size, const char* extension);
