// PNG files through libpng 1.6: every colour type and bit depth read into the program's depths
// (palette and greyscale files stay indexed, colour files become 24-bit, transparency and alpha
// are flattened onto a background), 24-bit images written as RGB files and indexed images as
// palette files.
#pragma once
#include <cstdint>
#include <vector>

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
  bool ReadRows();
  bool FinishReading();
  bool WriteInfo(const DibImage* image);
  bool WriteRows();
  bool FinishWriting();
  // Destroys the library structures and closes the file.
  void Release();
  // Shows the message for a failed read (out of memory, or a file the program cannot take).
  void ReportReadError();

  png_struct_def* png_ = nullptr;
  png_info_def* info_ = nullptr;
  bool writing_ = false;
  bool rows_read_ = false;             // ReadBits has delivered the pixels
  int error_code_ = 0;                 // message code of the library's last error
  uint32_t width_ = 0, height_ = 0;    // from the header, or of the image being written
  int bit_depth_ = 0, colour_type_ = 0, interlace_ = 0, compression_ = 0, filter_ = 0;
  int bits_per_pixel_ = 0;             // of the image being written
  std::vector<uint8_t*> rows_;         // row pointers, top row first
};
