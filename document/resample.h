// What the resampling routines of the document share: the result image, and how a routine ends.
#pragma once
#include <cstdint>
#include <new>
#include <vector>

#include "base/messages.h"
#include "document/mdib_ctrl.h"

// rnd(size x factor), the new size of an axis; 0 when that is no positive 32-bit number (huge,
// nan or negative factors), which NewResampled refuses.
int ResampledSize(int size, double factor);

// Start of every row of an image, from the top.
std::vector<const uint8_t*> RowStarts(const DibImage* image);

// The 24-bit result of a resampling, width x height, made like source. A size the program cannot
// hold (0 pixels, beyond the size limit or the bitmap's 32-bit size fields) is refused with the
// memory message, as is a block that cannot be had; null then.
DibImage* NewResampled(const MDIBCtrl& doc, const DibImage* source, int64_t width, int64_t height);

// A routine that gave up: the source is freed (never the current image) and the pending slot is
// back at the current image. Returns false.
bool AbandonResample(MDIBCtrl& doc, DibImage* source);
// Fills result from source with fill(), then frees the source and leaves the result as the
// pending image (true). The tables a fill makes are the only allocations that can fail there:
// the memory message, and the routine gives up as above.
template <class FillFn>
bool FillResampled(MDIBCtrl& doc, DibImage* source, DibImage* result, FillFn fill) {
  try {
    fill();
  } catch (const std::bad_alloc&) {
    MDIBCtrl::DeleteImage(result);
    ShowError(kMsgNoMemory);
    return AbandonResample(doc, source);
  }
  if (source != doc.current_) MDIBCtrl::DeleteImage(source);
  doc.pending_ = result;
  return true;
}
