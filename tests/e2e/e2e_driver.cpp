// End-to-end tests: starts the real Tessamor.exe and checks it from outside, as a user would see
// it: the title, message boxes, the save dialog, the written files and the settings file.
//   e2e_driver.exe [gtest options] -- TESSAMOR_EXE WORK_FOLDER
// WORK_FOLDER holds sample.bmp and negative.bmp (its negative, made by the core's own tool);
// screenshots are written there as BMP files.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

std::string exe_path, work;

std::string ReadFile(const std::string& path) {
  std::string text;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return text;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
  std::fclose(f);
  return text;
}

void WriteFile(const std::string& path, const std::string& text) {
  FILE* f = std::fopen(path.c_str(), "wb");
  std::fwrite(text.data(), 1, text.size(), f);
  std::fclose(f);
}

bool WaitFor(const std::function<bool()>& done, DWORD ms = 15000) {
  const DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > ms) return false;
    Sleep(50);
  }
  return true;
}

std::string Text(HWND window) {
  char text[600] = "";
  GetWindowTextA(window, text, sizeof text);
  return text;
}

// The visible top-level windows of a class that belong to a process.
struct WindowSearch {
  DWORD pid;
  const char* class_name;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND w, LPARAM p) {
  WindowSearch* s = reinterpret_cast<WindowSearch*>(p);
  DWORD owner = 0;
  GetWindowThreadProcessId(w, &owner);
  char name[64] = "";
  GetClassNameA(w, name, sizeof name);
  if (owner == s->pid && std::string(name) == s->class_name && IsWindowVisible(w)) s->found.push_back(w);
  return TRUE;
}

std::vector<HWND> WindowsOf(DWORD pid, const char* class_name) {
  WindowSearch s{pid, class_name, {}};
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

// Writes the whole screen as a BMP file into the work folder.
void Screenshot(const std::string& name) {
  const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  BITMAPINFO bi{};
  bi.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), w, h, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(dc, bitmap);
  BitBlt(dc, 0, 0, w, h, screen, 0, 0, SRCCOPY);
  GdiFlush();
  const DWORD stride = (w * 3 + 3) & ~3;
  BITMAPFILEHEADER fh{0x4D42, static_cast<DWORD>(54 + stride * h), 0, 0, 54};
  bi.bmiHeader.biSizeImage = stride * h;
  FILE* f = std::fopen((work + "\\" + name + ".bmp").c_str(), "wb");
  std::fwrite(&fh, sizeof fh, 1, f);
  std::fwrite(&bi.bmiHeader, sizeof bi.bmiHeader, 1, f);
  std::fwrite(bits, 1, stride * h, f);
  std::fclose(f);
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
}

// One run of the program in its own folder.
class Program {
 public:
  Program(const std::string& folder, const std::string& arguments, int show = -1) {
    CreateDirectoryA(folder.c_str(), nullptr);
    std::string line = "\"" + exe_path + "\"" + (arguments.empty() ? "" : " " + arguments);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    if (show >= 0) {
      si.dwFlags = STARTF_USESHOWWINDOW;
      si.wShowWindow = static_cast<WORD>(show);
    }
    started_ = GetTickCount();
    running_ = CreateProcessA(exe_path.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si,
                              &pi_) != 0;
  }
  ~Program() {
    if (running_ && WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(pi_.hProcess, 99);
    if (running_) {
      WaitForSingleObject(pi_.hProcess, 5000);
      CloseHandle(pi_.hProcess);
      CloseHandle(pi_.hThread);
    }
  }
  // Waits for the maximised main window; its handle, or null.
  HWND Window() {
    if (!window_ && running_) {
      WaitFor([&] {
        const std::vector<HWND> w = WindowsOf(pi_.dwProcessId, "Tessamor");
        if (!w.empty()) window_ = w[0];
        return window_ != nullptr;
      });
      startup_ms_ = GetTickCount() - started_;
    }
    return window_;
  }
  bool TitleBecomes(const std::string& title) {
    return WaitFor([&] { return Text(Window()) == title; });
  }
  // A message box of this process, once it shows.
  HWND Box() {
    HWND box = nullptr;
    WaitFor([&] {
      const std::vector<HWND> w = WindowsOf(pi_.dwProcessId, "#32770");
      box = w.empty() ? nullptr : w[0];
      return box != nullptr;
    });
    return box;
  }
  // Waits for the process to end; its exit code, or -1.
  int ExitCode(DWORD ms = 15000) {
    if (!running_ || WaitForSingleObject(pi_.hProcess, ms) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(pi_.hProcess, &code);
    return static_cast<int>(code);
  }
  bool Alive() { return running_ && WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT; }
  void Command(int id) { PostMessageA(Window(), WM_COMMAND, id, 0); }
  DWORD startup_ms() const { return startup_ms_; }

 private:
  PROCESS_INFORMATION pi_{};
  bool running_ = false;
  HWND window_ = nullptr;
  DWORD started_ = 0, startup_ms_ = 0;
};

std::string Sample() { return work + "\\sample.bmp"; }
std::string Title(const std::string& path, int count, int zoom) {
  return path + " 加工枚数[" + std::to_string(count) + "枚] ズーム[" + std::to_string(zoom) + "%]";
}

TEST(EndToEnd, EmptyWindowAndStartupTime) {
  Program p(work + "\\empty", "", SW_SHOWMINIMIZED);  // maximised whatever it is told
  ASSERT_NE(p.Window(), nullptr);
  EXPECT_EQ(Text(p.Window()), "Tessamor");
  EXPECT_TRUE(IsZoomed(p.Window()));
  std::printf("start-up to a shown main window: %lu ms\n", static_cast<unsigned long>(p.startup_ms()));
  Sleep(500);
  Screenshot("shot-empty");
  PostMessageA(p.Window(), WM_CLOSE, 0, 0);
  EXPECT_EQ(p.ExitCode(), 0);
}

TEST(EndToEnd, CommandLineOpenQuotedAndNot) {
  {
    Program p(work + "\\open", Sample());
    ASSERT_NE(p.Window(), nullptr);
    ASSERT_TRUE(p.TitleBecomes(Title(Sample(), 1, 100))) << Text(p.Window());
    Sleep(300);
    Screenshot("shot-image-100");
    for (int i = 0; i < 3; ++i) PostMessageA(p.Window(), WM_MOUSEWHEEL, MAKEWPARAM(0, 120), MAKELPARAM(640, 400));
    EXPECT_TRUE(p.TitleBecomes(Title(Sample(), 1, 200))) << Text(p.Window());
    Sleep(300);
    Screenshot("shot-image-200");
    PostMessageA(p.Window(), WM_CLOSE, 0, 0);
    EXPECT_EQ(p.ExitCode(), 0);
  }
  const std::string spaced = work + "\\dir with space\\sample copy.bmp";
  Program p(work + "\\open", "\"" + spaced + "\"");
  ASSERT_NE(p.Window(), nullptr);
  EXPECT_TRUE(p.TitleBecomes(Title(spaced, 1, 100))) << Text(p.Window());
  p.Command(101);
  EXPECT_EQ(p.ExitCode(), 0);
}

TEST(EndToEnd, SecondInstanceIsRefused) {
  Program first(work + "\\single", Sample());
  ASSERT_NE(first.Window(), nullptr);
  Program second(work + "\\single", "");
  HWND box = second.Box();
  ASSERT_NE(box, nullptr);
  char text[64] = "";
  GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
  EXPECT_STREQ(text, "エラーです");
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  EXPECT_EQ(second.ExitCode(), 0);
  EXPECT_TRUE(first.Alive());
  EXPECT_TRUE(IsWindow(first.Window()));
  EXPECT_TRUE(first.TitleBecomes(Title(Sample(), 1, 100)));
  first.Command(101);
  EXPECT_EQ(first.ExitCode(), 0);
}

TEST(EndToEnd, NegativeThenUndoCountInTheTitle) {
  Program p(work + "\\undo", Sample());
  ASSERT_NE(p.Window(), nullptr);
  ASSERT_TRUE(p.TitleBecomes(Title(Sample(), 1, 100)));
  p.Command(108);
  EXPECT_TRUE(p.TitleBecomes(Title(Sample(), 2, 100))) << Text(p.Window());
  // A look at a menu and at the about box on the way.
  PostMessageA(p.Window(), WM_SYSCOMMAND, SC_KEYMENU, '2');
  Sleep(700);
  Screenshot("shot-menu");
  PostMessageA(p.Window(), WM_CANCELMODE, 0, 0);
  Sleep(200);
  p.Command(175);
  HWND about = p.Box();
  ASSERT_NE(about, nullptr);
  EXPECT_EQ(Text(about), "プログラム情報");
  Sleep(300);
  Screenshot("shot-about");
  PostMessageA(about, WM_COMMAND, 1011, 0);
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(about); }));
  p.Command(106);
  EXPECT_TRUE(p.TitleBecomes(Title(Sample(), 1, 100))) << Text(p.Window());
  p.Command(101);
  EXPECT_EQ(p.ExitCode(), 0);
}

TEST(EndToEnd, SaveThroughTheSaveDialog) {
  const std::string out = work + "\\saved negative.bmp";
  DeleteFileA(out.c_str());
  Program p(work + "\\save", Sample());
  ASSERT_NE(p.Window(), nullptr);
  ASSERT_TRUE(p.TitleBecomes(Title(Sample(), 1, 100)));
  p.Command(108);
  ASSERT_TRUE(p.TitleBecomes(Title(Sample(), 2, 100)));
  p.Command(103);
  HWND dialog = p.Box();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(Text(dialog), "ファイルを保存");
  Sleep(300);
  Screenshot("shot-save-dialog");
  // The file name box of the dialog (cmb13, or edt1 in the older layout), then the save button.
  ASSERT_TRUE(SetDlgItemTextA(dialog, 0x47C, out.c_str()) || SetDlgItemTextA(dialog, 0x480, out.c_str()));
  PostMessageA(dialog, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(WaitFor([&] { return GetFileAttributesA(out.c_str()) != INVALID_FILE_ATTRIBUTES; }));
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(dialog); }));
  EXPECT_TRUE(ReadFile(out) == ReadFile(work + "\\negative.bmp")) << "the saved bytes differ from the negative";
  EXPECT_EQ(Text(p.Window()), Title(Sample(), 2, 100));  // saving does not change the document
  p.Command(101);
  EXPECT_EQ(p.ExitCode(), 0);
}

TEST(EndToEnd, QuitWritesTheSettingsFile) {
  const std::string folder = work + "\\settings";
  CreateDirectoryA(folder.c_str(), nullptr);
  DeleteFileA((folder + "\\Tessamor.ini").c_str());
  Program p(folder, "");
  ASSERT_NE(p.Window(), nullptr);
  p.Command(101);
  EXPECT_EQ(p.ExitCode(), 0);
  const std::string ini = ReadFile(folder + "\\Tessamor.ini");
  ASSERT_EQ(ini.compare(0, 21, "[DIRECTORY]\r\nDirName="), 0) << ini;
  const size_t rest = ini.find("\r\n[COLOR]");
  ASSERT_NE(rest, std::string::npos) << ini;
  EXPECT_EQ(ini.substr(rest + 2),
            "[COLOR]\r\nBkColor = 0xffffff\r\n[SLIDESHOW]\r\nSlideInterval = 5\r\nSlideMode = 1\r\n"
            "[FLFILTER]\r\nFlFilter = 2\r\n[THUMBNAIL]\r\nThumbWidth = 80\r\nThumbHeight = 80\r\n"
            "[PPMPGMPBM]\r\nPgmSaveMode = 0\r\n");
}

TEST(EndToEnd, DecimalBackgroundColourIsHonoured) {
  const std::string folder = work + "\\colour";
  CreateDirectoryA(folder.c_str(), nullptr);
  WriteFile(folder + "\\Tessamor.ini", "[DIRECTORY]\r\nDirName=" + folder + "\r\n[COLOR]\r\nBkColor = 255\r\n");
  Program p(folder, "");
  ASSERT_NE(p.Window(), nullptr);
  Sleep(500);
  POINT inside{400, 300};
  ClientToScreen(p.Window(), &inside);
  HDC screen = GetDC(nullptr);
  const COLORREF seen = GetPixel(screen, inside.x, inside.y);
  ReleaseDC(nullptr, screen);
  EXPECT_EQ(seen, RGB(255, 0, 0));
  p.Command(101);
  EXPECT_EQ(p.ExitCode(), 0);
  EXPECT_NE(ReadFile(folder + "\\Tessamor.ini").find("[COLOR]\r\nBkColor = 0x0000ff\r\n"), std::string::npos);
}

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (argc < 3) {
    std::fprintf(stderr, "usage: e2e_driver [gtest options] TESSAMOR_EXE WORK_FOLDER\n");
    return 2;
  }
  exe_path = argv[1];
  work = argv[2];
  return RUN_ALL_TESTS();
}
