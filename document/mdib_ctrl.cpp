#include "document/mdib_ctrl.h"

#include <cstdlib>
#include <cstring>

#include "base/messages.h"

MDIBCtrl::MDIBCtrl() = default;

MDIBCtrl::~MDIBCtrl() {
  histogram_.reset();
  if (pending_ && pending_ != current_) ::DeleteImage(pending_);
  pending_ = current_;
  if (work_) ::DeleteImage(work_);
  work_ = nullptr;
  ClearDocument();
}

bool MDIBCtrl::RefreshViews() { return true; }

void MDIBCtrl::RebuildViewPalette() {}

bool MDIBCtrl::Commit() {
  DibImage* image = pending_;
  // Nothing new in the slot (the current image itself) is nothing to append.
  if (!image || image == current_) return false;
  image->newer = nullptr;
  if (image_count_ > 0) {
    image->older = current_;
    current_->newer = image;
  } else {
    image->older = nullptr;
    as_loaded_ = image;
  }
  current_ = image;
  if (image->colours != 0) RebuildViewPalette();
  ++image_count_;
  return RefreshViews();
}

void MDIBCtrl::DropCurrent() {
  DibImage* old = current_;
  current_ = old->older;
  current_->newer = nullptr;
  ::DeleteImage(old);
  pending_ = current_;
  --image_count_;
}

void MDIBCtrl::Undo() {
  if (image_count_ <= 1) return;
  DropCurrent();
  RefreshViews();
}

void MDIBCtrl::RestoreOriginal() {
  while (image_count_ > 1) DropCurrent();
  RefreshViews();
}

void MDIBCtrl::ClearDocument() {
  RestoreOriginal();
  if (image_count_ != 0) {
    ::DeleteImage(current_);
    current_ = pending_ = nullptr;
    as_loaded_ = nullptr;
    image_count_ = 0;
  }
}

std::unique_ptr<Dib24> MDIBCtrl::CreatePixelOps(const DibImage* image) {
  return CreatePixelOpsForBits(BitCount(image));
}

BITMAPINFO* MDIBCtrl::CopyHeaderAndPalette(const DibImage* image) {
  const size_t n = InfoBytes(image);
  void* block = std::malloc(n);
  if (!block) OutOfMemoryAbort();
  std::memcpy(block, image->info, n);
  return static_cast<BITMAPINFO*>(block);
}

DibImage* MDIBCtrl::NewRecordLike(const DibImage* model, BITMAPINFO* info) {
  DibImage* image = new (std::nothrow) DibImage{};
  FormatDetails* details = new (std::nothrow) FormatDetails{};
  if (!image || !details) OutOfMemoryAbort();
  image->format = model->format;
  std::memcpy(image->path, model->path, sizeof image->path);
  if (model->details) *details = *model->details;
  image->details = details;
  image->info = info;
  image->colours = model->colours;
  image->stride = model->stride;
  return image;
}

DibImage* MDIBCtrl::CloneImage(const DibImage* model, bool copy_pixels) const {
  if (image_count_ == 0 || !model) return nullptr;
  ImagePtr image(NewRecordLike(model, CopyHeaderAndPalette(model)));
  image->bits = AllocateBits(ImageBytes(model));
  if (!image->bits) return nullptr;
  if (copy_pixels) std::memcpy(image->bits, model->bits, ImageBytes(model));
  return image.release();
}

DibImage* MDIBCtrl::MakeBlankLike(const DibImage* model, int width, int height) const {
  if (image_count_ == 0 || !model) return nullptr;
  const uint32_t stride = CheckedStride(width, height, BitCount(model));
  if (!stride) return nullptr;
  ImagePtr image(NewRecordLike(model, CopyHeaderAndPalette(model)));
  BITMAPINFOHEADER& h = image->info->bmiHeader;
  h.biWidth = width;
  h.biHeight = height;
  h.biSizeImage = stride * static_cast<uint32_t>(height);
  if (h.biCompression == BI_RLE8 || h.biCompression == BI_RLE4) h.biCompression = BI_RGB;
  image->stride = stride;
  image->bits = AllocateBits(ImageBytes(image.get()));
  if (!image->bits) return nullptr;
  return image.release();
}

DibImage* MDIBCtrl::MakeTrueColorCopy(const DibImage* model) const {
  if (image_count_ == 0 || !model) return nullptr;
  auto ops = CreatePixelOps(model);
  if (!ops) return nullptr;
  BITMAPINFO* info = static_cast<BITMAPINFO*>(std::malloc(sizeof(BITMAPINFOHEADER)));
  if (!info) OutOfMemoryAbort();
  info->bmiHeader = model->info->bmiHeader;
  ImagePtr image(NewRecordLike(model, info));
  BITMAPINFOHEADER& h = info->bmiHeader;
  h.biBitCount = 24;
  h.biCompression = BI_RGB;
  h.biClrUsed = 0;
  image->colours = 0;
  image->stride = RowBytes(h.biWidth, 24);
  h.biSizeImage = image->stride * static_cast<uint32_t>(h.biHeight);
  image->bits = AllocateBits(ImageBytes(image.get()));
  if (!image->bits) return nullptr;
  if (!ops->ToDib24(model, image.get())) return nullptr;
  return image.release();
}

DibImage* MDIBCtrl::MakeEightBitCopy(const DibImage* model) const {
  if (image_count_ == 0 || !model) return nullptr;
  const int bpp = BitCount(model);
  if (bpp != 1 && bpp != 4) return nullptr;
  BITMAPINFO* info = static_cast<BITMAPINFO*>(std::calloc(1, sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD)));
  if (!info) OutOfMemoryAbort();
  std::memcpy(info, model->info, InfoBytes(model));
  ImagePtr image(NewRecordLike(model, info));
  BITMAPINFOHEADER& h = info->bmiHeader;
  h.biBitCount = 8;
  h.biCompression = BI_RGB;
  h.biClrUsed = 256;
  image->colours = 256;
  image->stride = RowBytes(h.biWidth, 8);
  h.biSizeImage = image->stride * static_cast<uint32_t>(h.biHeight);
  image->bits = AllocateBits(ImageBytes(image.get()));
  if (!image->bits) return nullptr;
  std::unique_ptr<Dib24> ops = CreatePixelOps(model);
  if (!static_cast<Dib4*>(ops.get())->UnpackTo8(model, image.get())) return nullptr;
  return image.release();
}

DibImage* MDIBCtrl::MakePaletteImage(const DibImage* model, int colours) const {
  if (image_count_ == 0 || !model || colours <= 0 || colours > 256) return nullptr;
  int bpp = 0;
  while (!((colours >> bpp) & 1)) ++bpp;
  BITMAPINFO* info = static_cast<BITMAPINFO*>(std::calloc(1, sizeof(BITMAPINFOHEADER) + sizeof(RGBQUAD) * colours));
  if (!info) OutOfMemoryAbort();
  info->bmiHeader = model->info->bmiHeader;
  ImagePtr image(NewRecordLike(model, info));
  BITMAPINFOHEADER& h = info->bmiHeader;
  h.biBitCount = static_cast<WORD>(bpp);
  h.biCompression = BI_RGB;
  h.biClrUsed = static_cast<DWORD>(colours);
  image->colours = static_cast<uint16_t>(colours);
  image->stride = RowBytes(h.biWidth, bpp);
  h.biSizeImage = image->stride * static_cast<uint32_t>(h.biHeight);
  image->bits = AllocateBits(ImageBytes(image.get()));
  if (!image->bits) return nullptr;
  return image.release();
}

DibImage* MDIBCtrl::NewEmptyImage(bool with_palette) const {
  DibImage* image = new (std::nothrow) DibImage{};
  FormatDetails* details = new (std::nothrow) FormatDetails{};
  const size_t info_bytes = sizeof(BITMAPINFOHEADER) + (with_palette ? 256 * sizeof(RGBQUAD) : 0);
  void* info = std::calloc(1, info_bytes);
  if (!image || !details || !info) OutOfMemoryAbort();
  image->info = static_cast<BITMAPINFO*>(info);
  image->info->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  image->info->bmiHeader.biPlanes = 1;
  details->colour = background_colour_;
  image->details = details;
  return image;
}
