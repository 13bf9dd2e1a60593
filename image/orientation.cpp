#include "image/orientation.h"

#include <cstring>

namespace {

template <int N>
void Place(DibImage* image, int orientation, int first, int count, const uint8_t* const* rows) {
  if (KeepsRows(orientation)) {
    const int width = Width(image), height = Height(image);
    for (int i = 0; i < count; ++i) {
      uint8_t* dst = RowAddress(image, TurnedRow(orientation, height, first + i));
      if (!MirrorsRows(orientation)) {
        std::memcpy(dst, rows[i], static_cast<size_t>(width) * N);
        continue;
      }
      const uint8_t* src = rows[i] + static_cast<size_t>(width) * N;
      for (int x = 0; x < width; ++x, dst += N) std::memcpy(dst, src -= N, N);
    }
    return;
  }
  // Stored row y becomes image column y (5, 8) or height - 1 - y (6, 7); stored column x becomes
  // image row x (5, 6) or width - 1 - x (7, 8), width and height being the stored ones. Each
  // image row receives count neighbouring pixels at a time.
  const int stored_width = Height(image), stored_height = Width(image);
  const bool columns_reversed = orientation == 6 || orientation == 7;
  const bool rows_reversed = orientation == 7 || orientation == 8;
  const int column = columns_reversed ? stored_height - 1 - first : first;
  const ptrdiff_t step = columns_reversed ? -N : N;
  for (int x = 0; x < stored_width; ++x) {
    uint8_t* dst = RowAddress(image, rows_reversed ? stored_width - 1 - x : x) + static_cast<ptrdiff_t>(column) * N;
    const size_t offset = static_cast<size_t>(x) * N;
    for (int i = 0; i < count; ++i, dst += step) std::memcpy(dst, rows[i] + offset, N);
  }
}

}  // namespace

int TurnedRow(int orientation, int stored_height, int y) {
  return orientation == 3 || orientation == 4 ? stored_height - 1 - y : y;
}

void MirrorRow(uint8_t* row, int width, int pixel_bytes) {
  if (width < 2) return;
  uint8_t* left = row;
  uint8_t* right = row + static_cast<ptrdiff_t>(width - 1) * pixel_bytes;
  for (; left < right; left += pixel_bytes, right -= pixel_bytes)
    for (int k = 0; k < pixel_bytes; ++k) {
      const uint8_t t = left[k];
      left[k] = right[k];
      right[k] = t;
    }
}

void PlaceStoredRows(DibImage* image, int orientation, int first, int count, const uint8_t* const* rows) {
  if (BitCount(image) == 8) Place<1>(image, orientation, first, count, rows);
  else Place<3>(image, orientation, first, count, rows);
}
