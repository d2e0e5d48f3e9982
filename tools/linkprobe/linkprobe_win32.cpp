// Test program for the link's Windows host without the link: drives the
// serial control, the reply timer, WaitPumping and the port directory from
// commands on standard input (one a line) and prints what happens as one
// JSON object a line. The Wine tests play the other end of the port.
//
//   ports                  the port list and each port's CH341 answer
//   open N                 opens COMN with the link's settings (thresholds 4 and 1)
//   write HEX              queues the bytes
//   close
//   arm MS / disarm H      the reply timer; its expiry prints "expired"
//   wait MS                WaitPumping(MS), printing the notifications inside
//   block MS               the user-interface thread sleeps, dispatching nothing
//   counts                 the resolution periods begun and ended
//   quit
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <sstream>
#include <string>
#include <thread>

#include "common/text.h"
#include "link/link_codes.h"
#include "link/link_timers_win32.h"
#include "link/link_waits_win32.h"
#include "link/port_directory_win32.h"
#include "link/serial_control_win32.h"

using namespace tramsel;

namespace {

constexpr UINT kCommandMessage = WM_APP + 10;  // lParam: a std::string* of one command line

using Clock = std::chrono::steady_clock;
const Clock::time_point started = Clock::now();

void Print(const std::string& json) {
  const long long ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started).count();
  std::string line = "{\"t\":" + std::to_string(ms) + "," + json + "}\n";
  DWORD written;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

std::string Hex(std::string_view bytes) {
  std::string out;
  char two[3];
  for (unsigned char c : bytes) {
    std::snprintf(two, sizeof two, "%02x", c);
    out += two;
  }
  return out;
}

std::string FromHex(const std::string& hex) {
  std::string out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return out;
}

struct Probe {
  CMscomm1 serial;
  WindowLinkTimers timers;
  WindowsPortDirectory ports;
  int nesting = 0;  // WaitPumping calls running
  bool echo = false;

  explicit Probe(Text libFolder) : ports(std::move(libFolder)) {}

  void OnComm() {
    const std::string depth = ",\"inWait\":" + std::string(nesting > 0 ? "true" : "false");
    if (serial.CommEvent() == CommEventReceive && echo) {
      serial.Output(serial.Input());
    } else if (serial.CommEvent() == CommEventReceive) {
      Print("\"event\":\"receive\",\"hex\":\"" + Hex(serial.Input()) + "\"" + depth);
    } else if (serial.CommEvent() == CommEventSend) {
      Print("\"event\":\"send\"" + depth);
    }
  }

  bool Command(const std::string& line) {
    std::istringstream in(line);
    std::string verb;
    in >> verb;
    if (verb == "ports") {
      std::string list;
      if (auto names = ports.ListPorts()) {
        for (const Text& name : *names) {
          if (!list.empty()) list += ",";
          list += "{\"name\":\"" + ToUtf8(name) + "\",\"ch341\":" +
                  (ports.IsCh341(ReadDecimal(TextView(name).substr(3))) ? "true" : "false") + "}";
        }
        Print("\"ports\":[" + list + "]");
      } else {
        Print("\"ports\":null");
      }
    } else if (verb == "open") {
      int number = 0;
      in >> number;
      serial.SetCommPort(number);
      serial.SetInputMode(1);
      serial.SetInBufferSize(2048);
      serial.SetOutBufferSize(2048);
      serial.SetSettings("9600,n,8,1");
      serial.SetInputLen(0);
      const bool ok = serial.SetPortOpen(true);
      if (ok) {
        serial.Input();
        serial.SetRThreshold(4);
        serial.SetSThreshold(1);
      }
      Print("\"open\":" + std::to_string(number) + ",\"ok\":" + (ok ? "true" : "false"));
    } else if (verb == "write") {
      std::string hex;
      in >> hex;
      Print(std::string("\"write\":") + (serial.Output(FromHex(hex)) ? "true" : "false"));
    } else if (verb == "close") {
      serial.SetInputLen(0);
      serial.SetPortOpen(false);
      Print(std::string("\"closed\":true,\"portOpen\":") + (serial.PortOpen() ? "true" : "false"));
    } else if (verb == "arm") {
      int ms = 0;
      in >> ms;
      Print("\"armed\":" + std::to_string(timers.ArmReplyTimer(ms)));
    } else if (verb == "disarm") {
      unsigned handle = 0;
      in >> handle;
      timers.DisarmReplyTimer(handle);
      Print("\"disarmed\":" + std::to_string(handle));
    } else if (verb == "wait") {
      int ms = 0;
      in >> ms;
      ++nesting;
      WaitPumping(ms);
      --nesting;
      Print("\"waited\":" + std::to_string(ms));
    } else if (verb == "block") {
      int ms = 0;
      in >> ms;
      Sleep(ms);
      Print("\"blocked\":" + std::to_string(ms));
    } else if (verb == "counts") {
      const auto counts = WindowLinkTimers::Counts();
      Print("\"begun\":" + std::to_string(counts.begun) + ",\"ended\":" + std::to_string(counts.ended));
    } else if (verb == "echo") {
      echo = true;
      Print("\"echo\":true");
    } else if (verb == "quit") {
      return false;
    } else {
      Print("\"unknown\":\"" + verb + "\"");
    }
    return true;
  }
};

Probe* probe = nullptr;

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case kCommandMessage: {
      std::unique_ptr<std::string> line(reinterpret_cast<std::string*>(lParam));
      if (!probe->Command(*line)) PostQuitMessage(0);
      return 0;
    }
    case CMscomm1::kNotifyMessage:
      probe->serial.Deliver(wParam, lParam);
      return 0;
    case WindowLinkTimers::kReplyTimeoutMessage:
      Print("\"expired\":" + std::to_string(wParam));
      return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

// Standard input, one command a line, handed to the window; end of input quits.
void ReadCommands(HWND window) {
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  std::string pending;
  char buffer[512];
  DWORD got;
  while (ReadFile(input, buffer, sizeof buffer, &got, nullptr) && got > 0) {
    pending.append(buffer, got);
    for (size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1)) {
      std::string line = pending.substr(0, end);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (!line.empty()) PostMessageW(window, kCommandMessage, 0, reinterpret_cast<LPARAM>(new std::string(line)));
    }
  }
  PostMessageW(window, kCommandMessage, 0, reinterpret_cast<LPARAM>(new std::string("quit")));
}

Text LibFolder() {
  wchar_t path[MAX_PATH];
  DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, length);
  folder = folder.substr(0, folder.rfind(L'\\')) + L"\\lib";
  return Text(folder.begin(), folder.end());
}

}  // namespace

int wmain() {
  Probe state(LibFolder());
  probe = &state;
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"TramselLinkProbe";
  RegisterClassW(&windowClass);
  HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                windowClass.hInstance, nullptr);
  state.serial.SetOwner(window, [] { probe->OnComm(); });
  state.timers.SetOwner(window);
  std::thread(ReadCommands, window).detach();
  Print("\"ready\":true");
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  state.serial.SetPortOpen(false);
  Print("\"quit\":true");
  return 0;
}
