#include "app/settings.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

const char* const kDirectory = "DIRECTORY";
const char* const kDirName = "DirName";
// The sections that are written whole, in file order after DIRECTORY.
const char* const kWholeSections[] = {"COLOR", "SLIDESHOW", "FLFILTER", "THUMBNAIL", "PPMPGMPBM"};

bool SameName(const std::string& a, const char* b) {
  if (a.size() != std::strlen(b)) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
  return s.substr(b, e - b);
}

// An ini text as sections of raw lines; lines before the first section belong to section "".
struct IniSection {
  std::string name;
  bool has_header;
  std::vector<std::string> lines;
};

std::vector<IniSection> SplitIni(const std::string& text) {
  std::vector<IniSection> sections{IniSection{"", false, {}}};
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    pos = end + 1;
    const std::string t = Trim(line);
    if (t.size() >= 2 && t.front() == '[') {
      const size_t close = t.find(']');
      if (close != std::string::npos) {
        sections.push_back(IniSection{Trim(t.substr(1, close - 1)), true, {}});
        continue;
      }
    }
    sections.back().lines.push_back(line);
  }
  return sections;
}

// Key of a "key=value" line, or "" for a line without one.
std::string LineKey(const std::string& line) {
  const size_t eq = line.find('=');
  return eq == std::string::npos ? std::string() : Trim(line.substr(0, eq));
}

int ReadInt(const std::string& ini, const char* section, const char* key, int fallback) {
  std::string v;
  if (!FindIniValue(ini, section, key, &v)) return fallback;
  return static_cast<int>(std::strtol(v.c_str(), nullptr, 10));
}

}  // namespace

uint32_t ParseColourText(const char* text) {
  return static_cast<uint32_t>(std::strtol(text, nullptr, 0));
}

bool FindIniValue(const std::string& ini, const char* section, const char* key, std::string* value) {
  for (const IniSection& s : SplitIni(ini)) {
    if (!s.has_header || !SameName(s.name, section)) continue;
    for (const std::string& line : s.lines) {
      if (!SameName(LineKey(line), key)) continue;
      *value = Trim(line.substr(line.find('=') + 1));
      return true;
    }
  }
  return false;
}

Settings ParseSettings(const std::string& ini, const char* default_dir) {
  Settings s;
  std::string v;
  s.bk_colour = ParseColourText(FindIniValue(ini, "COLOR", "BkColor", &v) ? v.c_str() : "0xFFFFFF");
  s.slide_interval = ReadInt(ini, "SLIDESHOW", "SlideInterval", 5);
  s.slide_mode = ReadInt(ini, "SLIDESHOW", "SlideMode", 1);
  s.filter_index = ReadInt(ini, "FLFILTER", "FlFilter", 2);
  s.thumb_width = ReadInt(ini, "THUMBNAIL", "ThumbWidth", 80);
  s.thumb_height = ReadInt(ini, "THUMBNAIL", "ThumbHeight", 80);
  s.pgm_save_mode = ReadInt(ini, "PPMPGMPBM", "PgmSaveMode", 0);
  // Only a whole number of pixels above zero replaces the size limit's default.
  if (FindIniValue(ini, "LIMIT", "MaxPixels", &v)) {
    char* end = nullptr;
    const unsigned long long n = std::strtoull(v.c_str(), &end, 10);
    if (end != v.c_str() && *end == '\0' && v[0] != '-' && n > 0) s.max_pixels = n;
  }
  const std::string dir = FindIniValue(ini, kDirectory, kDirName, &v) ? v : std::string(default_dir);
  std::snprintf(s.dir_name, sizeof s.dir_name, "%s", dir.c_str());
  return s;
}

std::string SectionText(const char* section, const Settings& s) {
  char text[100] = {};
  if (SameName(section, "COLOR"))
    std::snprintf(text, sizeof text, "%s = 0x%06x", "BkColor", static_cast<unsigned>(s.bk_colour));
  else if (SameName(section, "SLIDESHOW"))
    std::snprintf(text, sizeof text, "%s = %d\r\n%s = %d", "SlideInterval", s.slide_interval, "SlideMode",
                  s.slide_mode);
  else if (SameName(section, "FLFILTER"))
    std::snprintf(text, sizeof text, "%s = %d", "FlFilter", s.filter_index);
  else if (SameName(section, "THUMBNAIL"))
    std::snprintf(text, sizeof text, "%s = %d\r\n%s = %d", "ThumbWidth", s.thumb_width, "ThumbHeight",
                  s.thumb_height);
  else if (SameName(section, "PPMPGMPBM"))
    std::snprintf(text, sizeof text, "%s = %d", "PgmSaveMode", s.pgm_save_mode);
  return text;
}

std::string SettingsIniText(const std::string& old_ini, const Settings& s) {
  std::vector<IniSection> sections = SplitIni(old_ini);
  auto find = [&](const char* name) -> IniSection* {
    for (IniSection& sec : sections)
      if (sec.has_header && SameName(sec.name, name)) return &sec;
    return nullptr;
  };
  // DIRECTORY: only DirName changes.
  const std::string dir_line = std::string(kDirName) + "=" + s.dir_name;
  if (IniSection* d = find(kDirectory)) {
    bool set = false;
    for (std::string& line : d->lines)
      if (!set && SameName(LineKey(line), kDirName)) line = dir_line, set = true;
    if (!set) d->lines.push_back(dir_line);
  } else {
    sections.push_back(IniSection{kDirectory, true, {dir_line}});
  }
  // The other five: replaced whole, appended in order when new.
  for (const char* name : kWholeSections) {
    std::vector<std::string> lines;
    const std::string body = SectionText(name, s);
    for (size_t pos = 0; pos <= body.size();) {
      size_t end = body.find("\r\n", pos);
      if (end == std::string::npos) end = body.size();
      lines.push_back(body.substr(pos, end - pos));
      pos = end + 2;
    }
    if (IniSection* sec = find(name)) sec->lines = lines;
    else sections.push_back(IniSection{name, true, lines});
  }
  std::string out;
  for (const IniSection& sec : sections) {
    if (sec.has_header) out += "[" + sec.name + "]\r\n";
    for (const std::string& line : sec.lines) out += line + "\r\n";
  }
  return out;
}

std::string ReadTextFile(const char* path) {
  std::string text;
  FILE* f = std::fopen(path, "rb");
  if (!f) return text;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
  std::fclose(f);
  return text;
}

bool WriteTextFile(const char* path, const std::string& text) {
  const std::string temporary = std::string(path) + ".tmp~";
  FILE* f = std::fopen(temporary.c_str(), "wb");
  if (!f) return false;
  const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  if (std::fclose(f) != 0 || !written) {
    std::remove(temporary.c_str());
    return false;
  }
#ifdef _WIN32
  const bool replaced = MoveFileExA(temporary.c_str(), path, MOVEFILE_REPLACE_EXISTING) != 0;
#else
  const bool replaced = std::rename(temporary.c_str(), path) == 0;
#endif
  if (!replaced) std::remove(temporary.c_str());
  return replaced;
}

std::string SettingsPath(const char* folder) {
  char path[MAX_PATH + 16];
  std::snprintf(path, sizeof path, "%s\\%s", folder, "Tessamor.ini");
  return path;
}
