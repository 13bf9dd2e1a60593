// Shrinking by area average: every destination pixel is the weighted mean of the source cells
// its window covers, the weights being the covered areas.
//
// The windows of the columns are the same on every row and those of the rows the same in every
// column, so their weights are tabled once; each pixel then multiplies the same two factors
// and adds the products in the same order (rows, then columns within a row) as SampleArea, so
// the sums and the rounded bytes are the same to the last bit.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "base/messages.h"
#include "document/resample.h"

namespace {

// The share of cell i that the window a0..a1 covers along one axis.
inline double Overlap(int64_t i, double a0, double a1) {
  const double d = static_cast<double>(i);
  return std::min(d + 1, a1) - std::max(d, a0);
}

// The cells of the window a0..a1: from trunc(a0) up to trunc(a1), and the cell a1 falls into
// when a1 is not a whole number.
inline void CellRange(double a0, double a1, int64_t* first, int64_t* end) {
  *first = static_cast<int64_t>(a0);
  *end = static_cast<int64_t>(a1) + (a1 == std::trunc(a1) ? 0 : 1);
}

inline uint8_t Rounded(double mean) {
  const int v = static_cast<int>(mean + 0.5);
  return static_cast<uint8_t>(v < 255 ? v : 255);
}

// The windows of every destination column, each padded to the widest one with cells of weight
// 0 (adding 0 leaves a sum as it is), so that a pixel's loop has a fixed length.
struct ColumnWindows {
  int cells = 0;
  bool inside = true;            // no window reaches past the image
  std::vector<uint32_t> offset;  // where each cell starts in a row, kept inside the image
  std::vector<double> weight;    // its share of the window
  std::vector<double> colour;    // the same, or 0 for a cell outside the image
  std::vector<double> paired;    // for rows of doubles: each weight twice, for both lanes
};

// Tables of more entries than this would outgrow the image they serve (a very wide single row);
// such windows are then measured per pixel.
constexpr int64_t kMaxTableCells = int64_t{1} << 20;

// lanes: values per pixel in the rows the offsets point into.
bool MakeColumnWindows(int width, int new_width, double rx, uint32_t lanes, ColumnWindows* t) {
  int64_t cells = 0;
  for (int x = 0; x < new_width; ++x) {
    int64_t first, end;
    CellRange(x * rx, (x + 1) * rx, &first, &end);
    cells = std::max(cells, end - first);
    if (cells * new_width > kMaxTableCells) return false;
  }
  t->cells = static_cast<int>(cells);
  const size_t n = static_cast<size_t>(cells) * new_width;
  t->offset.resize(n);
  t->weight.resize(n);
  t->colour.resize(n);
  for (int x = 0; x < new_width; ++x) {
    const double x0 = x * rx, x1 = (x + 1) * rx;
    int64_t first, end;
    CellRange(x0, x1, &first, &end);
    for (int k = 0; k < cells; ++k) {
      const size_t at = static_cast<size_t>(x) * cells + k;
      const int64_t i = first + k;
      const bool real = i < end, in = i >= 0 && i < width;
      t->offset[at] = lanes * static_cast<uint32_t>(std::min<int64_t>(std::max<int64_t>(real ? i : first, 0), width - 1));
      t->weight[at] = real ? Overlap(i, x0, x1) : 0;
      t->colour[at] = real && in ? t->weight[at] : 0;
      if (real && !in) t->inside = false;
    }
  }
  if (lanes == 4) {
    t->paired.resize(2 * n);
    for (size_t k = 0; k < n; ++k) t->paired[2 * k] = t->paired[2 * k + 1] = t->weight[k];
  }
  return true;
}

// The window of one destination row: its source rows with their weights.
template <class Sample>
struct RowWindow {
  int cells = 0;
  bool inside = true;
  std::vector<const Sample*> rows;
  std::vector<double> weight, colour;
};

// The rows of the window y0..y1; row(j) gives source row j (0 <= j < height).
template <class Sample, class RowFn>
void MakeRowWindow(int height, double y0, double y1, RowFn row, RowWindow<Sample>* r) {
  int64_t first, end;
  CellRange(y0, y1, &first, &end);
  r->cells = static_cast<int>(end - first);
  r->inside = true;
  r->rows.resize(static_cast<size_t>(r->cells));
  r->weight.resize(static_cast<size_t>(r->cells));
  r->colour.resize(static_cast<size_t>(r->cells));
  for (int k = 0; k < r->cells; ++k) {
    const int64_t j = first + k;
    const bool in = j >= 0 && j < height;
    r->rows[k] = row(static_cast<int>(std::min<int64_t>(std::max<int64_t>(j, 0), height - 1)));
    r->weight[k] = Overlap(j, y0, y1);
    r->colour[k] = in ? r->weight[k] : 0;
    if (!in) r->inside = false;
  }
}

// Two doubles worked on at once where the processor can (each lane rounds as a lone double).
typedef double Pair __attribute__((vector_size(16)));

// Every byte value as a double: a load instead of a conversion.
struct ByteValues {
  double v[256];
  constexpr ByteValues() : v() {
    for (int i = 0; i < 256; ++i) v[i] = i;
  }
};
constexpr ByteValues kValue;

// Source rows as doubles (blue, green, red, 1), each converted once into a ring that holds a
// window's rows. A cell then adds its four products two lanes at a time, the fourth lane
// summing the weights themselves (w × 1 is w).
class RowRing {
 public:
  // False when the ring would be large beside the image (a window of very many rows).
  bool Init(const DibImage* source, int slots) {
    width_ = Width(source);
    const uint64_t doubles = uint64_t{4} * static_cast<uint64_t>(width_) * static_cast<uint64_t>(slots);
    if (doubles > (uint64_t{4} << 20)) return false;  // 32 MB
    source_ = source;
    slots_ = slots;
    data_.resize(static_cast<size_t>(doubles));
    tags_.assign(static_cast<size_t>(slots), -1);
    return true;
  }
  const double* Row(int j) {
    const size_t slot = static_cast<size_t>(j % slots_);
    double* row = data_.data() + slot * 4 * width_;
    if (tags_[slot] != j) {
      const uint8_t* p = RowAddress(source_, j);
      double* d = row;
      for (int x = 0; x < width_; ++x, p += 3, d += 4) {
        const Pair bg = {kValue.v[p[0]], kValue.v[p[1]]}, r1 = {kValue.v[p[2]], 1};
        std::memcpy(d, &bg, sizeof bg);
        std::memcpy(d + 2, &r1, sizeof r1);
      }
      tags_[slot] = j;
    }
    return row;
  }

 private:
  const DibImage* source_ = nullptr;
  int width_ = 0, slots_ = 0;
  std::vector<double> data_;
  std::vector<int> tags_;
};

// One destination row from rows of doubles. NX and NY fix the cell counts (0: as the tables say).
template <int NX, int NY>
void AverageRow(const ColumnWindows& cols, const RowWindow<double>& row, uint8_t* d, int new_width) {
  constexpr int kMaxFixed = NY ? NY : 1;
  const int nx = NX ? NX : cols.cells, ny = NY ? NY : row.cells;
  const uint32_t* off = cols.offset.data();
  const double* wx = cols.paired.data();
  // With fixed counts the rows and their weights are held in locals: the byte stores below
  // would otherwise make the compiler load them again for every pixel. Weights come in pairs,
  // one per lane, so that one product gives w to both.
  const double* fixed_rows[kMaxFixed];
  Pair fixed_wy[kMaxFixed];
  std::vector<Pair> any_wy(NY ? 0 : static_cast<size_t>(ny));
  for (int j = 0; j < ny; ++j) (NY ? fixed_wy[j] : any_wy[j]) = Pair{row.weight[j], row.weight[j]};
  for (int j = 0; j < NY; ++j) fixed_rows[j] = row.rows[j];
  const double* const* rows = NY ? fixed_rows : row.rows.data();
  const Pair* wy = NY ? fixed_wy : any_wy.data();
  for (int x = 0; x < new_width; ++x, off += nx, wx += 2 * nx, d += 3) {
    Pair bg = {0, 0}, rt = {0, 0};  // blue and green; red and the total weight
    for (int j = 0; j < ny; ++j)
      for (int i = 0; i < nx; ++i) {
        Pair w, a, b;
        std::memcpy(&w, wx + 2 * i, sizeof w);
        w *= wy[j];
        std::memcpy(&a, rows[j] + off[i], sizeof a);
        std::memcpy(&b, rows[j] + off[i] + 2, sizeof b);
        bg += w * a;
        rt += w * b;
      }
    d[0] = Rounded(bg[0] / rt[1]);
    d[1] = Rounded(bg[1] / rt[1]);
    d[2] = Rounded(rt[0] / rt[1]);
  }
}

// One destination row from the bytes themselves, for any window: colours are weighed apart from
// the total, which also counts the cells past the image.
void AverageRowAnyWindow(const ColumnWindows& cols, const RowWindow<uint8_t>& row, uint8_t* d, int new_width) {
  const int nx = cols.cells, ny = row.cells;
  for (int x = 0; x < new_width; ++x, d += 3) {
    const size_t at = static_cast<size_t>(x) * nx;
    double total = 0, sum[3] = {0, 0, 0};
    for (int j = 0; j < ny; ++j)
      for (int i = 0; i < nx; ++i) {
        total += cols.weight[at + i] * row.weight[j];
        const double c = cols.colour[at + i] * row.colour[j];
        const uint8_t* p = row.rows[j] + cols.offset[at + i];
        for (int k = 0; k < 3; ++k) sum[k] += c * p[k];
      }
    for (int k = 0; k < 3; ++k) d[k] = Rounded(sum[k] / total);
  }
}

using AverageRowFn = void (*)(const ColumnWindows&, const RowWindow<double>&, uint8_t*, int);

// Fixed counts for the small windows of everyday shrinking.
AverageRowFn PickRowLoop(int nx, int ny) {
  static constexpr AverageRowFn kFixed[3][3] = {
      {AverageRow<1, 1>, AverageRow<1, 2>, AverageRow<1, 3>},
      {AverageRow<2, 1>, AverageRow<2, 2>, AverageRow<2, 3>},
      {AverageRow<3, 1>, AverageRow<3, 2>, AverageRow<3, 3>},
  };
  return nx <= 3 && ny <= 3 ? kFixed[nx - 1][ny - 1] : AverageRow<0, 0>;
}

// The most rows a row window holds.
int MostRows(int new_height, double ry) {
  int64_t most = 1;
  for (int y = 0; y < new_height; ++y) {
    int64_t first, end;
    CellRange(y * ry, (y + 1) * ry, &first, &end);
    most = std::max(most, end - first);
  }
  return static_cast<int>(std::min<int64_t>(most, INT32_MAX));
}

}  // namespace

bool MDIBCtrl::ScaleAreaAverage(DibImage* source, double sx, double sy) {
  if (image_count_ == 0 || !source) return false;
  if (BitCount(source) != 24) return AbandonResample(*this, source);
  const int w = Width(source), h = Height(source);
  const int new_width = ResampledSize(w, sx), new_height = ResampledSize(h, sy);
  DibImage* result = NewResampled(*this, source, new_width, new_height);
  if (!result) return AbandonResample(*this, source);
  pending_ = result;
  return FillResampled(*this, source, result, [&] {
    Progress progress(kProgressShrinking);
    const double rx = (w + 1.0) / (new_width + 1.0), ry = (h + 1.0) / (new_height + 1.0);
    // Windows inside the image (every shrink) go through rows of doubles when those fit.
    RowRing ring;
    ColumnWindows cols;
    bool tabled = MakeColumnWindows(w, new_width, rx, 4, &cols);
    int64_t last_first, last_end;  // the windows advance: the last one reaches farthest
    CellRange((new_height - 1) * ry, new_height * ry, &last_first, &last_end);
    const bool doubles = tabled && cols.inside && last_end <= h && ring.Init(source, MostRows(new_height, ry));
    if (tabled && !doubles) tabled = MakeColumnWindows(w, new_width, rx, 3, &cols);
    const std::vector<const uint8_t*> rows = RowStarts(source);
    RowWindow<double> ring_window;
    RowWindow<uint8_t> byte_window;
    for (int y = 0; y < new_height; ++y) {
      progress.Step(y, new_height);
      uint8_t* d = RowAddress(result, y);
      const double y0 = y * ry, y1 = (y + 1) * ry;
      if (doubles) {
        MakeRowWindow(h, y0, y1, [&](int j) { return ring.Row(j); }, &ring_window);
        PickRowLoop(cols.cells, ring_window.cells)(cols, ring_window, d, new_width);
      } else if (tabled) {
        MakeRowWindow(h, y0, y1, [&](int j) { return rows[j]; }, &byte_window);
        AverageRowAnyWindow(cols, byte_window, d, new_width);
      } else {
        for (int x = 0; x < new_width; ++x, d += 3) SampleArea(source, d, x * rx, y0, (x + 1) * rx, y1);
      }
    }
  });
}

bool MDIBCtrl::SampleArea(const DibImage* source, uint8_t* pixel, double x0, double y0, double x1, double y1) const {
  if (image_count_ == 0 || !source || !pixel || BitCount(source) != 24) return false;
  // A window of more cells than twice the limit's pixels is none that a resize makes.
  const double limit = 2.0 * static_cast<double>(MaxPixels()) + 64;
  if (!(std::fabs(x0) < limit && std::fabs(x1) < limit && std::fabs(y0) < limit && std::fabs(y1) < limit)) return false;
  int64_t i0, i1, j0, j1;
  CellRange(x0, x1, &i0, &i1);
  CellRange(y0, y1, &j0, &j1);
  if (i1 > i0 && j1 > j0 && static_cast<double>(i1 - i0) * static_cast<double>(j1 - j0) > limit) return false;
  const int w = Width(source), h = Height(source);
  double total = 0, sum[3] = {0, 0, 0};
  for (int64_t j = j0; j < j1; ++j) {
    const double wy = Overlap(j, y0, y1);
    for (int64_t i = i0; i < i1; ++i) {
      const double weight = Overlap(i, x0, x1) * wy;
      total += weight;
      if (i >= 0 && i < w && j >= 0 && j < h) {
        const uint8_t* p = RowAddress(source, static_cast<int>(j)) + 3 * i;
        for (int c = 0; c < 3; ++c) sum[c] += weight * p[c];
      }
    }
  }
  if (total == 0) return false;
  for (int c = 0; c < 3; ++c) pixel[c] = Rounded(sum[c] / total);
  return true;
}
