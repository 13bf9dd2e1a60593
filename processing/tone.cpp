// Tone and colour operations: negative, grey, sepia, the two-level conversions, the tone curves
// and the histogram stretch and equalisation.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "processing/filter.h"

namespace {
constexpr double kPi = 3.14159265358979323846;
}

namespace {

// Counts of a 24-bit image's values: per channel (blue, green, red) and of max(blue, green, red),
// the brightness histogram.
struct ToneCounts {
  uint32_t channel[3][256] = {};
  uint32_t brightness[256] = {};
};

void CountTones(const DibImage* image, ToneCounts* counts, bool channels) {
  const int w = Width(image), h = Height(image);
  for (int y = 0; y < h; ++y) {
    const uint8_t* p = RowAddress(image, y);
    if (channels) {
      for (int x = 0; x < w; ++x, p += 3) {
        ++counts->channel[0][p[0]];
        ++counts->channel[1][p[1]];
        ++counts->channel[2][p[2]];
      }
    } else {
      for (int x = 0; x < w; ++x, p += 3) ++counts->brightness[std::max(p[0], std::max(p[1], p[2]))];
    }
  }
}

}  // namespace

bool Filter::SetResult(DibImage* image) {
  if (!image) return false;
  pending_ = image;
  return true;
}

void Filter::ApplyTable(DibImage* image, const uint8_t table[256]) {
  const int h = Height(image);
  const size_t n = 3 * static_cast<size_t>(Width(image));
  for (int y = 0; y < h; ++y) {
    uint8_t* p = RowAddress(image, y);
    for (size_t i = 0; i < n; ++i) p[i] = table[p[i]];
  }
}

bool Filter::ApplyNegative() {
  if (image_count_ == 0) return false;
  ImagePtr result(CloneImage(current_, true));
  if (!result) return false;
  auto ops = CreatePixelOps(result.get());
  if (!ops) return false;
  ops->Negative(result.get());
  return SetResult(result.release());
}

bool Filter::ApplyGrayOrSepia(int command) {
  if (image_count_ == 0 || BitCount(current_) == 1) return false;
  ImagePtr result(CloneImage(current_, true));
  if (!result) return false;
  auto ops = CreatePixelOps(result.get());
  if (!ops) return false;
  ops->GrayOrSepia(result.get(), command);
  return SetResult(result.release());
}

int Filter::OtsuThreshold(const uint32_t* h) {
  double best = -1000.0;
  int t = 0;
  double n_all = 0, s_all = 0;
  for (int i = 0; i < 256; ++i) {
    n_all += h[i];
    s_all += static_cast<double>(i) * h[i];
  }
  double n_a = h[0], s_a = 0;  // class A holds 0 .. k-1
  for (int k = 1; k <= 254; ++k) {
    if (k > 1) {
      n_a += h[k - 1];
      s_a += static_cast<double>(k - 1) * h[k - 1];
    }
    const double n_b = n_all - n_a, s_b = s_all - s_a;
    const double m_a = n_a != 0 ? s_a / n_a : 0.0;
    const double m_b = n_b != 0 ? s_b / n_b : 0.0;
    const double n = n_a + n_b;
    if (n == 0) continue;
    const double m = (s_a + s_b) / n;
    const double v = (n_a / n) * (m_a - m) * (m_a - m) + (n_b / n) * (m_b - m) * (m_b - m);
    if (v > best) {
      best = v;
      t = k;
    }
  }
  return t;
}

bool Filter::BinarizeGray() {
  if (image_count_ == 0) return false;
  ImagePtr result(MakeTrueColorCopy(current_));
  if (!result) return false;
  // Grey in place, counting the grey values on the way (the red counts of the grey image).
  uint32_t counts[256] = {};
  const int width = Width(result.get()), height = Height(result.get());
  for (int y = 0; y < height; ++y) {
    uint8_t* p = RowAddress(result.get(), y);
    for (int x = 0; x < width; ++x, p += 3) {
      const int g = GreyLuma(p[0], p[1], p[2]);
      p[0] = p[1] = p[2] = static_cast<uint8_t>(g);
      ++counts[g];
    }
  }
  const int t = OtsuThreshold(counts);
  uint8_t table[256];
  for (int i = 0; i < 256; ++i) table[i] = i > t ? 255 : 0;
  ApplyTable(result.get(), table);
  return SetResult(result.release());
}

bool Filter::BinarizeRgb() {
  if (image_count_ == 0) return false;
  ImagePtr result(MakeTrueColorCopy(current_));
  if (!result) return false;
  ToneCounts counts;
  CountTones(result.get(), &counts, true);
  const int t[3] = {OtsuThreshold(counts.channel[0]), OtsuThreshold(counts.channel[1]),
                    OtsuThreshold(counts.channel[2])};
  const int width = Width(result.get()), height = Height(result.get());
  for (int y = 0; y < height; ++y) {
    uint8_t* p = RowAddress(result.get(), y);
    for (int x = 0; x < width; ++x, p += 3) {
      p[0] = p[0] > t[0] ? 255 : 0;
      p[1] = p[1] > t[1] ? 255 : 0;
      p[2] = p[2] > t[2] ? 255 : 0;
    }
  }
  return SetResult(result.release());
}

bool Filter::ApplyToneCurve(int command) {
  if (image_count_ == 0) return false;
  if (command != 113 && command != 114 && command != 115) return false;
  ImagePtr result(MakeTrueColorCopy(current_));
  if (!result) return false;
  uint8_t table[256];
  const double k = kPi / 2 / 255, k2 = kPi / 255;
  for (int i = 0; i < 256; ++i) {
    double v;
    if (command == 113)
      v = 255 * std::sin(i * k);
    else if (command == 114)
      v = 255 * (1 - std::cos(i * k));
    else
      v = 127 * (1 - std::cos(i * k2));
    table[i] = static_cast<uint8_t>(static_cast<int>(v));
  }
  ApplyTable(result.get(), table);
  return SetResult(result.release());
}

bool Filter::StretchHistogram() {
  if (image_count_ == 0) return false;
  ImagePtr result(MakeTrueColorCopy(current_));
  if (!result) return false;
  ToneCounts counts;
  CountTones(result.get(), &counts, false);
  const uint32_t* v = counts.brightness;
  const int64_t n = static_cast<int64_t>(Width(result.get())) * Height(result.get());
  const int64_t p = n / 100;
  // Walk the brightness counts to the 1 % and 99 % points. The walk never passes value 255:
  // by then the sum has reached n.
  int i = 0;
  int64_t s = 0;
  while (s < p && i < 256) s += v[i++];
  const int low = i - 1;
  while (s < n / 2 && i < 256) s += v[i++];
  while (s < 99 * p && i < 256) s += v[i++];
  const int high = i - 1;
  const double scale = high != low ? 255.0 / (high - low) : 0.0;
  uint8_t table[256];
  for (int b = 0; b < 256; ++b) {
    if (b < low)
      table[b] = 0;
    else if (b > high)
      table[b] = 255;
    else
      table[b] = static_cast<uint8_t>(static_cast<int>((b - low) * scale));
  }
  ApplyTable(result.get(), table);
  return SetResult(result.release());
}

bool Filter::EqualizeHistogram() {
  if (image_count_ == 0) return false;
  ImagePtr result(MakeTrueColorCopy(current_));
  if (!result) return false;
  ToneCounts counts;
  CountTones(result.get(), &counts, false);
  const uint32_t* v = counts.brightness;
  const int64_t n = static_cast<int64_t>(Width(result.get())) * Height(result.get());
  const int64_t q = n / 256 + 1;
  uint8_t table[256];
  int64_t sum = 0;
  for (int i = 0; i < 256; ++i) {
    sum += v[i];
    table[i] = static_cast<uint8_t>(sum / q);
  }
  ApplyTable(result.get(), table);
  return SetResult(result.release());
}
