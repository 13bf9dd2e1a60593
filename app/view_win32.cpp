// The view of the main window: painting the current image at the zoom and pan, the title, the
// centre mark, wheel zoom and drag panning. The arithmetic is in view_math.
#include <windowsx.h>

#include <algorithm>
#include <cstring>

#include "app/cmd_class_win32.h"
#include "document/view_math.h"

namespace {

constexpr COLORREF kMarkColour = RGB(255, 0, 0);
constexpr COLORREF kFaceColour = RGB(236, 233, 216);

}  // namespace

void CmdClass::ReadViewRect() {
  RECT r{};
  if (main_window_) GetClientRect(main_window_, &r);
  view_rect_ = ViewRect{r.left, r.top + kToolbarHeight, r.right, r.bottom};
}

void CmdClass::InvalidateView() {
  if (!main_window_) return;
  const RECT r{view_rect_.left, view_rect_.top, view_rect_.right, view_rect_.bottom};
  InvalidateRect(main_window_, &r, TRUE);
}

bool CmdClass::PaintView(HDC dc) {
  if (image_count_ == 0) return false;
  const DibImage* image = current_;
  if (image->colours != 0 && view_palette_) {
    SelectPalette(dc, view_palette_, FALSE);
    RealizePalette(dc);
  }
  UpdateTitle();
  SetStretchBltMode(dc, COLORONCOLOR);
  const ImageRect dest = ComputeImageRect(ViewPlacement{view_rect_, Width(image), Height(image), zoom_, scroll_x_,
                                                        scroll_y_, (view_flags_ & kViewSlideshow) && fit_in_slideshow_});
  // Only the part of the image inside the area being painted goes through the blit, so a
  // large image at a high zoom costs no more than the window's worth of pixels.
  RECT box{};
  if (GetClipBox(dc, &box) == ERROR) box = RECT{view_rect_.left, view_rect_.top, view_rect_.right, view_rect_.bottom};
  const ViewRect clip{std::max<LONG>(box.left, view_rect_.left), std::max<LONG>(box.top, view_rect_.top),
                      std::min<LONG>(box.right, view_rect_.right), std::min<LONG>(box.bottom, view_rect_.bottom)};
  // Drawn small, the image comes from its nearest reduced copy that is still at least as large.
  if (dest.width < Width(image) && dest.height < Height(image))
    image = reductions_.For(*this, image, dest.width, dest.height);
  BlitRect b{};
  bool visible = VisiblePart(dest, Width(image), Height(image), clip, &b);
  if (visible && IsRunLength(image)) {
    // A run-length image is drawn whole: its rows cannot be addressed without decoding.
    if (dest.width > 0x3FFFFFFF || dest.height > 0x3FFFFFFF) visible = false;
    b = BlitRect{static_cast<int32_t>(dest.x), static_cast<int32_t>(dest.y), static_cast<int32_t>(dest.width),
                 static_cast<int32_t>(dest.height), 0, 0, Width(image), Height(image)};
  }
  if (visible) {
    // Bottom-up rows: the source rectangle's origin is its lower-left corner.
    const int src_y_from_bottom = Height(image) - (b.src_y + b.src_height);
    StretchDIBits(dc, b.dest_x, b.dest_y, b.dest_width, b.dest_height, b.src_x, src_y_from_bottom, b.src_width,
                  b.src_height, image->bits, image->info, DIB_RGB_COLORS, SRCCOPY);
  }
  DrawCentreMark();
  return true;
}

void CmdClass::UpdateTitle() {
  if (!main_window_ || !current_) return;
  char title[MAX_PATH + 64];
  TitleText(title, sizeof title, current_->path, (view_flags_ & kViewSlideshow) != 0, slide_position_, slide_count_,
            image_count_, zoom_);
  char now[sizeof title] = "";
  GetWindowTextA(main_window_, now, sizeof now);
  if (std::strcmp(now, title) != 0) SetWindowTextA(main_window_, title);
}

void CmdClass::DrawCentreMark() {
  if (!(view_flags_ & kViewCentreMark) || !main_window_) return;
  HDC dc = GetDC(main_window_);
  if (!dc) return;
  HPEN pen = CreatePen(PS_SOLID, 2, kMarkColour);
  HGDIOBJ old_pen = SelectObject(dc, pen);
  SetTextColor(dc, kMarkColour);
  SetBkMode(dc, TRANSPARENT);
  const ViewRect m = CentreMarkRect(view_rect_);
  RECT r{m.left, m.top, m.right, m.bottom};
  DrawTextA(dc, "+", 1, &r, DT_NOCLIP);
  SelectObject(dc, old_pen);
  DeleteObject(pen);
  ReleaseDC(main_window_, dc);
}

void CmdClass::ClearWindowFace(HWND window) {
  RECT r;
  GetClientRect(window, &r);
  HDC dc = GetDC(window);
  HBRUSH brush = CreateSolidBrush(kFaceColour);
  HGDIOBJ old = SelectObject(dc, brush);
  PatBlt(dc, 0, 0, r.right, r.bottom, PATCOPY);
  SelectObject(dc, old);
  DeleteObject(brush);
  ReleaseDC(window, dc);
}

void CmdClass::ZoomByWheel(WPARAM wparam) {
  if (view_flags_ & kViewDragging) return;
  zoom_ = WheelZoom(zoom_, static_cast<short>(HIWORD(wparam)), &last_zoom_step_);
  InvalidateView();
}

void CmdClass::StartDrag(LPARAM lparam) {
  view_flags_ |= kViewDragging;
  drag_x_ = GET_X_LPARAM(lparam);
  drag_y_ = GET_Y_LPARAM(lparam);
  SetCapture(main_window_);
}

void CmdClass::DragStep(LPARAM lparam) {
  if (!(view_flags_ & kViewDragging)) return;
  POINT p{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
  POINT anchor{drag_x_, drag_y_};
  if (HDC dc = GetDC(main_window_)) {
    DPtoLP(dc, &p, 1);
    DPtoLP(dc, &anchor, 1);
    ReleaseDC(main_window_, dc);
  }
  scroll_x_ -= anchor.x - p.x;
  scroll_y_ -= anchor.y - p.y;
  drag_x_ = GET_X_LPARAM(lparam);
  drag_y_ = GET_Y_LPARAM(lparam);
  InvalidateView();
}

void CmdClass::EndDrag() {
  if (!(view_flags_ & kViewDragging)) return;
  view_flags_ &= ~kViewDragging;
  ReleaseCapture();
  InvalidateView();
}

void CmdClass::ResetPan() {
  if (image_count_ == 0) return;
  scroll_x_ = scroll_y_ = 0;
  InvalidateView();
}

void CmdClass::ToggleCentreMark() {
  view_flags_ ^= kViewCentreMark;
  InvalidateView();
}
