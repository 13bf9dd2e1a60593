#include "app/file_flow.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/messages.h"
#include "formats/gif_io.h"
#include "formats/jpeg_io.h"
#include "formats/pgm_io.h"
#include "formats/png_io.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

// Replaces target with the finished temporary file.
bool ReplaceWith(const char* temporary, const char* target) {
#ifdef _WIN32
  return MoveFileExA(temporary, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED) != 0;
#else
  return std::rename(temporary, target) == 0;
#endif
}

// Writes image with io: to a temporary file beside path first, which then replaces path, so
// that a failed write never leaves a damaged file where the user's file was. A path that is a
// link is followed: the file it points to is replaced, and the link stays a link.
bool WriteImage(BmpIOClass& io, const DibImage* image, const char* path) {
  char target[MAX_PATH];
  ResolveLinks(path, target, sizeof target);
  char temporary[MAX_PATH + 8];
  std::snprintf(temporary, sizeof temporary, "%s.tmp~", target);
  if (!io.OpenWrite(temporary)) return false;  // the writer has shown "cannot open"
  const bool header = io.WriteHeader(image);
  const bool bits = header && io.WriteBits(image);
  const bool closed = io.CloseWrite() != 0;
  if (header && bits && closed && ReplaceWith(temporary, target)) return true;
  std::remove(temporary);
  ShowError(kMsgWriteFailed);
  return false;
}

// The reader class of a format: the PNM variants share one, as the BMP variants do.
int ReaderOf(uint32_t format) {
  switch (format) {
    case kFormatBmpOs2: return kFormatBmp;
    case kFormatPgm:
    case kFormatPbm: return kFormatPpm;
    default: return static_cast<int>(format);
  }
}

}  // namespace

std::unique_ptr<BmpIOClass> CreateFormatIO(uint32_t format) {
  switch (format) {
    case kFormatBmp: return std::unique_ptr<BmpIOClass>(CreateObject<BmpIOClass>());
    case kFormatJpeg: return std::unique_ptr<BmpIOClass>(CreateObject<JpegIOClass>());
    case kFormatPng: return std::unique_ptr<BmpIOClass>(CreateObject<PngIOClass>());
    case kFormatGif: return std::unique_ptr<BmpIOClass>(CreateObject<GifIOClass>());
    case kFormatPpm:
    case kFormatPgm:
    case kFormatPbm: return std::unique_ptr<BmpIOClass>(CreateObject<PgmIOClass>());
    default:
      ShowWarning(kMsgUnsupported, nullptr, false);
      return nullptr;
  }
}

DibImage* LoadImageWith(const MDIBCtrl& doc, BmpIOClass& io, const char* path) {
  ImagePtr image(doc.NewEmptyImage(true));
  if (!io.OpenRead(path)) return nullptr;
  if (!io.ReadHeader(image.get())) {
    io.CloseRead();
    return nullptr;
  }
  std::snprintf(image->path, sizeof image->path, "%s", path);
  BITMAPINFOHEADER& h = image->info->bmiHeader;
  // Every reader has checked its sizes; this guards the allocation below once more.
  const uint32_t stride = CheckedStride(h.biWidth, h.biHeight, h.biBitCount);
  if (!stride || stride != image->stride || image->colours > 256 ||
      (h.biBitCount <= 8 && image->colours > (1u << h.biBitCount))) {
    io.CloseRead();
    const std::string size = SizeProblem(h.biWidth, h.biHeight, h.biBitCount);
    ShowRefusal(kMsgUnsupported, size.empty() ? "inconsistent header" : size.c_str());
    return nullptr;
  }
  h.biSizeImage = stride * static_cast<uint32_t>(h.biHeight);
  // Shrink the header block to exactly the header and its table or masks.
  void* info = std::realloc(image->info, InfoBytes(image.get()));
  if (info) image->info = static_cast<BITMAPINFO*>(info);
  image->bits = AllocateBits(ImageBytes(image.get()));
  if (!image->bits || !io.ReadBits(image.get())) {
    io.CloseRead();
    return nullptr;
  }
  io.CloseRead();
  FileTimeText(path, image->details->date, sizeof image->details->date);
  return image.release();
}

bool OpenImageFile(Filter& doc, const char* path) {
  FileAccess name;
  name.SetPath(path);
  uint32_t format = name.FormatOfName();
  // A file whose extension names another format than its content announces is read as what it
  // is (the image then tells its real format).
  const uint32_t content = format != kFormatNone ? FormatOfContent(path) : kFormatNone;
  if (content != kFormatNone && ReaderOf(content) != ReaderOf(format)) format = content;
  std::unique_ptr<BmpIOClass> io = CreateFormatIO(format);
  if (!io) return false;
  DibImage* image = LoadImageWith(doc, *io, path);
  if (!image) return false;
  // The document is replaced only once the new image is in hand.
  if (doc.image_count_ != 0 && !(doc.view_flags_ & (kViewBlendLoading | kViewThumbnails))) doc.ClearDocument();
  if ((doc.view_flags_ & kViewBlendLoading) && doc.pending_ && doc.pending_ != doc.current_)
    MDIBCtrl::DeleteImage(doc.pending_);
  doc.pending_ = image;
  if (!(doc.view_flags_ & kViewBlendLoading)) doc.Commit();
  return true;
}

bool SaveImageFile(Filter& doc, const char* path, int pnm_ascii) {
  if (doc.image_count_ == 0) return false;
  FileAccess name;
  name.SetPath(path);
  const uint32_t format = name.FormatOfName();
  if (format == kFormatNone) return false;

  const DibImage* current = doc.current_;
  const int bpp = BitCount(current);
  const bool compressed = IsRunLength(current);
  const bool direct16or32 = bpp % 16 == 0;

  // An uncompressed copy of a run-length image, of the same depth.
  auto expanded = [&]() -> DibImage* {
    ImagePtr copy(doc.MakeBlankLike(current, Width(current), Height(current)));
    if (!copy) return nullptr;
    auto ops = MDIBCtrl::CreatePixelOps(current);
    if (!ops) return nullptr;
    ops->CopyRect(current, copy.get(), CropRect{0, 0, Width(current), Height(current)}, 0);
    return copy.release();
  };
  // The result of a conversion operation, taken out of the pending slot again.
  auto converted = [&](bool ok) -> DibImage* {
    if (!ok) return nullptr;
    DibImage* result = doc.pending_;
    doc.pending_ = doc.current_;
    return result;
  };

  ImagePtr temporary;
  const DibImage* image = current;
  int option = 0;
  switch (format) {
    case kFormatBmp:
      break;
    case kFormatJpeg:
      temporary.reset(doc.MakeTrueColorCopy(current));
      if (!temporary) return false;
      break;
    case kFormatPng:
      if (direct16or32) temporary.reset(doc.MakeTrueColorCopy(current));
      else if (compressed) temporary.reset(expanded());
      if ((direct16or32 || compressed) && !temporary) return false;
      break;
    case kFormatGif:
      if (bpp > 8) {
        Channel().Message("256色以下に減色して下さい", kCaptionWarning, MB_ICONEXCLAMATION, false);
        return false;
      }
      if (bpp < 8) temporary.reset(doc.MakeEightBitCopy(current));
      else if (compressed) temporary.reset(expanded());
      if ((bpp < 8 || compressed) && !temporary) return false;
      break;
    case kFormatPpm:
      temporary.reset(doc.MakeTrueColorCopy(current));
      if (!temporary) return false;
      option = pnm_ascii ? 3 : 6;
      break;
    case kFormatPgm:
      if (Filter::IsGrayImage(current)) {
        temporary.reset(doc.MakeTrueColorCopy(current));
      } else {
        if (AskQuestion("モノクロ画像に変換しますか？", false) != IDOK) return false;
        ImagePtr grey(converted(doc.ApplyGrayOrSepia(kCmdGray)));
        if (!grey) return false;
        temporary.reset(doc.MakeTrueColorCopy(grey.get()));
      }
      if (!temporary) return false;
      option = pnm_ascii ? 2 : 5;
      break;
    case kFormatPbm:
      if (Filter::IsTwoLevelImage(current)) {
        temporary.reset(doc.MakeTrueColorCopy(current));
      } else {
        if (AskQuestion("白黒2値画像に変換しますか？", false) != IDOK) return false;
        temporary.reset(converted(doc.BinarizeGray()));
      }
      if (!temporary) return false;
      option = pnm_ascii ? 1 : 4;
      break;
    default:
      return false;
  }
  if (temporary) image = temporary.get();

  std::unique_ptr<BmpIOClass> io = CreateFormatIO(format);
  if (!io) return false;
  io->set_save_option(option);
  return WriteImage(*io, image, path);
}
