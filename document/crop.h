// Cropping to a band dragged over the view (trimming mode): the band in client pixels turned
// into the rectangle of the image under it, and the copy of that rectangle into a new image of
// the same depth and colour table.
#pragma once
#include <cstdint>

#include "document/mdib_ctrl.h"
#include "document/view_math.h"
#include "image/pixel_ops.h"

// The band as trimming mode reports it to the main window: client pixels, in this order.
struct TrimBand {
  int32_t left, right, top, bottom;
};

// The rubber band after the pointer moved to (x, y) with the button pressed at the anchor: the
// edge on the anchor's side stays, the far edge follows the pointer; an edge the pointer left by
// crossing the anchor keeps its last value.
void FollowPointer(int32_t anchor_x, int32_t anchor_y, int32_t x, int32_t y, ViewRect* band);

// The part of the image under band when the image is drawn as placement says: its top-left pixel
// (from the top) and its size in image pixels. The band's left and top lines belong to it, its
// right and bottom lines do not; a band that reaches beyond an edge of the image runs to that
// edge. False when the band covers no pixel of the image (an empty band or one beside it).
bool BandToImageRect(const ViewPlacement& placement, const TrimBand& band, CropRect* out);

// rect of image as a new image of the same depth, colour table or masks, and run-length coding;
// null when rect does not lie inside the image, or the image cannot be decoded or copied.
DibImage* CropImage(const MDIBCtrl& doc, const DibImage* image, const CropRect& rect);

// The crop of trimming mode: the part of the current image under band (the view as it is now)
// into the pending slot. False, the pending slot left as it was, when trimming mode is off, the
// band covers none of the image or the copy cannot be made.
bool CropToBand(MDIBCtrl& doc, const TrimBand& band);
