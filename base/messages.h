// User messages: the table of texts by message code, the channel every message and progress
// report goes through, the generic Error box, and the out-of-memory rule.
#pragma once
#include <cstddef>

#include "base/platform_types.h"

enum MessageCode {
  kMsgCannotOpen = 0,
  kMsgNoMemory = 1,
  kMsgUnsupported = 2,
  kMsgWriteFailed = 6,
  kMsgNoSlideFiles = 7,
  kMsgNeedExtension = 10,
  kMsgBadFolder = 11,
  kMsgNoPalette = 12,
  kMsgNoReduction = 14,
  kMsgColourOverflow = 15,
  kMsgFinished = 16,
  kMsgNoHelpFile = 17,
  kMsgNoThumbFiles = 18,
  kMsgBadVersion = 20,
  kMsgTakesTime = 21,
  kMsgDiscardImage = 22,
  kMsgRenamedCount = 23,    // batch rename summary: "%d個のファイル名を変更しました"
  kMsgRenameLeft = 24,      // and "（%d個は変更できませんでした）"
  kMsgBadNewName = 25,      // a new name no file name can hold
  kMsgBadStartNumber = 26,  // a start number that is no whole number
  kMsgToRecycleBin = 27,    // the thumbnail browser's question after the file name: "をごみ箱に移動しますか？"
  kMsgSlideSkipped = 28,    // a slideshow's title after an unreadable file's name and position
  kMsgPrintNoDevMode = 29,  // printing: "Can't Lock Memory Block" ... "Print Error"
  kMsgPrintNoPrinter = 30,
  kMsgPrintNoBuffer = 31,
  kMsgPrintNoBufferLock = 32,
  kMsgPrintNoProperties = 33,
  kMsgPrintError = 34,
  kMessageCount = 35
};

// Text of a message code (CP932); an empty text for a reserved or unknown code.
const char* MessageText(int code);

// Captions used with the table.
extern const char* const kCaptionWarning;   // "警告"
extern const char* const kCaptionInfo;      // "情報"
extern const char* const kCaptionQuestion;  // "問合せ"
extern const char* const kCaptionWarningEn;  // "Warning"

// Where messages and progress reports go. The program shows message boxes and the progress
// window; the tests record; the command-line tool prints.
class UserChannel {
 public:
  virtual ~UserChannel() = default;
  // A message box: text, caption (null for none), style bits as MB_*, and whether the main
  // window owns it. Returns the button pressed (IDOK, IDCANCEL ...).
  virtual int Message(const char* text, const char* caption, unsigned style, bool owned) = 0;
  // Why the file about to be refused was refused, in English ("truncated pixel data" ...), given
  // just before the box. The program's box keeps its fixed text; the command-line tool prints the
  // reason on a line of its own.
  virtual void Reason(const char*) {}
  virtual void ProgressBegin(const char* caption) = 0;
  virtual void ProgressStep(const char* counter_text) = 0;
  virtual void ProgressEnd() = 0;
};

// The channel in use; a quiet default that answers OK until one is installed.
UserChannel& Channel();
// Installs a channel (null restores the default) and returns the previous one.
UserChannel* SetChannel(UserChannel* channel);

// Shorthands for the box kinds.
int ShowError(int code);                                   // error box, no caption, no owner
int ShowWarning(int code, const char* caption, bool owned);
int ShowInfo(int code, const char* caption, bool owned);
int AskQuestion(const char* text, bool owned);             // OK/Cancel, caption "問合せ"
// A file refused: the reason to the channel, then the error box of code.
int ShowRefusal(int code, const char* reason);

// Captions of the progress window.
enum ProgressCaption {
  kProgressHashing = 0,    // "ハッシュ処理中です": the colour census of a reduction
  kProgressMedianCut = 1,  // "メディアンカット処理中です"
  kProgressShrinking = 2,  // "縮小処理中です": the area-average resize
  kProgressWorking = 3,    // "処理中": any other long operation
  kProgressThumbnails = 4, // "サムネイルリスト生成中です": the thumbnail browser's sheet
  kProgressCaptionCount = 5
};
const char* ProgressCaptionText(int caption);

// The progress window for the time of a scope: opened by the constructor, stepped with the
// counter text "%d / %d", closed by the destructor. Steps that would not move the counter
// shown (more than about a hundred a run) are passed over, so a loop may call Step freely.
class Progress {
 public:
  explicit Progress(int caption);
  ~Progress();
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;
  void Step(int done, int total);

 private:
  int last_shown_ = -1;
};

// For the time of a scope, the boxes of files that cannot be read are passed over (answered OK,
// not shown), so that one bad file neither stops nor interrupts a run over many (the thumbnail
// sheet, a slideshow). Running out of memory is still reported, and progress goes on to the
// channel that was in use.
class SkipRefusals : public UserChannel {
 public:
  SkipRefusals();
  ~SkipRefusals() override;
  SkipRefusals(const SkipRefusals&) = delete;
  SkipRefusals& operator=(const SkipRefusals&) = delete;
  int Message(const char* text, const char* caption, unsigned style, bool owned) override;
  void ProgressBegin(const char* caption) override { next_->ProgressBegin(caption); }
  void ProgressStep(const char* text) override { next_->ProgressStep(text); }
  void ProgressEnd() override { next_->ProgressEnd(); }

 private:
  UserChannel* next_;
};

// The generic error report: constructing it shows "エラーです".
class Error {
 public:
  Error();
  virtual ~Error();
};

// Out of memory in an object creation routine: shows code 1 and ends the process.
[[noreturn]] void OutOfMemoryAbort();

// Creates an object with new; on allocation failure follows the out-of-memory rule.
template <class T, class... Args>
T* CreateObject(Args&&... args) {
  try {
    return new T(static_cast<Args&&>(args)...);
  } catch (...) {
    OutOfMemoryAbort();
  }
}
