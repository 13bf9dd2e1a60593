// Core benchmarks on a 4000 x 3000 24-bit photo-sized image: BMP read and write, and every tone
// operation (result made and committed, as the menu command does).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "app/file_flow.h"
#include "base/messages.h"

namespace {

constexpr int kWidth = 4000, kHeight = 3000;

// A document holding one 4000 x 3000 image with photo-like variation.
struct BenchDocument {
  Filter doc;
  BenchDocument() {
    DibImage* image = doc.NewEmptyImage(false);
    BITMAPINFOHEADER& h = image->info->bmiHeader;
    h.biWidth = kWidth;
    h.biHeight = kHeight;
    h.biBitCount = 24;
    image->format = kFormatBmp;
    image->stride = RowBytes(kWidth, 24);
    h.biSizeImage = image->stride * kHeight;
    image->bits = AllocateBits(ImageBytes(image));
    for (int y = 0; y < kHeight; ++y) {
      uint8_t* p = RowAddress(image, y);
      for (int x = 0; x < kWidth; ++x, p += 3) {
        p[0] = static_cast<uint8_t>(x * 255 / kWidth);
        p[1] = static_cast<uint8_t>(y * 255 / kHeight);
        p[2] = static_cast<uint8_t>((x ^ y) & 0xFF);
      }
    }
    doc.pending_ = image;
    doc.Commit();
  }
};

std::string TempPath(const char* name) { return "/tmp/tessamor-bench-" + std::to_string(getpid()) + name; }

void Operation(benchmark::State& state, int command) {
  BenchDocument b;
  for (auto _ : state) {
    if (!b.doc.RunOperation(command)) state.SkipWithError("operation failed");
    b.doc.Commit();
    state.PauseTiming();
    b.doc.Undo();
    state.ResumeTiming();
  }
  // Seconds per pixel, shown as ns/pixel by the n prefix.
  state.counters["per_pixel"] = benchmark::Counter(static_cast<double>(kWidth) * kHeight,
                                                   benchmark::Counter::kIsIterationInvariantRate |
                                                       benchmark::Counter::kInvert);
}

void BM_BmpWrite(benchmark::State& state) {
  BenchDocument b;
  const std::string path = TempPath(".bmp");
  for (auto _ : state)
    if (!SaveImageFile(b.doc, path.c_str(), 0)) state.SkipWithError("write failed");
  std::remove(path.c_str());
}

void BM_BmpRead(benchmark::State& state) {
  BenchDocument b;
  const std::string path = TempPath("-read.bmp");
  SaveImageFile(b.doc, path.c_str(), 0);
  Filter doc;
  for (auto _ : state)
    if (!OpenImageFile(doc, path.c_str())) state.SkipWithError("read failed");
  std::remove(path.c_str());
}

}  // namespace

BENCHMARK(BM_BmpRead)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BmpWrite)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Operation, Negative_108, 108)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Operation, Gray_109, 109)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Operation, Sepia_110, 110)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Operation, BinarizeRgb_111, 111)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Operation, BinarizeGray_112, 112)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Operation, Brighten_113, 113)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Operation, Darken_114, 114)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Operation, Contrast_115, 115)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Operation, Stretch_118, 118)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Operation, Equalize_119, 119)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
