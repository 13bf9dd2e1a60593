// Opening by command line and by drop, and the save flow's rows with the questions recorded.
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

// A drop of the given files, as the shell hands it to WM_DROPFILES.
HDROP MakeDrop(const std::vector<std::string>& files) {
  size_t bytes = sizeof(DROPFILES) + 1;
  for (const std::string& f : files) bytes += f.size() + 1;
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
  DROPFILES* drop = static_cast<DROPFILES*>(GlobalLock(memory));
  drop->pFiles = sizeof(DROPFILES);
  char* p = reinterpret_cast<char*>(drop + 1);
  for (const std::string& f : files) {
    std::memcpy(p, f.c_str(), f.size() + 1);
    p += f.size() + 1;
  }
  GlobalUnlock(memory);
  return static_cast<HDROP>(memory);
}

uint32_t Red(int, int) { return 0xFF0000; }

class Files : public testing::Test {
 protected:
  void SetUp() override {
    ResetDocument();
    CreateDirectoryA((TestFolder() + "\\sub dir").c_str(), nullptr);
    spaced_ = WriteBmp24("sub dir\\a b.bmp", 6, 5, Red);
    plain_ = WriteBmp24("plain.bmp", 7, 3, [](int x, int) { return x * 0x10u; });
  }
  void TearDown() override {
    SetCurrentDirectoryA(TestFolder().c_str());
    DeleteFileA(spaced_.c_str());
    RemoveDirectoryA((TestFolder() + "\\sub dir").c_str());
    ResetDocument();
  }
  std::string spaced_, plain_;
};

TEST_F(Files, CommandLineQuotedOrNot) {
  SetCurrentDirectoryA("C:\\");
  ASSERT_TRUE(OpenByMessage("\"" + spaced_ + "\""));
  EXPECT_STREQ(Doc().current_->path, spaced_.c_str());
  EXPECT_EQ(CurrentDirectory(), TestFolder() + "\\sub dir");
  SetCurrentDirectoryA("C:\\");
  ASSERT_TRUE(OpenByMessage(spaced_));
  EXPECT_STREQ(Doc().current_->path, spaced_.c_str());
  EXPECT_EQ(CurrentDirectory(), TestFolder() + "\\sub dir");
  EXPECT_EQ(WindowText(MainWindow()), spaced_ + " 加工枚数[1枚] ズーム[100%]");
  // A relative name is a file of the folder the program started in.
  ASSERT_TRUE(OpenByMessage("plain.bmp"));
  EXPECT_EQ(Width(Doc().current_), 7);
}

TEST_F(Files, DropOpensOnlyTheFirstFile) {
  SetCurrentDirectoryA("C:\\");
  SendMessageA(MainWindow(), WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({spaced_, plain_})), 0);
  ASSERT_EQ(Doc().image_count_, 1);
  EXPECT_STREQ(Doc().current_->path, spaced_.c_str());
  EXPECT_EQ(CurrentDirectory(), TestFolder() + "\\sub dir");
}

TEST_F(Files, FailedOpensLeaveTheDocument) {
  ASSERT_TRUE(OpenByMessage(plain_));
  const DibImage* current = Doc().current_;
  BoxRecorder boxes;
  const std::string unknown = TestFolder() + "\\picture.xyz";
  SendMessageA(MainWindow(), UM_OPEN_FILE, reinterpret_cast<WPARAM>(unknown.c_str()), 0);
  ASSERT_EQ(boxes.boxes.size(), 2u);  // the extension lookup, then the factory
  EXPECT_EQ(boxes.boxes[0].text, MessageText(kMsgUnsupported));
  EXPECT_EQ(boxes.boxes[0].style, static_cast<unsigned>(MB_ICONHAND));
  EXPECT_EQ(boxes.boxes[1].style, static_cast<unsigned>(MB_ICONEXCLAMATION));
  const std::string missing = TestFolder() + "\\missing.bmp";
  SendMessageA(MainWindow(), UM_OPEN_FILE, reinterpret_cast<WPARAM>(missing.c_str()), 0);
  EXPECT_EQ(boxes.boxes.back().text, MessageText(kMsgCannotOpen));
  EXPECT_EQ(Doc().current_, current);
  EXPECT_EQ(Doc().image_count_, 1);
}

// The document as it stands: saving must leave it exactly so.
struct Snapshot {
  const DibImage* current;
  const DibImage* pending;
  int count;
  explicit Snapshot(const CmdClass& c) : current(c.current_), pending(c.pending_), count(c.image_count_) {}
  bool operator==(const Snapshot& o) const { return current == o.current && pending == o.pending && count == o.count; }
};

TEST_F(Files, SaveRowsAskAndNeverChangeTheDocument) {
  ASSERT_TRUE(OpenByMessage(plain_));
  Doc().RunOperation(108);
  Doc().Commit();
  const Snapshot before(Doc());
  BoxRecorder boxes;

  // BMP: the current image as it is.
  const std::string bmp = TestFolder() + "\\out.bmp";
  ASSERT_TRUE(SaveImageFile(Doc(), bmp.c_str(), 0));
  const std::vector<uint8_t> written = FileBytes(bmp);
  ASSERT_EQ(written.size(), 54u + 24u * 3);
  EXPECT_EQ(written[54 + 3 * 2 + 0], 0xFF - 0x20);  // bottom row, pixel 2: blue of the negative
  EXPECT_TRUE(boxes.boxes.empty());

  // GIF of a 24-bit image: a warning without owner, nothing written.
  const std::string gif = TestFolder() + "\\out.gif";
  EXPECT_FALSE(SaveImageFile(Doc(), gif.c_str(), 0));
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, "256色以下に減色して下さい");
  EXPECT_EQ(boxes.boxes[0].caption, "警告");
  EXPECT_EQ(boxes.boxes[0].style, static_cast<unsigned>(MB_ICONEXCLAMATION));
  EXPECT_FALSE(boxes.boxes[0].owned);
  EXPECT_EQ(GetFileAttributesA(gif.c_str()), INVALID_FILE_ATTRIBUTES);

  // PGM and PBM of a colour image: the question; Cancel writes nothing, OK converts a copy.
  struct Row {
    const char* name;
    const char* question;
    const char* magic;
  };
  for (const Row& row : {Row{"out.pgm", "モノクロ画像に変換しますか？", "P5"}, Row{"out.pbm", "白黒2値画像に変換しますか？", "P4"}}) {
    boxes.boxes.clear();
    boxes.answers = {IDCANCEL};
    const std::string path = TestFolder() + "\\" + row.name;
    EXPECT_FALSE(SaveImageFile(Doc(), path.c_str(), 0));
    ASSERT_EQ(boxes.boxes.size(), 1u) << row.name;
    EXPECT_EQ(boxes.boxes[0].text, row.question);
    EXPECT_EQ(boxes.boxes[0].caption, "問合せ");
    EXPECT_EQ(boxes.boxes[0].style, static_cast<unsigned>(MB_OKCANCEL | MB_ICONQUESTION));
    EXPECT_FALSE(boxes.boxes[0].owned);
    EXPECT_EQ(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);
    boxes.answers = {IDOK};
    EXPECT_TRUE(SaveImageFile(Doc(), path.c_str(), 0));
    EXPECT_EQ(boxes.boxes[1].text, row.question);
    const std::vector<uint8_t> bytes = FileBytes(path);
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 2), row.magic);
    EXPECT_TRUE(Snapshot(Doc()) == before) << row.name;
  }
  // PPM in the ASCII mode of the settings.
  const std::string ppm = TestFolder() + "\\out.ppm";
  ASSERT_TRUE(SaveImageFile(Doc(), ppm.c_str(), 1));
  EXPECT_EQ(FileBytes(ppm).at(1), '3');
  // A name without a known extension is refused.
  boxes.boxes.clear();
  EXPECT_FALSE(SaveImageFile(Doc(), (TestFolder() + "\\out.xyz").c_str(), 0));
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, MessageText(kMsgUnsupported));
  EXPECT_TRUE(Snapshot(Doc()) == before);
  EXPECT_EQ(Doc().current_->bits[6], 0xFF - 0x20);
}

TEST_F(Files, AddedExtensionDoesNotReplaceAFileUnasked) {
  BoxRecorder boxes;
  const std::string stem = TestFolder() + "\\plain";
  EXPECT_TRUE(ConfirmReplacing(plain_.c_str(), plain_.c_str()));           // the dialog asked
  EXPECT_TRUE(ConfirmReplacing(stem.c_str(), (stem + ".gif").c_str()));    // nothing there
  EXPECT_TRUE(boxes.boxes.empty());
  boxes.answers = {IDCANCEL, IDOK};
  EXPECT_FALSE(ConfirmReplacing(stem.c_str(), plain_.c_str()));
  EXPECT_TRUE(ConfirmReplacing(stem.c_str(), plain_.c_str()));
  ASSERT_EQ(boxes.boxes.size(), 2u);
  EXPECT_EQ(boxes.boxes[0].text, plain_ + " は既に存在します。\n上書きしますか？");
  EXPECT_EQ(boxes.boxes[0].style, static_cast<unsigned>(MB_OKCANCEL | MB_ICONQUESTION));
}

}  // namespace
