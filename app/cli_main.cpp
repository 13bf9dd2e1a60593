// tessamor-cli: the image core from the command line, for batch work.
//   tessamor-cli INPUT [--cmd COMMAND]... [--with FILE] [--pnm-ascii] [--max-pixels N] -o OUTPUT
//     (COMMAND: a menu command's id or name, with "=V1,V2..." for its values)
//   tessamor-cli --info FILE
//   tessamor-cli --sample FILE   (writes the project's own sample picture)
// Messages go to standard error as UTF-8; the exit status is 0 on success, 1 on any failure.
#include <iconv.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/command_table.h"
#include "app/file_flow.h"
#include "base/messages.h"
#include "document/image_info.h"
#include "processing/operation_table.h"

namespace {

// The system's texts are CP932; the terminal speaks UTF-8.
std::string ToUtf8(const char* cp932) {
  std::string out;
  iconv_t cd = iconv_open("UTF-8", "CP932");
  if (cd == reinterpret_cast<iconv_t>(-1)) return cp932;
  std::string in(cp932);
  char* src = &in[0];
  size_t left = in.size();
  std::vector<char> buffer(in.size() * 3 + 4);
  char* dst = buffer.data();
  size_t room = buffer.size();
  if (iconv(cd, &src, &left, &dst, &room) == static_cast<size_t>(-1)) out = cp932;
  else out.assign(buffer.data(), buffer.size() - room);
  iconv_close(cd);
  return out;
}

// Prints every message box; questions are answered with OK. Remembers whether an error or a
// warning was shown, which makes the run a failure.
class TerminalChannel : public UserChannel {
 public:
  int Message(const char* text, const char* caption, unsigned style, bool) override {
    const unsigned icon = style & 0xF0;
    if (icon == MB_ICONHAND || icon == MB_ICONEXCLAMATION) failed_ = true;
    std::string line = caption ? ToUtf8(caption) + ": " : std::string();
    std::fprintf(stderr, "%s%s\n", line.c_str(), ToUtf8(text).c_str());
    if (!reason_.empty()) std::fprintf(stderr, "reason: %s\n", reason_.c_str());
    reason_.clear();
    return IDOK;
  }
  void Reason(const char* text) override { reason_ = text; }
  // On a terminal, a line on standard error that the counter rewrites.
  void ProgressBegin(const char* caption) override {
    caption_ = ToUtf8(caption);
    shown_ = false;
  }
  void ProgressStep(const char* counter) override {
    if (!isatty(2)) return;
    std::fprintf(stderr, "\r%s %s   ", caption_.c_str(), counter);
    shown_ = true;
  }
  void ProgressEnd() override {
    if (shown_) std::fprintf(stderr, "\n");
    shown_ = false;
  }
  bool failed() const { return failed_; }

 private:
  bool failed_ = false;
  std::string reason_;  // of the refusal whose box comes next
  std::string caption_;
  bool shown_ = false;
};

// One command to run: an id with the values given for it.
struct Step {
  int id = 0;
  std::vector<double> values;
};

bool Supported(int id) { return id == 106 || id == 107 || Filter::HasOperation(id); }

const char* CommandName(int id) {
  if (id == 106) return "undo";
  if (id == 107) return "restore";
  const OperationEntry* e = FindOperation(id);
  return e ? e->name : "";
}

// "ID" or "NAME", then "=V1,V2..." where the command takes values. On a problem, an English
// text naming what is accepted.
bool ParseStep(const std::string& text, Step* step, std::string* problem) {
  const size_t equals = text.find('=');
  const std::string head = text.substr(0, equals);
  char* end = nullptr;
  errno = 0;
  const long long number = std::strtoll(head.c_str(), &end, 10);
  int id = 0;
  if (!head.empty() && *end == '\0' && errno == 0) {
    // A whole text and a number an int holds (no id may wrap round to a known one).
    if (number >= 1 && number <= 0xFFFF && Supported(static_cast<int>(number))) id = static_cast<int>(number);
  } else if (head == "undo" || head == "restore") {
    id = head == "undo" ? 106 : 107;
  } else if (const OperationEntry* e = FindOperation(head.c_str())) {
    id = e->id;
  }
  if (!id) {
    *problem = "unknown command '" + head + "'";
    return false;
  }
  step->id = id;
  step->values.clear();
  if (equals == std::string::npos) return true;
  const OperationEntry* entry = FindOperation(id);
  std::string rest = text.substr(equals + 1);
  for (size_t at = 0; entry;) {
    const size_t comma = rest.find(',', at);
    const std::string item = rest.substr(at, comma == std::string::npos ? std::string::npos : comma - at);
    errno = 0;
    const double v = std::strtod(item.c_str(), &end);
    if (item.empty() || *end != '\0' || errno == ERANGE || !std::isfinite(v)) {
      *problem = std::string(CommandName(id)) + ": '" + item + "' is not a number";
      return false;
    }
    step->values.push_back(v);
    if (comma == std::string::npos) break;
    at = comma + 1;
  }
  char text_problem[160];
  if (!entry || !CheckOperationValues(*entry, step->values.data(), static_cast<int>(step->values.size()), text_problem,
                                      sizeof text_problem)) {
    *problem = entry ? text_problem : std::string(CommandName(id)) + " takes no values";
    return false;
  }
  return true;
}

// A menu label without its keyboard marker "(&X)" (and any lone "&").
std::string PlainLabel(const char* cp932) {
  std::string label = ToUtf8(cp932);
  const size_t open = label.find("(&");
  if (open != std::string::npos && open + 3 < label.size() && label[open + 3] == ')') label.erase(open, 4);
  for (size_t amp; (amp = label.find('&')) != std::string::npos;) label.erase(amp, 1);
  return label;
}

// "name=low..high (initial)" for each value of a command.
std::string ValuesText(int id) {
  const OperationEntry* e = FindOperation(id);
  std::string text;
  char part[96];
  for (int i = 0; e && i < e->value_count; ++i) {
    const OperationValue& v = e->values[i];
    std::snprintf(part, sizeof part, "%s%s %g..%g (%g)", i ? ", " : "", v.name, v.low, v.high, v.initial);
    text += part;
  }
  if (e && e->second_image) text += text.empty() ? "with the --with image" : ", with the --with image";
  return text;
}

void PrintHelp() {
  std::printf(
      "usage: tessamor-cli INPUT [--cmd COMMAND]... [--with FILE] [--pnm-ascii] [--max-pixels N] -o OUTPUT\n"
      "       tessamor-cli [--max-pixels N] --info FILE\n"
      "       tessamor-cli --sample FILE\n"
      "Reads INPUT (the format by its extension), applies the commands in order and writes\n"
      "OUTPUT in the format its extension names. A COMMAND is a menu command's id or name,\n"
      "with its values after '=' where it takes some: --cmd 108, --cmd negative,\n"
      "--cmd gamma=2.2, --cmd rgb=10,0,-10. The compositing commands combine the image with\n"
      "the image of --with FILE. --pnm-ascii writes PBM, PGM and PPM files in their ASCII\n"
      "variants (P1, P2, P3) instead of binary (P4, P5, P6). --max-pixels N refuses images of\n"
      "more than N pixels (default 268435456).\n\ncommands (id, name, menu label, values: range and default):\n");
  for (const CommandEntry* e = kCommandTable; e->id; ++e) {
    if (!Supported(e->id)) continue;
    const std::string values = ValuesText(e->id);
    std::printf("  %d  %-17s %s%s%s\n", e->id, CommandName(e->id), PlainLabel(e->label).c_str(),
                values.empty() ? "" : "  ", values.c_str());
  }
}

int PrintInfo(Filter& doc, const char* path) {
  if (!OpenImageFile(doc, path)) return 1;
  const DibImage* image = doc.current_;
  const LoadedImageTexts t = DescribeLoadedImage(image);
  std::printf("format: %s\n", ToUtf8(t.format.c_str()).c_str());
  std::printf("size: %d x %d\n", Width(image), Height(image));
  std::printf("bits per pixel: %s\n", t.bpp.c_str());
  std::printf("palette: %u\n", static_cast<unsigned>(image->colours));
  std::printf("colour form: %s\n", ToUtf8(t.colour_form.c_str()).c_str());
  std::printf("compression: %s\n", t.compression.c_str());
  if (!t.levels.empty()) std::printf("levels: %s\n", t.levels.c_str());
  if (!t.orientation.empty()) std::printf("orientation: %s\n", ToUtf8(t.orientation.c_str()).c_str());
  return 0;
}

// A 640 x 480 colour picture of our own: hue sweep across, light to dark down, with rings.
int WriteSample(Filter& doc, const char* path) {
  const int w = 640, h = 480;
  DibImage* image = doc.NewEmptyImage(false);
  BITMAPINFOHEADER& hd = image->info->bmiHeader;
  hd.biWidth = w;
  hd.biHeight = h;
  hd.biBitCount = 24;
  image->format = kFormatBmp;
  image->stride = RowBytes(w, 24);
  hd.biSizeImage = image->stride * h;
  image->bits = AllocateBits(ImageBytes(image));
  if (!image->bits) return 1;
  for (int y = 0; y < h; ++y) {
    uint8_t* p = RowAddress(image, y);
    for (int x = 0; x < w; ++x, p += 3) {
      const int hue = x * 6 * 256 / w, f = hue & 255, sector = hue >> 8;
      int rgb[3];
      const int up = f, down = 255 - f;
      const int table[6][3] = {{255, up, 0}, {down, 255, 0}, {0, 255, up}, {0, down, 255}, {up, 0, 255}, {255, 0, down}};
      for (int c = 0; c < 3; ++c) rgb[c] = table[sector][c] * (h - y / 2) / h;
      const int dx = x - w / 2, dy = y - h / 2, r2 = dx * dx + dy * dy;
      if ((r2 / 1600) % 4 == 0 && r2 < 200 * 200) rgb[0] = rgb[1] = rgb[2] = 255 - y * 255 / h;
      p[0] = static_cast<uint8_t>(rgb[2]);
      p[1] = static_cast<uint8_t>(rgb[1]);
      p[2] = static_cast<uint8_t>(rgb[0]);
    }
  }
  doc.pending_ = image;
  doc.Commit();
  return SaveImageFile(doc, path, 0) ? 0 : 1;
}

int Usage(const char* problem) {
  std::fprintf(stderr, "tessamor-cli: %s (see --help)\n", problem);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  TerminalChannel channel;
  SetChannel(&channel);
  Filter doc;
  const char* input = nullptr;
  const char* output = nullptr;
  std::vector<Step> steps;
  const char* with = nullptr;
  int pnm_ascii = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      PrintHelp();
      return 0;
    } else if (arg == "--info") {
      if (i + 1 >= argc) return Usage("--info needs a file");
      const int rc = PrintInfo(doc, argv[i + 1]);
      return rc != 0 || channel.failed() ? 1 : 0;
    } else if (arg == "--sample") {
      if (i + 1 >= argc) return Usage("--sample needs a file");
      return WriteSample(doc, argv[i + 1]);
    } else if (arg == "--cmd") {
      if (i + 1 >= argc) return Usage("--cmd needs a command");
      Step step;
      std::string problem;
      if (!ParseStep(argv[++i], &step, &problem)) return Usage(problem.c_str());
      steps.push_back(step);
    } else if (arg == "--with") {
      if (i + 1 >= argc) return Usage("--with needs a file");
      with = argv[++i];
    } else if (arg == "--max-pixels") {
      if (i + 1 >= argc) return Usage("--max-pixels needs a number");
      const char* text = argv[++i];
      char* end = nullptr;
      errno = 0;
      const unsigned long long n = std::strtoull(text, &end, 10);
      if (end == text || *end != '\0' || errno == ERANGE || text[0] == '-' || n == 0 || n > (1ULL << 32))
        return Usage("--max-pixels takes a whole number of pixels from 1 to 4294967296");
      SetMaxPixels(n);
    } else if (arg == "--pnm-ascii") {
      pnm_ascii = 1;  // the PgmSaveMode setting: PBM, PGM and PPM in their ASCII variants
    } else if (arg == "-o") {
      if (i + 1 >= argc) return Usage("-o needs a file");
      output = argv[++i];
    } else if (!input && arg.size() > 0 && arg[0] != '-') {
      input = argv[i];
    } else {
      return Usage("unexpected argument");
    }
  }
  if (!input || !output) return Usage("INPUT and -o OUTPUT are needed");
  if (!OpenImageFile(doc, input)) return 1;
  for (const Step& step : steps) {
    const OperationEntry* entry = FindOperation(step.id);
    if (step.id == 106) {
      doc.Undo();
      continue;
    }
    if (step.id == 107) {
      doc.RestoreOriginal();
      continue;
    }
    if (entry->second_image) {
      if (!with) return Usage((std::string(entry->name) + " needs the second image: --with FILE").c_str());
      // The second image loads as the program's blend loads it: into the pending slot.
      doc.view_flags_ |= kViewBlendLoading;
      const bool loaded = OpenImageFile(doc, with) && doc.PrepareBlend(doc.pending_);
      if (!loaded) {
        doc.view_flags_ &= ~kViewBlendLoading;
        return 1;
      }
    }
    if (doc.RunOperation(step.id, step.values.data(), static_cast<int>(step.values.size()))) {
      doc.Commit();
    } else {
      if (entry->second_image) {
        doc.view_flags_ &= ~kViewBlendLoading;
        if (doc.pending_ != doc.current_) MDIBCtrl::DeleteImage(doc.pending_);
        doc.pending_ = doc.current_;
      }
      if (channel.failed()) return 1;
      std::fprintf(stderr, "command %d (%s) left the image unchanged\n", step.id, entry->name);
    }
  }
  if (!SaveImageFile(doc, output, pnm_ascii)) return 1;
  return channel.failed() ? 1 : 0;
}
