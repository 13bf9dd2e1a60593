// Turning a picture by its EXIF orientation while it is decoded, row by row, into an image that
// already has the turned size: no second copy of the picture is ever made.
//
// Orientation values, with what is done to the stored picture to show it the right way up:
// 1 nothing, 2 mirrored left to right, 3 turned 180 degrees, 4 mirrored top to bottom,
// 5 turned 90 degrees clockwise and mirrored left to right (the main diagonal swapped),
// 6 turned 90 degrees clockwise, 7 turned 90 degrees counter-clockwise and mirrored left to right,
// 8 turned 90 degrees counter-clockwise. Any other value is treated as 1.
#pragma once
#include <cstdint>

#include "image/dib_image.h"

// True for the orientations that swap width and height (5 to 8).
inline bool SwapsSides(int orientation) { return orientation >= 5 && orientation <= 8; }
// True for the orientations that keep stored rows as image rows (a value outside 5..8).
inline bool KeepsRows(int orientation) { return !SwapsSides(orientation); }
// Orientations 1 to 4: the image row (from the top) that stored row y goes to, and whether the
// row is mirrored on its way.
int TurnedRow(int orientation, int stored_height, int y);
inline bool MirrorsRows(int orientation) { return orientation == 2 || orientation == 3; }

// Reverses the order of the width pixels of pixel_bytes bytes (1 or 3) in row.
void MirrorRow(uint8_t* row, int width, int pixel_bytes);

// Writes count stored rows, starting with stored row first (from the top), to their turned
// places in image, an 8- or 24-bit image of the turned size. rows[i] holds stored row first + i
// in the image's pixel layout (1 or 3 bytes per pixel).
void PlaceStoredRows(DibImage* image, int orientation, int first, int count, const uint8_t* const* rows);
