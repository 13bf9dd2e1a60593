// The image operations. Each reads the document's current image and, on success, leaves its
// result as the pending image and returns true; the command layer then commits it. On failure
// nothing changes.
#pragma once
#include <cstdint>

#include "document/mdib_ctrl.h"

class Filter : public MDIBCtrl {
 public:
  // Tone and colour.
  bool ApplyNegative();
  bool ApplyGrayOrSepia(int command);
  bool BinarizeRgb();
  bool BinarizeGray();
  bool ApplyToneCurve(int command);
  bool StretchHistogram();
  bool EqualizeHistogram();
  // Threshold (1..254) that best separates the two classes of a 256-value histogram.
  static int OtsuThreshold(const uint32_t* counts);

  // Colour tests of the save flow and the reductions: every colour a grey; every component 0
  // or 255.
  static bool IsGrayImage(const DibImage* image);
  static bool IsTwoLevelImage(const DibImage* image);

  // Runs the operation of a menu command id; false for an id without one here.
  bool RunOperation(int command);
  // True when RunOperation knows the id.
  static bool HasOperation(int command);

 protected:
  // Applies a 256-entry table to every byte of a 24-bit image's pixels.
  static void ApplyTable(DibImage* image, const uint8_t table[256]);
  // Makes image the pending result and reports success.
  bool SetResult(DibImage* image);
};
