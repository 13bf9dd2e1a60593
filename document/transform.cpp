#include "document/transform.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double kPi = 3.14159265358979323846;
}

void Transform::SetAngle(double degrees) {
  const double turn = std::fmod(degrees, 360.0);  // exact
  if (turn == 0) {
    sin_ = 0, cos_ = 1;
  } else if (turn == 90 || turn == -270) {
    sin_ = 1, cos_ = 0;
  } else if (turn == 180 || turn == -180) {
    sin_ = 0, cos_ = -1;
  } else if (turn == 270 || turn == -90) {
    sin_ = -1, cos_ = 0;
  } else {
    const double radians = degrees * kPi / 180;
    sin_ = std::sin(radians);
    cos_ = std::cos(radians);
  }
}

bool Transform::ComputeCanvas(int width, int height, Canvas* canvas) const {
  const double xs[4] = {0, width - 1.0, width - 1.0, 0};
  const double ys[4] = {0, 0, height - 1.0, height - 1.0};
  // A scale of 0 would map every pixel to 0 / 0; nan and inf have no canvas either.
  bool finite = sx_ != 0 && sy_ != 0 && std::isfinite(sx_) && std::isfinite(sy_);
  double min_x = 0, max_x = 0, min_y = 0, max_y = 0;
  for (int i = 0; i < 4; ++i) {
    const double x = (xs[i] * cos_ - ys[i] * sin_) * sx_;
    const double y = (xs[i] * sin_ + ys[i] * cos_) * sy_;
    finite = finite && std::isfinite(x) && std::isfinite(y);
    min_x = std::min(min_x, x), max_x = std::max(max_x, x);
    min_y = std::min(min_y, y), max_y = std::max(max_y, y);
  }
  const double w = std::trunc(max_x - min_x + 1.5), h = std::trunc(max_y - min_y + 1.5);
  if (!finite || !(w >= 1 && w <= INT32_MAX && h >= 1 && h <= INT32_MAX)) return false;
  canvas->width = static_cast<int32_t>(w);
  canvas->height = static_cast<int32_t>(h);
  canvas->ox = std::trunc(-min_x);
  canvas->oy = std::trunc(-min_y);
  return true;
}
