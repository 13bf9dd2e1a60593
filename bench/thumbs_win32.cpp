// Time of the thumbnail browser's full sheet for a folder, measured in the real main window
// under Wine: from command 132 until the browser window holds the finished sheet, with the
// progress window shown as in the program; also when the first progress step showed.
//   thumbs_bench.exe FOLDER [RUNS]
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "app/channel_win32.h"
#include "app/cmd_class_win32.h"
#include "app/main_window_win32.h"
#include "app/thumbnails_win32.h"

namespace {

LARGE_INTEGER Now() {
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return t;
}

double Milliseconds(const LARGE_INTEGER& a, const LARGE_INTEGER& b) {
  LARGE_INTEGER f;
  QueryPerformanceFrequency(&f);
  return 1000.0 * static_cast<double>(b.QuadPart - a.QuadPart) / static_cast<double>(f.QuadPart);
}

// CPU time of this process so far (user and kernel), in milliseconds: what the machine's other
// work does not change much.
double CpuMilliseconds() {
  FILETIME created, ended, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user);
  auto ms = [](const FILETIME& t) { return static_cast<double>(uint64_t{t.dwHighDateTime} << 32 | t.dwLowDateTime) / 1e4; };
  return ms(kernel) + ms(user);
}

// The program's channel, noting when the first counter step arrives.
class TimedChannel : public Win32Channel {
 public:
  void ProgressStep(const char* text) override {
    if (!first_step.QuadPart) first_step = Now();
    Win32Channel::ProgressStep(text);
  }
  LARGE_INTEGER first_step{};
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: thumbs_bench FOLDER [RUNS]\n");
    return 2;
  }
  const int runs = argc > 2 ? std::atoi(argv[2]) : 3;
  TimedChannel channel;
  SetChannel(&channel);
  HINSTANCE instance = GetModuleHandleA(nullptr);
  if (!RegisterWindowClasses(instance, 0xFFFFFF)) return 1;
  HWND window = CreateMainWindow(instance);
  if (!window) return 1;
  ShowWindow(window, SW_SHOWMAXIMIZED);
  UpdateWindow(window);
  CmdClass& c = *TheController();
  if (!SetCurrentDirectoryA(argv[1])) {  // after the settings, which make their folder current
    std::fprintf(stderr, "no folder %s\n", argv[1]);
    return 1;
  }
  double best = 0;
  for (int run = 0; run < runs; ++run) {
    channel.first_step.QuadPart = 0;
    const double cpu_start = CpuMilliseconds();
    const LARGE_INTEGER start = Now();
    SendMessageA(window, WM_COMMAND, 132, 0);
    UpdateWindow(window);
    GdiFlush();
    const LARGE_INTEGER end = Now();
    const double cpu = CpuMilliseconds() - cpu_start;
    if (!c.thumbnails_) {
      std::fprintf(stderr, "the browser did not open\n");
      return 1;
    }
    int shown = 0;
    for (const ThumbnailEntry& e : c.thumbnails_->files) shown += e.shown ? 1 : 0;
    const double ms = Milliseconds(start, end);
    std::printf("run %d: %d files (%d pictures), full sheet in %.0f ms (CPU %.0f ms), first progress step after %.0f ms\n",
                run + 1, static_cast<int>(c.thumbnails_->files.size()), shown, ms, cpu,
                channel.first_step.QuadPart ? Milliseconds(start, channel.first_step) : -1.0);
    if (run == 0 || ms < best) best = ms;
    SendMessageA(c.thumbnails_->window, WM_CLOSE, 0, 0);
  }
  std::printf("best full sheet: %.0f ms\n", best);
  SetChannel(nullptr);
  DestroyWindow(window);
  return 0;
}
