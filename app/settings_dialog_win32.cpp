// Settings dialog 504: the settings file's values edited, applied to the program and written.
#include <windows.h>

#include <commctrl.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "app/cmd_class_win32.h"
#include "app/dialogs_win32.h"
#include "app/file_dialogs_win32.h"
#include "app/resource_ids.h"

namespace {

constexpr int kFilterRadios = 8;  // 1100..1107: BMP, JPEG, PNG, GIF, PPM, PGM, PBM, ALL

// The edits with an up-down control and the range the value must keep.
struct RangedField {
  int edit, updown, low, high;
  int Settings::*value;
};
const RangedField kRangedFields[] = {
    {IDC_SET_INTERVAL, IDC_SET_INTERVAL_UPDOWN, 1, 10, &Settings::slide_interval},
    {IDC_SET_THUMB_W, IDC_SET_THUMB_W_UPDOWN, 80, 150, &Settings::thumb_width},
    {IDC_SET_THUMB_H, IDC_SET_THUMB_H_UPDOWN, 80, 150, &Settings::thumb_height},
};

Settings* BlockOf(HWND dialog) { return reinterpret_cast<Settings*>(GetWindowLongPtrA(dialog, DWLP_USER)); }

// The number in an edit brought into [low, high]; false when it had to be changed (out of range,
// or no whole number: then low).
bool ReadRanged(HWND dialog, int edit, int low, int high, int* value) {
  char text[32] = "";
  GetDlgItemTextA(dialog, edit, text, sizeof text);
  char* end = nullptr;
  errno = 0;
  const long n = std::strtol(text, &end, 10);
  while (end && (*end == ' ' || *end == '\t')) ++end;
  const bool number = end != text && end && *end == '\0';
  *value = !number ? low : n < low ? low : n > high ? high : static_cast<int>(n);
  return number && errno == 0 && n == *value;
}

// A colour text as strtol with base 0 reads it, kept within 0x000000..0xFFFFFF.
uint32_t ReadColour(HWND dialog) {
  char text[64] = "";
  GetDlgItemTextA(dialog, IDC_SET_COLOUR, text, sizeof text);
  const long n = std::strtol(text, nullptr, 0);
  return n < 0 ? 0 : n > 0xFFFFFF ? 0xFFFFFF : static_cast<uint32_t>(n);
}

void FillDialog(HWND dialog, const Settings& s) {
  // At the left edge under the toolbar, its size kept.
  SetWindowPos(dialog, nullptr, 0, 75, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOREDRAW);
  SendDlgItemMessageA(dialog, IDC_SET_FOLDER, EM_LIMITTEXT, MAX_PATH - 1, 0);
  SetDlgItemTextA(dialog, IDC_SET_FOLDER, s.dir_name);
  SetItemFormat(dialog, IDC_SET_COLOUR, "0x%06x", static_cast<unsigned>(s.bk_colour));
  for (const RangedField& f : kRangedFields) {
    SetItemFormat(dialog, f.edit, "%d", s.*f.value);
    SetUpUpDown(dialog, f.updown, f.edit, f.low, f.high, s.*f.value);
  }
  CheckRadioButton(dialog, IDC_SET_FIT, IDC_SET_NO_FIT, s.slide_mode ? IDC_SET_FIT : IDC_SET_NO_FIT);
  CheckRadioButton(dialog, IDC_SET_ASCII, IDC_SET_BINARY, s.pgm_save_mode ? IDC_SET_ASCII : IDC_SET_BINARY);
  CheckRadioButton(dialog, IDC_SET_FILTER_FIRST, IDC_SET_FILTER_FIRST + kFilterRadios - 1,
                   IDC_SET_FILTER_FIRST - 1 + s.filter_index);
}

// Apply: a value outside its range is brought into it and shown, and the dialog stays open so that
// what is stored is what the user saw. Otherwise every control goes into the block and the main
// window takes it.
void Apply(HWND dialog) {
  Settings* s = BlockOf(dialog);
  int values[3];
  HWND first_changed = nullptr;
  for (size_t i = 0; i < 3; ++i) {
    const RangedField& f = kRangedFields[i];
    if (ReadRanged(dialog, f.edit, f.low, f.high, &values[i])) continue;
    SetItemFormat(dialog, f.edit, "%d", values[i]);
    SendDlgItemMessageA(dialog, f.updown, UDM_SETPOS32, 0, values[i]);
    if (!first_changed) first_changed = GetDlgItem(dialog, f.edit);
  }
  if (first_changed) {
    SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(first_changed), TRUE);
    SendMessageA(first_changed, EM_SETSEL, 0, -1);
    MessageBeep(MB_ICONEXCLAMATION);
    return;
  }
  if (!s) return;
  GetDlgItemTextA(dialog, IDC_SET_FOLDER, s->dir_name, sizeof s->dir_name);
  s->bk_colour = ReadColour(dialog);
  for (size_t i = 0; i < 3; ++i) s->*kRangedFields[i].value = values[i];
  s->slide_mode = IsDlgButtonChecked(dialog, IDC_SET_FIT) == BST_CHECKED;
  s->pgm_save_mode = IsDlgButtonChecked(dialog, IDC_SET_ASCII) == BST_CHECKED;
  s->filter_index = kFilterRadios;
  for (int i = 0; i < kFilterRadios; ++i)
    if (IsDlgButtonChecked(dialog, IDC_SET_FILTER_FIRST + i) == BST_CHECKED) {
      s->filter_index = i + 1;
      break;
    }
  SendDialogEvent(dialog, kDialogOk, kBitSettings, true);
}

// The colour chooser's hook: the chooser opens at (518, 75), its size kept.
UINT_PTR CALLBACK ColourHook(HWND chooser, UINT message, WPARAM, LPARAM) {
  if (message == WM_INITDIALOG) SetWindowPos(chooser, nullptr, 518, 75, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  return 0;
}

}  // namespace

INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrA(dialog, DWLP_USER, lparam);
      if (lparam) FillDialog(dialog, *reinterpret_cast<Settings*>(lparam));
      return TRUE;
    case WM_VSCROLL: {  // an up-down moved: its position into its edit
      HWND updown = reinterpret_cast<HWND>(lparam);
      HWND buddy = reinterpret_cast<HWND>(SendMessageA(updown, UDM_GETBUDDY, 0, 0));
      const int position = static_cast<int>(SendMessageA(updown, UDM_GETPOS32, 0, 0));
      if (buddy) SetItemFormat(dialog, GetDlgCtrlID(buddy), "%d", position);
      return TRUE;
    }
    case WM_COMMAND: {
      const int id = LOWORD(wparam);
      if (id == IDC_SET_FIT || id == IDC_SET_NO_FIT) {
        CheckRadioButton(dialog, IDC_SET_FIT, IDC_SET_NO_FIT, id);
      } else if (id == IDC_SET_ASCII || id == IDC_SET_BINARY) {
        CheckRadioButton(dialog, IDC_SET_ASCII, IDC_SET_BINARY, id);
      } else if (id >= IDC_SET_FILTER_FIRST && id < IDC_SET_FILTER_FIRST + kFilterRadios) {
        CheckRadioButton(dialog, IDC_SET_FILTER_FIRST, IDC_SET_FILTER_FIRST + kFilterRadios - 1, id);
      } else if (id == IDC_SET_CHOOSE_COLOUR || id == IDC_SET_CHOOSE_FOLDER) {
        SendDialogEvent(dialog, IDD_SETTINGS, id, false);
      } else if (id == IDC_SET_APPLY || id == IDOK) {
        Apply(dialog);
      } else if (id == IDC_SET_CANCEL || id == IDCANCEL) {
        SendDialogEvent(dialog, kDialogCancel, kBitSettings, true);
      } else {
        return FALSE;
      }
      return TRUE;
    }
    case WM_CLOSE:
      SendDialogEvent(dialog, kDialogCancel, kBitSettings, true);
      return TRUE;
    default:
      return FALSE;
  }
}

void CmdClass::StartSettingsDialog() {
  if (BringOpenDialogForward()) return;
  dialog_settings_ = settings_;
  dialog_settings_.bk_colour = background_colour_;
  dialog_settings_.slide_mode = static_cast<int>(fit_in_slideshow_);
  view_flags_ |= kViewSettings;
  CreateDialogFor(180);
  if (!dialog_window_) view_flags_ &= ~kViewSettings;
}

void CmdClass::OnSettingsEvent(WPARAM wparam, LPARAM lparam) {
  HWND dialog = dialog_window_;
  if (wparam == IDD_SETTINGS) {
    // The choosers have no owner: the dialog waits disabled until they close, so that it cannot be
    // applied or closed under them.
    EnableWindow(dialog, FALSE);
    if (LOWORD(lparam) == IDC_SET_CHOOSE_COLOUR) {
      COLORREF custom[16];
      for (COLORREF& c : custom) c = 0xFFFFFF;
      CHOOSECOLORA cc{};
      cc.lStructSize = sizeof cc;
      cc.rgbResult = 0xFFFFFF;
      cc.lpCustColors = custom;
      cc.Flags = CC_RGBINIT | CC_FULLOPEN | CC_ENABLEHOOK;
      cc.lpfnHook = ColourHook;
      if (ChooseColorA(&cc)) {
        dialog_settings_.bk_colour = cc.rgbResult & 0xFFFFFF;
        SetItemFormat(dialog, IDC_SET_COLOUR, "0x%06x", static_cast<unsigned>(dialog_settings_.bk_colour));
      }
    } else if (LOWORD(lparam) == IDC_SET_CHOOSE_FOLDER) {
      char folder[MAX_PATH];
      if (ChooseFolder(main_window_, folder)) {
        std::snprintf(settings_.dir_name, sizeof settings_.dir_name, "%s", folder);
        std::snprintf(dialog_settings_.dir_name, sizeof dialog_settings_.dir_name, "%s", folder);
        SetDlgItemTextA(dialog, IDC_SET_FOLDER, folder);
      }
    }
    EnableWindow(dialog, TRUE);
    SetActiveWindow(dialog);
    return;
  }
  if (wparam == kDialogOk) {
    settings_ = dialog_settings_;
    background_colour_ = dialog_settings_.bk_colour;
    fit_in_slideshow_ = static_cast<uint32_t>(dialog_settings_.slide_mode);
    HBRUSH brush = CreateSolidBrush(background_colour_);
    if (brush) {
      HGDIOBJ old = reinterpret_cast<HGDIOBJ>(
          SetClassLongPtrA(main_window_, GCLP_HBRBACKGROUND, reinterpret_cast<LONG_PTR>(brush)));
      if (old) DeleteObject(old);
    }
    ReadViewRect();
    InvalidateView();
    SaveSettings();
  }
  view_flags_ &= ~kViewSettings;
  ForgetDialog(kBitSettings);
}
