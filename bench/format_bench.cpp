// Reading and writing every file format on a 4000 x 3000 photo-like image: the reader alone
// (as the open flow calls it) and the writer alone (as the save flow calls it, after any
// conversion). scripts/bench-formats.sh runs this beside ImageMagick, djpeg and cjpeg on the
// same files: with TESSAMOR_BENCH_DIR set, the files are written there and kept.
#include <benchmark/benchmark.h>
#include <unistd.h>
#include <zlib.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/file_flow.h"
#include "base/messages.h"
#include "formats/jpeg_io.h"

namespace {

constexpr int kWidth = 4000, kHeight = 3000;

// The kinds of picture the formats take: colour, grey, two-level and 256-colour.
enum class Kind { kColour, kGrey, kTwoLevel, kIndexed };

struct FormatCase {
  const char* name;
  uint32_t format;
  int option;  // PNM variant
  Kind kind;
};

const FormatCase kCases[] = {
    {"bmp", kFormatBmp, 0, Kind::kColour},  {"jpg", kFormatJpeg, 0, Kind::kColour},
    {"png", kFormatPng, 0, Kind::kColour},  {"gif", kFormatGif, 0, Kind::kIndexed},
    {"ppm", kFormatPpm, 6, Kind::kColour},  {"pgm", kFormatPgm, 5, Kind::kGrey},
    {"pbm", kFormatPbm, 4, Kind::kTwoLevel},
};

// A picture with smooth shading, edges and a little grain, so that the compressors meet the
// work a photograph gives them.
ImagePtr MakePicture(Kind kind) {
  MDIBCtrl doc;
  ImagePtr image(doc.NewEmptyImage(true));
  BITMAPINFOHEADER& h = image->info->bmiHeader;
  const int bpp = kind == Kind::kIndexed ? 8 : 24;
  h.biWidth = kWidth;
  h.biHeight = kHeight;
  h.biBitCount = static_cast<WORD>(bpp);
  image->format = kFormatBmp;
  image->stride = RowBytes(kWidth, bpp);
  h.biSizeImage = image->stride * kHeight;
  if (kind == Kind::kIndexed) {  // 3-3-2 colour table
    image->colours = 256;
    h.biClrUsed = 256;
    for (int i = 0; i < 256; ++i)
      Palette(image.get())[i] = RGBQUAD{static_cast<BYTE>((i & 3) * 85), static_cast<BYTE>(((i >> 2) & 7) * 36),
                                        static_cast<BYTE>((i >> 5) * 36), 0};
  }
  image->bits = AllocateBits(ImageBytes(image.get()));
  int wave_x[kWidth], wave_y[kHeight];
  for (int x = 0; x < kWidth; ++x) wave_x[x] = static_cast<int>(70 * std::sin(x * 0.004) + 25 * std::sin(x * 0.05));
  for (int y = 0; y < kHeight; ++y) wave_y[y] = static_cast<int>(60 * std::cos(y * 0.003) + 20 * std::sin(y * 0.041));
  uint32_t grain = 2463534242u;
  auto clamp = [](int v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); };
  for (int y = 0; y < kHeight; ++y) {
    uint8_t* p = RowAddress(image.get(), y);
    for (int x = 0; x < kWidth; ++x) {
      grain ^= grain << 13;
      grain ^= grain >> 17;
      grain ^= grain << 5;
      const int n = static_cast<int>(grain & 15) - 8;
      const int edge = ((x / 500 + y / 400) & 1) ? 40 : -40;
      const int r = clamp(128 + wave_x[x] + edge + n), g = clamp(120 + wave_y[y] + n), b = clamp(110 + (wave_x[x] + wave_y[y]) / 2 - edge + n);
      switch (kind) {
        case Kind::kColour: p[0] = static_cast<uint8_t>(b), p[1] = static_cast<uint8_t>(g), p[2] = static_cast<uint8_t>(r), p += 3; break;
        case Kind::kGrey: p[0] = p[1] = p[2] = static_cast<uint8_t>(GreyLuma(b, g, r)), p += 3; break;
        case Kind::kTwoLevel: p[0] = p[1] = p[2] = GreyLuma(b, g, r) < 128 ? 0 : 255, p += 3; break;
        case Kind::kIndexed: *p++ = static_cast<uint8_t>((r >> 5) << 5 | (g >> 5) << 2 | b >> 6); break;
      }
    }
  }
  return image;
}

std::string FilePath(const FormatCase& c) {
  const char* dir = std::getenv("TESSAMOR_BENCH_DIR");
  const std::string base = dir && *dir ? std::string(dir) + "/bench" : "/tmp/tessamor-bench-" + std::to_string(getpid());
  return base + "." + c.name;
}

bool KeepFiles() {
  const char* dir = std::getenv("TESSAMOR_BENCH_DIR");
  return dir && *dir;
}

bool WriteFile(const FormatCase& c, const DibImage* image, const std::string& path) {
  std::unique_ptr<BmpIOClass> io = CreateFormatIO(c.format);
  if (!io) return false;
  io->set_save_option(c.option);
  if (!io->OpenWrite(path.c_str())) return false;
  const bool ok = io->WriteHeader(image) && io->WriteBits(image);
  return io->CloseWrite() != 0 && ok;
}

void SetPixelRate(benchmark::State& state) {
  state.counters["Mpixel/s"] = benchmark::Counter(static_cast<double>(kWidth) * kHeight / 1e6,
                                                  benchmark::Counter::kIsIterationInvariantRate);
}

void BM_Write(benchmark::State& state, const FormatCase& c) {
  const ImagePtr image = MakePicture(c.kind);
  const std::string path = FilePath(c);
  for (auto _ : state)
    if (!WriteFile(c, image.get(), path)) state.SkipWithError("write failed");
  SetPixelRate(state);
  if (!KeepFiles()) std::remove(path.c_str());
}

void BM_Read(benchmark::State& state, const FormatCase& c) {
  const std::string path = FilePath(c);
  if (!KeepFiles() || access(path.c_str(), R_OK) != 0) {
    const ImagePtr image = MakePicture(c.kind);
    if (!WriteFile(c, image.get(), path)) state.SkipWithError("write failed");
  }
  MDIBCtrl doc;
  for (auto _ : state) {
    std::unique_ptr<BmpIOClass> io = CreateFormatIO(c.format);
    DibImage* image = io ? LoadImageWith(doc, *io, path.c_str()) : nullptr;
    if (!image) state.SkipWithError("read failed");
    DeleteImage(image);
  }
  SetPixelRate(state);
  if (!KeepFiles()) std::remove(path.c_str());
}

// The JPEG read for an 80 x 80 thumbnail (an eighth of the size, from the DC coefficients), with
// the bit reader of a 64- or a 32-bit program.
void BM_ReadJpegThumbnail(benchmark::State& state) {
  const FormatCase c{"thumb.jpg", kFormatJpeg, 0, Kind::kColour};
  const std::string path = FilePath(c);
  const ImagePtr picture = MakePicture(c.kind);
  if (!WriteFile(c, picture.get(), path)) state.SkipWithError("write failed");
  MDIBCtrl doc;
  for (auto _ : state) {
    JpegIOClass io;
    io.SetThumbnailBox(80, 80);
    io.SetDcWordBits(static_cast<int>(state.range(0)));
    DibImage* image = LoadImageWith(doc, io, path.c_str());
    if (!image) state.SkipWithError("read failed");
    DeleteImage(image);
  }
  SetPixelRate(state);
  std::remove(path.c_str());
}

// A 1 x 1 grey PNG file whose image data goes on after its one row to inflate to 1 GiB: the
// reader stops at the row instead of inflating the rest.
void AppendChunk(std::string& file, const char* name, const std::string& data) {
  const uint32_t length = static_cast<uint32_t>(data.size());
  std::string chunk = {static_cast<char>(length >> 24), static_cast<char>(length >> 16), static_cast<char>(length >> 8),
                       static_cast<char>(length)};
  chunk += std::string(name, 4) + data;
  const uint32_t crc = static_cast<uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(chunk.data() + 4), static_cast<uInt>(chunk.size() - 4)));
  chunk += std::string{static_cast<char>(crc >> 24), static_cast<char>(crc >> 16), static_cast<char>(crc >> 8),
                       static_cast<char>(crc)};
  file += chunk;
}

bool WriteInflatingPng(const std::string& path) {
  z_stream z{};
  if (deflateInit(&z, 9) != Z_OK) return false;
  std::vector<uint8_t> zeros(1 << 20), out(1 << 16);
  zeros[1] = 0x5A;  // the row: filter 0, one grey sample
  std::string data;
  for (int mib = 0; mib < 1024; ++mib) {
    z.next_in = zeros.data();
    z.avail_in = static_cast<uInt>(zeros.size());
    const int flush = mib == 1023 ? Z_FINISH : Z_NO_FLUSH;
    do {
      z.next_out = out.data();
      z.avail_out = static_cast<uInt>(out.size());
      deflate(&z, flush);
      data.append(reinterpret_cast<const char*>(out.data()), out.size() - z.avail_out);
    } while (z.avail_in > 0 || (flush == Z_FINISH && z.avail_out == 0));
    zeros[1] = 0;
  }
  deflateEnd(&z);
  std::string file = "\x89PNG\r\n\x1A\n";
  AppendChunk(file, "IHDR", std::string("\0\0\0\1\0\0\0\1\x08\0\0\0\0", 13));
  AppendChunk(file, "IDAT", data);
  AppendChunk(file, "IEND", "");
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool written = std::fwrite(file.data(), 1, file.size(), f) == file.size();
  return std::fclose(f) == 0 && written;
}

void BM_ReadPngInflatingToOneGiB(benchmark::State& state) {
  const std::string path = FilePath(FormatCase{"1x1-1GiB.png", kFormatPng, 0, Kind::kGrey});
  if (!WriteInflatingPng(path)) state.SkipWithError("write failed");
  MDIBCtrl doc;
  for (auto _ : state) {
    std::unique_ptr<BmpIOClass> io = CreateFormatIO(kFormatPng);
    DibImage* image = io ? LoadImageWith(doc, *io, path.c_str()) : nullptr;
    if (!image) state.SkipWithError("read failed");
    DeleteImage(image);
  }
  if (!KeepFiles()) std::remove(path.c_str());
}

int Register() {
  for (const FormatCase& c : kCases) {
    benchmark::RegisterBenchmark((std::string("Write/") + c.name).c_str(), BM_Write, c)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((std::string("Read/") + c.name).c_str(), BM_Read, c)->Unit(benchmark::kMillisecond);
  }
  benchmark::RegisterBenchmark("Read/png-1x1-inflating-to-1GiB", BM_ReadPngInflatingToOneGiB)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("Read/jpg-thumbnail-80", BM_ReadJpegThumbnail)->Arg(64)->Arg(32)->Unit(benchmark::kMillisecond);
  return 0;
}
const int registered = Register();

}  // namespace

BENCHMARK_MAIN();
