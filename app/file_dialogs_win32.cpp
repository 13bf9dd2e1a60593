#include "app/file_dialogs_win32.h"

#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>

#include "app/cmd_class_win32.h"
#include "app/file_flow.h"
#include "base/messages.h"

const char* const kOpenTitle = "ファイルを開く";
const char* const kSaveTitle = "ファイルを保存";
const char* const kReplaceQuestion = "%s は既に存在します。\n上書きしますか？";

namespace {

// OFN_ENABLESIZING | OFN_EXPLORER | OFN_FILEMUSTEXIST, and OFN_OVERWRITEPROMPT for saving. The
// hook bit is left out: no hook procedure is given.
constexpr DWORD kOpenFlags = OFN_ENABLESIZING | OFN_EXPLORER | OFN_FILEMUSTEXIST;
constexpr DWORD kSaveFlags = kOpenFlags | OFN_OVERWRITEPROMPT;

// A drive path ("C:..."), or one from the root of the current drive or a share ("\\...").
bool IsAbsolute(const char* path) {
  return (path[0] && path[1] == ':') || path[0] == '\\' || path[0] == '/';
}

int CALLBACK FolderCallback(HWND dialog, UINT message, LPARAM lparam, LPARAM data) {
  if (message == BFFM_INITIALIZED) {
    SetWindowPos(dialog, nullptr, 518, 75, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    SendMessageA(dialog, BFFM_SETSELECTIONA, TRUE, data);
  } else if (message == BFFM_VALIDATEFAILEDA) {
    ShowError(kMsgBadFolder);
    return 1;  // keep the dialog open
  }
  (void)lparam;
  return 0;
}

}  // namespace

int FileDialog(FileAccess& access, HWND owner, bool save, int* filter_index, char* folder, char* file) {
  char own[MAX_PATH];
  if (!file) {
    std::snprintf(own, sizeof own, "%s", access.path());
    file = own;
  }
  OPENFILENAMEA ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = kDialogFilter;
  ofn.nFilterIndex = static_cast<DWORD>(*filter_index);
  ofn.lpstrFile = file;
  ofn.nMaxFile = MAX_PATH;
  ofn.lpstrInitialDir = folder;
  ofn.lpstrTitle = save ? kSaveTitle : kOpenTitle;
  ofn.Flags = save ? kSaveFlags : kOpenFlags;
  const BOOL chosen = save ? GetSaveFileNameA(&ofn) : GetOpenFileNameA(&ofn);
  if (!chosen && CommDlgExtendedError() != 0) Error();  // the dialog itself failed
  if (chosen) {
    if (save) access.SaveNameFix(file, static_cast<int>(ofn.nFilterIndex));
    else access.SetPath(file);
  }
  *filter_index = static_cast<int>(ofn.nFilterIndex);
  CurrentFolder(folder, MAX_PATH);
  return chosen ? 1 : 0;
}

bool ConfirmReplacing(const char* chosen, const char* final_name) {
  if (std::strcmp(chosen, final_name) == 0) return true;  // the dialog has asked already
  if (GetFileAttributesA(final_name) == INVALID_FILE_ATTRIBUTES) return true;
  char text[MAX_PATH + 64];
  std::snprintf(text, sizeof text, kReplaceQuestion, final_name);
  return AskQuestion(text, true) == IDOK;
}

bool ChooseFolder(HWND owner, char* folder) {
  CurrentFolder(folder, MAX_PATH);
  char display[MAX_PATH] = "";
  BROWSEINFOA bi{};
  bi.hwndOwner = owner;
  bi.pszDisplayName = display;
  bi.lpszTitle = "フォルダの選択";
  bi.ulFlags = BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_VALIDATE | BIF_NEWDIALOGSTYLE;
  bi.lpfn = FolderCallback;
  bi.lParam = reinterpret_cast<LPARAM>(folder);
  LPITEMIDLIST chosen = SHBrowseForFolderA(&bi);
  if (!chosen) return false;
  char path[MAX_PATH] = "";
  const bool ok = SHGetPathFromIDListA(chosen, path) != FALSE;
  CoTaskMemFree(chosen);
  if (!ok) return false;
  std::snprintf(folder, MAX_PATH, "%s", path);
  SetCurrentDirectoryA(folder);
  return true;
}

bool CmdClass::OpenFlow(HWND window, UINT message, WPARAM wparam) {
  main_window_ = window;
  ReadViewRect();
  FileAccess access;
  access.SetPath(last_path_);
  if (message == WM_DROPFILES) {
    HDROP drop = reinterpret_cast<HDROP>(wparam);
    char path[MAX_PATH] = "";
    DragQueryFileA(drop, 0, path, MAX_PATH);  // only the first file of a drop
    DragFinish(drop);
    access.SetPath(path);
    SetFolderOfPath(path);
  } else if (message == UM_OPEN_FILE) {
    access.FolderFromArgument(reinterpret_cast<const char*>(wparam));
    // A relative path names a file of the folder the program was started in (the settings
    // have since made the working directory current).
    if (access.path()[0] && !IsAbsolute(access.path())) {
      char full[MAX_PATH];
      std::snprintf(full, sizeof full, "%s\\%s", program_dir_, access.path());
      access.SetPath(full);
      SetFolderOfPath(full);
    }
  } else {
    if (!FileDialog(access, window, false, &settings_.filter_index, settings_.dir_name, nullptr)) return false;
  }
  std::snprintf(last_path_, sizeof last_path_, "%s", access.path());
  if (!OpenImageFile(*this, last_path_)) return false;
  UpdateToolbarStates();
  return true;
}

bool CmdClass::SaveFlow() {
  if (image_count_ == 0) return false;
  BmpIOClass names;  // holds the chosen name; the writer is made by the save itself
  char file[MAX_PATH];
  std::snprintf(file, sizeof file, "%s", current_->path);
  const int result = FileDialog(names, main_window_, true, &settings_.filter_index, settings_.dir_name, file);
  if (result == 0) return false;
  if (result != 1) {
    ShowError(kMsgCannotOpen);
    return false;
  }
  if (!ConfirmReplacing(file, names.path())) return false;
  return SaveImageFile(*this, names.path(), settings_.pgm_save_mode);
}
