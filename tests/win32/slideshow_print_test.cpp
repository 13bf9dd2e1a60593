// The slideshows in the real main window, stepped by posted timer and wheel messages over a
// folder with an unreadable file; printing through Wine's PostScript driver to a file, the page
// rendered by ghostscript and the picture's place measured.
#include <windows.h>

#include <gtest/gtest.h>
#include <winspool.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "app/command_labels.h"
#include "document/view_math.h"
#include "tests/win32/win32_support.h"

namespace {

uint32_t Blue(int, int) { return 0x202080; }

void WriteBytes(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

// The title at a slideshow position of 4 files, or (position 0) of the file as a document.
std::string TitleOf(const std::string& path, int position) {
  char title[MAX_PATH + 64];
  TitleText(title, sizeof title, path.c_str(), position != 0, position, 4, 1, 100);
  return title;
}

// The show's flags (show, centre mark), images, slides, toolbar state and menu label of 130.
std::string ShowState() {
  const CmdClass& c = Doc();
  return std::to_string(c.view_flags_ & kViewSlideshow ? 1 : 0) + (c.view_flags_ & kViewCentreMark ? "+mark " : " ") +
         std::to_string(c.image_count_) + " " + std::to_string(c.slide_count_) + " " + std::to_string(ToolbarState(130)) +
         " " + MenuLabel(130);
}

// The timer's step, as the message loop would deliver it; a wheel turn over the view.
void Tick() {
  SendMessageA(main_window, WM_TIMER, 800, 0);
  PumpMessages();
}
void Wheel(int delta) {
  SendMessageA(main_window, WM_MOUSEWHEEL, MAKEWPARAM(0, delta), MAKELPARAM(400, 300));
  PumpMessages();
}

// Slides a.bmp, b.bmp, bad.bmp (not a picture), c.bmp in the listing's order.
struct Slides {
  Slides() : folder("slides") {
    for (const char* name : {"a", "b", "c"}) WriteBmp24(std::string("slides\\") + name + ".bmp", 40, 30, Blue);
    WriteBytes(folder.File("bad.bmp"), "BM not a picture");
  }
  Subfolder folder;
};

class Slideshow : public testing::Test {
 protected:
  void SetUp() override {
    ResetDocument();
    interval_ = Doc().settings_.slide_interval;
    Doc().settings_.slide_interval = 3600;  // only the test's own timer messages step
  }
  void TearDown() override {
    Doc().settings_.slide_interval = interval_;
    if (Doc().view_flags_ & kViewSlideshow) Command(130);
  }

 private:
  int interval_ = 5;
};

TEST_F(Slideshow, AutomaticStepsWrapAroundAndPassOverAnUnreadableFile) {
  ASSERT_TRUE(OpenByMessage(WriteBmp24("before.bmp", 20, 20, Blue)));
  Slides s;
  RecordingChannel channel;
  // Started and stepped without a pump between: the first step comes from the test, not the clock.
  SendMessageA(main_window, WM_COMMAND, 130, 0);
  CmdClass& c = Doc();
  EXPECT_EQ(ShowState().substr(0, 8), "1 0 4 5 ");
  const struct {
    int position;
    const char* name;
    bool readable;
  } steps[] = {{1, "a.bmp", true}, {2, "b.bmp", true}, {3, "bad.bmp", false}, {4, "c.bmp", true},
               {1, "a.bmp", true}};
  for (const auto& step : steps) {
    Tick();
    const std::string expected = TitleOf(s.folder.File(step.name), step.position);
    EXPECT_EQ(WindowText(), step.readable ? expected : expected + MessageText(kMsgSlideSkipped));
    EXPECT_EQ(c.image_count_, step.readable ? 1 : 0) << step.name;
    EXPECT_EQ(c.slide_position_, step.position);
    EXPECT_TRUE(KillTimer(main_window, 800)) << "the show goes on after " << step.name;
  }
  EXPECT_TRUE(channel.boxes.empty()) << Shown(channel);
  SendMessageA(main_window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(GetMenu(main_window)), 0);
  EXPECT_EQ(ShowState(), "1 1 4 5 " LABEL_130_MODE);

  Command(130);
  EXPECT_EQ(ShowState() + " at " + std::to_string(c.slide_position_), "0+mark 1 0 4 " LABEL_130 " at 0");
  EXPECT_EQ(WindowText(), TitleOf(s.folder.File("a.bmp"), 0));
  Tick();  // a late timer message steps nothing
  EXPECT_EQ(WindowText(), TitleOf(s.folder.File("a.bmp"), 0));
}

TEST_F(Slideshow, ManualShowsTheFirstAtOnceAndTheWheelStepsBothWays) {
  Slides s;
  RecordingChannel channel;
  CmdClass& c = Doc();
  for (int end_with : {130, 101}) {
    Command(188);
    EXPECT_EQ(c.slide_position_, 1);
    EXPECT_EQ(WindowText(), TitleOf(s.folder.File("a.bmp"), 1));
    EXPECT_FALSE(OwnProcedure());
    Wheel(-WHEEL_DELTA);  // toward the user: back, from the first to the last
    EXPECT_EQ(WindowText(), TitleOf(s.folder.File("c.bmp"), 4));
    Wheel(-WHEEL_DELTA);
    EXPECT_EQ(WindowText(), TitleOf(s.folder.File("bad.bmp"), 3) + MessageText(kMsgSlideSkipped));
    for (int i = 0; i < 2; ++i) Wheel(WHEEL_DELTA);
    EXPECT_EQ(c.slide_position_, 1);
    EXPECT_EQ(c.zoom_, 100);  // the wheel stepped instead of zooming
    EXPECT_FALSE(KillTimer(main_window, 800));
    SendMessageA(main_window, WM_COMMAND, end_with, 0);
    EXPECT_EQ(QuitPosted(), end_with == 101);
    PumpMessages();
    EXPECT_FALSE(c.view_flags_ & kViewSlideshow) << end_with;
    EXPECT_TRUE(OwnProcedure()) << end_with;
    EXPECT_EQ(c.image_count_, 1);
  }
  Wheel(WHEEL_DELTA);  // the wheel zooms again
  EXPECT_EQ(c.zoom_, 120);
  EXPECT_TRUE(channel.boxes.empty()) << Shown(channel);
}

TEST_F(Slideshow, NothingToShowLeavesTheImageOrEndsTheShow) {
  ASSERT_TRUE(OpenByMessage(WriteBmp24("kept.bmp", 20, 20, Blue)));
  const DibImage* kept = Doc().current_;
  {
    Subfolder empty("no-slides");
    RecordingChannel channel;
    Command(130);
    EXPECT_EQ(Shown(channel), BoxText(MessageText(kMsgNoSlideFiles), "警告", MB_ICONEXCLAMATION, true));
    EXPECT_FALSE(Doc().view_flags_ & kViewSlideshow);
    EXPECT_EQ(Doc().current_, kept);
  }
  // Every file unreadable, one of them gone since the listing: the show ends after one round.
  Subfolder folder("unreadable");
  WriteBytes(folder.File("bad.png"), "not a png");
  const std::string gone = WriteBmp24("unreadable\\gone.bmp", 8, 8, Blue);
  RecordingChannel channel;
  SendMessageA(main_window, WM_COMMAND, 130, 0);
  DeleteFileA(gone.c_str());
  Tick();
  EXPECT_TRUE(Doc().view_flags_ & kViewSlideshow);
  Tick();
  EXPECT_EQ(Shown(channel), BoxText(MessageText(kMsgNoSlideFiles), "Warning", MB_ICONEXCLAMATION, true));
  EXPECT_EQ(ShowState().substr(0, 7), "0+mark ");
  EXPECT_EQ(WindowText(), "Tessamor");
}

// ---- Printing ------------------------------------------------------------------------------

char kPrinterName[] = "Tessamor Test PostScript";

// The Unix path of a Windows path under Wine; "" elsewhere.
std::string UnixPath(const std::string& path) {
  using UnixName = char*(CDECL*)(const WCHAR*);
  const auto unix_name = reinterpret_cast<UnixName>(reinterpret_cast<void (*)()>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  if (!unix_name) return "";
  std::wstring wide(path.size() + 1, L'\0');
  wide.resize(MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, &wide[0], static_cast<int>(wide.size())));
  char* name = unix_name(wide.c_str());
  if (!name) return "";
  std::string result = name;
  HeapFree(GetProcessHeap(), 0, name);
  return result;
}

// Runs a shell command of the host (Wine starts Unix programs); its end is told by a file it writes
// last, as Wine's process handle does not follow a Unix program.
void RunOnHost(const std::string& command) {
  const std::string done = test_folder + "\\host-done";
  DeleteFileA(done.c_str());
  std::string line = "/bin/sh -c \"PATH=/usr/local/bin:/usr/bin:/bin; " + command + "; echo ok > '" +
                     UnixPath(done) + "'\"";
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return;
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  for (int i = 0; i < 1200 && FileBytes(done) != "ok\n"; ++i) Sleep(50);
}

// A PostScript printer of Wine's own driver printing to a file, the default printer for the test's
// time; removed afterwards with its description file.
class FilePrinter {
 public:
  explicit FilePrinter(const std::string& output) {
    char folder[MAX_PATH] = "";
    DWORD needed = 0;
    if (GetPrinterDriverDirectoryA(nullptr, nullptr, 1, reinterpret_cast<BYTE*>(folder), sizeof folder, &needed))
      driver_files_ = std::string(folder) + "\\3\\";
    HMODULE spooler = GetModuleHandleA("winspool.drv");
    HRSRC resource = spooler ? FindResourceA(spooler, MAKEINTRESOURCEA(1), "PPDFILE") : nullptr;
    std::string port = UnixPath(output);
    if (!resource || port.empty()) return;
    const char* ppd = static_cast<const char*>(LoadResource(spooler, resource));
    const std::string text(ppd, strnlen(ppd, SizeofResource(spooler, resource)));
    ppd_ = test_folder + "\\tessamor-test.ppd";
    WriteBytes(ppd_, text);
    char driver_file[] = "wineps.drv", raw[] = "RAW", none[] = "", processor[] = "winprint";
    DRIVER_INFO_3A driver{3, kPrinterName, nullptr, driver_file, &ppd_[0], driver_file, nullptr, nullptr, nullptr, raw};
    if (!AddPrinterDriverExA(nullptr, 3, reinterpret_cast<BYTE*>(&driver), APD_COPY_NEW_FILES | APD_COPY_FROM_DIRECTORY))
      return;
    PRINTER_INFO_2A info{};
    info.pPrinterName = info.pDriverName = kPrinterName;
    info.pPortName = &port[0], info.pPrintProcessor = processor, info.pDatatype = raw;
    info.pParameters = info.pShareName = info.pSepFile = none;
    HANDLE printer = AddPrinterA(nullptr, 2, reinterpret_cast<BYTE*>(&info));
    if (!printer) return;
    ClosePrinter(printer);
    DWORD size = sizeof default_;
    if (!GetDefaultPrinterA(default_, &size)) default_[0] = '\0';
    ready_ = SetDefaultPrinterA(kPrinterName) != 0;
  }
  ~FilePrinter() {
    HANDLE printer = nullptr;
    if (OpenPrinterA(kPrinterName, &printer, nullptr)) {
      DeletePrinter(printer);
      ClosePrinter(printer);
    }
    DeletePrinterDriverA(nullptr, nullptr, kPrinterName);
    if (default_[0]) SetDefaultPrinterA(default_);
    if (!ppd_.empty() && !driver_files_.empty()) DeleteFileA((driver_files_ + "tessamor-test.ppd").c_str());
    if (!ppd_.empty()) DeleteFileA(ppd_.c_str());
  }
  bool ready() const { return ready_; }

 private:
  std::string ppd_, driver_files_;
  char default_[MAX_PATH] = "";
  bool ready_ = false;
};

// Answers every dialog of this thread that shows (the two print dialogs) with one button.
WPARAM press = IDOK;
BOOL CALLBACK PressIn(HWND w, LPARAM) {
  char name[16] = "";
  GetClassNameA(w, name, sizeof name);
  if (IsWindowVisible(w) && std::string(name) == "#32770") PostMessageA(w, WM_COMMAND, press, 0);
  return TRUE;
}
void CALLBACK PressButton(HWND, UINT, UINT_PTR, DWORD) { EnumThreadWindows(GetCurrentThreadId(), PressIn, 0); }

void PrintWith(int command, WPARAM button) {
  press = button;
  const UINT_PTR timer = SetTimer(nullptr, 0, 50, PressButton);
  Command(command);
  KillTimer(nullptr, timer);
}

// The marked area of a PostScript page in points (x0 y0 x1 y1 from the lower left), as
// ghostscript renders it; the renderer's words in *said.
std::vector<double> MarkedBox(const std::string& ps, std::string* said) {
  const std::string out = ps + ".bbox";
  RunOnHost("gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=bbox '" + UnixPath(ps) + "' > '" + UnixPath(out) + "' 2>&1");
  *said = FileBytes(out);
  const size_t at = said->find("%%HiResBoundingBox:");
  std::vector<double> box(4, -1);
  if (at != std::string::npos)
    std::sscanf(said->c_str() + at, "%%%%HiResBoundingBox: %lf %lf %lf %lf", &box[0], &box[1], &box[2], &box[3]);
  return box;
}

TEST(Printing, FitToPageAndActualSizePlaceThePictureOnThePage) {
  const std::string port_file = test_folder + "\\printed.ps";
  RunOnHost("command -v gs > '" + UnixPath(test_folder) + "/gs-found'");
  if (FileBytes(test_folder + "\\gs-found").empty()) GTEST_SKIP() << "ghostscript (gs) is not installed";
  FilePrinter printer(port_file);
  if (!printer.ready()) GTEST_SKIP() << "no PostScript file printer could be set up in this Wine prefix";
  // The page as the program sets it up for a tall picture: A4, portrait, high quality.
  DEVMODEA mode{};
  mode.dmSize = sizeof mode;
  mode.dmOrientation = DMORIENT_PORTRAIT, mode.dmPaperSize = DMPAPER_A4, mode.dmPrintQuality = DMRES_HIGH;
  mode.dmFields = DM_ORIENTATION | DM_PAPERSIZE | DM_PRINTQUALITY;
  HDC dc = CreateDCA("WINSPOOL", kPrinterName, nullptr, &mode);
  ASSERT_NE(dc, nullptr);
  const int page_w = GetDeviceCaps(dc, HORZRES), page_h = GetDeviceCaps(dc, VERTRES);
  const int dpi = GetDeviceCaps(dc, LOGPIXELSX), left = GetDeviceCaps(dc, PHYSICALOFFSETX);
  const int top = GetDeviceCaps(dc, PHYSICALOFFSETY), paper_h = GetDeviceCaps(dc, PHYSICALHEIGHT);
  DeleteDC(dc);
  ASSERT_GT(dpi, 0);

  ASSERT_TRUE(OpenNew("tall.bmp", 100, 200, Blue));
  RecordingChannel channel;
  PrintWith(133, IDCANCEL);
  EXPECT_EQ(GetFileAttributesA(port_file.c_str()), INVALID_FILE_ATTRIBUTES);  // cancelled: nothing printed

  const int fit_w = 100 * page_h / 200;
  const struct {
    int command;
    int x, y, w, h;  // device pixels of the printable area
  } rows[] = {{133, (page_w - fit_w) / 2, 0, fit_w, page_h}, {176, 10, 10, 100, 200}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.command);
    PrintWith(row.command, IDOK);
    const std::string ps = test_folder + "\\printed-" + std::to_string(row.command) + ".ps";
    ASSERT_TRUE(MoveFileA(port_file.c_str(), ps.c_str())) << "nothing printed";
    EXPECT_NE(FileBytes(ps).find("%%Orientation: Portrait"), std::string::npos);
    std::string said;
    const std::vector<double> box = MarkedBox(ps, &said);
    SCOPED_TRACE(said);
    const int want[4] = {left + row.x, paper_h - top - row.y - row.h, left + row.x + row.w, paper_h - top - row.y};
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(box[i], want[i] * 72.0 / dpi, 1.0) << i;
  }
  EXPECT_TRUE(channel.boxes.empty()) << Shown(channel);
  EXPECT_EQ(Doc().image_count_, 1);
}

}  // namespace
