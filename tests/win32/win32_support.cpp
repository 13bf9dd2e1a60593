#include "win32_support.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <shellapi.h>

#include <fstream>
#include <iterator>

#include "app/main_window_win32.h"

std::string test_folder;
HWND main_window = nullptr;
CmdClass& Doc() { return *TheController(); }

void ResetDocument() {
  CmdClass& c = Doc();
  // A dialog or window a test left open goes as its close box would take it.
  for (HWND w : {c.dialog_window_, c.info_window_, c.histogram_window_})
    if (w) SendMessageA(w, WM_CLOSE, 0, 0);
  PumpMessages();
  c.ClearDocument();
  c.view_flags_ = kViewStartFlags;
  c.zoom_ = 100;
  c.scroll_x_ = c.scroll_y_ = 0;
  c.last_zoom_step_ = 20;
  c.UpdateToolbarStates();
  ShowWindow(main_window, SW_SHOWNORMAL);
  // Resize until the client area is 800 x 600 (a wrapping menu bar takes more room).
  RECT client, w;
  GetClientRect(main_window, &client);
  for (int i = 0; i < 5 && (client.right != 800 || client.bottom != 600); ++i) {
    GetWindowRect(main_window, &w);
    SetWindowPos(main_window, nullptr, 0, 0, w.right - w.left + 800 - client.right,
                 w.bottom - w.top + 600 - client.bottom, SWP_NOZORDER);
    GetClientRect(main_window, &client);
  }
  PumpMessages();
  c.ReadViewRect();
}

LRESULT Command(int id) {
  const LRESULT result = SendMessageA(main_window, WM_COMMAND, MAKEWPARAM(id, 0), 0);
  PumpMessages();
  return result;
}

bool OpenByMessage(const std::string& path) {
  const DibImage* old = Doc().current_;
  SendMessageA(main_window, UM_OPEN_FILE, reinterpret_cast<WPARAM>(path.c_str()), 0);
  PumpMessages();
  return Doc().image_count_ == 1 && Doc().current_ != old;
}

void PumpMessages() {
  MSG m;
  for (int round = 0; round < 3; ++round) {
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
      // As the program's loop does: the open modeless dialog gets its keys first.
      HWND dialog = Doc().dialog_window_;
      if (m.message == WM_QUIT || (dialog && IsDialogMessageA(dialog, &m))) continue;
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

COLORREF ClientPixel(HWND window, int x, int y) {
  HDC dc = GetDC(window);
  const COLORREF c = GetPixel(dc, x, y);
  ReleaseDC(window, dc);
  return c;
}

bool OpenNew(const std::string& name, int width, int height, uint32_t (*colour)(int, int)) {
  ResetDocument();
  return OpenByMessage(WriteBmp24(name, width, height, colour));
}

std::string WriteBmp24(const std::string& name, int width, int height, uint32_t (*colour)(int, int)) {
  const int stride = (width * 3 + 3) & ~3;
  std::string bits(static_cast<size_t>(stride) * height, '\0');
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < 3; ++c)
        bits[(height - 1 - y) * stride + 3 * x + c] = static_cast<char>(colour(x, y) >> 8 * c);
  const BITMAPFILEHEADER file{0x4D42, static_cast<DWORD>(54 + bits.size()), 0, 0, 54};
  const BITMAPINFOHEADER info{sizeof info, width, height, 1, 24, BI_RGB, static_cast<DWORD>(bits.size()), 0, 0, 0, 0};
  std::ofstream out(test_folder + "\\" + name, std::ios::binary);
  out.write(reinterpret_cast<const char*>(&file), sizeof file).write(reinterpret_cast<const char*>(&info), sizeof info)
      << bits;
  return test_folder + "\\" + name;
}

std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

uint32_t Pixel(const DibImage* image, int x, int y) {
  const uint8_t* p = RowAddress(image, y) + 3 * x;
  return static_cast<uint32_t>(p[2] << 16 | p[1] << 8 | p[0]);
}

bool QuitPosted() {
  MSG m;
  return PeekMessageA(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != 0;
}

bool OwnProcedure() {
  return GetWindowLongPtrA(main_window, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(MainWindowProc);
}

LRESULT ToolbarState(int id) { return SendMessageA(Doc().toolbar_, TB_GETSTATE, id, 0); }

std::string MenuLabel(int id) {
  char label[128] = "";
  GetMenuStringA(GetMenu(main_window), id, label, sizeof label, MF_BYCOMMAND);
  return label;
}

Subfolder::Subfolder(const std::string& name) {
  CreateDirectoryA((test_folder + "\\" + name).c_str(), nullptr);
  SetCurrentDirectoryA((test_folder + "\\" + name).c_str());
  char now[MAX_PATH] = "";
  GetCurrentDirectoryA(MAX_PATH, now);
  path_ = now;
}
Subfolder::~Subfolder() { SetCurrentDirectoryA(test_folder.c_str()); }

std::string ItemText(int id) {
  char text[MAX_PATH + 16] = "";
  GetDlgItemTextA(Doc().dialog_window_, id, text, sizeof text);
  return text;
}

void Press(int id) {
  HWND d = Doc().dialog_window_;
  SendMessageA(d, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(d, id)));
  PumpMessages();
}

void Spin(int updown, int position) {
  HWND d = Doc().dialog_window_;
  SendDlgItemMessageA(d, updown, UDM_SETPOS32, 0, position);
  SendMessageA(d, WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, position), reinterpret_cast<LPARAM>(GetDlgItem(d, updown)));
}

void DialogKey(int item, WPARAM key) {
  HWND d = Doc().dialog_window_, focus = GetFocus();
  HWND to = item ? GetDlgItem(d, item) : IsChild(d, focus) ? focus : GetNextDlgTabItem(d, nullptr, FALSE);
  PostMessageA(to, WM_KEYDOWN, key, 0);
  PumpMessages();
}

void LeaveBy(int way, int cancel_button) {
  if (way == 0) Press(cancel_button);
  if (way == 1) SendMessageA(Doc().dialog_window_, WM_CLOSE, 0, 0);
  if (way == 2) DialogKey(0, VK_ESCAPE);
  PumpMessages();
}

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  // A fresh folder is the program directory; its settings file pins the working directory there.
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  // Wine reuses process ids: the tick count keeps a folder of an interrupted run out of the way.
  test_folder = temp + ("tessamor-win32-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount()));
  CreateDirectoryA(test_folder.c_str(), nullptr);
  SetCurrentDirectoryA(test_folder.c_str());
  std::ofstream("Tessamor.ini", std::ios::binary) << "[DIRECTORY]\r\nDirName=" + test_folder + "\r\n";
  HINSTANCE instance = GetModuleHandleA(nullptr);
  if (!RegisterWindowClasses(instance, ReadStartColour()) || !(main_window = CreateMainWindow(instance))) return 2;
  ResetDocument();
  const int result = RUN_ALL_TESTS();
  Doc().ClearDocument();
  DestroyWindow(main_window);
  SetCurrentDirectoryA(temp);
  const std::string doomed = test_folder + '\0';  // leave no files behind
  SHFILEOPSTRUCTA remove{nullptr, FO_DELETE, doomed.c_str(), nullptr, FOF_NO_UI, FALSE, nullptr, nullptr};
  SHFileOperationA(&remove);
  return result;
}
