// Geometric distortions and motion effects: flips, cone and sphere mappings, water-surface
// refractions, radial and rotational blurs and the random diffusion. Thinning is in thinning.cpp.
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <optional>

#include "base/messages.h"
#include "processing/distortion_helpers.h"
#include "processing/filter.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// Blue, green, red of a colour value 0x00BBGGRR.
void ColourBytes(uint32_t colour, uint8_t bgr[3]) {
  bgr[0] = static_cast<uint8_t>(colour >> 16);
  bgr[1] = static_cast<uint8_t>(colour >> 8);
  bgr[2] = static_cast<uint8_t>(colour);
}

// A source image and a new result image of its size, both 24-bit.
struct TrueColorJob {
  DistortionInput source;
  ImagePtr result;
  TrueColorJob(const MDIBCtrl& doc, const DibImage* image) : source(doc, image) {
    if (source.get()) result.reset(doc.CloneImage(source.get(), false));
  }
  bool ok() const { return result != nullptr; }
};

// The pseudo-random numbers of the diffusion (0..32767): one sequence per process from a fixed
// seed, so that the first diffusion of every run gives the same picture.
uint32_t diffusion_state = 1;
int NextDiffusionRandom() {
  diffusion_state = diffusion_state * 1103515245u + 12345u;
  return static_cast<int>((diffusion_state >> 16) & 0x7FFF);
}

// Refraction constants: amplitude, wavelength and the depth of the still water.
constexpr double kAmplitude = 4.0, kWavelength = 12.0, kBaseDepth = 10.0;

// What one point of the water surface does: where its ray comes from and how it is lit, for
// each of the three channels. The channels are lit one after the other with the same normal,
// which each lighting normalises again in place; a normalisation that changes nothing leaves
// the light as it was, so it is reused.
struct SurfacePoint {
  double ox, oy;
  SurfaceLight light[3];
};

SurfacePoint MakeSurfacePoint(double n[3], double depth, const double l[3]) {
  SurfacePoint p;
  p.ox = RefractOffset(n[0], n[2], depth);
  p.oy = RefractOffset(n[1], n[2], depth);
  p.light[0] = LightSurface(n, l);
  for (int c = 1; c < 3; ++c) {
    const double before[3] = {n[0], n[1], n[2]};
    const SurfaceLight again = LightSurface(n, l);
    p.light[c] = (n[0] == before[0] && n[1] == before[1] && n[2] == before[2]) ? p.light[c - 1] : again;
  }
  return p;
}

// One refracted pixel: the source pixel the ray comes from, or, where it comes from outside the
// picture, the pixel underneath; lit by the surface there in either case, so that the rim and
// the centre of the rings carry the same light as their neighbours.
inline void Refract(const DibImage* s, int w, int h, int x, const uint8_t* below, double sx, double sy,
                    const SurfacePoint& p, uint8_t* d) {
  const uint8_t* src = below + 3 * static_cast<size_t>(x);
  if (sx > 0 && sx < w && sy > 0 && sy < h) src = RowAddress(s, static_cast<int>(sy)) + 3 * static_cast<size_t>(sx);
  d[0] = static_cast<uint8_t>(ShadeValue(p.light[0], src[0]));
  d[1] = static_cast<uint8_t>(ShadeValue(p.light[1], src[1]));
  d[2] = static_cast<uint8_t>(ShadeValue(p.light[2], src[2]));
}

}  // namespace

DistortionInput::DistortionInput(const MDIBCtrl& doc, const DibImage* image) {
  if (!image || doc.image_count_ == 0) return;
  const BITMAPINFOHEADER& h = image->info->bmiHeader;
  if (h.biBitCount == 24 && h.biCompression == BI_RGB && image->colours == 0) {
    image_ = image;
  } else {
    copy_.reset(doc.MakeTrueColorCopy(image));
    image_ = copy_.get();
  }
}

DibImage* DistortionInput::TakeCopyOrBlank(const MDIBCtrl& doc) {
  if (copy_) {
    image_ = nullptr;
    return copy_.release();
  }
  return image_ ? doc.CloneImage(image_, false) : nullptr;
}

void SampleBilinear(const DibImage* s, double u, double v, uint8_t bgr[3]) {
  const int w = Width(s), h = Height(s);
  // From the last column or row on every neighbour is white, and so is the result. Positions
  // before the first (which no operation asks for) read white too, never outside the image.
  if (!(u > -1.0 && v > -1.0 && u < w && v < h)) {
    bgr[0] = bgr[1] = bgr[2] = 255;
    return;
  }
  const int x0 = static_cast<int>(u), y0 = static_cast<int>(v);
  const double fx = u - x0, fy = v - y0;
  const bool right = x0 + 1 < w, below = y0 + 1 < h;
  const uint8_t* top = RowAddress(s, y0) + 3 * static_cast<size_t>(x0);
  const uint8_t* bottom = below ? RowAddress(s, y0 + 1) + 3 * static_cast<size_t>(x0) : nullptr;
  for (int c = 0; c < 3; ++c) {
    const double p00 = top[c], p10 = right ? top[3 + c] : 255;
    const double p01 = below ? bottom[c] : 255, p11 = right && below ? bottom[3 + c] : 255;
    const double upper = p00 * (1 - fx) + p10 * fx;
    const double lower = p01 * (1 - fx) + p11 * fx;
    const double value = (1 - fy) * upper + fy * lower + 0.5;
    bgr[c] = static_cast<uint8_t>(value <= 0 ? 0 : value >= 255 ? 255 : static_cast<int>(value));
  }
}

double RefractOffset(double n, double nz, double depth) {
  const double sin_i = -n / std::sqrt(n * n + nz * nz);
  const double tan_i = -n / nz;
  const double sin_r = sin_i * 0.24;
  double tan_r = std::sqrt(1 / (1 - sin_r * sin_r) - 1);
  if (n > 0) tan_r = -tan_r;
  return (tan_i - tan_r) / (tan_i * tan_r + 1) * depth;
}

SurfaceLight LightSurface(double n[3], const double l[3]) {
  const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
  n[0] /= length;
  n[1] /= length;
  n[2] /= length;
  const double d = n[0] * l[0] + n[1] * l[1] + n[2] * l[2];
  const double rz = 2 * d * n[2] - l[2];  // vertical component of the reflected light
  // Comparisons written so that a degenerate normal (not a number) gives no light at all.
  return SurfaceLight{d > 0 ? d : 0.0, rz > 0 ? std::pow(rz, 12) : 0.0};
}

int ShadeValue(const SurfaceLight& light, int c) {
  int v = static_cast<int>((light.diffuse * 255 + 204) * c / 255);
  if (v > c) v = c;
  const double shine = 240 * light.specular;
  v += shine < 256 ? static_cast<int>(shine) : 256;
  return v < 0 ? 0 : v > 255 ? 255 : v;
}

bool Filter::Flip(int command) {
  if (image_count_ == 0 || (command != 123 && command != 124)) return false;
  ImagePtr result(CloneImage(current_, false));
  const auto ops = CreatePixelOps(current_);
  if (!result || !ops) return false;
  // A run-length source whose stream cannot be decoded leaves the copy as it was. The copy's
  // compression is set to a value no flip writes, so that this shows, and nothing is made.
  const int bpp = BitCount(current_);
  const bool coded = IsRunLength(current_) && (bpp == 8 || bpp == 4);
  if (coded) result->info->bmiHeader.biCompression = BI_BITFIELDS;
  if (command == 123) {
    ops->FlipVertical(current_, result.get());
  } else {
    ops->MirrorHorizontal(current_, result.get());
  }
  if (coded && result->info->bmiHeader.biCompression == BI_BITFIELDS) return false;
  return SetResult(result.release());
}

bool Filter::ConeMapping() {
  if (image_count_ == 0) return false;
  TrueColorJob job(*this, current_);
  if (!job.ok()) return false;
  const DibImage* s = job.source.get();
  uint8_t background[3];
  ColourBytes(background_colour_, background);
  const int w = Width(s), h = Height(s);
  const double c = w / 2.0;
  for (int y = 0; y < h; ++y) {
    // The row shows the front half of a circle of radius r, from xl to xr.
    const double r = static_cast<double>(y) / h * c;
    const int xl = static_cast<int>(c - r), xr = static_cast<int>(c + r);
    uint8_t* d = RowAddress(job.result.get(), y);
    for (int x = 0; x < w; ++x, d += 3) {
      if (x < xl || x > xr) {
        std::memcpy(d, background, 3);
        continue;
      }
      const double dd = x - xl;
      const double q = 2 * r * dd - dd * dd;
      if (q < 0) {  // past the circle's end, at the narrow spans near the apex: the colour before
        std::memcpy(d, x > 0 ? d - 3 : background, 3);
        continue;
      }
      double theta = r - dd == 0 ? kPi / 2 : std::atan(std::sqrt(q) / (r - dd));
      if (theta < 0) theta += kPi;
      SampleBilinear(s, w * theta / kPi, y, d);
    }
  }
  return SetResult(job.result.release());
}

bool Filter::SphereMapping() {
  if (image_count_ == 0) return false;
  TrueColorJob job(*this, current_);
  if (!job.ok()) return false;
  const DibImage* s = job.source.get();
  uint8_t background[3];
  ColourBytes(background_colour_, background);
  const int w = Width(s), h = Height(s);
  const double radius = h / 2.0, c = w / 2.0, r2 = radius * radius;
  for (int y = 0; y < h; ++y) {
    const double dy = y - radius, dy2 = dy * dy, across = r2 - dy2;
    uint8_t* d = RowAddress(job.result.get(), y);
    for (int x = 0; x < w; ++x, d += 3) {
      const double dx = (x - c) * radius / c, dx2 = dx * dx;
      if (std::sqrt(dx2 + dy2) > radius) {
        std::memcpy(d, background, 3);
        continue;
      }
      // Each chord of the inscribed ellipse shows the whole width (or height) of the picture.
      double un = 0, vn = 0;
      if (dx != 0) un = dx < 0 ? -std::sqrt(dx2 / across) : std::sqrt(dx2 / across);
      if (dy != 0) vn = dy < 0 ? -std::sqrt(dy2 / (r2 - dx2)) : std::sqrt(dy2 / (r2 - dx2));
      SampleBilinear(s, un * w / 2 + w / 2.0, vn * h / 2 + h / 2.0, d);
    }
  }
  return SetResult(job.result.release());
}

int Filter::WaterSurface(int command) {
  if (image_count_ == 0 || (command != 127 && command != 173 && command != 174)) return 0;
  TrueColorJob job(*this, current_);
  if (!job.ok()) return 0;
  const DibImage* s = job.source.get();
  const int w = Width(s), h = Height(s);
  const double k = 2 * kPi / kWavelength, ka = -k * kAmplitude;
  const double unit = std::sqrt(3.0), light[3] = {-1 / unit, -1 / unit, 1 / unit};
  std::optional<Progress> progress;  // the rings take long: every pixel has a surface of its own
  if (command == 127) progress.emplace(kProgressWorking);

  // Horizontal waves change with the row only, vertical waves with the column only: their
  // surface points are made once per row or per column.
  std::unique_ptr<SurfacePoint[]> columns;
  if (command == 174) {
    columns.reset(new (std::nothrow) SurfacePoint[static_cast<size_t>(w)]);
    if (!columns) return 0;
    for (int x = 0; x < w; ++x) {
      double n[3] = {ka * std::cos(k * x), 0, 1};
      columns[x] = MakeSurfacePoint(n, (std::sin(k * x) + 1) * kAmplitude + kBaseDepth, light);
    }
  }
  for (int y = 0; y < h; ++y) {
    const uint8_t* below = RowAddress(s, y);
    uint8_t* d = RowAddress(job.result.get(), y);
    if (command == 173) {
      double n[3] = {0, ka * std::cos(k * y), 1};
      const SurfacePoint p = MakeSurfacePoint(n, (std::sin(k * y) + 1) * kAmplitude + kBaseDepth, light);
      for (int x = 0; x < w; ++x, d += 3) Refract(s, w, h, x, below, x + p.ox, y + p.oy, p, d);
    } else if (command == 174) {
      for (int x = 0; x < w; ++x, d += 3) {
        const SurfacePoint& p = columns[x];
        Refract(s, w, h, x, below, x + p.ox, y + p.oy, p, d);
      }
    } else {
      const double dy = y - h / 2.0;
      for (int x = 0; x < w; ++x, d += 3) {
        // Rings around the centre; at the centre itself the surface is flat (the limit of the
        // normal there), so the centre pixel shows itself.
        const double dx = x - w / 2.0, r = std::sqrt(dx * dx + dy * dy);
        double n[3] = {0, 0, 1};
        if (r != 0) {
          const double slope = ka * std::sin(k * r);
          n[0] = slope * dx / r;
          n[1] = slope * dy / r;
        }
        const SurfacePoint p = MakeSurfacePoint(n, (std::cos(k * r) + 1) * kAmplitude + kBaseDepth, light);
        Refract(s, w, h, x, below, x + p.ox, y + p.oy, p, d);
      }
    }
    if (progress) progress->Step(y + 1, h);
  }
  return SetResult(job.result.release()) ? 1 : 0;
}

bool Filter::RadialBlur(int command, int strength) {
  if (image_count_ == 0 || (command != 171 && command != 172)) return false;
  if (strength < -(1 << 20) || strength > (1 << 20)) return false;  // smears longer than any picture
  TrueColorJob job(*this, current_);
  if (!job.ok()) return false;
  const DibImage* s = job.source.get();
  const int w = Width(s), h = Height(s);
  const double cx = w / 2.0, cy = h / 2.0;
  const double rmax = std::sqrt((w - cx) * (w - cx) + (h - cy) * (h - cy));
  Progress progress(kProgressWorking);
  for (int y = 0; y < h; ++y) {
    const double dy = y - cy;
    uint8_t* d = RowAddress(job.result.get(), y);
    for (int x = 0; x < w; ++x, d += 3) {
      // Seventeen samples on a line through the pixel: toward the centre (171) or across (172),
      // the middle one weighing three; the line grows with the distance from the centre.
      const double dx = x - cx;
      double theta = dx == 0 ? kPi / 2 : std::atan(dy / dx);
      if (command == 172) theta += kPi / 2;
      const double step = strength * std::sqrt(dx * dx + dy * dy) / rmax / 8.0;
      const double cos_t = std::cos(theta), sin_t = std::sin(theta);
      int sum[3] = {0, 0, 0}, total = 0;
      for (int i = 0; i < 17; ++i) {
        const double t = (i - 8) * step;
        const int sx = static_cast<int>(cos_t * t) + x, sy = static_cast<int>(sin_t * t) + y;
        if (sx < 0 || sx >= w || sy < 0 || sy >= h) continue;
        const int weight = i == 8 ? 3 : 1;
        const uint8_t* p = RowAddress(s, sy) + 3 * static_cast<size_t>(sx);
        sum[0] += weight * p[0];
        sum[1] += weight * p[1];
        sum[2] += weight * p[2];
        total += weight;
      }
      d[0] = static_cast<uint8_t>(sum[0] / total);
      d[1] = static_cast<uint8_t>(sum[1] / total);
      d[2] = static_cast<uint8_t>(sum[2] / total);
    }
    progress.Step(y + 1, h);
  }
  return SetResult(job.result.release());
}

DibImage* Filter::Diffuse(const DibImage* image, int distance) {
  if (distance < 0 || distance > (1 << 20)) return nullptr;
  TrueColorJob job(*this, image);
  if (!job.ok()) return nullptr;
  const DibImage* s = job.source.get();
  const int w = Width(s), h = Height(s), span = 2 * distance + 1;
  for (int y = 0; y < h; ++y) {
    const uint8_t* here = RowAddress(s, y);
    uint8_t* d = RowAddress(job.result.get(), y);
    for (int x = 0; x < w; ++x, d += 3) {
      // One offset for both axes: the pixel comes from along the diagonal, or stays.
      const int o = NextDiffusionRandom() % span - distance;
      const int nx = x + o, ny = y + o;
      const bool inside = nx >= 0 && nx < w && ny >= 0 && ny < h;
      std::memcpy(d, inside ? RowAddress(s, ny) + 3 * static_cast<size_t>(nx) : here + 3 * static_cast<size_t>(x), 3);
    }
  }
  return job.result.release();
}
