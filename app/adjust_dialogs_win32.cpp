// The nine adjustment dialogs and the main window's side of them. The six preview dialogs (gamma,
// linear contrast, gradation, RGB, HSV, white balance) keep their value in their trackbars or in
// the parameter block and ask the main window for a preview after every change and on every
// repaint; the main window computes the pending image from the work image and draws both. The
// rotation, resize and alpha dialogs send their value once, and the main window applies it.
#include <windows.h>

#include <commctrl.h>

#include <cmath>
#include <cstdlib>

#include "app/cmd_class_win32.h"
#include "app/dialogs_win32.h"
#include "app/resource_ids.h"
#include "processing/adjust.h"

namespace {

// How a trackbar's value is shown in its edit.
enum class Shown { kHundredths, kLevels, kSigned, kUnsigned };

// One trackbar of a dialog: its range and start, the parameter it writes (-1: none) and its edit.
struct Slider {
  int track;
  int low, high, ticks, page, start;
  int param;
  int edit;  // 0: none
  Shown shown;
};

// What a preview dialog sends with its preview request.
enum class Sends { kPosition, kLevels, kDialog, kTag };

struct PreviewShape {
  int resource;
  uint32_t bit;
  int ok, cancel, reset;  // reset 0: none
  Sends sends;
  LPARAM tag;
  int title_string;  // 0: the resource's title and labels stay
  int slider_count;
  Slider sliders[4];
};

constexpr int kNoEdit = 0, kNoParam = -1;

const PreviewShape kGamma = {IDD_GAMMA, kBitGamma, IDC_GAMMA_OK, IDC_GAMMA_CANCEL, IDC_GAMMA_RESET,
                             Sends::kPosition, 0, 0, 1,
                             {{IDC_GAMMA_TRACK, 1, 300, 10, 5, 100, kNoParam, IDC_GAMMA_EDIT, Shown::kHundredths}}};
const PreviewShape kContrast = {IDD_CONTRAST, kBitContrast, IDC_CONTRAST_OK, IDC_CONTRAST_CANCEL, 0,
                                Sends::kDialog, 0, 0, 4,
                                {{IDC_CONTRAST_A, 0, 255, 16, 16, 255, 0, kNoEdit, Shown::kSigned},
                                 {IDC_CONTRAST_B, 0, 255, 16, 16, 0, 1, kNoEdit, Shown::kSigned},
                                 {IDC_CONTRAST_C, 0, 255, 16, 16, 255, 2, kNoEdit, Shown::kSigned},
                                 {IDC_CONTRAST_D, 0, 255, 16, 16, 0, 3, kNoEdit, Shown::kSigned}}};
const PreviewShape kGradation = {IDD_GRADATION, kBitGradation, IDC_GRADATION_OK, IDC_GRADATION_CANCEL,
                                 IDC_GRADATION_RESET, Sends::kLevels, 0, 0, 1,
                                 {{IDC_GRADATION_TRACK, 1, 8, 1, 1, 8, kNoParam, IDC_GRADATION_EDIT, Shown::kLevels}}};
const PreviewShape kRgb = {IDD_COLOUR_ADJUST, kBitRgb, IDC_ADJUST_OK, IDC_ADJUST_CANCEL, IDC_ADJUST_RESET,
                           Sends::kTag, 121, IDS_RGB_TITLE, 3,
                           {{IDC_ADJUST_TRACK1, -255, 255, 1, 5, 0, 0, IDC_ADJUST_EDIT1, Shown::kSigned},
                            {IDC_ADJUST_TRACK2, -255, 255, 1, 5, 0, 1, IDC_ADJUST_EDIT2, Shown::kSigned},
                            {IDC_ADJUST_TRACK3, -255, 255, 1, 5, 0, 2, IDC_ADJUST_EDIT3, Shown::kSigned}}};
const PreviewShape kHsv = {IDD_COLOUR_ADJUST, kBitHsv, IDC_ADJUST_OK, IDC_ADJUST_CANCEL, IDC_ADJUST_RESET,
                           Sends::kTag, 122, 0, 3,
                           {{IDC_ADJUST_TRACK1, 0, 360, 1, 5, 0, 0, IDC_ADJUST_EDIT1, Shown::kUnsigned},
                            {IDC_ADJUST_TRACK2, -100, 100, 1, 5, 0, 1, IDC_ADJUST_EDIT2, Shown::kHundredths},
                            {IDC_ADJUST_TRACK3, -100, 100, 1, 5, 0, 2, IDC_ADJUST_EDIT3, Shown::kSigned}}};
const PreviewShape kWhiteBalance = {IDD_WHITE_BALANCE, kBitWhiteBalance, IDC_BALANCE_OK, IDC_BALANCE_CANCEL,
                                    IDC_BALANCE_RESET, Sends::kTag, 192, 0, 1,
                                    {{IDC_BALANCE_TRACK, -255, 255, 1, 5, 0, 0, IDC_BALANCE_EDIT, Shown::kSigned}}};

// The two dialogs that apply one trackbar's value as p0.
struct ApplyShape {
  int resource;
  uint32_t bit;
  int apply, cancel;
  Slider slider;
};

const ApplyShape kRotation = {IDD_ROTATION, kBitRotation, IDC_ROTATION_APPLY, IDC_ROTATION_CANCEL,
                              {IDC_ROTATION_TRACK, 0, 360, 5, 5, 0, kNoParam, IDC_ROTATION_EDIT, Shown::kSigned}};
const ApplyShape kAlpha = {IDD_ALPHA, kBitAlpha, IDC_ALPHA_APPLY, IDC_ALPHA_CANCEL,
                           {IDC_ALPHA_TRACK, 1, 100, 5, 5, 50, kNoParam, IDC_ALPHA_EDIT, Shown::kUnsigned}};

// The parameter block the dialog was given at creation (null for gamma and gradation).
ParameterBlock* Block(HWND dialog) { return reinterpret_cast<ParameterBlock*>(GetWindowLongPtrA(dialog, DWLP_USER)); }

int Position(HWND dialog, int track) { return static_cast<int>(SendDlgItemMessageA(dialog, track, TBM_GETPOS, 0, 0)); }

// Stores a trackbar's value where it belongs and shows it.
void Take(HWND dialog, const Slider& s, int value) {
  ParameterBlock* block = Block(dialog);
  if (s.param >= 0 && block) block->p[s.param] = value;
  if (s.edit == kNoEdit) return;
  switch (s.shown) {
    case Shown::kHundredths: SetItemFormat(dialog, s.edit, "%1.2f", value / 100.0); break;
    case Shown::kLevels: SetItemFormat(dialog, s.edit, "%d", 1 << value); break;
    case Shown::kSigned: SetItemFormat(dialog, s.edit, "%d", value); break;
    case Shown::kUnsigned: SetItemFormat(dialog, s.edit, "%u", static_cast<unsigned>(value)); break;
  }
}

// Every trackbar at its start value (initialisation and the reset button).
void Start(HWND dialog, const Slider* sliders, int count) {
  for (int i = 0; i < count; ++i) {
    const Slider& s = sliders[i];
    SetUpTrackbar(dialog, s.track, s.low, s.high, s.ticks, 1, s.page, s.start);
    Take(dialog, s, s.start);
  }
}

const Slider* SliderOf(const Slider* sliders, int count, HWND control) {
  const int id = GetDlgCtrlID(control);
  for (int i = 0; i < count; ++i)
    if (sliders[i].track == id) return &sliders[i];
  return nullptr;
}

void SendPreview(HWND dialog, const PreviewShape& shape) {
  LPARAM value = shape.tag;
  const int position = Position(dialog, shape.sliders[0].track);
  if (shape.sends == Sends::kPosition) value = position;
  if (shape.sends == Sends::kLevels) value = 1 << (position < 1 ? 1 : position > 8 ? 8 : position);
  if (shape.sends == Sends::kDialog) value = reinterpret_cast<LPARAM>(dialog);
  SendDialogEvent(dialog, shape.resource, value, false);
}

// Close box, cancel button and Esc cancel; OK button and Enter send the event. False for other
// commands.
bool Finish(HWND dialog, UINT message, int command, int ok, int cancel, WPARAM ok_event, uint32_t bit) {
  if (message == WM_CLOSE || command == cancel || command == IDCANCEL) {
    SendDialogEvent(dialog, kDialogCancel, bit, true);
    return true;
  }
  if (command != ok && command != IDOK) return false;
  SendDialogEvent(dialog, ok_event, bit, true);
  return true;
}

void SetTexts(HWND dialog, int first_string) {
  const HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(dialog, GWLP_HINSTANCE));
  char text[64];
  if (LoadStringA(instance, first_string, text, sizeof text)) SetWindowTextA(dialog, text);
  const int labels[] = {IDC_ADJUST_LABEL1, IDC_ADJUST_LABEL2, IDC_ADJUST_LABEL3};
  for (int i = 0; i < 3; ++i)
    if (LoadStringA(instance, first_string + 1 + i, text, sizeof text)) SetDlgItemTextA(dialog, labels[i], text);
}

INT_PTR PreviewProc(const PreviewShape& shape, HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrA(dialog, DWLP_USER, lparam);
      if (ParameterBlock* block = Block(dialog)) block->p[0] = block->p[1] = block->p[2] = block->p[3] = 0;
      if (shape.title_string) SetTexts(dialog, shape.title_string);
      Start(dialog, shape.sliders, shape.slider_count);
      return TRUE;
    case WM_HSCROLL:
    case WM_VSCROLL: {
      const Slider* s = SliderOf(shape.sliders, shape.slider_count, reinterpret_cast<HWND>(lparam));
      if (!s) return FALSE;
      Take(dialog, *s, static_cast<int>(SendMessageA(reinterpret_cast<HWND>(lparam), TBM_GETPOS, 0, 0)));
      SendPreview(dialog, shape);
      return TRUE;
    }
    case WM_PAINT: {
      // Validated first: the previews are drawn over the controls afterwards, and a region left
      // invalid would ask for the next repaint at once.
      PAINTSTRUCT paint;
      BeginPaint(dialog, &paint);
      EndPaint(dialog, &paint);
      SendPreview(dialog, shape);
      return TRUE;
    }
    case WM_COMMAND:
      if (shape.reset && LOWORD(wparam) == shape.reset) {
        Start(dialog, shape.sliders, shape.slider_count);
        SendPreview(dialog, shape);
        return TRUE;
      }
      return Finish(dialog, message, LOWORD(wparam), shape.ok, shape.cancel, kDialogOk, shape.bit);
    case WM_CLOSE: return Finish(dialog, message, 0, shape.ok, shape.cancel, kDialogOk, shape.bit);
    default: return FALSE;
  }
}

INT_PTR ApplyProc(const ApplyShape& shape, HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrA(dialog, DWLP_USER, lparam);
      if (ParameterBlock* block = Block(dialog)) block->p[0] = block->p[1] = block->p[2] = block->p[3] = 0;
      Start(dialog, &shape.slider, 1);
      return TRUE;
    case WM_HSCROLL:
      if (!SliderOf(&shape.slider, 1, reinterpret_cast<HWND>(lparam))) return FALSE;
      Take(dialog, shape.slider, Position(dialog, shape.slider.track));
      return TRUE;
    case WM_COMMAND:
    case WM_CLOSE: {
      const int command = message == WM_COMMAND ? LOWORD(wparam) : 0;
      ParameterBlock* block = Block(dialog);
      if ((command == shape.apply || command == IDOK) && block) block->p[0] = Position(dialog, shape.slider.track);
      return Finish(dialog, message, command, shape.apply, shape.cancel, shape.resource, shape.bit);
    }
    default: return FALSE;
  }
}

// The resize factors as typed: any number strtod takes (2.5 too, beyond the up-down's steps).
double TypedFactor(HWND dialog, int edit) {
  char text[65] = "";
  GetDlgItemTextA(dialog, edit, text, sizeof text);
  return std::strtod(text, nullptr);
}

}  // namespace

INT_PTR CALLBACK GammaDialogProc(HWND d, UINT m, WPARAM w, LPARAM l) { return PreviewProc(kGamma, d, m, w, l); }
INT_PTR CALLBACK ContrastDialogProc(HWND d, UINT m, WPARAM w, LPARAM l) { return PreviewProc(kContrast, d, m, w, l); }
INT_PTR CALLBACK GradationDialogProc(HWND d, UINT m, WPARAM w, LPARAM l) { return PreviewProc(kGradation, d, m, w, l); }
INT_PTR CALLBACK RgbDialogProc(HWND d, UINT m, WPARAM w, LPARAM l) { return PreviewProc(kRgb, d, m, w, l); }
INT_PTR CALLBACK HsvDialogProc(HWND d, UINT m, WPARAM w, LPARAM l) { return PreviewProc(kHsv, d, m, w, l); }
INT_PTR CALLBACK WhiteBalanceDialogProc(HWND d, UINT m, WPARAM w, LPARAM l) {
  return PreviewProc(kWhiteBalance, d, m, w, l);
}
INT_PTR CALLBACK RotationDialogProc(HWND d, UINT m, WPARAM w, LPARAM l) { return ApplyProc(kRotation, d, m, w, l); }
INT_PTR CALLBACK AlphaDialogProc(HWND d, UINT m, WPARAM w, LPARAM l) { return ApplyProc(kAlpha, d, m, w, l); }

INT_PTR CALLBACK ResizeDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrA(dialog, DWLP_USER, lparam);
      if (ParameterBlock* block = Block(dialog)) block->xy[0] = block->xy[1] = 1.0;
      for (int edit : {IDC_RESIZE_X_EDIT, IDC_RESIZE_Y_EDIT}) SetItemFormat(dialog, edit, "%1.1f", 1.0);
      // Steps of 0.1 from 0.1 to 4.0.
      SetUpUpDown(dialog, IDC_RESIZE_X_UPDOWN, IDC_RESIZE_X_EDIT, 1, 40, 10);
      SetUpUpDown(dialog, IDC_RESIZE_Y_UPDOWN, IDC_RESIZE_Y_EDIT, 1, 40, 10);
      return TRUE;
    case WM_VSCROLL: {
      const HWND updown = reinterpret_cast<HWND>(lparam);
      const int id = GetDlgCtrlID(updown);
      if (id != IDC_RESIZE_X_UPDOWN && id != IDC_RESIZE_Y_UPDOWN) return FALSE;
      const int position = static_cast<int>(SendMessageA(updown, UDM_GETPOS32, 0, 0));
      const int edit = id == IDC_RESIZE_X_UPDOWN ? IDC_RESIZE_X_EDIT : IDC_RESIZE_Y_EDIT;
      SetItemFormat(dialog, edit, "%1.1f", position / 10.0);
      return TRUE;
    }
    case WM_COMMAND:
    case WM_CLOSE: {
      const int command = message == WM_COMMAND ? LOWORD(wparam) : 0;
      ParameterBlock* block = Block(dialog);
      if ((command == IDC_RESIZE_OK || command == IDOK) && block) {
        block->xy[0] = TypedFactor(dialog, IDC_RESIZE_X_EDIT);
        block->xy[1] = TypedFactor(dialog, IDC_RESIZE_Y_EDIT);
      }
      return Finish(dialog, message, command, IDC_RESIZE_OK, IDC_RESIZE_CANCEL, IDD_RESIZE, kBitResize);
    }
    default: return FALSE;
  }
}

// ---- The main window's side ----

namespace {

// The curve of the linear contrast in its control: the polyline (0, a) (d, a) (c, b) (255, b),
// y downwards, scaled to the control, drawn cyan on black and copied inverted (red on white).
void DrawContrastCurve(HWND dialog, const ParameterBlock& block) {
  HWND item = GetDlgItem(dialog, IDC_CONTRAST_CURVE);
  if (!item) return;
  RECT r;
  GetClientRect(item, &r);
  const int w = r.right, h = r.bottom;
  if (w < 2 || h < 2) return;
  auto clamp = [](int v) { return v < 0 ? 0 : v > 255 ? 255 : v; };
  const int a = clamp(block.p[0]), b = clamp(block.p[1]), c = clamp(block.p[2]), d = clamp(block.p[3]);
  auto at = [&](int x, int y) { return POINT{x * (w - 1) / 255, y * (h - 1) / 255}; };
  const POINT line[] = {at(0, a), at(d, a), at(c, b), at(255, b)};
  HDC dc = GetDC(item);
  HDC memory = CreateCompatibleDC(dc);
  HBITMAP bitmap = CreateCompatibleBitmap(dc, w, h);
  HPEN pen = CreatePen(PS_SOLID, 1, 0x00FFFF00);
  if (memory && bitmap && pen) {
    HGDIOBJ old_bitmap = SelectObject(memory, bitmap);
    HGDIOBJ old_pen = SelectObject(memory, pen);
    PatBlt(memory, 0, 0, w, h, BLACKNESS);
    Polyline(memory, line, 4);
    SetPixel(memory, line[3].x, line[3].y, 0x00FFFF00);  // the polyline leaves out its last point
    BitBlt(dc, 0, 0, w, h, memory, 0, 0, NOTSRCCOPY);
    SelectObject(memory, old_pen);
    SelectObject(memory, old_bitmap);
  }
  if (pen) DeleteObject(pen);
  if (bitmap) DeleteObject(bitmap);
  if (memory) DeleteDC(memory);
  ReleaseDC(item, dc);
  ValidateRect(item, nullptr);
}

// Where each preview request's pictures go, and which dialog may ask for it.
struct PreviewTarget {
  WPARAM event;
  uint32_t bits;
  int before, after;
};

const PreviewTarget kTargets[] = {
    {IDD_GAMMA, kBitGamma, IDC_GAMMA_BEFORE, IDC_GAMMA_AFTER},
    {IDD_CONTRAST, kBitContrast, IDC_CONTRAST_BEFORE, IDC_CONTRAST_AFTER},
    {IDD_GRADATION, kBitGradation, IDC_GRADATION_BEFORE, IDC_GRADATION_AFTER},
    {IDD_COLOUR_ADJUST, kBitRgb | kBitHsv, IDC_ADJUST_BEFORE, IDC_ADJUST_AFTER},
    {IDD_WHITE_BALANCE, kBitWhiteBalance, IDC_BALANCE_BEFORE, IDC_BALANCE_AFTER},
};

int Clamp(int v, int low, int high) { return v < low ? low : v > high ? high : v; }

}  // namespace

void CmdClass::OnAdjustEvent(WPARAM event, LPARAM value) {
  if (event == IDD_ROTATION || event == IDD_RESIZE || event == IDD_ALPHA) {
    const uint32_t bit = static_cast<uint32_t>(value);
    if (!(open_windows_ & bit) || !(bit & (kBitRotation | kBitResize | kBitAlpha))) return;
    ForgetDialog(bit);  // the dialog is going: nothing of it stays known
    const bool copies = image_count_ != 0 && pending_ && pending_ != current_;
    if (copies && event == IDD_ROTATION) {
      if (RotateImage(pending_, params_.p[0], 1.0, 1.0)) Commit();
    } else if (copies && event == IDD_RESIZE) {
      // A factor that is no number at all goes the way of one that is 0: the resize refuses it
      // with the memory message, as it refuses a size beyond the limit, and nothing is committed.
      double x = std::isfinite(params_.xy[0]) ? params_.xy[0] : 0.0;
      double y = std::isfinite(params_.xy[1]) ? params_.xy[1] : 0.0;
      ScaleImage(&x, &y);
      Commit();
    } else if (copies && event == IDD_ALPHA && work_) {
      if (AlphaBlend(Clamp(params_.p[0], 0, 100))) Commit();
    }
    // Whatever did not make it into the chain goes; the next open replaces the document again.
    if (pending_ != current_ && pending_ != work_) DeleteImage(pending_);
    pending_ = current_;
    DeleteImage(work_);
    work_ = nullptr;
    if (bit == kBitAlpha) view_flags_ &= ~kViewBlendLoading;
    return;
  }
  const PreviewTarget* target = nullptr;
  for (const PreviewTarget& t : kTargets)
    if (t.event == event) target = &t;
  if (!target || !(open_windows_ & target->bits) || image_count_ == 0 || !work_ || !pending_ || pending_ == current_)
    return;
  switch (event) {
    case IDD_GAMMA: PreviewGamma(work_, pending_, Clamp(static_cast<int>(value), 1, 300)); break;
    case IDD_CONTRAST:
      DrawContrastCurve(dialog_window_, params_);
      PreviewLinearContrast(work_, pending_, params_.p[0], params_.p[1], params_.p[2], params_.p[3]);
      break;
    case IDD_GRADATION: PreviewGradation(work_, pending_, Clamp(static_cast<int>(value), 2, 256)); break;
    case IDD_COLOUR_ADJUST:
      if (value == 121)
        PreviewRgb(work_, pending_, params_.p[0], params_.p[1], params_.p[2]);
      else
        PreviewHsv(work_, pending_, params_.p[0], params_.p[1], params_.p[2]);
      break;
    case IDD_WHITE_BALANCE: PreviewWhiteBalance(work_, pending_, params_.p[0]); break;
  }
  DrawImageInto(dialog_window_, target->before, work_);
  DrawImageInto(dialog_window_, target->after, pending_);
}
