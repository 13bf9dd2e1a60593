#include "app/main_window_win32.h"

#include <commctrl.h>
#include <windowsx.h>

#include "app/cmd_class_win32.h"
#include "app/resource_ids.h"
#include "app/settings.h"
#include "app/thumbnails_win32.h"
#include "app/toolbar_win32.h"

namespace {

const char* const kMainClass = "Tessamor";
const char* const kThumbClass = "ShowThumbs";
constexpr UINT_PTR kSlideTimer = 800;

// Process-wide state of the window procedure, made on its first message.
HINSTANCE instance_handle = nullptr;
HCURSOR drag_cursor = nullptr;
HCURSOR cursor_before_drag = nullptr;
CmdClass* controller = nullptr;

CmdClass& Controller() {
  static CmdClass the_controller;  // lives until the process ends
  controller = &the_controller;
  return the_controller;
}

// The thumbnail window's procedure is the thumbnail browser's (app/thumbnail_window_win32.cpp).
LRESULT CALLBACK ThumbWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  return ThumbnailWindowProc(window, message, wparam, lparam);
}

LRESULT OnCreate(CmdClass& c, HWND window) {
  c.main_window_ = window;
  ToolBar bar;
  c.toolbar_ = bar.Create(window, instance_handle);
  c.UpdateToolbarStates();
  return 0;
}

LRESULT OnSize(CmdClass& c, WPARAM wparam, LPARAM lparam) {
  if (c.image_count_ != 0) {
    c.ReadViewRect();
    c.InvalidateView();
  }
  if (c.toolbar_) {
    SendMessageA(c.toolbar_, WM_SIZE, wparam, lparam);
    // Let the buttons wrap anew: a toolbar that wrapped in a narrow window goes back to one
    // row when the window widens again.
    SendMessageA(c.toolbar_, TB_AUTOSIZE, 0, 0);
  }
  return 0;
}

LRESULT OnPaint(CmdClass& c, HWND window) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  c.PaintView(dc);
  EndPaint(window, &ps);
  return 0;
}

LRESULT OnNotify(CmdClass& c, LPARAM lparam) {
  NMHDR* header = reinterpret_cast<NMHDR*>(lparam);
  if (header && header->code == TTN_GETDISPINFOA) c.AnswerTooltip(header, instance_handle);
  return 0;
}

}  // namespace

CmdClass* TheController() { return controller; }

uint32_t ReadStartColour() {
  char folder[MAX_PATH] = "";
  GetCurrentDirectoryA(MAX_PATH, folder);
  return ParseSettings(ReadTextFile(SettingsPath(folder).c_str()), "").bk_colour;
}

bool RegisterWindowClasses(HINSTANCE instance, uint32_t background) {
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.style = 0;
  wc.lpfnWndProc = MainWindowProc;
  wc.hInstance = instance;
  wc.hIcon = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_PROGRAM_ICON), IMAGE_ICON, 0, 0,
                                           LR_DEFAULTSIZE | LR_SHARED));
  wc.hCursor = LoadCursorA(instance, MAKEINTRESOURCEA(IDC_VIEW_CURSOR));
  wc.hbrBackground = CreateSolidBrush(background);
  wc.lpszMenuName = kMainClass;
  wc.lpszClassName = kMainClass;
  if (!RegisterClassExA(&wc)) return false;
  wc.lpfnWndProc = ThumbWindowProc;
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  wc.lpszClassName = kThumbClass;
  return RegisterClassExA(&wc) != 0;
}

HWND CreateMainWindow(HINSTANCE instance) {
  return CreateWindowExA(WS_EX_ACCEPTFILES, kMainClass, kMainClass, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                         CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr,
                         LoadMenuA(instance, MAKEINTRESOURCEA(IDM_MAIN_MENU)), instance, nullptr);
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (!instance_handle) instance_handle = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE));
  if (!drag_cursor) drag_cursor = LoadCursorA(instance_handle, MAKEINTRESOURCEA(IDC_DRAG_CURSOR));
  CmdClass& c = Controller();
  switch (message) {
    case WM_CREATE: return OnCreate(c, window);
    case WM_SIZE: return OnSize(c, wparam, lparam);
    case WM_PAINT: return OnPaint(c, window);
    case WM_CLOSE: c.Quit(); return 0;
    case WM_NOTIFY: return OnNotify(c, lparam);
    case WM_CHAR:
      if (LOWORD(wparam) != ' ') break;
      c.ToggleCentreMark();
      return 0;
    case WM_COMMAND: return c.Dispatch(window, message, wparam, lparam);
    case WM_TIMER:
      if (wparam != kSlideTimer) break;
      c.SlideshowTimer();
      return 0;
    case WM_INITMENUPOPUP: c.UpdateMenuAvailability(reinterpret_cast<HMENU>(wparam)); return 0;
    case WM_MOUSEMOVE: c.DragStep(lparam); return 0;
    case WM_LBUTTONDOWN:
      c.StartDrag(lparam);
      cursor_before_drag = SetCursor(drag_cursor);
      break;
    case WM_LBUTTONUP:
      c.EndDrag();
      // Only a cursor kept by a button-down is given back (a stray button-up keeps the cursor).
      if (cursor_before_drag) SetCursor(cursor_before_drag);
      cursor_before_drag = nullptr;
      break;
    case WM_MBUTTONDOWN: c.ResetPan(); return 0;
    case WM_MOUSEWHEEL: c.ZoomByWheel(wparam); return 0;
    case WM_DROPFILES:
    case UM_OPEN_FILE:
      c.CancelAdjustmentDialog();
      c.EndSlideshow();  // a file dropped during a show ends it and opens as usual
      c.OpenFlow(window, message, wparam);
      return 0;
    case UM_DIALOG_CLOSED: c.OnWindowClosed(static_cast<uint32_t>(lparam)); return 0;
    case UM_DIALOG_EVENT: return c.OnDialogEvent(wparam, lparam);
    case UM_CHILD_NOTIFY:
      // Trimming reports 129 and 181; the thumbnail browser 2, 132 and 185.
      if (wparam == 129 || wparam == 181) return c.OnChildNotify(wparam, lparam);
      return c.OnThumbnailNotify(wparam, lparam);
    case UM_HISTOGRAM_MOVED:
      if (LOWORD(wparam) == 600) c.DrawHistogram();
      return 0;
    default: break;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}
