#include "tests/fuzz/fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <string>

#include "app/file_flow.h"

namespace {

std::string ScratchPath(const char* extension) {
  const char* folder = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  return std::string(folder) + "/tessamor-fuzz-" + std::to_string(getpid()) + extension;
}

}  // namespace

bool LoadBytes(BmpIOClass& io, const uint8_t* data, size_t size, const char* extension) {
  const std::string path = ScratchPath(extension);
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool written = std::fwrite(data, 1, size, f) == size;
  std::fclose(f);
  if (!written) return false;
  SetMaxPixels(kFuzzMaxPixels);
  MDIBCtrl doc;
  DibImage* image = LoadImageWith(doc, io, path.c_str());
  std::remove(path.c_str());
  if (!image) return false;
  // Touch every pixel byte, so that a reader leaving any of it unset shows up under the
  // sanitizers' checks (and the image header is read as the program would).
  const size_t bytes = ImageBytes(image);
  volatile uint8_t sum = 0;
  for (size_t i = 0; i < bytes; ++i) sum = static_cast<uint8_t>(sum + image->bits[i]);
  DeleteImage(image);
  return true;
}
