// Paint time of the main window for a 6000 x 4000 24-bit image at several zooms, measured in the
// real window under Wine: one full repaint (background erase, the image's blit, centre mark).
//   paint_bench.exe [repeats]
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/cmd_class_win32.h"
#include "app/main_window_win32.h"

namespace {

double Milliseconds(const LARGE_INTEGER& a, const LARGE_INTEGER& b) {
  LARGE_INTEGER f;
  QueryPerformanceFrequency(&f);
  return 1000.0 * static_cast<double>(b.QuadPart - a.QuadPart) / static_cast<double>(f.QuadPart);
}

DibImage* BigImage(const CmdClass& doc, int width, int height) {
  DibImage* image = doc.NewEmptyImage(false);
  BITMAPINFOHEADER& h = image->info->bmiHeader;
  h.biWidth = width;
  h.biHeight = height;
  h.biBitCount = 24;
  h.biCompression = BI_RGB;
  image->stride = RowBytes(width, 24);
  h.biSizeImage = image->stride * static_cast<uint32_t>(height);
  image->format = kFormatBmp;
  std::snprintf(image->path, sizeof image->path, "paint-bench %dx%d", width, height);
  image->bits = AllocateBits(ImageBytes(image));
  for (int y = 0; y < height; ++y) {
    uint8_t* row = RowAddress(image, y);
    for (int x = 0; x < width; ++x) {
      row[3 * x] = static_cast<uint8_t>(x);
      row[3 * x + 1] = static_cast<uint8_t>(y);
      row[3 * x + 2] = static_cast<uint8_t>(x ^ y);
    }
  }
  return image;
}

}  // namespace

int main(int argc, char** argv) {
  const int repeats = argc > 1 ? std::atoi(argv[1]) : 20;
  HINSTANCE instance = GetModuleHandleA(nullptr);
  if (!RegisterWindowClasses(instance, 0xFFFFFF)) return 1;
  HWND window = CreateMainWindow(instance);
  if (!window) return 1;
  ShowWindow(window, SW_SHOWMAXIMIZED);
  UpdateWindow(window);
  CmdClass& doc = *TheController();
  doc.main_window_ = window;
  doc.ReadViewRect();
  doc.pending_ = BigImage(doc, 6000, 4000);
  doc.Commit();
  UpdateWindow(window);
  RECT client;
  GetClientRect(window, &client);
  std::printf("6000 x 4000 x 24 bit image, client area %ld x %ld, %d repaints per zoom\n", client.right,
              client.bottom, repeats);
  std::printf("%8s %14s\n", "zoom %", "ms per paint");
  for (int zoom : {1, 10, 25, 50, 100, 200, 500, 1000, 5000}) {
    doc.zoom_ = zoom;
    InvalidateRect(window, nullptr, TRUE);
    UpdateWindow(window);  // warm-up
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    for (int i = 0; i < repeats; ++i) {
      InvalidateRect(window, nullptr, TRUE);
      UpdateWindow(window);
    }
    GdiFlush();
    QueryPerformanceCounter(&end);
    std::printf("%8d %14.2f\n", zoom, Milliseconds(start, end) / repeats);
  }
  doc.ClearDocument();
  DestroyWindow(window);
  return 0;
}
