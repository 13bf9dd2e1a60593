// Shared pieces of the end-to-end tests: the program started in a folder of its own, waits,
// texts of windows and screenshots of the whole screen.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

extern std::string exe_path, work, sample;

std::string ReadFile(const std::string& path);
// True once done() holds, polled for up to 15 s.
bool WaitFor(const std::function<bool()>& done);
// A window's title, or the text of one of its items.
std::string Text(HWND window, int item = 0);
// Writes the whole screen as NAME.bmp into the work folder, once the program had time to paint.
void Screenshot(const std::string& name, DWORD wait_ms = 400);
// The main window's title for a path, image count and zoom.
std::string Title(const std::string& path, int count, int zoom);
// The first visible window of a class that belongs to process id, waiting for it; null when none shows.
HWND FindWindowOf(DWORD process_id, const char* class_name);
// Folder NAME of the work folder with a settings file whose working directory is dir (the folder itself when "").
std::string Folder(const std::string& name, const std::string& dir = "");
// Posts command id to a dialog or box (as its button sends it) and waits until the window is gone.
bool Dismiss(HWND window, int id);
// Types path into a file dialog's name box (cmb13, or edt1 in the older layout).
bool SetFileName(HWND dialog, const std::string& path);

// One run of the program in its own folder.
class Program {
 public:
  Program(const std::string& folder, const std::string& arguments, WORD show = SW_SHOWDEFAULT) {
    CreateDirectoryA(folder.c_str(), nullptr);
    std::string line = "\"" + exe_path + "\" " + arguments;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = show == SW_SHOWDEFAULT ? 0 : STARTF_USESHOWWINDOW;
    si.wShowWindow = show;
    started_ = GetTickCount();
    CreateProcessA(exe_path.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si, &pi_);
  }
  ~Program() {
    if (!pi_.hProcess) return;
    TerminateProcess(pi_.hProcess, 99);  // when it is still running
    WaitForSingleObject(pi_.hProcess, 5000);
    CloseHandle(pi_.hProcess);
    CloseHandle(pi_.hThread);
  }
  // The first visible top-level window of the class that belongs to this process, once it shows.
  HWND Find(const char* class_name) { return FindWindowOf(pi_.dwProcessId, class_name); }
  // The main window; the first call waits for it and takes the start-up time.
  HWND Window() {
    if (!window_ && (window_ = Find("Tessamor"))) startup_ms = GetTickCount() - started_;
    return window_;
  }
  bool TitleBecomes(const std::string& title) { return WaitFor([&] { return Text(Window()) == title; }); }
  // The program's dialog or box with this title, once it shows; null when none does.
  HWND Dialog(const std::string& title) {
    HWND found = nullptr;
    return WaitFor([&] { return (found = Find("#32770")) && Text(found) == title; }) ? found : nullptr;
  }
  // Quits by command 101; the exit code.
  int Quit() {
    Post(WM_COMMAND, 101);
    return ExitCode();
  }
  // Waits for the process to end; its exit code (STILL_ACTIVE when it does not end).
  int ExitCode() {
    DWORD code = STILL_ACTIVE;
    if (WaitForSingleObject(pi_.hProcess, 15000) == WAIT_OBJECT_0) GetExitCodeProcess(pi_.hProcess, &code);
    return static_cast<int>(code);
  }
  bool Alive() const { return pi_.hProcess && WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT; }
  void Post(UINT message, WPARAM wparam, LPARAM lparam = 0) { PostMessageA(Window(), message, wparam, lparam); }
  DWORD startup_ms = 0;

 private:
  PROCESS_INFORMATION pi_{};
  HWND window_ = nullptr;
  DWORD started_ = 0;
};
