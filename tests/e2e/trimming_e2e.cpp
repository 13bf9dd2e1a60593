// Trimming mode in the real program: a band dragged by mouse messages over the sample picture,
// photographed during the drag; the release crops and gives the caption its boxes back.
#include <windows.h>

#include <gtest/gtest.h>

#include "tests/e2e/e2e_support.h"

namespace {

TEST(TrimmingEndToEnd, DragCropsTheSampleAndEndsTheMode) {
  Program p(work + "\\trimming", sample);
  ASSERT_TRUE(p.TitleBecomes(Title(sample, 1, 100))) << Text(p.Window());
  HWND window = p.Window();
  const LONG boxes = WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
  p.Post(WM_COMMAND, 129);
  ASSERT_TRUE(WaitFor([&] { return (GetWindowLongA(window, GWL_STYLE) & boxes) == 0; }));
  // The 640 x 480 sample at 100 %, centred in the client area below the 28-pixel toolbar band.
  RECT client;
  GetClientRect(window, &client);
  const int left = (client.right - 640) / 2, top = (client.bottom - 28 - 480) / 2 + 28;
  const int x0 = left + 100, y0 = top + 80, x1 = left + 400, y1 = top + 300;
  p.Post(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x0, y0));
  for (int i = 1; i <= 4; ++i)
    p.Post(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x0 + (x1 - x0) * i / 4, y0 + (y1 - y0) * i / 4));
  Screenshot("shot-trimming", 600);
  p.Post(WM_LBUTTONUP, 0, MAKELPARAM(x1, y1));
  EXPECT_TRUE(p.TitleBecomes(Title(sample, 2, 100))) << Text(p.Window());
  EXPECT_EQ(GetWindowLongA(window, GWL_STYLE) & boxes, boxes);
  Screenshot("shot-trimmed");
  p.Post(WM_COMMAND, 101);
  EXPECT_EQ(p.ExitCode(), 0);
}

}  // namespace
