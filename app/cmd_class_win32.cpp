#include "app/cmd_class_win32.h"

#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "app/command_states.h"
#include "app/command_table.h"
#include "app/resource_ids.h"
#include "base/messages.h"
#include "processing/operation_table.h"

namespace {

constexpr int kQuit = 101, kOpen = 102, kSave = 103, kUndo = 106, kRestore = 107, kAbout = 175, kHelp = 177;
const char* const kHelpFile = "Tessamor ver2_7.htm";

INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: {
      HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(dialog, GWLP_HINSTANCE));
      HICON icon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_PROGRAM_ICON));
      SendDlgItemMessageA(dialog, IDC_ABOUT_ICON, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
      SetWindowTextA(dialog, "プログラム情報");
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wparam) == IDC_ABOUT_OK || LOWORD(wparam) == IDCANCEL) EndDialog(dialog, 1);
      return TRUE;
    default:
      return FALSE;
  }
}

// The commands that open a dialog (or bring the open one forward) or enter a mode.
bool IsDialogCommand(int id) {
  switch (id) {
    case 104: case 105: case 116: case 117: case 121: case 122: case 128: case 129: case 131:
    case 153: case 154: case 180: case 189: case 192:
      return true;
    default:
      return id >= 155 && id <= 167;
  }
}

}  // namespace

CmdClass::CmdClass() {
  GetCurrentDirectoryA(MAX_PATH, program_dir_);
  LoadSettings();
}

CmdClass::~CmdClass() {
  if (toolbar_ && IsWindow(toolbar_)) DestroyWindow(toolbar_);
  if (view_palette_) DeleteObject(view_palette_);
}

void CmdClass::LoadSettings() {
  char pictures[MAX_PATH] = "";
  SHGetFolderPathA(nullptr, CSIDL_MYPICTURES, nullptr, 0, pictures);
  settings_ = ParseSettings(ReadTextFile(SettingsPath(program_dir_).c_str()), pictures);
  background_colour_ = settings_.bk_colour;
  fit_in_slideshow_ = static_cast<uint32_t>(settings_.slide_mode);
  SetMaxPixels(settings_.max_pixels);
  SetCurrentDirectoryA(settings_.dir_name);
}

void CmdClass::SaveSettings() {
  settings_.bk_colour = background_colour_;
  settings_.slide_mode = static_cast<int>(fit_in_slideshow_);
  const std::string path = SettingsPath(program_dir_);
  WriteTextFile(path.c_str(), SettingsIniText(ReadTextFile(path.c_str()), settings_));
}

LRESULT CmdClass::Dispatch(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  const int id = LOWORD(wparam);
  if (!IsDispatchedCommand(id)) return DefWindowProcA(window, message, wparam, lparam);
  // Whatever changes the document first closes an adjustment dialog whose copies it would leave
  // behind (as its cancel does).
  if (!IsDialogCommand(id) && id != kSave && id != kAbout && id != kHelp) CancelAdjustmentDialog();
  switch (id) {
    case 104:
    case 105: CreateDialogFor(id); break;
    case 116:
    case 117:
    case 121:
    case 122:
    case 153:
    case 192: StartPreviewDialog(id); break;
    case 128:
    case 154: StartTransformDialog(id); break;
    case 129: ToggleTrimming(); break;
    case 131: StartBlend(id); break;
    case 180: StartSettingsDialog(); break;
    case 130: ToggleSlideshow(false); break;
    case 188: ToggleSlideshow(true); break;
    case 132: OpenThumbnails(); break;
    case 133:
    case 176: PrintCurrentImage(id); break;
    case 189: StartRenameDialog(); break;
    case kQuit: Quit(); break;
    case kOpen: OpenFlow(window, message, wparam); break;
    case kSave: SaveFlow(); break;
    case kUndo: Undo(); break;
    case kRestore: RestoreOriginal(); break;
    case kAbout: ShowAbout(); break;
    case kHelp: ShowHelp(); break;
    default:
      // The blends ask for their second image; every other operation runs at once.
      if (id >= 155 && id <= 167) {
        StartBlend(id);
      } else if (const OperationEntry* entry = FindOperation(id)) {
        if (entry->value_count == 0 && !entry->second_image) RunAndCommit(id);
      }
      break;
  }
  return 0;
}

bool CmdClass::RunAndCommit(int id) {
  // A colour reduction greys the menu and the toolbar while it runs and reports its end.
  const bool reduction = (id >= 168 && id <= 170) || id == 187;
  if (reduction) {
    view_flags_ |= kViewReducing;
    UpdateToolbarStates();
  }
  const bool done = RunOperation(id) && Commit();
  if (reduction) {
    if (done) ShowInfo(kMsgFinished, kCaptionInfo, true);
    view_flags_ &= ~kViewReducing;
    UpdateToolbarStates();
  }
  return done;
}

void CmdClass::Quit() {
  EndSlideshow();
  SaveSettings();
  PostQuitMessage(0);
}

void CmdClass::UpdateMenuAvailability(HMENU popup) {
  const ModeRow row = CurrentModeRow(view_flags_, image_count_);
  for (int id = kFirstCommand; id <= kLastCommand; ++id) {
    // Relabel first: rewriting an item also resets its state, which the row sets next.
    if (const char* label = MenuItemLabel(row, id)) {
      char now[128] = "";
      if (GetMenuStringA(popup, id, now, sizeof now, MF_BYCOMMAND) > 0 && std::strcmp(now, label) != 0)
        ModifyMenuA(popup, id, MF_BYCOMMAND | MF_STRING, id, label);
    }
    switch (MenuItemChange(row, id)) {
      case ItemChange::kEnable: EnableMenuItem(popup, id, MF_BYCOMMAND | MF_ENABLED); break;
      case ItemChange::kDisable: EnableMenuItem(popup, id, MF_BYCOMMAND | MF_GRAYED); break;
      case ItemChange::kKeep: break;
    }
  }
}

void CmdClass::UpdateToolbarStates() {
  if (!toolbar_) return;
  const ModeRow row = CurrentModeRow(view_flags_, image_count_);
  for (int id = kFirstCommand; id <= kLastCommand; ++id) {
    const int state = ToolbarState(row, id);
    if (state != kStateKeep) SendMessageA(toolbar_, TB_SETSTATE, id, MAKELONG(state, 0));
  }
}

void CmdClass::AnswerTooltip(NMHDR* header, HINSTANCE instance) {
  NMTTDISPINFOA* info = reinterpret_cast<NMTTDISPINFOA*>(header);
  info->hinst = instance;
  info->lpszText = MAKEINTRESOURCEA(TooltipStringId(static_cast<int>(header->idFrom), view_flags_));
}

bool CmdClass::RefreshViews() {
  reductions_.Clear();
  FillInformationWindow();
  if (!ComputeHistogram()) return false;
  InvalidateView();
  return true;
}

void CmdClass::RebuildViewPalette() {
  if (view_palette_) DeleteObject(view_palette_);
  view_palette_ = nullptr;
  const DibImage* image = pending_;
  if (!image || image->colours == 0) return;
  std::vector<uint8_t> block(sizeof(LOGPALETTE) + sizeof(PALETTEENTRY) * image->colours);
  LOGPALETTE* lp = reinterpret_cast<LOGPALETTE*>(block.data());
  lp->palVersion = 0x300;
  lp->palNumEntries = image->colours;
  const RGBQUAD* table = Palette(image);
  for (int i = 0; i < image->colours; ++i)
    lp->palPalEntry[i] = PALETTEENTRY{table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue, 0};
  view_palette_ = CreatePalette(lp);
  if (!view_palette_) ShowError(kMsgNoPalette);
}

void CmdClass::ShowAbout() {
  HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(main_window_, GWLP_HINSTANCE));
  DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_ABOUT), main_window_, AboutProc, 0);
}

void CmdClass::ShowHelp() {
  const HINSTANCE result = ShellExecuteA(main_window_, "open", kHelpFile, nullptr, program_dir_, SW_SHOWNORMAL);
  if (reinterpret_cast<INT_PTR>(result) <= 32) Channel().Message(MessageText(kMsgNoHelpFile), nullptr, MB_OK, true);
}
