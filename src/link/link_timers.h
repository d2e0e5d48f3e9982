// The timers the link runs on: the main window's timers 2 and 6 and the
// one-shot reply time-out.
#pragma once

namespace tramsel {

// Handle of an armed reply timer; 0 is none.
using ReplyTimerHandle = unsigned;

class LinkTimers {
 public:
  virtual ~LinkTimers() = default;

  // Window timers (kSupervisorTimer, kRequestPollTimer): setting a timer that
  // runs starts its period again. On expiry the host calls
  // TransmitterLink::OnSupervisorTick() or OnRequestPollTick() on the
  // user-interface thread.
  virtual void SetTimer(int id, int periodMs) = 0;
  virtual void KillTimer(int id) = 0;

  // Starts the one-shot reply timer, beginning one 1 ms timer-resolution
  // period. The answer is never 0 and never repeats within a run. On expiry
  // the host calls TransmitterLink::OnReplyTimeout(handle) on the
  // user-interface thread (never on a timer thread).
  virtual ReplyTimerHandle ArmReplyTimer(int ms) = 0;
  // Kills the timer, fired or not, and ends its resolution period. The link
  // calls this exactly once for every arming. An expiry of that handle that
  // the host had already queued may still be delivered; the link ignores it.
  virtual void DisarmReplyTimer(ReplyTimerHandle handle) = 0;
};

}  // namespace tramsel
