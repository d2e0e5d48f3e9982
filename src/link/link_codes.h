// The numbers of the link: operations the user interface asks for, request
// and reply codes on the wire, the serial control's events, the main-window
// timers and the main window's event codes.
#pragma once

namespace tramsel {

// What the user interface asks the link to do; 0 means nothing. 7 is never asked for.
enum LinkRequest : int {
  NoLinkRequest = 0,
  ConnectionCheck = 1,
  FileTransfer = 2,
  DeleteCurrentCode = 3,
  ClearAllCode = 4,
  EnableDownloadKey = 5,
  DisableDownloadKey = 6,
  AllowStationMatching = 8,
};

// Request commands, host to transmitter. A reply to a request carries the
// request's code.
enum LinkCommand : int {
  CmdConnect = 1,
  CmdPrepareDownload = 9,        // "0"
  CmdFirstBlock = 10,            // empty
  CmdBlock = 25,                 // one block of the image
  CmdCancelDownload = 26,        // empty
  CmdLineSettings = 42,          // "%d@%d@%d@%d"
  CmdStartDirect = 44,           // "%d" download mode
  CmdPacketCapacity = 53,        // empty
  CmdSelectSubStation = 54,      // "%d"
  CmdDownloadKey = 56,           // "1" enable, "0" disable
  CmdDeleteCurrent = 62,         // "0"
  CmdClearAll = 63,              // "1"
  CmdAssignStation = 240,        // "%d"
  CmdAllowStationMatching = 243, // "0"
  CmdEndOfData = 254,            // line-count report
};

// Frames the transmitter sends of its own accord.
enum TransmitterCode : int {
  TxBusy = 21,             // payload: milliseconds to wait before resending
  TxRepeat = 22,           // send the last request again
  TxCancelled = 55,        // payload: reason code
  TxDelivered = 59,        // the code has reached the machine
  TxNewTransmitter = 241,  // a transmitter whose station does not match answered
  TxDump = 251,            // diagnostic bytes
  TxDiagnosticText = 252,  // diagnostic text
};

// Values of the serial control's CommEvent property that the link handles.
enum CommEventCode : int {
  CommEventSend = 1,     // the output buffer has drained
  CommEventReceive = 2,  // at least RThreshold bytes are waiting
};

// Main-window timers of the link. Their handlers kill them on entry and set
// them again on leaving, so a handler never overlaps itself.
inline constexpr int kSupervisorTimer = 2;
inline constexpr int kSupervisorPeriodMs = 500;
inline constexpr int kRequestPollTimer = 6;
inline constexpr int kRequestPollPeriodMs = 300;

// wParam codes of the main window's event message (WM_USER + 101) that
// concern the link. EVENT_SEND_READY goes with lParam 1, EVENT_SEND_CANCEL
// with lParam 51.
inline constexpr int EVENT_SEND_READY = 2;
inline constexpr int EVENT_SEND_CANCEL = 51;

}  // namespace tramsel
