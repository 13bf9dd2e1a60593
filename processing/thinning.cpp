// Thinning: non-black areas reduced to white lines one pixel wide on black. Passes over the
// picture delete the object pixels that can go without breaking a shape apart, each deletion
// seen at once by the pixels after it, until a pass deletes nothing.
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

#include "processing/distortion_helpers.h"
#include "processing/filter.h"

namespace {

// The deletion rule on the eight neighbours east, north-east, north, north-west, west,
// south-west, south, south-east (north is the row above).
bool DeletableAmong(const int v[8]) {
  if (v[0] + v[2] + v[4] + v[6] == 4) return false;  // inside: all four direct neighbours are object
  int magnitude[8], sum = 0;
  bool unmarked = false;
  for (int k = 0; k < 8; ++k) {
    magnitude[k] = v[k] < 0 ? -v[k] : v[k];
    sum += magnitude[k];
    unmarked = unmarked || v[k] == 1;
  }
  if (sum < 2 || !unmarked || ConnectivityNumber(magnitude) != 1) return false;
  // A line two pixels wide keeps one of them: the connectivity stays 1 without each neighbour
  // deleted earlier in this pass, taken away one at a time. (Taking all of them away at once
  // lets a pass eat a filled area down to a single point instead of its middle line.)
  for (int k = 0; k < 8; ++k) {
    if (v[k] != -1) continue;
    magnitude[k] = 0;
    const bool connected = ConnectivityNumber(magnitude) == 1;
    magnitude[k] = 1;
    if (!connected) return false;
  }
  return true;
}

// Neighbours of the cell c in a map of row stride s, in the rule's order.
inline void Neighbours(const int8_t* c, ptrdiff_t s, int v[8]) {
  const int n[8] = {c[1], c[1 - s], c[-s], c[-1 - s], c[-1], c[-1 + s], c[s], c[1 + s]};
  std::copy(n, n + 8, v);
}

// The rule for every neighbourhood, indexed by two bits a neighbour (its value's low bits).
class DeletionTable {
 public:
  DeletionTable() : deletable_(new (std::nothrow) uint8_t[1 << 16]) {
    if (!deletable_) return;
    for (int code = 0; code < 6561; ++code) {  // every combination of -1, 0, 1
      int v[8], rest = code;
      for (int k = 0; k < 8; ++k, rest /= 3) v[k] = rest % 3 - 1;
      deletable_[Key(v)] = DeletableAmong(v);
    }
  }
  bool ok() const { return deletable_ != nullptr; }
  bool At(const int8_t* c, ptrdiff_t s) const {
    int v[8];
    Neighbours(c, s, v);
    return deletable_[Key(v)] != 0;
  }

 private:
  static unsigned Key(const int v[8]) {
    unsigned key = 0;
    for (int k = 0; k < 8; ++k) key |= (static_cast<unsigned>(v[k]) & 3u) << (2 * k);
    return key;
  }
  std::unique_ptr<uint8_t[]> deletable_;
};

// The increasing indexes of `from`, each moved by offset, whose cells are object cells.
void ObjectCellsBeside(const int8_t* cells, const std::vector<uint32_t>& from, ptrdiff_t offset,
                       std::vector<uint32_t>* out) {
  out->clear();
  for (uint32_t i : from)
    if (cells[i + offset] == 1) out->push_back(static_cast<uint32_t>(i + offset));
}

// Deletes pixels pass after pass until a pass deletes nothing. A pass visits the picture row by
// row, left to right, but only an object cell with a direct neighbour that is not object can be
// deleted, so a pass visits just those: the border as the pass began, and the cells whose west
// or north neighbour the pass has just deleted. The result is that of visiting every cell.
void Peel(int8_t* cells, int w, int h, ptrdiff_t s, const DeletionTable& rule) {
  std::vector<uint32_t> border, south, visited, deleted, up, left, merged;
  for (int y = 1; y <= h; ++y)
    for (int x = 1; x <= w; ++x) {
      const int8_t* c = cells + y * s + x;
      if (*c == 1 && (c[1] != 1 || c[-1] != 1 || c[s] != 1 || c[-s] != 1))
        border.push_back(static_cast<uint32_t>(c - cells));
    }
  for (;;) {
    // Border and the cells below deletions, merged in increasing order (an index may come twice);
    // the cell east of a deletion is the next one visited.
    south.clear(), visited.clear(), deleted.clear();
    int64_t last = -1;
    size_t b = 0, q = 0;
    for (;;) {
      uint32_t i;
      if (b < border.size() && (q == south.size() || border[b] <= south[q])) {
        i = border[b++];
      } else if (q < south.size()) {
        i = south[q++];
      } else {
        break;
      }
      for (; static_cast<int64_t>(i) > last && cells[i] == 1; ++i) {
        last = i;
        visited.push_back(i);
        if (!rule.At(cells + i, s)) break;
        cells[i] = -1;
        deleted.push_back(i);
        if (cells[i + s] == 1) south.push_back(static_cast<uint32_t>(i + s));
      }
    }
    if (deleted.empty()) return;
    for (uint32_t i : deleted) cells[i] = 0;
    // The next border: the cells visited that are left, and the object cells west of and above a
    // deletion (those east of and below one were visited). An index twice does no harm.
    visited.erase(std::remove_if(visited.begin(), visited.end(), [&](uint32_t i) { return cells[i] != 1; }),
                  visited.end());
    ObjectCellsBeside(cells, deleted, -s, &up);
    ObjectCellsBeside(cells, deleted, -1, &left);
    merged.resize(up.size() + left.size());
    std::merge(up.begin(), up.end(), left.begin(), left.end(), merged.begin());
    border.resize(merged.size() + visited.size());
    std::merge(merged.begin(), merged.end(), visited.begin(), visited.end(), border.begin());
  }
}

struct FreeCells {
  void operator()(int8_t* p) const { std::free(p); }
};

}  // namespace

int ConnectivityNumber(const int a[8]) {
  int n = 0;
  for (int k = 0; k < 8; k += 2) n += a[k] - a[k] * a[(k + 1) % 8] * a[(k + 2) % 8];
  return n;
}

bool IsDeletable(const ThinningMap& map, int x, int y) {
  int v[8];
  Neighbours(map.Cell(x, y), map.stride, v);
  return DeletableAmong(v);
}

DibImage* Filter::Thin(const DibImage* image) {
  DistortionInput source(*this, image);
  const DibImage* src = source.get();
  if (!src) return nullptr;
  const int w = Width(src), h = Height(src);
  const ptrdiff_t s = static_cast<ptrdiff_t>(w) + 2;
  const uint64_t cell_count = static_cast<uint64_t>(s) * (static_cast<uint64_t>(h) + 2);
  if (cell_count > UINT32_MAX) return nullptr;  // cell indexes are 32-bit
  const DeletionTable rule;
  // The map starts as background with its frame; every pixel with any channel above 0 is object.
  std::unique_ptr<int8_t, FreeCells> map(static_cast<int8_t*>(std::calloc(static_cast<size_t>(cell_count), 1)));
  if (!map || !rule.ok()) return nullptr;
  int8_t* cells = map.get();
  for (int y = 0; y < h; ++y) {
    const uint8_t* p = RowAddress(src, y);
    int8_t* c = cells + (y + 1) * s + 1;
    for (int x = 0; x < w; ++x, p += 3) c[x] = (p[0] | p[1] | p[2]) != 0;
  }
  // Thinning again from the result would start from the map the last pass left unchanged, and
  // delete nothing more: one round gives the final lines.
  try {
    Peel(cells, w, h, s, rule);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  ImagePtr result(source.TakeCopyOrBlank(*this));
  if (!result) return nullptr;
  for (int y = 0; y < h; ++y) {
    uint8_t* d = RowAddress(result.get(), y);
    const int8_t* c = cells + (y + 1) * s + 1;
    for (int x = 0; x < w; ++x, d += 3) d[0] = d[1] = d[2] = c[x] == 1 ? 255 : 0;
  }
  return result.release();
}
