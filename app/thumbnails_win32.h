// The thumbnail browser's state, shared by the main window's side (app/thumbnails_win32.cpp:
// building the sheet, the open, delete and close requests) and the browser window's procedure
// (app/thumbnail_window_win32.cpp: painting, keys, scrolling, tooltips).
#pragma once
#include <windows.h>

#include <vector>

#include "document/thumbnail_layout.h"

// The main window hands the browser window its state (lParam) once the sheet is drawn.
constexpr UINT UM_THUMBNAIL_STATE = WM_USER + 6;
// The browser window's requests to the main window (UM_CHILD_NOTIFY's wParam); lParam is the
// state for open and delete.
enum ThumbnailRequest : WPARAM { kThumbClose = 2, kThumbOpen = 132, kThumbDelete = 185 };

// One allocation while the browser is open; owned by the controller, lent to the window.
struct ThumbnailBrowser {
  ThumbnailBrowser() = default;
  ~ThumbnailBrowser();
  ThumbnailBrowser(const ThumbnailBrowser&) = delete;
  ThumbnailBrowser& operator=(const ThumbnailBrowser&) = delete;

  // The sheet: every thumbnail and label drawn once into a bitmap of the memory DC.
  SheetLayout layout{};
  HDC sheet_dc = nullptr;
  HBITMAP sheet = nullptr;
  HGDIOBJ sheet_before = nullptr;  // the DC's bitmap before the sheet was selected
  std::vector<ThumbnailEntry> files;  // the file table, in listing order
  char folder[MAX_PATH] = "";

  // The browser window and what its procedure keeps.
  HWND window = nullptr;
  HWND tooltip = nullptr;
  Selection selected{0, 0};
  int scroll = 0;          // offset of the sheet's top in the window, a whole number of rows
  int largest_scroll = 0;
  bool painting = false;   // the sheet is complete and may be shown

  int SelectedIndex() const { return selected.row * layout.columns + selected.column; }
};

// The window procedure of the class "ShowThumbs".
LRESULT CALLBACK ThumbnailWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
// The path of file index of the browser's folder.
void ThumbnailPath(const ThumbnailBrowser& browser, int index, char* path, size_t size);
