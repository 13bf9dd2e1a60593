// Painterly effects: oil painting and black-and-white illustration.
#include "processing/filter.h"

DibImage* Filter::OilPaint(const DibImage*) { return nullptr; }
DibImage* Filter::Illustrate(const DibImage*) { return nullptr; }
