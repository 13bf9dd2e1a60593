// The arithmetic of the adjustment dialogs' previews: each writes out, a 24-bit image of the
// size of work, from work in one pass, every pixel by the dialog's formula. The dialogs show
// the result and commit it; the command-line tool and the tests call them directly.
#pragma once
#include "image/dib_image.h"

// Gamma, as 100 times the dialog's value (1..300): c becomes trunc((c / 255)^g * 255).
void PreviewGamma(const DibImage* work, DibImage* out, int gamma100);
// Linear contrast with the four trackbar values a, b, c, d (0..255).
void PreviewLinearContrast(const DibImage* work, DibImage* out, int a, int b, int c, int d);
// Gradation to levels (2, 4 ... 256) steps.
void PreviewGradation(const DibImage* work, DibImage* out, int levels);
// Red, green and blue offsets (-255..255), clamped.
void PreviewRgb(const DibImage* work, DibImage* out, int red, int green, int blue);
// Hue offset (0..360 degrees), saturation offset (-100..100, hundredths) and value offset
// (-100..100).
void PreviewHsv(const DibImage* work, DibImage* out, int hue, int saturation100, int value);
// Colour temperature t (-255..255): blue - t, red + t.
void PreviewWhiteBalance(const DibImage* work, DibImage* out, int t);

// The per-byte maps behind the first three (256 entries each).
void GammaTable(int gamma100, uint8_t table[256]);
void LinearContrastTable(int a, int b, int c, int d, uint8_t table[256]);
void GradationTable(int levels, uint8_t table[256]);
// One pixel of the HSV preview: (blue, green, red) in and out.
void HsvAdjustPixel(const uint8_t* in, uint8_t* out, int hue, int saturation100, int value);
