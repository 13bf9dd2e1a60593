// JPEG reader. The library sets up its buffers for the whole image inside the header step, so
// the declared size is looked at here first, with the library's own header parser.
#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

#include "formats/jpeg_io.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

struct PeekErrors {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
};

[[noreturn]] void PeekFailed(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<PeekErrors*>(cinfo->err)->jump, 1); }
void PeekQuiet(j_common_ptr) {}

// True unless the header parses and declares more than kFuzzMaxPixels.
bool SmallEnough(const uint8_t* data, size_t size) {
  jpeg_decompress_struct d;
  PeekErrors errors;
  d.err = jpeg_std_error(&errors.pub);
  errors.pub.error_exit = PeekFailed;
  errors.pub.output_message = PeekQuiet;
  if (setjmp(errors.jump)) {
    jpeg_destroy_decompress(&d);
    return true;  // the reader meets the same failure
  }
  jpeg_create_decompress(&d);
  jpeg_mem_src(&d, data, static_cast<unsigned long>(size));
  jpeg_read_header(&d, TRUE);
  const bool small = static_cast<uint64_t>(d.image_width) * d.image_height <= kFuzzMaxPixels;
  jpeg_destroy_decompress(&d);
  return small;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || !SmallEnough(data, size)) return 0;
  JpegIOClass io;
  LoadBytes(io, data, size, ".jpg");
  return 0;
}
