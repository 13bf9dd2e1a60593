// The thumbnail browser in the real main window: the sheet of a folder of several formats with
// an unreadable file, for two box sizes; the arrow keys and the scroll bar; Enter, Delete (asked,
// cancelled and confirmed), a file gone behind the browser's back, an empty folder, the close box.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <string>

#include "app/thumbnails_win32.h"
#include "tests/win32/win32_support.h"

namespace {

uint32_t Red(int, int) { return 0xFF0000; }
uint32_t Green(int, int) { return 0x00C000; }
uint32_t Blue(int, int) { return 0x0000FF; }
uint32_t Yellow(int, int) { return 0xC8C800; }

// A picture of one colour in the folder, in the format of the name's extension.
std::string Picture(const Subfolder& f, const std::string& file, int width, int height, uint32_t (*colour)(int, int)) {
  const std::string bmp = WriteBmp24("picture.bmp", width, height, colour), path = f.File(file);
  Filter doc;
  const bool bmp_named = file.compare(file.size() - 4, 4, ".bmp") == 0;
  EXPECT_TRUE(bmp_named ? MoveFileA(bmp.c_str(), path.c_str()) != 0
                        : OpenImageFile(doc, bmp.c_str()) && SaveImageFile(doc, path.c_str(), 0))
      << file;
  DeleteFileA(bmp.c_str());
  return path;
}

// Takes a file the test moved to the recycle bin out of it again: Wine's recycle bin is the trash
// folder in the home folder (WINEHOMEDIR, as \??\Z:\root), whose info files name where an entry came from.
void EmptyTrashOf(const std::string& windows_path) {
  char home[MAX_PATH] = "";
  if (!GetEnvironmentVariableA("WINEHOMEDIR", home, sizeof home) || std::strncmp(home, "\\??\\", 4) != 0) return;
  const std::string trash = std::string(home + 4) + "\\.local\\share\\Trash";
  std::string tail = windows_path.substr(test_folder.find_last_of('\\') + 1);
  for (char& ch : tail) ch = ch == '\\' ? '/' : ch;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((trash + "\\info\\*.trashinfo").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const std::string info = trash + "\\info\\" + found.cFileName;
    if (FileBytes(info).find(tail + "\n") == std::string::npos) continue;
    const std::string name(found.cFileName, std::strlen(found.cFileName) - std::strlen(".trashinfo"));
    DeleteFileA((trash + "\\files\\" + name).c_str());
    DeleteFileA(info.c_str());
  } while (FindNextFileA(search, &found));
  FindClose(search);
}

HWND Browser() { return FindWindowExA(main_window, nullptr, "ShowThumbs", nullptr); }
ThumbnailBrowser& State() { return *Doc().thumbnails_; }

void Key(WPARAM key) {
  PostMessageA(Browser(), WM_KEYDOWN, key, 0);
  PumpMessages();
}
void CloseBrowser() {
  SendMessageA(Browser(), WM_CLOSE, 0, 0);
  PumpMessages();
}

bool Dark(COLORREF c) { return GetRValue(c) < 24 && GetGValue(c) < 24 && GetBValue(c) < 24; }

// The picture drawn at (x, y) of the sheet: its size, measured along its first row and column
// up to the black around it, and its colour as the first hex digit of red, green and blue.
std::string PictureAt(int x, int y) {
  HDC sheet = State().sheet_dc;
  if (!Dark(GetPixel(sheet, x - 1, y + 1)) || Dark(GetPixel(sheet, x + 1, y + 1))) return "none";
  int w = 0, h = 0;
  while (!Dark(GetPixel(sheet, x + w, y + 1))) ++w;
  while (!Dark(GetPixel(sheet, x + 1, y + h))) ++h;
  const COLORREF c = GetPixel(sheet, x + w / 2, y + h / 2);
  auto digit = [](int v) { return std::min(v + 8, 255) >> 4; };
  char text[64];
  std::snprintf(text, sizeof text, "%dx%d %x%x%x", w, h, digit(GetRValue(c)), digit(GetGValue(c)), digit(GetBValue(c)));
  return text;
}

std::string ToolText(int index) {
  char text[600] = "";
  TTTOOLINFOA ti{};
  ti.cbSize = TTTOOLINFOA_V2_SIZE;
  ti.hwnd = Browser();
  ti.uId = static_cast<UINT_PTR>(index);
  ti.lpszText = text;
  SendMessageA(State().tooltip, TTM_GETTEXTA, sizeof text, reinterpret_cast<LPARAM>(&ti));
  return text;
}

// Item 102 of the menu and the toolbar as a popup shows them: greyed, or not.
bool OpenGreyed() {
  HMENU menu = GetMenu(main_window);
  SendMessageA(main_window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(GetSubMenu(menu, 0)), 0);
  const bool menu_greyed = GetMenuState(menu, 102, MF_BYCOMMAND) & MF_GRAYED;
  EXPECT_EQ(menu_greyed, !(ToolbarState(102) & TBSTATE_ENABLED));
  return menu_greyed;
}

// The yellow frame shows in the window around the selected cell.
bool FramedInWindow(const ThumbnailBrowser& b) {
  UpdateWindow(Browser());
  const CellPoint at = CellOrigin(b.layout, b.SelectedIndex());
  return ClientPixel(Browser(), at.x, at.y - b.scroll) == RGB(255, 255, 0);
}

TEST(Thumbnails, SheetOfEveryReadableFileForTwoBoxSizes) {
  ResetDocument();
  Subfolder f("thumbs-sheet");
  Picture(f, "1a.bmp", 100, 50, Red);
  Picture(f, "2b.jpg", 700, 100, Green);  // read at an eighth, from its DC coefficients
  std::ofstream(f.path() + "\\3bad.bmp") << "not a picture at all";
  Picture(f, "3big.bmp", 300, 300, Blue);  // beyond the size limit set below
  Picture(f, "4c.png", 60, 90, Blue);
  Picture(f, "5d.ppm", 30, 30, Yellow);
  const struct {
    int box_w, box_h;
    const char *first, *last;
    int last_x;
  } boxes[] = {{80, 80, "66x33 f00", "60x60 dd0", 460}, {120, 100, "120x60 f00", "60x60 dd0", 660}};
  SetMaxPixels(300 * 299);
  for (const auto& box : boxes) {
    SCOPED_TRACE(box.box_w);
    Doc().settings_.thumb_width = box.box_w;
    Doc().settings_.thumb_height = box.box_h;
    RecordingChannel channel;
    Command(132);
    ASSERT_TRUE(Browser() && Doc().thumbnails_);
    const ThumbnailBrowser& b = State();
    EXPECT_EQ(WindowText(Browser()), "サムネイル表示 " + f.path() + " [6枚]");
    EXPECT_TRUE(Doc().view_flags_ & kViewThumbnails);
    EXPECT_TRUE(OpenGreyed());
    // The unreadable file and the one too large are passed over without a box; their cells keep
    // their names.
    EXPECT_EQ(Shown(channel), "");
    ASSERT_FALSE(channel.progress.empty());
    EXPECT_EQ(channel.progress.front(), "begin:サムネイルリスト生成中です");
    EXPECT_EQ(channel.progress[channel.progress.size() - 2], "6 / 6");
    std::string shown;
    for (const ThumbnailEntry& e : b.files) shown += std::string(e.name) + (e.shown ? " " : "(unread) ");
    EXPECT_EQ(shown, "1a.bmp 2b.jpg 3bad.bmp(unread) 3big.bmp(unread) 4c.png 5d.ppm ");
    ASSERT_GE(b.layout.columns, 6);
    EXPECT_EQ(PictureAt(10, 0), box.first);
    EXPECT_EQ(PictureAt(box.last_x, 0), box.last);
    const ThumbSize jpeg = ThumbnailSize(700, 100, box.box_w, box.box_h);
    EXPECT_EQ(PictureAt(10 + b.layout.ColumnPitch(), 0), std::to_string(jpeg.width) + "x" + std::to_string(jpeg.height) + " 0c0");
    EXPECT_EQ(GetPixel(b.sheet_dc, 10 + 2 * b.layout.ColumnPitch(), 0), RGB(96, 96, 96));  // the unread file's outline
    EXPECT_EQ(SendMessageA(b.tooltip, TTM_GETTOOLCOUNT, 0, 0), 6);
    const std::string tip = "1a.bmp\r\nサイズ:100 x 50 pixels\r\n画素数:15000 bytes\r\n作成日時:20";
    EXPECT_EQ(ToolText(0).substr(0, tip.size()), tip);
    EXPECT_TRUE(FramedInWindow(b));
    CloseBrowser();  // the close box takes the browser away and brings the menu back
    EXPECT_TRUE(!Browser() && !Doc().thumbnails_ && !(Doc().view_flags_ & kViewThumbnails));
    EXPECT_FALSE(OpenGreyed());
  }
  SetMaxPixels(0);
  Doc().settings_.thumb_width = Doc().settings_.thumb_height = 80;
}

TEST(Thumbnails, ArrowKeysMoveTheFrameAndTheSheetScrollsByRows) {
  ResetDocument();
  Subfolder f("thumbs-keys");
  for (int i = 0; i < 40; ++i) Picture(f, "k" + std::to_string(100 + i) + ".bmp", 8, 8, i % 2 ? Red : Blue);
  Doc().settings_.thumb_width = Doc().settings_.thumb_height = 150;
  RecordingChannel channel;
  Command(132);
  ASSERT_NE(Browser(), nullptr);
  ThumbnailBrowser& b = State();
  const SheetLayout& s = b.layout;
  ASSERT_GT(b.largest_scroll, 0) << "the 40 cells must not fit the window";
  const size_t progress_steps = channel.progress.size();
  // Each key moves the frame in reading order (left and right wrap between rows), never off the
  // sheet; the selected row is always shown.
  int expect = 0;
  for (WPARAM key : {VK_LEFT, VK_UP, VK_RIGHT, VK_DOWN, VK_DOWN, VK_LEFT, VK_LEFT, VK_RIGHT, VK_DOWN, VK_DOWN, VK_DOWN,
                     VK_DOWN, VK_DOWN, VK_RIGHT, VK_UP, VK_UP, VK_UP, VK_UP}) {
    const int step = key == VK_LEFT ? -1 : key == VK_RIGHT ? 1 : key == VK_UP ? -s.columns : s.columns;
    if (expect + step >= 0 && expect + step < s.count) expect += step;
    Key(key);
    EXPECT_EQ(b.selected.row * s.columns + b.selected.column, expect) << key;
    RECT client;
    GetClientRect(Browser(), &client);
    EXPECT_EQ(b.scroll % s.RowPitch(), 0);
    EXPECT_GE(b.selected.row * s.RowPitch(), b.scroll);
    EXPECT_LE((b.selected.row + 1) * s.RowPitch(), b.scroll + std::max<int>(client.bottom, s.RowPitch()));
    EXPECT_TRUE(FramedInWindow(b)) << key;
  }
  // The scroll bar: one row at a time, the window showing the sheet moved by that row.
  for (WPARAM code : {SB_TOP, SB_LINEDOWN}) SendMessageA(Browser(), WM_VSCROLL, code, 0);
  EXPECT_EQ(b.scroll, s.RowPitch());
  EXPECT_EQ(GetScrollPos(Browser(), SB_VERT), s.RowPitch());
  UpdateWindow(Browser());
  for (int y : {5, s.box_height / 2, s.RowPitch() + 5})
    EXPECT_EQ(ClientPixel(Browser(), 12, y), GetPixel(b.sheet_dc, 12, y + b.scroll)) << y;
  SendMessageA(Browser(), WM_VSCROLL, SB_BOTTOM, 0);
  EXPECT_EQ(b.scroll, b.largest_scroll);
  SendMessageA(Browser(), WM_VSCROLL, SB_LINEDOWN, 0);
  EXPECT_EQ(b.scroll, b.largest_scroll);
  EXPECT_EQ(channel.progress.size(), progress_steps);  // nothing is read again
  CloseBrowser();
  Doc().settings_.thumb_width = Doc().settings_.thumb_height = 80;
}

TEST(Thumbnails, EnterOpensDeleteAsksFirstAndVanishedFilesLeaveTheSheet) {
  ResetDocument();
  Subfolder f("thumbs-open");
  const std::string a = Picture(f, "1a.bmp", 100, 50, Red);
  const std::string b = Picture(f, "2b.jpg", 40, 30, Green);
  const std::string c = Picture(f, "3c.png", 60, 90, Blue);
  // Enter on the second picture: it becomes the document, the browser goes.
  Doc().scroll_x_ = 9;
  Command(132);
  Key(VK_RIGHT);
  Key(VK_RETURN);
  EXPECT_TRUE(!Browser() && !(Doc().view_flags_ & kViewThumbnails));
  ASSERT_EQ(Doc().image_count_, 1);
  EXPECT_EQ(std::string(Doc().current_->path), b);
  EXPECT_EQ(Doc().scroll_x_, 0);
  Command(108);  // an image step the next open must not keep
  // Delete: cancelled keeps the file and the sheet; confirmed moves it away and rebuilds.
  Command(132);
  {
    RecordingChannel channel;
    channel.answers = {IDCANCEL};
    Key(VK_DELETE);
    EXPECT_EQ(Shown(channel), BoxText("1a.bmp\r\nをごみ箱に移動しますか？", "問合せ", MB_OKCANCEL | MB_ICONQUESTION, false));
    EXPECT_NE(GetFileAttributesA(a.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(State().files.size(), 3u);
    channel.answers = {IDOK};
    Key(VK_DELETE);
    EXPECT_EQ(GetFileAttributesA(a.c_str()), INVALID_FILE_ATTRIBUTES);
    EmptyTrashOf(a);
    ASSERT_NE(Browser(), nullptr);
    EXPECT_EQ(std::to_string(State().files.size()) + " " + State().files[0].name, "2 2b.jpg");
  }
  // A file deleted behind the browser's back: the open's own box, the document kept, the sheet
  // rebuilt without the file.
  {
    RecordingChannel channel;
    DeleteFileA(b.c_str());
    Key(VK_RETURN);
    EXPECT_EQ(Shown(channel), BoxText(MessageText(kMsgCannotOpen), nullptr, MB_ICONHAND, false));
    EXPECT_EQ(Doc().image_count_, 2);
    ASSERT_TRUE(Browser() && (Doc().view_flags_ & kViewThumbnails));
    ASSERT_EQ(State().files.size(), 1u);
    EXPECT_EQ(std::string(State().files[0].name), "3c.png");
  }
  // The last file deleted: no file is left, the browser closes with its message.
  {
    RecordingChannel channel;
    DeleteFileA(c.c_str());
    Key(VK_RETURN);
    EXPECT_EQ(Shown(channel), BoxText(MessageText(kMsgCannotOpen), nullptr, MB_ICONHAND, false) +
                                  BoxText(MessageText(kMsgNoThumbFiles), "警告", MB_ICONEXCLAMATION, true));
    EXPECT_TRUE(!Browser() && !(Doc().view_flags_ & kViewThumbnails));
    EXPECT_EQ(Doc().image_count_, 2);
  }
}

}  // namespace
