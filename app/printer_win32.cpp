// Printing the current image on one page, fitted to the page or at its actual size.
#include "app/printer_win32.h"

#include <commdlg.h>
#include <winspool.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "app/cmd_class_win32.h"
#include "base/messages.h"
#include "document/output_math.h"

namespace {

constexpr int kFitToPage = 133;

// Every failure ends the print with a plain box owned by the main window.
bool Fail(int code) {
  Channel().Message(MessageText(code), nullptr, MB_OK, true);
  return false;
}

// The print dialog's record; whatever the dialog hands back is freed with it.
class PrintDialog {
 public:
  explicit PrintDialog(HWND owner) {
    pd.lStructSize = sizeof pd;
    pd.hwndOwner = owner;
    pd.Flags = PD_NOSELECTION | PD_NOPAGENUMS | PD_RETURNDC | PD_HIDEPRINTTOFILE | PD_USEDEVMODECOPIESANDCOLLATE;
  }
  ~PrintDialog() {
    DropDc();
    if (pd.hDevMode) GlobalFree(pd.hDevMode);
    if (pd.hDevNames) GlobalFree(pd.hDevNames);
  }
  PrintDialog(const PrintDialog&) = delete;
  PrintDialog& operator=(const PrintDialog&) = delete;

  bool Show() { return PrintDlgA(&pd) != 0; }
  void DropDc() {
    if (pd.hDC) DeleteDC(pd.hDC);
    pd.hDC = nullptr;
  }
  // The chosen printer: the full name of the dialog's device names, else the device mode's
  // (which holds at most 31 characters); "" when neither can be read.
  std::string PrinterName() const {
    std::string name;
    if (pd.hDevNames) {
      if (const DEVNAMES* names = static_cast<const DEVNAMES*>(GlobalLock(pd.hDevNames))) {
        const SIZE_T size = GlobalSize(pd.hDevNames);
        const char* text = reinterpret_cast<const char*>(names);
        if (names->wDeviceOffset < size)
          name.assign(text + names->wDeviceOffset, strnlen(text + names->wDeviceOffset, size - names->wDeviceOffset));
        GlobalUnlock(pd.hDevNames);
      }
    }
    if (name.empty() && pd.hDevMode) {
      if (const DEVMODEA* mode = static_cast<const DEVMODEA*>(GlobalLock(pd.hDevMode))) {
        const char* device = reinterpret_cast<const char*>(mode->dmDeviceName);
        name.assign(device, strnlen(device, CCHDEVICENAME));
        GlobalUnlock(pd.hDevMode);
      }
    }
    return name;
  }

  PRINTDLGA pd{};
};

struct PrinterHandle {
  HANDLE handle = nullptr;
  ~PrinterHandle() {
    if (handle) ClosePrinter(handle);
  }
};

// The settings the picture is printed with, written into the driver's device mode.
void ApplyDeviceSettings(DEVMODEA* mode, const std::string& printer, const DibImage* image) {
  std::memset(mode->dmDeviceName, 0, sizeof mode->dmDeviceName);
  std::memcpy(mode->dmDeviceName, printer.data(), std::min<size_t>(printer.size(), CCHDEVICENAME - 1));
  mode->dmOrientation = PrintLandscape(Width(image), Height(image)) ? DMORIENT_LANDSCAPE : DMORIENT_PORTRAIT;
  mode->dmPaperSize = DMPAPER_A4;
  mode->dmPrintQuality = DMRES_HIGH;
  mode->dmColor = DMCOLOR_COLOR;
  mode->dmDuplex = DMDUP_SIMPLEX;
  mode->dmTTOption = DMTT_DOWNLOAD;
  mode->dmMediaType = DMMEDIA_STANDARD;
  mode->dmFields |= DM_ORIENTATION | DM_PAPERSIZE | DM_PRINTQUALITY | DM_COLOR | DM_DUPLEX | DM_TTOPTION | DM_MEDIATYPE;
}

// Asks the driver for its device mode with the picture's settings in a movable block; null
// after the message of what failed.
HGLOBAL PrintSettings(HWND owner, const std::string& printer_name, const DibImage* image) {
  PrinterHandle printer;
  char* name = const_cast<char*>(printer_name.c_str());
  if (!OpenPrinterA(name, &printer.handle, nullptr)) {
    printer.handle = nullptr;
    Fail(kMsgPrintNoPrinter);
    return nullptr;
  }
  const LONG size = DocumentPropertiesA(owner, printer.handle, name, nullptr, nullptr, 0);
  if (size < 0) {
    Fail(kMsgPrintNoProperties);
    return nullptr;
  }
  // Never smaller than the public part written below, whatever size the driver names.
  HGLOBAL block = GlobalAlloc(GHND, std::max<SIZE_T>(static_cast<SIZE_T>(size), sizeof(DEVMODEA)));
  if (!block) {
    Fail(kMsgPrintNoBuffer);
    return nullptr;
  }
  DEVMODEA* mode = static_cast<DEVMODEA*>(GlobalLock(block));
  if (!mode) {
    GlobalFree(block);
    Fail(kMsgPrintNoBufferLock);
    return nullptr;
  }
  if (DocumentPropertiesA(owner, printer.handle, name, mode, nullptr, DM_OUT_BUFFER) < 0) {
    GlobalUnlock(block);
    GlobalFree(block);
    Fail(kMsgPrintNoProperties);
    return nullptr;
  }
  ApplyDeviceSettings(mode, printer_name, image);
  GlobalUnlock(block);
  return block;
}

}  // namespace

bool Printer::Print(HWND owner, const DibImage* image, int command) {
  if (!image) return false;
  PrintDialog dialog(owner);
  if (!dialog.Show()) return false;
  dialog.DropDc();
  const std::string name = dialog.PrinterName();
  if (name.empty()) return Fail(kMsgPrintNoDevMode);
  HGLOBAL settings = PrintSettings(owner, name, image);
  if (!settings) return false;
  if (dialog.pd.hDevMode) GlobalFree(dialog.pd.hDevMode);
  dialog.pd.hDevMode = settings;
  dialog.pd.nCopies = 1;
  dialog.pd.nFromPage = dialog.pd.nToPage = dialog.pd.nMinPage = dialog.pd.nMaxPage = 1;
  if (!dialog.Show()) return false;
  HDC dc = dialog.pd.hDC;
  if (!dc) return Fail(kMsgPrintError);
  DOCINFOA doc{};
  doc.cbSize = sizeof doc;
  doc.lpszDocName = "画像";
  if (StartDocA(dc, &doc) <= 0) return Fail(kMsgPrintError);
  if (StartPage(dc) <= 0) {
    AbortDoc(dc);
    return Fail(kMsgPrintError);
  }
  DrawOnPage(dc, image, command);
  // A page or document the spooler did not take is a failed print, not a success.
  bool sent = EndPage(dc) > 0;
  if (sent) sent = EndDoc(dc) > 0;
  else AbortDoc(dc);
  dialog.DropDc();
  if (owner) SetActiveWindow(owner);
  return sent || Fail(kMsgPrintError);
}

void Printer::DrawOnPage(HDC dc, const DibImage* image, int command) {
  PagePlacement p{};
  if (!PlaceOnPage(GetDeviceCaps(dc, HORZRES), GetDeviceCaps(dc, VERTRES), Width(image), Height(image),
                   command != kFitToPage, &p))
    return;
  StretchDIBits(dc, p.x, p.y, p.width, p.height, 0, 0, Width(image), Height(image), image->bits, image->info,
                DIB_RGB_COLORS, SRCCOPY);
}

void CmdClass::PrintCurrentImage(int command) {
  if (image_count_ == 0 || !current_) return;
  // A run-length image goes to the printer as a plain copy: drivers need not take compressed
  // bitmaps.
  ImagePtr copy;
  const DibImage* image = current_;
  if (IsRunLength(image)) {
    copy.reset(MakeTrueColorCopy(image));
    if (!copy) return;
    image = copy.get();
  }
  Printer printer;
  printer.Print(main_window_, image, command);
}
