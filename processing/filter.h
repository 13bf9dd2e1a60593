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

  // Neighbourhood filters (the result a 24-bit image).
  bool Blur(int command);                 // 134..140
  bool Sharpen(int command);              // 141, 142
  bool Emboss(int command);               // 143, 144
  bool DetectEdges(int command);          // 145, 146, 147 (ZeroCrossing)
  bool EmphasizeContour(int line_colour); // 148, called with 0 (black lines)
  bool Mosaic(int command);               // 149, 120, 150
  bool MedianFilter();                    // 151
  bool EdgePreservingSmooth();            // 152
  bool SoftFocus();                       // 191

  // Geometric distortions and motion effects.
  bool Flip(int command);                 // 123, 124: the source's depth kept
  bool ConeMapping();                     // 125
  bool SphereMapping();                   // 126
  int WaterSurface(int command);          // 127, 173, 174: 1 on success
  bool RadialBlur(int command, int strength);  // 171, 172 with 30
  // These return the new image (null on failure); the caller makes it the pending image.
  DibImage* Diffuse(const DibImage* image, int distance);  // 182 with 10, 183 with 80
  DibImage* Thin(const DibImage* image);                    // 186

  // Colour reduction: a new palette image, or null (nothing to do, cancelled, failure).
  DibImage* ReduceColors(const DibImage* image, int command);  // 168, 169, 170
  DibImage* DitherTo256(const DibImage* image, int command);   // 187

  // Painterly effects: a new 24-bit image, or null.
  DibImage* OilPaint(const DibImage* image);    // 178
  DibImage* Illustrate(const DibImage* image);  // 179

  // Compositing of the work image (a 24-bit copy of the current image) with the second image in
  // the pending slot; the result becomes the pending image.
  bool AlphaBlend(int alpha);         // 131, alpha 0..100 percent
  bool BlendImages(int command);      // 155..167
  bool FitSecondImage();

  // Colour tests of the save flow and the reductions: every colour a grey; every component 0
  // or 255.
  static bool IsGrayImage(const DibImage* image);
  static bool IsTwoLevelImage(const DibImage* image);

  // Runs the operation of a command id with its values (in the units of the command's dialog
  // fields; the defaults of the operation table where none are given). The result is left as
  // the pending image; false when nothing is to be committed. Blends need the second image in
  // the pending slot and the work image prepared (PrepareBlend).
  bool RunOperation(int command, const double* values = nullptr, int value_count = 0);
  // True when RunOperation knows the id.
  static bool HasOperation(int command);
  // Makes the second image of a blend ready: second (taken over) becomes the pending image as a
  // 24-bit copy, and the work image a 24-bit copy of the current image. False (second freed)
  // when a copy cannot be made.
  bool PrepareBlend(DibImage* second);

 protected:
  // Applies a 256-entry table to every byte of a 24-bit image's pixels.
  static void ApplyTable(DibImage* image, const uint8_t table[256]);
  // Makes image the pending result and reports success.
  bool SetResult(DibImage* image);
};
