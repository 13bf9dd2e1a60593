// Resize by two factors (nearest neighbour to enlarge, area average to shrink) and rotation by
// an angle, with the transform that maps the rotated canvas back to the source.
#include "document/mdib_ctrl.h"

void MDIBCtrl::ScaleImage(double*, double*) {}
bool MDIBCtrl::ScaleNearest(DibImage*, double, double) { return false; }
bool MDIBCtrl::ScaleAreaAverage(DibImage*, double, double) { return false; }
bool MDIBCtrl::SampleArea(const DibImage*, uint8_t*, double, double, double, double) const { return false; }
bool MDIBCtrl::RotateImage(DibImage*, double, double, double) { return false; }
