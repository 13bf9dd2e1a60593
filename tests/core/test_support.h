// Shared helpers of the core tests: a message recorder, image builders, documents that run
// operations, pixel access, files and the reference tools.
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
    std::string text, caption;  // caption "" for none
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
  // True when one box refused a file as unsupported, giving one reason.
  bool Refused() const { return ShowedOnly(kMsgUnsupported) && reasons.size() == 1; }
  std::string FirstReason() const { return reasons.empty() ? "" : reasons[0]; }

  std::vector<Box> boxes;
  std::vector<int> answers;
  std::vector<std::string> progress;
  std::vector<std::string> reasons;  // of refused files, in English

 private:
  UserChannel* previous_;
};

// A message box as a line "text|caption|style|owner" ("(none)" for no caption); the boxes recorded.
inline std::string BoxText(const std::string& text, const char* caption, unsigned style, bool owned) {
  return text + "|" + (caption ? caption : "(none)") + "|" + std::to_string(style) + (owned ? "|owned\n" : "|no owner\n");
}
inline std::string Shown(const RecordingChannel& channel) {
  std::string shown;
  for (const auto& b : channel.boxes) shown += BoxText(b.text, b.has_caption ? b.caption.c_str() : nullptr, b.style, b.owned);
  return shown;
}

// An image of the given size and depth with zeroed pixels and, for the indexed depths, a colour
// table of `colours` entries (2^bits when 0); or with repeatable pseudo-random pixels and table.
ImagePtr NewImage(int width, int height, int bpp, int colours = 0);
void FillRandom(DibImage* image, uint32_t seed);
ImagePtr RandomImage(int width, int height, int bpp, uint32_t seed, int colours = 0);
// A 24-bit image of one row of blue, green, red triples.
ImagePtr RowImage(const std::vector<uint8_t>& bgr);

// Makes image the only image of doc.
void Commit(MDIBCtrl& doc, ImagePtr image);
// A document holding one image, with the boxes and progress it shows recorded.
struct Document {
  explicit Document(ImagePtr image) { Commit(doc, std::move(image)); }
  const DibImage* image() const { return doc.current_; }
  // The image a command makes (taken out of the document), or null when it makes none.
  ImagePtr Run(int command, const double* values = nullptr, int count = 0);
  Filter doc;
  RecordingChannel channel;
};

// Pixel (x, y): the index for indexed depths, the raw word for 16 and 32 bits, blue | green << 8
// | red << 16 for 24 bits.
uint32_t PixelValue(const DibImage* image, int x, int y);
// Blue, green, red of every pixel of a 24-bit image, rows from the top.
std::vector<uint8_t> Pixels24(const DibImage* image);
// Red, green, blue of every pixel of a 1-, 4-, 8- or 24-bit image, rows from the top (black for
// an index beyond the colour table).
std::vector<uint8_t> RgbPixels(const DibImage* image);

// Red, green, blue of every pixel of the image's true-colour copy (empty when none is made).
std::vector<uint8_t> TrueColourRgb(const MDIBCtrl& doc, const DibImage* image);

// A 24-bit picture as blue, green, red bytes, rows from the top.
struct Picture {
  int w = 0, h = 0;
  std::vector<uint8_t> px;
  explicit Picture(const DibImage* image);
  Picture(int width, int height, std::vector<uint8_t> bytes) : w(width), h(height), px(std::move(bytes)) {}
  int at(int x, int y, int c) const { return px[(static_cast<size_t>(y) * w + x) * 3 + c]; }
  const uint8_t* pixel(int x, int y) const { return &px[(static_cast<size_t>(y) * w + x) * 3]; }
  bool operator==(const Picture& o) const { return w == o.w && h == o.h && px == o.px; }
};

// A whole file's bytes (empty when it cannot be read); writing bytes; a binary PPM of an image.
std::vector<uint8_t> ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);
void WritePpm(const std::string& path, const DibImage* image);

// A fresh empty folder for one test; removed with its files by the destructor.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }
  // Writes bytes to the file name in the folder; its path.
  std::string Put(const std::string& name, const std::vector<uint8_t>& bytes) const;

 private:
  std::string path_;
};

// The public test corpora, and a folder inside the libraries' source packages the setup
// downloads ("" when not on this machine); the files of a folder ending in suffix, by name.
std::string CorpusDir();
std::string LibrarySourceDir(const std::string& sub);
std::vector<std::string> FilesIn(const std::string& folder, const std::string& suffix);

// A shell command's exit status and standard output; tessamor-cli's output with its errors.
int RunCommand(const std::string& command, std::string* out = nullptr);
std::string Cli(const std::string& args, int* status = nullptr);
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
// Loads path with io, which may have failed before: refused with the message for an unsupported
// format, or loaded without a box.
ImagePtr LoadOrRefuse(BmpIOClass& io, const std::string& path);

// A file opened as the program opens it, into a document of its own, with the boxes shown.
struct OpenedFile {
  explicit OpenedFile(const std::string& path) : ok(OpenImageFile(doc, path.c_str())) {}
  const DibImage* image() const { return doc.current_; }
  Filter doc;
  RecordingChannel channel;
  bool ok;
};
