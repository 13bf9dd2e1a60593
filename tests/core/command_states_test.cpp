// Where view flags combine, the first matching row wins, and the slideshow's tooltip before
// trimming's; the single rows are checked through the real menu and toolbar in the Win32 tests.
#include <gtest/gtest.h>

#include "app/command_states.h"
#include "document/mdib_ctrl.h"

namespace {

TEST(CommandStates, FirstMatchingRowWins) {
  EXPECT_EQ(CurrentModeRow(kViewThumbnails | kViewSlideshow, 1), ModeRow::kSlideshow);
  EXPECT_EQ(CurrentModeRow(kViewSlideshow | kViewTrimming, 1), ModeRow::kTrimming);
  EXPECT_EQ(CurrentModeRow(kViewReducing | kViewTrimming, 1), ModeRow::kReducing);
  EXPECT_EQ(CurrentModeRow(kViewSettings | kViewRenaming | kViewBlendLoading, 0), ModeRow::kNoImage);
  EXPECT_EQ(TooltipStringId(129, kViewSlideshow | kViewTrimming), 327);
  EXPECT_EQ(TooltipStringId(130, kViewSlideshow | kViewTrimming), 332);
}

}  // namespace
