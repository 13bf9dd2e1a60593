#include "formats/exif.h"

namespace {

constexpr uint16_t kOrientationTag = 0x0112;
constexpr size_t kEntryBytes = 12;

struct TiffReader {
  const uint8_t* p;
  bool big_endian;
  uint16_t U16(size_t at) const {
    return static_cast<uint16_t>(big_endian ? (p[at] << 8) | p[at + 1] : p[at] | (p[at + 1] << 8));
  }
  uint32_t U32(size_t at) const {
    const uint32_t a = U16(at), b = U16(at + 2);
    return big_endian ? (a << 16) | b : (b << 16) | a;
  }
};

}  // namespace

int ExifOrientation(const uint8_t* tiff, size_t size) {
  if (!tiff || size < 8) return 0;
  TiffReader r{tiff, tiff[0] == 'M'};
  if (!((tiff[0] == 'I' && tiff[1] == 'I') || (tiff[0] == 'M' && tiff[1] == 'M')) || r.U16(2) != 42) return 0;
  const uint32_t ifd = r.U32(4);
  if (ifd > size || size - ifd < 2) return 0;
  // Entries that do not fit whole in the block (a count larger than the block allows) are not read.
  const size_t fitting = (size - ifd - 2) / kEntryBytes;
  const size_t count = r.U16(ifd) < fitting ? r.U16(ifd) : fitting;
  for (size_t i = 0; i < count; ++i) {
    const size_t entry = ifd + 2 + i * kEntryBytes;
    if (r.U16(entry) != kOrientationTag) continue;
    // The tag is a SHORT; writers that store another integer type are taken as well. A single
    // value sits at the start of the value field.
    if (r.U32(entry + 4) == 0) return 0;
    uint32_t value;
    switch (r.U16(entry + 2)) {
      case 1: case 6: value = tiff[entry + 8]; break;        // BYTE, SBYTE
      case 3: case 8: value = r.U16(entry + 8); break;       // SHORT, SSHORT
      case 4: case 9: value = r.U32(entry + 8); break;       // LONG, SLONG
      default: return 0;
    }
    return value >= 1 && value <= 8 ? static_cast<int>(value) : 0;
  }
  return 0;
}
