// The view on the real client area: placement and painting at several zooms, the centre mark, the
// wheel, the title, dragging, the middle button; opening by a relative name (quoted and unquoted
// command lines: the end-to-end tests) and by drop; the save flow's rows with their questions.
#include <windows.h>

#include <gtest/gtest.h>

#include <shlobj.h>
#include <winioctl.h>

#include <cstring>
#include <string>

#include "app/file_dialogs_win32.h"
#include "app/file_flow.h"
#include "document/view_math.h"
#include "win32_support.h"

namespace {

// A 50 x 40 picture whose every pixel tells where it is.
uint32_t Probe(int x, int y) { return static_cast<uint32_t>(x * 5) << 16 | static_cast<uint32_t>(y * 6) << 8 | 0x40; }

ImageRect Placed() {
  const CmdClass& c = Doc();
  return ComputeImageRect(
      ViewPlacement{c.view_rect_, Width(c.current_), Height(c.current_), c.zoom_, c.scroll_x_, c.scroll_y_, false});
}

// Zoom, pan, dragging and mouse capture.
std::string ViewState() {
  const CmdClass& c = Doc();
  return std::to_string(c.zoom_) + "% pan " + std::to_string(c.scroll_x_) + "," + std::to_string(c.scroll_y_) +
         (c.view_flags_ & kViewDragging ? " dragging" : "") + (GetCapture() == main_window ? " captured" : "");
}

class View : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(OpenNew("probe.bmp", 50, 40, Probe));
    path_ = test_folder + "\\probe.bmp";
  }
  // The window painted anew; pixel (x, y) of its client area as 0x00RRGGBB.
  void Repaint() { RedrawWindow(main_window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW); }
  uint32_t At(int64_t x, int64_t y) {
    const COLORREF c = ClientPixel(main_window, static_cast<int>(x), static_cast<int>(y));
    return GetRValue(c) << 16 | GetGValue(c) << 8 | GetBValue(c);
  }
  std::string Title(int count, int zoom) {
    return path_ + " 加工枚数[" + std::to_string(count) + "枚] ズーム[" + std::to_string(zoom) + "%]";
  }
  std::string path_;
};

TEST_F(View, PaintsEveryPixelWhereItBelongsAndTheCentreMark) {
  const ViewRect v = Doc().view_rect_;  // the client area below the toolbar band
  ASSERT_TRUE(v.left == 0 && v.top == 28 && v.right == 800 && v.bottom == 600);
  // The red centre mark, shown at the start; space toggles it, other keys do not.
  Doc().zoom_ = 1;
  Repaint();
  int red = 0;
  for (int i = 0; i < 100; ++i) red += At(395 + i % 10, 309 + i / 10) == 0xFF0000;
  EXPECT_GT(red, 3);
  std::string marks;
  for (char key : {' ', 'a', ' ', ' '}) {
    SendMessageA(main_window, WM_CHAR, key, 0);
    marks += Doc().view_flags_ & kViewCentreMark ? "+" : "-";
  }
  EXPECT_EQ(marks, "--+-");

  Doc().zoom_ = 300;
  const ImageRect centred = Placed();
  EXPECT_TRUE(centred.x == 325 && centred.y == 254 && centred.width == 150 && centred.height == 120);
  for (int zoom : {100, 300, 5000, 10}) {
    Doc().zoom_ = zoom;
    Doc().scroll_x_ = Doc().scroll_y_ = zoom == 5000 ? -3 : 0;  // at 5000 % pixel (28, 23) is in the middle
    Repaint();
    const ImageRect r = Placed();
    for (int y = 0; y < 40 && zoom >= 100; y += 13) {
      for (int x = 0; x < 50; x += 7) {
        const int64_t px = r.x + (int64_t{x} * zoom + zoom / 2) / 100, py = r.y + (int64_t{y} * zoom + zoom / 2) / 100;
        if (px < 0 || py < 28 || px >= 800 || py >= 600) continue;
        EXPECT_EQ(At(px, py), Probe(x, y)) << "zoom " << zoom << " pixel " << x << "," << y;
      }
    }
    EXPECT_TRUE(zoom != 5000 || At(400, 314) == Probe(28, 23)) << "centre at 5000 %";
    EXPECT_TRUE(zoom != 10 || At(r.x + 2, r.y + 2) != 0xFFFFFFu) << "5 x 4 pixels at 10 %";
  }
}

TEST_F(View, WheelTitleDraggingAndTheMiddleButton) {
  EXPECT_EQ(WindowText(), Title(1, 100));
  Command(108);
  Command(109);
  std::string zooms;
  for (int delta : {120, 120, 120, -120, -120, -120, -120, 240}) {
    SendMessageA(main_window, WM_MOUSEWHEEL, MAKEWPARAM(0, delta), MAKELPARAM(400, 300));
    zooms += std::to_string(Doc().zoom_) + " ";
    PumpMessages();
    EXPECT_EQ(WindowText(), Title(3, Doc().zoom_));
  }
  EXPECT_EQ(zooms, "120 150 200 150 120 100 80 100 ");
  Command(106);
  EXPECT_EQ(WindowText(), Title(2, 100));
  Command(107);
  EXPECT_EQ(WindowText(), Title(1, 100));
  Doc().view_flags_ |= kViewSlideshow;
  Doc().slide_position_ = 2;
  Doc().slide_count_ = 7;
  Doc().UpdateTitle();
  EXPECT_EQ(WindowText(), path_ + " スライドショー[2/7]");
  Doc().view_flags_ &= ~kViewSlideshow;

  Doc().zoom_ = 200;
  const int64_t x0 = Placed().x;
  SendMessageA(main_window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 100));
  SendMessageA(main_window, WM_MOUSEWHEEL, MAKEWPARAM(0, 120), MAKELPARAM(400, 300));  // ignored while dragging
  EXPECT_EQ(ViewState(), "200% pan 0,0 dragging captured");
  SendMessageA(main_window, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(105, 100));
  SendMessageA(main_window, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(110, 97));
  SendMessageA(main_window, WM_LBUTTONUP, 0, MAKELPARAM(110, 97));
  EXPECT_EQ(Placed().x - x0, 20);                                    // 10 mouse pixels at 200 %
  SendMessageA(main_window, WM_MOUSEMOVE, 0, MAKELPARAM(300, 300));  // no drag: nothing moves
  EXPECT_EQ(ViewState(), "200% pan 10,-3");
  SendMessageA(main_window, WM_MBUTTONDOWN, MK_MBUTTON, MAKELPARAM(1, 1));
  EXPECT_EQ(ViewState(), "200% pan 0,0");
  Doc().scroll_x_ = 7;  // zoom and pan stay when another file is opened
  ASSERT_TRUE(OpenByMessage(WriteBmp24("other.bmp", 3, 3, [](int, int) { return 0xFFu; })));
  EXPECT_EQ(ViewState(), "200% pan 7,0");
}

uint32_t Ramp(int x, int) { return x * 0x10u; }

TEST(Files, RelativeNameAndDrop) {
  ResetDocument();
  const std::string plain = WriteBmp24("plain.bmp", 7, 3, Ramp), folder = test_folder + "\\sub dir";
  CreateDirectoryA(folder.c_str(), nullptr);
  const std::string spaced = WriteBmp24("sub dir\\a b.bmp", 6, 5, Ramp);
  SetCurrentDirectoryA("C:\\");  // a relative name is a file of the folder the program started in
  ASSERT_TRUE(OpenByMessage("plain.bmp"));
  EXPECT_EQ(Doc().current_->path, plain);
  // A drop of two files opens the first and makes its folder current.
  const std::string names = spaced + '\0' + plain + '\0' + '\0';
  DROPFILES* drop = static_cast<DROPFILES*>(GlobalAlloc(GPTR, sizeof(DROPFILES) + names.size()));
  drop->pFiles = sizeof(DROPFILES);
  std::memcpy(drop + 1, names.data(), names.size());
  SendMessageA(main_window, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
  char now[MAX_PATH] = "";
  GetCurrentDirectoryA(MAX_PATH, now);
  EXPECT_EQ(Doc().current_->path + std::string(" in ") + now, spaced + " in " + folder);
  SetCurrentDirectoryA(test_folder.c_str());
}

TEST(Files, SaveRowsAskAndNeverChangeTheDocument) {
  ASSERT_TRUE(OpenNew("plain.bmp", 7, 3, Ramp));
  Command(108);
  const DibImage* const current = Doc().current_;
  const unsigned ask = MB_OKCANCEL | MB_ICONQUESTION;
  const struct Row {
    const char* name;
    int pnm_mode, answer;
    std::string boxes;  // the boxes shown
    const char* start;  // the file's first bytes; null when nothing may be written
  } rows[] = {
      {"out.bmp", 0, IDOK, "", "BM"},
      {"out.gif", 0, IDOK, BoxText("256色以下に減色して下さい", "警告", MB_ICONEXCLAMATION, false), nullptr},
      {"out.pgm", 0, IDCANCEL, BoxText("モノクロ画像に変換しますか？", "問合せ", ask, false), nullptr},
      {"out.pgm", 0, IDOK, BoxText("モノクロ画像に変換しますか？", "問合せ", ask, false), "P5"},
      {"out.pbm", 0, IDCANCEL, BoxText("白黒2値画像に変換しますか？", "問合せ", ask, false), nullptr},
      {"out.pbm", 0, IDOK, BoxText("白黒2値画像に変換しますか？", "問合せ", ask, false), "P4"},
      {"out.ppm", 1, IDOK, "", "P3"},
      {"out.xyz", 0, IDOK, BoxText(MessageText(kMsgUnsupported), nullptr, MB_ICONHAND, false), nullptr},
  };
  for (const Row& row : rows) {
    RecordingChannel channel;
    channel.answers = {row.answer};
    const std::string path = test_folder + "\\" + row.name;
    EXPECT_EQ(SaveImageFile(Doc(), path.c_str(), row.pnm_mode), row.start != nullptr) << row.name;
    EXPECT_EQ(Shown(channel), row.boxes) << row.name;
    EXPECT_EQ(FileBytes(path).substr(0, 2), row.start ? row.start : "") << row.name;
    EXPECT_TRUE(Doc().current_ == current && Doc().pending_ == current && Doc().image_count_ == 2) << row.name;
  }
  // The BMP holds the negative; the document's image is untouched by the conversions.
  const std::string bmp = FileBytes(test_folder + "\\out.bmp");
  ASSERT_EQ(bmp.size(), 54u + 24u * 3);
  EXPECT_EQ(static_cast<uint8_t>(bmp[54 + 3 * 2]), 0xFF - 0x20);  // bottom row, pixel 2: blue
  EXPECT_EQ(Doc().current_->bits[6], 0xFF - 0x20);
}

TEST(Files, PixelsBeyondTwoGigabytesIntoTheFileAreRead) {
  // Windows' long has 32 bits in both programs: positions in the file are taken in 64 bits. The
  // gap before the pixels is a hole in a sparse file, so the test writes only a few bytes.
  ResetDocument();
  std::string bytes = FileBytes(WriteBmp24("far.bmp", 7, 3, Ramp));
  const std::string bits = bytes.substr(54);
  const DWORD offset = 0x80000000u + 54;
  std::memcpy(&bytes[10], &offset, 4);  // bfOffBits
  const std::string path = test_folder + "\\far.bmp";
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0, ignored = 0;
  LARGE_INTEGER at;
  at.QuadPart = offset;
  DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ignored, nullptr);
  const bool ok = WriteFile(file, bytes.data(), 54, &written, nullptr) && SetFilePointerEx(file, at, nullptr, FILE_BEGIN) &&
                  WriteFile(file, bits.data(), static_cast<DWORD>(bits.size()), &written, nullptr);
  CloseHandle(file);
  ASSERT_TRUE(ok);
  RecordingChannel channel;
  EXPECT_TRUE(OpenByMessage(path)) << Shown(channel);
  if (Doc().current_) {
    EXPECT_EQ(RowAddress(Doc().current_, 2)[3 * 6], Ramp(6, 2));  // blue of the last pixel
  }
  ResetDocument();
  DeleteFileA(path.c_str());
}

TEST(Files, AddedExtensionDoesNotReplaceAFileUnasked) {
  const std::string stem = test_folder + "\\plain", file = WriteBmp24("plain.bmp", 7, 3, Ramp);
  RecordingChannel channel;
  channel.answers = {IDCANCEL, IDOK};
  EXPECT_TRUE(ConfirmReplacing(file.c_str(), file.c_str()));             // the dialog asked
  EXPECT_TRUE(ConfirmReplacing(stem.c_str(), (stem + ".gif").c_str()));  // nothing there
  EXPECT_FALSE(ConfirmReplacing(stem.c_str(), file.c_str()));
  EXPECT_TRUE(ConfirmReplacing(stem.c_str(), file.c_str()));
  const std::string box =
      BoxText(file + " は既に存在します。\n上書きしますか？", "問合せ", MB_OKCANCEL | MB_ICONQUESTION, true);
  EXPECT_EQ(Shown(channel), box + box);
}

}  // namespace
