#include "tests/core/test_support.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

ImagePtr NewImage(int width, int height, int bpp, int colours) {
  if (bpp <= 8 && colours == 0) colours = 1 << bpp;
  if (bpp > 8) colours = 0;
  ImagePtr image(new DibImage{});
  image->details = new FormatDetails{};
  image->format = kFormatBmp;
  image->info = static_cast<BITMAPINFO*>(std::calloc(1, sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD)));
  image->colours = static_cast<uint16_t>(colours);
  image->stride = RowBytes(width, bpp);
  image->info->bmiHeader = BITMAPINFOHEADER{40, width, height, 1, static_cast<WORD>(bpp), BI_RGB,
                                            image->stride * static_cast<uint32_t>(height), 0, 0,
                                            static_cast<DWORD>(colours), 0};
  image->bits = static_cast<uint8_t*>(std::calloc(ImageBytes(image.get()) + 1, 1));
  return image;
}

void FillRandom(DibImage* image, uint32_t seed) {
  uint32_t s = seed * 2654435761u + 1;
  auto next = [&s]() { return static_cast<uint8_t>(s ^= s << 13, s ^= s >> 17, s ^= s << 5); };
  for (size_t i = 0; i < ImageBytes(image); ++i) image->bits[i] = next();
  RGBQUAD* pal = Palette(image);
  for (int i = 0; i < image->colours; ++i) pal[i] = RGBQUAD{next(), next(), next(), 0};
}

ImagePtr RandomImage(int width, int height, int bpp, uint32_t seed, int colours) {
  ImagePtr image = NewImage(width, height, bpp, colours);
  FillRandom(image.get(), seed);
  return image;
}

ImagePtr RowImage(const std::vector<uint8_t>& bgr) {
  ImagePtr image = NewImage(static_cast<int>(bgr.size() / 3), 1, 24);
  std::copy(bgr.begin(), bgr.end(), RowAddress(image.get(), 0));
  return image;
}

void Commit(MDIBCtrl& doc, ImagePtr image) {
  doc.pending_ = image.release();
  doc.Commit();
}

ImagePtr Document::Run(int command, const double* values, int count) {
  if (!doc.RunOperation(command, values, count)) return nullptr;
  ImagePtr out(doc.pending_);
  doc.pending_ = doc.current_;
  return out;
}

Picture::Picture(const DibImage* image) : w(Width(image)), h(Height(image)), px(Pixels24(image)) {}

uint32_t PixelValue(const DibImage* image, int x, int y) {
  const uint8_t* row = RowAddress(image, y);
  switch (BitCount(image)) {
    case 1: return (row[x / 8] >> (7 - x % 8)) & 1;
    case 4: return (x % 2) ? (row[x / 2] & 15) : (row[x / 2] >> 4);
    case 8: return row[x];
    case 16: return row[2 * x] | (row[2 * x + 1] << 8);
    case 24: return row[3 * x] | (row[3 * x + 1] << 8) | (row[3 * x + 2] << 16);
    default: return row[4 * x] | (row[4 * x + 1] << 8) | (row[4 * x + 2] << 16) | (uint32_t{row[4 * x + 3]} << 24);
  }
}

std::vector<uint8_t> Pixels24(const DibImage* image) {
  std::vector<uint8_t> out;
  for (int y = 0; y < Height(image); ++y) {
    const uint8_t* row = RowAddress(image, y);
    out.insert(out.end(), row, row + 3 * Width(image));
  }
  return out;
}

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void WritePpm(const std::string& path, const DibImage* image) {
  const std::string head = "P6\n" + std::to_string(Width(image)) + " " + std::to_string(Height(image)) + "\n255\n";
  std::vector<uint8_t> bytes(head.begin(), head.end());
  const std::vector<uint8_t> rgb = RgbPixels(image);
  bytes.insert(bytes.end(), rgb.begin(), rgb.end());
  WriteFileBytes(path, bytes);
}

TempDir::TempDir() {
  char pattern[] = "/tmp/tessamor-test-XXXXXX";
  path_ = mkdtemp(pattern) ? pattern : "/tmp";
}
TempDir::~TempDir() {
  if (path_ != "/tmp") RunCommand("rm -rf '" + path_ + "'");
}

std::string TempDir::Put(const std::string& name, const std::vector<uint8_t>& bytes) const {
  WriteFileBytes(File(name), bytes);
  return File(name);
}

std::string CorpusDir() {
  const char* env = std::getenv("TESSAMOR_CORPUS");
  std::string dir = env && *env ? env : TESSAMOR_CORPUS;
  struct stat st;
  return stat(dir.c_str(), &st) == 0 ? dir : "";
}

int RunCommand(const std::string& command, std::string* out) {
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return -1;
  std::string text;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, n);
  const int status = pclose(pipe);
  if (out) *out = text;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Cli(const std::string& args, int* status) {
  std::string out;
  const int code = RunCommand(std::string(TESSAMOR_CLI) + " " + args + " 2>&1", &out);
  if (status) *status = code;
  return out;
}

std::string LibrarySourceDir(const std::string& sub) {
  const char* env = std::getenv("TESSAMOR_LIBSRC");
  const std::string dir = std::string(env && *env ? env : TESSAMOR_LIBSRC) + "/" + sub;
  return access(dir.c_str(), R_OK) == 0 ? dir : "";
}

std::vector<std::string> FilesIn(const std::string& folder, const std::string& suffix) {
  std::vector<std::string> files;
  if (DIR* d = opendir(folder.c_str())) {
    while (const dirent* e = readdir(d)) {
      const std::string name = e->d_name;
      if (name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
        files.push_back(folder + "/" + name);
    }
    closedir(d);
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::vector<uint8_t> RgbPixels(const DibImage* image) {
  std::vector<uint8_t> out;
  for (int y = 0; y < Height(image); ++y)
    for (int x = 0; x < Width(image); ++x) {
      uint32_t v = PixelValue(image, x, y);
      if (BitCount(image) <= 8) {  // an index beyond the colour table reads as black
        const RGBQUAD e = v < static_cast<uint32_t>(image->colours) ? Palette(image)[v] : RGBQUAD{0, 0, 0, 0};
        v = e.rgbBlue | e.rgbGreen << 8 | e.rgbRed << 16;
      }
      out.insert(out.end(), {static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)});
    }
  return out;
}

std::vector<uint8_t> TrueColourRgb(const MDIBCtrl& doc, const DibImage* image) {
  ImagePtr copy(doc.MakeTrueColorCopy(image));
  return copy ? RgbPixels(copy.get()) : std::vector<uint8_t>{};
}

std::vector<uint8_t> MagickPixels(const std::string& file, const std::string& options) {
  std::string out;
  RunCommand("/usr/bin/convert '" + file + "' " + options + " 2>/dev/null", &out);
  return std::vector<uint8_t>(out.begin(), out.end());
}

std::vector<uint8_t> NetpbmRgb(const std::string& command) {
  std::string out;
  int used = 0;
  if (RunCommand("(" + command + ") 2>/dev/null | pamdepth 255 | ppmtoppm 2>/dev/null", &out) != 0 ||
      std::sscanf(out.c_str(), "P6 %*d %*d 255%n", &used) != 0 || used == 0 ||
      static_cast<size_t>(used) >= out.size())
    return {};
  return std::vector<uint8_t>(out.begin() + used + 1, out.end());
}

bool WriteWith(BmpIOClass& io, const DibImage* image, const std::string& path) {
  if (!io.OpenWrite(path.c_str())) return false;
  const bool written = io.WriteHeader(image) && io.WriteBits(image);
  return io.CloseWrite() == 1 && written;
}

void ExpectWriteErrorRecovered(BmpIOClass& io, const std::string& path) {
  ASSERT_EQ(access("/dev/full", W_OK), 0) << "the test needs /dev/full, which takes no byte";
  for (int size : {300, 8}) {  // the error while the rows go out, or only when the file is finished
    ImagePtr image = RandomImage(size, size, 24, 5);
    EXPECT_FALSE(WriteWith(io, image.get(), "/dev/full")) << size;
    EXPECT_TRUE(WriteWith(io, image.get(), path)) << size;
  }
}

ImagePtr LoadOrRefuse(BmpIOClass& io, const std::string& path) {
  MDIBCtrl doc;
  RecordingChannel channel;
  ImagePtr image(LoadImageWith(doc, io, path.c_str()));
  EXPECT_TRUE(image ? channel.boxes.empty() : channel.ShowedOnly(kMsgUnsupported)) << path;
  return image;
}
