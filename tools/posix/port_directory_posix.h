// The serial ports of the Linux command line, as the link's port directory:
// either the one device the operator named, or the CH341 adapters found
// under /sys (USB vendor 1a86). Ports are numbered 1, 2, ... in the order
// found and named "COM1", "COM2", ..., so that the link's port numbers and
// its range check work as on Windows.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "common/text.h"
#include "link/port_directory.h"

namespace tramsel {

class PosixPortDirectory final : public PortDirectory {
 public:
  // The named device alone, as port 1; it is taken to be the transmitter's
  // adapter, whatever it is.
  static PosixPortDirectory Fixed(std::string device);
  // The CH341 adapters of the system, looked up afresh at every listing.
  // sysRoot and devRoot are "/sys" and "/dev" but for tests.
  static PosixPortDirectory Ch341Adapters(std::string sysRoot = "/sys", std::string devRoot = "/dev");

  std::optional<std::vector<Text>> ListPorts() override;
  bool IsCh341(int number) override;

  // The device of port `number`; empty for a number that is no port.
  std::string DevicePath(int number) const;

 private:
  PosixPortDirectory() = default;

  bool scan_ = false;
  std::string sysRoot_, devRoot_;
  std::vector<std::string> devices_;  // port n is devices_[n - 1]
};

// The tty names (ttyUSB0, ...) of the USB-serial adapters of vendor 1a86
// under sysRoot, in natural order (ttyUSB2 before ttyUSB10).
std::vector<std::string> FindCh341Ttys(const std::string& sysRoot);

}  // namespace tramsel
