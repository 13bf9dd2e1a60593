// Batch rename: dialog 1117 and the renaming run in the main window.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/batch_rename.h"
#include "app/cmd_class_win32.h"
#include "app/dialogs_win32.h"
#include "app/file_dialogs_win32.h"
#include "app/resource_ids.h"
#include "base/messages.h"
#include "formats/file_access.h"

namespace {

ParameterBlock* BlockOf(HWND dialog) { return reinterpret_cast<ParameterBlock*>(GetWindowLongPtrA(dialog, DWLP_USER)); }

void FillDialog(HWND dialog, const ParameterBlock& block) {
  SendDlgItemMessageA(dialog, IDC_RENAME_NAME, EM_LIMITTEXT, sizeof block.rename.name - 1, 0);
  SendDlgItemMessageA(dialog, IDC_RENAME_START, EM_LIMITTEXT, sizeof block.rename.start - 1, 0);
  SetDlgItemTextA(dialog, IDC_RENAME_FOLDER, block.rename.folder);
  SetItemFormat(dialog, IDC_RENAME_START, "%04d", 1);
  SetUpUpDown(dialog, IDC_RENAME_UPDOWN, IDC_RENAME_START, 1, 9999, 1);
}

// Execute: a name no file name can hold, or a start that is no number, is refused here, before
// anything moves, and the dialog stays open on the edit to mend.
void Execute(HWND dialog) {
  ParameterBlock* block = BlockOf(dialog);
  if (!block) return;
  char name[sizeof block->rename.name] = "";
  char start[sizeof block->rename.start] = "";
  GetDlgItemTextA(dialog, IDC_RENAME_NAME, name, sizeof name);
  GetDlgItemTextA(dialog, IDC_RENAME_START, start, sizeof start);
  const int refusal = CheckRenameRequest(name, start);
  if (refusal >= 0) {
    ShowWarning(refusal, kCaptionWarning, true);
    HWND edit = GetDlgItem(dialog, refusal == kMsgBadNewName ? IDC_RENAME_NAME : IDC_RENAME_START);
    SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(edit), TRUE);
    SendMessageA(edit, EM_SETSEL, 0, -1);
    return;
  }
  std::snprintf(block->rename.name, sizeof block->rename.name, "%s", name);
  std::snprintf(block->rename.start, sizeof block->rename.start, "%s", start);
  SendDialogEvent(dialog, kDialogOk, kBitRename, true);
}

// The chooser has no owner: the dialog waits disabled until it closes.
void ChangeFolder(HWND dialog) {
  ParameterBlock* block = BlockOf(dialog);
  if (!block) return;
  char folder[MAX_PATH];
  EnableWindow(dialog, FALSE);
  if (ChooseFolder(nullptr, folder)) {
    std::snprintf(block->rename.folder, sizeof block->rename.folder, "%s", folder);
    SetDlgItemTextA(dialog, IDC_RENAME_FOLDER, block->rename.folder);
  }
  EnableWindow(dialog, TRUE);
  SetActiveWindow(dialog);
}

// The rename of the image files of the current folder. Nothing moves when the folder has none, or
// when the user keeps the image being edited; a discarded image leaves the window empty.
RenameCounts RenameImageFiles(CmdClass& c) {
  RenameCounts counts;
  std::vector<std::string> names;
  {
    FileAccess access;
    char folder[MAX_PATH];
    if (access.ListFolder(folder) > 0)
      for (const FileListEntry* e = access.list_head(); e; e = e->next) names.push_back(e->name);
  }
  if (names.empty()) return counts;
  if (c.image_count_ != 0) {
    if (AskQuestion(MessageText(kMsgDiscardImage), true) != IDOK) return counts;
    c.ClearDocument();
    c.RefreshViews();
    char title[64] = "";  // the window's title without a document is its class name
    GetClassNameA(c.main_window_, title, sizeof title);
    SetWindowTextA(c.main_window_, title);
    c.UpdateToolbarStates();
  }
  const long start = RenameStartNumber(c.params_.rename.start);
  return RunRename(PlanRename(names, c.params_.rename.name, start), MoveWithoutReplacing);
}

}  // namespace

INT_PTR CALLBACK RenameDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrA(dialog, DWLP_USER, lparam);
      if (lparam) FillDialog(dialog, *reinterpret_cast<ParameterBlock*>(lparam));
      return TRUE;
    case WM_VSCROLL:  // the up-down moved: its position into the start edit
      if (reinterpret_cast<HWND>(lparam) != GetDlgItem(dialog, IDC_RENAME_UPDOWN)) return FALSE;
      SetItemFormat(dialog, IDC_RENAME_START, "%04d",
                    static_cast<int>(SendDlgItemMessageA(dialog, IDC_RENAME_UPDOWN, UDM_GETPOS32, 0, 0)));
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wparam)) {
        case IDC_RENAME_CHOOSE_FOLDER: ChangeFolder(dialog); return TRUE;
        case IDC_RENAME_RUN:
        case IDOK: Execute(dialog); return TRUE;
        case IDC_RENAME_CANCEL:
        case IDCANCEL: SendDialogEvent(dialog, kDialogCancel, kBitRename, true); return TRUE;
        default: return FALSE;
      }
    case WM_CLOSE:
      SendDialogEvent(dialog, kDialogCancel, kBitRename, true);
      return TRUE;
    default:
      return FALSE;
  }
}

void CmdClass::StartRenameDialog() {
  if (BringOpenDialogForward()) return;
  view_flags_ |= kViewRenaming;
  GetCurrentDirectoryA(sizeof params_.rename.folder, params_.rename.folder);
  CreateDialogFor(189);
  if (!dialog_window_) view_flags_ &= ~kViewRenaming;
}

void CmdClass::OnRenameEvent(WPARAM wparam, LPARAM) {
  // The dialog goes first (it is destroyed once this returns): hidden, it cannot be pressed again
  // while the question and the completion box are up.
  if (dialog_window_) ShowWindow(dialog_window_, SW_HIDE);
  ForgetDialog(kBitRename);
  if (wparam == kDialogOk) {
    std::snprintf(settings_.dir_name, sizeof settings_.dir_name, "%s", params_.rename.folder);
    SetCurrentDirectoryA(settings_.dir_name);
    const RenameCounts counts = RenameImageFiles(*this);
    Channel().Message(RenameSummaryText(counts).c_str(), kCaptionInfo, MB_ICONINFORMATION, false);
  }
  view_flags_ &= ~kViewRenaming;
}
