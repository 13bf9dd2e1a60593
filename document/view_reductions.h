// Reduced copies of the shown image for drawing it small. Each level halves the one before it by
// averaging blocks of 2 x 2 pixels (a 24-bit copy is the start for other depths), so a photo drawn
// at a few percent shows the average of what it covers instead of scattered samples, and the blit
// reads no more pixels than the window shows. Levels are made on first need and kept until the
// shown image changes.
#pragma once
#include <cstdint>
#include <vector>

#include "document/mdib_ctrl.h"

class ViewReductions {
 public:
  // The image to draw image from when it is drawn width x height pixels large: the smallest kept
  // or makeable level still at least that large, or image itself (also when a level cannot be
  // made for want of memory).
  const DibImage* For(const MDIBCtrl& doc, const DibImage* image, int64_t width, int64_t height);
  // Forgets every level (the shown image changed).
  void Clear();
  int LevelCount() const { return static_cast<int>(levels_.size()); }

 private:
  const DibImage* source_ = nullptr;
  const uint8_t* source_bits_ = nullptr;
  std::vector<ImagePtr> levels_;  // levels_[k] is 2^(k+1) times smaller than the source
};

// Halves a 24-bit image into half (width (w + 1) / 2, height (h + 1) / 2, 24-bit): every pixel
// the rounded mean of its 2 x 2 block, an odd last column or row averaged with itself.
void HalveImage(const DibImage* source, DibImage* half);
