// Resize, rotate and compositing: every pixel against the formulas written out here, quarter
// turns and the doubled size against ImageMagick, the messages and progress, the refused sizes;
// the blend formulas' worked numbers and the fitting of the second image.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "formats/bmp_io.h"
#include "processing/filter.h"
#include "tests/core/test_support.h"

namespace {

// A document holding random pixels; Copy() its 24-bit copy; Result() the pending image taken out.
struct Doc : Document {
  Doc(int w, int h, int bpp = 24) : Document(RandomImage(w, h, bpp, 7)) {}
  DibImage* Copy() { return doc.MakeTrueColorCopy(doc.current_); }
  ImagePtr Result() {
    ImagePtr out(doc.pending_ != doc.current_ ? doc.pending_ : nullptr);
    doc.pending_ = doc.current_;
    return out;
  }
};
void Take(Picture& to, const Picture& from, int x, int y) { to.px.insert(to.px.end(), from.pixel(x, y), from.pixel(x, y) + 3); }

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
  Picture d(static_cast<int>(max_x - min_x + 1.5), static_cast<int>(max_y - min_y + 1.5), {});
  for (int y = 0; y < d.h; ++y)
    for (int x = 0; x < d.w; ++x) {
      const double u = x - std::trunc(-min_x), v = y - std::trunc(-min_y);
      const double c = std::trunc((u * cs + v * sn) / sx), r = std::trunc((-u * sn + v * cs) / sy);
      if (c < s.w && r < s.h && c >= 0 && r >= 0)
        Take(d, s, static_cast<int>(c), static_cast<int>(r));
      else
        d.px.insert(d.px.end(), {uint8_t(fill >> 16), uint8_t(fill >> 8), uint8_t(fill)});
    }
  return d;
}

// Nearest neighbour (the index kept inside) or SampleArea over the area average's windows.
Picture ReferenceResize(const Picture& s, double sx, double sy, bool nearest) {
  Picture d(static_cast<int>(s.w * sx + 0.5), static_cast<int>(s.h * sy + 0.5), {});
  const double rx = (s.w + 1.0) / (d.w + 1.0), ry = (s.h + 1.0) / (d.h + 1.0);
  for (int y = 0; y < d.h; ++y)
    for (int x = 0; x < d.w; ++x) {
      if (nearest) {
        const int c = static_cast<int>(x * s.w / static_cast<double>(d.w) + 0.5), r = static_cast<int>(y * s.h / static_cast<double>(d.h) + 0.5);
        Take(d, s, std::min(c, s.w - 1), std::min(r, s.h - 1));
        continue;
      }
      const double x0 = x * rx, x1 = (x + 1) * rx, y0 = y * ry, y1 = (y + 1) * ry;
      double total = 0, sum[3] = {0, 0, 0};
      for (int j = static_cast<int>(y0); j < static_cast<int>(y1) + (y1 == std::trunc(y1) ? 0 : 1); ++j)
        for (int i = static_cast<int>(x0); i < static_cast<int>(x1) + (x1 == std::trunc(x1) ? 0 : 1); ++i) {
          const double weight = (std::min(i + 1.0, x1) - std::max<double>(i, x0)) * (std::min(j + 1.0, y1) - std::max<double>(j, y0));
          total += weight;
          for (int c = 0; c < 3 && i < s.w && j < s.h; ++c) sum[c] += weight * s.at(i, j, c);
        }
      for (int c = 0; c < 3; ++c) d.px.push_back(static_cast<uint8_t>(sum[c] / total + 0.5));
    }
  return d;
}

TEST(ResizeRotate, EveryPixelIsTheFormulas) {
  enum Kind { kRotate, kNearest, kArea };
  const struct { Kind kind; int w, h; double angle, sx, sy; } cases[] = {
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
    Doc d(c.w, c.h);
    d.doc.background_colour_ = 0x123456;
    const Picture source(d.doc.current_);
    DibImage* copy = d.Copy();
    ASSERT_TRUE(c.kind == kRotate    ? d.doc.RotateImage(copy, c.angle, c.sx, c.sy)
                : c.kind == kNearest ? d.doc.ScaleNearest(copy, c.sx, c.sy)
                                     : d.doc.ScaleAreaAverage(copy, c.sx, c.sy));
    EXPECT_TRUE(Picture(d.Result().get()) == (c.kind == kRotate ? ReferenceRotation(source, c.angle, c.sx, c.sy, 0x123456)
                                                            : ReferenceResize(source, c.sx, c.sy, c.kind == kNearest)));
    EXPECT_TRUE(d.channel.boxes.empty());
  }
}

TEST(ResizeRotate, QuarterTurnsAndDoubleSizeAgainstImageMagick) {
  Doc d(7, 5);
  TempDir dir;
  BmpIOClass io;
  ASSERT_TRUE(WriteWith(io, d.doc.current_, dir.File("in.bmp")));
  for (const char* options : {"-rotate 90", "-rotate 180", "-rotate 270", "-sample 200%"}) {
    const bool sample = options[1] == 's';
    ASSERT_TRUE(sample ? d.doc.ScaleNearest(d.Copy(), 2, 2) : d.doc.RotateImage(d.Copy(), std::atoi(options + 8), 1, 1));
    const Picture ours(d.Result().get());
    Picture magick(ours.w, ours.h, MagickPixels(dir.File("in.bmp"), std::string(options) + " -depth 8 bgr:-"));
    if (sample) {  // rnd(x / 2) takes the source pixels 0, 1, 1, 2, 2 ..., -sample 0, 0, 1, 1 ...
      Picture moved(ours.w, ours.h, {});
      for (int y = 0; y < ours.h; ++y)
        for (int x = 0; x < ours.w; ++x) Take(moved, magick, std::min(x + 1, ours.w - 1), std::min(y + 1, ours.h - 1));
      magick = moved;
    }
    EXPECT_TRUE(ours == magick) << options;
  }
}

TEST(Resize, CodesMessagesAndProgress) {
  const struct { int w, h; double sx, sy; int new_w, new_h, steps; } cases[] = {  // steps -1: no progress window
      {10, 10, 1, 1, 10, 10, -1},   {101, 51, 0.5, 0.5, 51, 26, 26},  {100, 100, 2, 0.5, 200, 50, 50},
      {100, 100, 0.5, 2, 50, 200, 100}, {10, 10, 2, 2, 20, 20, -1}, {10, 10, 1, 0.5, 10, 5, 5},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.sx << ", " << c.sy);
    Doc d(c.w, c.h);
    double sx = c.sx, sy = c.sy;
    d.doc.pending_ = d.Copy();
    d.doc.ScaleImage(&sx, &sy);
    ImagePtr out = d.Result();
    EXPECT_EQ(Width(out.get()) * 1000 + Height(out.get()), c.new_w * 1000 + c.new_h);
    if (c.sx == 1 && c.sy == 1) {
      EXPECT_TRUE(d.channel.boxes.empty());
      continue;
    }
    EXPECT_EQ(Shown(d.channel), BoxText(MessageText(kMsgFinished), kCaptionInfo, MB_ICONINFORMATION, true));
    const std::vector<std::string>& p = d.channel.progress;
    ASSERT_EQ(p.size(), static_cast<size_t>(c.steps + (c.steps < 0 ? 1 : 2)));
    if (c.steps < 0) continue;
    const std::string rows = " / " + std::to_string(c.new_h);
    EXPECT_EQ(p.front() + "|" + p[1] + "|" + p.back(), "begin:" + std::string(ProgressCaptionText(kProgressShrinking)) + "|0" + rows + "|end");
    // Up to a hundred rows each row is shown; beyond, each percent once.
    EXPECT_TRUE(c.steps != c.new_h || p[p.size() - 2] == std::to_string(c.new_h - 1) + rows);
  }
}

TEST(ResizeRotate, RefusedSizesChangeNothingAndEveryDepthGoesThroughItsCopy) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const struct { int command; std::vector<double> values; uint64_t limit; } refused[] = {  // limit 0: the default
      {154, {0.001, 0.001}, 0}, {154, {1e300, 1}, 0}, {154, {1, -3}, 0},   {154, {nan, 0.5}, 0},
      {154, {3, 3}, 900},       {154, {3, 0.5}, 250}, {128, {45}, 200},    {154, {70000, 70000}, 0},
  };
  for (const auto& c : refused) {
    SCOPED_TRACE(testing::Message() << c.command << " " << c.values[0] << " limit " << c.limit);
    Doc d(20, 10);
    SetMaxPixels(c.limit);
    EXPECT_FALSE(d.doc.RunOperation(c.command, c.values.data(), static_cast<int>(c.values.size())));
    SetMaxPixels(0);
    EXPECT_TRUE(d.doc.pending_ == d.doc.current_ && d.doc.image_count_ == 1);
    ASSERT_EQ(d.channel.boxes.size(), c.command == 154 ? 2u : 1u);  // the resize ends with its box
    EXPECT_TRUE(d.channel.boxes[0].text == MessageText(kMsgNoMemory) && d.channel.boxes[0].style == MB_ICONHAND);
  }
  for (int bpp : {1, 4, 8, 16, 24, 32}) {
    Doc d(13, 3, bpp);
    const double values[2] = {0.5, 2}, turn = 90;
    const ImagePtr resized = d.Run(154, values, 2), turned = d.Run(128, &turn, 1);
    ASSERT_TRUE(resized && turned) << bpp;
    EXPECT_EQ(BitCount(resized.get()) + BitCount(turned.get()), 48);
    EXPECT_EQ(Width(resized.get()) * 100 + Height(resized.get()), 706);
    EXPECT_EQ(Width(turned.get()) * 100 + Height(turned.get()), 313);
  }
}

ImagePtr Image(int w, int h, int grey, int bpp = 24) {  // grey < 0: random bytes
  ImagePtr image = RandomImage(w, h, bpp, static_cast<uint32_t>(-grey));
  if (grey >= 0) std::memset(image->bits, grey, ImageBytes(image.get()));
  return image;
}

// Blends the first image (made current) with the second (loaded as the blend loads it); the two
// 24-bit operands in a and b.
ImagePtr Blend(ImagePtr first, ImagePtr second, int command, int alpha, std::vector<uint8_t>* a = nullptr,
               std::vector<uint8_t>* b = nullptr) {
  Document d(std::move(first));
  EXPECT_TRUE(d.doc.PrepareBlend(second.release()));
  if (a) *a = Pixels24(d.doc.work_), *b = Pixels24(d.doc.pending_);
  if (!(command == 131 ? d.doc.AlphaBlend(alpha) : d.doc.BlendImages(command))) return nullptr;
  EXPECT_TRUE((d.doc.view_flags_ & kViewBlendLoading) == 0 && d.doc.work_ == nullptr);
  ImagePtr out(d.doc.pending_);
  d.doc.pending_ = d.doc.current_;
  return out;
}

TEST(Compositing, WorkedNumbersOfEveryFormulaAndTheTableOnEveryPixel) {
  const struct { int command, alpha, a, b, expected; } worked[] = {
      // The operands differ and sit where a wrong divisor or rounding would show (255 / 256).
      {131, 0, 77, 200, 77},   {131, 100, 77, 200, 200}, {131, 50, 100, 200, 149}, {131, 37, 100, 200, 136},
      {155, 0, 200, 100, 255}, {156, 0, 10, 20, 0},      {156, 0, 20, 10, 10},     {157, 0, 10, 20, 10},
      {158, 0, 100, 200, 78},  {158, 0, 255, 128, 128},  {159, 0, 202, 92, 72},    {160, 0, 202, 92, 222},
      {161, 0, 202, 92, 150},  {162, 0, 10, 20, 20},     {163, 0, 10, 20, 10},     {164, 0, 200, 128, 255},
      {164, 0, 10, 255, 255},  {164, 0, 50, 155, 127},   {165, 0, 0, 1, 0},        {165, 0, 100, 0, 0},
      {165, 0, 100, 200, 58},  {166, 0, 100, 200, 222},  {166, 0, 0, 0, 0},        {167, 0, 200, 200, 255},
      {167, 0, 128, 255, 255}, {167, 0, 50, 50, 0},      {167, 0, 128, 10, 10},    {167, 0, 127, 10, 37},
      {167, 0, 129, 10, 43},
  };
  for (const auto& c : worked) {
    ImagePtr out = Blend(Image(2, 1, c.a), Image(2, 1, c.b), c.command, c.alpha);
    ASSERT_TRUE(out) << c.command;
    EXPECT_EQ(Pixels24(out.get()), std::vector<uint8_t>(6, static_cast<uint8_t>(c.expected)))
        << c.command << ": " << c.a << ", " << c.b;
  }
  // Every byte goes through the table with the first image's byte first: a - b, clamped.
  std::vector<uint8_t> a, b, expected;
  ImagePtr out = Blend(Image(23, 17, -1), Image(23, 17, -2), 156, 0, &a, &b);
  ASSERT_TRUE(out);
  for (size_t i = 0; i < a.size(); ++i) expected.push_back(static_cast<uint8_t>(std::max(a[i] - b[i], 0)));
  EXPECT_EQ(Pixels24(out.get()), expected);
}

TEST(Compositing, SecondImageFittedAndAnchoredAtTheTopLeft) {
  const struct { int w, h, second_w, second_h, second_bpp, fitted_w, fitted_h; } cases[] = {
      {100, 10, 50, 10, 24, 99, 10}, {100, 10, 100, 10, 8, 100, 10}, {10, 10, 1, 1, 24, 1, 1}, {9, 7, 25, 30, 4, 9, 7},
      {3, 2, 400, 1, 24, 3, 1},      {1, 1, 3, 3, 1, 1, 1},           {40, 3, 7, 3, 24, 37, 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << " with " << c.second_w << "x" << c.second_h);
    std::vector<uint8_t> a, b;
    ImagePtr out = Blend(Image(c.w, c.h, 0), Image(c.second_w, c.second_h, -3, c.second_bpp), 155, 0, &a, &b);
    ASSERT_TRUE(out);  // 0 + b: the fitted image where it lies, the first image's 0 elsewhere
    const double sx = (c.w - 0.5) / (c.second_w - 0.5), sy = (c.h - 0.5) / (c.second_h - 0.5);
    ASSERT_EQ(static_cast<int>((c.second_w - 1) * sx + 1.5) * 1000 + static_cast<int>((c.second_h - 1) * sy + 1.5),
              c.fitted_w * 1000 + c.fitted_h);
    const std::vector<uint8_t> got = Pixels24(out.get());
    for (int y = 0; y < c.h; ++y)
      for (int x = 0; x < c.w; ++x) {
        const int col = static_cast<int>(x / sx), row = static_cast<int>(y / sy);
        const bool fitted = x < c.fitted_w && y < c.fitted_h, inside = col < c.second_w && row < c.second_h;
        for (int k = 0; k < 3; ++k)
          ASSERT_EQ(got[3 * (static_cast<size_t>(y) * c.w + x) + k],
                    !fitted ? 0 : inside ? b[3 * (static_cast<size_t>(row) * c.second_w + col) + k] : 255)
              << x << "," << y;
      }
  }
}

}  // namespace
