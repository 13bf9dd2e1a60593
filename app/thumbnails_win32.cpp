// The thumbnail browser: a sheet of small pictures of the current folder's image files.
#include <windows.h>

#include "app/cmd_class_win32.h"

void CmdClass::OpenThumbnails() {}

LRESULT CmdClass::OnThumbnailNotify(WPARAM, LPARAM) { return 0; }
