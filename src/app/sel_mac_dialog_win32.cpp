#include "app/sel_mac_dialog_win32.h"

#include "app/resource.h"

namespace tramsel {

void DIALOG_SelMac::DoModal() {
  DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_SELMAC), owner_, DialogProc,
                  reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK DIALOG_SelMac::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DIALOG_SelMac* self;
  if (message == WM_INITDIALOG) {
    self = reinterpret_cast<DIALOG_SelMac*>(lParam);
    self->window_ = window;
    SetWindowLongPtrW(window, DWLP_USER, lParam);
  } else {
    self = reinterpret_cast<DIALOG_SelMac*>(GetWindowLongPtrW(window, DWLP_USER));
  }
  return self ? self->HandleMessage(message, wParam) : FALSE;
}

INT_PTR DIALOG_SelMac::HandleMessage(UINT message, WPARAM wParam) {
  if (message == WM_INITDIALOG) {
    OnInitDialog();
    return TRUE;
  }
  if (message != WM_COMMAND) return FALSE;
  switch (LOWORD(wParam)) {
    case IDC_SELMAC_MACHINES:
      if (HIWORD(wParam) == CBN_SELCHANGE) {
        // The choice is the current machine at once, whatever closes the dialog.
        const LRESULT chosen = SendDlgItemMessageW(window_, IDC_SELMAC_MACHINES, CB_GETCURSEL, 0, 0);
        if (chosen != CB_ERR) machines_.current = static_cast<int>(chosen) + 1;
      }
      return TRUE;
    case IDOK:
      RequestTransfer(false);
      return TRUE;
    case IDC_SELMAC_STORE:
      RequestTransfer(true);
      return TRUE;
    case IDCANCEL:
      EndDialog(window_, IDCANCEL);
      return TRUE;
  }
  return FALSE;
}

void DIALOG_SelMac::OnInitDialog() {
  SetWindowPos(window_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOOWNERZORDER);
  HWND list = GetDlgItem(window_, IDC_SELMAC_MACHINES);
  for (int n = 1; n <= machines_.count; ++n) {
    SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(reinterpret_cast<const wchar_t*>(machines_.slot(n).name.c_str())));
  }
  SendMessageW(list, CB_SETCURSEL, machines_.current - 1, 0);
}

void DIALOG_SelMac::RequestTransfer(bool storing) {
  link_.SetStoreInBox(storing);
  link_.RequestLinkOperation(FileTransfer);
  EndDialog(window_, storing ? IDC_SELMAC_STORE : IDOK);
}

}  // namespace tramsel
