// Opening by a relative command-line name and by drop, and the save flow's rows with the
// questions recorded. (Quoted and unquoted command lines: the end-to-end tests.)
#include <windows.h>

#include <gtest/gtest.h>

#include <shlobj.h>

#include <cstring>
#include <string>

#include "app/file_dialogs_win32.h"
#include "app/file_flow.h"
#include "win32_support.h"

namespace {

std::string CurrentDirectory() {
  char dir[MAX_PATH] = "";
  GetCurrentDirectoryA(MAX_PATH, dir);
  return dir;
}

uint32_t Ramp(int x, int) { return x * 0x10u; }

TEST(Files, RelativeNameAndDrop) {
  ResetDocument();
  const std::string plain = WriteBmp24("plain.bmp", 7, 3, Ramp), folder = TestFolder() + "\\sub dir";
  CreateDirectoryA(folder.c_str(), nullptr);
  const std::string spaced = WriteBmp24("sub dir\\a b.bmp", 6, 5, Ramp);
  // A relative name is a file of the folder the program started in, whatever is current now.
  SetCurrentDirectoryA("C:\\");
  ASSERT_TRUE(OpenByMessage("plain.bmp"));
  EXPECT_EQ(Doc().current_->path, plain);
  // A drop of two files opens the first and makes its folder current.
  const std::string names = spaced + '\0' + plain + '\0' + '\0';
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + names.size());
  DROPFILES* drop = static_cast<DROPFILES*>(GlobalLock(memory));
  drop->pFiles = sizeof(DROPFILES);
  std::memcpy(drop + 1, names.data(), names.size());
  GlobalUnlock(memory);
  SendMessageA(MainWindow(), WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
  EXPECT_EQ(Doc().current_->path, spaced);
  EXPECT_EQ(CurrentDirectory(), folder);
  SetCurrentDirectoryA(TestFolder().c_str());
  DeleteFileA(spaced.c_str());
  RemoveDirectoryA(folder.c_str());
  ResetDocument();
}

TEST(Files, SaveRowsAskAndNeverChangeTheDocument) {
  ResetDocument();
  ASSERT_TRUE(OpenByMessage(WriteBmp24("plain.bmp", 7, 3, Ramp)));
  Command(108);
  const DibImage* const current = Doc().current_;
  const std::string question = "|問合せ|" + std::to_string(MB_OKCANCEL | MB_ICONQUESTION) + "|no owner";
  const struct Row {
    const char* name;
    int pnm_mode, answer;
    std::string box;    // the box shown, if any
    const char* start;  // the file's first bytes; null when nothing may be written
  } rows[] = {
      {"out.bmp", 0, IDOK, "", "BM"},
      {"out.gif", 0, IDOK, BoxText("256色以下に減色して下さい", "警告", MB_ICONEXCLAMATION, false), nullptr},
      {"out.pgm", 0, IDCANCEL, "モノクロ画像に変換しますか？" + question, nullptr},
      {"out.pgm", 0, IDOK, "モノクロ画像に変換しますか？" + question, "P5"},
      {"out.pbm", 0, IDCANCEL, "白黒2値画像に変換しますか？" + question, nullptr},
      {"out.pbm", 0, IDOK, "白黒2値画像に変換しますか？" + question, "P4"},
      {"out.ppm", 1, IDOK, "", "P3"},
      {"out.xyz", 0, IDOK, BoxText(MessageText(kMsgUnsupported), nullptr, MB_ICONHAND, false), nullptr},
  };
  for (const Row& row : rows) {
    BoxRecorder boxes;
    boxes.answers = {row.answer};
    const std::string path = TestFolder() + "\\" + row.name;
    EXPECT_EQ(SaveImageFile(Doc(), path.c_str(), row.pnm_mode), row.start != nullptr) << row.name;
    EXPECT_EQ(boxes.boxes, row.box.empty() ? std::vector<std::string>{} : std::vector<std::string>{row.box}) << row.name;
    EXPECT_EQ(FileBytes(path).substr(0, 2), row.start ? row.start : "") << row.name;
    EXPECT_TRUE(Doc().current_ == current && Doc().pending_ == current && Doc().image_count_ == 2) << row.name;
  }
  // The BMP holds the negative; the document's image is untouched by the conversions.
  const std::string bmp = FileBytes(TestFolder() + "\\out.bmp");
  ASSERT_EQ(bmp.size(), 54u + 24u * 3);
  EXPECT_EQ(static_cast<uint8_t>(bmp[54 + 3 * 2]), 0xFF - 0x20);  // bottom row, pixel 2: blue
  EXPECT_EQ(Doc().current_->bits[6], 0xFF - 0x20);
  ResetDocument();
}

TEST(Files, AddedExtensionDoesNotReplaceAFileUnasked) {
  const std::string stem = TestFolder() + "\\plain", file = WriteBmp24("plain.bmp", 7, 3, Ramp);
  BoxRecorder boxes;
  boxes.answers = {IDCANCEL, IDOK};
  EXPECT_TRUE(ConfirmReplacing(file.c_str(), file.c_str()));             // the dialog asked
  EXPECT_TRUE(ConfirmReplacing(stem.c_str(), (stem + ".gif").c_str()));  // nothing there
  EXPECT_FALSE(ConfirmReplacing(stem.c_str(), file.c_str()));
  EXPECT_TRUE(ConfirmReplacing(stem.c_str(), file.c_str()));
  const std::string box = BoxText((file + " は既に存在します。\n上書きしますか？").c_str(), "問合せ",
                                  MB_OKCANCEL | MB_ICONQUESTION, true);
  EXPECT_EQ(boxes.boxes, (std::vector<std::string>{box, box}));
}

}  // namespace
