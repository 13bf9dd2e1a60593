#include "app/batch_rename.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unordered_map>

#include "base/messages.h"
#include "formats/file_access.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// First byte of a double-byte character in code page 932.
bool IsLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// A name as the file system compares it: on Windows single-byte letters without case.
std::string FoldName(const std::string& name) {
  std::string folded = name;
#ifdef _WIN32
  for (size_t i = 0; i < folded.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(folded[i]);
    if (IsLeadByte(c) && i + 1 < folded.size()) ++i;
    else folded[i] = static_cast<char>(std::tolower(c));
  }
#endif
  return folded;
}

bool IsUsableName(const char* name) {
  if (!name || !*name) return false;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(name); *p; ++p) {
    if (IsLeadByte(*p) && p[1]) {
      ++p;  // the second byte may be any value, '\' included
      continue;
    }
    if (*p < 0x20 || std::strchr("\\/:*?\"<>|", *p)) return false;
  }
  return true;
}

bool ReadStart(const char* text, long* number) {
  if (!text) return false;
  while (*text == ' ' || *text == '\t') ++text;
  long value = 0;
  int digits = 0;
  for (; *text >= '0' && *text <= '9'; ++text, ++digits) {
    value = value * 10 + (*text - '0');
    if (value > kMaxRenameStart) return false;
  }
  while (*text == ' ' || *text == '\t') ++text;
  if (digits == 0 || *text) return false;
  *number = value;
  return true;
}

}  // namespace

int CheckRenameRequest(const char* name, const char* start) {
  long number = 0;
  if (!IsUsableName(name)) return kMsgBadNewName;
  if (!ReadStart(start, &number)) return kMsgBadStartNumber;
  return -1;
}

long RenameStartNumber(const char* start) {
  long number = 0;
  return ReadStart(start, &number) ? number : 0;
}

std::string RenamedName(const std::string& old_name, const std::string& name, long number) {
  char digits[32];
  std::snprintf(digits, sizeof digits, "%04ld", number);
  const size_t dot = old_name.rfind('.');
  return name + "_" + digits + (dot == std::string::npos ? std::string() : old_name.substr(dot));
}

std::vector<RenamePair> PlanRename(std::vector<std::string> old_names, const std::string& name, long start) {
  std::stable_sort(old_names.begin(), old_names.end(),
                   [](const std::string& a, const std::string& b) { return CompareNames(a.c_str(), b.c_str()) < 0; });
  old_names.erase(std::unique(old_names.begin(), old_names.end(),
                              [](const std::string& a, const std::string& b) { return FoldName(a) == FoldName(b); }),
                  old_names.end());
  std::vector<RenamePair> plan;
  long number = start;
  for (const std::string& old_name : old_names)
    plan.push_back(RenamePair{old_name, RenamedName(old_name, name, number++)});
  return plan;
}

RenameCounts RunRename(const std::vector<RenamePair>& plan, const MoveFunction& move) {
  struct Item {
    std::string current;  // where the file is now (its old name, or a temporary one)
    bool pending;
  };
  RenameCounts counts;
  std::vector<Item> items;
  std::unordered_map<std::string, size_t> holder;  // folded current name -> pending item
  std::unordered_map<std::string, size_t> waiter;  // folded new name -> the item that wants it
  for (size_t i = 0; i < plan.size(); ++i) {
    const bool pending = plan[i].from != plan[i].to;  // a file already named so stays as it is
    items.push_back(Item{plan[i].from, pending});
    if (!pending) continue;
    holder[FoldName(plan[i].from)] = i;
    waiter[FoldName(plan[i].to)] = i;
  }
  // Another pending file still holds item i's new name.
  auto blocked = [&](size_t i) {
    const auto h = holder.find(FoldName(plan[i].to));
    return h != holder.end() && h->second != i;
  };
  // Moves item i and then, one after the other, every file that was waiting for a name freed.
  auto move_chain = [&](size_t first) {
    for (size_t i = first;;) {
      Item& item = items[i];
      const std::string freed = FoldName(item.current);
      item.pending = false;
      holder.erase(freed);
      if (move(item.current, plan[i].to)) {
        ++counts.renamed;
      } else {
        ++counts.left;
        // From a temporary name back to its own; failing that it keeps the temporary one.
        if (item.current != plan[i].from) move(item.current, plan[i].from);
      }
      const auto w = waiter.find(freed);
      if (w == waiter.end() || !items[w->second].pending || blocked(w->second)) return;
      i = w->second;
    }
  };
  for (size_t i = 0; i < items.size(); ++i)
    if (items[i].pending && !blocked(i)) move_chain(i);
  // What is left waits in rings (every name wanted by one file only): one file of each ring steps
  // aside to a free temporary name, the ring then unwinds back to it.
  for (size_t i = 0; i < items.size(); ++i) {
    if (!items[i].pending) continue;
    Item& item = items[i];
    bool aside = false;
    for (int n = 1; n <= 100 && !aside; ++n) {
      const std::string temporary = plan[i].from + ".~" + std::to_string(n);
      if (holder.count(FoldName(temporary)) || waiter.count(FoldName(temporary))) continue;
      aside = move(item.current, temporary);
      if (aside) {
        holder.erase(FoldName(item.current));
        const std::string freed = item.current;
        item.current = temporary;
        holder[FoldName(temporary)] = i;
        // The file that wanted the old name starts the ring's moves.
        const auto w = waiter.find(FoldName(freed));
        if (w != waiter.end() && items[w->second].pending && !blocked(w->second)) move_chain(w->second);
      }
    }
    if (!aside) {  // cannot step aside: it stays, and so does every file waiting for it
      item.pending = false;
      holder.erase(FoldName(item.current));
      ++counts.left;
      for (auto w = waiter.find(FoldName(item.current)); w != waiter.end() && items[w->second].pending;
           w = waiter.find(FoldName(items[w->second].current))) {
        items[w->second].pending = false;
        holder.erase(FoldName(items[w->second].current));
        ++counts.left;
      }
    }
    if (items[i].pending && !blocked(i)) move_chain(i);
  }
  return counts;
}

bool MoveWithoutReplacing(const std::string& from, const std::string& to) {
#ifdef _WIN32
  return MoveFileA(from.c_str(), to.c_str()) != 0;  // refuses an existing target by itself
#else
  // A hard link is made only where nothing exists yet; the old name goes once the new one exists.
  if (link(from.c_str(), to.c_str()) == 0) {
    if (unlink(from.c_str()) == 0) return true;
    unlink(to.c_str());  // the old name could not go: no second name stays behind
    return false;
  }
  if (errno == EEXIST) return false;
  struct stat st;  // a file system without hard links: a plain rename onto a free name
  return lstat(to.c_str(), &st) != 0 && errno == ENOENT && std::rename(from.c_str(), to.c_str()) == 0;
#endif
}

std::string RenameSummaryText(const RenameCounts& counts) {
  char line[160];
  std::snprintf(line, sizeof line, MessageText(kMsgRenamedCount), counts.renamed);
  std::string text = std::string(MessageText(kMsgFinished)) + "\n" + line;
  if (counts.left > 0) {
    std::snprintf(line, sizeof line, MessageText(kMsgRenameLeft), counts.left);
    text += line;
  }
  return text;
}
