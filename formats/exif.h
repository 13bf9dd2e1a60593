// The one EXIF fact the readers act on: the orientation tag of the first image directory.
#pragma once
#include <cstddef>
#include <cstdint>

// The orientation (1..8) recorded in an EXIF block: the TIFF structure that follows the
// "Exif\0\0" signature of a JPEG APP1 segment, in either byte order. 0 when the block has no
// orientation tag, a damaged one, or a value outside 1..8. Every offset and count is checked
// against size; nothing outside the block is read.
int ExifOrientation(const uint8_t* tiff, size_t size);
