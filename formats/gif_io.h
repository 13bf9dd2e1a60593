// GIF files: reads the first image of a GIF87a or GIF89a file (later images and every extension
// are passed over) and writes one image as a GIF87a file with a global colour table.
#pragma once
#include <cstdint>

#include "formats/bmp_io.h"
#include "image/pixel_ops.h"

class GifIOClass : public virtual BmpIOClass {
 public:
  bool OpenRead(const char* path) override;
  // Walks the whole file and settles the picture: the logical screen's size, the first image's
  // place on it and the colour table. Colour tables of up to 2 and up to 16 entries give 1- and
  // 4-bit images, larger ones 8-bit images. A file that ends early keeps what it holds; only one
  // without any data of its first image is refused.
  bool ReadHeader(DibImage* image) override;
  // Decodes the first image straight into the image's rows (the file is read a second time from
  // where its data begins), with the background around it.
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
    int full_width = 0, full_height = 0;           // as the file gives them
    bool interlaced = false;
    int code_size = 0;
    int local_entries = 0;                         // 0: no colour table of its own
    uint8_t local_table[256 * 3] = {};
    int64_t data_offset = 0;                       // file position of its first data sub-block
  };
  enum class Step { kNext, kFileEnded, kRefused };
  // Reads one image descriptor and passes over its data; the first image with pixels is kept.
  Step ReadImage();
  // Passes over data sub-blocks up to the zero-length one; false when the file ends first.
  // Adds the data bytes met to *bytes when given.
  bool SkipBlocks(uint64_t* bytes = nullptr);
  // Chooses the colour table, the depth and the background index once the file has been walked.
  void FinishHeader(DibImage* image);
  // Shows the refusal with the reason and returns false.
  bool Refuse(int code, const char* reason);

  // Reading: the logical screen and the first image on it.
  int screen_width_ = 0, screen_height_ = 0;
  int background_ = 0;
  int global_entries_ = 0;
  uint8_t global_table_[256 * 3] = {};
  bool have_image_ = false;
  Frame first_;
  int entries_ = 0;           // colour table entries the first image's indexes may use
  int fill_index_ = 0;        // index of the background colour around the first image
  int read_bpp_ = 0;
  char reason_[96] = {};
  // Writing: bits per index of the file (1..8).
  int write_bits_ = 0;
};
