// PBM, PGM and PPM reader (one class for the three; it goes by the file's magic).
#include "formats/pgm_io.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  PgmIOClass io;
  LoadBytes(io, data, size, ".pnm");
  return 0;
}
