// The transfer progress dialog (DIALOG_SendCode, template 178) as the link
// sees it, with the portable model of what it shows. The Windows dialog draws
// the model; the command line and the tests run it without a window.
#pragma once

#include <optional>

#include "common/text.h"

namespace tramsel {

struct LinkSession;

// The dialog's contents. Timer 1 (every 100 ms) calls OnPercentTick, timer 2
// (every 100 ms) OnElapsedTick.
class SendCodeProgress {
 public:
  static constexpr int kPercentTimer = 1;
  static constexpr int kElapsedTimer = 2;
  static constexpr int kTimerPeriodMs = 100;

  // Opened with the image's number of blocks and the editor's text length.
  SendCodeProgress(const LinkSession& session, int blockCount, int editorTextLength);

  // Static text 1052.
  Text LengthText() const;
  // Progress bar 1054: range 0 to RangeHigh(), position 0 at opening.
  int RangeHigh() const;

  void OnElapsedTick() { ++elapsedTenths_; }

  struct PercentTick {
    std::optional<int> position;  // the bar's new position, when one is due
    Text text;                    // static text 1053
  };
  PercentTick OnPercentTick() const;

 private:
  const LinkSession& session_;
  int blockCount_;
  int editorTextLength_;
  int elapsedTenths_ = 0;
};

class TransferWindows {
 public:
  virtual ~TransferWindows() = default;
  // Posts the main window's event EVENT_SEND_READY (lParam 1); the main
  // window answers it with TransmitterLink::OnSendReadyEvent().
  virtual void PostSendReady() = 0;
  // Runs the progress dialog modally and returns when it has closed. Its
  // cancel button posts EVENT_SEND_CANCEL (lParam 51) to the main window,
  // which answers it with TransmitterLink::OnSendCancelEvent(), and closes
  // the dialog.
  virtual void RunSendCodeDialog(SendCodeProgress& progress) = 0;
  virtual bool SendCodeDialogVisible() const = 0;
  // Ends the open dialog as its OK button would.
  virtual void EndSendCodeDialog() = 0;
};

}  // namespace tramsel
