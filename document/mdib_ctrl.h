// The document: the chain of images from the one as loaded to the current one, the view state
// on it, and the routines that make, copy and free image records.
#pragma once
#include <cstdint>
#include <memory>

#include "image/dib_image.h"
#include "image/pixel_ops.h"

// View flags of the document.
enum ViewFlag : uint32_t {
  kViewDragging = 0x002,
  kViewCentreMark = 0x004,
  kViewSlideshow = 0x010,
  kViewTrimming = 0x020,
  kViewBlendLoading = 0x040,
  kViewBlendFit = 0x080,
  kViewThumbnails = 0x100,
  kViewSettings = 0x200,
  kViewReducing = 0x400,
  kViewRenaming = 0x800,
  kViewStartFlags = 0x084,
};

// Height of the toolbar band above the view.
constexpr int kToolbarHeight = 28;

struct ViewRect {
  int32_t left, top, right, bottom;
};

// Values exchanged with the dialogs; each dialog reads the block its own way.
union ParameterBlock {
  int32_t p[4];
  double xy[2];
  struct {
    char name[260];
    char start[260];
    char folder[260];
  } rename;
};

class MDIBCtrl {
 public:
  MDIBCtrl();
  virtual ~MDIBCtrl();
  MDIBCtrl(const MDIBCtrl&) = delete;
  MDIBCtrl& operator=(const MDIBCtrl&) = delete;

  // Appends the pending image to the chain and makes it current.
  bool Commit();
  // Drops the current image (not below the as-loaded one).
  void Undo();
  // Drops every image after the as-loaded one.
  void RestoreOriginal();
  // Frees every image; no document afterwards.
  void ClearDocument();
  // Where the views follow the document; the program redraws its windows. Returns false when a
  // window could not follow (the histogram could not be made).
  virtual bool RefreshViews();
  // The current image gained a colour table: the program rebuilds its view palette from the
  // pending image's table.
  virtual void RebuildViewPalette();

  // Image utilities. The creating ones return null on failure, with nothing left behind.
  static void DeleteImage(DibImage* image) { ::DeleteImage(image); }
  static std::unique_ptr<Dib24> CreatePixelOps(const DibImage* image);
  DibImage* MakeTrueColorCopy(const DibImage* image) const;
  DibImage* MakeEightBitCopy(const DibImage* image) const;
  DibImage* MakeBlankLike(const DibImage* model, int width, int height) const;
  DibImage* MakePaletteImage(const DibImage* model, int colours) const;
  DibImage* CloneImage(const DibImage* model, bool copy_pixels) const;
  static BITMAPINFO* CopyHeaderAndPalette(const DibImage* image);
  DibImage* NewEmptyImage(bool with_palette) const;

  // Resize and rotate. Each consumes its source image (frees it) and leaves its result in the
  // pending slot; the result of a size beyond the size limit is refused with the memory message,
  // the source freed and the pending slot back at the current image.
  void ScaleImage(double* sx, double* sy);  // the pending image, by the two factors
  bool ScaleNearest(DibImage* source, double sx, double sy);
  bool ScaleAreaAverage(DibImage* source, double sx, double sy);
  bool SampleArea(const DibImage* source, uint8_t* pixel, double x0, double y0, double x1, double y1) const;
  bool RotateImage(DibImage* source, double angle, double sx, double sy);

  // Fields, in the order of the document record.
  uint32_t background_colour_ = 0xFFFFFF;
  DibImage* as_loaded_ = nullptr;
  ViewRect view_rect_{0, 0, 0, 0};
  int32_t image_count_ = 0;
  DibImage* current_ = nullptr;
  DibImage* pending_ = nullptr;
  DibImage* work_ = nullptr;
  DibImage* thumbnail_list_ = nullptr;
  int32_t scroll_x_ = 0, scroll_y_ = 0;
  int32_t zoom_ = 100;
  int32_t drag_x_ = 0, drag_y_ = 0;
  uint32_t view_flags_ = kViewStartFlags;
  int32_t slide_count_ = 0;
  int32_t slide_position_ = 0;
  uint32_t fit_in_slideshow_ = 1;
  std::unique_ptr<HistogramRecord> histogram_;
  uint32_t open_windows_ = 0;
  ParameterBlock params_{};

 private:
  // Frees the current image and makes its predecessor current.
  void DropCurrent();
  // A new record with a copy of the model's path, format and format details, and the given
  // header block; null (freeing the block) when it cannot be made.
  static DibImage* NewRecordLike(const DibImage* model, BITMAPINFO* info);
};
