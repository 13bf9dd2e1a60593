// File access and the open and save flows.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "app/file_flow.h"
#include "document/image_info.h"
#include "formats/byte_order.h"
#include "tests/core/test_support.h"

namespace {

// Runs fn with the process in folder, then goes back.
template <class Fn>
void InFolder(const std::string& folder, Fn fn) {
  char here[4096];
  ASSERT_TRUE(getcwd(here, sizeof here));
  ASSERT_EQ(chdir(folder.c_str()), 0);
  fn();
  ASSERT_EQ(chdir(here), 0);
}

TEST(FileAccess, FormatOfNameLooksAtTheLastFourCharactersAndSaveNamesGetTheFiltersExtension) {
  RecordingChannel channel;
  FileAccess f;
  std::string seen;  // format and boxes shown so far after each name
  for (const char* path : {"/x/photo.JPG", "/x/a.Pbm", "/x/photo.jpeg"}) {
    f.SetPath(path);
    seen += std::to_string(f.FormatOfName());
    seen += ":" + std::to_string(channel.boxes.size()) + " ";
  }
  EXPECT_EQ(seen, std::to_string(kFormatJpeg) + ":0 " + std::to_string(kFormatPbm) + ":0 " + std::to_string(kFormatNone) +
                      ":1 ");
  EXPECT_TRUE(channel.ShowedOnly(kMsgUnsupported) && channel.boxes[0].style == MB_ICONHAND);
  channel.boxes.clear();
  EXPECT_TRUE(f.SaveNameFix("C:\\p\\picture", 3) && std::string(f.path()) == "C:\\p\\picture.png");
  EXPECT_TRUE(f.SaveNameFix("C:\\p\\picture.PNG", 1) && std::string(f.path()) == "C:\\p\\picture.PNG");
  EXPECT_TRUE(channel.boxes.empty());
  EXPECT_FALSE(f.SaveNameFix("C:\\p\\picture", 8));  // a filter without an extension of its own
  ASSERT_TRUE(channel.ShowedOnly(kMsgNeedExtension));
  EXPECT_TRUE(channel.boxes[0].caption == "警告" && channel.boxes[0].style == MB_ICONEXCLAMATION);
}

TEST(FileAccess, ListFolderSortsByNameAndKeepsEachPatternsFormat) {
  TempDir dir;
  for (const char* name : {"b.png", "A.bmp", "a.gif", "notes.txt", "c.JPE", "a.bmp"})
    WriteFileBytes(dir.File(name), {0});
  InFolder(dir.path(), [&] {
    FileAccess f;
    char folder[MAX_PATH];
    ASSERT_EQ(f.ListFolder(folder), 5);
    std::string names;  // with their formats; each entry is the previous one of the next
    for (FileListEntry* e = f.list_head(); e; e = e->next)
      names += std::string(e->name) + ":" + std::to_string(e->format) + (e->next && e->next->previous != e ? "!" : " ");
    EXPECT_EQ(names, "a.bmp:" + std::to_string(kFormatBmp) + " A.bmp:" + std::to_string(kFormatBmp) + " a.gif:" +
                         std::to_string(kFormatGif) + " b.png:" + std::to_string(kFormatPng) + " c.JPE:" +
                         std::to_string(kFormatJpeg) + " ");
    EXPECT_EQ(f.list_head()->previous, nullptr);
    EXPECT_STREQ(f.cursor_->name, "c.JPE");  // left on the last entry
  });
  TempDir empty;
  InFolder(empty.path(), [&] {
    FileAccess f;
    char folder[MAX_PATH];
    EXPECT_TRUE(f.ListFolder(folder) == 0 && f.list_head() == nullptr);
  });
}

TEST(FileAccess, ArgumentPathQuotedOrNotMakesItsFolderCurrent) {
  TempDir dir;
  char here[4096];
  ASSERT_TRUE(getcwd(here, sizeof here));
  for (const std::string& arg : {"\"" + dir.File("x.bmp") + "\"", dir.File("x.bmp")}) {
    FileAccess f;
    f.FolderFromArgument(arg.c_str());
    EXPECT_EQ(std::string(f.path()), dir.File("x.bmp"));
    char now[4096];
    ASSERT_TRUE(getcwd(now, sizeof now));
    EXPECT_EQ(std::string(now), dir.path());
    ASSERT_EQ(chdir(here), 0);
  }
}

TEST(OpenFlow, AFailedOpenKeepsTheDocument) {
  TempDir dir;
  Filter doc;
  Commit(doc, NewImage(3, 3, 24));
  ASSERT_TRUE(doc.RunOperation(108) && doc.Commit());
  const DibImage* current = doc.current_;
  WriteFileBytes(dir.File("broken.bmp"), {'B', 'M', 1, 2, 3});
  RecordingChannel channel;
  EXPECT_FALSE(OpenImageFile(doc, dir.File("broken.bmp").c_str()));
  EXPECT_TRUE(doc.image_count_ == 2 && doc.current_ == current);
  // An unknown extension: the error box of the lookup, then the factory's warning.
  channel.boxes.clear();
  EXPECT_FALSE(OpenImageFile(doc, dir.File("a.tif").c_str()));
  ASSERT_EQ(channel.boxes.size(), 2u);
  EXPECT_TRUE(channel.boxes[0].style == MB_ICONHAND && channel.boxes[1].style == MB_ICONEXCLAMATION &&
              channel.boxes[1].text == MessageText(kMsgUnsupported));
  EXPECT_TRUE(doc.image_count_ == 2 && doc.current_ == current);
}

TEST(OpenFlow, ALoadReplacesTheDocumentUnlessABlendLoadsItsSecondImage) {
  TempDir dir;
  Filter doc;
  Commit(doc, NewImage(3, 3, 24));
  ASSERT_TRUE(SaveImageFile(doc, dir.File("a.bmp").c_str(), 0));
  ASSERT_TRUE(doc.RunOperation(108) && doc.Commit());
  ASSERT_TRUE(OpenImageFile(doc, dir.File("a.bmp").c_str()));
  EXPECT_TRUE(doc.image_count_ == 1 && doc.current_->path == dir.File("a.bmp") && doc.current_->details->date[0]);

  doc.view_flags_ |= kViewBlendLoading;
  ASSERT_TRUE(OpenImageFile(doc, dir.File("a.bmp").c_str()));
  EXPECT_EQ(doc.image_count_, 1);
  EXPECT_NE(doc.pending_, doc.current_);  // waits for the blend
  MDIBCtrl::DeleteImage(doc.pending_), doc.pending_ = doc.current_;
}

TEST(SaveFlow, AFailedWriteLeavesTheExistingFileAlone) {
  TempDir dir;
  const std::string target = dir.File("keep.bmp"), temporary = target + ".tmp~";
  const std::vector<uint8_t> old{'o', 'l', 'd'};
  WriteFileBytes(target, old);
  Filter doc;
  Commit(doc, NewImage(40, 40, 24));
  ASSERT_EQ(access("/dev/full", W_OK), 0) << "the test needs /dev/full, which takes no byte";
  // Failures that root meets too: the temporary file cannot be created (a folder holds its
  // name), or every write to it fails (it leads to a device that takes nothing).
  // removed: the flow took its temporary away (a folder is not its to remove)
  const struct Row { const char* what; int code; int (*arrange)(const char* temporary); bool removed; } rows[] = {
      {"cannot open", kMsgCannotOpen, [](const char* t) { return mkdir(t, 0700); }, false},
      {"cannot write", kMsgWriteFailed, [](const char* t) { return symlink("/dev/full", t); }, true},
  };
  struct stat info;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    ASSERT_EQ(row.arrange(temporary.c_str()), 0);
    RecordingChannel channel;
    EXPECT_FALSE(SaveImageFile(doc, target.c_str(), 0));
    EXPECT_TRUE(channel.ShowedOnly(row.code));
    EXPECT_EQ(ReadFileBytes(target), old);
    EXPECT_EQ(lstat(temporary.c_str(), &info) != 0, row.removed);
    rmdir(temporary.c_str()), unlink(temporary.c_str());
  }
  // A complete write replaces the file and leaves no temporary behind.
  EXPECT_TRUE(SaveImageFile(doc, target.c_str(), 0));
  EXPECT_EQ(ReadFileBytes(target).size(), 54u + 40u * 120u);
  EXPECT_NE(lstat(temporary.c_str(), &info), 0);
}

TEST(SaveFlow, ALinkIsFollowedAndStaysALink) {
  TempDir dir;
  Filter doc;
  Commit(doc, NewImage(3, 2, 24));
  ASSERT_EQ(mkdir(dir.File("real").c_str(), 0700), 0);
  const std::vector<uint8_t> old{'o', 'l', 'd'};
  // points_to: as written in the link; target: the file that must receive the picture
  const struct Row { const char* link, *points_to, *target; } rows[] = {
      {"plain.bmp", "real/a.bmp", "real/a.bmp"},
      {"chain.bmp", "plain.bmp", "real/a.bmp"},                 // a link to a link
      {"real/rel.bmp", "b.bmp", "real/b.bmp"},                  // relative to the link's folder
      {"dangling.bmp", "real/new.bmp", "real/new.bmp"},        // the target does not exist yet
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.link);
    WriteFileBytes(dir.File(row.target), old);
    if (std::string(row.link) == "dangling.bmp") unlink(dir.File(row.target).c_str());
    ASSERT_EQ(symlink(row.points_to, dir.File(row.link).c_str()), 0);
    ASSERT_TRUE(SaveImageFile(doc, dir.File(row.link).c_str(), 0));
    struct stat info;
    EXPECT_TRUE(lstat(dir.File(row.link).c_str(), &info) == 0 && S_ISLNK(info.st_mode));
    EXPECT_EQ(ReadFileBytes(dir.File(row.target)).size(), 54u + 24u);
  }
}

TEST(OpenFlow, AFileWithAnotherFormatsExtensionOpensAsWhatItIs) {
  TempDir dir;
  Filter doc;
  Commit(doc, RandomImage(5, 3, 8, 9, 16));
  // written: saved under its own extension, then renamed; format: the one the opened image tells, 0: refused
  const struct Row { const char* written, *renamed; uint32_t format; } rows[] = {
      {"a.png", "a.jpg", kFormatPng}, {"b.gif", "b.bmp", kFormatGif}, {"c.bmp", "c.png", kFormatBmp},
      {"d.jpg", "d.gif", kFormatJpeg}, {"e.ppm", "e.png", kFormatPpm}, {"f.pgm", "f.ppm", kFormatPgm},
      {nullptr, "g.png", 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.renamed);
    if (row.written) {
      RecordingChannel quiet;
      ASSERT_TRUE(SaveImageFile(doc, dir.File(row.written).c_str(), 0));
      ASSERT_EQ(rename(dir.File(row.written).c_str(), dir.File(row.renamed).c_str()), 0);
    } else {
      WriteFileBytes(dir.File(row.renamed), {'n', 'o', 't', ' ', 'a', 'n', 'y'});
    }
    OpenedFile in(dir.File(row.renamed));
    EXPECT_EQ(in.ok, row.format != 0);
    EXPECT_TRUE(in.ok ? in.image()->format == row.format && in.channel.boxes.empty() && Width(in.image()) == 5
                      : in.channel.ShowedOnly(kMsgUnsupported));
  }
}

}  // namespace

// The information window's two columns: the file as loaded (an 8-bit BMP) and the current image
// as a 24-bit copy; after undo both columns give the same sizes.
TEST(Information, BothColumnsFollowTheDocument) {
  TempDir dir;
  const std::string path = dir.path() + "/p.bmp";
  Document d(RandomImage(5, 3, 8, 7, 16));
  ASSERT_TRUE(SaveImageFile(d.doc, path.c_str(), 0));
  Filter doc;
  ASSERT_TRUE(OpenImageFile(doc, path.c_str()));
  doc.pending_ = doc.MakeTrueColorCopy(doc.current_);
  ASSERT_TRUE(doc.Commit());
  auto joined = [&] {
    std::string s;
    for (const std::string& f : InformationFields(doc.as_loaded_, doc.current_, "LONG")) s += f + "|";
    return s.substr(0, s.find("0x")) + s.substr(s.find("|", s.find("0x")));  // the address varies
  };
  const std::string date = doc.current_->details->date;
  EXPECT_EQ(joined(), "BMP|DIB|5|5|3|3|8|24|16||Palette|TrueColor(24bit)|BI_RGB|BI_RGB|24|48|||LONG\r\n作成日時:" + date + "|");
  doc.Undo();
  EXPECT_EQ(joined(), "BMP|DIB|5|5|3|3|8|8|16|16|Palette|16 Palette|BI_RGB|BI_RGB|24|24|||LONG\r\n作成日時:" + date + "|");
}
