// The modeless dialogs of the main window: their bits in the open-window flags, their procedures
// and the small pieces every dialog procedure shares.
#pragma once
#include <windows.h>

#include <cstdint>

// Bits of the open-window flags; each is also the lParam a dialog sends with OK, cancel and apply.
enum DialogBit : uint32_t {
  kBitInformation = 0x0001,
  kBitHistogram = 0x0002,
  kBitGamma = 0x0004,
  kBitContrast = 0x0008,
  kBitGradation = 0x0010,
  kBitRgb = 0x0020,
  kBitHsv = 0x0040,
  kBitRotation = 0x0080,
  kBitResize = 0x0100,
  kBitAlpha = 0x0200,
  kBitSettings = 0x0800,
  kBitRename = 0x1000,
  kBitWhiteBalance = 0x2000,
  kBitsWithWorkImage = 0x207C,  // the preview dialogs: they own a work image
  kBitsWithPendingCopy = 0x23FC,  // every dialog that owns a pending image (previews, rotation, resize, alpha)
};

// wParam of UM_DIALOG_EVENT for OK and cancel (the other events carry the dialog's resource id).
constexpr WPARAM kDialogOk = 1, kDialogCancel = 2;

// Dialog procedures (the adjustment dialogs in app/adjust_dialogs_win32.cpp, settings in
// app/settings_dialog_win32.cpp, rename in app/rename_dialog_win32.cpp, the two windows in
// app/dialogs_win32.cpp).
INT_PTR CALLBACK GammaDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
INT_PTR CALLBACK ContrastDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
INT_PTR CALLBACK GradationDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
INT_PTR CALLBACK RgbDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
INT_PTR CALLBACK HsvDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
INT_PTR CALLBACK WhiteBalanceDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
INT_PTR CALLBACK RotationDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
INT_PTR CALLBACK ResizeDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
INT_PTR CALLBACK AlphaDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
INT_PTR CALLBACK RenameDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
INT_PTR CALLBACK InformationWindowProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
INT_PTR CALLBACK HistogramWindowProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

// Sends UM_DIALOG_EVENT (event, bit) to the dialog's owner and then, when close is set, destroys
// the dialog.
void SendDialogEvent(HWND dialog, WPARAM event, LPARAM value, bool close);
// A trackbar's range, tick frequency, line and page sizes and position.
void SetUpTrackbar(HWND dialog, int control, int low, int high, int ticks, int line, int page, int position);
// An up-down control's buddy edit, range and position.
void SetUpUpDown(HWND dialog, int control, int buddy, int low, int high, int position);
// Writes printf-formatted text into a control.
void SetItemFormat(HWND dialog, int control, const char* format, ...);
