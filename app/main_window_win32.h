// The main window: its class registration and creation, and its window procedure, which hands
// every message it handles to the one controller.
#pragma once
#include <windows.h>

#include <cstdint>

class CmdClass;

// The controller; null until the main window procedure has received its first message.
CmdClass* TheController();

// Background colour for the window class: BkColor of the settings file in the current folder.
uint32_t ReadStartColour();
// Registers the classes "Tessamor" and "ShowThumbs"; false when either fails.
bool RegisterWindowClasses(HINSTANCE instance, uint32_t background);
// Creates the main window with menu 500 (not yet shown); null on failure.
HWND CreateMainWindow(HINSTANCE instance);

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
