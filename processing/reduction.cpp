// Colour reduction to a palette image: median cut to 256, 16 or 2 colours, and ordered
// dithering to 256 colours.
#include <cstring>
#include <vector>

#include "base/messages.h"
#include "processing/filter.h"
#include "processing/median_cut.h"
#include "processing/true_colour_work.h"

namespace {

inline RGBQUAD QuadOf(uint32_t colour) {
  return RGBQUAD{static_cast<BYTE>(colour), static_cast<BYTE>(colour >> 8), static_cast<BYTE>(colour >> 16), 0};
}

// Writes one row of palette indexes into a row of a 1-, 4- or 8-bit image, leftmost pixel in
// the high bits, the bits after the last pixel 0.
void PutIndexRow(const uint8_t* index, int width, int bpp, uint8_t* row) {
  if (bpp == 8) {
    std::memcpy(row, index, static_cast<size_t>(width));
  } else if (bpp == 4) {
    int x = 0;
    for (; x + 1 < width; x += 2) *row++ = static_cast<uint8_t>(index[x] << 4 | (index[x + 1] & 15));
    if (x < width) *row = static_cast<uint8_t>(index[x] << 4);
  } else {
    for (int x = 0; x < width; x += 8) {
      uint8_t byte = 0;
      for (int b = 0; b < 8 && x + b < width; ++b) byte = static_cast<uint8_t>(byte | (index[x + b] & 1) << (7 - b));
      *row++ = byte;
    }
  }
}

// Stores index_of(colour) for every pixel of the 24-bit w in the palette image p, rows from the
// top, left to right. index_of returns a negative value to give up (false). A table behind it
// has its slots fetched a few pixels ahead.
template <class IndexOf>
bool MapPixels(const DibImage* w, DibImage* p, IndexOf index_of, const ColourTable* table) {
  constexpr int kAhead = 16;
  const int width = Width(w), height = Height(w), bpp = BitCount(p);
  std::vector<uint8_t> line(bpp == 8 ? 0 : static_cast<size_t>(width));
  for (int y = 0; y < height; ++y) {
    const uint8_t* s = RowAddress(w, y);
    uint8_t* d = bpp == 8 ? RowAddress(p, y) : line.data();
    uint32_t run_colour = ColourTable::kFree;
    int run_index = 0;
    for (int x = 0; x < width; ++x, s += 3) {
      const uint32_t c = PackColour(s);
      if (x + kAhead < width) table->Prefetch(PackColour(s + 3 * kAhead));
      if (c != run_colour) {
        run_index = index_of(c);
        if (run_index < 0) return false;
        run_colour = c;
      }
      d[x] = static_cast<uint8_t>(run_index);
    }
    if (bpp != 8) PutIndexRow(line.data(), width, bpp, RowAddress(p, y));
  }
  return true;
}

enum class Exact { kMapped, kTooManyColours, kFailed };

// Every colour the entry of its own, in order of first appearance (a palette search that adds
// what it does not find), looked up through a table of the colours met so far.
Exact MapExact(const DibImage* w, DibImage* p) {
  ColourTable seen;
  RGBQUAD* palette = Palette(p);
  const uint32_t entries = p->colours;
  uint32_t used = 0;
  Exact outcome = Exact::kMapped;
  auto find_or_add = [&](uint32_t c) {
    uint32_t* index = seen.Insert(c, ColourTable::kFree);
    if (!index) {
      outcome = Exact::kFailed;
      return -1;
    }
    if (*index == ColourTable::kFree) {
      if (used == entries) {
        outcome = Exact::kTooManyColours;
        return -1;
      }
      palette[used] = QuadOf(c);
      *index = used++;
    }
    return static_cast<int>(*index);
  };
  MapPixels(w, p, find_or_add, &seen);
  return outcome;
}

// Every colour the nearest palette entry, worked out once per distinct colour of the census.
void MapNearest(const DibImage* w, DibImage* p, ColourTable* census) {
  NearestEntry nearest(Palette(p), p->colours);
  for (ColourTable::Slot& s : *census)
    if (s.colour != ColourTable::kFree) s.value = static_cast<uint32_t>(nearest(s.colour));
  auto cached = [&](uint32_t c) {
    const uint32_t* index = census->Find(c);
    return index ? static_cast<int>(*index) : nearest(c);
  };
  MapPixels(w, p, cached, census);
}

}  // namespace

DibImage* Filter::ReduceColors(const DibImage* image, int command) {
  int entries, enough_bits;
  switch (command) {
    case 168: entries = 256, enough_bits = 8; break;
    case 169: entries = 16, enough_bits = 4; break;
    case 170: entries = 2, enough_bits = 1; break;
    default: return nullptr;
  }
  if (image_count_ == 0 || !image) return nullptr;
  if (BitCount(image) <= enough_bits) {
    Channel().Message(MessageText(kMsgNoReduction), "Information", MB_ICONINFORMATION, false);
    return nullptr;
  }
  TrueColorSource w;  // a 24-bit image as it is, any other depth as a copy
  ImagePtr result;
  // Greys to 256 and pure components to 2 keep their own colours, without a question. A
  // two-level picture can hold up to eight colours (red on white ...) and a 16-bit one passes
  // the tests with more: then the table is too small and the reduction takes the ordinary road.
  if ((command == 168 && IsGrayImage(image)) || (command == 170 && IsTwoLevelImage(image))) {
    if (!w.Make(*this, image)) return nullptr;
    result.reset(MakePaletteImage(w.get(), entries));
    if (!result) return nullptr;
    const Exact exact = MapExact(w.get(), result.get());
    if (exact == Exact::kMapped) return result.release();
    if (exact == Exact::kFailed) return nullptr;
    std::memset(Palette(result.get()), 0, sizeof(RGBQUAD) * static_cast<size_t>(entries));
  }
  if (AskQuestion(MessageText(kMsgTakesTime), true) != IDOK) return nullptr;
  if (!w.get() && !w.Make(*this, image)) return nullptr;
  if (!result) result.reset(MakePaletteImage(w.get(), entries));
  if (!result) return nullptr;
  ColourTable census;
  if (CountColors(w.get(), &census) == 0) return nullptr;
  if (!MedianCutPalette(census, entries, Palette(result.get()))) return nullptr;
  MapNearest(w.get(), result.get(), &census);
  return result.release();
}

namespace {

// Remainders (0..63) of the eight levels, for the input values 0..255. The rows (lengths 36 and
// 37 by turns) split the values where the levels do, except at 218: its remainder is the last
// of the row before, and value 64 has 39 where 49 would continue the run.
constexpr uint8_t kRemainder[] = {
    // 0..35
    0, 2, 4, 6, 8, 10, 12, 14, 15, 17, 19, 21, 22, 24, 26, 28, 29, 31, 33, 35, 36, 38, 40, 42, 43, 45, 47, 49,
    50, 52, 54, 56, 57, 59, 61, 63,
    // 36..72
    0, 2, 4, 5, 7, 9, 11, 12, 14, 16, 18, 19, 21, 23, 25, 26, 28, 30, 32, 33, 35, 37, 39, 40, 42, 44, 46, 47,
    39, 51, 53, 54, 56, 58, 60, 61, 63,
    // 73..108
    1, 3, 4, 6, 8, 10, 11, 13, 15, 17, 18, 20, 22, 24, 25, 27, 29, 31, 32, 34, 36, 38, 39, 41, 43, 45, 46, 48,
    50, 52, 53, 55, 57, 59, 60, 62,
    // 109..145
    0, 2, 3, 5, 7, 9, 10, 12, 14, 16, 17, 19, 21, 23, 24, 26, 28, 30, 31, 33, 35, 37, 38, 40, 42, 44, 45, 47,
    49, 51, 52, 54, 56, 58, 59, 61, 63,
    // 146..181
    1, 2, 4, 6, 8, 9, 11, 13, 15, 16, 18, 20, 22, 23, 25, 27, 29, 30, 32, 34, 36, 37, 39, 41, 43, 44, 46, 48,
    50, 51, 53, 55, 57, 58, 60, 62,
    // 182..218
    0, 1, 3, 5, 7, 8, 10, 12, 14, 15, 17, 19, 21, 22, 24, 26, 28, 29, 31, 33, 35, 36, 38, 40, 42, 43, 45, 47,
    49, 50, 52, 54, 56, 57, 59, 61, 63,
    // 219..254
    0, 2, 4, 6, 7, 9, 11, 13, 14, 16, 18, 20, 21, 23, 25, 27, 28, 30, 32, 34, 35, 37, 39, 41, 42, 44, 46, 48,
    49, 51, 53, 55, 56, 58, 60, 62,
    // 255
    0};
static_assert(sizeof kRemainder == 256, "one remainder per input value");

// The 8 x 8 threshold matrix, row by row.
constexpr uint8_t kThreshold[] = {
    0,  32, 8,  40, 2,  34, 10, 42,  //
    48, 16, 56, 24, 50, 18, 58, 26,  //
    12, 44, 4,  36, 14, 46, 6,  38,  //
    60, 28, 52, 20, 62, 30, 54, 22,  //
    3,  35, 11, 43, 1,  33, 9,  41,  //
    51, 19, 59, 27, 49, 17, 57, 25,  //
    15, 47, 7,  39, 13, 45, 5,  37,  //
    63, 31, 55, 23, 61, 29, 53, 21};
static_assert(sizeof kThreshold == 64, "an 8 x 8 matrix");

// The level (0..7) of an input value: the first value of each level is listed.
int Level(int v) {
  static constexpr int kFirst[8] = {0, 36, 73, 109, 146, 182, 218, 255};
  int level = 0;
  while (level < 7 && v >= kFirst[level + 1]) ++level;
  return level;
}

// Output levels per matrix position and input value: green and red take level + (remainder
// above threshold), steps of 32; blue the same of the value scaled to 0..109, steps of 64.
struct DitherLevels {
  uint8_t blue[64][256];
  uint8_t green_red[64][256];
  DitherLevels() {
    for (int v = 0; v < 256; ++v) {
      const int j = v * 109 / 255;
      for (int p = 0; p < 64; ++p) {
        green_red[p][v] = static_cast<uint8_t>(Level(v) + (kRemainder[v] > kThreshold[p] ? 1 : 0));
        blue[p][v] = static_cast<uint8_t>(Level(j) + (kRemainder[j] > kThreshold[p] ? 1 : 0));
      }
    }
  }
};

}  // namespace

DibImage* Filter::DitherTo256(const DibImage* image, int) {
  if (image_count_ == 0 || !image) return nullptr;
  TrueColorSource w;  // a 24-bit image as it is, any other depth as a copy
  if (!w.Make(*this, image)) return nullptr;
  ImagePtr result(MakePaletteImage(w.get(), 256));
  if (!result) return nullptr;
  const std::unique_ptr<DitherLevels> levels(CreateObject<DitherLevels>());
  // A dithered pixel is one of 4 x 8 x 8 colours: blue level | green level << 2 | red level << 5
  // names it, and the entry it got when it first appeared is kept under that name.
  int16_t entry_of[256];
  std::memset(entry_of, 0xFF, sizeof entry_of);
  RGBQUAD* palette = Palette(result.get());
  int used = 0;
  const int width = Width(w.get()), height = Height(w.get());
  for (int y = 0; y < height; ++y) {
    const uint8_t* s = RowAddress(w.get(), y);
    uint8_t* d = RowAddress(result.get(), y);
    const int row = 8 * (y & 7);
    for (int x = 0; x < width; ++x, s += 3) {
      const int p = row + (x & 7);
      const int key = levels->blue[p][s[0]] | levels->green_red[p][s[1]] << 2 | levels->green_red[p][s[2]] << 5;
      int entry = entry_of[key];
      if (entry < 0) {
        entry = entry_of[key] = static_cast<int16_t>(used++);
        palette[entry] = RGBQUAD{static_cast<BYTE>((key & 3) * 64), static_cast<BYTE>((key >> 2 & 7) * 32),
                                 static_cast<BYTE>((key >> 5) * 32), 0};
      }
      d[x] = static_cast<uint8_t>(entry);
    }
  }
  return result.release();
}
