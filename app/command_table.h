// The menu commands: id and menu label of every command of menu 500.
#pragma once

struct CommandEntry {
  int id;
  const char* label;  // CP932
};

constexpr int kFirstCommand = 101;
constexpr int kLastCommand = 192;

// Every command with a menu item, in id order; ends with {0, nullptr}.
extern const CommandEntry kCommandTable[];

// The menu label of a command id, or null when the id has no menu item.
const char* CommandLabel(int id);
