// Settings dialog 504: the settings file's values edited, applied to the program and written.
#include <windows.h>

#include "app/cmd_class_win32.h"
#include "app/dialogs_win32.h"
#include "app/resource_ids.h"

INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM, LPARAM) {
  if (message == WM_INITDIALOG) return TRUE;
  if (message != WM_CLOSE) return FALSE;
  SendDialogEvent(dialog, kDialogCancel, kBitSettings, true);
  return TRUE;
}

void CmdClass::StartSettingsDialog() {
  if (BringOpenDialogForward()) return;
  dialog_settings_ = settings_;
  view_flags_ |= kViewSettings;
  CreateDialogFor(180);
  if (!dialog_window_) view_flags_ &= ~kViewSettings;
}

void CmdClass::OnSettingsEvent(WPARAM wparam, LPARAM) {
  if (wparam == IDD_SETTINGS) return;
  view_flags_ &= ~kViewSettings;
  ForgetDialog(kBitSettings);
}
