// The system's serial ports: the port names Windows has registered under
// HKLM\Hardware\DeviceMap\SerialComm, and whether a port is a CH341 port,
// as the chip vendor's CH341PT.DLL says or, without that library, as the
// USB hardware id of the port's device says (vendor 1A86).
#pragma once

#include <windows.h>

#include "link/port_directory.h"

namespace tramsel {

class WindowsPortDirectory final : public PortDirectory {
 public:
  // libFolder: the program's "lib" folder, searched for CH341PT.DLL before
  // the system's search path.
  explicit WindowsPortDirectory(Text libFolder) : libFolder_(std::move(libFolder)) {}
  ~WindowsPortDirectory() override;
  WindowsPortDirectory(const WindowsPortDirectory&) = delete;
  WindowsPortDirectory& operator=(const WindowsPortDirectory&) = delete;

  std::optional<std::vector<Text>> ListPorts() override;
  bool IsCh341(int number) override;

 private:
  // The vendor's test: a zero-filled 10-byte narrow buffer holding the port
  // name; non-zero means a CH341 port.
  using NameIsCh341 = BOOL(WINAPI*)(unsigned char* portName);

  // Loads the library the first time it is needed, and only then.
  NameIsCh341 VendorTest();

  Text libFolder_;
  bool libraryTried_ = false;
  HMODULE library_ = nullptr;
  NameIsCh341 nameIsCh341_ = nullptr;
};

}  // namespace tramsel
