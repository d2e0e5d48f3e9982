// The two ways the link pauses.
#pragma once

namespace tramsel {

class LinkWaits {
 public:
  virtual ~LinkWaits() = default;
  // Returns after ms milliseconds, dispatching the user-interface thread's
  // messages meanwhile: timers, serial notifications, reply time-outs and
  // posted main-window events run inside the wait.
  virtual void WaitPumping(int ms) = 0;
  // Returns after ms milliseconds without dispatching anything.
  virtual void Sleep(int ms) = 0;
};

}  // namespace tramsel
