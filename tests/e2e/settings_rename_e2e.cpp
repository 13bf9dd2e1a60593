// End-to-end: the settings dialog applied from the menu (settings file and background), and the
// batch rename of a folder of three files.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "tests/e2e/e2e_support.h"

namespace {

// The program in a folder of its own whose settings file makes that folder the working directory.
std::string Folder(const std::string& name) {
  const std::string folder = work + "\\" + name;
  CreateDirectoryA(folder.c_str(), nullptr);
  std::ofstream(folder + "\\Tessamor.ini", std::ios::binary) << "[DIRECTORY]\r\nDirName=" + folder + "\r\n";
  return folder;
}

// The program's dialog or box with this title, once it shows.
HWND Dialog(Program& p, const std::string& title) {
  HWND found = nullptr;
  WaitFor([&] { return (found = p.Find("#32770")) && Text(found) == title; });
  return found && Text(found) == title ? found : nullptr;
}

void Click(HWND dialog, int id) {
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

COLORREF Background(HWND window) {
  HDC dc = GetDC(window);
  const COLORREF pixel = GetPixel(dc, 700, 500);
  ReleaseDC(window, dc);
  return pixel;
}

TEST(SettingsEndToEnd, ApplyRepaintsTheBackgroundAndWritesTheFile) {
  const std::string folder = Folder("settings-dialog");
  Program p(folder, "");
  ASSERT_NE(p.Window(), nullptr);
  // Once the new window has painted (until then the screen shows what was there before).
  EXPECT_TRUE(WaitFor([&] { return Background(p.Window()) == RGB(255, 255, 255); }));
  p.Post(WM_COMMAND, 180);
  HWND dialog = Dialog(p, "Tessamor設定");
  ASSERT_NE(dialog, nullptr);
  Screenshot("shot-dialog-settings");
  EXPECT_EQ(Text(dialog, 1019) + "|" + Text(dialog, 1018) + "|" + Text(dialog, 1025) + "|" + Text(dialog, 1016),
            "0xffffff|5|80|" + folder);
  SetDlgItemTextA(dialog, 1019, "0x204080");
  Click(dialog, 1027);
  const std::string ini = folder + "\\Tessamor.ini";
  EXPECT_TRUE(WaitFor([&] { return ReadFile(ini).find("BkColor = 0x204080\r\n") != std::string::npos; }))
      << ReadFile(ini);
  EXPECT_TRUE(WaitFor([&] { return !IsWindow(dialog) && Background(p.Window()) == RGB(0x80, 0x40, 0x20); }));
  p.Post(WM_COMMAND, 101);
  EXPECT_EQ(p.ExitCode(), 0);
}

TEST(SettingsEndToEnd, RenameDialogRenamesTheFolder) {
  const std::string folder = Folder("rename-dialog");
  for (const char* name : {"b.jpg", "a.bmp", "c.png"}) std::ofstream(folder + "\\" + name) << name;
  Program p(folder, "");
  ASSERT_NE(p.Window(), nullptr);
  p.Post(WM_COMMAND, 189);
  HWND dialog = Dialog(p, "ファイル名変更");
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(Text(dialog, 1114) + "|" + Text(dialog, 1112), folder + "|0001");
  SetDlgItemTextA(dialog, 1110, "trip");
  Screenshot("shot-dialog-rename");
  Click(dialog, 1115);
  HWND box = Dialog(p, "情報");
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(Text(box, 0xFFFF), "処理を終了しました\n3個のファイル名を変更しました");
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(WaitFor([&] { return !IsWindow(box); }));
  const std::string renamed = folder + "\\trip_000";
  EXPECT_EQ(ReadFile(renamed + "1.bmp") + ReadFile(renamed + "2.jpg") + ReadFile(renamed + "3.png"), "a.bmpb.jpgc.png");
  EXPECT_EQ(ReadFile(folder + "\\a.bmp") + ReadFile(folder + "\\b.jpg") + ReadFile(folder + "\\c.png"), "");
  p.Post(WM_COMMAND, 101);
  EXPECT_EQ(p.ExitCode(), 0);
}

}  // namespace
