// The thumbnail browser's window: it shows the sheet drawn once by the main window's side,
// frames the selected cell in yellow, moves the selection with the arrow keys, scrolls by whole
// rows (moving the window's contents, never drawing a thumbnail again), gives each cell a
// tooltip with the file's facts, and sends the close, open and delete requests to the main window.
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <string>

#include "app/cmd_class_win32.h"
#include "app/thumbnails_win32.h"

namespace {

constexpr COLORREF kFrameColour = RGB(255, 255, 0);
constexpr int kTipWidth = 260;

ThumbnailBrowser* StateOf(HWND window) {
  return reinterpret_cast<ThumbnailBrowser*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

// The state may be gone when this returns (the main window closes the browser for a request).
void Request(HWND window, ThumbnailRequest request, LPARAM data) {
  SendMessageA(GetParent(window), UM_CHILD_NOTIFY, request, data);
}

RECT ClientRect(HWND window) {
  RECT r{};
  GetClientRect(window, &r);
  return r;
}

// Where cell index lies in the window: the picture and its label, box width wide.
RECT CellRect(const ThumbnailBrowser& b, int index) {
  const CellPoint at = CellOrigin(b.layout, index);
  const int top = at.y - b.scroll;
  return RECT{at.x, top, at.x + b.layout.box_width, top + b.layout.cell_height};
}

TTTOOLINFOA ToolOf(const ThumbnailBrowser& b, int index) {
  TTTOOLINFOA ti{};
  ti.cbSize = TTTOOLINFOA_V2_SIZE;  // the size every version of the common controls takes
  ti.uFlags = TTF_SUBCLASS;
  ti.hwnd = b.window;
  ti.uId = static_cast<UINT_PTR>(index);
  ti.rect = CellRect(b, index);
  return ti;
}

void AddTools(ThumbnailBrowser& b) {
  HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(b.window, GWLP_HINSTANCE));
  b.tooltip = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, b.window, nullptr, instance, nullptr);
  if (!b.tooltip) return;
  SendMessageA(b.tooltip, TTM_SETMAXTIPWIDTH, 0, kTipWidth);
  for (int i = 0; i < static_cast<int>(b.files.size()); ++i) {
    std::string tip = ThumbnailTip(b.files[i]);
    TTTOOLINFOA ti = ToolOf(b, i);
    ti.hinst = instance;
    ti.lpszText = &tip[0];  // copied by the tooltip
    SendMessageA(b.tooltip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
  }
}

// The tools follow their cells when the sheet scrolls.
void PlaceTools(const ThumbnailBrowser& b) {
  if (!b.tooltip) return;
  for (int i = 0; i < static_cast<int>(b.files.size()); ++i) {
    TTTOOLINFOA ti = ToolOf(b, i);
    SendMessageA(b.tooltip, TTM_NEWTOOLRECTA, 0, reinterpret_cast<LPARAM>(&ti));
  }
}

// Moves the sheet to offset `to` (whole rows, within the range): the window's contents move by
// the difference and only the uncovered band is painted from the sheet.
void ScrollTo(ThumbnailBrowser& b, int to) {
  to = std::clamp(to, 0, b.largest_scroll);
  const int by = b.scroll - to;
  if (by == 0) return;
  b.scroll = to;
  ScrollWindowEx(b.window, 0, by, nullptr, nullptr, nullptr, nullptr, SW_INVALIDATE);
  SetScrollPos(b.window, SB_VERT, to, TRUE);
  PlaceTools(b);
}

// Moves the selection by a key: the old and new frames are redrawn; for the keys (follow) the
// selected row is scrolled into view, while the scroll bar moves the sheet on its own.
void Move(ThumbnailBrowser& b, ThumbKey key, bool follow) {
  const int old = b.SelectedIndex();
  RECT frame = CellRect(b, old);
  InvalidateRect(b.window, &frame, FALSE);
  b.selected = MoveSelection(b.selected, key, b.layout.columns, b.layout.count);
  if (follow) {
    ScrollTo(b, ScrollToShow(b.layout, b.selected.row, b.scroll, ClientRect(b.window).bottom, b.largest_scroll));
    frame = CellRect(b, old);
    InvalidateRect(b.window, &frame, FALSE);
  }
  frame = CellRect(b, b.SelectedIndex());
  InvalidateRect(b.window, &frame, FALSE);
}

void OnSize(ThumbnailBrowser& b) {
  b.largest_scroll = LargestScroll(b.layout, ClientRect(b.window).bottom);
  SetScrollRange(b.window, SB_VERT, 0, b.largest_scroll, FALSE);
  const int kept = std::min(b.scroll, b.largest_scroll);
  b.scroll = kept;
  SetScrollPos(b.window, SB_VERT, kept, TRUE);
  PlaceTools(b);
  InvalidateRect(b.window, nullptr, FALSE);
}

void OnState(HWND window, ThumbnailBrowser* b) {
  SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(b));
  b->window = window;
  b->selected = Selection{0, 0};
  b->scroll = 0;
  SetWindowTextA(window, ThumbnailTitle(b->folder, b->layout.count).c_str());
  AddTools(*b);
  b->painting = true;
  SetFocus(window);
  OnSize(*b);
}

void OnPaint(HWND window, ThumbnailBrowser* b) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  const RECT client = ClientRect(window);
  HBRUSH black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  if (b && b->painting) {
    const SheetLayout& s = b->layout;
    const int shown_height = std::max(0, s.sheet_height - b->scroll);
    BitBlt(dc, 0, 0, s.sheet_width, shown_height, b->sheet_dc, 0, b->scroll, SRCCOPY);
    const RECT right{s.sheet_width, 0, client.right, client.bottom};
    const RECT below{0, shown_height, s.sheet_width, client.bottom};
    FillRect(dc, &right, black);
    FillRect(dc, &below, black);
    const RECT frame = CellRect(*b, b->SelectedIndex());
    HBRUSH yellow = CreateSolidBrush(kFrameColour);
    FrameRect(dc, &frame, yellow);
    DeleteObject(yellow);
  } else {
    FillRect(dc, &ps.rcPaint, black);
  }
  EndPaint(window, &ps);
}

void OnKey(HWND window, ThumbnailBrowser& b, WPARAM key) {
  switch (key) {
    case VK_RETURN: Request(window, kThumbOpen, reinterpret_cast<LPARAM>(&b)); break;
    case VK_DELETE: Request(window, kThumbDelete, reinterpret_cast<LPARAM>(&b)); break;
    case VK_LEFT: Move(b, ThumbKey::kLeft, true); break;
    case VK_UP: Move(b, ThumbKey::kUp, true); break;
    case VK_RIGHT: Move(b, ThumbKey::kRight, true); break;
    case VK_DOWN: Move(b, ThumbKey::kDown, true); break;
    default: break;
  }
}

// A row up or down moves the selection along; the ends and the thumb go straight to a row.
void OnScroll(ThumbnailBrowser& b, WPARAM wparam) {
  const int pitch = b.layout.RowPitch();
  switch (LOWORD(wparam)) {
    case SB_LINEUP:
    case SB_PAGEUP:
      if (b.scroll <= 0) break;
      ScrollTo(b, b.scroll - pitch);
      Move(b, ThumbKey::kUp, false);
      break;
    case SB_LINEDOWN:
    case SB_PAGEDOWN:
      if (b.scroll >= b.largest_scroll) break;
      ScrollTo(b, b.scroll + pitch);
      Move(b, ThumbKey::kDown, false);
      break;
    case SB_TOP: ScrollTo(b, 0); break;
    case SB_BOTTOM: ScrollTo(b, b.largest_scroll); break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: {
      SCROLLINFO si{};
      si.cbSize = sizeof si;
      si.fMask = SIF_TRACKPOS;
      GetScrollInfo(b.window, SB_VERT, &si);
      ScrollTo(b, (si.nTrackPos + pitch / 2) / pitch * pitch);
      break;
    }
    default: break;
  }
}

}  // namespace

LRESULT CALLBACK ThumbnailWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  ThumbnailBrowser* b = StateOf(window);
  switch (message) {
    case UM_THUMBNAIL_STATE: OnState(window, reinterpret_cast<ThumbnailBrowser*>(lparam)); return 0;
    case WM_SIZE:
      if (b) OnSize(*b);
      return 0;
    case WM_PAINT: OnPaint(window, b); return 0;
    case WM_ERASEBKGND: return 1;  // the paint covers the whole client area
    case WM_KEYDOWN:
      if (b) OnKey(window, *b, wparam);
      return 0;
    case WM_VSCROLL:
      if (b) OnScroll(*b, wparam);
      return 0;
    case WM_LBUTTONDOWN: SetFocus(window); return 0;
    case WM_MOUSEWHEEL: return 0;
    case WM_CLOSE:
      if (!b) return 0;  // still being built
      b->painting = false;
      Request(window, kThumbClose, 1024);
      return 0;
    case WM_DESTROY:
      if (b && b->tooltip) DestroyWindow(b->tooltip);  // its tools go with it
      if (b) b->tooltip = nullptr;
      SetWindowLongPtrA(window, GWLP_USERDATA, 0);
      return 0;
    default: break;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}
