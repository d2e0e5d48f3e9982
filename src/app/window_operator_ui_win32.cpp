#include "app/window_operator_ui_win32.h"

namespace tramsel {

namespace {

const wchar_t* Wide(const Text& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

}  // namespace

void WindowOperatorUi::ShowMessage(TextView text) { ShowCaptionedMessage(appName_, text); }

void WindowOperatorUi::ShowCaptionedMessage(TextView caption, TextView text) {
  MessageBoxW(owner_, Wide(Text(text)), Wide(Text(caption)), MB_OK | MB_ICONEXCLAMATION);
}

bool WindowOperatorUi::Ask(TextView caption, TextView text) {
  return MessageBoxW(owner_, Wide(Text(text)), Wide(Text(caption)), MB_OKCANCEL | MB_ICONEXCLAMATION) ==
         IDOK;
}

void WindowOperatorUi::SetStatusText(TextView text) {
  if (owner_ && statusControlId_) SetDlgItemTextW(owner_, statusControlId_, Wide(Text(text)));
}

}  // namespace tramsel
