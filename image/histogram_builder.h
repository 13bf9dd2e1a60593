// Accumulates a HistogramRecord from blue, green, red triples (internal to the pixel formats).
#pragma once
#include <algorithm>
#include <cstring>
#include <memory>

#include "image/dib_image.h"

class HistogramBuilder {
 public:
  HistogramBuilder() : rec_(new HistogramRecord) {
    std::memset(rec_->w, 0, sizeof rec_->w);
  }

  // Adds count pixels of one colour.
  void Add(int b, int g, int r, uint32_t count = 1) {
    uint32_t* w = rec_->w;
    if (b != g || g != r) grey_ = false;
    w[HistogramRecord::kBlue + b] += count;
    w[HistogramRecord::kGreen + g] += count;
    w[HistogramRecord::kRed + r] += count;
    w[HistogramRecord::kMax + std::max(b, std::max(g, r))] += count;
    const int brightness = (b + g + r) / 3;
    if (brightness > brightest_) brightest_ = brightness;
    if (brightness < darkest_) darkest_ = brightness;
  }

  std::unique_ptr<HistogramRecord> Finish() {
    uint32_t* w = rec_->w;
    w[HistogramRecord::kGrey] = grey_ ? 1 : 0;
    const int bases[4] = {HistogramRecord::kBlue, HistogramRecord::kGreen, HistogramRecord::kRed,
                          HistogramRecord::kMax};
    for (int c = 0; c < 4; ++c) {
      int best = 0;  // ties go to the lowest value
      for (int v = 1; v < 256; ++v)
        if (w[bases[c] + v] > w[bases[c] + best]) best = v;
      w[HistogramRecord::kPeakValue + c] = static_cast<uint32_t>(best);
      w[HistogramRecord::kPeakCount + c] = w[bases[c] + best];
    }
    w[HistogramRecord::kBrightest] = static_cast<uint32_t>(brightest_);
    w[HistogramRecord::kDarkest] = static_cast<uint32_t>(darkest_);
    return std::move(rec_);
  }

 private:
  std::unique_ptr<HistogramRecord> rec_;
  bool grey_ = true;
  int brightest_ = 0;
  int darkest_ = 255;
};
