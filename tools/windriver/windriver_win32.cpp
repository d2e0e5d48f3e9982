// Test driver for the program's windows under Wine: finds windows by caption,
// reads and clicks controls, sends WM_COPYDATA, reads and dismisses message
// boxes, and can itself play a running instance. Prints one JSON object per
// line, UTF-8.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/text.h"

using tramsel::Text;
using tramsel::ToUtf8;

namespace {

void Print(const std::string& line) {
  std::string out = line + "\n";
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), out.data(), static_cast<DWORD>(out.size()), &written, nullptr);
}

Text FromWide(const wchar_t* text, size_t length) {
  return Text(reinterpret_cast<const char16_t*>(text), length);
}
Text FromWide(const std::wstring& text) { return FromWide(text.c_str(), text.size()); }

std::string Json(const Text& text) {
  std::string utf8 = ToUtf8(text), out = "\"";
  for (unsigned char c : utf8) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char escaped[8];
          snprintf(escaped, sizeof escaped, "\\u%04x", c);
          out += escaped;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}
std::string Json(const std::wstring& text) { return Json(FromWide(text)); }
std::string Json(bool value) { return value ? "true" : "false"; }

std::wstring WindowText(HWND window) {
  wchar_t buffer[65536];
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, sizeof buffer / sizeof buffer[0],
                           reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG, 5000, &length)) {
    return {};
  }
  return std::wstring(buffer, length);
}

std::wstring ClassName(HWND window) {
  wchar_t name[256];
  int length = GetClassNameW(window, name, 256);
  return std::wstring(name, length > 0 ? length : 0);
}

struct Search {
  std::wstring caption;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectByCaption(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<Search*>(param);
  wchar_t caption[1024];
  int length = GetWindowTextW(window, caption, 1024);
  if (std::wstring(caption, length) == search->caption) search->found.push_back(window);
  return TRUE;
}

HWND FindByCaption(const std::wstring& caption) {
  Search search{caption, {}};
  EnumWindows(CollectByCaption, reinterpret_cast<LPARAM>(&search));
  return search.found.empty() ? nullptr : search.found.front();
}

HWND WaitForCaption(const std::wstring& caption, int timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    if (HWND window = FindByCaption(caption)) return window;
    if (static_cast<int>(GetTickCount() - start) >= timeoutMs) return nullptr;
    Sleep(50);
  }
}

std::string WindowState(HWND window) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  RECT rect{};
  GetWindowRect(window, &rect);
  char geometry[128];
  snprintf(geometry, sizeof geometry, "\"rect\":[%ld,%ld,%ld,%ld]", rect.left, rect.top, rect.right,
           rect.bottom);
  return std::string("{\"found\":true,\"visible\":") + Json(IsWindowVisible(window) != FALSE) +
         ",\"iconic\":" + Json(IsIconic(window) != FALSE) +
         ",\"foreground\":" + Json(GetForegroundWindow() == window) + ",\"class\":" + Json(ClassName(window)) +
         ",\"pid\":" + std::to_string(pid) + "," + geometry + "}";
}

// Message boxes: top-level dialogs of class #32770 holding a static text and
// push buttons.
struct BoxList {
  std::vector<HWND> boxes;
};

BOOL CALLBACK CollectBoxes(HWND window, LPARAM param) {
  if (IsWindowVisible(window) && ClassName(window) == L"#32770") {
    reinterpret_cast<BoxList*>(param)->boxes.push_back(window);
  }
  return TRUE;
}

std::string DescribeBox(HWND box) {
  std::wstring text;
  std::string buttons;
  for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    std::wstring kind = ClassName(child);
    if (_wcsicmp(kind.c_str(), L"Static") == 0) {
      std::wstring part = WindowText(child);
      if (!part.empty()) text += part;
    } else if (_wcsicmp(kind.c_str(), L"Button") == 0 && IsWindowVisible(child)) {
      if (!buttons.empty()) buttons += ",";
      buttons += "{\"id\":" + std::to_string(GetDlgCtrlID(child)) + ",\"text\":" + Json(WindowText(child)) + "}";
    }
  }
  wchar_t caption[1024];
  int length = GetWindowTextW(box, caption, 1024);
  char handle[32];
  snprintf(handle, sizeof handle, "%llu", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(box)));
  return "{\"box\":" + std::string(handle) + ",\"caption\":" + Json(std::wstring(caption, length)) +
         ",\"text\":" + Json(text) + ",\"buttons\":[" + buttons + "]}";
}

// Boxes other than the program's own dialogs: those with a caption in
// `skip` are left out.
std::vector<HWND> MessageBoxes(const std::vector<std::wstring>& skip) {
  BoxList list;
  EnumWindows(CollectBoxes, reinterpret_cast<LPARAM>(&list));
  std::vector<HWND> boxes;
  for (HWND box : list.boxes) {
    wchar_t caption[1024];
    int length = GetWindowTextW(box, caption, 1024);
    bool skipped = false;
    for (const auto& s : skip) skipped = skipped || std::wstring(caption, length) == s;
    if (!skipped) boxes.push_back(box);
  }
  return boxes;
}

int ToInt(const std::wstring& text) { return static_cast<int>(wcstol(text.c_str(), nullptr, 0)); }

// --- the first instance played by the driver ---

HANDLE gLog = INVALID_HANDLE_VALUE;

void Log(HWND window, const std::string& event) {
  std::string line = "{" + event + ",\"visible\":" + Json(IsWindowVisible(window) != FALSE) +
                     ",\"iconic\":" + Json(IsIconic(window) != FALSE) + "}\n";
  DWORD written = 0;
  WriteFile(gLog, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  FlushFileBuffers(gLog);
}

LRESULT CALLBACK FakeInstanceProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COPYDATA: {
      auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
      std::string hex;
      const auto* bytes = static_cast<const unsigned char*>(data->lpData);
      for (DWORD i = 0; bytes && i < data->cbData; ++i) {
        char pair[3];
        snprintf(pair, sizeof pair, "%02x", bytes[i]);
        hex += pair;
      }
      Log(window, "\"event\":\"copydata\",\"wparam\":" + std::to_string(wParam) +
                      ",\"dwData\":" + std::to_string(data->dwData) + ",\"cbData\":" +
                      std::to_string(data->cbData) + ",\"null\":" + Json(data->lpData == nullptr) +
                      ",\"hex\":\"" + hex + "\"");
      return 0;
    }
    case WM_SHOWWINDOW:
      Log(window, "\"event\":\"showwindow\",\"show\":" + Json(wParam != 0));
      break;
    case WM_SIZE:
      Log(window, "\"event\":\"size\",\"kind\":" + std::to_string(wParam));
      break;
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE) Log(window, "\"event\":\"activate\"");
      break;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

int FakeInstance(const std::wstring& caption, const std::wstring& logPath, const std::wstring& mode) {
  gLog = CreateFileW(logPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (gLog == INVALID_HANDLE_VALUE) return 2;
  WNDCLASSW cls{};
  cls.lpfnWndProc = FakeInstanceProc;
  cls.hInstance = GetModuleHandleW(nullptr);
  cls.lpszClassName = L"TramselFakeInstance";
  RegisterClassW(&cls);
  HWND window = CreateWindowW(cls.lpszClassName, caption.c_str(), WS_OVERLAPPEDWINDOW, 50, 50, 300, 200,
                              nullptr, nullptr, cls.hInstance, nullptr);
  ShowWindow(window, mode == L"--minimized" ? SW_SHOWMINIMIZED : mode == L"--hidden" ? SW_HIDE : SW_SHOW);
  Log(window, "\"event\":\"ready\"");
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  CloseHandle(gLog);
  return 0;
}

int Usage() {
  Print("{\"error\":\"usage: windriver find|gone|state|text|settext|click|post|close|copydata|boxes|"
        "wait-box|press-box|fake-instance ...\"}");
  return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return Usage();
  const std::wstring verb = argv[1];
  std::vector<std::wstring> args(argv + 2, argv + argc);
  // --timeout MS anywhere in the arguments.
  int timeoutMs = 10000;
  for (size_t i = 0; i + 1 < args.size(); ++i) {
    if (args[i] == L"--timeout") {
      timeoutMs = ToInt(args[i + 1]);
      args.erase(args.begin() + i, args.begin() + i + 2);
      break;
    }
  }
  // --skip CAPTION (repeatable): dialogs of the program that are not message boxes.
  std::vector<std::wstring> skip;
  for (size_t i = 0; i + 1 < args.size();) {
    if (args[i] == L"--skip") {
      skip.push_back(args[i + 1]);
      args.erase(args.begin() + i, args.begin() + i + 2);
    } else {
      ++i;
    }
  }

  if (verb == L"fake-instance" && args.size() >= 2) {
    return FakeInstance(args[0], args[1], args.size() > 2 ? args[2] : L"");
  }
  if (verb == L"boxes") {
    for (HWND box : MessageBoxes(skip)) Print(DescribeBox(box));
    return 0;
  }
  if (verb == L"wait-box") {
    DWORD start = GetTickCount();
    for (;;) {
      auto boxes = MessageBoxes(skip);
      for (HWND box : boxes) {
        if (args.empty() || FindByCaption(args[0]) == box || WindowText(box) == args[0]) {
          Print(DescribeBox(box));
          return 0;
        }
      }
      if (static_cast<int>(GetTickCount() - start) >= timeoutMs) {
        Print("{\"box\":null}");
        return 1;
      }
      Sleep(50);
    }
  }
  if (verb == L"press-box" && args.size() >= 2) {
    // press-box BOX_HANDLE BUTTON_ID
    HWND box = reinterpret_cast<HWND>(static_cast<UINT_PTR>(_wcstoui64(args[0].c_str(), nullptr, 10)));
    if (!IsWindow(box)) {
      Print("{\"pressed\":false}");
      return 1;
    }
    int id = ToInt(args[1]);
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, id)));
    Print("{\"pressed\":true}");
    return 0;
  }

  if (args.empty()) return Usage();
  if (verb == L"gone") {
    DWORD start = GetTickCount();
    while (FindByCaption(args[0])) {
      if (static_cast<int>(GetTickCount() - start) >= timeoutMs) {
        Print("{\"gone\":false}");
        return 1;
      }
      Sleep(50);
    }
    Print("{\"gone\":true}");
    return 0;
  }
  HWND window = verb == L"state" ? FindByCaption(args[0]) : WaitForCaption(args[0], timeoutMs);
  if (!window) {
    Print("{\"found\":false}");
    return 1;
  }
  if (verb == L"find" || verb == L"state") {
    Print(WindowState(window));
    return 0;
  }
  if (verb == L"close") {
    PostMessageW(window, WM_CLOSE, 0, 0);
    Print("{\"closed\":true}");
    return 0;
  }
  if (verb == L"text" && args.size() >= 2) {
    HWND control = GetDlgItem(window, ToInt(args[1]));
    if (!control) {
      Print("{\"control\":null}");
      return 1;
    }
    Print("{\"text\":" + Json(WindowText(control)) + ",\"visible\":" + Json(IsWindowVisible(control) != FALSE) +
          ",\"enabled\":" + Json(IsWindowEnabled(control) != FALSE) + ",\"class\":" + Json(ClassName(control)) + "}");
    return 0;
  }
  if (verb == L"settext" && args.size() >= 3) {
    HWND control = GetDlgItem(window, ToInt(args[1]));
    DWORD_PTR result = 0;
    SendMessageTimeoutW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(args[2].c_str()), SMTO_ABORTIFHUNG,
                        5000, &result);
    Print("{\"set\":true}");
    return 0;
  }
  if (verb == L"click" && args.size() >= 2) {
    int id = ToInt(args[1]);
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(window, id)));
    Print("{\"clicked\":true}");
    return 0;
  }
  if (verb == L"post-control" && args.size() >= 5) {
    // post-control CAPTION ID MESSAGE WPARAM LPARAM: to a child control.
    PostMessageW(GetDlgItem(window, ToInt(args[1])), ToInt(args[2]), ToInt(args[3]), ToInt(args[4]));
    Print("{\"posted\":true}");
    return 0;
  }
  if (verb == L"watch" && args.size() >= 2) {
    // watch CAPTION ID [--until TEXT]: prints every new text of the control
    // until it shows TEXT or the time-out passes.
    HWND control = GetDlgItem(window, ToInt(args[1]));
    std::wstring until = args.size() >= 4 && args[2] == L"--until" ? args[3] : L"";
    std::wstring last;
    bool first = true;
    DWORD start = GetTickCount();
    while (static_cast<int>(GetTickCount() - start) < timeoutMs && IsWindow(control)) {
      std::wstring now = WindowText(control);
      if (first || now != last) {
        Print("{\"t\":" + std::to_string(GetTickCount() - start) + ",\"text\":" + Json(now) + "}");
        last = now;
        first = false;
        if (!until.empty() && now == until) return 0;
      }
      Sleep(10);
    }
    return until.empty() ? 0 : 1;
  }
  if (verb == L"selection" && args.size() >= 2) {
    DWORD_PTR packed = 0;
    SendMessageTimeoutW(GetDlgItem(window, ToInt(args[1])), EM_GETSEL, 0, 0, SMTO_ABORTIFHUNG, 5000, &packed);
    Print("{\"start\":" + std::to_string(LOWORD(packed)) + ",\"end\":" + std::to_string(HIWORD(packed)) + "}");
    return 0;
  }
  if (verb == L"children") {
    // Every child window: id, class, text, visibility.
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
      Print("{\"id\":" + std::to_string(GetDlgCtrlID(child)) + ",\"class\":" + Json(ClassName(child)) +
            ",\"text\":" + Json(WindowText(child)) + ",\"visible\":" + Json(IsWindowVisible(child) != FALSE) + "}");
    }
    return 0;
  }
  if (verb == L"post" && args.size() >= 4) {
    PostMessageW(window, ToInt(args[1]), ToInt(args[2]), ToInt(args[3]));
    Print("{\"posted\":true}");
    return 0;
  }
  if (verb == L"copydata") {
    // copydata CAPTION [--text T] [--cb N] [--no-nul] [--null-data]
    std::wstring text;
    bool haveText = false, nul = true, nullData = false;
    long long cb = -1;
    for (size_t i = 1; i < args.size(); ++i) {
      if (args[i] == L"--text" && i + 1 < args.size()) {
        text = args[++i];
        haveText = true;
      } else if (args[i] == L"--cb" && i + 1 < args.size()) {
        cb = ToInt(args[++i]);
      } else if (args[i] == L"--no-nul") {
        nul = false;
      } else if (args[i] == L"--null-data") {
        nullData = true;
      }
    }
    std::vector<wchar_t> buffer(text.begin(), text.end());
    if (nul) buffer.push_back(L'\0');
    COPYDATASTRUCT data{};
    data.cbData = cb >= 0 ? static_cast<DWORD>(cb) : haveText ? static_cast<DWORD>(buffer.size() * 2) : 0;
    data.lpData = nullData || !haveText ? nullptr : buffer.data();
    DWORD_PTR result = 0;
    BOOL sent = SendMessageTimeoutW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), 0, 120000, &result);
    Print("{\"sent\":" + Json(sent != FALSE) + "}");
    return sent ? 0 : 1;
  }
  return Usage();
}
