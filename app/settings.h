// The settings file Tessamor.ini: the values, their sections and keys and defaults, and the ini
// text read and written. The file is read and written as text here, so that it holds exactly the
// lines described below on every platform.
#pragma once
#include <cstdint>
#include <string>

#include "image/dib_image.h"

struct Settings {
  uint32_t bk_colour = 0xFFFFFF;  // COLOR BkColor, 0x00BBGGRR
  int slide_interval = 5;         // SLIDESHOW SlideInterval, seconds
  int slide_mode = 1;             // SLIDESHOW SlideMode: 1 fits large images in a slideshow
  int filter_index = 2;           // FLFILTER FlFilter: file-dialog filter 1..8
  int thumb_width = 80;           // THUMBNAIL ThumbWidth
  int thumb_height = 80;          // THUMBNAIL ThumbHeight
  int pgm_save_mode = 0;          // PPMPGMPBM PgmSaveMode: non-zero saves ASCII PNM
  char dir_name[MAX_PATH] = "";   // DIRECTORY DirName: the working directory
  uint64_t max_pixels = kDefaultMaxPixels;  // LIMIT MaxPixels: the largest image opened (read only)
};

// A BkColor text read as strtol with base 0 does: 0x… hexadecimal, 0… octal, else decimal;
// text it cannot read gives 0.
uint32_t ParseColourText(const char* text);

// The value of key in section of an ini text, as the profile reader gives it (names compared
// without case, blanks around key and value ignored); false when absent.
bool FindIniValue(const std::string& ini, const char* section, const char* key, std::string* value);

// Reads every setting from an ini text; a missing key keeps the default, a missing DirName
// becomes default_dir.
Settings ParseSettings(const std::string& ini, const char* default_dir);

// The text of one of the five replaced sections, as "Key = value" lines ("" for others).
std::string SectionText(const char* section, const Settings& s);

// The ini text after saving: DirName set alone in DIRECTORY, COLOR, SLIDESHOW, FLFILTER,
// THUMBNAIL and PPMPGMPBM replaced whole, every other section and line kept. A new file
// holds the six sections in that order. Lines end with CR LF.
std::string SettingsIniText(const std::string& old_ini, const Settings& s);

// Whole-file helpers: "" when the file cannot be read; the write goes through a temporary
// file so that a failed write leaves the old file.
std::string ReadTextFile(const char* path);
bool WriteTextFile(const char* path, const std::string& text);

// Settings file path: folder joined with "Tessamor.ini" by "%s\%s".
std::string SettingsPath(const char* folder);
