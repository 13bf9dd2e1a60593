// How much memory opening a large file takes, beside the size of the image it becomes: every
// reader on a 6000 x 4000 picture, in the variants that need the most (progressive JPEG,
// interlaced and 16-bit PNG, run-length BMP). Each file is opened in a child process whose
// peak resident size is reset first, with large blocks fresh from the system, so the peak
// growth is what the open took. Prints one row a file; files are made by our writers and, for
// the variants they do not write, by ImageMagick's convert.
//   decode_memory [FOLDER]   (default: a folder under /tmp, removed afterwards)
#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/file_flow.h"
#include "base/messages.h"

namespace {

constexpr int kWidth = 6000, kHeight = 4000;

// A "Vm...:" value of /proc/self/status in KB; -1 when missing.
long StatusKb(const char* key) {
  std::FILE* f = std::fopen("/proc/self/status", "r");
  long kb = -1;
  char line[256];
  while (f && std::fgets(line, sizeof line, f))
    if (std::strncmp(line, key, std::strlen(key)) == 0) kb = std::strtol(line + std::strlen(key), nullptr, 10);
  if (f) std::fclose(f);
  return kb;
}

// Opens path in a child process; writes the image's bytes and the peak growth, in KB.
bool Measure(const std::string& path, long* image_kb, long* growth_kb) {
  int pipe_fds[2];
  if (pipe(pipe_fds) != 0) return false;
  const pid_t pid = fork();
  if (pid == 0) {
    close(pipe_fds[0]);
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
    std::FILE* f = std::fopen("/proc/self/clear_refs", "w");
    const bool reset = f && std::fputs("5", f) >= 0;
    if (f) std::fclose(f);
    const long before = StatusKb("VmRSS:");
    Filter doc;
    const bool opened = OpenImageFile(doc, path.c_str());
    const long peak = StatusKb("VmHWM:");
    long out[2] = {opened ? static_cast<long>(ImageBytes(doc.current_) / 1024) : -1, reset ? peak - before : -1};
    if (write(pipe_fds[1], out, sizeof out) != sizeof out) _exit(1);
    _exit(0);
  }
  close(pipe_fds[1]);
  long in[2] = {-1, -1};
  const bool got = pid > 0 && read(pipe_fds[0], in, sizeof in) == sizeof in;
  close(pipe_fds[0]);
  int status = 0;
  if (pid > 0) waitpid(pid, &status, 0);
  *image_kb = in[0];
  *growth_kb = in[1];
  return got && in[0] >= 0 && in[1] >= 0;
}

// A 24-bit picture with shading and grain (and, indexed, its 3-3-2 reduction).
void MakePicture(Filter& doc, bool indexed) {
  DibImage* image = doc.NewEmptyImage(true);
  BITMAPINFOHEADER& h = image->info->bmiHeader;
  const int bpp = indexed ? 8 : 24;
  h.biWidth = kWidth;
  h.biHeight = kHeight;
  h.biBitCount = static_cast<WORD>(bpp);
  image->format = kFormatBmp;
  image->stride = RowBytes(kWidth, bpp);
  h.biSizeImage = image->stride * kHeight;
  if (indexed) {
    image->colours = 256;
    h.biClrUsed = 256;
    for (int i = 0; i < 256; ++i)
      Palette(image)[i] = RGBQUAD{static_cast<BYTE>((i & 3) * 85), static_cast<BYTE>(((i >> 2) & 7) * 36),
                                  static_cast<BYTE>((i >> 5) * 36), 0};
  }
  image->bits = AllocateBits(ImageBytes(image));
  uint32_t grain = 2463534242u;
  for (int y = 0; y < kHeight; ++y) {
    uint8_t* p = RowAddress(image, y);
    for (int x = 0; x < kWidth; ++x) {
      grain ^= grain << 13, grain ^= grain >> 17, grain ^= grain << 5;
      const int r = (x * 255 / kWidth + (grain & 7)) & 255, g = (y * 255 / kHeight) & 255, b = ((x + y) / 40) & 255;
      if (indexed) *p++ = static_cast<uint8_t>((r >> 5) << 5 | (g >> 5) << 2 | b >> 6);
      else p[0] = static_cast<uint8_t>(b), p[1] = static_cast<uint8_t>(g), p[2] = static_cast<uint8_t>(r), p += 3;
    }
  }
  doc.pending_ = image;
  doc.Commit();
}

}  // namespace

int main(int argc, char** argv) {
  std::string folder = argc > 1 ? argv[1] : "/tmp/tessamor-decode-memory-" + std::to_string(getpid());
  if (std::system(("mkdir -p '" + folder + "'").c_str()) != 0) return 1;
  Filter colour, indexed;
  MakePicture(colour, false);
  MakePicture(indexed, true);
  const struct Row {
    const char* file;
    Filter* doc;        // written by our writer, or null
    const char* magick; // else made by convert: from colour.ppm with these options, or as they say
  } rows[] = {
      {"colour.bmp", &colour, nullptr},  {"colour.jpg", &colour, nullptr}, {"colour.png", &colour, nullptr},
      {"colour.ppm", &colour, nullptr},  {"grey.pgm", &colour, nullptr},   {"bw.pbm", &colour, nullptr},
      {"indexed.gif", &indexed, nullptr}, {"indexed.png", &indexed, nullptr},
      {"progressive.jpg", nullptr, "-interlace JPEG -sampling-factor 1x1"},
      {"interlaced.png", nullptr, "-interlace PNG"},
      {"deep.png", nullptr, "-depth 16 -alpha set"},
      {"rle8.bmp", nullptr, "-colors 200 -compress RLE BMP3:"},
      {"tall.png", nullptr, "-size 1x4000000 gradient: -depth 8"},  // a row pointer would outweigh a row
  };
  std::printf("%-16s %10s %12s %7s\n", "file", "image MB", "peak grow MB", "ratio");
  for (const Row& row : rows) {
    const std::string path = folder + "/" + row.file;
    bool made;
    if (row.doc) {
      made = SaveImageFile(*row.doc, path.c_str(), 0);
    } else {
      const std::string options = row.magick;
      const bool own_source = options.rfind("-size", 0) == 0;
      const bool prefix = options.back() == ':';  // an output format in front of the name
      const std::string command = "/usr/bin/convert " + (own_source ? std::string() : "'" + folder + "/colour.ppm' ") +
                                  (prefix ? options : options + " ") + "'" + path + "' 2>/dev/null";
      made = std::system(command.c_str()) == 0;
    }
    long image_kb = 0, growth_kb = 0;
    if (!made || !Measure(path, &image_kb, &growth_kb)) {
      std::printf("%-16s %10s\n", row.file, "not measured");
      continue;
    }
    std::printf("%-16s %10.1f %12.1f %7.2f\n", row.file, image_kb / 1024.0, growth_kb / 1024.0,
                image_kb ? static_cast<double>(growth_kb) / image_kb : 0.0);
  }
  if (argc <= 1) std::system(("rm -rf '" + folder + "'").c_str());
  return 0;
}
