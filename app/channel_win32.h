// The program's message channel: message boxes with MessageBoxA (owned by the main window where
// the caller asks for it) and the progress window, dialog 1002.
#pragma once
#include <windows.h>

#include "base/messages.h"

class Win32Channel : public UserChannel {
 public:
  int Message(const char* text, const char* caption, unsigned style, bool owned) override;
  void ProgressBegin(const char* caption) override;
  void ProgressStep(const char* counter_text) override;
  void ProgressEnd() override;

 private:
  char caption_[128] = "";
  char counter_[64] = "";
};

// The progress window's dialog procedure (public for the tests).
INT_PTR CALLBACK ProgressDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
