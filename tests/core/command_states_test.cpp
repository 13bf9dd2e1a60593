// Menu availability, toolbar states, tooltips and the dispatched ids, row by row.
#include <gtest/gtest.h>

#include <string>

#include "app/command_labels.h"
#include "app/command_states.h"
#include "document/mdib_ctrl.h"

namespace {

// "e" enabled, "d" disabled, "k" kept, for every id 101..192.
std::string MenuRow(ModeRow row) {
  std::string s;
  for (int id = 101; id <= 192; ++id) {
    const ItemChange c = MenuItemChange(row, id);
    s += c == ItemChange::kEnable ? 'e' : c == ItemChange::kDisable ? 'd' : 'k';
  }
  return s;
}

std::string Ids(ModeRow row, char wanted) {
  std::string s;
  const std::string r = MenuRow(row);
  for (int id = 101; id <= 192; ++id)
    if (r[id - 101] == wanted) s += std::to_string(id) + " ";
  return s;
}

TEST(CommandStates, FirstMatchingRowWins) {
  EXPECT_EQ(CurrentModeRow(kViewStartFlags, 0), ModeRow::kNoImage);
  EXPECT_EQ(CurrentModeRow(kViewStartFlags, 3), ModeRow::kImage);
  EXPECT_EQ(CurrentModeRow(kViewThumbnails | kViewSlideshow, 1), ModeRow::kSlideshow);
  EXPECT_EQ(CurrentModeRow(kViewSlideshow | kViewTrimming, 1), ModeRow::kTrimming);
  EXPECT_EQ(CurrentModeRow(kViewReducing | kViewTrimming, 1), ModeRow::kReducing);
  EXPECT_EQ(CurrentModeRow(kViewSettings | kViewRenaming | kViewBlendLoading, 0), ModeRow::kNoImage);
}

TEST(CommandStates, MenuRows) {
  EXPECT_EQ(Ids(ModeRow::kNoImage, 'e'), "101 102 130 132 175 177 180 188 189 ");
  EXPECT_EQ(Ids(ModeRow::kImage, 'd'), "");
  EXPECT_EQ(Ids(ModeRow::kThumbnails, 'e') + Ids(ModeRow::kThumbnails, 'k'), "");
  EXPECT_EQ(Ids(ModeRow::kReducing, 'k') + Ids(ModeRow::kReducing, 'e'), "101 ");
  EXPECT_EQ(Ids(ModeRow::kTrimming, 'k') + Ids(ModeRow::kTrimming, 'e'), "101 129 ");
  EXPECT_EQ(Ids(ModeRow::kSlideshow, 'k') + Ids(ModeRow::kSlideshow, 'e'), "101 130 ");
  EXPECT_EQ(MenuItemChange(ModeRow::kImage, 100), ItemChange::kKeep);
  EXPECT_EQ(MenuItemChange(ModeRow::kImage, 193), ItemChange::kKeep);
}

TEST(CommandStates, ModeLabelsComeAndGo) {
  EXPECT_STREQ(MenuItemLabel(ModeRow::kTrimming, 129), LABEL_129_MODE);
  EXPECT_STREQ(MenuItemLabel(ModeRow::kTrimming, 130), LABEL_130);
  EXPECT_STREQ(MenuItemLabel(ModeRow::kSlideshow, 130), "スライドショー解除(&E)");
  // Once the slideshow is over the item reads as before.
  EXPECT_STREQ(MenuItemLabel(ModeRow::kImage, 130), "オートスライドショー(&A)");
  EXPECT_STREQ(MenuItemLabel(ModeRow::kNoImage, 129), LABEL_129);
  EXPECT_EQ(MenuItemLabel(ModeRow::kSlideshow, 108), nullptr);
}

TEST(CommandStates, ToolbarRows) {
  auto usable = [](ModeRow row) {
    std::string s;
    for (int id = 101; id <= 192; ++id) {
      const int st = ToolbarState(row, id);
      if (st == kStateEnabled) s += std::to_string(id) + " ";
      if (st == kStatePressed) s += std::to_string(id) + "* ";
      if (st == kStateKeep) s += std::to_string(id) + "? ";
    }
    return s;
  };
  EXPECT_EQ(usable(ModeRow::kNoImage), "101 102 130 132 180 ");
  EXPECT_EQ(usable(ModeRow::kReducing), "");
  EXPECT_EQ(usable(ModeRow::kThumbnails), "");
  EXPECT_EQ(usable(ModeRow::kTrimming), "101? 129* ");
  EXPECT_EQ(usable(ModeRow::kSlideshow), "101? 130* ");
  EXPECT_EQ(ToolbarState(ModeRow::kImage, 192), kStateEnabled);
  EXPECT_EQ(ToolbarState(ModeRow::kImage, 193), kStateKeep);
}

TEST(CommandStates, TooltipsAndDispatchedIds) {
  EXPECT_EQ(TooltipStringId(101, 0), 299);
  EXPECT_EQ(TooltipStringId(133, 0), 331);
  EXPECT_EQ(TooltipStringId(130, kViewSlideshow), 332);
  EXPECT_EQ(TooltipStringId(129, kViewTrimming), 333);
  EXPECT_EQ(TooltipStringId(129, kViewSlideshow | kViewTrimming), 327);  // slideshow takes precedence
  EXPECT_EQ(TooltipStringId(130, kViewTrimming), 328);

  std::string undispatched;
  for (int id = 99; id <= 194; ++id)
    if (!IsDispatchedCommand(id)) undispatched += std::to_string(id) + " ";
  EXPECT_EQ(undispatched, "99 100 181 184 185 190 193 194 ");
}

}  // namespace
