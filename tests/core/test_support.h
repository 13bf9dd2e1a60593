// Shared helpers of the core tests: a message recorder, image builders and pixel access.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "app/file_flow.h"
#include "base/messages.h"
#include "image/dib_image.h"
#include "image/pixel_ops.h"

// Records every message box and answers questions as scripted (OK unless told otherwise).
class RecordingChannel : public UserChannel {
 public:
  struct Box {
    std::string text;
    std::string caption;  // "" for none
    bool has_caption;
    unsigned style;
    bool owned;
  };
  RecordingChannel() { previous_ = SetChannel(this); }
  ~RecordingChannel() override { SetChannel(previous_); }

  int Message(const char* text, const char* caption, unsigned style, bool owned) override {
    boxes.push_back(Box{text, caption ? caption : "", caption != nullptr, style, owned});
    if (answers.empty()) return IDOK;
    const int answer = answers.front();
    answers.erase(answers.begin());
    return answer;
  }
  void Reason(const char* text) override { reasons.push_back(text); }
  void ProgressBegin(const char* caption) override { progress.push_back(std::string("begin:") + caption); }
  void ProgressStep(const char* text) override { progress.push_back(text); }
  void ProgressEnd() override { progress.push_back("end"); }

  // True when exactly one box was shown and it carries the text of the message code.
  bool ShowedOnly(int code) const { return boxes.size() == 1 && boxes[0].text == MessageText(code); }

  std::vector<Box> boxes;
  std::vector<int> answers;
  std::vector<std::string> progress;
  std::vector<std::string> reasons;  // of refused files, in English

 private:
  UserChannel* previous_;
};

// A new image record of the given size and depth with zeroed pixels and, for the indexed
// depths, a colour table of `colours` entries (all depths of 2^bits when 0).
ImagePtr NewImage(int width, int height, int bpp, int colours = 0);
// Fills an image's pixels (and table) with repeatable pseudo-random bytes.
void FillRandom(DibImage* image, uint32_t seed);

// The value of pixel (x, y): the index for indexed depths, the raw word for 16 and 32 bits,
// blue | green << 8 | red << 16 for 24 bits.
uint32_t PixelValue(const DibImage* image, int x, int y);

// (blue, green, red) of every pixel of a 24-bit image, rows from the top.
std::vector<uint8_t> Pixels24(const DibImage* image);

// Bytes of a whole file; empty when it cannot be read.
std::vector<uint8_t> ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);

// A fresh empty folder for one test; removed with its files by the destructor.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Folder of the public test corpora ("" when it is not on this machine).
std::string CorpusDir();

// Runs a shell command; returns its exit status and, when out is given, its standard output.
int RunCommand(const std::string& command, std::string* out = nullptr);

// A folder inside the libraries' source packages the setup downloads ("" when it is not here).
std::string LibrarySourceDir(const std::string& sub);
// Paths of the files in folder whose names end in suffix, sorted by name.
std::vector<std::string> FilesIn(const std::string& folder, const std::string& suffix);

// Red, green, blue of every pixel of a 1-, 4-, 8- or 24-bit image, rows from the top (black for
// an index beyond the colour table).
std::vector<uint8_t> RgbPixels(const DibImage* image);
// ImageMagick's decoding of file as the raw samples the output options ask for ("-depth 8 rgb:-").
std::vector<uint8_t> MagickPixels(const std::string& file, const std::string& options);
// Red, green, blue samples of the PNM picture a shell command prints, brought to a maximum of
// 255 by netpbm; empty when it fails.
std::vector<uint8_t> NetpbmRgb(const std::string& command);

// Writes image to path with io as the save does, closing in any case; true when every step succeeded.
bool WriteWith(BmpIOClass& io, const DibImage* image, const std::string& path);
// Writing to a device that takes nothing fails without ending the process (the library's error
// lands in a recovery point), and io then writes again at path.
void ExpectWriteErrorRecovered(BmpIOClass& io, const std::string& path);

// Loads path with io, which may have failed before: the file is refused with the message for an
// unsupported format (as it must be when must_refuse), or it loads without a box.
ImagePtr LoadOrRefuse(BmpIOClass& io, const std::string& path, bool must_refuse);

// A file opened as the program opens it, into a document of its own, with the boxes shown.
struct OpenedFile {
  explicit OpenedFile(const std::string& path) : ok(OpenImageFile(doc, path.c_str())) {}
  const DibImage* image() const { return doc.current_; }
  Filter doc;
  RecordingChannel channel;
  bool ok;
};
