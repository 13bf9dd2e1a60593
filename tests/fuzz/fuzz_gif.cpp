// GIF reader: the whole file is walked, then the first image is decoded onto the logical screen.
#include "formats/gif_io.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  GifIOClass io;
  LoadBytes(io, data, size, ".gif");
  return 0;
}
