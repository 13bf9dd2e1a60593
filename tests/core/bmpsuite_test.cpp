// The public BMP suite: every good file this reader accepts decodes as ImageMagick decodes it;
// every questionable and bad file is read soundly or refused with a message.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "app/file_flow.h"
#include "tests/core/test_support.h"

namespace {

std::string SuiteDir() {
  const std::string corpus = CorpusDir();
  return corpus.empty() ? "" : corpus + "/bmpsuite";
}

TEST(BmpSuite, GoodFilesDecodeAsTheReferenceDecoder) {
  const std::string suite = SuiteDir();
  if (suite.empty()) GTEST_SKIP() << "the public corpora are not on this machine";
  int compared = 0;
  for (const std::string& path : FilesIn(suite + "/g", ".bmp")) {
    SCOPED_TRACE(path);
    Filter doc;
    RecordingChannel channel;
    ASSERT_TRUE(OpenImageFile(doc, path.c_str()));  // every good file, the longer headers too
    const DibImage* image = doc.current_;
    const int w = Width(image), h = Height(image);
    const std::vector<uint8_t> expected = MagickPixels(path, "-depth 8 rgb:-");
    ASSERT_EQ(expected.size(), static_cast<size_t>(w) * h * 3);
    if (BitCount(image) == 16) {
      // Compare the fields the file holds: the reference scales them to 0..255 its own way.
      const ChannelMasks m = MasksOf(image);
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
          const uint32_t word = PixelValue(image, x, y);
          for (int c = 0; c < 3; ++c) {  // blue, green, red
            const uint32_t max = m.mask[c] >> m.shift[c];
            const uint32_t ours = (word & m.mask[c]) >> m.shift[c];
            const uint8_t theirs = expected[(static_cast<size_t>(y) * w + x) * 3 + (2 - c)];
            ASSERT_EQ(ours, static_cast<uint32_t>(std::lround(theirs * static_cast<double>(max) / 255.0)))
                << "x " << x << " y " << y << " channel " << c;
          }
        }
    } else {
      ImagePtr rgb(doc.MakeTrueColorCopy(image));
      ASSERT_TRUE(rgb);
      const std::vector<uint8_t> ours = Pixels24(rgb.get());
      for (size_t i = 0; i < ours.size(); i += 3) {
        ASSERT_EQ(ours[i + 2], expected[i]) << "pixel " << i / 3;
        ASSERT_EQ(ours[i + 1], expected[i + 1]) << "pixel " << i / 3;
        ASSERT_EQ(ours[i], expected[i + 2]) << "pixel " << i / 3;
      }
    }
    ++compared;
  }
  EXPECT_EQ(compared, static_cast<int>(FilesIn(suite + "/g", ".bmp").size()));
}

TEST(BmpSuite, QuestionableAndBadFilesAreReadSoundlyOrRefused) {
  const std::string suite = SuiteDir();
  if (suite.empty()) GTEST_SKIP() << "the public corpora are not on this machine";
  int files = 0;
  for (const char* folder : {"/q", "/b"}) {
    for (const std::string& path : FilesIn(suite + folder, ".bmp")) {
      SCOPED_TRACE(path);
      ++files;
      Filter doc;
      RecordingChannel channel;
      if (!OpenImageFile(doc, path.c_str())) {
        ASSERT_FALSE(channel.boxes.empty());
        EXPECT_EQ(channel.boxes[0].style, static_cast<unsigned>(MB_ICONHAND));
        continue;
      }
      // A file that loads must go through every pixel operation the menu uses first; only a
      // run-length stream that does not decode may refuse them (the copy and the histogram).
      auto ops = MDIBCtrl::CreatePixelOps(doc.current_);
      ASSERT_TRUE(ops);
      const bool decodes = !IsRunLength(doc.current_) ||
                           (BitCount(doc.current_) == 8 ? Dib8().DecodeRle(doc.current_) : Dib4().DecodeRle(doc.current_));
      ImagePtr rgb(doc.MakeTrueColorCopy(doc.current_));
      EXPECT_EQ(rgb != nullptr, decodes);
      EXPECT_EQ(ops->MakeHistogram(doc.current_) != nullptr, decodes);
      const int bpp = BitCount(doc.current_);
      if (rgb && !IsRunLength(doc.current_) && bpp != 16 && bpp != 32) {
        // The true-colour copy shows what the indexes and the colour table say.
        const std::vector<uint8_t> ours = Pixels24(rgb.get()), table = RgbPixels(doc.current_);
        ASSERT_EQ(ours.size(), table.size());
        for (size_t i = 0; i < ours.size(); i += 3)
          ASSERT_TRUE(ours[i] == table[i + 2] && ours[i + 1] == table[i + 1] && ours[i + 2] == table[i]) << i / 3;
      }
      EXPECT_TRUE(doc.RunOperation(108));
    }
  }
  EXPECT_GE(files, 30);
}

}  // namespace
