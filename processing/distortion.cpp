// Geometric distortions and motion effects: flips, cone and sphere mappings, water-surface
// refractions, radial and rotational blurs, diffusion and thinning.
#include "processing/filter.h"

bool Filter::Flip(int) { return false; }
bool Filter::ConeMapping() { return false; }
bool Filter::SphereMapping() { return false; }
int Filter::WaterSurface(int) { return 0; }
bool Filter::RadialBlur(int, int) { return false; }
DibImage* Filter::Diffuse(const DibImage*, int) { return nullptr; }
DibImage* Filter::Thin(const DibImage*) { return nullptr; }
