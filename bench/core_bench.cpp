// Every operation of the operation table on a 4000 x 3000 24-bit photo-like picture, as the menu
// command runs it (the result made and committed), plus BMP read and write. Benchmarks are
// named op/NAME (op/NAME=V1:V2... for the variants with values), so that a script can pick
// them: scripts/bench-operations.sh runs them beside ImageMagick and libvips.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/file_flow.h"
#include "document/view_reductions.h"
#include "base/messages.h"
#include "processing/operation_table.h"

namespace {

constexpr int kWidth = 4000, kHeight = 3000;

// Smooth shading, edges and grain, so that the filters, the reductions and the compressors meet
// the work a photograph gives them (and, flipped, the second image of the blends).
DibImage* MakePicture(const Filter& doc, bool flipped) {
  DibImage* image = doc.NewEmptyImage(false);
  BITMAPINFOHEADER& h = image->info->bmiHeader;
  h.biWidth = kWidth;
  h.biHeight = kHeight;
  h.biBitCount = 24;
  image->format = kFormatBmp;
  image->stride = RowBytes(kWidth, 24);
  h.biSizeImage = image->stride * kHeight;
  image->bits = AllocateBits(ImageBytes(image));
  uint32_t grain = 2463534242u;
  for (int y = 0; y < kHeight; ++y) {
    uint8_t* p = RowAddress(image, flipped ? kHeight - 1 - y : y);
    for (int x = 0; x < kWidth; ++x, p += 3) {
      grain ^= grain << 13, grain ^= grain >> 17, grain ^= grain << 5;
      const int n = static_cast<int>(grain & 15) - 8, edge = ((x / 500 + y / 400) & 1) ? 40 : -40;
      auto clamp = [](int v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); };
      p[0] = clamp(110 + (x % 700) / 7 - edge + n);
      p[1] = clamp(60 + y / 20 + n);
      p[2] = clamp(128 + (x / 23) % 90 + edge + n);
    }
  }
  return image;
}

// A document holding the picture.
struct BenchDocument {
  Filter doc;
  BenchDocument() {
    doc.pending_ = MakePicture(doc, false);
    doc.Commit();
  }
};

std::string TempPath(const char* name) { return "/tmp/tessamor-bench-" + std::to_string(getpid()) + name; }

void Operation(benchmark::State& state, const OperationEntry* entry, std::vector<double> values) {
  BenchDocument b;
  for (auto _ : state) {
    if (entry->second_image) {  // the second image loaded and prepared as the blend command does
      state.PauseTiming();
      b.doc.PrepareBlend(MakePicture(b.doc, true));
      state.ResumeTiming();
    }
    if (!b.doc.RunOperation(entry->id, values.data(), static_cast<int>(values.size()))) {
      state.SkipWithError("operation failed");
      break;
    }
    b.doc.Commit();
    state.PauseTiming();
    b.doc.Undo();
    state.ResumeTiming();
  }
  state.counters["ns_per_pixel"] = benchmark::Counter(static_cast<double>(kWidth) * kHeight * 1e-9,
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

// The reduced copies the view makes once per image for drawing it at 1 % (every level).
void BM_ViewReductions(benchmark::State& state) {
  BenchDocument b;
  for (auto _ : state) {
    ViewReductions r;
    benchmark::DoNotOptimize(r.For(b.doc, b.doc.current_, 40, 30));
  }
}

// Values for the operations that take some: one benchmark per line.
const struct {
  const char* name;
  std::vector<double> values;
} kVariants[] = {
    {"gamma", {2.2}}, {"linear-contrast", {0, 255, 255, 0}}, {"gradation", {16}}, {"rgb", {20, -10, 5}},
    {"hsv", {30, 0.2, -10}}, {"white-balance", {40}}, {"rotate", {90}}, {"rotate", {45}},
    {"resize", {0.5, 0.5}}, {"resize", {2, 2}}, {"alpha-blend", {50}},
};

// Operations whose values the benchmark does not vary run with their dialogs' starting values.
void RegisterOperations() {
  for (const OperationEntry* e = kOperations; e->id; ++e) {
    bool varied = false;
    for (const auto& v : kVariants) {
      if (std::string(v.name) != e->name) continue;
      varied = true;
      std::string label = std::string("op/") + e->name + "=";
      for (size_t i = 0; i < v.values.size(); ++i) {
        char number[32];
        std::snprintf(number, sizeof number, "%s%g", i ? ":" : "", v.values[i]);
        label += number;
      }
      benchmark::RegisterBenchmark(label.c_str(), Operation, e, v.values)->Unit(benchmark::kMillisecond);
    }
    if (!varied)
      benchmark::RegisterBenchmark((std::string("op/") + e->name).c_str(), Operation, e, std::vector<double>{})
          ->Unit(benchmark::kMillisecond);
  }
}

}  // namespace

BENCHMARK(BM_BmpRead)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BmpWrite)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ViewReductions)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  // The picture itself, for the peers of scripts/bench-operations.sh.
  if (const char* path = std::getenv("TESSAMOR_BENCH_PICTURE")) {
    BenchDocument b;
    return SaveImageFile(b.doc, path, 0) ? 0 : 1;
  }
  RegisterOperations();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
