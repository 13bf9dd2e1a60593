// Printing one image on one page: the print dialog, the driver's device settings for the picture,
// the dialog again with those settings, and the page drawn fitted to the page or at actual size.
#pragma once
#include <windows.h>

#include "image/dib_image.h"

class Printer {
 public:
  virtual ~Printer() = default;

  // Prints image for command 133 (fit to page) or 176 (actual size). False when either dialog
  // was cancelled, or after the message of what failed; nothing is printed then.
  bool Print(HWND owner, const DibImage* image, int command);

  // Draws image on the page of a printer's device context as the command places it.
  static void DrawOnPage(HDC dc, const DibImage* image, int command);
};
