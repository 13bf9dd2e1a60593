// Printing the current image on one page, fitted to the page or at its actual size.
#include <windows.h>

#include "app/cmd_class_win32.h"

void CmdClass::PrintCurrentImage(int) {}
