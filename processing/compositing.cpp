// Compositing of the current image with a second one: alpha blend and the channel formulas.
#include "processing/filter.h"

bool Filter::AlphaBlend(int) { return false; }
bool Filter::BlendImages(int) { return false; }
bool Filter::FitSecondImage() { return false; }
