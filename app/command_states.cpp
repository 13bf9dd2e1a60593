#include "app/command_states.h"

#include <initializer_list>

#include "app/command_labels.h"
#include "app/command_table.h"
#include "document/mdib_ctrl.h"

namespace {

constexpr int kQuit = 101, kOpen = 102, kTrim = 129, kSlide = 130;

bool OneOf(int id, std::initializer_list<int> ids) {
  for (int i : ids)
    if (i == id) return true;
  return false;
}

}  // namespace

ModeRow CurrentModeRow(uint32_t view_flags, int image_count) {
  if (view_flags & kViewReducing) return ModeRow::kReducing;
  if (view_flags & kViewTrimming) return ModeRow::kTrimming;
  if (view_flags & kViewSlideshow) return ModeRow::kSlideshow;
  if (view_flags & kViewThumbnails) return ModeRow::kThumbnails;
  return image_count != 0 ? ModeRow::kImage : ModeRow::kNoImage;
}

ItemChange MenuItemChange(ModeRow row, int id) {
  if (id < kFirstCommand || id > kLastCommand) return ItemChange::kKeep;
  switch (row) {
    case ModeRow::kReducing:
      return id == kQuit ? ItemChange::kKeep : ItemChange::kDisable;
    case ModeRow::kTrimming:
      return id == kQuit ? ItemChange::kKeep : id == kTrim ? ItemChange::kEnable : ItemChange::kDisable;
    case ModeRow::kSlideshow:
      return id == kQuit ? ItemChange::kKeep : id == kSlide ? ItemChange::kEnable : ItemChange::kDisable;
    case ModeRow::kThumbnails:
      return ItemChange::kDisable;
    case ModeRow::kImage:
      return ItemChange::kEnable;
    case ModeRow::kNoImage:
      return OneOf(id, {101, 102, 130, 188, 132, 180, 177, 175, 189}) ? ItemChange::kEnable : ItemChange::kDisable;
  }
  return ItemChange::kKeep;
}

const char* MenuItemLabel(ModeRow row, int id) {
  if (id == kTrim) return row == ModeRow::kTrimming ? LABEL_129_MODE : LABEL_129;
  if (id == kSlide) return row == ModeRow::kSlideshow ? LABEL_130_MODE : LABEL_130;
  return nullptr;
}

int ToolbarState(ModeRow row, int id) {
  if (id < kFirstCommand || id > kLastCommand) return kStateKeep;
  switch (row) {
    case ModeRow::kReducing:
    case ModeRow::kThumbnails:
      return kStateGreyed;
    case ModeRow::kTrimming:
      return id == kQuit ? kStateKeep : id == kTrim ? kStatePressed : kStateGreyed;
    case ModeRow::kSlideshow:
      return id == kQuit ? kStateKeep : id == kSlide ? kStatePressed : kStateGreyed;
    case ModeRow::kImage:
      return kStateEnabled;
    case ModeRow::kNoImage:
      return OneOf(id, {kQuit, kOpen, 130, 132, 180}) ? kStateEnabled : kStateGreyed;
  }
  return kStateKeep;
}

int TooltipStringId(int id, uint32_t view_flags) {
  if ((view_flags & kViewSlideshow) && id == kSlide) return 332;
  if (!(view_flags & kViewSlideshow) && (view_flags & kViewTrimming) && id == kTrim) return 333;
  return id + 198;
}

bool IsDispatchedCommand(int id) {
  return id >= kFirstCommand && id <= kLastCommand && !OneOf(id, {181, 184, 185, 190});
}
