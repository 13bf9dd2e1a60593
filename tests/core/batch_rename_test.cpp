// Batch rename: the new names, the refused requests, and runs on a real folder and on a model of
// one in which no file may ever be lost.
#include <gtest/gtest.h>

#include <map>
#include <random>

#include "app/batch_rename.h"
#include "tests/core/test_support.h"

namespace {

TEST(BatchRename, RequestsRefusedBeforeAnyFileMoves) {
  const std::string hyou = "表示";  // the second byte of 表 is '\' in code page 932
  ASSERT_EQ(hyou[1], '\\');
  struct Case { std::string name, start; int code; } cases[] = {{"trip", "0001", -1}, {hyou, "1", -1}, {"a b", " 0010 ", -1}, {"trip", "999999999", -1},
               {"", "1", kMsgBadNewName}, {"a\tb", "1", kMsgBadNewName}, {"trip", "", kMsgBadStartNumber},
               {"trip", "12a", kMsgBadStartNumber}, {"trip", "-1", kMsgBadStartNumber},
               {"trip", "1000000000", kMsgBadStartNumber}};
  for (const char c : std::string("\\/:*?\"<>|"))
    EXPECT_EQ(CheckRenameRequest(("a" + std::string(1, c)).c_str(), "1"), kMsgBadNewName) << c;
  for (const Case& c : cases)
    EXPECT_EQ(CheckRenameRequest(c.name.c_str(), c.start.c_str()), c.code) << c.name << "|" << c.start;
  EXPECT_EQ(RenameStartNumber(" 0010 "), 10);
}

// "name=content ..." of a folder, sorted by name; every file's content is its first name.
std::string FolderText(const std::string& dir) {
  std::string s;
  for (const std::string& path : FilesIn(dir, "")) {
    const std::string name = path.substr(dir.size() + 1);
    if (name[0] == '.') continue;
    const std::vector<uint8_t> bytes = ReadFileBytes(path);
    s += (s.empty() ? "" : " ") + name + "=" + std::string(bytes.begin(), bytes.end());
  }
  return s;
}

TEST(BatchRename, RunsOnAFolderWithoutReplacingAnyFile) {
  // listed: the files of the plan; outside: files beside them
  struct Case { std::vector<std::string> listed, outside; long start; const char* after; int renamed, left; } cases[] = {
      {{"b.jpg", "a.bmp", "c.png"}, {}, 1, "t_0001.bmp=a.bmp t_0002.jpg=b.jpg t_0003.png=c.png", 3, 0},
      {{"b.jpg", "a.bmp"}, {}, 10, "t_0010.bmp=a.bmp t_0011.jpg=b.jpg", 2, 0},
      {{"b.jpg", "a.bmp"}, {}, 12345, "t_12345.bmp=a.bmp t_12346.jpg=b.jpg", 2, 0},
      // Extension from the last dot on, its case kept; order without case; a name listed twice once.
      {{"P.v2.JPG", "b.PNG", "a.gif", "a.gif"}, {}, 0,
       "t_0000.gif=a.gif t_0001.PNG=b.PNG t_0002.JPG=P.v2.JPG", 3, 0},
      // A new name held by a file outside the plan: that file stays, the run goes on.
      {{"a.bmp", "b.jpg", "c.png"}, {"t_0002.jpg"}, 1,
       "b.jpg=b.jpg t_0001.bmp=a.bmp t_0002.jpg=t_0002.jpg t_0003.png=c.png", 2, 1},
      // New names held by files of the plan that move on: they wait for them.
      {{"t_0001.bmp", "t_0002.bmp", "t_0003.bmp"}, {}, 2,
       "t_0002.bmp=t_0001.bmp t_0003.bmp=t_0002.bmp t_0004.bmp=t_0003.bmp", 3, 0},
      {{"a.bmp", "t_0002.bmp"}, {}, 2, "t_0002.bmp=a.bmp t_0003.bmp=t_0002.bmp", 2, 0},
      // Two files that want each other's name (10000 sorts before 9999).
      {{"t_10000.bmp", "t_9999.bmp"}, {}, 9999, "t_10000.bmp=t_9999.bmp t_9999.bmp=t_10000.bmp", 2, 0},
      // A chain that ends at a file outside the plan: every file of it stays.
      {{"t_0001.bmp", "t_0002.bmp"}, {"t_0003.bmp"}, 2,
       "t_0001.bmp=t_0001.bmp t_0002.bmp=t_0002.bmp t_0003.bmp=t_0003.bmp", 0, 2},
      // Named so already: nothing to do.
      {{"t_0001.bmp", "t_0002.jpg"}, {}, 1, "t_0001.bmp=t_0001.bmp t_0002.jpg=t_0002.jpg", 0, 0},
  };
  for (const Case& c : cases) {
    TempDir dir;
    for (const auto* list : {&c.listed, &c.outside})
      for (const std::string& f : *list) WriteFileBytes(dir.File(f), std::vector<uint8_t>(f.begin(), f.end()));
    const MoveFunction move = [&](const std::string& a, const std::string& b) {
      return MoveWithoutReplacing(dir.File(a), dir.File(b));
    };
    const RenameCounts counts = RunRename(PlanRename(c.listed, "t", c.start), move);
    EXPECT_EQ(FolderText(dir.path()), c.after);
    EXPECT_EQ(counts.renamed, c.renamed) << c.after;
    EXPECT_EQ(counts.left, c.left) << c.after;
  }
}

// Folders of numbered files renamed with random starts, on a model file system whose moves never
// replace and where one chosen move fails: every content survives, each file ends under its new
// name, under its old one, or (only where a move failed inside a ring) under a temporary one.
TEST(BatchRename, NoFileLostWhateverTheOrder) {
  std::mt19937 random(7);
  for (int round = 0; round < 400; ++round) {
    std::map<std::string, std::string> fs;
    // Around 10000 the name order is not the number order: rings appear.
    const long base = round % 3 == 0 ? 9995 : 0;
    std::vector<std::string> names;
    for (long n = base; n < base + 14; ++n)
      if (random() % 2) names.push_back(RenamedName(".bmp", "t", n));
    for (const std::string& n : names) fs[n] = n;
    const std::vector<RenamePair> plan = PlanRename(names, "t", base + static_cast<long>(random() % 12));
    const std::string failing = round % 2 && !plan.empty() ? plan[random() % plan.size()].to : "";
    const RenameCounts counts = RunRename(plan, [&](const std::string& a, const std::string& b) {
      if (b == failing || !fs.count(a) || fs.count(b)) return false;
      fs[b] = fs[a];
      fs.erase(a);
      return true;
    });
    std::map<std::string, std::string> where;  // content -> final name
    for (const auto& f : fs) where[f.second] = f.first;
    ASSERT_EQ(where.size(), names.size()) << "a file was lost in round " << round;
    int renamed = 0, unchanged = 0;
    for (const RenamePair& p : plan) {
      const std::string& now = where[p.from];
      renamed += now == p.to && p.from != p.to;
      unchanged += p.from == p.to;
      EXPECT_TRUE(now == p.to || now == p.from || (!failing.empty() && now.find(".~") != std::string::npos))
          << p.from << " ended as " << now << " in round " << round;
    }
    EXPECT_EQ(counts.renamed, renamed);
    EXPECT_EQ(counts.renamed + counts.left + unchanged, static_cast<int>(plan.size()));
    EXPECT_TRUE(!failing.empty() || counts.left == 0) << "round " << round;
  }
}

}  // namespace
