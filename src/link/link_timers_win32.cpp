#include "link/link_timers_win32.h"

#include <mmsystem.h>

#include <atomic>
#include <mutex>

namespace tramsel {

namespace {

constexpr UINT kResolutionMs = 1;

std::atomic<long> periodsBegun{0};
std::atomic<long> periodsEnded{0};

// Orders an expiry against its disarming: the timer thread posts only while
// the timer is still armed.
std::mutex expiryMutex;

}  // namespace

struct WindowLinkTimers::Armed {
  HWND owner;
  ReplyTimerHandle handle;
  MMRESULT id = 0;
  bool fired = false;
  bool disarmed = false;
};

namespace {

void CALLBACK ReplyTimerExpired(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
  auto* armed = reinterpret_cast<WindowLinkTimers::Armed*>(user);
  std::lock_guard lock(expiryMutex);
  if (armed->disarmed) return;
  armed->fired = true;
  PostMessageW(armed->owner, WindowLinkTimers::kReplyTimeoutMessage, armed->handle, 0);
}

}  // namespace

WindowLinkTimers::PeriodCounts WindowLinkTimers::Counts() {
  return PeriodCounts{periodsBegun.load(), periodsEnded.load()};
}

WindowLinkTimers::WindowLinkTimers() = default;

WindowLinkTimers::~WindowLinkTimers() {
  while (!armed_.empty()) DisarmReplyTimer(armed_.begin()->first);
}

void WindowLinkTimers::SetTimer(int id, int periodMs) {
  ::SetTimer(owner_, static_cast<UINT_PTR>(id), static_cast<UINT>(periodMs), nullptr);
}

void WindowLinkTimers::KillTimer(int id) { ::KillTimer(owner_, static_cast<UINT_PTR>(id)); }

ReplyTimerHandle WindowLinkTimers::ArmReplyTimer(int ms) {
  const ReplyTimerHandle handle = ++lastHandle_;
  auto armed = std::make_unique<Armed>();
  armed->owner = owner_;
  armed->handle = handle;
  timeBeginPeriod(kResolutionMs);
  ++periodsBegun;
  armed->id = timeSetEvent(static_cast<UINT>(ms), kResolutionMs, ReplyTimerExpired,
                           reinterpret_cast<DWORD_PTR>(armed.get()),
                           TIME_ONESHOT | TIME_CALLBACK_FUNCTION | TIME_KILL_SYNCHRONOUS);
  if (armed->id == 0) {
    // No timer to be had: expire at once, so the link's resends and its
    // final time-out still end the request instead of leaving it waiting.
    armed->fired = true;
    PostMessageW(owner_, kReplyTimeoutMessage, handle, 0);
  }
  armed_.emplace(handle, std::move(armed));
  return handle;
}

void WindowLinkTimers::DisarmReplyTimer(ReplyTimerHandle handle) {
  auto found = armed_.find(handle);
  if (found == armed_.end()) return;
  Armed& armed = *found->second;
  bool fired;
  {
    std::lock_guard lock(expiryMutex);
    armed.disarmed = true;
    fired = armed.fired;
  }
  // A one-shot timer that has fired is gone; its id may already name another.
  if (!fired) timeKillEvent(armed.id);
  armed_.erase(found);
  timeEndPeriod(kResolutionMs);
  ++periodsEnded;
}

}  // namespace tramsel
