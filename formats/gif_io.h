// GIF files: reads the first image of a GIF87a or GIF89a file (later images and every extension
// are passed over) and writes one image as a GIF87a file with a global colour table.
#pragma once
#include <cstdint>

#include "formats/bmp_io.h"
#include "image/pixel_ops.h"

class GifIOClass : public virtual BmpIOClass {
 public:
  bool OpenRead(const char* path) override;
  // Walks the whole file and decodes its first image onto the logical screen; the pixels are
  // kept until ReadBits. Colour tables of up to 2 and up to 16 entries give 1- and 4-bit
  // images, larger ones 8-bit images.
  bool ReadHeader(DibImage* image) override;
  bool ReadBits(DibImage* image) override;
  int CloseRead() override;
  bool OpenWrite(const char* path) override;
  // Takes an uncompressed 1-, 4- or 8-bit image; its colour table is written padded to the
  // next power of two.
  bool WriteHeader(const DibImage* image) override;
  bool WriteBits(const DibImage* image) override;
  int CloseWrite() override;

 private:
  struct Frame {
    int left = 0, top = 0, width = 0, height = 0;  // the visible part, clipped to the screen
    bool interlaced = false;
    int code_size = 0;
    int local_entries = 0;                         // 0: no colour table of its own
    uint8_t local_table[256 * 3] = {};
  };
  // Reads one image descriptor and its data; decodes it when it is the first image.
  bool ReadImage();
  // Passes over data sub-blocks up to the zero-length one; false at the end of the file.
  bool SkipBlocks();
  // Chooses the colour table and the depth once the file has been walked.
  void FinishHeader(DibImage* image);

  // Reading: the logical screen and the first image's indexes on it, one byte per pixel, top
  // row first.
  int screen_width_ = 0, screen_height_ = 0;
  int background_ = 0;
  int global_entries_ = 0;
  uint8_t global_table_[256 * 3] = {};
  bool have_image_ = false;
  Frame first_;
  BitsPtr screen_;
  // Writing: bits per index of the file (1..8).
  int write_bits_ = 0;
};
