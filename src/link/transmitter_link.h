// The transmitter link: finds the transmitter on a CH341 serial port,
// connects to the current machine's master station and carries out the
// operation the user interface asked for (connection check, file transfer,
// management commands), one request per reply.
//
// Everything runs on the user-interface thread. The host owns one
// TransmitterLink and calls its entry points (below) from its message loop:
//   timer 2           -> OnSupervisorTick()
//   timer 6           -> OnRequestPollTick()
//   reply time-out    -> OnReplyTimeout(handle)
//   serial notify     -> OnCommEvent()
//   EVENT_SEND_READY  -> OnSendReadyEvent()
//   EVENT_SEND_CANCEL -> OnSendCancelEvent()
// Message boxes and WaitPumping inside these entry points dispatch further
// messages, so the entry points are re-entered; the link is written for that.
#pragma once

#include <string_view>

#include "common/operator_ui.h"
#include "common/text.h"
#include "common/text_codec.h"
#include "config/app_settings.h"
#include "config/mac_table.h"
#include "link/link_codes.h"
#include "link/link_session.h"
#include "link/link_timers.h"
#include "link/link_waits.h"
#include "link/port_directory.h"
#include "link/send_progress.h"
#include "link/serial_control.h"
#include "link/transfer_document.h"

namespace tramsel {

// Everything the link talks to, provided by its host.
struct LinkHost {
  SerialControl& serial;
  PortDirectory& ports;
  LinkTimers& timers;
  LinkWaits& waits;
  OperatorUi& ui;
  TransferWindows& windows;
  TransferDocument& document;
  const TextCodec& codec;  // payload text <-> the ANSI code page
};

// The port number of a port name: the name without its first three
// characters ("COM"), read as a decimal number; a name of three characters
// or fewer is read whole.
int PortNumber(TextView portName);

class TransmitterLink {
 public:
  static constexpr int kReplyTimeoutMs = 700;
  static constexpr int kMaxPortNumber = 16;

  TransmitterLink(const LinkHost& host, MacTable& machines, AppSettings& settings);

  const LinkSession& session() const { return s_; }

  // --- What the user interface calls ---

  // Sets timer 6; the last step of the main window's initialisation.
  void StartRequestPoller();
  // Records the request; the poller starts it within 300 ms.
  void RequestLinkOperation(int code);
  // Buttons 1001 (direct) and 1002 (storing in the box), the linked folder's
  // automatic send (direct) and the machine selection dialog.
  void RequestTransfer(bool storing);
  // A new choice in the machine selector clears it before requesting the
  // connection check, so that the next transfer goes direct.
  void SetStoreInBox(bool storing) { s_.storeInBox = storing; }
  // The configuration was reloaded: the port search starts at the first port.
  void ResetPortSearch() { s_.nextPortIndex = 0; }

  // --- What the host's message loop calls ---

  void OnRequestPollTick();
  void OnSupervisorTick();
  void OnReplyTimeout(ReplyTimerHandle handle);
  void OnCommEvent();
  // Main-window event 2: opens the progress dialog if the machine is online.
  void OnSendReadyEvent();
  // Main-window event 51: the operator cancelled in the progress dialog.
  void OnSendCancelEvent();

 private:
  MacRecord& currentMachine() { return machines_.currentMachine(); }
  int currentStation() { return currentMachine().masterStation; }
  void MarkStation(int status);

  // Ports.
  int EnumeratePorts();
  bool IsCh341Port(int number);
  bool OpenPort(int number);
  void ClosePort();

  // Sending and the reply time-out.
  bool SendRequest(int station, int command, TextView payload);
  void ArmReplyTimer(int ms);
  void DisarmReplyTimer();

  // Receiving.
  void ReceiveFrame();
  void DispatchReply(std::string_view frame, size_t length);
  void HandleMatchedReply(int code, std::string_view payload);
  void HandleTransmitterFrame(int code, std::string_view payload);
  void OnBusy(int ms);
  void OnRepeat();

  // Supervisor.
  void ConnectionStep();
  bool SendConnect();
  void OnConnected(std::string_view payload);
  void OnPacketCapacity(std::string_view payload);
  void StepAfterSubStation();
  void OnNewTransmitter();
  void OnStationAssigned();

  // Transfer.
  bool StartTransfer();
  void OnDownloadPrepared();
  void OnLineSettingsTaken();
  void OnDownloadStarted();
  void OnFirstBlockWanted(std::string_view payload);
  void OnBlockTaken(std::string_view payload);
  void SendBlock(int number);
  void OnEndOfDataTaken();
  void OnDownloadCancelled();
  void OnTransmitterCancelled(std::string_view payload);
  void OnDelivered();
  void EndProgressDialogIfVisible();

  // Management.
  void OnCodeDeleted();
  void OnDownloadKeyState(std::string_view payload);
  void OnStationMatchingAllowed();

  LinkHost host_;
  MacTable& machines_;
  AppSettings& settings_;
  LinkSession s_;
};

}  // namespace tramsel
