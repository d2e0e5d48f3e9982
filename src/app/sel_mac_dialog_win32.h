// The machine selection dialog: before an automatic transfer the operator
// picks the machine and whether the code goes direct or into the box.
#pragma once

#include <windows.h>

#include "config/mac_table.h"
#include "link/transmitter_link.h"

namespace tramsel {

class DIALOG_SelMac {
 public:
  DIALOG_SelMac(HWND owner, MacTable& machines, TransmitterLink& link)
      : owner_(owner), machines_(machines), link_(link) {}
  void DoModal();

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR HandleMessage(UINT message, WPARAM wParam);
  void OnInitDialog();
  void RequestTransfer(bool storing);

  HWND owner_;
  MacTable& machines_;
  TransmitterLink& link_;
  HWND window_ = nullptr;
};

}  // namespace tramsel
