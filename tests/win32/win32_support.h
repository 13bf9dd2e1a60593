// Shared fixtures of the Win32 tests: the real main window, made by main() in a fresh folder that is
// also the program directory; message boxes are recorded with the core tests' RecordingChannel.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

#include "app/cmd_class_win32.h"
#include "tests/core/test_support.h"

extern std::string test_folder;
extern HWND main_window;
CmdClass& Doc();

// Back to no image, start flags, zoom 100, no pan; the window's client area 800 x 600.
void ResetDocument();
// Sends a menu command and lets the window paint; the window procedure's result.
LRESULT Command(int id);
// Opens path as the command line does (UM_OPEN_FILE); true when it became the only image.
bool OpenByMessage(const std::string& path);
void PumpMessages();
std::string WindowText(HWND window = main_window);
// Writes a 24-bit BMP into the test folder whose pixel (x, y) is colour(x, y) as 0x00RRGGBB.
std::string WriteBmp24(const std::string& name, int width, int height, uint32_t (*colour)(int, int));
std::string FileBytes(const std::string& path);
// 0x00BBGGRR of a window's client pixel as drawn now.
COLORREF ClientPixel(HWND window, int x, int y);
// A fresh document holding a new 24-bit BMP (as WriteBmp24); false when it did not open.
bool OpenNew(const std::string& name, int width, int height, uint32_t (*colour)(int, int));
// 0x00RRGGBB of an image's pixel, y from the top.
uint32_t Pixel(const DibImage* image, int x, int y);
bool QuitPosted();    // takes a posted WM_QUIT off the queue
bool OwnProcedure();  // the main window runs its own procedure (no mode has taken it)
LRESULT ToolbarState(int id);
std::string MenuLabel(int id);

// A folder of the test folder, current for the object's life.
class Subfolder {
 public:
  explicit Subfolder(const std::string& name);
  ~Subfolder();
  std::string File(const std::string& name) const { return path_ + "\\" + name; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// The open dialog (Doc().dialog_window_): an item's text, a button pressed, an up-down moved to
// position (the WM_VSCROLL it sends), a key posted to an item (0: the focused one) as the message
// loop gives it, and the ways out that change nothing (0 the cancel button, 1 the close box, 2 Esc).
std::string ItemText(int id);
void Press(int id);
void Spin(int updown, int position);
void DialogKey(int item, WPARAM key);
void LeaveBy(int way, int cancel_button);
