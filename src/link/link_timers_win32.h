// The link's timers on a window: timers 2 and 6 as the window's own timers,
// and the one-shot reply timer with 1 ms resolution: each arming begins a
// 1 ms timer-resolution period (timeBeginPeriod) and sets a waitable timer
// that one expiry thread waits on. The expiry is posted to the window as
// kReplyTimeoutMessage, so the link sees it on the user-interface thread
// between two other messages, never in the middle of one.
//
// The waitable timer is set only when an arming is due before the time it is
// set for; disarming leaves it, and a wake that finds nothing due sets it for
// what is armed then. So a request answered and followed by the next one
// (the block loop of a transfer) costs no system call and no thread switch
// for its time-out. (A multimedia timer wakes its thread at every
// timeSetEvent and timeKillEvent; under Wine that cost about a millisecond
// of every request's turnaround.)
#pragma once

#include <windows.h>

#include <chrono>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

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

 private:
  using Clock = std::chrono::steady_clock;

  struct Armed {
    HWND owner;
    Clock::time_point due;
    bool fired = false;
  };

  // The expiry thread: posts every armed timer that is due, then waits for
  // the next.
  void Run();
  // Under the lock: the waitable timer set for the earliest armed expiry not
  // yet posted, unless it is set for that or an earlier time already; false
  // when the system refuses to set it.
  bool ScheduleEarliest();

  HWND owner_ = nullptr;
  ReplyTimerHandle lastHandle_ = 0;
  const HANDLE waitable_;
  const HANDLE stop_;
  std::mutex mutex_;  // guards armed_, shared with the expiry thread
  std::map<ReplyTimerHandle, Armed> armed_;
  std::optional<Clock::time_point> scheduled_;  // when the waitable timer will signal
  std::thread expiry_;
};

}  // namespace tramsel
