// The document chain: commit, undo, restore, clear, the counts and links, the view hooks, the
// image utilities and the out-of-memory rule.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <new>

#include "processing/filter.h"
#include "tests/core/test_support.h"

namespace {

// Counts the view notifications the program would act on.
class CountingDocument : public Filter {
 public:
  bool RefreshViews() override { return ++refreshes; }
  void RebuildViewPalette() override { ++palettes, palette_from = pending_; }
  int refreshes = 0, palettes = 0;
  const DibImage* palette_from = nullptr;
};

// Checks the chain invariants: count records, first as loaded, last current, links consistent.
void ExpectChain(const MDIBCtrl& doc) {
  if (doc.image_count_ == 0) {
    EXPECT_TRUE(doc.current_ == nullptr && doc.pending_ == nullptr);
    return;
  }
  int n = 1;
  const DibImage* p = doc.current_;
  EXPECT_EQ(p->newer, nullptr);
  for (; p->older; p = p->older, ++n) EXPECT_EQ(p->older->newer, p);
  EXPECT_EQ(p, doc.as_loaded_);
  EXPECT_EQ(n, doc.image_count_);
  EXPECT_EQ(doc.pending_, doc.current_);
}

TEST(Document, CommitUndoRestoreAndClearKeepTheChain) {
  CountingDocument doc;
  ImagePtr first = RandomImage(4, 4, 24, 1);
  const DibImage* loaded = first.get();
  Commit(doc, std::move(first));
  EXPECT_TRUE(doc.image_count_ == 1 && doc.as_loaded_ == loaded);
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(doc.RunOperation(108) && doc.Commit());
  EXPECT_EQ(doc.image_count_, 4);
  ExpectChain(doc);  // four images linked
  doc.Undo();
  EXPECT_EQ(doc.image_count_, 3);  // three operations and one undo
  ExpectChain(doc);
  doc.refreshes = 0;
  doc.RestoreOriginal();
  EXPECT_TRUE(doc.image_count_ == 1 && doc.current_ == loaded && doc.refreshes == 1);  // one redraw however many went
  ExpectChain(doc);
  doc.refreshes = 0;
  doc.Undo();  // nothing before the image as loaded
  EXPECT_TRUE(doc.image_count_ == 1 && doc.refreshes == 0);
  doc.RestoreOriginal();
  EXPECT_EQ(doc.refreshes, 1);
  doc.ClearDocument();
  EXPECT_EQ(doc.image_count_, 0);
  ExpectChain(doc);
}

TEST(Document, PaletteRebuildsOnlyForImagesWithAColourTable) {
  CountingDocument doc;
  Commit(doc, NewImage(2, 2, 8));
  EXPECT_TRUE(doc.palettes == 1 && doc.palette_from == doc.current_);
  ASSERT_TRUE(doc.RunOperation(113) && doc.Commit());  // 24-bit result keeps the old palette
  doc.Undo();  // undo does not rebuild it either
  EXPECT_EQ(doc.palettes, 1);
  ASSERT_TRUE(doc.RunOperation(108) && doc.Commit());  // 8-bit result replaces it
  EXPECT_EQ(doc.palettes, 2);
}

TEST(ImageUtilities, CopiesTakeTheModelsNameFormatAndDetails) {
  CountingDocument doc;
  doc.background_colour_ = 0x123456;
  ImagePtr empty(doc.NewEmptyImage(true));
  EXPECT_TRUE(empty->info->bmiHeader.biSize == 40 && empty->info->bmiHeader.biPlanes == 1 &&
              empty->details->colour == 0x123456u);

  ImagePtr four = RandomImage(5, 3, 4, 9, 3);
  std::strcpy(four->path, "C:\\pics\\a.bmp");
  four->format = kFormatBmpOs2;
  four->details->first = 77;
  Commit(doc, std::move(four));
  const DibImage* model = doc.current_;
  ImagePtr rgb(doc.MakeTrueColorCopy(model));
  ASSERT_TRUE(rgb);
  EXPECT_TRUE(BitCount(rgb.get()) == 24 && rgb->colours == 0 && std::string(rgb->path) == "C:\\pics\\a.bmp");
  EXPECT_TRUE(rgb->format == kFormatBmpOs2 && rgb->details->first == 77);
  EXPECT_NE(rgb->details, model->details);  // each image owns its details

  ImagePtr eight(doc.MakeEightBitCopy(model));
  ASSERT_TRUE(eight);
  EXPECT_TRUE(BitCount(eight.get()) == 8 && eight->colours == 256);
  EXPECT_EQ(Palette(eight.get())[2].rgbRed, Palette(model)[2].rgbRed);
  for (int i = 0; i < 15; ++i) EXPECT_EQ(PixelValue(eight.get(), i % 5, i / 5), PixelValue(model, i % 5, i / 5));
  EXPECT_EQ(doc.MakeEightBitCopy(rgb.get()), nullptr);  // only 1- and 4-bit sources

  ImagePtr pal(doc.MakePaletteImage(model, 16)), blank(doc.MakeBlankLike(model, 100, 2));
  ASSERT_TRUE(pal && blank);
  EXPECT_TRUE(BitCount(pal.get()) == 4 && blank->stride == RowBytes(100, 4));
  EXPECT_EQ(doc.MakeBlankLike(model, 0, 2), nullptr);
}

TEST(OutOfMemory, ObjectCreationFailureShowsTheMessageAndEndsTheProcess) {
  // The dying process tells on standard error which box it showed.
  class TellingChannel : public RecordingChannel {
   public:
    int Message(const char* text, const char* caption, unsigned style, bool owned) override {
      if (std::string(text) == MessageText(kMsgNoMemory) && style == MB_ICONHAND) std::fprintf(stderr, "no-memory box\n");
      return RecordingChannel::Message(text, caption, style, owned);
    }
  };
  struct Huge {
    static void* operator new(size_t) { throw std::bad_alloc(); }
  };
  EXPECT_DEATH(
      {
        TellingChannel channel;
        CreateObject<Huge>();
      },
      "no-memory box");
}

}  // namespace
