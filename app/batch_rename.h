// Batch rename: every image file of a folder gets one common name, an underscore, a running
// number of at least four digits and its own extension. The plan and the run are portable; the
// moves go through a function that never replaces a file, so no file of the folder is ever lost.
#pragma once
#include <functional>
#include <string>
#include <vector>

// The largest start number taken (nine digits: the counter never overflows).
constexpr long kMaxRenameStart = 999999999;

// Why a rename request cannot run, as a message code, or -1 when it can. The name must be a
// usable start of a file name (not empty, none of \ / : * ? " < > | or control characters; the
// second byte of a double-byte character is no character of its own); the start number a whole
// decimal number 0..kMaxRenameStart (blanks around it allowed).
int CheckRenameRequest(const char* name, const char* start);
// The start number of a text CheckRenameRequest accepted.
long RenameStartNumber(const char* start);

// The new name of one file: name + "_" + number as "%04ld" + the old name's extension (from its
// last "." on, the dot included; none when it has no dot).
std::string RenamedName(const std::string& old_name, const std::string& name, long number);

struct RenamePair {
  std::string from, to;
};
// The renames of a folder's files: in name order (the listing's order; sorted again here, the same
// name listed twice taken once), numbered from start.
std::vector<RenamePair> PlanRename(std::vector<std::string> old_names, const std::string& name, long start);

// Moves a file to a name that must not exist yet; false when it exists or the move fails.
using MoveFunction = std::function<bool(const std::string& from, const std::string& to)>;
// Renamed: files that got their new name. Left: files that could not (their target belongs to a
// file outside the plan, or the move failed); each keeps its old name. A file that already has its
// new name counts in neither.
struct RenameCounts {
  int renamed = 0;
  int left = 0;
};
// Runs a plan. A file whose new name is still held by another file of the plan waits until that
// one has moved; files that wait for each other in a ring go through a temporary name.
RenameCounts RunRename(const std::vector<RenamePair>& plan, const MoveFunction& move);

// The platform's move that never replaces: MoveFileA on Windows, link and unlink elsewhere.
bool MoveWithoutReplacing(const std::string& from, const std::string& to);

// The completion box's text: "処理を終了しました", a line break and what was done.
std::string RenameSummaryText(const RenameCounts& counts);
