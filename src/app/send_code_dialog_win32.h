// The transfer progress dialog (template 178): how far the transfer has come
// and the time it has taken, with the operator's cancel.
#pragma once

#include <windows.h>

#include "link/send_progress.h"

namespace tramsel {

class DIALOG_SendCode {
 public:
  // owner: the main window, which receives the cancel event.
  DIALOG_SendCode(HWND owner, SendCodeProgress& progress) : owner_(owner), progress_(progress) {}

  void DoModal();
  bool Visible() const { return window_ && IsWindowVisible(window_); }
  // Ends the dialog as its OK button would.
  void EndWithOk();

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR HandleMessage(UINT message, WPARAM wParam);
  void OnInitDialog();
  void OnTimer(UINT_PTR id);

  HWND owner_;
  SendCodeProgress& progress_;
  HWND window_ = nullptr;
};

}  // namespace tramsel
