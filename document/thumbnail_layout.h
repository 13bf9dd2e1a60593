// The arithmetic of the thumbnail browser: the size of one thumbnail in its box, the sheet of
// cells (columns, rows, where each picture and label goes), scrolling by whole rows, the moves
// of the selection by the arrow keys, and the texts of the browser's title and tooltips.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "image/dib_image.h"

// Gaps of the sheet: 10 pixels left of every picture, and rows box height + 25 pixels apart
// (the label sits 5 pixels below the picture).
constexpr int kThumbMargin = 10;
constexpr int kThumbRowGap = 25;
constexpr int kThumbLabelGap = 5;

struct ThumbSize {
  int width, height;
};

// The thumbnail of a width x height picture in a box: the picture divided by the larger of
// (width / box width) + 0.5 and (height / box height) + 0.5, each quotient a whole number; so a
// picture smaller than the box is shown twice as large. Where that overflows the box it is made
// just as large as the box allows, keeping its shape (one axis limited alone would squeeze the
// picture). Never less than 1 x 1 (a very long, thin picture still gets a line).
ThumbSize ThumbnailSize(int64_t width, int64_t height, int box_width, int box_height);

// The sheet for count files in a window whose client area is client_width wide.
struct SheetLayout {
  int box_width, box_height;
  int cell_height;  // box height + label text height + 5: the height of the selection frame
  int columns;      // (client width - 10) / (box width + 10), at least 1
  int rows;         // count / columns, rounded up
  int count;
  int sheet_width, sheet_height;  // (box width + 10) x columns, (box height + 25) x rows
  int RowPitch() const { return box_height + kThumbRowGap; }
  int ColumnPitch() const { return box_width + kThumbMargin; }
  // Files in the last row.
  int LastRowCount() const { return count - (rows - 1) * columns; }
};
SheetLayout MakeSheetLayout(int client_width, int count, int box_width, int box_height, int text_height);

struct CellPoint {
  int x, y;
};
// Top-left corner of the picture of file index in the sheet (its label is box height + 5 below);
// files fill the rows from the left, columns per row.
CellPoint CellOrigin(const SheetLayout& layout, int index);

// The largest scroll offset: enough whole rows that the last row can be brought fully into a
// client area client_height high (0 when every row fits).
int LargestScroll(const SheetLayout& layout, int client_height);
// The scroll offset (a whole number of rows, within 0..largest) nearest to scroll that shows
// row whole; row's top when the client area is lower than a row.
int ScrollToShow(const SheetLayout& layout, int row, int scroll, int client_height, int largest);

// The selection and the arrow keys.
struct Selection {
  int column, row;
};
enum class ThumbKey { kLeft, kUp, kRight, kDown };
// Left: one back, from the first column to the last column of the row above. Up: the row above.
// Right: one on, from the last column to the first of the next row; nothing at the last file.
// Down: the row below when it holds a file in this column. A move that leaves the files does
// nothing.
Selection MoveSelection(Selection s, ThumbKey key, int columns, int count);

// Bytes of a label of at most limit bytes: ((box width / average character width) - 1) with its
// lowest bit cleared, as the label's room.
int LabelLimit(int box_width, int average_char_width);
// How many bytes of a code page 932 name fit in limit bytes without cutting a double-byte
// character in half.
size_t LabelBytes(const char* name, int limit);

// One file of the browser: the facts of the picture as the file holds it (not of its thumbnail).
struct ThumbnailEntry {
  char name[MAX_PATH];  // the file name, without folder
  char date[260];       // creation time text
  int32_t width, height, bit_count;
  uint32_t image_bytes;  // bytes of the pixels at that size and depth
  uint32_t format;       // FormatIndex of the listing
  bool shown;            // false: the file could not be read; its cell holds only its name
};

// "サムネイル表示 %s [%d枚]": the browser's title with its folder and file count.
std::string ThumbnailTitle(const char* folder, int count);
// The tooltip of one file: name, size, pixel bytes and creation time on four lines.
std::string ThumbnailTip(const ThumbnailEntry& entry);
