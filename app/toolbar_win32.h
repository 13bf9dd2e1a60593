// The toolbar of the main window: 33 flat 16 x 16 buttons that send the menu commands.
#pragma once
#include <windows.h>
#include <commctrl.h>

class ToolBar {
 public:
  ToolBar();
  virtual ~ToolBar();
  // Creates the toolbar as a child of parent (control 730, pictures from bitmap 731); null on
  // failure.
  HWND Create(HWND parent, HINSTANCE instance);

  // The button table: 44 entries, separators included.
  static const TBBUTTON* Buttons();
  static constexpr int kButtonCount = 44;
  static constexpr int kImageCount = 34;

 private:
  INITCOMMONCONTROLSEX init_;
};
