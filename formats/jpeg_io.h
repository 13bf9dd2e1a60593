// JPEG files through libjpeg (the version 62 interface): baseline and progressive files read
// into 24-bit colour or 8-bit greyscale images, 24-bit images written as colour files. CMYK and
// YCCK files are converted to RGB, and a picture with an EXIF orientation is turned the right
// way up while it is decoded.
#pragma once
#include <memory>

#include "formats/bmp_io.h"

// The library's objects live in the .cpp file, so that its header (whose boolean type clashes
// with the platform's) stays out of every other file.
struct JpegCodec;

class JpegIOClass : public virtual BmpIOClass {
 public:
  JpegIOClass();
  ~JpegIOClass() override;

  bool OpenRead(const char* path) override;
  bool ReadHeader(DibImage* image) override;
  bool ReadBits(DibImage* image) override;
  int CloseRead() override;
  bool OpenWrite(const char* path) override;
  bool WriteHeader(const DibImage* image) override;
  bool WriteBits(const DibImage* image) override;
  int CloseWrite() override;

 private:
  // Each runs one step's library calls under the recovery point; false when the library failed
  // (everything of that direction is released then).
  bool CreateReader();
  bool ParseHeader();
  bool StartReading();
  bool ReadRows(DibImage* image);
  bool CreateWriter();
  bool SetWriteParameters(const DibImage* image);
  bool WriteRows(const DibImage* image);
  bool FinishWriting();
  // The checks between parsing the header and starting the decoder: the kinds of file taken and
  // the size; false (with the reason noted) when the file is refused.
  bool ChooseOutput();
  // Fills the image record from the started decoder.
  void DescribeImage(DibImage* image) const;
  // Destroys the libjpeg object of one direction and closes the file.
  void ReleaseReader();
  void ReleaseWriter();
  // Shows the refusal of the file being read with the reason noted, and releases the reader.
  void Refuse();

  std::unique_ptr<JpegCodec> codec_;
};
