// The Linux tools' message loop: periodic timers that behave like window
// timers, one-shot timers, posted events and descriptors to watch, all
// dispatched one at a time on the calling thread. A handler may run the loop
// again inside itself (a wait that keeps dispatching, a modal dialog), as the
// Windows program's message boxes and waits do.
#pragma once

#include <signal.h>

#include <chrono>
#include <deque>
#include <functional>
#include <map>

namespace tramsel {

class EventLoop {
 public:
  using Clock = std::chrono::steady_clock;
  using TimePoint = Clock::time_point;

  // A periodic timer under `id`; setting one that runs starts its period
  // again.
  void SetTimer(int id, int periodMs, std::function<void()> onTick);
  void KillTimer(int id);
  bool TimerRunning(int id) const { return timers_.count(id) > 0; }

  // A one-shot timer; its handle is never 0 and never used again. A cancelled
  // timer does not fire.
  unsigned StartOneShot(int ms, std::function<void(unsigned handle)> onExpiry);
  void CancelOneShot(unsigned handle);

  void Post(std::function<void()> event);
  bool HasPosted() const { return !posted_.empty(); }

  // Calls onReadable whenever fd has bytes to read (or has failed).
  void Watch(int fd, std::function<void()> onReadable);
  void Unwatch(int fd);

  // Signals let through while the loop waits (all others stay as they are).
  void SetWaitMask(const sigset_t& mask) {
    waitMask_ = mask;
    haveWaitMask_ = true;
  }

  // Waits, at most until `deadline`, for one event and dispatches it: a
  // posted event first, then a readable descriptor, then the timer due
  // first. False when the deadline passed without one; true also when a let
  // through signal ended the wait.
  bool RunOnce(TimePoint deadline);
  // Dispatches everything until `deadline`.
  void RunUntil(TimePoint deadline);

 private:
  struct Periodic {
    std::chrono::milliseconds period;
    TimePoint due;
    std::function<void()> onTick;
  };
  struct OneShot {
    TimePoint due;
    std::function<void(unsigned)> onExpiry;
  };

  std::map<int, Periodic> timers_;
  std::map<unsigned, OneShot> oneShots_;
  unsigned lastHandle_ = 0;
  std::deque<std::function<void()>> posted_;
  std::map<int, std::function<void()>> watched_;
  sigset_t waitMask_{};
  bool haveWaitMask_ = false;
};

}  // namespace tramsel
