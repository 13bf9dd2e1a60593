// The geometry of a rotation with a scale per axis: the canvas the turned picture needs, and the
// source position of every canvas pixel.
#pragma once
#include <cstdint>

// Size of the turned canvas and where the source's origin lands on it (whole numbers).
struct Canvas {
  int32_t width = 0;
  int32_t height = 0;
  double ox = 0;
  double oy = 0;
};

class Transform {
 public:
  virtual ~Transform() = default;

  // The angle in degrees; a positive angle turns the picture clockwise (y points down).
  // Whole quarter turns take their exact sine and cosine: the rounded ones (cos 90° = 6e-17)
  // would, once truncated, shift the picture by a pixel and repeat an edge.
  void SetAngle(double degrees);
  void SetScale(double sx, double sy) {
    sx_ = sx;
    sy_ = sy;
  }

  // The canvas of a width x height picture: the four corners mapped forward, the extent rounded.
  // False when the size is not a positive 32-bit number of pixels (a scale of 0, inf or nan).
  bool ComputeCanvas(int width, int height, Canvas* canvas) const;

  // The source position, before truncation, of canvas pixel (x, y), given u = x - ox, v = y - oy.
  double SourceX(double u, double v) const { return (u * cos_ + v * sin_) / sx_; }
  double SourceY(double u, double v) const { return (-u * sin_ + v * cos_) / sy_; }

  double sin() const { return sin_; }
  double cos() const { return cos_; }
  double sx() const { return sx_; }
  double sy() const { return sy_; }

 private:
  double sin_ = 0;
  double cos_ = 0;
  double sx_ = 0;
  double sy_ = 0;
};
