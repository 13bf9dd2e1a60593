// Colour reduction to a palette image: median cut and ordered dithering.
#include "processing/filter.h"

DibImage* Filter::ReduceColors(const DibImage*, int) { return nullptr; }
DibImage* Filter::DitherTo256(const DibImage*, int) { return nullptr; }
