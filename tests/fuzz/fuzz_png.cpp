// PNG reader.
#include "formats/png_io.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  PngIOClass io;
  LoadBytes(io, data, size, ".png");
  return 0;
}
