// The slideshows: the current folder's image files shown one after another, on a timer or by
// the mouse wheel.
#include <windows.h>

#include "app/cmd_class_win32.h"

void CmdClass::ToggleSlideshow(bool) {}

void CmdClass::SlideshowTimer() {}

void CmdClass::EndSlideshow() {}
