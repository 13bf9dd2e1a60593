// Trimming mode: while it is on, the main window's procedure is replaced by the one here. The user
// drags a band over the view with the left button; on release the part of the image under the
// band becomes the next image of the document and the mode ends. Command 129 again ends the mode
// without a crop; the close box and the quit command end it and then quit as they do outside it.
#include <windows.h>
#include <windowsx.h>
#include <commctrl.h>
#include <shellapi.h>

#include "app/cmd_class_win32.h"
#include "app/command_labels.h"
#include "app/command_states.h"
#include "app/command_table.h"
#include "app/main_window_win32.h"
#include "document/crop.h"

namespace {

constexpr int kQuit = 101, kTrim = 129;
constexpr WPARAM kNotifyTrim = 129, kNotifyCancelled = 181;
constexpr LONG_PTR kCaptionBoxes = WS_MINIMIZEBOX | WS_MAXIMIZEBOX;

// Process-wide state of the trimming procedure. The instance, the cross and the class cursor it
// replaces are taken on the first message that reaches the procedure.
HINSTANCE instance_handle = nullptr;
HCURSOR cross_cursor = nullptr;
HCURSOR saved_class_cursor = nullptr;
int32_t anchor_x = 0, anchor_y = 0;
ViewRect band{};
bool dragging = false;
TrimBand result{};                  // the band as reported to the main window
WNDPROC saved_procedure = nullptr;  // the main window's own procedure while the mode is on

void SetCaptionBoxes(HWND window, bool shown) {
  const LONG_PTR style = GetWindowLongPtrA(window, GWL_STYLE);
  SetWindowLongPtrA(window, GWL_STYLE, shown ? style | kCaptionBoxes : style & ~kCaptionBoxes);
  // The caption shows the change only once the frame is told of it.
  SetWindowPos(window, nullptr, 0, 0, 0, 0,
               SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The band is drawn by inversion, so drawing it twice wipes it; only over the view, never over
// the toolbar band.
void InvertBand(HDC dc) {
  const ViewRect& v = TheController()->view_rect_;
  IntersectClipRect(dc, v.left, v.top, v.right, v.bottom);
  const RECT r{band.left, band.top, band.right, band.bottom};
  DrawFocusRect(dc, &r);
}

void InvertBand(HWND window) {
  if (HDC dc = GetDC(window)) {
    InvertBand(dc);
    ReleaseDC(window, dc);
  }
}

// Gives the window back as it was before the mode: the band wiped and the mouse released, the
// class cursor, the caption's boxes, the menu and the window procedure.
void RestoreWindow(HWND window) {
  if (dragging) {
    InvertBand(window);
    dragging = false;
    ReleaseCapture();
  }
  if (saved_class_cursor) SetClassLongPtrA(window, GCLP_HCURSOR, reinterpret_cast<LONG_PTR>(saved_class_cursor));
  SetCaptionBoxes(window, true);
  HMENU menu = GetMenu(window);
  ModifyMenuA(menu, kTrim, MF_BYCOMMAND | MF_STRING, kTrim, LABEL_129_TRIMMING_ENDED);
  for (int id = kQuit + 1; id <= kLastCommand; ++id) EnableMenuItem(menu, id, MF_BYCOMMAND | MF_ENABLED);
  SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(saved_procedure));
}

// Leaves the mode without a crop; the main window clears the mode and its toolbar.
void Cancel(HWND window) {
  RestoreWindow(window);
  SendMessageA(window, UM_CHILD_NOTIFY, kNotifyCancelled, 0);
}

void OnInitMenuPopup(HWND window) {
  HMENU menu = GetMenu(window);
  ModifyMenuA(menu, kTrim, MF_BYCOMMAND | MF_STRING, kTrim, LABEL_129_TRIMMING);
  for (int id = kQuit + 1; id <= kLastCommand; ++id) EnableMenuItem(menu, id, MF_BYCOMMAND | MF_GRAYED);
  EnableMenuItem(menu, kTrim, MF_BYCOMMAND | MF_ENABLED);
  EnableMenuItem(menu, kQuit, MF_BYCOMMAND | MF_ENABLED);
}

// The view is painted as usual and, during a drag, the band again where the painting covered it,
// so that the inverted band stays whole.
LRESULT OnPaint(HWND window) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  TheController()->PaintView(dc);
  if (dragging) InvertBand(dc);
  EndPaint(window, &ps);
  return 0;
}

void OnButtonDown(HWND window, LPARAM lparam) {
  anchor_x = GET_X_LPARAM(lparam);
  anchor_y = GET_Y_LPARAM(lparam);
  band = ViewRect{anchor_x, anchor_y, anchor_x, anchor_y};
  dragging = true;
  // A release outside the window still ends the drag.
  SetCapture(window);
}

void OnMouseMove(HWND window, LPARAM lparam) {
  HDC dc = GetDC(window);
  if (dc) InvertBand(dc);
  FollowPointer(anchor_x, anchor_y, GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam), &band);
  if (dc) {
    InvertBand(dc);
    ReleaseDC(window, dc);
  }
}

void OnButtonUp(HWND window) {
  result = TrimBand{band.left, band.right, band.top, band.bottom};
  dragging = false;
  ReleaseCapture();
  RestoreWindow(window);
  SendMessageA(window, UM_CHILD_NOTIFY, kNotifyTrim, reinterpret_cast<LPARAM>(&result));
}

LRESULT CALLBACK TrimmingWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (!instance_handle) instance_handle = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE));
  if (!cross_cursor) {
    cross_cursor = LoadCursorA(nullptr, IDC_CROSS);
    saved_class_cursor = reinterpret_cast<HCURSOR>(
        SetClassLongPtrA(window, GCLP_HCURSOR, reinterpret_cast<LONG_PTR>(cross_cursor)));
  }
  switch (message) {
    case WM_INITMENUPOPUP: OnInitMenuPopup(window); return 0;
    case WM_NOTIFY: {
      NMHDR* header = reinterpret_cast<NMHDR*>(lparam);
      if (header && header->code == TTN_GETDISPINFOA) TheController()->AnswerTooltip(header, instance_handle);
      return 0;
    }
    case WM_SETCURSOR:
      SetClassLongPtrA(window, GCLP_HCURSOR, reinterpret_cast<LONG_PTR>(cross_cursor));
      break;
    case WM_PAINT: return OnPaint(window);
    // The window's size and the information and histogram windows are followed as outside the
    // mode; the view keeps its zoom and pan, so the band stays over the same picture.
    case WM_SIZE:
    case UM_DIALOG_CLOSED:
    case UM_HISTOGRAM_MOVED:
      return CallWindowProcA(saved_procedure, window, message, wparam, lparam);
    case WM_DROPFILES:  // no file opens during the mode
      DragFinish(reinterpret_cast<HDROP>(wparam));
      return 0;
    case WM_LBUTTONDOWN:
      if (dragging) break;
      OnButtonDown(window, lparam);
      return 0;
    case WM_MOUSEMOVE:
      if (!dragging) break;
      OnMouseMove(window, lparam);
      return 0;
    case WM_LBUTTONUP:
      if (!dragging) break;
      OnButtonUp(window);
      return 0;
    case WM_CAPTURECHANGED:
      // Another window took the mouse (a menu opened by the keyboard): the drag is given up.
      if (dragging && reinterpret_cast<HWND>(lparam) != window) {
        InvertBand(window);
        dragging = false;
      }
      break;
    case WM_COMMAND:
      // By the low word: the accelerators Ctrl+T and Ctrl+R send 129 with 1 in the high word.
      if (LOWORD(wparam) == kTrim) {
        Cancel(window);
        return 0;
      }
      if (LOWORD(wparam) == kQuit) {
        Cancel(window);
        return SendMessageA(window, message, wparam, lparam);
      }
      break;
    case WM_CLOSE:
      Cancel(window);
      return SendMessageA(window, message, wparam, lparam);
    default:
      break;
  }
  // Everything else, the commands of the other items among them, has no effect in the mode.
  return DefWindowProcA(window, message, wparam, lparam);
}

}  // namespace

void CmdClass::ToggleTrimming() {
  if (view_flags_ & kViewTrimming) {
    // Only reached when the mode's procedure is no longer installed: the mode just ends.
    view_flags_ &= ~kViewTrimming;
    UpdateToolbarStates();
    return;
  }
  // An image shown and no other mode or dialog: an open dialog is brought forward instead.
  if (BringOpenDialogForward() || CurrentModeRow(view_flags_, image_count_) != ModeRow::kImage || !main_window_)
    return;
  EndDrag();
  ReadViewRect();
  SetCaptionBoxes(main_window_, false);
  view_flags_ |= kViewTrimming;
  UpdateToolbarStates();
  dragging = false;
  saved_procedure = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(main_window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TrimmingWindowProc)));
}

LRESULT CmdClass::OnChildNotify(WPARAM wparam, LPARAM lparam) {
  switch (wparam) {
    case kNotifyTrim: {
      const TrimBand* b = reinterpret_cast<const TrimBand*>(lparam);
      if (b) {
        params_.p[0] = b->left;
        params_.p[1] = b->right;
        params_.p[2] = b->top;
        params_.p[3] = b->bottom;
        ReadViewRect();
        // An empty band, or one beside the image, crops nothing; the mode ends all the same.
        if (CropToBand(*this, TrimBand{params_.p[0], params_.p[1], params_.p[2], params_.p[3]})) Commit();
      }
      ResetPan();
      view_flags_ &= ~kViewTrimming;
      UpdateToolbarStates();
      return 0;
    }
    case kNotifyCancelled:
      view_flags_ &= ~kViewTrimming;
      UpdateToolbarStates();
      return 0;
    default:
      return 0;  // the thumbnail browser's notifications come with the browser
  }
}
