// Decoding of a Windows run-length stream (BI_RLE8, BI_RLE4) from any source of bytes: the
// image's own buffer, or a file read a block at a time, so that a stream longer than the
// bitmap needs no buffer of its own.
#pragma once
#include <cstddef>
#include <cstdint>

struct RleLayout {
  int width, height;
  size_t stride;  // bytes per decoded row
  int bpp;        // 8 or 4
};

// Decodes the stream that source gives (its Next() returns the next byte, or -1 where the data
// ends) into the zero-filled height * stride block dst, rows in memory order (bottom row first).
// With dst null the stream is only followed: checked, and its bytes taken. Every write is
// clipped to its row and to the block; the data ending early leaves the rest as it is. Returns
// false for a malformed stream (an encoded run that starts at or beyond the row's end).
template <class Source>
bool DecodeRleStream(Source& source, const RleLayout& g, uint8_t* dst) {
  const bool four = g.bpp == 4;
  int x = 0, y = 0;
  auto put = [&](int px, int v) {
    if (!dst || px >= g.width) return;
    uint8_t* row = dst + static_cast<size_t>(y) * g.stride;
    if (!four) {
      row[px] = static_cast<uint8_t>(v);
    } else {
      uint8_t& b = row[px >> 1];
      b = (px & 1) ? static_cast<uint8_t>((b & 0xF0) | (v & 0x0F)) : static_cast<uint8_t>((b & 0x0F) | ((v & 0x0F) << 4));
    }
  };
  while (y < g.height) {
    const int count = source.Next();
    const int value = source.Next();
    if (count < 0 || value < 0) break;
    if (count > 0) {  // encoded run
      if (x >= g.width) return false;
      const int end = x + count < g.width ? x + count : g.width;
      for (int i = 0; x + i < end; ++i) put(x + i, four ? ((i & 1) ? (value & 0x0F) : (value >> 4)) : value);
      x += count;
      continue;
    }
    if (value == 0) {  // end of row
      x = 0;
      ++y;
    } else if (value == 1) {  // end of bitmap
      break;
    } else if (value == 2) {  // delta: right and up
      const int dx = source.Next(), dy = source.Next();
      if (dx < 0 || dy < 0) break;
      x += dx;
      y += dy;
    } else {  // absolute stretch of value pixels, padded to a whole number of words
      const int bytes = four ? (value + 1) / 2 : value;
      int b = 0;
      for (int i = 0; i < bytes; ++i) {
        if ((b = source.Next()) < 0) return true;
        if (four) {
          put(x++, b >> 4);
          if (2 * i + 1 < value) put(x++, b & 0x0F);
        } else {
          put(x++, b);
        }
      }
      if (bytes & 1) source.Next();
    }
    if (x > (1 << 30)) x = 1 << 30;  // deltas cannot carry x anywhere past int
  }
  return true;
}

// A source over a block of memory.
struct RleMemorySource {
  const uint8_t* data;
  size_t size, pos = 0;
  int Next() { return pos < size ? data[pos++] : -1; }
};
