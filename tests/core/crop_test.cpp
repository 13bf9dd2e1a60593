// Trimming: the band dragged over the view as a rectangle of the image, and the crop itself at
// every depth against a plain copy loop.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "document/crop.h"
#include "tests/core/test_support.h"

namespace {

constexpr ViewRect kView{0, 28, 800, 600};  // an 800 x 600 client area below the toolbar band

std::vector<int> Parts(const CropRect& r) { return {r.left, r.top, r.width, r.height}; }

TEST(Crop, BandToImageRect) {
  // (ox, oy): where the view draws the image, worked out by hand; band relative to it; expect width 0: nothing to crop
  const struct Row { int w, h, zoom, sx, sy, ox, oy; TrimBand band; CropRect expect; } rows[] = {
      {200, 150, 100, 0, 0, 300, 239, {10, 110, 20, 70}, {10, 20, 99, 49}},
      {200, 150, 200, 0, 0, 200, 164, {10, 110, 20, 70}, {5, 10, 49, 24}},
      {200, 150, 200, 30, -20, 260, 124, {10, 110, 20, 70}, {5, 10, 49, 24}},  // panned
      {201, 151, 100, 0, 0, 299, 238, {10, 110, 20, 70}, {10, 20, 99, 49}},    // odd sizes
      {200, 150, 100, 0, 0, 300, 239, {-5, 205, -5, 155}, {0, 0, 200, 150}},   // around it: all
      {200, 150, 33, 0, 0, 367, 289, {-5, 70, -5, 55}, {0, 0, 200, 150}},
      {200, 150, 100, 0, 0, 300, 239, {0, 200, 0, 150}, {0, 0, 200, 150}},     // on its edges
      {200, 150, 100, 0, 0, 300, 239, {-30, 50, -30, 40}, {0, 0, 50, 40}},     // partly outside
      {200, 150, 200, 0, 0, 200, 164, {11, 500, 21, 400}, {5, 10, 195, 140}},
      {200, 150, 100, 0, 0, 300, 239, {210, 300, 10, 50}, {}},                 // beside it
      {200, 150, 100, 0, 0, 300, 239, {10, 10, 20, 20}, {}},                   // empty
      {200, 150, 200, 0, 0, 200, 164, {10, 12, 20, 70}, {}},                   // under half a pixel
  };
  for (const Row& row : rows) {
    const TrimBand band{row.ox + row.band.left, row.ox + row.band.right, row.oy + row.band.top,
                        row.oy + row.band.bottom};
    CropRect r{};
    const bool some = BandToImageRect(ViewPlacement{kView, row.w, row.h, row.zoom, row.sx, row.sy, false}, band, &r);
    EXPECT_EQ(some ? Parts(r) : std::vector<int>{}, row.expect.width ? Parts(row.expect) : std::vector<int>{})
        << "row " << &row - rows;
  }
  // The band from either corner: the edges on the anchor's side stay.
  ViewRect a{100, 100, 100, 100}, b{150, 130, 150, 130};
  for (int i : {0, 1}) FollowPointer(100, 100, 120 + 30 * i, 110 + 20 * i, &a);
  for (int i : {0, 1}) FollowPointer(150, 130, 120 - 20 * i, 110 - 10 * i, &b);
  EXPECT_EQ(std::vector<int>({a.left, a.top, a.right, a.bottom, b.left, b.top, b.right, b.bottom}),
            std::vector<int>({100, 100, 150, 130, 100, 100, 150, 130}));
}

// Every pixel: the colour for the indexed depths (through a true-colour copy, so that run-length
// images compare by what they show), the raw value otherwise.
std::vector<uint32_t> Values(const MDIBCtrl& doc, const DibImage* image, const CropRect& r) {
  ImagePtr copy(BitCount(image) <= 8 ? doc.MakeTrueColorCopy(image) : nullptr);
  std::vector<uint32_t> v;
  for (int y = r.top; y < r.top + r.height; ++y)
    for (int x = r.left; x < r.left + r.width; ++x) v.push_back(PixelValue(copy ? copy.get() : image, x, y));
  return v;
}

TEST(Crop, EveryDepthKeepsItsFormAndPixels) {
  const struct Row { int bpp; DWORD compression; } rows[] = {{1, BI_RGB},  {4, BI_RGB},  {8, BI_RGB},   {16, BI_RGB},
                                                              {24, BI_RGB}, {32, BI_RGB}, {8, BI_RLE8}, {4, BI_RLE4}};
  for (const Row& row : rows) {
    ImagePtr image = RandomImage(37, 11, row.bpp, 7u + row.bpp);
    if (row.compression != BI_RGB) {  // runs of eight, so that the coding fits
      for (int y = 0; y < 11; ++y)
        for (int x = 0; x < 37; ++x) CreatePixelOpsForBits(row.bpp)->SetIndex(image.get(), x, y, (x / 8 + y) % 13);
      EncodeRle(image.get());
    }
    Document d(std::move(image));
    for (const CropRect& rect : {CropRect{3, 2, 9, 5}, CropRect{8, 1, 16, 3}, CropRect{0, 0, 37, 11}}) {
      ImagePtr crop(CropImage(d.doc, d.image(), rect));
      ASSERT_TRUE(crop) << row.bpp;
      EXPECT_EQ(std::vector<int>({BitCount(crop.get()), crop->colours}), std::vector<int>({row.bpp, d.image()->colours}));
      EXPECT_EQ(0, std::memcmp(Palette(crop.get()), Palette(d.image()), sizeof(RGBQUAD) * d.image()->colours));
      EXPECT_TRUE(rect.width != 37 || crop->info->bmiHeader.biCompression == row.compression) << row.bpp;
      EXPECT_EQ(Values(d.doc, crop.get(), CropRect{0, 0, rect.width, rect.height}), Values(d.doc, d.image(), rect))
          << row.bpp << "/" << row.compression << " at " << rect.left;
    }
    EXPECT_FALSE(ImagePtr(CropImage(d.doc, d.image(), CropRect{30, 0, 8, 1})));  // past the edge
  }
}

TEST(Crop, UndecodableRunLengthAndModeOffGiveNothing) {
  ImagePtr image = NewImage(8, 2, 8);
  EncodeRle(image.get());
  const uint8_t stream[] = {8, 1, 2, 1};  // a run that starts past the row's end
  std::memcpy(image->bits, stream, sizeof stream);
  Document d(std::move(image));
  EXPECT_FALSE(ImagePtr(CropImage(d.doc, d.image(), CropRect{0, 0, 2, 2})));
  // Only in trimming mode; the pending slot is left alone otherwise.
  Document e(RandomImage(200, 150, 24, 1));
  e.doc.view_rect_ = kView;
  const TrimBand band{310, 410, 259, 309};
  EXPECT_FALSE(CropToBand(e.doc, band));
  EXPECT_EQ(e.doc.pending_, e.doc.current_);
  e.doc.view_flags_ |= kViewTrimming;
  ASSERT_TRUE(CropToBand(e.doc, band) && e.doc.Commit());
  EXPECT_EQ(PixelValue(e.doc.current_, 0, 0), PixelValue(e.doc.current_->older, 10, 20));
}

}  // namespace
