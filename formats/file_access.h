// A file path with the file-system services around it: the extension tables, the format of a
// name, the sorted listing of a folder's image files and a file's creation time.
#pragma once
#include <cstdint>

#include "image/dib_image.h"

struct FileListEntry {
  char name[MAX_PATH];
  uint32_t format;
  FileListEntry* next;
  FileListEntry* previous;
};

// Search patterns and extensions, in table order, each table ended by its end marker.
extern const char* const kSearchPatterns[];   // "*.bmp" ... "*.pbm", "END"
extern const char* const kExtensions[];       // ".bmp" ... ".pbm", "end"
extern const uint32_t kExtensionFormats[];    // FormatIndex of each row
// Default extension of each save-dialog filter index (1..7); [0] is unused.
extern const char* const kFilterExtensions[8];
// The dialogs' filter list: label, pattern, label, pattern ... ended by two NULs.
extern const char kDialogFilter[];
constexpr int kFilterCount = 8;  // filter 8 is "ALL(*.*)"

class FileAccess {
 public:
  FileAccess();
  virtual ~FileAccess();
  FileAccess(const FileAccess&) = delete;
  FileAccess& operator=(const FileAccess&) = delete;

  const char* path() const { return path_; }
  void SetPath(const char* path);

  // The format of the path's last four characters; 0 (after an error box) when none matches.
  uint32_t FormatOfName();
  // Takes a name chosen in the save dialog: a known extension stands, else the filter's default
  // extension is appended; with no filter (0 or 8) warns and returns false.
  bool SaveNameFix(const char* chosen, int filter_index);
  // Takes a path given on the command line (quoted or not) and makes its folder current.
  void FolderFromArgument(const char* text);
  // Lists the image files of the current folder, sorted by name; writes the folder into folder.
  int ListFolder(char* folder);
  void FreeList();

  FileListEntry* list_head() const { return head_; }
  FileListEntry* cursor_ = nullptr;

 protected:
  char path_[MAX_PATH];
  FileListEntry* head_ = nullptr;
};

// Creation time of a file as "YYYY/MM/DD hh:mm:ss" (local time); false when it cannot be read.
bool FileTimeText(const char* path, char* out, size_t out_size);

// The file a path stands for once symbolic links are followed (on Windows, the final path of an
// existing file: links and junctions resolved), so that a save replaces the file a link points
// to and not the link; the path itself when it is no link or the links cannot be followed.
void ResolveLinks(const char* path, char* out, size_t size);

// The format a file's first bytes announce: BMP, JPEG, PNG, GIF or PPM/PGM/PBM (by the magic);
// kFormatNone when they announce none of these, or the file cannot be read.
uint32_t FormatOfContent(const char* path);

// Orders two file names as the folder listing does: case-insensitive, ties broken with lower
// case first (the platform's word order on Windows).
int CompareNames(const char* a, const char* b);

// Current folder of the process, and changing it to the folder part of a path.
bool CurrentFolder(char* out, size_t size);
bool SetFolderOfPath(const char* path);
