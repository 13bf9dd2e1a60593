// Shared fixtures of the Win32 tests: the real main window of this process, a message recorder
// and small image files.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/cmd_class_win32.h"
#include "app/messages.h"

// One message box as "text|caption|style|owner"; a missing caption reads "(none)".
std::string BoxText(const char* text, const char* caption, unsigned style, bool owned);

// Records every message box; questions are answered from `answers` (OK when empty).
class BoxRecorder : public UserChannel {
 public:
  BoxRecorder() : previous_(SetChannel(this)) {}
  ~BoxRecorder() override { SetChannel(previous_); }
  int Message(const char* text, const char* caption, unsigned style, bool owned) override;
  void ProgressBegin(const char*) override {}
  void ProgressStep(const char*) override {}
  void ProgressEnd() override {}
  std::vector<std::string> boxes;
  std::vector<int> answers;

 private:
  UserChannel* previous_;
};

// The test folder (fresh, also the program directory), the main window and its controller.
const std::string& TestFolder();
HWND MainWindow();
CmdClass& Doc();
// Back to no image, start flags, zoom 100, no pan; the window's client area 800 x 600.
void ResetDocument();
// Sends a menu command and lets the window paint; the window procedure's result.
LRESULT Command(int id);
// Opens path as the command line does (UM_OPEN_FILE); true when it became the only image.
bool OpenByMessage(const std::string& path);
void PumpMessages();
std::string WindowText(HWND window);
// Writes a 24-bit BMP into the test folder whose pixel (x, y) is colour(x, y) as 0x00RRGGBB.
std::string WriteBmp24(const std::string& name, int width, int height, uint32_t (*colour)(int, int));
std::string FileBytes(const std::string& path);
