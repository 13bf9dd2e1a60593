// The slideshows: the image files of the current folder shown one after another as the document,
// stepped by timer 800 (automatic) or by the mouse wheel (manual, through a window procedure that
// replaces the main window's for the time of the show). The files are listed when the show
// starts. A file that cannot be read (or is gone by now) is passed over without a box: the title
// names it for the time of that step, and the show goes on; only when every file of the listing
// failed in a row does the show end with its message.
#include <windows.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "app/cmd_class_win32.h"
#include "app/command_states.h"
#include "app/file_flow.h"
#include "app/main_window_win32.h"
#include "base/messages.h"
#include "document/output_math.h"
#include "document/view_math.h"
#include "formats/file_access.h"

namespace {

constexpr UINT_PTR kSlideTimer = 800;
constexpr UINT kFirstStepMs = 500;

// The running show: the listed files, its mode, how many steps in a row found no readable file,
// and the main window's own procedure while the manual mode's procedure replaces it.
struct SlideshowState {
  std::vector<std::string> paths;
  bool manual = false;
  int failures_in_row = 0;
  WNDPROC saved_procedure = nullptr;
};
SlideshowState show;

// The image files of the current folder, in the listing's order, as full paths.
std::vector<std::string> ListSlides() {
  FileAccess listing;
  char folder[MAX_PATH] = "";
  std::vector<std::string> paths;
  if (listing.ListFolder(folder) <= 0) return paths;
  std::string prefix = folder;
  if (!prefix.empty() && prefix.back() != '\\') prefix += '\\';
  for (const FileListEntry* e = listing.list_head(); e; e = e->next) paths.push_back(prefix + e->name);
  return paths;
}

UINT IntervalMs(int seconds) {
  const int64_t ms = int64_t{std::max(seconds, 1)} * 1000;
  return static_cast<UINT>(std::min<int64_t>(ms, USER_TIMER_MAXIMUM));
}

// The title while the document is empty after a file that could not be read.
void ShowSkipped(const CmdClass& c, const std::string& path) {
  char title[MAX_PATH + 64];
  TitleText(title, sizeof title, path.c_str(), true, c.slide_position_, c.slide_count_, 0, 0);
  SetWindowTextA(c.main_window_, (std::string(title) + MessageText(kMsgSlideSkipped)).c_str());
}

// One step forward or backward; the automatic show re-arms its timer after it.
void Step(CmdClass& c, bool backward) {
  KillTimer(c.main_window_, kSlideTimer);
  if (!(c.view_flags_ & kViewSlideshow)) return;
  c.ReadViewRect();
  if (show.paths.empty()) {
    c.EndSlideshow();
    ShowWarning(kMsgNoSlideFiles, kCaptionWarningEn, true);
    return;
  }
  c.slide_position_ = StepPosition(c.slide_position_, c.slide_count_, backward);
  const std::string& path = show.paths[static_cast<size_t>(c.slide_position_ - 1)];
  bool loaded;
  {
    SkipRefusals skip;  // a refused file must not hold the show up with a box
    loaded = OpenImageFile(c, path.c_str());
  }
  if (loaded) {
    show.failures_in_row = 0;
  } else {
    // The previous picture does not stay under this file's name and position.
    c.ClearDocument();
    ShowSkipped(c, path);
    if (++show.failures_in_row >= c.slide_count_) {
      c.EndSlideshow();
      ShowWarning(kMsgNoSlideFiles, kCaptionWarningEn, true);
      return;
    }
  }
  c.InvalidateView();
  if (!show.manual) SetTimer(c.main_window_, kSlideTimer, IntervalMs(c.settings_.slide_interval), nullptr);
}

// The manual show's window procedure: the wheel steps (toward the user backward, away forward)
// instead of zooming; everything else goes to the main window's own procedure.
LRESULT CALLBACK ManualSlideshowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  CmdClass* c = TheController();
  if (message == WM_MOUSEWHEEL && c && (c->view_flags_ & kViewSlideshow)) {
    Step(*c, static_cast<int32_t>(static_cast<uint32_t>(wparam)) < 0);
    return 0;
  }
  return CallWindowProcA(show.saved_procedure ? show.saved_procedure : MainWindowProc, window, message, wparam,
                         lparam);
}

}  // namespace

void CmdClass::ToggleSlideshow(bool manual) {
  if (view_flags_ & kViewSlideshow) {
    EndSlideshow();
    return;
  }
  const ModeRow row = CurrentModeRow(view_flags_, image_count_);
  if ((row != ModeRow::kImage && row != ModeRow::kNoImage) || !main_window_) return;
  ReadViewRect();
  // Listed first: with nothing to show, the image open now stays open.
  std::vector<std::string> paths = ListSlides();
  if (paths.empty()) {
    ShowWarning(kMsgNoSlideFiles, kCaptionWarning, true);
    return;
  }
  view_flags_ |= kViewSlideshow;
  view_flags_ &= ~kViewCentreMark;
  if (image_count_ != 0) ClearDocument();
  slide_position_ = 0;
  slide_count_ = static_cast<int32_t>(paths.size());
  show.paths = std::move(paths);
  show.manual = manual;
  show.failures_in_row = 0;
  UpdateToolbarStates();
  InvalidateView();
  if (!manual) {
    SetTimer(main_window_, kSlideTimer, kFirstStepMs, nullptr);
    return;
  }
  show.saved_procedure = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(main_window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ManualSlideshowProc)));
  Step(*this, false);
}

void CmdClass::SlideshowTimer() {
  if (!(view_flags_ & kViewSlideshow) || show.manual) {
    KillTimer(main_window_, kSlideTimer);
    return;
  }
  Step(*this, false);
}

void CmdClass::EndSlideshow() {
  if (!(view_flags_ & kViewSlideshow)) return;
  if (main_window_) KillTimer(main_window_, kSlideTimer);
  view_flags_ |= kViewCentreMark;
  show.paths = std::vector<std::string>();
  view_flags_ &= ~kViewSlideshow;
  slide_count_ = slide_position_ = 0;
  UpdateToolbarStates();
  if (!main_window_) return;
  // Item 130 reads "オートスライドショー(&A)" again and the items follow the document.
  if (HMENU menu = GetMenu(main_window_)) UpdateMenuAvailability(menu);
  if (show.saved_procedure) {
    SetWindowLongPtrA(main_window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(show.saved_procedure));
    show.saved_procedure = nullptr;
  }
  ReadViewRect();
  InvalidateView();
  // Ended on a file that could not be read: the window is empty and takes the title it starts
  // with, its class name.
  char name[64];
  if (image_count_ == 0 && GetClassNameA(main_window_, name, sizeof name) > 0) SetWindowTextA(main_window_, name);
}
