// The pieces the distortions are built from: bilinear sampling, refraction through a wavy water
// surface and its lighting, and the deletion test of thinning. Shared by the operations and
// their tests.
#pragma once
#include <cstddef>
#include <cstdint>

#include "image/dib_image.h"

class MDIBCtrl;

// The 24-bit picture an operation reads: the image itself when it already is a plain 24-bit
// image, otherwise a 24-bit copy held here. get() is null when no copy could be made.
class DistortionInput {
 public:
  DistortionInput(const MDIBCtrl& doc, const DibImage* image);
  const DibImage* get() const { return image_; }
  // An image to write the result into: the copy itself (its pixels will be overwritten), or a
  // new 24-bit image of the same size when the source is the image itself. Null on failure.
  DibImage* TakeCopyOrBlank(const MDIBCtrl& doc);

 private:
  ImagePtr copy_;
  const DibImage* image_ = nullptr;
};

// Blue, green, red of the 24-bit image s at (u, v) by bilinear interpolation; neighbours beyond
// the last column or row count as white.
void SampleBilinear(const DibImage* s, double u, double v, uint8_t bgr[3]);

// Displacement, times depth, of a ray refracted at a surface whose normal has the horizontal
// component n and the vertical component nz.
double RefractOffset(double n, double nz, double depth);

// The light a surface point sends: the diffuse factor (0..1) and the specular term.
struct SurfaceLight {
  double diffuse;
  double specular;
};
// Normalises n in place and lights it with the unit vector l.
SurfaceLight LightSurface(double n[3], const double l[3]);
// A channel value 0..255 under that light.
int ShadeValue(const SurfaceLight& light, int c);
// Both steps for one channel value: normalises n in place.
inline int ShadeSurface(double n[3], const double l[3], int c) { return ShadeValue(LightSurface(n, l), c); }

// The thinning map: one signed cell per pixel and a frame of cells around the image. 1 object,
// 0 background, -1 deleted during the current pass.
struct ThinningMap {
  int8_t* cells;     // cell of the frame's top-left corner
  ptrdiff_t stride;  // width + 2
  int8_t* Cell(int x, int y) const { return cells + (y + 1) * stride + (x + 1); }
};

// Σ over k = 1, 3, 5, 7 of a[k] - a[k] a[k+1] a[k+2] (indices from 1, wrapping after 8).
int ConnectivityNumber(const int a[8]);
// Whether the object pixel (x, y) may be deleted without breaking its shape apart.
bool IsDeletable(const ThinningMap& map, int x, int y);
