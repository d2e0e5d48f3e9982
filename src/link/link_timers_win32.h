// The link's timers on a window: timers 2 and 6 as the window's own timers,
// and the one-shot reply timer as a multimedia timer with 1 ms resolution.
// The multimedia timer fires on its own thread; its expiry is posted to the
// window as kReplyTimeoutMessage, so the link sees it on the user-interface
// thread between two other messages, never in the middle of one.
#pragma once

#include <windows.h>

#include <map>
#include <memory>

#include "link/link_timers.h"

namespace tramsel {

class WindowLinkTimers final : public LinkTimers {
 public:
  // wParam = the ReplyTimerHandle that expired.
  static constexpr UINT kReplyTimeoutMessage = WM_APP + 2;

  // Resolution periods begun and ended by reply timers in this process, for
  // tests: after the link has finished, the two are equal.
  struct PeriodCounts {
    long begun = 0;
    long ended = 0;
  };
  static PeriodCounts Counts();

  WindowLinkTimers();
  ~WindowLinkTimers() override;
  WindowLinkTimers(const WindowLinkTimers&) = delete;
  WindowLinkTimers& operator=(const WindowLinkTimers&) = delete;

  // The window that runs the timers; set before the first timer.
  void SetOwner(HWND owner) { owner_ = owner; }

  void SetTimer(int id, int periodMs) override;
  void KillTimer(int id) override;
  ReplyTimerHandle ArmReplyTimer(int ms) override;
  void DisarmReplyTimer(ReplyTimerHandle handle) override;

  struct Armed;  // one armed reply timer, shared with the timer thread

 private:
  HWND owner_ = nullptr;
  ReplyTimerHandle lastHandle_ = 0;
  std::map<ReplyTimerHandle, std::unique_ptr<Armed>> armed_;
};

}  // namespace tramsel
