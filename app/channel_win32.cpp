#include "app/channel_win32.h"

#include <commctrl.h>

#include <cstdio>

#include "app/cmd_class_win32.h"
#include "app/main_window_win32.h"
#include "app/resource_ids.h"

namespace {

HWND MainWindow() {
  CmdClass* c = TheController();
  return c ? c->main_window_ : nullptr;
}

}  // namespace

int Win32Channel::Message(const char* text, const char* caption, unsigned style, bool owned) {
  return MessageBoxA(owned ? MainWindow() : nullptr, text, caption, style);
}

void Win32Channel::ProgressBegin(const char* caption) {
  CmdClass* c = TheController();
  if (!c || !c->main_window_) return;
  std::snprintf(caption_, sizeof caption_, "%s", caption);
  HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(c->main_window_, GWLP_HINSTANCE));
  c->progress_window_ = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_PROGRESS), c->main_window_,
                                           ProgressDialogProc, reinterpret_cast<LPARAM>(caption_));
}

void Win32Channel::ProgressStep(const char* counter_text) {
  CmdClass* c = TheController();
  if (!c || !c->progress_window_) return;
  std::snprintf(counter_, sizeof counter_, "%s", counter_text);
  SendMessageA(c->progress_window_, UM_PROGRESS_STEP, 0, reinterpret_cast<LPARAM>(counter_));
}

void Win32Channel::ProgressEnd() {
  CmdClass* c = TheController();
  if (!c || !c->progress_window_) return;
  SendMessageA(c->progress_window_, WM_COMMAND, IDOK, 0);
  c->progress_window_ = nullptr;
}

INT_PTR CALLBACK ProgressDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG:
      SetDlgItemTextA(dialog, IDC_PROGRESS_CAPTION, reinterpret_cast<const char*>(lparam));
      SendDlgItemMessageA(dialog, IDC_PROGRESS_BAR, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
      SendDlgItemMessageA(dialog, IDC_PROGRESS_BAR, PBM_SETSTEP, 1, 0);
      return TRUE;
    case UM_PROGRESS_STEP:
      SetDlgItemTextA(dialog, IDC_PROGRESS_COUNTER, reinterpret_cast<const char*>(lparam));
      SendDlgItemMessageA(dialog, IDC_PROGRESS_BAR, PBM_STEPIT, 0, 0);
      // No message is pumped while an operation runs: draw the new state now.
      RedrawWindow(dialog, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wparam) == IDOK) DestroyWindow(dialog);
      return TRUE;
    default:
      return FALSE;
  }
}
