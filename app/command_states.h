// Which commands the menu and the toolbar offer in each mode, as data: the first matching row
// of the view flags and the image count decides. The program applies these rows to menu 500
// on every popup and to the toolbar after every mode change.
#pragma once
#include <cstdint>

enum class ModeRow {
  kReducing,    // a colour reduction runs (view flag 0x400)
  kTrimming,    // trimming mode (0x020)
  kSlideshow,   // a slideshow runs (0x010)
  kThumbnails,  // the thumbnail browser is shown (0x100)
  kImage,       // an image is loaded
  kNoImage,
};

ModeRow CurrentModeRow(uint32_t view_flags, int image_count);

enum class ItemChange { kKeep, kEnable, kDisable };

// What the menu does with command id (101..192) in a row.
ItemChange MenuItemChange(ModeRow row, int id);

// The label item id shows in a row: the mode's own label for 129 in trimming mode and 130 in a
// slideshow, the command's label otherwise (so the item reads right again once the mode ends);
// null for ids whose label never changes.
const char* MenuItemLabel(ModeRow row, int id);

// Toolbar button states (TB_SETSTATE values) by row; kKeepState leaves a button as it was.
enum : int {
  kStateKeep = -1,
  kStateEnabled = 0x04,
  kStatePressed = 0x05,
  kStateGreyed = 0x10,
};
int ToolbarState(ModeRow row, int id);

// The string resource with the tooltip of toolbar button id: id + 198, or 332/333 for the
// slideshow and trimming buttons while their mode runs.
int TooltipStringId(int id, uint32_t view_flags);

// True for the ids the dispatcher handles: 101..192 except 181, 184, 185 and 190, which go to
// the default window procedure like every id outside the table.
bool IsDispatchedCommand(int id);
