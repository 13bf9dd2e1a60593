// The controller of the main window: the document and its operations (Filter) plus everything
// that needs a window: command dispatch, menu and toolbar states, the view, the file dialogs and
// the settings. Exactly one exists per process, made on the main window's first message.
#pragma once
#include <windows.h>

#include "app/settings.h"
#include "document/view_reductions.h"
#include "processing/filter.h"

// The thumbnail browser's state while it is open (app/thumbnails_win32.h).
struct ThumbnailBrowser;
struct ThumbnailBrowserDeleter {
  void operator()(ThumbnailBrowser* browser) const;
};

class CmdClass : public Filter {
 public:
  CmdClass();
  ~CmdClass() override;

  // WM_COMMAND: ids 101..192 of the command table; everything else, and 181, 184, 185 and 190,
  // go to DefWindowProcA.
  LRESULT Dispatch(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  // WM_INITMENUPOPUP: enables, greys and relabels the items of popup by the current mode.
  void UpdateMenuAvailability(HMENU popup);
  // Sets every toolbar button's state by the current mode.
  void UpdateToolbarStates();
  // TTN_GETDISPINFOA for a toolbar button.
  void AnswerTooltip(NMHDR* header, HINSTANCE instance);

  // Document hooks.
  bool RefreshViews() override;
  void RebuildViewPalette() override;

  // The view (app/view_win32.cpp).
  void ReadViewRect();
  void InvalidateView();
  bool PaintView(HDC dc);
  void UpdateTitle();
  void DrawCentreMark();
  static void ClearWindowFace(HWND window);
  void ZoomByWheel(WPARAM wparam);
  void StartDrag(LPARAM lparam);
  void DragStep(LPARAM lparam);
  void EndDrag();
  void ResetPan();
  void ToggleCentreMark();

  // Open and save (app/file_dialogs_win32.cpp). Open: WM_DROPFILES takes the drop handle,
  // UM_OPEN_FILE the path text, anything else runs the open dialog.
  bool OpenFlow(HWND window, UINT message, WPARAM wparam);
  bool SaveFlow();

  // Settings file.
  void LoadSettings();
  void SaveSettings();

  // Modeless dialogs (app/dialogs_win32.cpp): creation by command id, the UM_DIALOG_EVENT and
  // UM_DIALOG_CLOSED protocol, and the starts that make the images a dialog works on.
  void CreateDialogFor(int command);
  LRESULT OnDialogEvent(WPARAM wparam, LPARAM lparam);
  void OnWindowClosed(uint32_t bit);
  void ForgetDialog(uint32_t bit);
  // True (the open dialog brought forward) when an adjustment, settings or rename dialog is open.
  bool BringOpenDialogForward();
  // Closes an open adjustment dialog as its cancel does, before the document changes under it.
  void CancelAdjustmentDialog();
  void StartPreviewDialog(int command);  // 116, 117, 121, 122, 153, 192
  void StartTransformDialog(int command);  // 128, 154
  void StartBlend(int command);  // 131, 155..167
  // Draws an image stretched over a dialog control's client area.
  static void DrawImageInto(HWND dialog, int control, const DibImage* image);

  // The information and histogram windows' contents (app/info_windows_win32.cpp). Computing the
  // histogram fails (and forgets the window) when the current image gives no record.
  void FillInformationWindow();
  bool ComputeHistogram();
  void DrawHistogram();

  // The adjustment dialogs' previews and applies (app/adjust_dialogs_win32.cpp): the 1026
  // messages of dialogs 638, 652, 666, 685, 732, 702, 712 and 722.
  void OnAdjustEvent(WPARAM wparam, LPARAM lparam);

  // Settings dialog 504 (app/settings_dialog_win32.cpp).
  void StartSettingsDialog();
  void OnSettingsEvent(WPARAM wparam, LPARAM lparam);

  // Batch rename (app/rename_dialog_win32.cpp).
  void StartRenameDialog();
  void OnRenameEvent(WPARAM wparam, LPARAM lparam);

  // Trimming mode (app/trimming_win32.cpp): command 129 and the trimming procedure's reports.
  void ToggleTrimming();
  LRESULT OnChildNotify(WPARAM wparam, LPARAM lparam);

  // Thumbnail browser (app/thumbnails_win32.cpp): command 132 and the browser window's requests
  // (UM_CHILD_NOTIFY with 2 close, 132 open, 185 delete).
  void OpenThumbnails();
  LRESULT OnThumbnailNotify(WPARAM wparam, LPARAM lparam);

  // Slideshow (app/slideshow_win32.cpp): commands 130 (automatic) and 188 (manual), timer 800.
  void ToggleSlideshow(bool manual);
  void SlideshowTimer();
  void EndSlideshow();

  // Printing (app/printer_win32.cpp): 133 fit to page, 176 actual size.
  void PrintCurrentImage(int command);

  void Quit();
  void ShowAbout();
  void ShowHelp();

  HWND main_window_ = nullptr;
  HWND toolbar_ = nullptr;
  HWND progress_window_ = nullptr;
  HPALETTE view_palette_ = nullptr;
  Settings settings_;                 // filter index, slideshow, thumbnails, PNM mode, working directory
  char last_path_[MAX_PATH] = "";
  char program_dir_[MAX_PATH] = "";   // current directory at start-up
  int last_zoom_step_ = 20;           // the wheel's previous step
  HWND dialog_window_ = nullptr;      // the open adjustment, settings or rename dialog
  HWND info_window_ = nullptr;        // information window 605
  HWND histogram_window_ = nullptr;   // histogram window 600
  Settings dialog_settings_;          // the settings dialog's values while it is open
  ViewReductions reductions_;         // reduced copies of the current image for small zooms
  std::unique_ptr<ThumbnailBrowser, ThumbnailBrowserDeleter> thumbnails_;  // the open thumbnail browser

 private:
  bool RunAndCommit(int id);
};

// The main window's custom messages.
enum : UINT {
  UM_OPEN_FILE = WM_USER,
  UM_DIALOG_CLOSED = WM_USER + 1,
  UM_DIALOG_EVENT = WM_USER + 2,
  UM_HISTOGRAM_MOVED = WM_USER + 3,
  UM_CHILD_NOTIFY = WM_USER + 4,
  UM_PROGRESS_STEP = WM_USER + 5,
};
