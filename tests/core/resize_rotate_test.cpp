// Resize and rotate: every pixel against the formulas written out here in doubles, quarter turns
// and the doubled size against ImageMagick, the messages and progress, the refused sizes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>

#include "formats/bmp_io.h"
#include "processing/filter.h"
#include "tests/core/test_support.h"

namespace {

struct Document {
  Filter doc;
  RecordingChannel channel;
  Document(int w, int h, int bpp = 24) {
    ImagePtr image = NewImage(w, h, bpp);
    FillRandom(image.get(), 7);
    doc.pending_ = image.release();
    doc.Commit();
  }
  DibImage* Copy() { return doc.MakeTrueColorCopy(doc.current_); }
  ImagePtr Result() {  // taken out of the pending slot
    ImagePtr out(doc.pending_ != doc.current_ ? doc.pending_ : nullptr);
    doc.pending_ = doc.current_;
    return out;
  }
};

// Blue, green, red rows from the top, and the size.
struct Picture {
  int w, h;
  std::vector<uint8_t> bgr;
  bool operator==(const Picture& o) const { return w == o.w && h == o.h && bgr == o.bgr; }
  const uint8_t* At(int x, int y) const { return &bgr[3 * (static_cast<size_t>(y) * w + x)]; }
  void Take(const Picture& from, int x, int y) { bgr.insert(bgr.end(), from.At(x, y), from.At(x, y) + 3); }
};
Picture Of(const DibImage* image) { return {Width(image), Height(image), Pixels24(image)}; }

// The rotation as written (quarter turns with exact sines and cosines).
Picture ReferenceRotation(const Picture& s, double angle, double sx, double sy, uint32_t fill) {
  const double exact[5] = {0, 1, 0, -1, 0}, r = angle * 3.14159265358979323846 / 180;
  const int q = (static_cast<int>(std::fmod(angle / 90, 4.0)) + 4) % 4;
  const bool quarter = std::fmod(angle, 90.0) == 0;
  const double sn = quarter ? exact[q] : std::sin(r), cs = quarter ? exact[q + 1] : std::cos(r);
  double min_x = 0, max_x = 0, min_y = 0, max_y = 0;
  for (auto [x, y] : {std::pair<double, double>{0, 0}, {s.w - 1.0, 0}, {s.w - 1.0, s.h - 1.0}, {0, s.h - 1.0}}) {
    min_x = std::min(min_x, (x * cs - y * sn) * sx), max_x = std::max(max_x, (x * cs - y * sn) * sx);
    min_y = std::min(min_y, (x * sn + y * cs) * sy), max_y = std::max(max_y, (x * sn + y * cs) * sy);
  }
  Picture d{static_cast<int>(max_x - min_x + 1.5), static_cast<int>(max_y - min_y + 1.5), {}};
  for (int y = 0; y < d.h; ++y)
    for (int x = 0; x < d.w; ++x) {
      const double u = x - std::trunc(-min_x), v = y - std::trunc(-min_y);
      const double c = std::trunc((u * cs + v * sn) / sx), r = std::trunc((-u * sn + v * cs) / sy);
      if (c < s.w && r < s.h && c >= 0 && r >= 0)
        d.Take(s, static_cast<int>(c), static_cast<int>(r));
      else
        d.bgr.insert(d.bgr.end(), {uint8_t(fill >> 16), uint8_t(fill >> 8), uint8_t(fill)});
    }
  return d;
}

// Nearest neighbour (the index kept inside) or SampleArea over the area average's windows.
Picture ReferenceResize(const Picture& s, double sx, double sy, bool nearest) {
  Picture d{static_cast<int>(s.w * sx + 0.5), static_cast<int>(s.h * sy + 0.5), {}};
  const double rx = (s.w + 1.0) / (d.w + 1.0), ry = (s.h + 1.0) / (d.h + 1.0);
  for (int y = 0; y < d.h; ++y)
    for (int x = 0; x < d.w; ++x) {
      if (nearest) {
        const int c = static_cast<int>(x * s.w / static_cast<double>(d.w) + 0.5), r = static_cast<int>(y * s.h / static_cast<double>(d.h) + 0.5);
        d.Take(s, std::min(c, s.w - 1), std::min(r, s.h - 1));
        continue;
      }
      const double x0 = x * rx, x1 = (x + 1) * rx, y0 = y * ry, y1 = (y + 1) * ry;
      double total = 0, sum[3] = {0, 0, 0};
      for (int j = static_cast<int>(y0); j < static_cast<int>(y1) + (y1 == std::trunc(y1) ? 0 : 1); ++j)
        for (int i = static_cast<int>(x0); i < static_cast<int>(x1) + (x1 == std::trunc(x1) ? 0 : 1); ++i) {
          const double weight = (std::min(i + 1.0, x1) - std::max<double>(i, x0)) * (std::min(j + 1.0, y1) - std::max<double>(j, y0));
          total += weight;
          for (int c = 0; c < 3 && i < s.w && j < s.h; ++c) sum[c] += weight * s.At(i, j)[c];
        }
      for (int c = 0; c < 3; ++c) d.bgr.push_back(static_cast<uint8_t>(sum[c] / total + 0.5));
    }
  return d;
}

TEST(ResizeRotate, EveryPixelIsTheFormulas) {
  enum Kind { kRotate, kNearest, kArea };
  const struct {
    Kind kind;
    int w, h;
    double angle, sx, sy;
  } cases[] = {
      {kRotate, 1, 1, 45, 1, 1},    {kRotate, 2, 2, 90, 1, 1},     {kRotate, 2, 2, 30, 1, 1},     {kRotate, 9, 4, 45, 1, 1},
      {kRotate, 4, 9, -90, 1, 1},   {kRotate, 4, 9, 300, 1, 1},    {kRotate, 13, 7, 0, 1, 1},     {kRotate, 13, 7, 180, 1, 1},
      {kRotate, 13, 7, 270, 1, 1},  {kRotate, 13, 7, 360, 1, 1},   {kRotate, 13, 7, 359, 1, 1},   {kRotate, 300, 1, 17, 1, 1},
      {kRotate, 1, 300, 73, 1, 1},  {kRotate, 133, 70, 45, 1, 1},  {kRotate, 70, 133, 90, 1, 1},  {kRotate, 50, 30, 0, 1.99, 0.3},
      {kRotate, 40, 9, 0, 2.51, 7.2}, {kRotate, 21, 13, 30, 1.5, 0.7}, {kRotate, 21, 13, 90, 0.5, 2}, {kRotate, 5, 5, 0, 1e-9, 1},
      {kNearest, 1, 1, 0, 2, 2},    {kNearest, 2, 2, 0, 3, 3},     {kNearest, 5, 3, 0, 2.5, 1},   {kNearest, 1, 7, 0, 1, 4.3},
      {kNearest, 300, 2, 0, 2, 7},  {kNearest, 6, 9, 0, 0.5, 1},   {kArea, 1, 1, 0, 0.5, 0.5},    {kArea, 2, 2, 0, 0.5, 0.5},
      {kArea, 101, 51, 0, 0.5, 0.5}, {kArea, 300, 1, 0, 0.3, 1},   {kArea, 1, 300, 0, 1, 0.37},   {kArea, 9, 9, 0, 0.999, 0.999},
      {kArea, 200, 150, 0, 0.1, 0.2}, {kArea, 7, 5, 0, 1.7, 1},    {kArea, 5, 7, 0, 1, 2.2},      {kArea, 257, 3, 0, 0.004, 1},
      {kArea, 4200000, 1, 0, 0.5, 1}, {kArea, 2500, 2000, 0, 0.5, 0.0003},  // no column table; no ring of rows
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.kind << ": " << c.w << "x" << c.h << " " << c.angle << " " << c.sx << " " << c.sy);
    Document d(c.w, c.h);
    d.doc.background_colour_ = 0x123456;
    const Picture source = Of(d.doc.current_);
    DibImage* copy = d.Copy();
    ASSERT_TRUE(c.kind == kRotate    ? d.doc.RotateImage(copy, c.angle, c.sx, c.sy)
                : c.kind == kNearest ? d.doc.ScaleNearest(copy, c.sx, c.sy)
                                     : d.doc.ScaleAreaAverage(copy, c.sx, c.sy));
    EXPECT_TRUE(Of(d.Result().get()) == (c.kind == kRotate ? ReferenceRotation(source, c.angle, c.sx, c.sy, 0x123456)
                                                            : ReferenceResize(source, c.sx, c.sy, c.kind == kNearest)));
    EXPECT_TRUE(d.channel.boxes.empty());
  }
}

TEST(ResizeRotate, QuarterTurnsAndDoubleSizeAgainstImageMagick) {
  Document d(7, 5);
  TempDir dir;
  BmpIOClass io;
  ASSERT_TRUE(WriteWith(io, d.doc.current_, dir.File("in.bmp")));
  for (const char* options : {"-rotate 90", "-rotate 180", "-rotate 270", "-sample 200%"}) {
    const bool sample = options[1] == 's';
    ASSERT_TRUE(sample ? d.doc.ScaleNearest(d.Copy(), 2, 2) : d.doc.RotateImage(d.Copy(), std::atoi(options + 8), 1, 1));
    const Picture ours = Of(d.Result().get());
    Picture magick{ours.w, ours.h, MagickPixels(dir.File("in.bmp"), std::string(options) + " -depth 8 bgr:-")};
    if (sample) {  // rnd(x / 2) takes the source pixels 0, 1, 1, 2, 2 ..., -sample 0, 0, 1, 1 ...
      Picture moved{ours.w, ours.h, {}};
      for (int y = 0; y < ours.h; ++y)
        for (int x = 0; x < ours.w; ++x) moved.Take(magick, std::min(x + 1, ours.w - 1), std::min(y + 1, ours.h - 1));
      magick = moved;
    }
    EXPECT_TRUE(ours == magick) << options;
  }
}

TEST(Resize, CodesMessagesAndProgress) {
  const struct {
    int w, h;
    double sx, sy;
    int new_w, new_h, steps;  // progress steps, -1: no progress window
  } cases[] = {
      {10, 10, 1, 1, 10, 10, -1},   {101, 51, 0.5, 0.5, 51, 26, 26},  {100, 100, 2, 0.5, 200, 50, 50},
      {100, 100, 0.5, 2, 50, 200, 100}, {10, 10, 2, 2, 20, 20, -1}, {10, 10, 1, 0.5, 10, 5, 5},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.sx << ", " << c.sy);
    Document d(c.w, c.h);
    double sx = c.sx, sy = c.sy;
    d.doc.pending_ = d.Copy();
    d.doc.ScaleImage(&sx, &sy);
    ImagePtr out = d.Result();
    EXPECT_EQ(Width(out.get()) * 1000 + Height(out.get()), c.new_w * 1000 + c.new_h);
    if (c.sx == 1 && c.sy == 1) {
      EXPECT_TRUE(d.channel.boxes.empty());
      continue;
    }
    ASSERT_TRUE(d.channel.ShowedOnly(kMsgFinished));
    const RecordingChannel::Box& box = d.channel.boxes[0];
    EXPECT_TRUE(box.caption == kCaptionInfo && box.style == MB_ICONINFORMATION && box.owned);
    const std::vector<std::string>& p = d.channel.progress;
    ASSERT_EQ(p.size(), static_cast<size_t>(c.steps + (c.steps < 0 ? 1 : 2)));
    if (c.steps < 0) continue;
    EXPECT_EQ(p.front(), std::string("begin:") + ProgressCaptionText(kProgressShrinking));
    EXPECT_EQ(p[1], "0 / " + std::to_string(c.new_h));
    if (c.steps == c.new_h) {  // beyond a hundred rows the helper shows each percent once
      EXPECT_EQ(p[p.size() - 2], std::to_string(c.new_h - 1) + " / " + std::to_string(c.new_h));
    }
    EXPECT_EQ(p.back(), "end");
  }
}

TEST(ResizeRotate, RefusedSizesChangeNothingAndEveryDepthGoesThroughItsCopy) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const struct {
    int command;
    std::vector<double> values;
    uint64_t limit;  // 0: the default
  } refused[] = {
      {154, {0.001, 0.001}, 0}, {154, {1e300, 1}, 0}, {154, {1, -3}, 0},   {154, {nan, 0.5}, 0},
      {154, {3, 3}, 900},       {154, {3, 0.5}, 250}, {128, {45}, 200},    {154, {70000, 70000}, 0},
  };
  for (const auto& c : refused) {
    SCOPED_TRACE(testing::Message() << c.command << " " << c.values[0] << " limit " << c.limit);
    Document d(20, 10);
    SetMaxPixels(c.limit);
    EXPECT_FALSE(d.doc.RunOperation(c.command, c.values.data(), static_cast<int>(c.values.size())));
    SetMaxPixels(0);
    EXPECT_TRUE(d.doc.pending_ == d.doc.current_ && d.doc.image_count_ == 1);
    ASSERT_EQ(d.channel.boxes.size(), c.command == 154 ? 2u : 1u);  // the resize ends with its box
    EXPECT_TRUE(d.channel.boxes[0].text == MessageText(kMsgNoMemory) && d.channel.boxes[0].style == MB_ICONHAND);
  }
  for (int bpp : {1, 4, 8, 16, 24, 32}) {
    Document d(13, 3, bpp);
    const double values[2] = {0.5, 2}, turn = 90;
    ASSERT_TRUE(d.doc.RunOperation(154, values, 2)) << bpp;
    ImagePtr resized = d.Result();
    ASSERT_TRUE(d.doc.RunOperation(128, &turn, 1)) << bpp;
    ImagePtr turned = d.Result();
    EXPECT_EQ(BitCount(resized.get()) + BitCount(turned.get()), 48);
    EXPECT_EQ(Width(resized.get()) * 100 + Height(resized.get()), 706);
    EXPECT_EQ(Width(turned.get()) * 100 + Height(turned.get()), 313);
  }
}

}  // namespace
