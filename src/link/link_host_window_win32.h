// The link's Windows host: the serial control, the port directory, the
// timers and the waits, all tied to one window of the user-interface thread,
// and the routing of that window's link messages to the TransmitterLink:
//   WM_TIMER 2 / 6                        -> OnSupervisorTick / OnRequestPollTick
//   CMscomm1::kNotifyMessage              -> OnCommEvent (through CMscomm1::Deliver)
//   WindowLinkTimers::kReplyTimeoutMessage -> OnReplyTimeout(handle)
//
// The main window plugs it in like this:
//   LinkHostWindow linkWindow_{appFolder + u"\\lib"};   // a member, before the link
//   TransmitterLink link_{LinkHost{linkWindow_.serial(), linkWindow_.ports(),
//                         linkWindow_.timers(), linkWindow_.waits(), ui, windows, document, codec},
//                         machines, settings};
//   WM_INITDIALOG:  linkWindow_.Attach(window, link_); ... link_.StartRequestPoller();
//   window procedure, before anything else:
//                   if (linkWindow_.HandleMessage(message, wParam, lParam)) return TRUE;
// The window must leave timer ids 2 and 6 and the messages WM_APP + 1 and
// WM_APP + 2 to the link. A program without a window (the command line)
// calls CreateMessageWindow instead of Attach and runs a message loop.
#pragma once

#include <windows.h>

#include "link/link_timers_win32.h"
#include "link/link_waits_win32.h"
#include "link/port_directory_win32.h"
#include "link/serial_control_win32.h"

namespace tramsel {

class TransmitterLink;

class LinkHostWindow {
 public:
  // libFolder: where CH341PT.DLL is looked for first.
  explicit LinkHostWindow(Text libFolder);
  ~LinkHostWindow();
  LinkHostWindow(const LinkHostWindow&) = delete;
  LinkHostWindow& operator=(const LinkHostWindow&) = delete;

  // The parts of the LinkHost this window provides.
  CMscomm1& serial() { return serial_; }
  PortDirectory& ports() { return ports_; }
  LinkTimers& timers() { return timers_; }
  LinkWaits& waits() { return waits_; }

  // Routes an existing window's link messages to the link; the window
  // procedure passes every message to HandleMessage first.
  void Attach(HWND window, TransmitterLink& link);
  // Creates a message-only window of its own for the link; false when the
  // system refuses one.
  bool CreateMessageWindow(TransmitterLink& link);
  HWND window() const { return window_; }

  // True when the message was the link's and has been handled.
  bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

 private:
  static LRESULT CALLBACK MessageWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  CMscomm1 serial_;
  WindowsPortDirectory ports_;
  WindowLinkTimers timers_;
  MessageLoopWaits waits_;
  HWND window_ = nullptr;
  bool ownWindow_ = false;
  TransmitterLink* link_ = nullptr;
};

}  // namespace tramsel
