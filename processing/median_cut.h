// The pieces of the reduction to 256, 16 or 2 colours: the census of an image's colours, the
// median cut that turns the census into a palette, and the search for the nearest palette entry.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "image/dib_image.h"

// A colour as the bytes of a 24-bit pixel read it: blue | green << 8 | red << 16.
inline uint32_t PackColour(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16;
}

// Colours with one value each (a pixel count, later a palette index) in an open-addressed table
// that doubles as colours arrive. Looking a colour up costs the same however many there are.
class ColourTable {
 public:
  static constexpr uint32_t kFree = 0xFFFFFFFF;  // no colour packs to this
  struct Slot {
    uint32_t colour;
    uint32_t value;
  };

  // The value of colour; a new colour is added with the value initial. Null when the table
  // could not grow (the memory message has been shown).
  uint32_t* Insert(uint32_t colour, uint32_t initial) {
    if (size_ >= limit_ && !Grow()) return nullptr;
    for (uint32_t i = Home(colour);; i = (i + 1) & mask_) {
      Slot& s = slots_[i];
      if (s.colour == colour) return &s.value;
      if (s.colour == kFree) {
        s = Slot{colour, initial};
        ++size_;
        return &s.value;
      }
    }
  }
  // The value of colour, or null when it is not in the table.
  uint32_t* Find(uint32_t colour) const {
    if (!slots_) return nullptr;
    for (uint32_t i = Home(colour);; i = (i + 1) & mask_) {
      Slot& s = slots_[i];
      if (s.colour == colour) return &s.value;
      if (s.colour == kFree) return nullptr;
    }
  }
  // Starts fetching the slot where a look-up of colour begins.
  void Prefetch(uint32_t colour) const {
    if (slots_) __builtin_prefetch(&slots_[Home(colour)]);
  }
  size_t size() const { return size_; }
  // Every slot, free ones (colour kFree) included.
  Slot* begin() const { return slots_.get(); }
  Slot* end() const { return slots_.get() + (slots_ ? mask_ + 1 : 0); }

 private:
  uint32_t Home(uint32_t colour) const { return (colour * 0x9E3779B1u) >> shift_; }
  bool Grow();

  std::unique_ptr<Slot[]> slots_;
  uint32_t mask_ = 0;
  int shift_ = 32;
  size_t size_ = 0, limit_ = 0;
};

// Counts every pixel of the 24-bit image w into table, with the progress window; returns the
// number of distinct colours, 0 when the table could not grow.
size_t CountColors(const DibImage* w, ColourTable* table);

// Median cut of a census into n (2..256) palette entries: the box with the most pixels is
// split at the pixel median of its widest channel until there are n boxes; each entry is its
// box's count-weighted mean, entries without a box stay black. Equal keys of a box's sort are
// ordered by the whole colour (red, green, blue), so the palette depends on the colours and
// counts only, not on the census's order. Shows the overflow box when no box of two colours is
// left before n. False when the census is empty or memory runs out.
bool MedianCutPalette(const ColourTable& census, int n, RGBQUAD* palette);

// The palette entry nearest to a colour in squared distance over all n entries (unused black
// ones included); the lowest index on equal distance. Colour space is cut into cells, and each
// cell met keeps the short list of entries that can be nearest to a colour inside it.
class NearestEntry {
 public:
  NearestEntry(const RGBQUAD* palette, int n);
  int operator()(uint32_t colour);

 private:
  static constexpr int kCellBits = 5;  // cells of 8 x 8 x 8 colours
  static constexpr uint32_t kCellsPerAxis = 1u << kCellBits, kCells = 1u << (3 * kCellBits);
  static constexpr uint32_t kUnbuilt = 0xFFFFFFFF;
  void BuildCell(uint32_t cell);

  int n_;
  int32_t entry_[3][256];             // blue, green, red of each entry
  std::vector<uint32_t> cell_first_;  // where a cell's list starts, kUnbuilt before its first use
  std::vector<uint16_t> cell_count_;
  std::vector<uint8_t> candidates_;  // the lists, entries in ascending order
};
