#include "tests/e2e/e2e_support.h"

#include <fstream>
#include <iterator>

std::string exe_path, work, sample;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

bool WaitFor(const std::function<bool()>& done) {
  for (const DWORD start = GetTickCount(); !done(); Sleep(50))
    if (GetTickCount() - start > 15000) return false;
  return true;
}

std::string Text(HWND window, int item) {
  char text[600] = "";
  item ? GetDlgItemTextA(window, item, text, sizeof text) : GetWindowTextA(window, text, sizeof text);
  return text;
}

void Screenshot(const std::string& name, DWORD wait_ms) {
  Sleep(wait_ms);
  const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
  const DWORD size = ((w * 3 + 3) & ~3) * h;
  BITMAPINFO bi{};
  bi.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), w, h, 1, 24, BI_RGB, size, 0, 0, 0, 0};
  HDC screen = GetDC(nullptr), dc = CreateCompatibleDC(screen);
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  SelectObject(dc, bitmap);
  BitBlt(dc, 0, 0, w, h, screen, 0, 0, SRCCOPY);
  GdiFlush();
  const BITMAPFILEHEADER fh{0x4D42, 54 + size, 0, 0, 54};
  std::ofstream(work + "\\" + name + ".bmp", std::ios::binary)
      .write(reinterpret_cast<const char*>(&fh), sizeof fh)
      .write(reinterpret_cast<const char*>(&bi), 40)
      .write(static_cast<const char*>(bits), size);
  DeleteDC(dc);
  DeleteObject(bitmap);
  ReleaseDC(nullptr, screen);
}

std::string Title(const std::string& path, int count, int zoom) {
  return path + " 加工枚数[" + std::to_string(count) + "枚] ズーム[" + std::to_string(zoom) + "%]";
}

HWND FindWindowOf(DWORD process_id, const char* class_name) {
  HWND found = nullptr;
  WaitFor([&] {
    for (HWND w = nullptr; !found && (w = FindWindowExA(nullptr, w, class_name, nullptr));) {
      DWORD owner = 0;
      GetWindowThreadProcessId(w, &owner);
      if (owner == process_id && IsWindowVisible(w)) found = w;
    }
    return found != nullptr;
  });
  return found;
}

std::string Folder(const std::string& name, const std::string& dir) {
  const std::string folder = work + "\\" + name;
  CreateDirectoryA(folder.c_str(), nullptr);
  std::ofstream(folder + "\\Tessamor.ini", std::ios::binary) << "[DIRECTORY]\r\nDirName=" + (dir.empty() ? folder : dir) + "\r\n";
  return folder;
}

bool Dismiss(HWND window, int id) {
  PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(window, id)));
  return WaitFor([&] { return !IsWindow(window); });
}

bool SetFileName(HWND dialog, const std::string& path) {
  return SetDlgItemTextA(dialog, 0x47C, path.c_str()) || SetDlgItemTextA(dialog, 0x480, path.c_str());
}
