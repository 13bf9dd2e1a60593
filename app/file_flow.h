// Opening an image file into the document and saving the current image, given a path. The
// program puts its file dialogs in front of these; the command-line tool calls them directly.
#pragma once
#include <cstdint>
#include <memory>

#include "formats/bmp_io.h"
#include "processing/filter.h"

// The reader/writer of a format index; a warning box and null for an index without one.
std::unique_ptr<BmpIOClass> CreateFormatIO(uint32_t format);

// Reads the file at path with io into a new image; null (after the reader's message) on failure.
DibImage* LoadImageWith(const MDIBCtrl& doc, BmpIOClass& io, const char* path);

// Opens the file at path. On success the loaded image replaces the document and is committed
// (while a blend loads its second image it only becomes the pending image). On failure the
// document is as it was.
bool OpenImageFile(Filter& doc, const char* path);

// Saves the current image at path in the format its extension names, converting it to a depth
// the format can hold (asking where that changes the picture). The document is not changed.
// pnm_ascii: the PgmSaveMode setting (non-zero writes the ASCII variants).
bool SaveImageFile(Filter& doc, const char* path, int pnm_ascii);
