// GIF reader. Its header step already decodes the first image onto the logical screen, so the
// screen size is checked here before it.
#include "formats/gif_io.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size >= 10) {
    const uint64_t width = data[6] | (data[7] << 8), height = data[8] | (data[9] << 8);
    if (width * height > kFuzzMaxPixels) return 0;
  }
  GifIOClass io;
  LoadBytes(io, data, size, ".gif");
  return 0;
}
