// PBM, PGM and PPM files in their six variants: P1 to P3 in ASCII, P4 to P6 in binary. Every
// variant is read into a 24-bit image and written from one; the save option (1..6) names the
// variant to write.
#pragma once
#include <cstdint>

#include "formats/bmp_io.h"

class PgmIOClass : public virtual BmpIOClass {
 public:
  bool OpenRead(const char* path) override;
  // Reads the magic, size and maximum (separated by any white space and comments) and refuses
  // a size the file cannot hold or a maximum outside 1..65535.
  bool ReadHeader(DibImage* image) override;
  // Samples are scaled from 0..maximum to 0..255; above 255 they take two bytes (high byte
  // first) in the binary variants.
  bool ReadBits(DibImage* image) override;
  int CloseRead() override;
  bool OpenWrite(const char* path) override;
  // Writes nothing: the header goes out with the pixels.
  bool WriteHeader(const DibImage* image) override;
  bool WriteBits(const DibImage* image) override;
  int CloseWrite() override;

  int32_t variant() const { return variant_; }
  int32_t maximum() const { return maximum_; }

 private:
  bool ReadAscii(DibImage* image);
  bool ReadBinary(DibImage* image);

  int32_t variant_ = 0;  // 1..6 for P1..P6, 0 when unknown
  int32_t maximum_ = 0;  // maximum sample value of the file
};
