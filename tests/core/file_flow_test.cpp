// File access, the open and save flows, and tessamor-cli from the outside.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "app/file_flow.h"
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

std::string Cli(const std::string& args, int* status) {
  std::string out;
  *status = RunCommand(std::string(TESSAMOR_CLI) + " " + args + " 2>&1", &out);
  return out;
}

TEST(FileAccess, FormatOfNameLooksAtTheLastFourCharacters) {
  RecordingChannel channel;
  FileAccess f;
  f.SetPath("/x/photo.JPG");
  EXPECT_EQ(f.FormatOfName(), static_cast<uint32_t>(kFormatJpeg));
  f.SetPath("/x/a.Pbm");
  EXPECT_EQ(f.FormatOfName(), static_cast<uint32_t>(kFormatPbm));
  EXPECT_TRUE(channel.boxes.empty());
  f.SetPath("/x/photo.jpeg");
  EXPECT_EQ(f.FormatOfName(), static_cast<uint32_t>(kFormatNone));
  EXPECT_TRUE(channel.ShowedOnly(kMsgUnsupported));
  EXPECT_EQ(channel.boxes[0].style, static_cast<unsigned>(MB_ICONHAND));
}

TEST(FileAccess, SaveNameFixAppendsTheFiltersExtensionOrWarns) {
  RecordingChannel channel;
  FileAccess f;
  EXPECT_TRUE(f.SaveNameFix("C:\\p\\picture", 3));
  EXPECT_STREQ(f.path(), "C:\\p\\picture.png");
  EXPECT_TRUE(f.SaveNameFix("C:\\p\\picture.PNG", 1));
  EXPECT_STREQ(f.path(), "C:\\p\\picture.PNG");
  EXPECT_TRUE(channel.boxes.empty());
  EXPECT_FALSE(f.SaveNameFix("C:\\p\\picture", 8));
  ASSERT_TRUE(channel.ShowedOnly(kMsgNeedExtension));
  EXPECT_EQ(channel.boxes[0].caption, "警告");
  EXPECT_EQ(channel.boxes[0].style, static_cast<unsigned>(MB_ICONEXCLAMATION));
}

TEST(FileAccess, ListFolderSortsByNameAndKeepsEachPatternsFormat) {
  TempDir dir;
  for (const char* name : {"b.png", "A.bmp", "a.gif", "notes.txt", "c.JPE", "a.bmp"})
    WriteFileBytes(dir.File(name), {0});
  InFolder(dir.path(), [&] {
    FileAccess f;
    char folder[MAX_PATH];
    ASSERT_EQ(f.ListFolder(folder), 5);
    std::vector<std::string> names;
    std::vector<uint32_t> formats;
    for (FileListEntry* e = f.list_head(); e; e = e->next) {
      names.push_back(e->name);
      formats.push_back(e->format);
      if (e->next) {
        EXPECT_EQ(e->next->previous, e);
      }
    }
    EXPECT_EQ(names, (std::vector<std::string>{"a.bmp", "A.bmp", "a.gif", "b.png", "c.JPE"}));
    EXPECT_EQ(formats[2], static_cast<uint32_t>(kFormatGif));
    EXPECT_EQ(formats[4], static_cast<uint32_t>(kFormatJpeg));
    EXPECT_EQ(f.list_head()->previous, nullptr);
    EXPECT_STREQ(f.cursor_->name, "c.JPE");  // left on the last entry
  });
  TempDir empty;
  InFolder(empty.path(), [&] {
    FileAccess f;
    char folder[MAX_PATH];
    EXPECT_EQ(f.ListFolder(folder), 0);
    EXPECT_EQ(f.list_head(), nullptr);
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
  doc.pending_ = NewImage(3, 3, 24).release();
  doc.Commit();
  ASSERT_TRUE(doc.RunOperation(108) && doc.Commit());
  const DibImage* current = doc.current_;
  WriteFileBytes(dir.File("broken.bmp"), {'B', 'M', 1, 2, 3});
  RecordingChannel channel;
  EXPECT_FALSE(OpenImageFile(doc, dir.File("broken.bmp").c_str()));
  EXPECT_EQ(doc.image_count_, 2);
  EXPECT_EQ(doc.current_, current);
  // An unknown extension: the error box of the lookup, then the factory's warning.
  channel.boxes.clear();
  EXPECT_FALSE(OpenImageFile(doc, dir.File("a.tif").c_str()));
  ASSERT_EQ(channel.boxes.size(), 2u);
  EXPECT_EQ(channel.boxes[0].style, static_cast<unsigned>(MB_ICONHAND));
  EXPECT_EQ(channel.boxes[1].style, static_cast<unsigned>(MB_ICONEXCLAMATION));
  EXPECT_EQ(channel.boxes[1].text, MessageText(kMsgUnsupported));
  EXPECT_EQ(doc.image_count_, 2);
}

TEST(OpenFlow, ALoadReplacesTheDocumentUnlessABlendLoadsItsSecondImage) {
  TempDir dir;
  Filter doc;
  doc.pending_ = NewImage(3, 3, 24).release();
  doc.Commit();
  ASSERT_TRUE(SaveImageFile(doc, dir.File("a.bmp").c_str(), 0));
  ASSERT_TRUE(doc.RunOperation(108) && doc.Commit());
  ASSERT_TRUE(OpenImageFile(doc, dir.File("a.bmp").c_str()));
  EXPECT_EQ(doc.image_count_, 1);
  EXPECT_STREQ(doc.current_->path, dir.File("a.bmp").c_str());
  EXPECT_FALSE(doc.current_->details->date[0] == '\0');

  doc.view_flags_ |= kViewBlendLoading;
  ASSERT_TRUE(OpenImageFile(doc, dir.File("a.bmp").c_str()));
  EXPECT_EQ(doc.image_count_, 1);
  EXPECT_NE(doc.pending_, doc.current_);  // waits for the blend
  MDIBCtrl::DeleteImage(doc.pending_);
  doc.pending_ = doc.current_;
}

TEST(SaveFlow, AFailedWriteLeavesTheExistingFileAlone) {
  TempDir dir;
  const std::string target = dir.File("keep.bmp"), temporary = target + ".tmp~";
  const std::vector<uint8_t> old{'o', 'l', 'd'};
  WriteFileBytes(target, old);
  Filter doc;
  doc.pending_ = NewImage(40, 40, 24).release();
  doc.Commit();
  ASSERT_EQ(access("/dev/full", W_OK), 0) << "the test needs /dev/full, which takes no byte";
  // Failures that root meets too: the temporary file cannot be created (a folder holds its
  // name), or every write to it fails (it leads to a device that takes nothing).
  const struct Row {
    const char* what;
    int code;
    int (*arrange)(const char* temporary);
    bool removed;  // the flow took its temporary away (a folder is not its to remove)
  } rows[] = {
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
    rmdir(temporary.c_str());
    unlink(temporary.c_str());
  }
  // A complete write replaces the file and leaves no temporary behind.
  EXPECT_TRUE(SaveImageFile(doc, target.c_str(), 0));
  EXPECT_EQ(ReadFileBytes(target).size(), 54u + 40u * 120u);
  EXPECT_NE(lstat(temporary.c_str(), &info), 0);
}

TEST(SaveFlow, ALinkIsFollowedAndStaysALink) {
  TempDir dir;
  Filter doc;
  doc.pending_ = NewImage(3, 2, 24).release();
  doc.Commit();
  ASSERT_EQ(mkdir(dir.File("real").c_str(), 0700), 0);
  const std::vector<uint8_t> old{'o', 'l', 'd'};
  const struct Row {
    const char* link;
    const char* points_to;  // as written in the link
    const char* target;     // the file that must receive the picture
  } rows[] = {
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
    ASSERT_EQ(lstat(dir.File(row.link).c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_EQ(ReadFileBytes(dir.File(row.target)).size(), 54u + 24u);
  }
}

TEST(OpenFlow, AFileWithAnotherFormatsExtensionOpensAsWhatItIs) {
  TempDir dir;
  Filter doc;
  doc.pending_ = NewImage(5, 3, 8, 16).release();
  FillRandom(doc.pending_, 9);
  doc.Commit();
  const struct Row {
    const char* written;  // saved under its own extension, then renamed
    const char* renamed;
    uint32_t format;      // the format the opened image tells; 0: refused
  } rows[] = {
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
    if (in.ok) {
      EXPECT_EQ(in.image()->format, row.format);
      EXPECT_TRUE(in.channel.boxes.empty());
      EXPECT_EQ(Width(in.image()), 5);
    } else {
      EXPECT_TRUE(in.channel.ShowedOnly(kMsgUnsupported));
    }
  }
}

TEST(CommandLine, ReadsAppliesWritesAndReports) {
  TempDir dir;
  int status;
  Cli("--sample " + dir.File("s.bmp"), &status);
  ASSERT_EQ(status, 0);
  std::string out = Cli("--info " + dir.File("s.bmp"), &status);
  EXPECT_EQ(status, 0);
  EXPECT_NE(out.find("format: BMP"), std::string::npos) << out;
  EXPECT_NE(out.find("size: 640 x 480"), std::string::npos) << out;
  EXPECT_NE(out.find("bits per pixel: 24"), std::string::npos) << out;
  EXPECT_NE(out.find("colour form: TrueColor(24bit)"), std::string::npos) << out;
  EXPECT_NE(out.find("compression: BI_RGB"), std::string::npos) << out;

  Cli(dir.File("s.bmp") + " --cmd 108 --cmd 108 -o " + dir.File("twice.bmp"), &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(ReadFileBytes(dir.File("twice.bmp")), ReadFileBytes(dir.File("s.bmp")));
  Cli(dir.File("s.bmp") + " --cmd 109 -o " + dir.File("grey.bmp"), &status);
  EXPECT_EQ(status, 0);
  Filter doc;
  ASSERT_TRUE(OpenImageFile(doc, dir.File("grey.bmp").c_str()));
  EXPECT_TRUE(Filter::IsGrayImage(doc.current_));

  out = Cli("--help", &status);
  EXPECT_EQ(status, 0);
  EXPECT_NE(out.find(u8"108  negative          ネガ変換\n"), std::string::npos);  // UTF-8 on the terminal
}

TEST(CommandLine, FailuresExitWithOneAndAMessage) {
  TempDir dir;
  int status;
  std::string out = Cli(dir.File("missing.bmp") + " -o " + dir.File("x.bmp"), &status);
  EXPECT_EQ(status, 1);
  EXPECT_NE(out.find(u8"ファイルをオープンできませんでした!!"), std::string::npos) << out;
  WriteFileBytes(dir.File("bad.bmp"), {'B', 'M', 0, 0});
  Cli("--info " + dir.File("bad.bmp"), &status);
  EXPECT_EQ(status, 1);
  Cli(dir.File("bad.bmp") + " --cmd 999 -o " + dir.File("x.bmp"), &status);
  EXPECT_EQ(status, 1);
  Cli("--sample " + dir.File("s.bmp"), &status);
  // Ids that an int cannot hold never wrap round to a known one (2^32 + 108), nor do limits.
  for (const char* args : {" --cmd 4294967404", " --cmd -108", " --cmd 108x", " --max-pixels 0", " --max-pixels -5",
                           " --max-pixels 99999999999"}) {
    out = Cli(dir.File("s.bmp") + args + " -o " + dir.File("y.bmp"), &status);
    EXPECT_EQ(status, 1) << args;
    EXPECT_NE(out.find("see --help"), std::string::npos) << args << out;
  }
  EXPECT_TRUE(ReadFileBytes(dir.File("y.bmp")).empty());
  // A refusal's reason on a line of its own, under the box's text; the size limit as an option.
  out = Cli("--max-pixels 1000 --info " + dir.File("s.bmp"), &status);
  EXPECT_EQ(status, 1);
  EXPECT_NE(out.find(u8"誤っています!!\nreason: too large for the size limit: 640 x 480 is 307200 pixels, the limit is 1000\n"),
            std::string::npos) << out;
  Cli("--max-pixels 307200 --info " + dir.File("s.bmp"), &status);
  EXPECT_EQ(status, 0);
  Cli("", &status);
  EXPECT_EQ(status, 1);
}

}  // namespace
