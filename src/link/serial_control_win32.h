// CMscomm1: the program's own serial communications control on \\.\COMn.
//
// The user-interface thread sets the properties, opens and closes the port,
// writes frames and reads what has arrived. A frame is handed to an
// overlapped WriteFile at once, on the user-interface thread; while the port
// is open, one I/O thread keeps the overlapped reads going, collects the
// writes that did not complete at once and starts what was queued behind
// them, and posts the control's notifications to the owning window; the
// window hands them back to Deliver(), which runs OnComm on the
// user-interface thread.
//
// Reading is a loop of overlapped ReadFile calls without time-outs: each asks
// for one byte, then takes what else waits in the driver. The receive
// threshold counts the bytes read and not yet taken by Input(); the send
// notification follows the completion of the last queued write. Driver
// events (WaitCommEvent) and modem lines are not used: a pty under Wine
// reports neither reliably, and the link needs neither.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "link/serial_control.h"

namespace tramsel {

class CMscomm1 final : public SerialControl {
 public:
  // The message the I/O thread posts: wParam = the opening it belongs to,
  // lParam = the CommEvent code.
  static constexpr UINT kNotifyMessage = WM_APP + 1;

  CMscomm1();
  ~CMscomm1() override;
  CMscomm1(const CMscomm1&) = delete;
  CMscomm1& operator=(const CMscomm1&) = delete;

  // The window that receives kNotifyMessage, and what runs for a notification
  // (the link's OnCommEvent). Set before the port is first opened.
  void SetOwner(HWND owner, std::function<void()> onComm);
  // Answers a kNotifyMessage: runs OnComm with CommEvent set to the
  // notification's event, unless the notification belongs to an earlier
  // opening or (for receive) its bytes have been taken meanwhile.
  void Deliver(WPARAM wParam, LPARAM lParam);

  // SerialControl
  void SetCommPort(int number) override { commPort_ = number; }
  int CommPort() const override { return commPort_; }
  void SetInBufferSize(int bytes) override { inBufferSize_ = bytes; }
  void SetOutBufferSize(int bytes) override { outBufferSize_ = bytes; }
  void SetInputLen(int bytes) override { inputLen_ = bytes; }
  void SetInputMode(int mode) override { inputMode_ = mode; }
  void SetSettings(std::string_view settings) override { settings_ = settings; }
  void SetRThreshold(int bytes) override;
  void SetSThreshold(int bytes) override;
  bool SetPortOpen(bool open) override;
  bool PortOpen() const override { return line_ != nullptr; }
  bool Output(std::string_view frame) override;
  std::string Input() override;
  int CommEvent() const override { return commEvent_; }

  struct Line;  // the open port, shared with its I/O thread

 private:
  bool Open();
  void Close();

  HWND owner_ = nullptr;
  std::function<void()> onComm_;
  int commPort_ = 1;
  int inBufferSize_ = 1024;
  int outBufferSize_ = 512;
  int inputLen_ = 0;
  int inputMode_ = 0;
  std::string settings_ = "9600,n,8,1";
  int rThreshold_ = 0;
  int sThreshold_ = 0;
  int commEvent_ = 0;
  unsigned openings_ = 0;
  std::unique_ptr<Line> line_;
};

}  // namespace tramsel
