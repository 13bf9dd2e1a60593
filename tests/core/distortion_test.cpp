// Flips, cone and sphere mappings, refractions, blurs, diffusion and thinning: worked numbers,
// plain per-pixel references and ImageMagick for the flips.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "processing/distortion_helpers.h"
#include "processing/filter.h"
#include "tests/core/test_support.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

uint8_t* At(const DibImage* s, int x, int y) { return RowAddress(s, y) + 3 * x; }
std::vector<uint8_t> Pixel(const DibImage* s, int x, int y) { return {At(s, x, y), At(s, x, y) + 3}; }

// Refraction as written, pixel by pixel; where the ray comes from outside the picture the pixel
// underneath takes its place, lit all the same.
std::vector<uint8_t> ReferenceWater(const DibImage* s, int command) {
  const int w = Width(s), h = Height(s);
  const double k = 2 * kPi / 12.0, a = 4.0, l[3] = {-1 / std::sqrt(3.0), -1 / std::sqrt(3.0), 1 / std::sqrt(3.0)};
  std::vector<uint8_t> out;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const double dx = x - w / 2.0, dy = y - h / 2.0, r = std::sqrt(dx * dx + dy * dy);
      double n[3] = {0, 0, 1}, depth = (std::cos(k * r) + 1) * a + 10;
      if (command == 173) n[1] = -k * a * std::cos(k * y), depth = (std::sin(k * y) + 1) * a + 10;
      if (command == 174) n[0] = -k * a * std::cos(k * x), depth = (std::sin(k * x) + 1) * a + 10;
      if (command == 127 && r != 0) n[0] = -k * a * std::sin(k * r) * dx / r, n[1] = -k * a * std::sin(k * r) * dy / r;
      const double sx = x + RefractOffset(n[0], n[2], depth), sy = y + RefractOffset(n[1], n[2], depth);
      const bool inside = 0 < sx && sx < w && 0 < sy && sy < h;
      const uint8_t* p = inside ? At(s, static_cast<int>(sx), static_cast<int>(sy)) : At(s, x, y);
      for (int c = 0; c < 3; ++c) out.push_back(static_cast<uint8_t>(ShadeSurface(n, l, p[c])));
    }
  return out;
}

// Thinning as written: eight rounds of full passes over a map made from the picture.
std::vector<uint8_t> ReferenceThin(const DibImage* s) {
  const int w = Width(s), h = Height(s);
  std::vector<uint8_t> out = Pixels24(s);
  std::vector<int8_t> cells((w + 2) * (h + 2));
  const ThinningMap map{cells.data(), w + 2};
  for (int round = 0; round < 8; ++round) {
    std::fill(cells.begin(), cells.end(), 0);
    for (int i = 0; i < w * h; ++i) *map.Cell(i % w, i / w) = (out[3 * i] | out[3 * i + 1] | out[3 * i + 2]) > 0;
    for (bool deleted = true; deleted;) {
      deleted = false;
      for (int i = 0; i < w * h; ++i)
        if (*map.Cell(i % w, i / w) == 1 && IsDeletable(map, i % w, i / w)) *map.Cell(i % w, i / w) = -1, deleted = true;
      for (int8_t& c : cells) c = c == -1 ? 0 : c;
    }
    for (int i = 0; i < w * h; ++i) std::memset(&out[3 * i], *map.Cell(i % w, i / w) == 1 ? 255 : 0, 3);
  }
  return out;
}

TEST(Flip, AgreesWithImageMagick) {
  TempDir dir;
  Document d(RandomImage(7, 5, 24, 9));
  WritePpm(dir.File("in.ppm"), d.image());
  for (const auto& c : {std::make_pair(123, "-flip"), std::make_pair(124, "-flop")}) {
    const std::vector<uint8_t> magick = MagickPixels(dir.File("in.ppm"), std::string(c.second) + " -depth 8 rgb:-");
    ASSERT_EQ(magick.size(), 7u * 5 * 3) << "ImageMagick did not run";
    EXPECT_EQ(RgbPixels(d.Run(c.first).get()), magick) << c.second;
  }
}

TEST(SampleBilinear, BlendsNeighboursAndCountsThoseBeyondTheEdgeAsWhite) {
  ImagePtr image = RowImage({0, 0, 0, 100, 100, 100});
  const double cases[][3] = {{0, 0, 0},        {0.5, 0, 50}, {1, 0, 100}, {1.5, 0, 178},
                             {0.25, 0.5, 140}, {2, 0, 255},  {9, 9, 255}};  // u, v, value
  for (const auto& c : cases) {
    uint8_t bgr[3];
    SampleBilinear(image.get(), c[0], c[1], bgr);
    EXPECT_EQ(bgr[0], c[2]) << c[0] << ", " << c[1];
  }
}

TEST(ConeMapping, ApexSpanAndNarrowSpansNearIt) {
  ImagePtr image = RandomImage(100, 1000, 24, 4);
  for (size_t i = 0; i < ImageBytes(image.get()); ++i) image->bits[i] |= 0x80;  // never black
  Document d(std::move(image));
  d.doc.background_colour_ = 0;
  ImagePtr out = d.Run(125);
  const std::vector<uint8_t> black(3, 0);
  for (int x = 0; x < 100; ++x) {  // the apex is one pixel, sampled at u = 50
    EXPECT_EQ(Pixel(out.get(), x, 0), x == 50 ? Pixel(d.image(), 50, 0) : black) << x;
    EXPECT_NE(Pixel(out.get(), x, 999), black) << x;  // the bottom row spans the width
  }
  // Row 6: r = 0.3, the span is 49 … 50 and x = 50 lies past the circle: it repeats x = 49.
  EXPECT_NE(Pixel(out.get(), 49, 6), black);
  EXPECT_EQ(Pixel(out.get(), 50, 6), Pixel(out.get(), 49, 6));
}

TEST(SphereMapping, CornersCentreAndRim) {
  for (int w : {100, 101}) {
    Document d(RandomImage(w, 60, 24, 5));
    d.doc.background_colour_ = 0x010203;
    ImagePtr out = d.Run(126);
    for (int x : {0, w - 1})
      for (int y : {0, 59}) EXPECT_EQ(Pixel(out.get(), x, y), (std::vector<uint8_t>{1, 2, 3})) << w;
    EXPECT_TRUE(w % 2 || Pixel(out.get(), 50, 30) == Pixel(d.image(), 50, 30));  // scale 1 at the centre
    EXPECT_EQ(Pixel(out.get(), 0, 30), Pixel(d.image(), 0, 30)) << w;  // the rim shows the picture's edge
  }
}

TEST(WaterSurface, WorkedOffsetsAndEveryPixelAsThePlainFormula) {
  EXPECT_NEAR(RefractOffset(-2 * kPi / 3, 1, 14), 17.899192906, 1e-8);
  // Each row a grey of its own: row 0 shows row 17, row 3 itself; row 6 looks above the top and
  // column 0 left of the picture, so they show themselves. All lit by the row's normal.
  ImagePtr image = NewImage(5, 30, 24);
  for (int y = 0; y < 30; ++y) std::memset(RowAddress(image.get(), y), 4 * y + 20, 15);
  Document rows(std::move(image));
  ImagePtr out = rows.Run(173);
  const double l[3] = {-1 / std::sqrt(3.0), -1 / std::sqrt(3.0), 1 / std::sqrt(3.0)};
  for (const auto& row : {std::make_pair(0, 17), std::make_pair(3, 3), std::make_pair(6, 6)})
    for (int x = 0; x < 5; ++x) {
      double n[3] = {0, -2 * kPi / 3 * std::cos(kPi / 6 * row.first), 1};
      EXPECT_EQ(At(out.get(), x, row.first)[0], ShadeSurface(n, l, 4 * (x == 0 ? row.first : row.second) + 20)) << x;
    }
  for (const auto& size : {std::make_pair(40, 30), std::make_pair(33, 17), std::make_pair(2, 2)})
    for (int command : {127, 173, 174}) {
      Document d(RandomImage(size.first, size.second, 24, command));
      EXPECT_EQ(Pixels24(d.Run(command).get()), ReferenceWater(d.image(), command)) << command << " " << size.first;
      EXPECT_EQ(d.channel.progress.empty(), command != 127);  // the rings take long
    }
}

TEST(RadialBlur, SmearsAlongOrAcrossTheLineToTheCentre) {
  // A white row through the centre of a black picture: 171 smears along it, 172 across it.
  ImagePtr image = NewImage(20, 10, 24);
  std::memset(RowAddress(image.get(), 5), 255, 60);
  Document d(std::move(image));
  ImagePtr along = d.Run(171), across = d.Run(172);
  // Six samples inside across the line: the middle one (white, triple); the centre keeps its value.
  EXPECT_EQ((std::vector<int>{At(along.get(), 15, 5)[0], At(across.get(), 15, 5)[0], At(along.get(), 10, 5)[0],
                              At(across.get(), 10, 5)[0]}),
            (std::vector<int>{255, 3 * 255 / 8, 255, 255}));
  EXPECT_EQ(d.channel.progress.back(), "end");
}

TEST(Diffuse, PixelsComeFromAlongTheDiagonalOrStay) {
  ImagePtr image = NewImage(60, 50, 24);  // blue and green hold the pixel's own coordinates
  for (int i = 0; i < 60 * 50; ++i) {
    uint8_t* p = At(image.get(), i % 60, i / 60);
    p[0] = static_cast<uint8_t>(i % 60), p[1] = static_cast<uint8_t>(i / 60);
  }
  Document d(std::move(image));
  for (const auto& c : {std::make_pair(182, 10), std::make_pair(183, 80)}) {
    ImagePtr out = d.Run(c.first);
    int moved = 0;
    for (int i = 0; i < 60 * 50; ++i) {
      const int x = i % 60, y = i / 60, o = At(out.get(), x, y)[0] - x;
      EXPECT_EQ(At(out.get(), x, y)[1] - y, o);
      EXPECT_LE(std::abs(o), c.second);
      moved += o != 0;
    }
    EXPECT_GT(moved, 100) << c.first;
  }
  // The numbers go on from one diffusion to the next, and start alike in every process.
  EXPECT_NE(Pixels24(d.Run(182).get()), Pixels24(d.Run(182).get()));
  TempDir dir;
  const std::string in = dir.File("in.bmp");
  for (const std::string& args : {"--sample " + in, in + " --cmd 182 -o " + dir.File("a.bmp"), in + " --cmd 182 -o " + dir.File("b.bmp")}) {
    int status;
    Cli(args, &status);
    ASSERT_EQ(status, 0) << args;
  }
  EXPECT_EQ(ReadFileBytes(dir.File("a.bmp")), ReadFileBytes(dir.File("b.bmp")));
}

TEST(Thin, DeletionRules) {
  // The centre of 3 x 3 cells (1 object, 0 background, -1 deleted in this pass).
  const std::pair<std::vector<int8_t>, bool> cases[] = {
      {{0, 0, 0, 1, 1, 1, 0, 0, 0}, false},    // the middle of a line
      {{0, 0, 0, 1, 1, 1, 1, 1, 1}, true},     // on the edge of an area
      {{0, 0, 0, -1, 1, -1, 0, 0, 0}, false},  // only deleted neighbours
  };
  for (const auto& c : cases) {
    int8_t cells[25] = {};
    for (int i = 0; i < 9; ++i) cells[(i / 3 + 1) * 5 + i % 3 + 1] = c.first[i];
    EXPECT_EQ(IsDeletable(ThinningMap{cells, 5}, 1, 1), c.second) << &c - cases;
  }
}

TEST(Thin, AgreesWithPlainPassesAndKeepsLines) {
  // Blobs of random noise, a filled rectangle, a black picture, a line one pixel wide.
  std::vector<ImagePtr> images;
  for (int share : {100, 160, 220}) {  // of 256: the object's share of the pixels
    images.push_back(RandomImage(37, 23, 24, share));
    for (int i = 0; i < 37 * 23; ++i) {
      uint8_t* p = At(images.back().get(), i % 37, i / 37);
      std::memset(p, p[0] < share, 3);
    }
  }
  images.push_back(NewImage(30, 20, 24));
  for (int y = 3; y < 15; ++y) std::memset(At(images.back().get(), 4, y), 255, 3 * 22);
  images.push_back(NewImage(9, 9, 24));
  images.push_back(NewImage(12, 5, 24));
  for (int x = 1; x < 11; ++x) At(images.back().get(), x, 2)[1] = 9;  // the line
  for (ImagePtr& image : images) {
    Document d(std::move(image));
    ImagePtr out = d.Run(186);
    EXPECT_EQ(Pixels24(out.get()), ReferenceThin(d.image())) << Width(d.image()) << "x" << Height(d.image());
    for (int x = 0; x < Width(d.image()) && Height(d.image()) <= 9; ++x)  // black stays black, the line stays
      EXPECT_EQ(At(out.get(), x, 2)[2], At(d.image(), x, 2)[1] ? 255 : 0);
    const std::vector<uint8_t> px = Pixels24(out.get());  // the filled 22 x 12 rectangle: its middle line, not a point
    EXPECT_TRUE(Width(d.image()) != 30 || std::count(px.begin(), px.end(), 255) >= 3 * 10);
  }
}

}  // namespace
