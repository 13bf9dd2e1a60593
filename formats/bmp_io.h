// BMP files, and the eight operations every format implements: open, header, pixels and close,
// for reading and for writing.
#pragma once
#include <cstdint>
#include <cstdio>

#include "formats/file_access.h"

class BmpIOClass : public FileAccess {
 public:
  ~BmpIOClass() override;

  virtual bool OpenRead(const char* path);
  virtual bool ReadHeader(DibImage* image);
  virtual bool ReadBits(DibImage* image);
  virtual int CloseRead();
  virtual bool OpenWrite(const char* path);
  virtual bool WriteHeader(const DibImage* image);
  virtual bool WriteBits(const DibImage* image);
  virtual int CloseWrite();

  void set_save_option(int32_t option) { save_option_ = option; }

 protected:
  // Opens path with mode for one of the Open operations; the cannot-open box on failure.
  bool OpenStream(const char* path, const char* mode);
  // Bytes from the current position to the end of the open stream.
  uint64_t BytesLeft();
  // Closes the stream; false when closing (flushing) failed.
  bool CloseStream();

  FILE* stream_ = nullptr;
  uint32_t pixel_offset_ = 0;   // bfOffBits of the file being read
  int32_t save_option_ = 0;     // PNM variant to write

 private:
  uint32_t header_end_ = 0;     // file offset just after the header and colour table
  bool top_down_ = false;       // rows stored top row first
  bool repack32_ = false;       // 32-bit masks that are not whole bytes: repacked on reading
  uint32_t file_masks_[3] = {}; // red, green, blue masks as the file gave them
};
