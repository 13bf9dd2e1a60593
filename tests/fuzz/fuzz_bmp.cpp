// BMP reader.
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  BmpIOClass io;
  LoadBytes(io, data, size, ".bmp");
  return 0;
}
