// Test stand-in for the CH341 vendor library CH341PT.DLL: a port is a CH341
// port when its name is listed in the environment variable
// TRAMSEL_CH341_PORTS ("COM5" or "COM5,COM7"; letters in any case).
#include <windows.h>

#include <cctype>
#include <string>

namespace {

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

extern "C" __declspec(dllexport) BOOL WINAPI CH341PtNameIsCH341(unsigned char* portName) {
  char listed[1024];
  const DWORD length = GetEnvironmentVariableA("TRAMSEL_CH341_PORTS", listed, sizeof listed);
  if (length == 0 || length >= sizeof listed) return FALSE;
  // The caller's buffer is 10 bytes, zero-filled after the name.
  const std::string name = Upper(std::string(reinterpret_cast<char*>(portName), strnlen(reinterpret_cast<char*>(portName), 10)));
  const std::string list = Upper(std::string(listed, length)) + ",";
  for (size_t start = 0, comma; (comma = list.find(',', start)) != std::string::npos; start = comma + 1) {
    if (list.compare(start, comma - start, name) == 0 && !name.empty()) return TRUE;
  }
  return FALSE;
}
