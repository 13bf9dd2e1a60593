// Creation of the modeless dialogs and the main window's side of their protocol: OK commits the
// pending image as one undo step, cancel drops the copies and leaves the chain as it was.
#include "app/dialogs_win32.h"

#include <commctrl.h>

#include <cstdarg>
#include <cstdio>

#include "app/cmd_class_win32.h"
#include "app/resource_ids.h"

namespace {

enum class Param { kNone, kBlock, kSettings };

struct DialogEntry {
  int command;
  int resource;
  uint32_t bit;
  bool needs_image;
  Param param;
  DLGPROC proc;
};

const DialogEntry kDialogs[] = {
    {104, IDD_INFORMATION, kBitInformation, true, Param::kNone, InformationWindowProc},
    {105, IDD_HISTOGRAM, kBitHistogram, true, Param::kNone, HistogramWindowProc},
    {116, IDD_GAMMA, kBitGamma, true, Param::kNone, GammaDialogProc},
    {117, IDD_CONTRAST, kBitContrast, true, Param::kBlock, ContrastDialogProc},
    {121, IDD_COLOUR_ADJUST, kBitRgb, true, Param::kBlock, RgbDialogProc},
    {122, IDD_COLOUR_ADJUST, kBitHsv, true, Param::kBlock, HsvDialogProc},
    {128, IDD_ROTATION, kBitRotation, true, Param::kBlock, RotationDialogProc},
    {131, IDD_ALPHA, kBitAlpha, true, Param::kBlock, AlphaDialogProc},
    {153, IDD_GRADATION, kBitGradation, true, Param::kNone, GradationDialogProc},
    {154, IDD_RESIZE, kBitResize, true, Param::kBlock, ResizeDialogProc},
    {180, IDD_SETTINGS, kBitSettings, false, Param::kSettings, SettingsDialogProc},
    {189, IDD_RENAME, kBitRename, false, Param::kBlock, RenameDialogProc},
    {192, IDD_WHITE_BALANCE, kBitWhiteBalance, true, Param::kBlock, WhiteBalanceDialogProc},
};

const DialogEntry* FindDialog(int command) {
  for (const DialogEntry& d : kDialogs)
    if (d.command == command) return &d;
  return nullptr;
}

// Closes a window of the two kinds that tell their owner with UM_DIALOG_CLOSED.
INT_PTR ClosingWindowProc(HWND dialog, UINT message, WPARAM wparam, uint32_t bit) {
  switch (message) {
    case WM_INITDIALOG: return TRUE;
    case WM_COMMAND:
      if (LOWORD(wparam) != IDCANCEL && LOWORD(wparam) != IDOK) return FALSE;
      [[fallthrough]];
    case WM_CLOSE:
      SendMessageA(GetParent(dialog), UM_DIALOG_CLOSED, 0, bit);
      DestroyWindow(dialog);
      return TRUE;
    default: return FALSE;
  }
}

}  // namespace

INT_PTR CALLBACK InformationWindowProc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
  return ClosingWindowProc(dialog, message, wparam, kBitInformation);
}

INT_PTR CALLBACK HistogramWindowProc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
  if (message == WM_PAINT) {  // the curves are drawn by the owner, over a validated window
    PAINTSTRUCT ps;
    BeginPaint(dialog, &ps);
    EndPaint(dialog, &ps);
    SendMessageA(GetParent(dialog), UM_HISTOGRAM_MOVED, IDD_HISTOGRAM, 0);
    return TRUE;
  }
  if (message == WM_MOVE || message == WM_ACTIVATE) {
    SendMessageA(GetParent(dialog), UM_HISTOGRAM_MOVED, IDD_HISTOGRAM, 0);
    return FALSE;
  }
  return ClosingWindowProc(dialog, message, wparam, kBitHistogram);
}

void SendDialogEvent(HWND dialog, WPARAM event, LPARAM value, bool close) {
  SendMessageA(GetParent(dialog), UM_DIALOG_EVENT, event, value);
  if (close) DestroyWindow(dialog);
}

void SetUpTrackbar(HWND dialog, int control, int low, int high, int ticks, int line, int page, int position) {
  SendDlgItemMessageA(dialog, control, TBM_SETRANGEMIN, FALSE, low);
  SendDlgItemMessageA(dialog, control, TBM_SETRANGEMAX, FALSE, high);
  SendDlgItemMessageA(dialog, control, TBM_SETTICFREQ, ticks, 0);
  SendDlgItemMessageA(dialog, control, TBM_SETLINESIZE, 0, line);
  SendDlgItemMessageA(dialog, control, TBM_SETPAGESIZE, 0, page);
  SendDlgItemMessageA(dialog, control, TBM_SETPOS, TRUE, position);
}

void SetUpUpDown(HWND dialog, int control, int buddy, int low, int high, int position) {
  SendDlgItemMessageA(dialog, control, UDM_SETBUDDY, reinterpret_cast<WPARAM>(GetDlgItem(dialog, buddy)), 0);
  SendDlgItemMessageA(dialog, control, UDM_SETRANGE32, low, high);
  SendDlgItemMessageA(dialog, control, UDM_SETPOS, 0, MAKELPARAM(position, 0));
}

void SetItemFormat(HWND dialog, int control, const char* format, ...) {
  char text[300];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  SetDlgItemTextA(dialog, control, text);
}

bool CmdClass::BringOpenDialogForward() {
  if (!dialog_window_) return false;
  if (IsWindow(dialog_window_)) {
    ShowWindow(dialog_window_, SW_SHOWNORMAL);
    SetActiveWindow(dialog_window_);
  }
  return true;
}

void CmdClass::CreateDialogFor(int command) {
  const DialogEntry* entry = FindDialog(command);
  if (!entry) return;
  HWND* slot = &dialog_window_;
  if (entry->bit == kBitInformation) slot = &info_window_;
  if (entry->bit == kBitHistogram) slot = &histogram_window_;
  if (*slot) {  // already open: show it rather than making a second one
    if (IsWindow(*slot)) SetActiveWindow(*slot);
    return;
  }
  if (entry->needs_image && image_count_ == 0) return;
  ReadViewRect();
  LPARAM param = 0;
  if (entry->param == Param::kBlock) param = reinterpret_cast<LPARAM>(&params_);
  if (entry->param == Param::kSettings) param = reinterpret_cast<LPARAM>(&dialog_settings_);
  HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(main_window_, GWLP_HINSTANCE));
  open_windows_ |= entry->bit;
  HWND window = CreateDialogParamA(instance, MAKEINTRESOURCEA(entry->resource), main_window_, entry->proc, param);
  if (!window) {
    open_windows_ &= ~entry->bit;
    return;
  }
  *slot = window;
  ShowWindow(window, SW_SHOW);
  if (entry->bit == kBitInformation) FillInformationWindow();
  if (entry->bit == kBitHistogram) ComputeHistogram();
}

void CmdClass::ForgetDialog(uint32_t bit) {
  if (bit & kBitHistogram) {
    histogram_.reset();
    histogram_window_ = nullptr;
  } else if (bit & kBitInformation) {
    info_window_ = nullptr;
  } else {
    dialog_window_ = nullptr;
  }
  open_windows_ &= ~bit;
}

void CmdClass::OnWindowClosed(uint32_t bit) {
  // Only the two windows report this way; the adjustment dialog beside them stays known.
  if (bit == kBitInformation || bit == kBitHistogram) ForgetDialog(bit);
}

LRESULT CmdClass::OnDialogEvent(WPARAM wparam, LPARAM lparam) {
  if (!dialog_window_) return 0;
  const uint32_t bit = static_cast<uint32_t>(lparam);
  if (wparam == IDD_SETTINGS || ((wparam == kDialogOk || wparam == kDialogCancel) && bit == kBitSettings)) {
    OnSettingsEvent(wparam, lparam);
    return 0;
  }
  if ((wparam == kDialogOk || wparam == kDialogCancel) && bit == kBitRename) {
    OnRenameEvent(wparam, lparam);
    return 0;
  }
  if (wparam == kDialogOk) {
    if (bit & kBitsWithWorkImage) {
      DeleteImage(work_);
      work_ = nullptr;
    }
    ForgetDialog(bit);
    Commit();
    return 0;
  }
  if (wparam == kDialogCancel) {
    // The alpha dialog's work image and second image come from the blend start.
    if (bit & (kBitsWithWorkImage | kBitAlpha)) {
      DeleteImage(work_);
      work_ = nullptr;
    }
    if (bit == kBitAlpha) view_flags_ &= ~kViewBlendLoading;
    ForgetDialog(bit);
    if (pending_ != current_) DeleteImage(pending_);
    pending_ = current_;
    return 0;
  }
  OnAdjustEvent(wparam, lparam);
  return 0;
}

void CmdClass::CancelAdjustmentDialog() {
  if (!dialog_window_ || !(open_windows_ & kBitsWithPendingCopy)) return;
  HWND dialog = dialog_window_;
  OnDialogEvent(kDialogCancel, open_windows_ & kBitsWithPendingCopy);
  DestroyWindow(dialog);
}

void CmdClass::StartPreviewDialog(int command) {
  if (BringOpenDialogForward() || image_count_ == 0) return;
  work_ = MakeTrueColorCopy(current_);
  if (!work_) return;
  pending_ = MakeTrueColorCopy(current_);
  if (!pending_) pending_ = current_;
  if (pending_ != current_) CreateDialogFor(command);
  if (dialog_window_) return;
  // No dialog: no copies left behind.
  if (pending_ != current_) DeleteImage(pending_);
  pending_ = current_;
  DeleteImage(work_);
  work_ = nullptr;
}

void CmdClass::StartTransformDialog(int command) {
  if (BringOpenDialogForward() || image_count_ == 0) return;
  pending_ = MakeTrueColorCopy(current_);
  if (!pending_) {
    pending_ = current_;
    return;
  }
  CreateDialogFor(command);
  if (dialog_window_) return;
  DeleteImage(pending_);
  pending_ = current_;
}

void CmdClass::StartBlend(int command) {
  if (BringOpenDialogForward() || image_count_ == 0) return;
  view_flags_ |= kViewBlendLoading;
  // The second image comes with the open dialog into the pending slot; both become 24-bit.
  bool ready = OpenFlow(main_window_, 0, 0) && pending_ != current_ && PrepareBlend(pending_);
  if (ready && command == 131) {
    CreateDialogFor(command);
    ready = dialog_window_ != nullptr;
  } else if (ready) {
    ready = BlendImages(command) && Commit();
  }
  if (ready) return;
  // Cancelled or refused: the next open replaces the document again, and no copy stays.
  view_flags_ &= ~kViewBlendLoading;
  if (pending_ != current_) DeleteImage(pending_);
  pending_ = current_;
  DeleteImage(work_);
  work_ = nullptr;
}

void CmdClass::DrawImageInto(HWND dialog, int control, const DibImage* image) {
  HWND item = GetDlgItem(dialog, control);
  if (!item || !image) return;
  HDC dc = GetDC(item);
  RECT r;
  GetClientRect(item, &r);
  SetStretchBltMode(dc, COLORONCOLOR);
  StretchDIBits(dc, 0, 0, r.right, r.bottom, 0, 0, Width(image), Height(image), image->bits, image->info,
                DIB_RGB_COLORS, SRCCOPY);
  ReleaseDC(item, dc);
  // Validated rather than invalidated: an erase would wipe the picture just drawn.
  ValidateRect(item, nullptr);
}
