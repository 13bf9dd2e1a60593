#include "document/thumbnail_layout.h"

#include <algorithm>
#include <cstdio>

ThumbSize ThumbnailSize(int64_t width, int64_t height, int box_width, int box_height) {
  if (width <= 0 || height <= 0 || box_width <= 0 || box_height <= 0) return ThumbSize{1, 1};
  const double rw = static_cast<double>(width / box_width) + 0.5;
  const double rh = static_cast<double>(height / box_height) + 0.5;
  const double d = std::max(rw, rh);
  int64_t w = static_cast<int64_t>(static_cast<double>(width) / d);
  int64_t h = static_cast<int64_t>(static_cast<double>(height) / d);
  if (w > box_width || h > box_height) {
    // Limited to the box as a whole, so the picture keeps its shape.
    if (width * box_height >= height * box_width) {
      w = box_width;
      h = height * box_width / width;
    } else {
      h = box_height;
      w = width * box_height / height;
    }
  }
  return ThumbSize{static_cast<int>(std::max<int64_t>(w, 1)), static_cast<int>(std::max<int64_t>(h, 1))};
}

SheetLayout MakeSheetLayout(int client_width, int count, int box_width, int box_height, int text_height) {
  SheetLayout s{};
  s.box_width = box_width;
  s.box_height = box_height;
  s.cell_height = box_height + text_height + kThumbLabelGap;
  s.count = count;
  s.columns = std::max(1, (client_width - kThumbMargin) / s.ColumnPitch());
  s.rows = count / s.columns + (count % s.columns ? 1 : 0);
  s.sheet_width = s.ColumnPitch() * s.columns;
  s.sheet_height = s.RowPitch() * s.rows;
  return s;
}

CellPoint CellOrigin(const SheetLayout& layout, int index) {
  return CellPoint{kThumbMargin + (index % layout.columns) * layout.ColumnPitch(),
                   (index / layout.columns) * layout.RowPitch()};
}

int LargestScroll(const SheetLayout& layout, int client_height) {
  const int whole_rows = std::max(0, client_height) / layout.RowPitch();
  return layout.RowPitch() * std::max(0, layout.rows - whole_rows);
}

int ScrollToShow(const SheetLayout& layout, int row, int scroll, int client_height, int largest) {
  const int pitch = layout.RowPitch();
  const int top = row * pitch;
  if (top < scroll || client_height < pitch) {
    scroll = top;
  } else if (top + pitch > scroll + client_height) {
    const int below = top + pitch - client_height;  // the least offset showing the row whole
    scroll = (below + pitch - 1) / pitch * pitch;
  }
  return std::clamp(scroll, 0, std::max(0, largest));
}

Selection MoveSelection(Selection s, ThumbKey key, int columns, int count) {
  if (columns <= 0 || count <= 0) return s;
  const int index = s.row * columns + s.column;
  Selection to = s;
  switch (key) {
    case ThumbKey::kLeft:
      to = s.column > 0 ? Selection{s.column - 1, s.row} : Selection{columns - 1, s.row - 1};
      break;
    case ThumbKey::kUp: to.row = s.row - 1; break;
    case ThumbKey::kRight:
      to = s.column < columns - 1 ? Selection{s.column + 1, s.row} : Selection{0, s.row + 1};
      break;
    case ThumbKey::kDown: to.row = s.row + 1; break;
  }
  const int target = to.row * columns + to.column;
  if (to.row < 0 || target >= count || index >= count) return s;
  return to;
}

int LabelLimit(int box_width, int average_char_width) {
  if (average_char_width <= 0) return 0;
  return std::max(0, (box_width / average_char_width - 1) & ~1);
}

size_t LabelBytes(const char* name, int limit) {
  size_t used = 0;
  for (const auto* p = reinterpret_cast<const unsigned char*>(name); p[used];) {
    const unsigned char b = p[used];
    const bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    const size_t step = lead && p[used + 1] ? 2 : 1;
    if (used + step > static_cast<size_t>(std::max(0, limit))) break;
    used += step;
  }
  return used;
}

std::string ThumbnailTitle(const char* folder, int count) {
  char text[MAX_PATH + 64];
  std::snprintf(text, sizeof text, "サムネイル表示 %s [%d枚]", folder, count);
  return text;
}

std::string ThumbnailTip(const ThumbnailEntry& entry) {
  char text[MAX_PATH + 260 + 128];
  std::snprintf(text, sizeof text, "%s\r\nサイズ:%d x %d pixels\r\n画素数:%d bytes\r\n作成日時:%s", entry.name,
                static_cast<int>(entry.width), static_cast<int>(entry.height), static_cast<int>(entry.image_bytes),
                entry.date);
  return text;
}
