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
std::string WindowText();
// Writes a 24-bit BMP into the test folder whose pixel (x, y) is colour(x, y) as 0x00RRGGBB.
std::string WriteBmp24(const std::string& name, int width, int height, uint32_t (*colour)(int, int));
std::string FileBytes(const std::string& path);
