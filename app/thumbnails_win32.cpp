// The thumbnail browser, the main window's side: command 132 lists the current folder's image
// files and draws every thumbnail with its name once into a sheet (a memory DC) while the
// progress window counts the files; the browser window then only copies that sheet. The
// window's requests come back here: close, open the selected file as the new document, move it
// to the recycle bin and rebuild.
#include "app/thumbnails_win32.h"

#include <mmsystem.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "app/cmd_class_win32.h"
#include "app/file_flow.h"
#include "base/messages.h"
#include "formats/jpeg_io.h"

namespace {

const char* const kThumbClass = "ShowThumbs";
const char* const kThumbTitle = "サムネイル表示";
const char* const kLabelFace = "MS UI Gothic";
const char* const kRecycleSound = "Windows XP Recycle.wav";
constexpr DWORD kBrowserStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME |
                                WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_VSCROLL;
constexpr COLORREF kMissingFrame = RGB(96, 96, 96);

// The reader of a file: by its content where that names a format, else by its extension. JPEG
// files are decoded only as large as their thumbnail needs.
std::unique_ptr<BmpIOClass> ThumbnailReader(const char* path, uint32_t listed, const SheetLayout& layout,
                                            JpegIOClass** jpeg) {
  const uint32_t content = FormatOfContent(path);
  const uint32_t format = content != kFormatNone ? content : listed;
  *jpeg = nullptr;
  if (format != kFormatJpeg) return CreateFormatIO(format);
  JpegIOClass* reader = CreateObject<JpegIOClass>();
  reader->SetThumbnailBox(layout.box_width, layout.box_height);
  *jpeg = reader;
  return std::unique_ptr<BmpIOClass>(reader);
}

// Loads file index for its thumbnail and fills its entry with the facts of the picture at full
// size; null when it cannot be read. Runs on either decoding thread: it touches nothing but the
// file, its own entry and the (quiet) message channel.
ImagePtr DecodeThumbnail(const CmdClass& c, ThumbnailBrowser& b, int index) {
  ThumbnailEntry& e = b.files[index];
  char path[MAX_PATH];
  ThumbnailPath(b, index, path, sizeof path);
  JpegIOClass* jpeg = nullptr;
  std::unique_ptr<BmpIOClass> io = ThumbnailReader(path, e.format, b.layout, &jpeg);
  if (!io) return nullptr;
  ImagePtr image(LoadImageWith(c, *io, path));
  if (!image) return nullptr;
  const DibImage* im = image.get();
  e.width = jpeg ? jpeg->full_width() : Width(im);
  e.height = jpeg ? jpeg->full_height() : Height(im);
  e.bit_count = BitCount(im);
  e.image_bytes = jpeg ? RowBytes(e.width, e.bit_count) * static_cast<uint32_t>(e.height)
                       : im->info->bmiHeader.biSizeImage;
  std::snprintf(e.date, sizeof e.date, "%s", im->details->date);
  return image;
}

// Draws a decoded picture into its cell of the sheet.
void DrawThumbnail(ThumbnailBrowser& b, int index, const DibImage* im) {
  const ThumbnailEntry& e = b.files[index];
  const ThumbSize t = ThumbnailSize(e.width, e.height, b.layout.box_width, b.layout.box_height);
  const CellPoint at = CellOrigin(b.layout, index);
  StretchDIBits(b.sheet_dc, at.x, at.y, t.width, t.height, 0, 0, Width(im), Height(im), im->bits, im->info,
                DIB_RGB_COLORS, SRCCOPY);
}

// The files of a sheet decoded on two threads: the window's thread and one helper take the next
// file in turn, a few files ahead of the drawing at most, while the window's thread draws them in
// order. Decoding is most of the time a sheet takes (the compressed data of a photo must be read
// whole even when it is decoded at an eighth), so two cores build it in about half the time.
class SheetDecoder {
 public:
  SheetDecoder(const CmdClass& c, ThumbnailBrowser& b, int count) : c_(c), b_(b), count_(count), slots_(count) {
    helper_ = CreateThread(nullptr, 0, &SheetDecoder::Helper, this, 0, nullptr);
  }
  ~SheetDecoder() {
    InterlockedExchange(&stop_, 1);
    if (helper_) {
      WaitForSingleObject(helper_, INFINITE);
      CloseHandle(helper_);
    }
  }
  SheetDecoder(const SheetDecoder&) = delete;
  SheetDecoder& operator=(const SheetDecoder&) = delete;

  // File index decoded (null when it cannot be read), decoding others meanwhile.
  ImagePtr Get(int index) {
    InterlockedExchange(&drawing_, index);
    while (InterlockedCompareExchange(&slots_[index].ready, 0, 0) == 0)
      if (!DecodeNext()) Sleep(1);
    return std::move(slots_[index].image);
  }

 private:
  static constexpr LONG kAhead = 4;  // decoded pictures waiting for the drawing, at most
  struct Slot {
    ImagePtr image;
    volatile LONG ready = 0;
  };

  // Decodes the next file nobody has taken; false when none may be taken now.
  bool DecodeNext() {
    LONG next = InterlockedCompareExchange(&next_, 0, 0);
    if (next >= count_ || next >= InterlockedCompareExchange(&drawing_, 0, 0) + kAhead) return false;
    if (InterlockedCompareExchange(&next_, next + 1, next) != next) return true;  // taken by the other thread
    slots_[next].image = DecodeThumbnail(c_, b_, static_cast<int>(next));
    InterlockedExchange(&slots_[next].ready, 1);
    return true;
  }

  static DWORD WINAPI Helper(LPVOID self) {
    SheetDecoder& d = *static_cast<SheetDecoder*>(self);
    while (!InterlockedCompareExchange(&d.stop_, 0, 0) && InterlockedCompareExchange(&d.next_, 0, 0) < d.count_)
      if (!d.DecodeNext()) Sleep(1);
    return 0;
  }

  const CmdClass& c_;
  ThumbnailBrowser& b_;
  const LONG count_;
  std::vector<Slot> slots_;
  volatile LONG next_ = 0;
  volatile LONG drawing_ = 0;
  volatile LONG stop_ = 0;
  HANDLE helper_ = nullptr;
};

void DrawLabel(ThumbnailBrowser& b, int index, int limit) {
  const CellPoint at = CellOrigin(b.layout, index);
  const char* name = b.files[index].name;
  TextOutA(b.sheet_dc, at.x, at.y + b.layout.box_height + kThumbLabelGap, name,
           static_cast<int>(LabelBytes(name, limit)));
}

// A file that could not be read: a grey outline where its picture would be.
void DrawMissing(ThumbnailBrowser& b, int index) {
  const CellPoint at = CellOrigin(b.layout, index);
  const RECT box{at.x, at.y, at.x + b.layout.box_width, at.y + b.layout.box_height};
  HBRUSH grey = CreateSolidBrush(kMissingFrame);
  FrameRect(b.sheet_dc, &box, grey);
  DeleteObject(grey);
}

// Shows a finished cell in the browser window at once (no messages are handled while the sheet
// is built), so the sheet fills before the user's eyes.
void ShowCell(const ThumbnailBrowser& b, HDC window_dc, int index, const RECT& client) {
  const CellPoint at = CellOrigin(b.layout, index);
  if (at.y >= client.bottom) return;
  BitBlt(window_dc, at.x, at.y, b.layout.box_width, b.layout.RowPitch(), b.sheet_dc, at.x, at.y, SRCCOPY);
}

enum class SheetResult { kBuilt, kNoFiles, kNoSheet };

// Lists the current folder's image files and draws the sheet for the browser window's width.
SheetResult BuildSheet(const CmdClass& c, ThumbnailBrowser& b) {
  FileAccess listing;
  const int count = listing.ListFolder(b.folder);
  if (count <= 0) return SheetResult::kNoFiles;
  b.files.assign(static_cast<size_t>(count), ThumbnailEntry{});
  int i = 0;
  for (const FileListEntry* f = listing.list_head(); f && i < count; f = f->next, ++i) {
    std::snprintf(b.files[i].name, sizeof b.files[i].name, "%s", f->name);
    b.files[i].format = f->format;
  }
  listing.FreeList();

  RECT client{};
  GetClientRect(b.window, &client);
  HDC window_dc = GetDC(b.window);
  b.sheet_dc = CreateCompatibleDC(window_dc);
  HFONT font = CreateFontA(12, 4, 0, 0, 100, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, PROOF_QUALITY, VARIABLE_PITCH, kLabelFace);
  HGDIOBJ font_before = SelectObject(b.sheet_dc, font);
  TEXTMETRICA tm{};
  GetTextMetricsA(b.sheet_dc, &tm);
  b.layout = MakeSheetLayout(client.right, count, c.settings_.thumb_width, c.settings_.thumb_height,
                             static_cast<int>(tm.tmHeight));
  b.sheet = CreateCompatibleBitmap(window_dc, b.layout.sheet_width, b.layout.sheet_height);
  SheetResult result = SheetResult::kNoSheet;
  if (b.sheet) {
    b.sheet_before = SelectObject(b.sheet_dc, b.sheet);
    PatBlt(b.sheet_dc, 0, 0, b.layout.sheet_width, b.layout.sheet_height, BLACKNESS);
    SetBkMode(b.sheet_dc, OPAQUE);
    SetBkColor(b.sheet_dc, RGB(0, 0, 0));
    SetTextColor(b.sheet_dc, RGB(255, 255, 255));
    SetStretchBltMode(b.sheet_dc, HALFTONE);
    SetBrushOrgEx(b.sheet_dc, 0, 0, nullptr);
    const int limit = LabelLimit(b.layout.box_width, static_cast<int>(tm.tmAveCharWidth));
    SkipRefusals skip;
    Progress progress(kProgressThumbnails);
    SheetDecoder decoder(c, b, count);
    for (i = 0; i < count; ++i) {
      ThumbnailEntry& e = b.files[i];
      const ImagePtr image = decoder.Get(i);
      e.shown = image != nullptr;
      if (image) DrawThumbnail(b, i, image.get());
      if (!e.shown) {
        char path[MAX_PATH];
        ThumbnailPath(b, i, path, sizeof path);
        FileTimeText(path, e.date, sizeof e.date);
        DrawMissing(b, i);
      }
      DrawLabel(b, i, limit);
      ShowCell(b, window_dc, i, client);
      progress.Step(i + 1, count);
    }
    result = SheetResult::kBuilt;
  }
  SelectObject(b.sheet_dc, font_before);
  DeleteObject(font);
  ReleaseDC(b.window, window_dc);
  return result;
}

// Destroys the browser window and frees the sheet, the file table and the state; the view
// comes back.
void CloseThumbnails(CmdClass& c) {
  if (!c.thumbnails_) return;
  const HWND window = c.thumbnails_->window;
  if (window && IsWindow(window)) DestroyWindow(window);
  c.thumbnails_.reset();
  c.ReadViewRect();
  if (c.main_window_) InvalidateRect(c.main_window_, nullptr, TRUE);
  c.view_flags_ &= ~kViewThumbnails;
  c.UpdateToolbarStates();
}

// The folder changed under the browser: the sheet is built anew (and the browser closes with
// its message when no image file is left).
void RebuildThumbnails(CmdClass& c) {
  CloseThumbnails(c);
  c.OpenThumbnails();
}

int SelectedFile(const ThumbnailBrowser& b) {
  return std::clamp(b.SelectedIndex(), 0, static_cast<int>(b.files.size()) - 1);
}

// Enter: the selected file becomes the new document (count 1, the pan reset) and the browser
// closes. When it cannot be opened the open's own box has said why, the document is as it was
// and the browser stays; a file gone since the listing is taken off the sheet.
void OpenSelected(CmdClass& c) {
  const ThumbnailBrowser& b = *c.thumbnails_;
  char path[MAX_PATH];
  ThumbnailPath(b, SelectedFile(b), path, sizeof path);
  c.view_flags_ &= ~kViewThumbnails;  // the open replaces the document as any open does
  if (c.OpenFlow(c.main_window_, UM_OPEN_FILE, reinterpret_cast<WPARAM>(path))) {
    CloseThumbnails(c);
    c.ResetPan();
    return;
  }
  c.view_flags_ |= kViewThumbnails;
  c.UpdateToolbarStates();
  if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) RebuildThumbnails(c);
}

// Delete: asks, moves the selected file to the recycle bin and rebuilds the sheet without it.
void DeleteSelected(CmdClass& c) {
  const ThumbnailBrowser& b = *c.thumbnails_;
  const int index = SelectedFile(b);
  char question[MAX_PATH + 64];
  std::snprintf(question, sizeof question, "%s\r\n%s", b.files[index].name, MessageText(kMsgToRecycleBin));
  if (AskQuestion(question, false) != IDOK) return;
  // The operation takes a list of names ended by an empty one.
  char from[MAX_PATH + 2] = {};
  ThumbnailPath(b, index, from, MAX_PATH);
  SHFILEOPSTRUCTA op{};
  op.wFunc = FO_DELETE;
  op.pFrom = from;
  op.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_NOERRORUI;  // a failure ends the step silently
  if (SHFileOperationA(&op) != 0 || op.fAnyOperationsAborted) return;
  PlaySoundA(kRecycleSound, nullptr, SND_FILENAME | SND_ASYNC);
  RebuildThumbnails(c);
}

}  // namespace

ThumbnailBrowser::~ThumbnailBrowser() {
  if (sheet_dc) {
    if (sheet_before) SelectObject(sheet_dc, sheet_before);
    DeleteDC(sheet_dc);
  }
  if (sheet) DeleteObject(sheet);
}

void ThumbnailBrowserDeleter::operator()(ThumbnailBrowser* browser) const { delete browser; }

void ThumbnailPath(const ThumbnailBrowser& browser, int index, char* path, size_t size) {
  const size_t n = std::strlen(browser.folder);
  const char* separator = n > 0 && browser.folder[n - 1] == '\\' ? "" : "\\";
  std::snprintf(path, size, "%s%s%s", browser.folder, separator, browser.files[index].name);
}

void CmdClass::OpenThumbnails() {
  if (view_flags_ & kViewThumbnails) return;
  ReadViewRect();
  std::unique_ptr<ThumbnailBrowser, ThumbnailBrowserDeleter> browser(CreateObject<ThumbnailBrowser>());
  view_flags_ |= kViewThumbnails;
  UpdateToolbarStates();
  ShowWindow(main_window_, SW_MAXIMIZE);
  UpdateWindow(main_window_);
  ReadViewRect();
  HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(main_window_, GWLP_HINSTANCE));
  browser->window = CreateWindowExA(WS_EX_TOOLWINDOW, kThumbClass, kThumbTitle, kBrowserStyle, view_rect_.left,
                                    view_rect_.top, view_rect_.right - view_rect_.left,
                                    view_rect_.bottom - view_rect_.top, main_window_, nullptr, instance, nullptr);
  SheetResult result = SheetResult::kNoSheet;
  if (browser->window) {
    UpdateWindow(browser->window);
    result = BuildSheet(*this, *browser);
  }
  if (result != SheetResult::kBuilt) {
    if (browser->window) DestroyWindow(browser->window);
    view_flags_ &= ~kViewThumbnails;
    UpdateToolbarStates();
    InvalidateRect(main_window_, nullptr, TRUE);
    if (result == SheetResult::kNoFiles) ShowWarning(kMsgNoThumbFiles, kCaptionWarning, true);
    else if (browser->window) ShowError(kMsgNoMemory);  // a sheet too large to hold
    return;
  }
  thumbnails_ = std::move(browser);
  SendMessageA(thumbnails_->window, UM_THUMBNAIL_STATE, 0, reinterpret_cast<LPARAM>(thumbnails_.get()));
}

LRESULT CmdClass::OnThumbnailNotify(WPARAM wparam, LPARAM) {
  if (!thumbnails_) return 0;
  switch (wparam) {
    case kThumbClose: CloseThumbnails(*this); break;
    case kThumbOpen: OpenSelected(*this); break;
    case kThumbDelete: DeleteSelected(*this); break;
    default: break;
  }
  return 0;
}
