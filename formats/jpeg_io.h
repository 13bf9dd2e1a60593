// JPEG files through libjpeg (the version 62 interface): baseline and progressive files read
// into 24-bit colour or 8-bit greyscale images, 24-bit images written as colour files. CMYK and
// YCCK files are converted to RGB, and a picture with an EXIF orientation is turned the right
// way up while it is decoded.
#pragma once
#include <cstdint>
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

  // For thumbnails: set before ReadHeader, the picture is decoded at the largest of the library's
  // reductions (1/2, 1/4, 1/8) that still gives at least as many pixels as the thumbnail of the
  // box needs (width or height at least the reduction times the box's on one axis), which spares
  // most of the decoding work of a large photo. 0 x 0, the default, decodes at full size.
  void SetThumbnailBox(int width, int height);
  // The word of the DC decoder's bit reader (64 or 32 bits; by default the program's own width).
  void SetDcWordBits(int bits);
  // The picture's size at full scale, turned as the image is; valid after ReadHeader succeeded
  // (the image read may be a reduction of it).
  int full_width() const { return full_width_; }
  int full_height() const { return full_height_; }

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
  // For a thumbnail at an eighth of the size, reads the first scan with the DC decoder when the
  // file is of its kind (dc_only is set then). When the attempt took part of the file and failed,
  // the library reads it again from its start; false only when that failed.
  bool TryDcScan();
  // Parses the file again from its first byte, as OpenRead and ReadHeader did.
  bool ReadFromStart();
  // Fills the image record from the started decoder.
  void DescribeImage(DibImage* image) const;
  // Destroys the libjpeg object of one direction and closes the file.
  void ReleaseReader();
  void ReleaseWriter();
  // Shows the refusal of the file being read with the reason noted, and releases the reader.
  void Refuse();

  std::unique_ptr<JpegCodec> codec_;
  int box_width_ = 0, box_height_ = 0;
  int full_width_ = 0, full_height_ = 0;
};

// The denominator of the library's reduction for a thumbnail of a width x height picture (its
// turned size) in a box: the largest of 8, 4 and 2 with width >= d x box width or height >= d x
// box height, else 1. The thumbnail rule divides such a picture by at least d + 0.5, so the
// reduced picture is never smaller than its thumbnail.
int ThumbnailReduction(int64_t width, int64_t height, int box_width, int box_height);
