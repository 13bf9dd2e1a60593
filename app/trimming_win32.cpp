// Trimming mode: the main window's procedure replaced while the user drags a band to crop to.
#include <windows.h>

#include "app/cmd_class_win32.h"

void CmdClass::ToggleTrimming() {}

LRESULT CmdClass::OnChildNotify(WPARAM, LPARAM) { return 0; }
