// The state of the link: one instance, owned by the main window through its
// TransmitterLink, read by the progress dialog.
#pragma once

#include <vector>

#include "common/text.h"
#include "link/link_packet.h"
#include "link/link_timers.h"

namespace tramsel {

struct LinkSession {
  // Supervision.
  int pendingRequest = 0;    // LinkRequest recorded by the user interface, not yet started
  int currentOperation = 0;  // LinkRequest being carried out; 0 when idle
  bool superviseActive = true;
  int connectCountdown = -1;  // supervisor ticks left before asking whether to go on
  bool newDevicePrompted = false;
  bool assigningStation = false;

  // Port candidates. The default port itself is the _Defaultport setting.
  std::vector<Text> portList;
  int nextPortIndex = 0;
  int triedPort = 0;

  // The outstanding request and its time-out.
  int pendingCommand = 0;  // 0 when no reply is awaited
  int lastStation = 0;
  int lastCommand = 0;
  Text lastPayload;
  int retryCount = 0;
  ReplyTimerHandle replyTimer = 0;  // 0 when disarmed

  ReceiveBuffer rxBuffer;

  // Transfer.
  bool storeInBox = false;
  int requestedBlock = 0;  // counted from 1; 0 before the first request
};

}  // namespace tramsel
