// Batch rename: dialog 1117 and the renaming run in the main window.
#include <windows.h>

#include "app/cmd_class_win32.h"
#include "app/dialogs_win32.h"
#include "app/resource_ids.h"

INT_PTR CALLBACK RenameDialogProc(HWND dialog, UINT message, WPARAM, LPARAM) {
  if (message == WM_INITDIALOG) return TRUE;
  if (message != WM_CLOSE) return FALSE;
  SendDialogEvent(dialog, kDialogCancel, kBitRename, true);
  return TRUE;
}

void CmdClass::StartRenameDialog() {
  if (BringOpenDialogForward()) return;
  view_flags_ |= kViewRenaming;
  GetCurrentDirectoryA(sizeof params_.rename.folder, params_.rename.folder);
  CreateDialogFor(189);
}

void CmdClass::OnRenameEvent(WPARAM, LPARAM) {
  view_flags_ &= ~kViewRenaming;
  ForgetDialog(kBitRename);
}
