#include "link/port_directory_win32.h"

#include <initguid.h>
#include <devguid.h>
#include <setupapi.h>

#include <cwctype>
#include <string>

namespace tramsel {

namespace {

constexpr size_t kVendorNameBuffer = 10;

std::wstring Wide(TextView text) { return std::wstring(text.begin(), text.end()); }

std::wstring UpperWide(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towupper(c));
  return text;
}

// The text of a registry string up to its first zero (a value's data need
// not carry its terminator).
std::wstring RegistryText(const BYTE* data, DWORD bytes) {
  const auto* chars = reinterpret_cast<const wchar_t*>(data);
  std::wstring text(chars, bytes / sizeof(wchar_t));
  return text.substr(0, text.find(L'\0'));
}

// Whether a device of the ports class named portName is a USB device of the
// chip's vendor.
bool PortDeviceIsCh341(const std::wstring& portName) {
  HDEVINFO devices = SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
  if (devices == INVALID_HANDLE_VALUE) return false;
  bool found = false;
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof device;
  for (DWORD index = 0; !found && SetupDiEnumDeviceInfo(devices, index, &device); ++index) {
    HKEY key = SetupDiOpenDevRegKey(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_QUERY_VALUE);
    if (key == INVALID_HANDLE_VALUE) continue;
    BYTE name[256];
    DWORD nameBytes = sizeof name;
    const bool named = RegQueryValueExW(key, L"PortName", nullptr, nullptr, name, &nameBytes) == ERROR_SUCCESS &&
                       UpperWide(RegistryText(name, nameBytes)) == UpperWide(portName);
    RegCloseKey(key);
    if (!named) continue;
    wchar_t ids[1024] = {};
    if (!SetupDiGetDeviceRegistryPropertyW(devices, &device, SPDRP_HARDWAREID, nullptr,
                                           reinterpret_cast<BYTE*>(ids), sizeof ids - sizeof(wchar_t) * 2,
                                           nullptr)) {
      continue;
    }
    // A list of strings, each ended by a zero, the list by another.
    for (const wchar_t* id = ids; *id && !found; id += std::wcslen(id) + 1) {
      found = UpperWide(id).rfind(L"USB\\VID_1A86&", 0) == 0;
    }
  }
  SetupDiDestroyDeviceInfoList(devices);
  return found;
}

}  // namespace

WindowsPortDirectory::~WindowsPortDirectory() {
  if (library_) FreeLibrary(library_);
}

std::optional<std::vector<Text>> WindowsPortDirectory::ListPorts() {
  HKEY key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Hardware\\DeviceMap\\SerialComm", 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  std::vector<Text> names;
  for (DWORD index = 0;; ++index) {
    wchar_t valueName[256];
    DWORD valueNameLength = 256;
    BYTE data[256];
    DWORD dataBytes = sizeof data;
    const LONG result = RegEnumValueW(key, index, valueName, &valueNameLength, nullptr, nullptr, data, &dataBytes);
    if (result == ERROR_NO_MORE_ITEMS) break;
    // A value too long for the buffers names no port the link could open.
    if (result == ERROR_MORE_DATA) continue;
    if (result != ERROR_SUCCESS) break;
    const std::wstring name = RegistryText(data, dataBytes);
    names.emplace_back(name.begin(), name.end());
  }
  RegCloseKey(key);
  return names;
}

WindowsPortDirectory::NameIsCh341 WindowsPortDirectory::VendorTest() {
  if (!libraryTried_) {
    libraryTried_ = true;
    const std::wstring inLib = Wide(libFolder_) + L"\\CH341PT.DLL";
    library_ = LoadLibraryExW(inLib.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!library_) library_ = LoadLibraryW(L"CH341PT.DLL");
    if (library_) {
      nameIsCh341_ = reinterpret_cast<NameIsCh341>(
          reinterpret_cast<void*>(GetProcAddress(library_, "CH341PtNameIsCH341")));
    }
  }
  return nameIsCh341_;
}

bool WindowsPortDirectory::IsCh341(int number) {
  const std::wstring name = L"COM" + std::to_wstring(number);
  // The vendor's buffer holds 9 characters and a zero; no port has a longer name.
  if (name.size() >= kVendorNameBuffer) return false;
  if (NameIsCh341 test = VendorTest()) {
    unsigned char buffer[kVendorNameBuffer] = {};
    for (size_t i = 0; i < name.size(); ++i) buffer[i] = static_cast<unsigned char>(name[i] & 0xFF);
    return test(buffer) != 0;
  }
  return PortDeviceIsCh341(name);
}

}  // namespace tramsel
