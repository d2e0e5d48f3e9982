// Port discovery, opening and closing.
#include "link/transmitter_link.h"

namespace tramsel {

int PortNumber(TextView portName) {
  return ReadDecimal(portName.size() > 3 ? portName.substr(3) : portName);
}

// 0: the system's port list cannot be read; 1: the default port is among the
// ports found and comes first; 2: it is not.
int TransmitterLink::EnumeratePorts() {
  s_.portList.clear();
  s_.nextPortIndex = 0;
  std::optional<std::vector<Text>> names = host_.ports.ListPorts();
  if (!names) return 0;
  bool defaultFound = false;
  for (Text& name : *names) {
    if (PortNumber(name) == settings_.defaultPort) {
      s_.portList.insert(s_.portList.begin(), std::move(name));
      defaultFound = true;
    } else {
      s_.portList.push_back(std::move(name));
    }
  }
  return defaultFound ? 1 : 2;
}

bool TransmitterLink::IsCh341Port(int number) { return host_.ports.IsCh341(number); }

bool TransmitterLink::OpenPort(int number) {
  ClosePort();
  if (number < 1 || number > kMaxPortNumber) {
    host_.ui.ShowMessage(number == 0 ? u"先选择串口号哦" : u"串口号超出程序支持，请修改串口号再试");
    return false;
  }
  SerialControl& serial = host_.serial;
  serial.SetCommPort(number);
  serial.SetInputMode(1);
  serial.SetInBufferSize(2048);
  serial.SetOutBufferSize(2048);
  serial.SetSettings("9600,n,8,1");
  serial.SetInputLen(0);
  if (!serial.SetPortOpen(true)) {
    ClosePort();
    return false;
  }
  // Bytes that arrived before the port was ours belong to nobody.
  serial.Input();
  s_.rxBuffer.Clear();
  // Notified of every byte, not only of four or more: the last bytes of a
  // frame may come fewer than four at a time, and the receive buffer joins
  // them to the rest.
  serial.SetRThreshold(1);
  serial.SetSThreshold(1);
  return true;
}

void TransmitterLink::ClosePort() {
  DisarmReplyTimer();
  if (host_.serial.PortOpen()) {
    host_.serial.SetInputLen(0);
    host_.serial.SetPortOpen(false);
  }
}

}  // namespace tramsel
