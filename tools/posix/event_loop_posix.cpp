#include "posix/event_loop_posix.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <vector>

namespace tramsel {

void EventLoop::SetTimer(int id, int periodMs, std::function<void()> onTick) {
  const std::chrono::milliseconds period(periodMs < 1 ? 1 : periodMs);
  timers_[id] = Periodic{period, Clock::now() + period, std::move(onTick)};
}

void EventLoop::KillTimer(int id) { timers_.erase(id); }

unsigned EventLoop::StartOneShot(int ms, std::function<void(unsigned)> onExpiry) {
  const unsigned handle = ++lastHandle_;
  oneShots_[handle] = OneShot{Clock::now() + std::chrono::milliseconds(ms < 0 ? 0 : ms), std::move(onExpiry)};
  return handle;
}

void EventLoop::CancelOneShot(unsigned handle) { oneShots_.erase(handle); }

void EventLoop::Post(std::function<void()> event) { posted_.push_back(std::move(event)); }

void EventLoop::Watch(int fd, std::function<void()> onReadable) { watched_[fd] = std::move(onReadable); }

void EventLoop::Unwatch(int fd) { watched_.erase(fd); }

bool EventLoop::RunOnce(TimePoint deadline) {
  if (!posted_.empty()) {
    std::function<void()> event = std::move(posted_.front());
    posted_.pop_front();
    event();
    return true;
  }

  TimePoint wakeAt = deadline;
  for (const auto& [id, timer] : timers_) wakeAt = std::min(wakeAt, timer.due);
  for (const auto& [handle, shot] : oneShots_) wakeAt = std::min(wakeAt, shot.due);
  const auto left = std::max(Clock::duration::zero(), wakeAt - Clock::now());
  const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
  timespec timeout{static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};

  std::vector<pollfd> fds;
  for (const auto& [fd, handler] : watched_) fds.push_back({fd, POLLIN, 0});
  const int ready = ::ppoll(fds.data(), fds.size(), &timeout, haveWaitMask_ ? &waitMask_ : nullptr);
  if (ready < 0) return errno == EINTR;
  for (const pollfd& p : fds) {
    if (p.revents == 0) continue;
    auto found = watched_.find(p.fd);
    if (found == watched_.end()) continue;
    std::function<void()> handler = found->second;  // the handler may unwatch its descriptor
    handler();
    return true;
  }

  const TimePoint now = Clock::now();
  // The timer due first goes first, so that a busy loop cannot starve any.
  std::optional<int> periodic;
  std::optional<unsigned> shot;
  TimePoint first = TimePoint::max();
  for (const auto& [id, timer] : timers_) {
    if (timer.due <= now && timer.due < first) {
      first = timer.due;
      periodic = id;
    }
  }
  for (const auto& [handle, s] : oneShots_) {
    if (s.due <= now && s.due < first) {
      first = s.due;
      shot = handle;
      periodic.reset();
    }
  }
  if (shot) {
    std::function<void(unsigned)> onExpiry = std::move(oneShots_[*shot].onExpiry);
    oneShots_.erase(*shot);
    onExpiry(*shot);
    return true;
  }
  if (periodic) {
    Periodic& timer = timers_[*periodic];
    timer.due = now + timer.period;
    std::function<void()> onTick = timer.onTick;
    onTick();
    return true;
  }
  return now < deadline;
}

void EventLoop::RunUntil(TimePoint deadline) {
  while (Clock::now() < deadline) RunOnce(deadline);
}

}  // namespace tramsel
