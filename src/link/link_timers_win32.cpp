#include "link/link_timers_win32.h"

#include <mmsystem.h>

#include <atomic>

namespace tramsel {

namespace {

constexpr UINT kResolutionMs = 1;

std::atomic<long> periodsBegun{0};
std::atomic<long> periodsEnded{0};

}  // namespace

WindowLinkTimers::PeriodCounts WindowLinkTimers::Counts() {
  return PeriodCounts{periodsBegun.load(), periodsEnded.load()};
}

WindowLinkTimers::WindowLinkTimers()
    : waitable_(CreateWaitableTimerW(nullptr, FALSE, nullptr)),
      stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      expiry_(&WindowLinkTimers::Run, this) {}

WindowLinkTimers::~WindowLinkTimers() {
  SetEvent(stop_);
  expiry_.join();
  while (!armed_.empty()) DisarmReplyTimer(armed_.begin()->first);
  CloseHandle(stop_);
  if (waitable_) CloseHandle(waitable_);
}

void WindowLinkTimers::Run() {
  for (;;) {
    HANDLE waits[2] = {stop_, waitable_};
    const DWORD count = waitable_ ? 2 : 1;
    if (WaitForMultipleObjects(count, waits, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) return;
    std::lock_guard lock(mutex_);
    scheduled_.reset();
    const Clock::time_point now = Clock::now();
    for (auto& [handle, armed] : armed_) {
      if (armed.fired || armed.due > now) continue;
      armed.fired = true;
      PostMessageW(armed.owner, kReplyTimeoutMessage, handle, 0);
    }
    // What is still armed: later armings, and one due a little after this
    // wake (the two clocks differ).
    ScheduleEarliest();
  }
}

bool WindowLinkTimers::ScheduleEarliest() {
  if (!waitable_) return false;
  const Armed* earliest = nullptr;
  for (const auto& [handle, armed] : armed_) {
    if (!armed.fired && (!earliest || armed.due < earliest->due)) earliest = &armed;
  }
  if (!earliest || (scheduled_ && *scheduled_ <= earliest->due)) return true;
  // Relative times are negative, in units of 100 ns; never 0, which would
  // not count as relative.
  const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(earliest->due - Clock::now()).count();
  LARGE_INTEGER dueTime;
  dueTime.QuadPart = -std::max<long long>(1, left / 100);
  if (!SetWaitableTimer(waitable_, &dueTime, 0, nullptr, nullptr, FALSE)) return false;
  scheduled_ = earliest->due;
  return true;
}

void WindowLinkTimers::SetTimer(int id, int periodMs) {
  ::SetTimer(owner_, static_cast<UINT_PTR>(id), static_cast<UINT>(periodMs), nullptr);
}

void WindowLinkTimers::KillTimer(int id) { ::KillTimer(owner_, static_cast<UINT_PTR>(id)); }

ReplyTimerHandle WindowLinkTimers::ArmReplyTimer(int ms) {
  const ReplyTimerHandle handle = ++lastHandle_;
  timeBeginPeriod(kResolutionMs);
  ++periodsBegun;
  std::lock_guard lock(mutex_);
  Armed& armed = armed_.emplace(handle, Armed{owner_, Clock::now() + std::chrono::milliseconds(ms)}).first->second;
  if (!ScheduleEarliest()) {
    // No timer to be had: expire at once, so the link's resends and its
    // final time-out still end the request instead of leaving it waiting.
    armed.fired = true;
    PostMessageW(owner_, kReplyTimeoutMessage, handle, 0);
  }
  return handle;
}

void WindowLinkTimers::DisarmReplyTimer(ReplyTimerHandle handle) {
  {
    std::lock_guard lock(mutex_);
    auto found = armed_.find(handle);
    if (found == armed_.end()) return;
    armed_.erase(found);
  }
  timeEndPeriod(kResolutionMs);
  ++periodsEnded;
}

}  // namespace tramsel
