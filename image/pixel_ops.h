// Pixel-format objects: one stateless class per bit depth, rooted at Dib24. An operation asks for
// the object of an image's depth, calls one of these virtual operations and deletes it again.
#pragma once
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "image/dib_image.h"

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};
// A malloc'd byte block (decoded run-length rows and the like).
using BitsPtr = std::unique_ptr<uint8_t, FreeDeleter>;

// A rectangle of an image, top counted from the top row.
struct CropRect {
  int32_t left, top, width, height;
};

// Commands understood by GrayOrSepia.
enum : int { kCmdGray = 109, kCmdSepia = 110 };

class Dib24 {
 public:
  virtual ~Dib24();
  // Fills the 24-bit dst (same size) from src; dst, or null when src cannot be decoded.
  virtual DibImage* ToDib24(const DibImage* src, DibImage* dst);
  virtual uint8_t* PixelAddress(const DibImage* image, int x, int y);
  virtual void MirrorHorizontal(const DibImage* src, DibImage* dst);
  virtual void FlipVertical(const DibImage* src, DibImage* dst);
  virtual void GrayOrSepia(DibImage* image, int command);
  virtual void Negative(DibImage* image);
  virtual std::unique_ptr<HistogramRecord> MakeHistogram(const DibImage* image);
  virtual void CopyRect(const DibImage* src, DibImage* dst, const CropRect& rect, int reencode);
  virtual void SetIndex(DibImage* image, int x, int y, int index);
};

class Dib32 : public Dib24 {
 public:
  DibImage* ToDib24(const DibImage* src, DibImage* dst) override;
  uint8_t* PixelAddress(const DibImage* image, int x, int y) override;
  void MirrorHorizontal(const DibImage* src, DibImage* dst) override;
  void FlipVertical(const DibImage* src, DibImage* dst) override;
  void GrayOrSepia(DibImage* image, int command) override;
  void Negative(DibImage* image) override;
  std::unique_ptr<HistogramRecord> MakeHistogram(const DibImage* image) override;
  void CopyRect(const DibImage* src, DibImage* dst, const CropRect& rect, int reencode) override;
};

class Dib16 : public Dib24 {
 public:
  DibImage* ToDib24(const DibImage* src, DibImage* dst) override;
  uint8_t* PixelAddress(const DibImage* image, int x, int y) override;
  void MirrorHorizontal(const DibImage* src, DibImage* dst) override;
  void FlipVertical(const DibImage* src, DibImage* dst) override;
  void GrayOrSepia(DibImage* image, int command) override;
  void Negative(DibImage* image) override;
  std::unique_ptr<HistogramRecord> MakeHistogram(const DibImage* image) override;
  void CopyRect(const DibImage* src, DibImage* dst, const CropRect& rect, int reencode) override;
};

class Dib8 : public Dib24 {
 public:
  DibImage* ToDib24(const DibImage* src, DibImage* dst) override;
  uint8_t* PixelAddress(const DibImage* image, int x, int y) override;
  void MirrorHorizontal(const DibImage* src, DibImage* dst) override;
  void FlipVertical(const DibImage* src, DibImage* dst) override;
  void GrayOrSepia(DibImage* image, int command) override;
  void Negative(DibImage* image) override;
  std::unique_ptr<HistogramRecord> MakeHistogram(const DibImage* image) override;
  void CopyRect(const DibImage* src, DibImage* dst, const CropRect& rect, int reencode) override;
  void SetIndex(DibImage* image, int x, int y, int index) override;
  // Converts the indexes in the rows at source_bits (the image's layout) to 24 bits in dst.
  virtual void IndexToDib24(const DibImage* src, DibImage* dst, const uint8_t* source_bits);
  // Decodes a run-length image into a new zero-filled height * stride block; null when malformed.
  virtual BitsPtr DecodeRle(const DibImage* image);
  // Address of pixel (x, y) inside a buffer laid out like the image's bits.
  virtual const uint8_t* PixelOffsetIn(const DibImage* image, const uint8_t* buffer, int x, int y);
};

class Dib4 : public Dib8 {
 public:
  DibImage* ToDib24(const DibImage* src, DibImage* dst) override;
  uint8_t* PixelAddress(const DibImage* image, int x, int y) override;
  void MirrorHorizontal(const DibImage* src, DibImage* dst) override;
  void FlipVertical(const DibImage* src, DibImage* dst) override;
  void CopyRect(const DibImage* src, DibImage* dst, const CropRect& rect, int reencode) override;
  void SetIndex(DibImage* image, int x, int y, int index) override;
  void IndexToDib24(const DibImage* src, DibImage* dst, const uint8_t* source_bits) override;
  BitsPtr DecodeRle(const DibImage* image) override;
  const uint8_t* PixelOffsetIn(const DibImage* image, const uint8_t* buffer, int x, int y) override;
  // Writes one byte per pixel (the index) into the 8-bit dst8; dst8, or null when undecodable.
  virtual DibImage* UnpackTo8(const DibImage* src, DibImage* dst8);
};

class Dib1 : public Dib4 {
 public:
  DibImage* ToDib24(const DibImage* src, DibImage* dst) override;
  uint8_t* PixelAddress(const DibImage* image, int x, int y) override;
  void MirrorHorizontal(const DibImage* src, DibImage* dst) override;
  void FlipVertical(const DibImage* src, DibImage* dst) override;
  void CopyRect(const DibImage* src, DibImage* dst, const CropRect& rect, int reencode) override;
  void SetIndex(DibImage* image, int x, int y, int index) override;
  DibImage* UnpackTo8(const DibImage* src, DibImage* dst8) override;
};

// The part of rect that lies inside both src and dst.
CropRect ClipRect(const DibImage* src, const DibImage* dst, const CropRect& rect);

// The object for a bit count (1, 4, 8, 16, 24, 32), or null for any other.
std::unique_ptr<Dib24> CreatePixelOpsForBits(int bit_count);

// Encodes the (uncompressed) rows of a 4- or 8-bit image as BI_RLE4 / BI_RLE8 in place.
// would not fit in height * stride bytes the image is left uncompressed (BI_RGB).
void EncodeRle(DibImage* image);

// Grey value of a blue, green, red triple.
inline int GreyLuma(int b, int g, int r) { return (306 * r + 600 * g + 117 * b) >> 10; }

// Channel layout of a 16- or 32-bit image: masks, shifts and the width of each field.
struct ChannelMasks {
  uint32_t mask[3];   // blue, green, red
  int shift[3];       // position of the lowest set bit (0 for an empty mask)
};
ChannelMasks MasksOf(const DibImage* image);
