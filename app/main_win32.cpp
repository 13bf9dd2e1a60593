// Tessamor.exe: one instance, the main window maximised, the file of the command line opened,
// and the message loop with the accelerators.
#include <windows.h>

#include "app/channel_win32.h"
#include "app/cmd_class_win32.h"
#include "app/main_window_win32.h"
#include "app/resource_ids.h"
#include "base/messages.h"

namespace {

struct Application {
  virtual ~Application() = default;
  HANDLE mutex = nullptr;
  HACCEL accelerators = nullptr;
  HWND main_window = nullptr;
  MSG message{};
};

bool InitInstance(Application& app, HINSTANCE instance, HINSTANCE previous, char* command_line) {
  if (previous) return false;
  if (!RegisterWindowClasses(instance, ReadStartColour())) return false;
  app.main_window = CreateMainWindow(instance);
  if (!app.main_window) return false;
  ShowWindow(app.main_window, SW_SHOWMAXIMIZED);
  UpdateWindow(app.main_window);
  const unsigned char first = static_cast<unsigned char>(command_line[0]);
  if (first >= 1 && first <= 127)
    PostMessageA(app.main_window, UM_OPEN_FILE, reinterpret_cast<WPARAM>(command_line), 0);
  app.accelerators = LoadAcceleratorsA(instance, ACCEL_TABLE_NAME);
  return true;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int) {
  static Win32Channel channel;
  SetChannel(&channel);
  Application app;
  SetLastError(0);
  app.mutex = CreateMutexA(nullptr, TRUE, "MUTEX_THISAPPLI");
  if (!app.mutex || GetLastError() != 0) {
    Error();
    if (app.mutex) CloseHandle(app.mutex);
    return 0;
  }
  if (!InitInstance(app, instance, previous, command_line)) return 0;
  while (GetMessageA(&app.message, nullptr, 0, 0) > 0) {
    // The open modeless dialog gets its keys (Tab, Enter, Esc) before the accelerators.
    CmdClass* c = TheController();
    if (c && c->dialog_window_ && IsDialogMessageA(c->dialog_window_, &app.message)) continue;
    if (!TranslateAcceleratorA(app.main_window, app.accelerators, &app.message)) {
      TranslateMessage(&app.message);
      DispatchMessageA(&app.message);
    }
  }
  CloseHandle(app.mutex);
  app.mutex = nullptr;
  return static_cast<int>(app.message.wParam);
}
