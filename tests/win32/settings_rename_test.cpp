// The settings dialog 504 and the batch-rename dialog 1117 on the real main window: their controls,
// what apply and execute change (settings file, background, files, document) and what the other
// ways out leave alone.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <set>
#include <string>
#include <utility>

#include "win32_support.h"

namespace {

void Type(int id, const char* text) { SetDlgItemTextA(Doc().dialog_window_, id, text); }
// The dialog d and its view flag are gone.
bool Gone(HWND d, uint32_t flag) { return !IsWindow(d) && !Doc().dialog_window_ && !(Doc().view_flags_ & flag); }
std::string Range(int updown) {
  int low = 0, high = 0;
  SendDlgItemMessageA(Doc().dialog_window_, updown, UDM_GETRANGE32, reinterpret_cast<WPARAM>(&low),
                      reinterpret_cast<LPARAM>(&high));
  return std::to_string(low) + "-" + std::to_string(high);
}

class SettingsDialog : public testing::Test {
 protected:
  void SetUp() override {
    ResetDocument();
    saved_ini_ = FileBytes(ini_);
    saved_ = Doc().settings_;
    std::ofstream(ini_, std::ios::binary) << "[DIRECTORY]\r\nDirName=" + test_folder + "\r\n[MINE]\r\nKept=1\r\n";
  }
  void TearDown() override {
    ResetDocument();
    CmdClass& c = Doc();
    c.settings_ = saved_;
    c.background_colour_ = saved_.bk_colour;
    c.fit_in_slideshow_ = static_cast<uint32_t>(saved_.slide_mode);
    DeleteObject(reinterpret_cast<HGDIOBJ>(SetClassLongPtrA(
        main_window, GCLP_HBRBACKGROUND, reinterpret_cast<LONG_PTR>(CreateSolidBrush(saved_.bk_colour)))));
    std::ofstream(ini_, std::ios::binary) << saved_ini_;
  }
  std::string ini_ = test_folder + "\\Tessamor.ini", saved_ini_;
  Settings saved_;
};

// A known set of values as the dialog shows them; cancel, the close box and Esc keep them all.
TEST_F(SettingsDialog, ShowsItsValuesAndTheWaysOutChangeNothing) {
  CmdClass& c = Doc();
  c.settings_ = Settings{};
  std::snprintf(c.settings_.dir_name, MAX_PATH, "%s", "C:\\pictures");
  c.settings_.slide_interval = 7, c.settings_.filter_index = 5, c.settings_.thumb_width = 100;
  c.settings_.thumb_height = 120, c.settings_.pgm_save_mode = 1;
  c.background_colour_ = 0x123456, c.fit_in_slideshow_ = 0;
  const std::string ini = FileBytes(ini_);
  for (int way = 0; way < 3; ++way) {
    Command(180);
    HWND d = c.dialog_window_;
    ASSERT_NE(d, nullptr);
    std::string radios;
    for (int id : {1034, 1035, 1036, 1037, 1100, 1101, 1102, 1103, 1104, 1105, 1106, 1107})
      radios += std::to_string(IsDlgButtonChecked(d, id));
    RECT r;
    GetWindowRect(d, &r);
    EXPECT_EQ(ItemText(1016) + "|" + ItemText(1019) + "|" + radios + "|" + ItemText(1018) + " " + Range(1022) + "|" + ItemText(1025) +
                  " " + Range(1029) + "|" + ItemText(1026) + " " + Range(1030) + "|" + std::to_string(r.left) + "," +
                  std::to_string(r.top) + "|" + std::to_string(c.view_flags_ & kViewSettings),
              "C:\\pictures|0x123456|011000001000|7 1-10|100 80-150|120 80-150|0,75|512");
    Spin(1029, 130);
    EXPECT_EQ(ItemText(1025), "130");
    Type(1019, "0x000000");
    LeaveBy(way, 1028);
    EXPECT_TRUE(Gone(d, kViewSettings));
    EXPECT_EQ(c.settings_.thumb_width + c.background_colour_, 100 + 0x123456u) << "way " << way;
    EXPECT_EQ(FileBytes(ini_), ini);
  }
}

// Apply (by Enter): the whole settings file, the document's values and the window's background.
TEST_F(SettingsDialog, ApplyWritesTheFileAndPaintsTheBackground) {
  Command(180);
  const HWND d = Doc().dialog_window_;
  ASSERT_NE(d, nullptr);
  Type(1019, "0x3060c0");
  Type(1018, "3");
  Type(1025, "100");
  Type(1026, "90");
  for (int id : {1035, 1036, 1105}) Press(id);
  DialogKey(1018, VK_RETURN);
  CmdClass& c = Doc();
  EXPECT_EQ(FileBytes(ini_), "[DIRECTORY]\r\nDirName=" + test_folder +
                                 "\r\n[MINE]\r\nKept=1\r\n[COLOR]\r\nBkColor = 0x3060c0\r\n[SLIDESHOW]\r\n"
                                 "SlideInterval = 3\r\nSlideMode = 0\r\n[FLFILTER]\r\nFlFilter = 6\r\n[THUMBNAIL]\r\n"
                                 "ThumbWidth = 100\r\nThumbHeight = 90\r\n[PPMPGMPBM]\r\nPgmSaveMode = 1\r\n");
  EXPECT_TRUE(Gone(d, kViewSettings) && !c.open_windows_);
  EXPECT_EQ(c.background_colour_, 0x3060c0u);
  EXPECT_EQ(c.fit_in_slideshow_, 0u);
  InvalidateRect(main_window, nullptr, TRUE);
  UpdateWindow(main_window);
  EXPECT_EQ(ClientPixel(main_window, 700, 500), RGB(0xc0, 0x60, 0x30));
}

// A value outside its range is brought into it and shown, the dialog stays and nothing is written;
// a second apply stores what is shown. The colour is read as strtol does, kept within 24 bits.
TEST_F(SettingsDialog, OutOfRangeValuesShownBeforeTheyAreStored) {
  const struct {
    int edit;
    const char* typed;
    const char* shown;
    int Settings::*field;
  } cases[] = {{1025, "300", "150", &Settings::thumb_width},  {1026, "12", "80", &Settings::thumb_height},
               {1018, "0", "1", &Settings::slide_interval},   {1018, "abc", "1", &Settings::slide_interval},
               {1025, "99999999999", "150", &Settings::thumb_width}};
  for (const auto& k : cases) {
    Command(180);
    Type(k.edit, k.typed);
    const std::string ini = FileBytes(ini_);
    Press(1027);
    ASSERT_NE(Doc().dialog_window_, nullptr) << k.typed;
    DWORD from = 9, to = 0;
    SendDlgItemMessageA(Doc().dialog_window_, k.edit, EM_GETSEL, reinterpret_cast<WPARAM>(&from),
                        reinterpret_cast<LPARAM>(&to));
    EXPECT_EQ(ItemText(k.edit) + (GetFocus() == GetDlgItem(Doc().dialog_window_, k.edit) ? " focused " : " ") +
                  std::to_string(from) + "-" + std::to_string(to),
              std::string(k.shown) + " focused 0-" + std::to_string(std::strlen(k.shown)));
    EXPECT_EQ(FileBytes(ini_), ini) << "stored before it was seen";
    Press(1027);
    EXPECT_EQ(Doc().dialog_window_, nullptr);
    EXPECT_EQ(std::to_string(Doc().settings_.*k.field), k.shown);
  }
  for (const auto& [typed, colour] : {std::pair{"junk", 0u}, {"-1", 0u}, {"0x1ffffff", 0xffffffu}, {"010", 8u}}) {
    Command(180);
    Type(1019, typed);
    Press(1027);
    EXPECT_EQ(Doc().background_colour_, colour) << typed;
  }
}

// The rename dialog on a folder of its own with b.jpg, a.bmp and c.png, each holding its name.
class RenameDialog : public testing::Test {
 protected:
  void SetUp() override {
    ResetDocument();
    saved_dir_ = Doc().settings_.dir_name;
    static int count = 0;
    folder_ = test_folder + "\\rename" + std::to_string(++count);
    CreateDirectoryA(folder_.c_str(), nullptr);
    for (const char* name : {"b.jpg", "a.bmp", "c.png"}) std::ofstream(folder_ + "\\" + name) << name;
  }
  void TearDown() override {
    ResetDocument();
    std::snprintf(Doc().settings_.dir_name, MAX_PATH, "%s", saved_dir_.c_str());
    SetCurrentDirectoryA(test_folder.c_str());
  }
  HWND Open() {
    SetCurrentDirectoryA(folder_.c_str());
    Command(189);
    return Doc().dialog_window_;
  }
  // "name=content ..." of the folder's files, by name.
  std::string Files() const {
    std::set<std::string> found;
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA((folder_ + "\\*").c_str(), &data);
    for (bool more = h != INVALID_HANDLE_VALUE; more; more = FindNextFileA(h, &data))
      if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        found.insert(std::string(data.cFileName) + "=" + FileBytes(folder_ + "\\" + data.cFileName));
    if (h != INVALID_HANDLE_VALUE) FindClose(h);
    std::string s;
    for (const std::string& f : found) s += (s.empty() ? "" : " ") + f;
    return s;
  }
  std::string folder_, saved_dir_;
};

const std::string kUnchanged = "a.bmp=a.bmp b.jpg=b.jpg c.png=c.png";
std::string Done(const std::string& counts) { return BoxText("処理を終了しました\n" + counts, "情報", 64, false); }
const std::string kDiscard = BoxText("編集中の画像を廃棄してよろしいですか？", "問合せ", 33, true);

// Execute with and without an image open, answering the discard question both ways; a start from
// the up-down; a name already taken (here by a folder) leaves its file.
TEST_F(RenameDialog, ExecuteRenamesOrKeepsTheImage) {
  const struct {
    bool image;
    int answer;
    const char* start;  // null: 10 from the up-down
    bool taken;
    std::string files, boxes;
  } cases[] = {
      {false, IDOK, "0001", false, "trip_0001.bmp=a.bmp trip_0002.jpg=b.jpg trip_0003.png=c.png",
       Done("3個のファイル名を変更しました")},
      {true, IDCANCEL, "0001", false, kUnchanged, kDiscard + Done("0個のファイル名を変更しました")},
      {true, IDOK, "12345", false, "trip_12345.bmp=a.bmp trip_12346.jpg=b.jpg trip_12347.png=c.png",
       kDiscard + Done("3個のファイル名を変更しました")},
      {false, IDOK, nullptr, false, "trip_0010.bmp=a.bmp trip_0011.jpg=b.jpg trip_0012.png=c.png",
       Done("3個のファイル名を変更しました")},
      {false, IDOK, "1", true, "b.jpg=b.jpg trip_0001.bmp=a.bmp trip_0003.png=c.png",
       Done("2個のファイル名を変更しました（1個は変更できませんでした）")},
  };
  for (const auto& k : cases) {
    TearDown();
    SetUp();
    const bool opened = !k.image || OpenByMessage(WriteBmp24("open.bmp", 4, 3, [](int, int) { return 0x808080u; }));
    ASSERT_TRUE(opened);
    if (k.taken) CreateDirectoryA((folder_ + "\\trip_0002.jpg").c_str(), nullptr);
    const std::string title = WindowText();
    HWND d = Open();
    ASSERT_NE(d, nullptr);
    const uint32_t renaming = Doc().view_flags_ & kViewRenaming;
    EXPECT_EQ(ItemText(1114) + "|" + ItemText(1112) + "|" + Range(1113) + "|" + std::to_string(renaming),
              folder_ + "|0001|1-9999|2048");
    Type(1110, "trip");
    if (k.start) Type(1112, k.start);
    else Spin(1113, 10);
    RecordingChannel channel;
    channel.answers = {k.answer};
    DialogKey(1110, VK_RETURN);
    CmdClass& c = Doc();
    EXPECT_EQ(Files(), k.files);
    EXPECT_EQ(Shown(channel), k.boxes);
    const bool discarded = k.image && k.answer == IDOK;
    EXPECT_EQ(c.image_count_, k.image && !discarded ? 1 : 0);
    EXPECT_EQ(WindowText(), discarded ? "Tessamor" : title);
    EXPECT_EQ(std::string(c.settings_.dir_name), folder_);
    EXPECT_TRUE(Gone(d, kViewRenaming));
  }
}

// A name no file can take, or a start that is no number, is refused before anything moves and the
// dialog stays on the edit to mend; cancel, the close box and Esc rename nothing.
TEST_F(RenameDialog, RefusedRequestsAndWaysOutRenameNothing) {
  const struct {
    const char* name;
    const char* start;
    int code, edit;
  } refused[] = {{"", "0001", kMsgBadNewName, 1110}, {"a/b", "0001", kMsgBadNewName, 1110},
                 {"trip", "x1", kMsgBadStartNumber, 1112}};
  HWND d = Open();
  ASSERT_NE(d, nullptr);
  for (const auto& k : refused) {
    Type(1110, k.name);
    Type(1112, k.start);
    RecordingChannel channel;
    Press(1115);
    EXPECT_EQ(Shown(channel), BoxText(MessageText(k.code), "警告", 48, true)) << k.name;
    EXPECT_EQ(Doc().dialog_window_, d);
    EXPECT_EQ(GetFocus(), GetDlgItem(d, k.edit)) << k.name;
  }
  for (int way = 0; way < 3; ++way) {
    if (!Doc().dialog_window_) d = Open();
    ASSERT_NE(d, nullptr);
    Type(1110, "trip");
    RecordingChannel channel;
    LeaveBy(way, 1116);
    EXPECT_TRUE(channel.boxes.empty());
    EXPECT_TRUE(Gone(d, kViewRenaming));
    EXPECT_EQ(Files(), kUnchanged);
  }
}

}  // namespace
