// Neighbourhood filters: blurs, sharpening, emboss, edge detection, contour emphasis, mosaic,
// median, edge-preserving smoothing and soft focus.
#include "processing/filter.h"

bool Filter::Blur(int) { return false; }
bool Filter::Sharpen(int) { return false; }
bool Filter::Emboss(int) { return false; }
bool Filter::DetectEdges(int) { return false; }
bool Filter::EmphasizeContour(int) { return false; }
bool Filter::Mosaic(int) { return false; }
bool Filter::MedianFilter() { return false; }
bool Filter::EdgePreservingSmooth() { return false; }
bool Filter::SoftFocus() { return false; }
