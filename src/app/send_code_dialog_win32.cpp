#include "app/send_code_dialog_win32.h"

#include <commctrl.h>

#include "app/kestrun_dlg.h"
#include "app/resource.h"

namespace tramsel {

void DIALOG_SendCode::DoModal() {
  DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_SENDCODE), owner_, DialogProc,
                  reinterpret_cast<LPARAM>(this));
  window_ = nullptr;
}

void DIALOG_SendCode::EndWithOk() {
  if (window_) EndDialog(window_, IDOK);
}

INT_PTR CALLBACK DIALOG_SendCode::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DIALOG_SendCode* self;
  if (message == WM_INITDIALOG) {
    self = reinterpret_cast<DIALOG_SendCode*>(lParam);
    self->window_ = window;
    SetWindowLongPtrW(window, DWLP_USER, lParam);
  } else {
    self = reinterpret_cast<DIALOG_SendCode*>(GetWindowLongPtrW(window, DWLP_USER));
  }
  return self ? self->HandleMessage(message, wParam) : FALSE;
}

INT_PTR DIALOG_SendCode::HandleMessage(UINT message, WPARAM wParam) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog();
      return TRUE;
    case WM_TIMER:
      OnTimer(wParam);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDC_SEND_CANCEL) {
        PostMessageW(owner_, WM_MAIN_EVENT, EVENT_SEND_CANCEL, EVENT_SEND_CANCEL);
        EndDialog(window_, IDCANCEL);
      } else if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        EndDialog(window_, LOWORD(wParam));
      }
      return TRUE;
    case WM_DESTROY:
      KillTimer(window_, SendCodeProgress::kPercentTimer);
      KillTimer(window_, SendCodeProgress::kElapsedTimer);
      return FALSE;
  }
  return FALSE;
}

void DIALOG_SendCode::OnInitDialog() {
  HWND bar = GetDlgItem(window_, IDC_SEND_PROGRESS);
  SendMessageW(bar, PBM_SETRANGE, 0, MAKELPARAM(0, progress_.RangeHigh()));
  SendMessageW(bar, PBM_SETPOS, 0, 0);
  SetTimer(window_, SendCodeProgress::kPercentTimer, SendCodeProgress::kTimerPeriodMs, nullptr);
  SetTimer(window_, SendCodeProgress::kElapsedTimer, SendCodeProgress::kTimerPeriodMs, nullptr);
  SetDlgItemTextW(window_, IDC_SEND_LENGTH, reinterpret_cast<const wchar_t*>(progress_.LengthText().c_str()));
}

void DIALOG_SendCode::OnTimer(UINT_PTR id) {
  if (id == SendCodeProgress::kElapsedTimer) {
    progress_.OnElapsedTick();
  } else if (id == SendCodeProgress::kPercentTimer) {
    const SendCodeProgress::PercentTick tick = progress_.OnPercentTick();
    if (tick.position) SendDlgItemMessageW(window_, IDC_SEND_PROGRESS, PBM_SETPOS, *tick.position, 0);
    SetDlgItemTextW(window_, IDC_SEND_PERCENT, reinterpret_cast<const wchar_t*>(tick.text.c_str()));
  }
}

}  // namespace tramsel
