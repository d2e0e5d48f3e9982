// The request poller, the connection supervisor, the connect reply, the
// connection check and the station reassignment of a new transmitter.
#include "link/transmitter_link.h"

namespace tramsel {

TransmitterLink::TransmitterLink(const LinkHost& host, MacTable& machines, AppSettings& settings)
    : host_(host), machines_(machines), settings_(settings) {}

void TransmitterLink::StartRequestPoller() {
  host_.timers.SetTimer(kRequestPollTimer, kRequestPollPeriodMs);
}

void TransmitterLink::RequestLinkOperation(int code) { s_.pendingRequest = code; }

void TransmitterLink::OnRequestPollTick() {
  host_.timers.KillTimer(kRequestPollTimer);
  switch (s_.pendingRequest) {
    case ConnectionCheck:
    case FileTransfer:
    case DeleteCurrentCode:
    case ClearAllCode:
    case EnableDownloadKey:
    case DisableDownloadKey:
    case AllowStationMatching:
      s_.superviseActive = true;
      s_.newDevicePrompted = false;
      s_.assigningStation = false;
      s_.connectCountdown = 15;
      currentMachine().status = Undetermined;
      ConnectionStep();
      host_.timers.SetTimer(kSupervisorTimer, kSupervisorPeriodMs);
      s_.currentOperation = s_.pendingRequest;
      s_.pendingRequest = 0;
      break;
    default:
      break;
  }
  host_.timers.SetTimer(kRequestPollTimer, kRequestPollPeriodMs);
}

void TransmitterLink::OnSupervisorTick() {
  host_.timers.KillTimer(kSupervisorTimer);
  // While the new-transmitter question is open its port must stay open.
  if (!s_.assigningStation) ConnectionStep();
  if (s_.connectCountdown > 0) --s_.connectCountdown;
  if (s_.connectCountdown == 0) {
    s_.connectCountdown = -1;
    if (host_.ui.Ask(u"连接超时", u"连接传送器超时,是否继续连接??")) {
      s_.connectCountdown = 30;
    } else {
      s_.superviseActive = false;
      ClosePort();
      host_.ui.SetStatusText(u"消息:\r\n无法连接到传送器");
    }
  }
  if (s_.superviseActive) host_.timers.SetTimer(kSupervisorTimer, kSupervisorPeriodMs);
}

// One attempt to reach the transmitter: opens at most one port per call;
// ports that are not CH341 ports are passed over at once.
void TransmitterLink::ConnectionStep() {
  if (!s_.superviseActive) return;
  if (currentMachine().status == Online) {
    s_.superviseActive = false;
    return;
  }
  if (s_.portList.empty()) {
    EnumeratePorts();
    host_.ui.SetStatusText(u"尚未连接\r\n等待设备连接...");
    return;
  }
  while (s_.nextPortIndex < static_cast<int>(s_.portList.size())) {
    if (host_.serial.PortOpen()) host_.serial.SetPortOpen(false);
    const int number = PortNumber(s_.portList[s_.nextPortIndex]);
    if (IsCh341Port(number)) {
      host_.ui.SetStatusText(u"尚未连接\r\n正在尝试连接");
      s_.triedPort = number;
      if (OpenPort(number) && SendConnect()) {
        ++s_.nextPortIndex;
        return;
      }
    }
    ++s_.nextPortIndex;
  }
  if (EnumeratePorts() != 0) {
    host_.ui.SetStatusText(u"尚未连接\r\n等待设备连接...");
  } else {
    host_.ui.SetStatusText(u"尚未连接\r\n等待设备连接2");
  }
}

bool TransmitterLink::SendConnect() { return SendRequest(currentStation(), CmdConnect, u""); }

void TransmitterLink::OnConnected(std::string_view payload) {
  const int port = host_.serial.CommPort();
  settings_.defaultPort = port;
  const int version = ReadDecimal(payload);
  machines_.forEachOnCurrentStation([&](MacRecord& m) {
    m.portNumber = port;
    m.status = Online;
    m.transmitterVersion = version;
  });
  host_.ui.SetStatusText(u"设备已连接\r\n等待更新数据");
  switch (s_.currentOperation) {
    case ConnectionCheck: SendRequest(currentStation(), CmdPacketCapacity, u""); break;
    case FileTransfer:
      host_.waits.WaitPumping(200);
      SendRequest(currentStation(), CmdPacketCapacity, u"");
      break;
    case DeleteCurrentCode: SendRequest(currentStation(), CmdDeleteCurrent, u"0"); break;
    case ClearAllCode: SendRequest(currentStation(), CmdClearAll, u"1"); break;
    case EnableDownloadKey: SendRequest(currentStation(), CmdDownloadKey, u"1"); break;
    case DisableDownloadKey: SendRequest(currentStation(), CmdDownloadKey, u"0"); break;
    case AllowStationMatching: SendRequest(currentStation(), CmdAllowStationMatching, u"0"); break;
    default: break;
  }
}

void TransmitterLink::OnPacketCapacity(std::string_view payload) {
  currentMachine().packetCapacity = ReadDecimal(payload);
  if (s_.currentOperation == FileTransfer) {
    if (!StartTransfer()) {
      ClosePort();
      s_.currentOperation = 0;
      return;
    }
  } else if (s_.currentOperation != ConnectionCheck) {
    return;
  }
  SendRequest(currentStation(), CmdSelectSubStation, DecimalText(currentMachine().subStation));
  // The answer to 54 is not waited for.
  StepAfterSubStation();
}

void TransmitterLink::StepAfterSubStation() {
  if (s_.currentOperation == ConnectionCheck) {
    host_.ui.SetStatusText(u"链接成功\r\n待机中...");
    ClosePort();
    s_.currentOperation = 0;
  } else if (s_.currentOperation == FileTransfer) {
    SendRequest(currentStation(), CmdPrepareDownload, u"0");
  }
}

void TransmitterLink::OnNewTransmitter() {
  if (s_.newDevicePrompted) return;
  s_.newDevicePrompted = true;
  s_.assigningStation = true;
  const int station = currentStation();
  const Text number = DecimalText(station);
  const Text question = u"发现新传送器,但是该设备与选择机台的主站号: " + number +
                        u" 不相符,是否自动更改新传送器站号为: " + number + u" ?";
  if (host_.ui.Ask(u"发现新设备", question)) {
    if (OpenPort(s_.triedPort)) {
      SendRequest(station, CmdAssignStation, number);
    } else {
      host_.ui.ShowCaptionedMessage(u"发现新设备", u"连接失败,请重试!");
    }
  }
  s_.assigningStation = false;
}

void TransmitterLink::OnStationAssigned() {
  s_.assigningStation = false;
  host_.ui.ShowMessage(u"消息:\r\n主站号修改成功!");
}

}  // namespace tramsel
