// The adjustment dialogs in the real main window: start values, trackbar moves and buttons against
// plain per-pixel reference formulas, OK as one undo step, every way of cancelling, a second
// command while one is open; rotation, typed resize factors and their refusals, the alpha blend.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "app/dialogs_win32.h"
#include "app/file_flow.h"
#include "app/resource_ids.h"
#include "win32_support.h"

namespace {

const uint32_t kColours[3][5] = {{0x010180, 0xFF0000, 0x808080, 0x7F8000, 0x00FF01},
                                 {0xFFFFFF, 0x000000, 0x123456, 0xC0FFEE, 0x40C0FF},
                                 {0x0A141E, 0xFE7F02, 0x3C3C3C, 0x00FF00, 0x9000E0}};
uint32_t Colour(int x, int y) { return kColours[y][x]; }
uint32_t Other(int x, int y) { return 0xFFFFFF - kColours[2 - y][4 - x]; }
constexpr uint32_t kAny = 0x1000000;  // a pixel not looked at

int Clamp(int v) { return v < 0 ? 0 : v > 255 ? 255 : v; }
uint32_t Rgb(int r, int g, int b) { return static_cast<uint32_t>(Clamp(r) << 16 | Clamp(g) << 8 | Clamp(b)); }
uint32_t EachChannel(uint32_t c, int (*f)(int)) { return Rgb(f(c >> 16), f(c >> 8 & 255), f(c & 255)); }
bool Grey(uint32_t c) { return (c >> 16) == (c & 255) && (c >> 8 & 255) == (c & 255); }

// The pixels of an image (5 x 3 unless told) that differ from want(x, y).
template <class Want>
std::string Mismatches(const DibImage* image, Want want, int width = 5, int height = 3) {
  std::string out;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      if (want(x, y) != kAny && Pixel(image, x, y) != want(x, y))
        out += std::to_string(x) + "," + std::to_string(y) + " ";
  return out;
}

bool IsTrackbar(HWND item) {
  char cls[32] = "";
  GetClassNameA(item, cls, sizeof cls);
  return std::string(cls) == TRACKBAR_CLASSA;
}

// The title (id 0), "id=text" of edits and labels, "id=low..high@position" of trackbars.
std::string Controls(HWND dialog, std::initializer_list<int> ids) {
  std::string s = *ids.begin() ? "" : WindowText(dialog);
  for (int id : ids) {
    HWND item = GetDlgItem(dialog, id);
    auto get = [item](UINT message) { return std::to_string(SendMessageA(item, message, 0, 0)); };
    if (id) s += " " + std::to_string(id) + "=" + (IsTrackbar(item) ? get(TBM_GETRANGEMIN) + ".." +
                 get(TBM_GETRANGEMAX) + "@" + get(TBM_GETPOS) : ItemText(id));
  }
  return s;
}

// A trackbar dragged to position (the message a drag ends with), or a button pressed.
void Move(HWND dialog, int control, int position = 0) {
  HWND item = GetDlgItem(dialog, control);
  if (!IsTrackbar(item)) return Press(control);
  SendMessageA(item, TBM_SETPOS, TRUE, position);
  const UINT message = GetWindowLongA(item, GWL_STYLE) & TBS_VERT ? WM_VSCROLL : WM_HSCROLL;
  SendMessageA(dialog, message, TB_ENDTRACK, reinterpret_cast<LPARAM>(item));
  PumpMessages();
}

// The image count and whether anything of a dialog is left: copies, the window, its bits, the blend flag.
std::string Left() {
  const CmdClass& c = Doc();
  const bool left = c.work_ || c.pending_ != c.current_ || c.dialog_window_ || c.open_windows_ ||
                    (c.view_flags_ & kViewBlendLoading);
  return std::to_string(c.image_count_) + (left ? " with leftovers" : "");
}

HWND OpenWith(int command) {
  EXPECT_TRUE(OpenNew("adjust.bmp", 5, 3, Colour));
  Command(command);
  return Doc().dialog_window_;
}

struct Step {
  int control, position;
};

const struct PreviewCase {
  int command;
  std::initializer_list<int> controls;
  const char *start, *moved;  // the controls before (nothing: not looked at) and after the steps
  std::vector<Step> steps;
  uint32_t (*want)(uint32_t);
} kPreviews[] = {
    {116, {0, IDC_GAMMA_TRACK, IDC_GAMMA_EDIT}, "γ補正 639=1..300@100 640=1.00", "γ補正 639=1..300@1 640=0.01",
     {{IDC_GAMMA_TRACK, 1}},
     [](uint32_t c) {
       return EachChannel(c, [](int v) { return static_cast<int>(std::pow(v / 255.0, 0.01) * 255.0); });
     }},
    // Left trackbar at the top, the right one at the bottom: the negative.
    {117, {IDC_CONTRAST_A, IDC_CONTRAST_B, IDC_CONTRAST_C, IDC_CONTRAST_D},
     " 664=0..255@255 665=0..255@0 662=0..255@255 663=0..255@0",
     " 664=0..255@0 665=0..255@255 662=0..255@255 663=0..255@0",
     {{IDC_CONTRAST_A, 0}, {IDC_CONTRAST_B, 255}}, [](uint32_t c) { return 0xFFFFFF - c; }},
    // Below d the output is 255 - a, above c 255 - b, between them the line through both ends.
    {117, {IDC_CONTRAST_C, IDC_CONTRAST_D}, "", " 662=0..255@192 663=0..255@64",
     {{IDC_CONTRAST_A, 200}, {IDC_CONTRAST_D, 64}, {IDC_CONTRAST_C, 192}},
     [](uint32_t c) { return EachChannel(c, [](int v) { return v < 64 ? 55 : v > 192 ? 255 : 200 * v / 255 + 55; }); }},
    {153, {0, IDC_GRADATION_TRACK, IDC_GRADATION_EDIT}, "階調縮小 683=1..8@8 684=256", "階調縮小 683=1..8@1 684=2",
     {{IDC_GRADATION_TRACK, 1}}, [](uint32_t c) { return EachChannel(c, [](int v) { return v < 128 ? 0 : 128; }); }},
    {121, {0, IDC_ADJUST_LABEL1, IDC_ADJUST_TRACK1, IDC_ADJUST_EDIT1, IDC_ADJUST_LABEL3, IDC_ADJUST_EDIT3},
     "RGB調整 686=赤(R) 697=-255..255@0 691=0 688=青(B) 693=0", "RGB調整 686=赤(R) 697=-255..255@100 691=100 688=青(B) 693=-50",
     {{IDC_ADJUST_TRACK1, 100}, {IDC_ADJUST_TRACK3, -50}},
     [](uint32_t c) { return Rgb((c >> 16) + 100, c >> 8 & 255, (c & 255) - 50); }},
    // Saturation +1.00 keeps pure red and turns a grey (hue 0) red; hue +120 turns the primaries.
    {122, {0, IDC_ADJUST_LABEL1, IDC_ADJUST_TRACK1, IDC_ADJUST_TRACK2, IDC_ADJUST_EDIT2, IDC_ADJUST_TRACK3},
     "HSV変換 686=色相(H) 697=0..360@0 698=-100..100@0 692=0.00 699=-100..100@0",
     "HSV変換 686=色相(H) 697=0..360@0 698=-100..100@100 692=1.00 699=-100..100@0", {{IDC_ADJUST_TRACK2, 100}},
     [](uint32_t c) { return c == 0xFF0000 ? c : Grey(c) ? c & 0xFF0000 : kAny; }},
    {122, {IDC_ADJUST_EDIT1}, "", " 691=120", {{IDC_ADJUST_TRACK1, 120}},
     [](uint32_t c) { return c == 0xFF0000 ? 0x00FF00 : c == 0x00FF00 ? 0x0000FF : Grey(c) ? c : kAny; }},
    {192, {0, IDC_BALANCE_LABEL, IDC_BALANCE_TRACK, IDC_BALANCE_EDIT}, "ホワイトバランス調整 736=色温度 735=-255..255@0 741=0",
     "ホワイトバランス調整 736=色温度 735=-255..255@255 741=255", {{IDC_BALANCE_TRACK, 255}},
     [](uint32_t c) { return (c & 0x00FF00) | 0xFF0000; }},
    // The reset button takes the value back.
    {192, {IDC_BALANCE_EDIT}, "", " 741=0", {{IDC_BALANCE_TRACK, -30}, {IDC_BALANCE_RESET, 0}},
     [](uint32_t c) { return c; }},
};

TEST(AdjustDialogs, PreviewsFollowTheirControlsAndEnterCommitsOneStep) {
  for (const PreviewCase& t : kPreviews) {
    SCOPED_TRACE(t.moved);
    const HWND dialog = OpenWith(t.command);
    ASSERT_NE(dialog, nullptr);
    CmdClass& c = Doc();
    const DibImage* const first = c.current_;
    EXPECT_TRUE(!*t.start || Controls(dialog, t.controls) == t.start) << Controls(dialog, t.controls);
    EXPECT_FALSE(GetUpdateRect(dialog, nullptr, FALSE));  // painted, and no repaint asked for again
    for (const Step& s : t.steps) Move(dialog, s.control, s.position);
    EXPECT_EQ(Controls(dialog, t.controls), t.moved);
    auto want = [&](int x, int y) { return t.want(Colour(x, y)); };
    EXPECT_EQ(Mismatches(c.pending_, want), "");
    // A repaint of the dialog, or of the picture alone, leaves the "after" picture standing.
    HWND after = GetDlgItem(dialog, IDC_BALANCE_AFTER);
    for (HWND repainted : {dialog, after}) {
      if (t.command != 192 || t.steps.size() != 1) break;
      InvalidateRect(repainted, nullptr, TRUE);
      PumpMessages();
      RECT r;
      GetClientRect(after, &r);
      EXPECT_EQ(ClientPixel(after, r.right / 2, r.bottom / 2), RGB(0xFF, 0x34, 0x00));  // source pixel (2, 1)
    }
    DialogKey(0, VK_RETURN);
    EXPECT_EQ(Left(), "2");
    EXPECT_TRUE(c.current_->older == first && !IsWindow(dialog));
    EXPECT_EQ(Mismatches(c.current_, want), "");
  }
}

TEST(AdjustDialogs, CancelCloseBoxAndEscapeLeaveTheDocumentAlone) {
  const int kCancels[][2] = {{116, IDC_GAMMA_CANCEL},   {117, IDC_CONTRAST_CANCEL},  {153, IDC_GRADATION_CANCEL},
                             {121, IDC_ADJUST_CANCEL},  {122, IDC_ADJUST_CANCEL},    {192, IDC_BALANCE_CANCEL},
                             {128, IDC_ROTATION_CANCEL}, {154, IDC_RESIZE_CANCEL}};
  for (const auto& [command, cancel] : kCancels) {
    for (int way = 0; way < 3; ++way) {
      SCOPED_TRACE(std::to_string(command) + " way " + std::to_string(way));
      const HWND dialog = OpenWith(command);
      ASSERT_NE(dialog, nullptr);
      const DibImage* const current = Doc().current_;
      if (command == 121) Move(dialog, IDC_ADJUST_TRACK1, 90);  // with a preview made
      LeaveBy(way, cancel);
      EXPECT_EQ(Left(), "1");
      EXPECT_TRUE(Doc().current_ == current && !IsWindow(dialog));
      EXPECT_EQ(Mismatches(current, Colour), "");
    }
  }
}

TEST(AdjustDialogs, ASecondCommandWhileOneIsOpenMakesNothing) {
  const HWND dialog = OpenWith(116);
  CmdClass& c = Doc();
  const DibImage *const work = c.work_, *const pending = c.pending_;
  ASSERT_TRUE(dialog && work && pending && pending != c.current_);
  for (int command : {116, 117, 122, 128, 154, 131}) {
    Command(command);
    EXPECT_TRUE(c.dialog_window_ == dialog && c.work_ == work && c.pending_ == pending) << command;
    EXPECT_EQ(c.open_windows_, kBitGamma) << command;
  }
}

TEST(AdjustDialogs, RotationTurnsClockwiseInOneStep) {
  const HWND dialog = OpenWith(128);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(Controls(dialog, {0, IDC_ROTATION_TRACK, IDC_ROTATION_EDIT}), "画像回転 708=0..360@0 709=0");
  Move(dialog, IDC_ROTATION_TRACK, 90);
  EXPECT_EQ(Controls(dialog, {IDC_ROTATION_EDIT}), " 709=90");
  Move(dialog, IDC_ROTATION_APPLY);
  EXPECT_EQ(Left(), "2");
  const DibImage* turned = Doc().current_;
  ASSERT_EQ(std::to_string(Width(turned)) + "x" + std::to_string(Height(turned)), "3x5");
  EXPECT_EQ(Mismatches(turned, [](int x, int y) { return Colour(y, 2 - x); }, 3, 5), "");
}

// Any typed number is taken; what makes no size (no number, 0, negative, beyond the size limit) is
// refused with the memory message, and nothing is committed.
TEST(AdjustDialogs, ResizeTakesTypedFactorsAndRefusesWhatIsNoSize) {
  const struct {
    const char *x, *y, *size;
  } cases[] = {{"2.5", "2.5", "13x8"}, {"0.4", "2", "2x6"}, {"abc", "1", ""}, {"0", "2", ""},
               {"-1", "1", ""},        {"10000", "10000", ""}, {"nan", "1", ""}, {"inf", "1", ""}};
  for (const auto& t : cases) {
    SCOPED_TRACE(std::string(t.x) + " x " + t.y);
    const HWND dialog = OpenWith(154);
    ASSERT_NE(dialog, nullptr);
    const DibImage* const current = Doc().current_;
    EXPECT_EQ(Controls(dialog, {0, IDC_RESIZE_X_EDIT, IDC_RESIZE_Y_EDIT}), "画像拡大・縮小 716=1.0 717=1.0");
    Spin(IDC_RESIZE_Y_UPDOWN, 11);  // one step up is 0.1 more
    EXPECT_EQ(Controls(dialog, {IDC_RESIZE_Y_EDIT}), " 717=1.1");
    SetDlgItemTextA(dialog, IDC_RESIZE_X_EDIT, t.x);
    SetDlgItemTextA(dialog, IDC_RESIZE_Y_EDIT, t.y);
    RecordingChannel channel;
    DialogKey(0, VK_RETURN);
    const DibImage* result = Doc().current_;
    if (*t.size) {
      EXPECT_EQ(Left(), "2");
      EXPECT_EQ(std::to_string(Width(result)) + "x" + std::to_string(Height(result)), t.size);
      EXPECT_EQ(Shown(channel), BoxText(MessageText(kMsgFinished), kCaptionInfo, MB_ICONINFORMATION, true));
    } else {
      EXPECT_EQ(Left(), "1");
      EXPECT_TRUE(result == current && channel.boxes.size() == 2 && channel.boxes[0].text == MessageText(kMsgNoMemory));
    }
    EXPECT_FALSE(IsWindow(dialog));
  }
}

// The second image comes in as the blend start leaves it; alpha 50 % mixes with k = 127.
TEST(AdjustDialogs, AlphaBlendMixesOrCancelsAndClearsTheLoadingFlag) {
  for (int button : {IDC_ALPHA_APPLY, IDC_ALPHA_CANCEL}) {
    ASSERT_TRUE(OpenNew("adjust.bmp", 5, 3, Colour));
    CmdClass& c = Doc();
    c.view_flags_ |= kViewBlendLoading;
    ASSERT_TRUE(OpenImageFile(c, WriteBmp24("second.bmp", 5, 3, Other).c_str()));
    ASSERT_TRUE(c.PrepareBlend(c.pending_));
    c.CreateDialogFor(131);
    const HWND dialog = c.dialog_window_;
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(Controls(dialog, {0, IDC_ALPHA_TRACK, IDC_ALPHA_EDIT}), "αブレンド 729=1..100@50 728=50");
    Move(dialog, button);
    EXPECT_EQ(Left(), button == IDC_ALPHA_APPLY ? "2" : "1");
    auto mixed = [&](int x, int y) {
      const uint32_t a = Colour(x, y), b = Other(x, y);
      auto mix = [&](int s) { return static_cast<int>(((a >> s & 255) * 128 + (b >> s & 255) * 127) / 255); };
      return button == IDC_ALPHA_CANCEL ? a : Rgb(mix(16), mix(8), mix(0));
    };
    EXPECT_EQ(Mismatches(c.current_, mixed), "");
  }
}

}  // namespace
