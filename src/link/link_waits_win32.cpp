#include "link/link_waits_win32.h"

#include <windows.h>

#include <chrono>

namespace tramsel {

void WaitPumping(int ms) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    MSG message;
    if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(message.wParam));
        return;
      }
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return;
    // Wakes for a message already waiting as well as for a new one.
    MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(left), QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  }
}

void MessageLoopWaits::Sleep(int ms) { ::Sleep(static_cast<DWORD>(ms)); }

}  // namespace tramsel
