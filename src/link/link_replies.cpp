// Serial notifications, frames from the transmitter and their dispatch.
#include <algorithm>
#include <cstdio>

#include "link/transmitter_link.h"

namespace tramsel {

namespace {

constexpr int kMinBusyMs = 1;
constexpr int kMaxBusyMs = 60000;

}  // namespace

void TransmitterLink::OnCommEvent() {
  SerialControl& serial = host_.serial;
  if (serial.CommEvent() == CommEventReceive) {
    if (serial.PortOpen()) {
      ReceiveFrame();
    } else {
      host_.ui.ShowMessage(u"错误:\r\n接受事件时检测到端口关闭");
    }
  }
  if (serial.CommEvent() == CommEventSend && s_.replyTimer == 0) ArmReplyTimer(kReplyTimeoutMs);
}

void TransmitterLink::ReceiveFrame() {
  s_.rxBuffer.Append(host_.serial.Input());
  // Handlers may wait and so read further frames themselves; each frame is
  // taken out of the buffer before it is handled.
  while (std::optional<std::string> frame = s_.rxBuffer.NextFrame()) {
    const size_t length = frame->size() - 1;
    (*frame)[length - 1] = '\0';  // the checksum ends the payload text
    DispatchReply(*frame, length);
  }
}

void TransmitterLink::DispatchReply(std::string_view frame, size_t length) {
  const int code = static_cast<uint8_t>(frame[2]);
  const std::string payload(frame.substr(3, length - 4));
  if (code == s_.pendingCommand) {
    s_.retryCount = 0;
    DisarmReplyTimer();
    s_.pendingCommand = 0;
    HandleMatchedReply(code, payload);
  } else {
    HandleTransmitterFrame(code, payload);
  }
}

void TransmitterLink::HandleMatchedReply(int code, std::string_view payload) {
  switch (code) {
    case CmdConnect: OnConnected(payload); break;
    case CmdPrepareDownload: OnDownloadPrepared(); break;
    case CmdFirstBlock: OnFirstBlockWanted(payload); break;
    case CmdBlock: OnBlockTaken(payload); break;
    case CmdCancelDownload: OnDownloadCancelled(); break;
    case CmdLineSettings: OnLineSettingsTaken(); break;
    case CmdStartDirect: OnDownloadStarted(); break;
    case CmdPacketCapacity: OnPacketCapacity(payload); break;
    case CmdSelectSubStation: StepAfterSubStation(); break;
    case CmdDownloadKey: OnDownloadKeyState(payload); break;
    case CmdDeleteCurrent:
    case CmdClearAll: OnCodeDeleted(); break;
    case CmdAssignStation: OnStationAssigned(); break;
    case CmdAllowStationMatching: OnStationMatchingAllowed(); break;
    case CmdEndOfData: OnEndOfDataTaken(); break;
    default: break;
  }
}

void TransmitterLink::HandleTransmitterFrame(int code, std::string_view payload) {
  switch (code) {
    case TxBusy: OnBusy(ReadDecimal(payload)); break;
    case TxRepeat: OnRepeat(); break;
    case TxCancelled: OnTransmitterCancelled(payload); break;
    case TxDelivered: OnDelivered(); break;
    case TxNewTransmitter: OnNewTransmitter(); break;
    case TxDump: {
      Text dump;
      for (char byte : payload) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02x ", static_cast<uint8_t>(byte));
        dump.append(hex, hex + 3);
      }
      host_.ui.ShowMessage(dump);
      break;
    }
    case TxDiagnosticText: host_.ui.ShowMessage(host_.codec.Decode(UpToFirstZero(payload))); break;
    default: break;  // an answer to a request given up or replaced
  }
}

void TransmitterLink::OnBusy(int ms) {
  // The request stays outstanding and is resent when this time passes unanswered.
  s_.retryCount = 0;
  DisarmReplyTimer();
  ArmReplyTimer(std::clamp(ms, kMinBusyMs, kMaxBusyMs));
}

void TransmitterLink::OnRepeat() {
  if (s_.currentOperation == 0) {
    SendRequest(currentStation(), CmdCancelDownload, u"");
  } else if (s_.lastCommand != 0) {
    s_.retryCount = 0;
    SendRequest(s_.lastStation, s_.lastCommand, s_.lastPayload);
  }
}

}  // namespace tramsel
