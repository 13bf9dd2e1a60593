// The mode rows where flags combine, the tooltip exceptions and the dispatched ids; the rows
// themselves are checked through the real menu and toolbar in the Win32 tests.
#include <gtest/gtest.h>

#include <string>

#include "app/command_states.h"
#include "document/mdib_ctrl.h"

namespace {

TEST(CommandStates, FirstMatchingRowWinsAndTheDispatchedIds) {
  EXPECT_EQ(CurrentModeRow(kViewThumbnails | kViewSlideshow, 1), ModeRow::kSlideshow);
  EXPECT_EQ(CurrentModeRow(kViewSlideshow | kViewTrimming, 1), ModeRow::kTrimming);
  EXPECT_EQ(CurrentModeRow(kViewReducing | kViewTrimming, 1), ModeRow::kReducing);
  EXPECT_EQ(CurrentModeRow(kViewSettings | kViewRenaming | kViewBlendLoading, 0), ModeRow::kNoImage);
  EXPECT_EQ(TooltipStringId(129, kViewSlideshow | kViewTrimming), 327);  // the slideshow takes precedence
  EXPECT_EQ(TooltipStringId(130, kViewSlideshow | kViewTrimming), 332);
  std::string undispatched;
  for (int id = 99; id <= 194; ++id)
    if (!IsDispatchedCommand(id)) undispatched += std::to_string(id) + " ";
  EXPECT_EQ(undispatched, "99 100 181 184 185 190 193 194 ");
}

}  // namespace
