// The file and folder dialogs, and the open and save flows that put them in front of the core's
// OpenImageFile and SaveImageFile.
#pragma once
#include <windows.h>

#include "formats/file_access.h"

// The open (save = false) or save dialog. filter_index and folder are read and written back
// (the folder becomes the current directory the dialog left); file is the name buffer
// (MAX_PATH), or null for access's own path. After a successful save dialog the chosen name
// goes through SaveNameFix into access. Returns the dialog's result: 1 chosen, 0 cancelled.
int FileDialog(FileAccess& access, HWND owner, bool save, int* filter_index, char* folder, char* file);

// The shell folder dialog, starting at the current directory; on a choice folder receives the
// path and becomes the current directory. False when cancelled.
bool ChooseFolder(HWND owner, char* folder);

// The save dialog asks before replacing the name the user chose; when an extension was added to
// that name afterwards, this asks the same for the file it now names (a question box, OK to
// replace). True when saving may go on.
bool ConfirmReplacing(const char* chosen, const char* final_name);

// Dialog titles and the replace question.
extern const char* const kOpenTitle;   // "ファイルを開く"
extern const char* const kSaveTitle;   // "ファイルを保存"
extern const char* const kReplaceQuestion;  // "%s は既に存在します。\n上書きしますか？"
