#include "processing/true_colour_work.h"

#include <algorithm>
#include <cstring>

DibImage* NewTrueColorLike(const MDIBCtrl& doc, const DibImage* model) {
  if (doc.image_count_ == 0 || !model) return nullptr;
  ImagePtr image(doc.NewEmptyImage(false));
  BITMAPINFOHEADER& h = image->info->bmiHeader;
  h = model->info->bmiHeader;
  h.biBitCount = 24;
  h.biCompression = BI_RGB;
  h.biClrUsed = 0;
  image->format = model->format;
  std::memcpy(image->path, model->path, sizeof image->path);
  *image->details = model->details ? *model->details : FormatDetails{};
  image->colours = 0;
  image->stride = RowBytes(h.biWidth, 24);
  h.biSizeImage = image->stride * static_cast<uint32_t>(h.biHeight);
  image->bits = AllocateBits(ImageBytes(image.get()));
  if (!image->bits) return nullptr;
  return image.release();
}

bool TrueColorSource::Make(const MDIBCtrl& doc, const DibImage* image) {
  if (doc.image_count_ == 0 || !image) return false;
  if (BitCount(image) == 24) {
    image_ = image;
  } else {
    copy_.reset(doc.MakeTrueColorCopy(image));
    image_ = copy_.get();
  }
  return image_ != nullptr;
}

RowBand::RowBand(const DibImage* image) : info_{}, view_{}, image_(image) {
  std::memcpy(&info_, image->info, std::min(InfoBytes(image), sizeof info_));
  view_.format = image->format;
  view_.info = reinterpret_cast<BITMAPINFO*>(&info_);
  view_.stride = image->stride;
  view_.colours = static_cast<uint16_t>(std::min<int>(image->colours, 256));
}

DibImage* RowBand::Rows(int top, int rows) {
  const int h = Height(image_);
  info_.header.biHeight = rows;
  info_.header.biSizeImage = image_->stride * static_cast<uint32_t>(rows);
  // Rows are stored bottom-up: the band's lowest row in memory is its bottom row.
  view_.bits = image_->bits + static_cast<size_t>(h - top - rows) * image_->stride;
  if (rows == h) info_.header.biSizeImage = image_->info->bmiHeader.biSizeImage;
  return &view_;
}

int BandRows(uint32_t stride) {
  const uint32_t rows = (uint32_t{128} << 10) / (stride ? stride : 1);
  return rows ? static_cast<int>(std::min<uint32_t>(rows, 1u << 20)) : 1;
}
