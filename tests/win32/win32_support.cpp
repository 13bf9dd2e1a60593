#include "win32_support.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "app/main_window_win32.h"

namespace {

std::string test_folder;
HWND main_window = nullptr;

// The test size of the main window: a client area of 800 x 600.
void SizeWindow() {
  ShowWindow(main_window, SW_SHOWNORMAL);
  RECT r{0, 0, 800, 600};
  AdjustWindowRectEx(&r, WS_OVERLAPPEDWINDOW, TRUE, WS_EX_ACCEPTFILES);
  SetWindowPos(main_window, nullptr, 0, 0, r.right - r.left, r.bottom - r.top, SWP_NOZORDER);
  RECT client;
  GetClientRect(main_window, &client);
  // A menu bar that wraps takes more room: grow until the client area is 800 x 600.
  for (int i = 0; i < 4 && (client.right != 800 || client.bottom != 600); ++i) {
    RECT w;
    GetWindowRect(main_window, &w);
    SetWindowPos(main_window, nullptr, 0, 0, w.right - w.left + 800 - client.right,
                 w.bottom - w.top + 600 - client.bottom, SWP_NOZORDER);
    GetClientRect(main_window, &client);
  }
  PumpMessages();
}

}  // namespace

int BoxRecorder::Message(const char* text, const char* caption, unsigned style, bool owned) {
  boxes.push_back(Box{text, caption ? caption : "", caption != nullptr, style, owned});
  if (answers.empty()) return IDOK;
  const int answer = answers.front();
  answers.erase(answers.begin());
  return answer;
}

const std::string& TestFolder() { return test_folder; }
HWND MainWindow() { return main_window; }
CmdClass& Doc() { return *TheController(); }

void PumpMessages() {
  MSG m;
  for (int round = 0; round < 3; ++round) {
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
      if (m.message == WM_QUIT) continue;
      TranslateMessage(&m);
      DispatchMessageA(&m);
    }
    UpdateWindow(main_window);
  }
}

std::string WindowText(HWND window) {
  char text[600] = "";
  GetWindowTextA(window, text, sizeof text);
  return text;
}

void ResetDocument() {
  CmdClass& c = Doc();
  c.ClearDocument();
  c.view_flags_ = kViewStartFlags;
  c.zoom_ = 100;
  c.scroll_x_ = c.scroll_y_ = 0;
  c.last_zoom_step_ = 20;
  c.UpdateToolbarStates();
  SizeWindow();
  c.ReadViewRect();
}

std::string WriteBmp24Bytes(const std::string& name, int width, int height, const std::vector<uint32_t>& rgb) {
  const int stride = (width * 3 + 3) & ~3;
  std::vector<uint8_t> file(54 + stride * height);
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) file[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  file[0] = 'B';
  file[1] = 'M';
  put32(2, static_cast<uint32_t>(file.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<uint32_t>(width));
  put32(22, static_cast<uint32_t>(height));
  file[26] = 1;
  file[28] = 24;
  put32(34, static_cast<uint32_t>(stride * height));
  for (int y = 0; y < height; ++y) {
    uint8_t* row = &file[54 + static_cast<size_t>(height - 1 - y) * stride];
    for (int x = 0; x < width; ++x) {
      const uint32_t c = rgb[static_cast<size_t>(y) * width + x];
      row[3 * x] = static_cast<uint8_t>(c);
      row[3 * x + 1] = static_cast<uint8_t>(c >> 8);
      row[3 * x + 2] = static_cast<uint8_t>(c >> 16);
    }
  }
  const std::string path = test_folder + "\\" + name;
  FILE* f = std::fopen(path.c_str(), "wb");
  std::fwrite(file.data(), 1, file.size(), f);
  std::fclose(f);
  return path;
}

std::vector<uint8_t> FileBytes(const std::string& path) {
  std::vector<uint8_t> bytes;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return bytes;
  int ch;
  while ((ch = std::fgetc(f)) != EOF) bytes.push_back(static_cast<uint8_t>(ch));
  std::fclose(f);
  return bytes;
}

bool OpenByMessage(const std::string& path) {
  const int before = Doc().image_count_;
  const DibImage* old = Doc().current_;
  SendMessageA(main_window, UM_OPEN_FILE, reinterpret_cast<WPARAM>(path.c_str()), 0);
  PumpMessages();
  return Doc().image_count_ == 1 && (before == 0 || Doc().current_ != old);
}

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  // A fresh folder: the program directory of the controller, with a settings file written by
  // hand (a decimal BkColor, the working directory pinned to this folder).
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  char folder[MAX_PATH];
  std::snprintf(folder, sizeof folder, "%stessamor-win32-%lu", temp, GetCurrentProcessId());
  CreateDirectoryA(folder, nullptr);
  SetCurrentDirectoryA(folder);
  test_folder = folder;
  const std::string ini = "[DIRECTORY]\r\nDirName=" + test_folder + "\r\n[COLOR]\r\nBkColor = 12632256\r\n";
  FILE* f = std::fopen("Tessamor.ini", "wb");
  std::fwrite(ini.data(), 1, ini.size(), f);
  std::fclose(f);

  HINSTANCE instance = GetModuleHandleA(nullptr);
  if (!RegisterWindowClasses(instance, ReadStartColour())) return 2;
  main_window = CreateMainWindow(instance);
  if (!main_window) return 3;
  ShowWindow(main_window, SW_SHOWMAXIMIZED);
  UpdateWindow(main_window);
  ResetDocument();
  const int result = RUN_ALL_TESTS();
  Doc().ClearDocument();
  DestroyWindow(main_window);
  // Leave no files behind.
  WIN32_FIND_DATAA data;
  HANDLE h = FindFirstFileA((test_folder + "\\*").c_str(), &data);
  if (h != INVALID_HANDLE_VALUE) {
    do DeleteFileA((test_folder + "\\" + data.cFileName).c_str());
    while (FindNextFileA(h, &data));
    FindClose(h);
  }
  SetCurrentDirectoryA(temp);
  RemoveDirectoryA(folder);
  return result;
}
