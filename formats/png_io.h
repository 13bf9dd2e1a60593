// PNG files through libpng 1.6: every colour type and bit depth read into the program's depths
// (palette and greyscale files stay indexed, colour files become 24-bit, transparency and alpha
// are flattened onto a background), 24-bit images written as RGB files and indexed images as
// palette files.
#pragma once
#include <cstddef>
#include <cstdint>

#include "formats/bmp_io.h"

struct png_struct_def;
struct png_info_def;

class PngIOClass : public virtual BmpIOClass {
 public:
  PngIOClass() = default;
  ~PngIOClass() override;

  bool OpenRead(const char* path) override;
  bool ReadHeader(DibImage* image) override;
  bool ReadBits(DibImage* image) override;
  int CloseRead() override;
  bool OpenWrite(const char* path) override;
  bool WriteHeader(const DibImage* image) override;
  bool WriteBits(const DibImage* image) override;
  int CloseWrite() override;

 private:
  // Each makes one step's library calls under a recovery point set in the same function, whose
  // locals need no destructors; false when the library (or a check) failed.
  bool ReadInfo();
  bool SetUpReading(DibImage* image);
  bool ReadRows(DibImage* image);
  bool WriteInfo(const DibImage* image);
  bool WriteRows(const DibImage* image);
  bool FinishWriting();
  // Destroys the library structures and closes the file.
  void Release();
  // Refuses the file being read with the library's (or the reader's) reason, and releases it.
  void Refuse();
  // The library's callbacks: errors (remembered, then back to the recovery point), and the
  // file's bytes, which stop once the rows are in.
  [[noreturn]] static void OnError(png_struct_def* png, const char* text);
  static void ReadData(png_struct_def* png, unsigned char* data, size_t length);
  // True once the library has delivered the last row of the last pass.
  bool RowsIn() const;

  png_struct_def* png_ = nullptr;
  png_info_def* info_ = nullptr;
  bool writing_ = false;
  bool reading_rows_ = false;          // ReadBits is in progress
  bool stopped_after_rows_ = false;    // the reading ended on purpose after the last row
  bool rows_read_ = false;             // ReadBits has delivered the pixels
  bool file_ended_ = false;            // the library asked for bytes past the end of the file
  int error_code_ = 0;                 // message code of the library's last error
  char error_text_[160] = {};          // and its text
  uint32_t width_ = 0, height_ = 0;    // from the header, or of the image being written
  int bit_depth_ = 0, colour_type_ = 0, interlace_ = 0, compression_ = 0, filter_ = 0;
  int passes_ = 1;                     // interlace passes the library makes over the rows
  int bits_per_pixel_ = 0;             // of the image being read or written
};
