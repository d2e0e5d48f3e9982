// What the link needs to know of the system's serial ports. The choice of
// port (default port first, CH341 ports only, one at a time) is the link's
// own; the host only answers these two questions.
#pragma once

#include <optional>
#include <vector>

#include "common/text.h"

namespace tramsel {

class PortDirectory {
 public:
  virtual ~PortDirectory() = default;
  // The serial port names ("COM3", ...) in the system's enumeration order;
  // nothing when the system's port list cannot be read.
  virtual std::optional<std::vector<Text>> ListPorts() = 0;
  // Whether the port named "COM%d" with this number is a CH341 USB-serial port.
  virtual bool IsCh341(int number) = 0;
};

}  // namespace tramsel
