// JPEG reader, loaded as the program loads a file, and as the thumbnail browser loads it (an
// eighth of the size, read from the DC coefficients where the file allows, with the bit reader
// of a 32- or a 64-bit program): the reader itself refuses a declared size beyond the
// harnesses' limit before the library sets up its buffers. The EXIF parser also gets the raw
// input as a block of its own.
#include "formats/exif.h"
#include "formats/jpeg_io.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ExifOrientation(data, size);
  JpegIOClass io;
  LoadBytes(io, data, size, ".jpg");
  JpegIOClass thumbnail;
  thumbnail.SetThumbnailBox(1, 1);
  thumbnail.SetDcWordBits(size % 2 ? 32 : 64);  // the bit reader of 32- and 64-bit programs
  LoadBytes(thumbnail, data, size, ".jpg");
  return 0;
}
