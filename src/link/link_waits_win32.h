// Waiting on the user-interface thread while its messages go on.
#pragma once

#include "link/link_waits.h"

namespace tramsel {

// Returns after ms milliseconds; meanwhile the calling thread's messages are
// taken one at a time, translated and dispatched. The thread sleeps in
// MsgWaitForMultipleObjectsEx between messages. A WM_QUIT taken here is
// posted again and ends the wait, so the loop that owns it still sees it.
void WaitPumping(int ms);

class MessageLoopWaits final : public LinkWaits {
 public:
  void WaitPumping(int ms) override { tramsel::WaitPumping(ms); }
  void Sleep(int ms) override;
};

}  // namespace tramsel
