#include "formats/file_access.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "base/messages.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
#endif

const char* const kSearchPatterns[] = {"*.bmp", "*.jpg", "*.jpe", "*.png", "*.gif",
                                       "*.ppm", "*.pgm", "*.pbm", "END"};
const char* const kExtensions[] = {".bmp", ".jpg", ".jpe", ".png", ".gif", ".ppm", ".pgm", ".pbm", "end"};
const uint32_t kExtensionFormats[] = {kFormatBmp, kFormatJpeg, kFormatJpeg, kFormatPng,
                                      kFormatGif, kFormatPpm,  kFormatPgm,  kFormatPbm};
const char* const kFilterExtensions[8] = {"", ".bmp", ".jpg", ".png", ".gif", ".ppm", ".pgm", ".pbm"};

// Written with explicit lengths: each pair is label NUL pattern NUL, the list ends with NUL NUL.
const char kDialogFilter[] =
    "ビットマップ(*.bmp,*BMP)\0*.bmp\0"
    "JPEG(*.jpg,*jpe,*JPG,*JPE)\0*.jpg;*jpe\0"
    "PNG(*.png,*.PNG)\0*.png\0"
    "GIF(*.gif,*.GIF)\0*.gif\0"
    "PPM(*.ppm,*PPM)\0*.ppm\0"
    "PGM(*.pgm,*PGM)\0*.pgm\0"
    "PBM(*.pbm,*PBM)\0*.pbm\0"
    "ALL(*.*)\0*.*\0";

namespace {

bool EqualsIgnoreCase(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b)
    if (std::tolower(static_cast<unsigned char>(*a)) != std::tolower(static_cast<unsigned char>(*b))) return false;
  return *a == *b;
}

void CopyText(char* dst, const char* src, size_t size) {
  std::snprintf(dst, size, "%s", src ? src : "");
}

// Merge sort of the list by name; the right-hand entry is taken only when the left one compares
// greater, so equal names keep their order.
FileListEntry* SortList(FileListEntry* head) {
  if (!head || !head->next) return head;
  FileListEntry* slow = head;
  FileListEntry* fast = head->next;
  while (fast && fast->next) {
    slow = slow->next;
    fast = fast->next->next;
  }
  FileListEntry* right = slow->next;
  slow->next = nullptr;
  FileListEntry* left = SortList(head);
  right = SortList(right);
  FileListEntry merged{};
  FileListEntry* tail = &merged;
  while (left && right) {
    if (CompareNames(left->name, right->name) > 0) {
      tail->next = right;
      right = right->next;
    } else {
      tail->next = left;
      left = left->next;
    }
    tail = tail->next;
  }
  tail->next = left ? left : right;
  return merged.next;
}

// Calls found(name) for every regular file of the current folder that matches a "*.ext"
// pattern, ignoring case as the platform's search does.
template <class Found>
void SearchFolder(const char* pattern, Found found) {
#ifdef _WIN32
  WIN32_FIND_DATAA data;
  HANDLE h = FindFirstFileA(pattern, &data);
  if (h == INVALID_HANDLE_VALUE) return;
  do {
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) found(data.cFileName);
  } while (FindNextFileA(h, &data));
  FindClose(h);
#else
  const char* ext = pattern + 1;  // ".bmp"
  const size_t ext_len = std::strlen(ext);
  DIR* dir = opendir(".");
  if (!dir) return;
  while (dirent* e = readdir(dir)) {
    const size_t len = std::strlen(e->d_name);
    if (len < ext_len || !EqualsIgnoreCase(e->d_name + len - ext_len, ext)) continue;
    struct stat st;
    if (stat(e->d_name, &st) != 0 || !S_ISREG(st.st_mode)) continue;
    found(e->d_name);
  }
  closedir(dir);
#endif
}

}  // namespace

int CompareNames(const char* a, const char* b) {
#ifdef _WIN32
  return lstrcmpA(a, b);
#else
  const unsigned char* p = reinterpret_cast<const unsigned char*>(a);
  const unsigned char* q = reinterpret_cast<const unsigned char*>(b);
  int tie = 0;
  for (; *p && *q; ++p, ++q) {
    const int x = std::tolower(*p), y = std::tolower(*q);
    if (x != y) return x < y ? -1 : 1;
    if (!tie && *p != *q) tie = std::islower(*p) ? -1 : 1;  // lower case first
  }
  if (*p || *q) return *p ? 1 : -1;
  return tie;
#endif
}

bool CurrentFolder(char* out, size_t size) {
#ifdef _WIN32
  const DWORD n = GetCurrentDirectoryA(static_cast<DWORD>(size), out);
  return n > 0 && n < size;
#else
  return getcwd(out, size) != nullptr;
#endif
}

bool SetFolderOfPath(const char* path) {
  char folder[MAX_PATH];
  CopyText(folder, path, sizeof folder);
  char* cut = std::strrchr(folder, '\\');
#ifndef _WIN32
  char* slash = std::strrchr(folder, '/');
  if (!cut || (slash && slash > cut)) cut = slash;
#endif
  if (!cut) return false;
  if (cut == folder) cut[1] = '\0'; else *cut = '\0';
#ifdef _WIN32
  return SetCurrentDirectoryA(folder) != 0;
#else
  return chdir(folder) == 0;
#endif
}

bool FileTimeText(const char* path, char* out, size_t out_size) {
#ifdef _WIN32
  HANDLE h = CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  FILETIME created, local;
  SYSTEMTIME t;
  const BOOL got = GetFileTime(h, &created, nullptr, nullptr);
  CloseHandle(h);
  if (!got) return false;
  if (FileTimeToLocalFileTime(&created, &local) && FileTimeToSystemTime(&local, &t))
    std::snprintf(out, out_size, "%04d/%02d/%02d %02d:%02d:%02d", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
                  t.wSecond);
  return true;
#else
  struct stat st;
  if (stat(path, &st) != 0) return false;
  time_t when = st.st_mtime;  // not every POSIX file system keeps a creation time
  struct tm t;
  if (localtime_r(&when, &t))
    std::snprintf(out, out_size, "%04d/%02d/%02d %02d:%02d:%02d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday,
                  t.tm_hour, t.tm_min, t.tm_sec);
  return true;
#endif
}

void ResolveLinks(const char* path, char* out, size_t size) {
  CopyText(out, path, size);
#ifdef _WIN32
  // GetFinalPathNameByHandleA came with Vista: on XP, which has no file links, the path stands.
  using FinalPath = DWORD(WINAPI*)(HANDLE, LPSTR, DWORD, DWORD);
  static const FinalPath final_path = reinterpret_cast<FinalPath>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetFinalPathNameByHandleA")));
  if (!final_path) return;
  HANDLE h = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  char found[MAX_PATH + 16];
  const DWORD n = final_path(h, found, sizeof found, 0);
  CloseHandle(h);
  if (n == 0 || n >= sizeof found) return;
  const char* p = found;
  if (std::strncmp(p, "\\\\?\\UNC\\", 8) == 0) {
    char unc[MAX_PATH + 16];
    std::snprintf(unc, sizeof unc, "\\\\%s", p + 8);
    if (std::strlen(unc) < size) CopyText(out, unc, size);
    return;
  }
  if (std::strncmp(p, "\\\\?\\", 4) == 0) p += 4;
  if (std::strlen(p) < size) CopyText(out, p, size);
#else
  std::string current = path;
  for (int hop = 0; hop < 40; ++hop) {  // as many as the system itself follows
    struct stat st;
    if (lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) break;
    char target[4096];
    const ssize_t n = readlink(current.c_str(), target, sizeof target - 1);
    if (n <= 0) break;
    target[n] = '\0';
    const size_t slash = current.rfind('/');
    current = target[0] == '/' || slash == std::string::npos ? std::string(target) : current.substr(0, slash + 1) + target;
  }
  if (current.size() < size) CopyText(out, current.c_str(), size);
#endif
}

uint32_t FormatOfContent(const char* path) {
  uint8_t head[8] = {};
  std::FILE* f = std::fopen(path, "rb");
  if (!f) return kFormatNone;
  const size_t n = std::fread(head, 1, sizeof head, f);
  std::fclose(f);
  auto blank = [](uint8_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f' || c == '#'; };
  if (n >= 2 && head[0] == 'B' && head[1] == 'M') return kFormatBmp;
  if (n >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF) return kFormatJpeg;
  if (n >= 8 && std::memcmp(head, "\x89PNG\r\n\x1a\n", 8) == 0) return kFormatPng;
  if (n >= 6 && (std::memcmp(head, "GIF87a", 6) == 0 || std::memcmp(head, "GIF89a", 6) == 0)) return kFormatGif;
  if (n >= 3 && head[0] == 'P' && head[1] >= '1' && head[1] <= '6' && blank(head[2])) {
    static const uint32_t kByVariant[7] = {0, kFormatPbm, kFormatPgm, kFormatPpm, kFormatPbm, kFormatPgm, kFormatPpm};
    return kByVariant[head[1] - '0'];
  }
  return kFormatNone;
}

FileAccess::FileAccess() { path_[0] = '\0'; }

FileAccess::~FileAccess() { FreeList(); }

void FileAccess::SetPath(const char* path) { CopyText(path_, path, sizeof path_); }

uint32_t FileAccess::FormatOfName() {
  const size_t len = std::strlen(path_);
  if (len >= 4) {
    for (int i = 0; std::strcmp(kExtensions[i], "end") != 0; ++i)
      if (EqualsIgnoreCase(path_ + len - 4, kExtensions[i])) return kExtensionFormats[i];
  }
  ShowError(kMsgUnsupported);
  return kFormatNone;
}

bool FileAccess::SaveNameFix(const char* chosen, int filter_index) {
  SetPath(chosen);
  const char* dot = std::strrchr(path_, '.');
  if (dot) {
    for (int i = 0; std::strcmp(kExtensions[i], "end") != 0; ++i)
      if (EqualsIgnoreCase(dot, kExtensions[i])) return true;
  }
  if (filter_index >= 1 && filter_index <= 7) {
    const size_t len = std::strlen(path_);
    std::snprintf(path_ + len, sizeof path_ - len, "%s", kFilterExtensions[filter_index]);
    return true;
  }
  ShowWarning(kMsgNeedExtension, kCaptionWarning, false);
  return false;
}

void FileAccess::FolderFromArgument(const char* text) {
  char buffer[MAX_PATH];
  CopyText(buffer, text, sizeof buffer);
  if (std::strchr(buffer, '"')) {
    // Drop the first and the last character (the quotes around the path).
    const size_t len = std::strlen(buffer);
    if (len >= 2) {
      std::memmove(buffer, buffer + 1, len - 2);
      buffer[len - 2] = '\0';
    } else {
      buffer[0] = '\0';
    }
  }
  SetPath(buffer);
  SetFolderOfPath(path_);
}

void FileAccess::FreeList() {
  while (head_) {
    FileListEntry* next = head_->next;
    delete head_;
    head_ = next;
  }
  cursor_ = nullptr;
}

int FileAccess::ListFolder(char* folder) {
  CurrentFolder(folder, MAX_PATH);
  FreeList();
  FileListEntry* tail = nullptr;
  bool failed = false;
  for (int i = 0; std::strcmp(kSearchPatterns[i], "END") != 0; ++i) {
    SearchFolder(kSearchPatterns[i], [&](const char* name) {
      if (failed) return;
      FileListEntry* e = new (std::nothrow) FileListEntry{};
      if (!e) {
        failed = true;
        return;
      }
      CopyText(e->name, name, sizeof e->name);
      e->format = kExtensionFormats[i];
      if (tail) tail->next = e; else head_ = e;
      tail = e;
    });
  }
  if (failed) {
    FreeList();
    return 0;
  }
  if (!head_) return 0;
  head_ = SortList(head_);
  int count = 0;
  FileListEntry* previous = nullptr;
  for (cursor_ = head_;; cursor_ = cursor_->next) {
    cursor_->previous = previous;
    previous = cursor_;
    ++count;
    if (!cursor_->next) break;
  }
  return count;
}
