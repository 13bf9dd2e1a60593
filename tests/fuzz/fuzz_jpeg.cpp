// JPEG reader, loaded as the program loads a file, and as the thumbnail browser loads it (an
// eighth of the size, read from the DC coefficients where the file allows): the reader itself
// refuses a declared size beyond the harnesses' limit before the library sets up its buffers.
// The EXIF parser also gets the raw input as a block of its own.
#include "formats/exif.h"
#include "formats/jpeg_io.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ExifOrientation(data, size);
  JpegIOClass io;
  LoadBytes(io, data, size, ".jpg");
  JpegIOClass thumbnail;
  thumbnail.SetThumbnailBox(1, 1);
  LoadBytes(thumbnail, data, size, ".jpg");
  return 0;
}
