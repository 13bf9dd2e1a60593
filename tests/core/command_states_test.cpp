// Menu availability, toolbar states, tooltips and the dispatched ids, row by row.
#include <gtest/gtest.h>

#include <string>

#include "app/command_states.h"
#include "document/mdib_ctrl.h"

namespace {

TEST(CommandStates, FirstMatchingRowWins) {
  EXPECT_EQ(CurrentModeRow(kViewStartFlags, 0), ModeRow::kNoImage);
  EXPECT_EQ(CurrentModeRow(kViewStartFlags, 3), ModeRow::kImage);
  EXPECT_EQ(CurrentModeRow(kViewThumbnails | kViewSlideshow, 1), ModeRow::kSlideshow);
  EXPECT_EQ(CurrentModeRow(kViewSlideshow | kViewTrimming, 1), ModeRow::kTrimming);
  EXPECT_EQ(CurrentModeRow(kViewReducing | kViewTrimming, 1), ModeRow::kReducing);
  EXPECT_EQ(CurrentModeRow(kViewSettings | kViewRenaming | kViewBlendLoading, 0), ModeRow::kNoImage);
}

TEST(CommandStates, RowsKeepQuitWhereTheModeAllowsIt) {
  // The real menu and toolbar are checked row by row in the Win32 tests; here the rows that
  // leave an item as it was, and the labels that come back after a mode.
  EXPECT_EQ(MenuItemChange(ModeRow::kReducing, 101), ItemChange::kKeep);
  EXPECT_EQ(MenuItemChange(ModeRow::kThumbnails, 101), ItemChange::kDisable);
  EXPECT_EQ(ToolbarState(ModeRow::kTrimming, 101), kStateKeep);
  EXPECT_EQ(ToolbarState(ModeRow::kReducing, 101), kStateGreyed);
  EXPECT_EQ(MenuItemChange(ModeRow::kImage, 193), ItemChange::kKeep);
  EXPECT_STREQ(MenuItemLabel(ModeRow::kImage, 130), "オートスライドショー(&A)");
  EXPECT_EQ(MenuItemLabel(ModeRow::kSlideshow, 108), nullptr);
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
