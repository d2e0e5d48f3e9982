// Requests to the transmitter and the reply time-out with its resends.
#include "link/transmitter_link.h"

namespace tramsel {

void TransmitterLink::ArmReplyTimer(int ms) { s_.replyTimer = host_.timers.ArmReplyTimer(ms); }

void TransmitterLink::DisarmReplyTimer() {
  if (s_.replyTimer == 0) return;
  const ReplyTimerHandle handle = s_.replyTimer;
  s_.replyTimer = 0;
  host_.timers.DisarmReplyTimer(handle);
}

void TransmitterLink::MarkStation(int status) {
  machines_.forEachOnCurrentStation([status](MacRecord& m) { m.status = status; });
}

bool TransmitterLink::SendRequest(int station, int command, TextView payload) {
  DisarmReplyTimer();
  const std::optional<std::string> frame = BuildRequestFrame(
      static_cast<uint8_t>(station), static_cast<uint8_t>(command), host_.codec.Encode(payload));
  if (!frame) {
    // Nothing longer than one frame can be sent; the operation cannot go on.
    ClosePort();
    host_.ui.ShowMessage(u"错误:\r\n数据包超过994字节,无法发送");
    return false;
  }
  SerialControl& serial = host_.serial;
  if (!serial.PortOpen()) {
    ClosePort();
    host_.waits.Sleep(5);
    currentMachine().status = Offline;
    if (command != CmdConnect) host_.ui.ShowMessage(u"错误:\r\n端口没有开启时试图发送数据");
    return false;
  }
  if (!serial.Output(*frame)) {
    serial.SetInputLen(0);
    serial.SetPortOpen(false);
    // A running supervisor reconnects once the port is back.
    s_.superviseActive = true;
    currentMachine().status = Offline;
    ClosePort();
    host_.waits.Sleep(5);
    if (command != CmdConnect) host_.ui.ShowMessage(u"错误:\r\n正在发送数据时端口意外关闭!!");
    return false;
  }
  s_.lastStation = station;
  s_.lastCommand = command;
  s_.lastPayload = Text(payload);
  if (s_.replyTimer == 0) ArmReplyTimer(kReplyTimeoutMs);
  s_.pendingCommand = command;
  return true;
}

void TransmitterLink::OnReplyTimeout(ReplyTimerHandle handle) {
  // An expiry queued before its timer was disarmed is no longer wanted.
  if (handle == 0 || handle != s_.replyTimer) return;
  DisarmReplyTimer();
  if (s_.currentOperation == 0 && s_.lastCommand != CmdCancelDownload) {
    // The operation was cancelled meanwhile: what goes out from now on is a cancel.
    s_.lastCommand = CmdCancelDownload;
    s_.lastPayload.clear();
  }
  s_.pendingCommand = 0;
  MacRecord& machine = currentMachine();
  if (machine.status == Undetermined || machine.status == Offline) {
    // An unanswered connect request: the supervisor tries the next port.
    MarkStation(Offline);
    return;
  }
  ++s_.retryCount;
  const int limit = s_.lastCommand == CmdBlock ? 10 : 5;
  if (s_.retryCount < limit) {
    SendRequest(s_.lastStation, s_.lastCommand, s_.lastPayload);
    return;
  }
  machine.status = Offline;
  if (s_.assigningStation) {
    s_.assigningStation = false;
    return;
  }
  MarkStation(Offline);
  ClosePort();
  host_.ui.ShowMessage(u"串口发送超时,传送器没有响应.\r\n您要进行的操作可能已失败.");
}

}  // namespace tramsel
