// The dialog protocol beside the dialogs themselves: the two windows open once and close without
// making the main window forget the adjustment dialog; a blend whose file dialog is cancelled
// leaves nothing behind; a document change closes an adjustment dialog as its cancel would.
#include <windows.h>

#include <gtest/gtest.h>

#include "app/dialogs_win32.h"
#include "app/resource_ids.h"
#include "win32_support.h"

namespace {

uint32_t Ramp(int x, int y) { return static_cast<uint32_t>(x * 0x100000 + y * 0x1000 + 0x30); }

// Cancels the first dialog box of this thread that shows while a modal loop runs.
void CALLBACK CancelBox(HWND, UINT, UINT_PTR timer, DWORD) {
  for (HWND w = nullptr; (w = FindWindowExA(nullptr, w, "#32770", nullptr));) {
    if (GetWindowThreadProcessId(w, nullptr) == GetCurrentThreadId() && IsWindowVisible(w) &&
        w != Doc().info_window_ && w != Doc().histogram_window_ && w != Doc().dialog_window_) {
      PostMessageA(w, WM_COMMAND, IDCANCEL, 0);
      KillTimer(nullptr, timer);
      return;
    }
  }
}

TEST(DialogProtocol, WindowsOpenOnceAndCloseWithoutForgettingTheAdjustment) {
  ResetDocument();
  ASSERT_TRUE(OpenByMessage(WriteBmp24("d.bmp", 8, 6, Ramp)));
  CmdClass& c = Doc();
  Command(104);
  Command(105);
  const HWND info = c.info_window_, histogram = c.histogram_window_;
  ASSERT_TRUE(info && histogram);
  Command(104);  // open already: the same window
  EXPECT_EQ(c.info_window_, info);
  Command(116);
  const HWND gamma = c.dialog_window_;
  ASSERT_NE(gamma, nullptr);
  EXPECT_EQ(c.open_windows_, kBitInformation | kBitHistogram | kBitGamma);
  SendMessageA(info, WM_CLOSE, 0, 0);
  SendMessageA(histogram, WM_CLOSE, 0, 0);
  PumpMessages();
  EXPECT_TRUE(!c.info_window_ && !c.histogram_window_ && !c.histogram_ && !IsWindow(info));
  EXPECT_EQ(c.dialog_window_, gamma);
  EXPECT_EQ(c.open_windows_, kBitGamma);
  // Undo changes the document: the gamma dialog goes as cancelled, with its copies.
  Command(106);
  EXPECT_TRUE(!c.dialog_window_ && !IsWindow(gamma) && !c.work_ && c.pending_ == c.current_);
  EXPECT_EQ(c.open_windows_, 0u);
  EXPECT_EQ(c.image_count_, 1);
}

TEST(DialogProtocol, CancelledBlendLeavesNothingBehind) {
  ResetDocument();
  ASSERT_TRUE(OpenByMessage(WriteBmp24("b.bmp", 8, 6, Ramp)));
  CmdClass& c = Doc();
  const DibImage* const current = c.current_;
  for (int command : {131, 155}) {
    SetTimer(nullptr, 0, 200, CancelBox);
    Command(command);
    EXPECT_EQ(c.view_flags_ & kViewBlendLoading, 0u) << command;
    EXPECT_TRUE(c.current_ == current && c.pending_ == current && !c.work_ && !c.dialog_window_) << command;
    EXPECT_EQ(c.image_count_, 1) << command;
  }
  // The next open replaces the document again.
  ASSERT_TRUE(OpenByMessage(WriteBmp24("c.bmp", 5, 4, Ramp)));
  EXPECT_EQ(c.image_count_, 1);
  EXPECT_EQ(Width(c.current_), 5);
}

}  // namespace
