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
    blue_ = rec_->w + HistogramRecord::kBlue;
    green_ = rec_->w + HistogramRecord::kGreen;
    red_ = rec_->w + HistogramRecord::kRed;
    max_ = rec_->w + HistogramRecord::kMax;
  }

  // Adds count pixels of one colour.
  void Add(int b, int g, int r, uint32_t count = 1) {
    if (!count) return;
    blue_[b] += count;
    green_[g] += count;
    red_[r] += count;
    max_[std::max(b, std::max(g, r))] += count;
    Extremes(b, g, r);
  }

  // Adds a row of pixels whose blue, green and red are bytes 0, 1, 2 of every step bytes, each
  // channel AND-ed with its mask. Alternate pixels go to a second set of counts, so that runs of
  // equal values do not wait on each other's increments.
  void AddRow(const uint8_t* p, int count, int step, const uint8_t mask[3]) {
    int lo = low_sum_, hi = high_sum_;
    unsigned colour = colour_;
    int x = 0;
    for (; x + 1 < count; x += 2, p += 2 * step) {
      const int b0 = p[0] & mask[0], g0 = p[1] & mask[1], r0 = p[2] & mask[2];
      const int b1 = p[step] & mask[0], g1 = p[step + 1] & mask[1], r1 = p[step + 2] & mask[2];
      ++blue_[b0];
      ++green_[g0];
      ++red_[r0];
      ++max_[std::max(b0, std::max(g0, r0))];
      ++odd_[0][b1];
      ++odd_[1][g1];
      ++odd_[2][r1];
      ++odd_[3][std::max(b1, std::max(g1, r1))];
      const int s0 = b0 + g0 + r0, s1 = b1 + g1 + r1;
      lo = std::min(lo, std::min(s0, s1));
      hi = std::max(hi, std::max(s0, s1));
      colour |= static_cast<unsigned>((b0 ^ g0) | (g0 ^ r0) | (b1 ^ g1) | (g1 ^ r1));
    }
    low_sum_ = lo;
    high_sum_ = hi;
    colour_ = colour;
    if (x < count) Add(p[0] & mask[0], p[1] & mask[1], p[2] & mask[2]);
  }

  std::unique_ptr<HistogramRecord> Finish() {
    uint32_t* w = rec_->w;
    for (int v = 0; v < 256; ++v) {
      blue_[v] += odd_[0][v];
      green_[v] += odd_[1][v];
      red_[v] += odd_[2][v];
      max_[v] += odd_[3][v];
    }
    w[HistogramRecord::kGrey] = colour_ ? 0 : 1;
    const int bases[4] = {HistogramRecord::kBlue, HistogramRecord::kGreen, HistogramRecord::kRed,
                          HistogramRecord::kMax};
    for (int c = 0; c < 4; ++c) {
      int best = 0;  // ties go to the lowest value
      for (int v = 1; v < 256; ++v)
        if (w[bases[c] + v] > w[bases[c] + best]) best = v;
      w[HistogramRecord::kPeakValue + c] = static_cast<uint32_t>(best);
      w[HistogramRecord::kPeakCount + c] = w[bases[c] + best];
    }
    // Brightness is (b + g + r) / 3, so its extremes are those of the sums. With no pixel they
    // keep their start values 0 and 255.
    w[HistogramRecord::kBrightest] = static_cast<uint32_t>(high_sum_ >= 0 ? high_sum_ / 3 : 0);
    w[HistogramRecord::kDarkest] = static_cast<uint32_t>(low_sum_ <= 765 ? low_sum_ / 3 : 255);
    return std::move(rec_);
  }

 private:
  void Extremes(int b, int g, int r) {
    const int s = b + g + r;
    low_sum_ = std::min(low_sum_, s);
    high_sum_ = std::max(high_sum_, s);
    colour_ |= static_cast<unsigned>((b ^ g) | (g ^ r));
  }

  std::unique_ptr<HistogramRecord> rec_;
  uint32_t* blue_;
  uint32_t* green_;
  uint32_t* red_;
  uint32_t* max_;
  uint32_t odd_[4][256] = {};
  int low_sum_ = 766, high_sum_ = -1;
  unsigned colour_ = 0;
};
