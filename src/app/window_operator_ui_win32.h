// Message boxes and the status line of the main window.
#pragma once

#include <windows.h>

#include "common/operator_ui.h"

namespace tramsel {

class WindowOperatorUi final : public OperatorUi {
 public:
  explicit WindowOperatorUi(const Text& appName) : appName_(appName) {}
  void SetOwner(HWND owner, int statusControlId) {
    owner_ = owner;
    statusControlId_ = statusControlId;
  }

  void ShowMessage(TextView text) override;
  void ShowCaptionedMessage(TextView caption, TextView text) override;
  bool Ask(TextView caption, TextView text) override;
  void SetStatusText(TextView text) override;

 private:
  const Text& appName_;
  HWND owner_ = nullptr;
  int statusControlId_ = 0;
};

}  // namespace tramsel
