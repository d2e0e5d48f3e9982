// How the portable subsystems reach the operator. Every box is modal: the
// caller continues only when the operator has closed it, and while it is open
// the host keeps dispatching timers and serial events.
#pragma once

#include "common/text.h"

namespace tramsel {

class OperatorUi {
 public:
  virtual ~OperatorUi() = default;
  // OK box with the exclamation icon, captioned with the application's name.
  virtual void ShowMessage(TextView text) = 0;
  // The same with a caption of its own ("错误", "发现新设备", ...).
  virtual void ShowCaptionedMessage(TextView caption, TextView text) = 0;
  // OK/Cancel question with the exclamation icon; true when the answer is OK.
  virtual bool Ask(TextView caption, TextView text) = 0;
  // The main window's status line (control 1031).
  virtual void SetStatusText(TextView text) = 0;
};

}  // namespace tramsel
