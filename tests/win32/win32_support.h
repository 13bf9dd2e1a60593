// Shared fixtures of the Win32 tests: the real main window of this process, a message recorder,
// and small image files.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/cmd_class_win32.h"
#include "app/messages.h"

// Records every message box; questions are answered from `answers` (OK when empty).
class BoxRecorder : public UserChannel {
 public:
  struct Box {
    std::string text;
    std::string caption;
    bool has_caption;
    unsigned style;
    bool owned;
  };
  BoxRecorder() { previous_ = SetChannel(this); }
  ~BoxRecorder() override { SetChannel(previous_); }
  int Message(const char* text, const char* caption, unsigned style, bool owned) override;
  void ProgressBegin(const char*) override {}
  void ProgressStep(const char*) override {}
  void ProgressEnd() override {}

  std::vector<Box> boxes;
  std::vector<int> answers;

 private:
  UserChannel* previous_;
};

// The folder the test program runs in (a fresh temporary folder, also the program directory).
const std::string& TestFolder();
// The main window made by the test program's main, and its controller.
HWND MainWindow();
CmdClass& Doc();

// Back to no image, start flags, zoom 100, no pan; the window at its test size.
void ResetDocument();

// Writes a 24-bit BMP whose pixel (x, y) is colour(x, y) as 0x00RRGGBB.
template <class Colour>
std::string WriteBmp24(const std::string& name, int width, int height, Colour colour);
std::string WriteBmp24Bytes(const std::string& name, int width, int height,
                            const std::vector<uint32_t>& rgb_rows_from_top);
std::vector<uint8_t> FileBytes(const std::string& path);

// Opens path as the command line does (UM_OPEN_FILE) and lets the window paint.
bool OpenByMessage(const std::string& path);
// Runs the window's pending messages.
void PumpMessages();
std::string WindowText(HWND window);

template <class Colour>
std::string WriteBmp24(const std::string& name, int width, int height, Colour colour) {
  std::vector<uint32_t> rows;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) rows.push_back(colour(x, y));
  return WriteBmp24Bytes(name, width, height, rows);
}
