// Colour census, median cut and nearest-entry search of the reduction to 256, 16 or 2 colours.
#include "processing/median_cut.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

#include "base/messages.h"

bool ColourTable::Grow() {
  const uint32_t capacity = slots_ ? 2 * (mask_ + 1) : 4096;
  std::unique_ptr<Slot[]> grown(new (std::nothrow) Slot[capacity]);
  if (!grown) {
    ShowError(kMsgNoMemory);
    return false;
  }
  std::memset(static_cast<void*>(grown.get()), 0xFF, sizeof(Slot) * capacity);
  const uint32_t old_capacity = slots_ ? mask_ + 1 : 0;
  std::unique_ptr<Slot[]> old = std::move(slots_);
  slots_ = std::move(grown);
  mask_ = capacity - 1;
  shift_ = 32;
  for (uint32_t c = capacity; c > 1; c >>= 1) --shift_;
  limit_ = capacity / 10 * 7;
  for (uint32_t j = 0; j < old_capacity; ++j) {
    if (old[j].colour == kFree) continue;
    uint32_t i = Home(old[j].colour);
    while (slots_[i].colour != kFree) i = (i + 1) & mask_;
    slots_[i] = old[j];
  }
  return true;
}

size_t CountColors(const DibImage* w, ColourTable* table) {
  constexpr int kAhead = 16;  // pixels between the fetch of a slot and its use
  Progress progress(kProgressHashing);
  const int width = Width(w), height = Height(w);
  for (int y = 0; y < height; ++y) {
    progress.Step(y, height);
    const uint8_t* p = RowAddress(w, y);
    // Runs of one colour are common (flat areas, scans): they cost one look-up.
    uint32_t run_colour = ColourTable::kFree;
    uint32_t* run_count = nullptr;
    for (int x = 0; x < width; ++x, p += 3) {
      const uint32_t c = PackColour(p);
      if (x + kAhead < width) table->Prefetch(PackColour(p + 3 * kAhead));
      if (c != run_colour) {
        run_count = table->Insert(c, 0);
        if (!run_count) return 0;
        run_colour = c;
      }
      ++*run_count;
    }
  }
  return table->size();
}

namespace {

struct Entry {
  uint32_t colour;  // as PackColour: also red, green, blue in order of significance
  uint32_t count;
};

struct Box {
  size_t first, colours;
  uint64_t pixels;
};

inline int Channel(uint32_t colour, int shift) { return static_cast<int>((colour >> shift) & 255); }

// Splits box: its entries in descending order of the widest channel (red, then blue, then
// green on equal ranges), the first ones up to the pixel median stay, the rest go to fresh.
// Only the entries of the median's channel value need an order among themselves, so the box is
// partitioned around that value and just those are sorted.
void SplitBox(Entry* entries, Box* box, Box* fresh) {
  Entry* e = entries + box->first;
  const size_t n = box->colours;
  int lo[3] = {255, 255, 255}, hi[3] = {0, 0, 0};
  for (size_t i = 0; i < n; ++i)
    for (int c = 0; c < 3; ++c) {
      const int v = Channel(e[i].colour, 8 * c);
      lo[c] = std::min(lo[c], v);
      hi[c] = std::max(hi[c], v);
    }
  const int range_b = hi[0] - lo[0], range_g = hi[1] - lo[1], range_r = hi[2] - lo[2];
  const int shift = range_r >= range_g && range_r >= range_b ? 16 : range_b > range_g ? 0 : 8;

  uint64_t by_value[256] = {};
  for (size_t i = 0; i < n; ++i) by_value[Channel(e[i].colour, shift)] += e[i].count;
  const uint64_t half = box->pixels / 2;
  uint64_t before = 0;  // pixels of the values above v
  int v = 255;
  while (v > 0 && before + by_value[v] < half) before += by_value[v--];

  // [0, above): channel above v; [above, below): equal to v; [below, n): under v.
  size_t above = 0, i = 0, below = n;
  while (i < below) {
    const int value = Channel(e[i].colour, shift);
    if (value > v)
      std::swap(e[above++], e[i++]);
    else if (value < v)
      std::swap(e[i], e[--below]);
    else
      ++i;
  }
  std::sort(e + above, e + below, [](const Entry& a, const Entry& b) { return a.colour > b.colour; });

  size_t k = above;
  uint64_t a = before;
  while (k < n - 1 && (k == 0 || a < half)) a += e[k++].count;
  *fresh = Box{box->first + k, n - k, box->pixels - a};
  box->colours = k;
  box->pixels = a;
}

}  // namespace

bool MedianCutPalette(const ColourTable& census, int n, RGBQUAD* palette) {
  const size_t count = census.size();
  if (count == 0 || n < 1 || n > 256) return false;
  std::unique_ptr<Entry[]> entries(new (std::nothrow) Entry[count]);
  if (!entries) {
    ShowError(kMsgNoMemory);
    return false;
  }
  size_t d = 0;
  uint64_t total = 0;
  for (const ColourTable::Slot& s : census) {
    if (s.colour == ColourTable::kFree) continue;
    entries[d++] = Entry{s.colour, s.value};
    total += s.value;
  }

  std::vector<Box> boxes;
  boxes.reserve(static_cast<size_t>(n));
  boxes.push_back(Box{0, d, total});
  {
    Progress progress(kProgressMedianCut);
    while (static_cast<int>(boxes.size()) < n) {
      progress.Step(static_cast<int>(boxes.size()), n);
      Box* fullest = nullptr;
      for (Box& b : boxes)
        if (b.colours >= 2 && (!fullest || b.pixels > fullest->pixels)) fullest = &b;
      if (!fullest) {
        ShowError(kMsgColourOverflow);
        break;
      }
      Box fresh;
      SplitBox(entries.get(), fullest, &fresh);
      boxes.push_back(fresh);
    }
  }

  for (size_t i = 0; i < boxes.size(); ++i) {
    uint64_t sum[3] = {}, pixels = 0;
    const Entry* e = entries.get() + boxes[i].first;
    for (size_t j = 0; j < boxes[i].colours; ++j) {
      for (int c = 0; c < 3; ++c) sum[c] += static_cast<uint64_t>(Channel(e[j].colour, 8 * c)) * e[j].count;
      pixels += e[j].count;
    }
    pixels = std::max<uint64_t>(pixels, 1);
    palette[i] = RGBQUAD{static_cast<BYTE>(sum[0] / pixels), static_cast<BYTE>(sum[1] / pixels),
                         static_cast<BYTE>(sum[2] / pixels), 0};
  }
  return true;
}

NearestEntry::NearestEntry(const RGBQUAD* palette, int n)
    : n_(std::max(1, std::min(n, 256))), cell_first_(kCells, kUnbuilt), cell_count_(kCells, 0) {
  for (int i = 0; i < n_; ++i) {
    entry_[0][i] = palette[i].rgbBlue;
    entry_[1][i] = palette[i].rgbGreen;
    entry_[2][i] = palette[i].rgbRed;
  }
}

// The entries that can be nearest to some colour of a cell: every entry whose least distance to
// the cell is within the smallest greatest distance of any entry to it. The nearest entry of
// any colour of the cell, and any entry as near, is among them.
void NearestEntry::BuildCell(uint32_t cell) {
  int lo[3], hi[3];
  for (int c = 0; c < 3; ++c) {
    lo[c] = static_cast<int>(cell >> (kCellBits * c) & (kCellsPerAxis - 1)) << (8 - kCellBits);
    hi[c] = lo[c] + (1 << (8 - kCellBits)) - 1;
  }
  int32_t least[256];
  int32_t bound = 1 << 30;
  for (int i = 0; i < n_; ++i) {
    int32_t l = 0, m = 0;
    for (int c = 0; c < 3; ++c) {
      const int32_t v = entry_[c][i];
      const int32_t closest = std::max(0, std::max(lo[c] - v, v - hi[c]));
      const int32_t farthest = std::max(std::abs(v - lo[c]), std::abs(v - hi[c]));
      l += closest * closest;
      m += farthest * farthest;
    }
    least[i] = l;
    bound = std::min(bound, m);
  }
  cell_first_[cell] = static_cast<uint32_t>(candidates_.size());
  for (int i = 0; i < n_; ++i)
    if (least[i] <= bound) candidates_.push_back(static_cast<uint8_t>(i));
  cell_count_[cell] = static_cast<uint16_t>(candidates_.size() - cell_first_[cell]);
}

int NearestEntry::operator()(uint32_t colour) {
  const uint32_t shift = 8 - kCellBits, mask = kCellsPerAxis - 1;
  const uint32_t cell = (colour >> shift & mask) | (colour >> (8 + shift) & mask) << kCellBits |
                        (colour >> (16 + shift) & mask) << (2 * kCellBits);
  if (cell_first_[cell] == kUnbuilt) BuildCell(cell);
  const int32_t b = Channel(colour, 0), g = Channel(colour, 8), r = Channel(colour, 16);
  const uint8_t* list = candidates_.data() + cell_first_[cell];
  int best = 1 << 30, best_index = 0;
  for (int k = 0, count = cell_count_[cell]; k < count; ++k) {  // ascending index: ties keep the lower
    const int i = list[k];
    const int32_t db = entry_[0][i] - b, dg = entry_[1][i] - g, dr = entry_[2][i] - r;
    const int32_t d = db * db + dg * dg + dr * dr;
    if (d < best) best = d, best_index = i;
  }
  return best_index;
}
