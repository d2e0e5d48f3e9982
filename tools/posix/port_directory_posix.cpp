#include "posix/port_directory_posix.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace tramsel {

namespace {

constexpr const char* kCh341Vendor = "1a86";

// "ttyUSB10" as ("ttyUSB", 10), so that numbers sort as numbers.
std::pair<std::string, long> NaturalKey(const std::string& name) {
  size_t digits = name.size();
  while (digits > 0 && name[digits - 1] >= '0' && name[digits - 1] <= '9') --digits;
  const std::string number = name.substr(digits);
  return {name.substr(0, digits), number.empty() ? -1 : std::stol(number)};
}

}  // namespace

std::vector<std::string> FindCh341Ttys(const std::string& sysRoot) {
  namespace fs = std::filesystem;
  std::vector<std::string> found;
  std::error_code error;
  const fs::path root = fs::weakly_canonical(sysRoot, error);
  for (const fs::directory_entry& entry : fs::directory_iterator(fs::path(sysRoot) / "class" / "tty", error)) {
    // The tty's device, then its parents up to the USB device that carries
    // the vendor id.
    fs::path device = fs::canonical(entry.path() / "device", error);
    if (error) {
      error.clear();
      continue;
    }
    for (; !device.empty() && device != root && device != device.parent_path(); device = device.parent_path()) {
      std::ifstream vendor(device / "idVendor");
      std::string id;
      if (vendor >> id) {
        if (id == kCh341Vendor) found.push_back(entry.path().filename().string());
        break;
      }
    }
  }
  std::sort(found.begin(), found.end(),
            [](const std::string& a, const std::string& b) { return NaturalKey(a) < NaturalKey(b); });
  return found;
}

PosixPortDirectory PosixPortDirectory::Fixed(std::string device) {
  PosixPortDirectory ports;
  ports.devices_.push_back(std::move(device));
  return ports;
}

PosixPortDirectory PosixPortDirectory::Ch341Adapters(std::string sysRoot, std::string devRoot) {
  PosixPortDirectory ports;
  ports.scan_ = true;
  ports.sysRoot_ = std::move(sysRoot);
  ports.devRoot_ = std::move(devRoot);
  return ports;
}

std::optional<std::vector<Text>> PosixPortDirectory::ListPorts() {
  if (scan_) {
    devices_.clear();
    for (const std::string& tty : FindCh341Ttys(sysRoot_)) devices_.push_back(devRoot_ + "/" + tty);
  }
  std::vector<Text> names;
  for (size_t n = 1; n <= devices_.size(); ++n) names.push_back(u"COM" + DecimalText(static_cast<long long>(n)));
  return names;
}

// Every port listed is a CH341 port: only those are listed (or the one the
// operator named).
bool PosixPortDirectory::IsCh341(int number) {
  return number >= 1 && static_cast<size_t>(number) <= devices_.size();
}

std::string PosixPortDirectory::DevicePath(int number) const {
  if (number < 1 || static_cast<size_t>(number) > devices_.size()) return {};
  return devices_[number - 1];
}

}  // namespace tramsel
