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
  // Reading helpers: a run-length stream of any length; transparency in the pixel words.
  bool ReadRunLength(DibImage* image);
  bool HasAlpha(const DibImage* image) const;
  void Repack32(DibImage* image, bool alpha) const;
  void Flatten16(DibImage* image) const;

  bool top_down_ = false;       // rows stored top row first
  bool repack32_ = false;       // 32-bit masks that are not whole bytes, or alpha: repacked on reading
  uint32_t file_masks_[3] = {}; // red, green, blue masks as the file gave them
  uint32_t file_alpha_ = 0;     // the alpha mask of bit fields, 0 for none
};

// Compression code of bit fields with an alpha mask (read as bit fields with transparency).
constexpr uint32_t kAlphaBitFields = 6;
