// The link subcommands' host on Windows: the program's own link host
// (CMscomm1, the port directory, the window timers and the reply timer,
// WaitPumping) on a message-only window, and a second message-only window of
// the command's own for posted events, the progress dialog's timers and
// Ctrl-C. The console's control handler runs on a thread of its own; it only
// posts to that window, so an interrupt is taken on the user-interface
// thread like every other event.
#include <windows.h>

#include <atomic>
#include <charconv>
#include <deque>
#include <map>
#include <optional>

#include "link/link_host_window_win32.h"
#include "link/transmitter_link.h"
#include "link_command_host.h"

namespace tramsel {

namespace {

constexpr wchar_t kCommandWindowClass[] = L"TramselCommandHost";
constexpr UINT kRunPostedMessage = WM_APP + 20;
constexpr UINT kInterruptMessage = WM_APP + 21;
// Set (to anything) for tests: the reply timers' resolution periods are
// reported on standard error at the end.
constexpr wchar_t kReportPeriodsVariable[] = L"TRAMSEL_REPORT_TIMER_PERIODS";

std::atomic<HWND> gInterruptWindow{nullptr};

BOOL WINAPI OnConsoleControl(DWORD type) {
  if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) return FALSE;
  if (HWND window = gInterruptWindow.load()) PostMessageW(window, kInterruptMessage, 0, 0);
  return TRUE;
}

// The folder of the running program, without a trailing backslash.
Text ProgramFolder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  path.resize(path.find_last_of(L'\\') == std::wstring::npos ? 0 : path.find_last_of(L'\\'));
  return Text(path.begin(), path.end());
}

// The port the operator named: the only one listed, and taken to be the
// transmitter's CH341 adapter.
class NamedPortDirectory final : public PortDirectory {
 public:
  explicit NamedPortDirectory(Text name) : name_(std::move(name)), number_(PortNumber(name_)) {}
  std::optional<std::vector<Text>> ListPorts() override { return std::vector<Text>{name_}; }
  bool IsCh341(int number) override { return number == number_; }

 private:
  Text name_;
  int number_;
};

// "COM" (any case) and a decimal number: the port's name in upper case.
std::optional<Text> PortName(const std::string& value) {
  if (value.size() < 4 || (value[0] | 0x20) != 'c' || (value[1] | 0x20) != 'o' || (value[2] | 0x20) != 'm') {
    return std::nullopt;
  }
  int number = 0;
  const char* digits = value.data() + 3;
  auto [end, error] = std::from_chars(digits, value.data() + value.size(), number);
  if (error != std::errc() || end != value.data() + value.size() || *digits < '0' || *digits > '9') {
    return std::nullopt;
  }
  return u"COM" + FromUtf8(value.substr(3));
}

class WindowsLinkCommandHost final : public LinkCommandHost {
 public:
  explicit WindowsLinkCommandHost(std::optional<Text> namedPort) : linkWindow_(ProgramFolder() + u"\\lib") {
    if (namedPort) named_.emplace(std::move(*namedPort));
  }
  ~WindowsLinkCommandHost() override {
    if (window_) {
      SetConsoleCtrlHandler(OnConsoleControl, FALSE);
      gInterruptWindow = nullptr;
      DestroyWindow(window_);
    }
  }

  SerialControl& serial() override { return linkWindow_.serial(); }
  PortDirectory& ports() override { return named_ ? static_cast<PortDirectory&>(*named_) : linkWindow_.ports(); }
  LinkTimers& timers() override { return linkWindow_.timers(); }
  LinkWaits& waits() override { return linkWindow_.waits(); }

  bool Attach(TransmitterLink& link, Utf8Writer& err) override {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kCommandWindowClass;
    RegisterClassExW(&windowClass);
    window_ = CreateWindowExW(0, kCommandWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              GetModuleHandleW(nullptr), this);
    if (!window_ || !linkWindow_.CreateMessageWindow(link)) {
      err.Write("tramsel: the system refused a window for the link\n");
      return false;
    }
    gInterruptWindow = window_;
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
    return true;
  }

  void RunOnce(int ms) override {
    MSG message;
    if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(ms), QS_ALLINPUT, MWMO_INPUTAVAILABLE);
      if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) return;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }

  void Post(std::function<void()> event) override {
    posted_.push_back(std::move(event));
    PostMessageW(window_, kRunPostedMessage, 0, 0);
  }

  void SetDialogTimer(int id, int periodMs, std::function<void()> onTick) override {
    dialogTimers_[id] = std::move(onTick);
    SetTimer(window_, static_cast<UINT_PTR>(id), static_cast<UINT>(periodMs), nullptr);
  }
  void KillDialogTimer(int id) override {
    KillTimer(window_, static_cast<UINT_PTR>(id));
    dialogTimers_.erase(id);
  }

  int Interrupts() const override { return interrupts_; }

  void ReportEnd(bool, Utf8Writer& err) override {
    if (GetEnvironmentVariableW(kReportPeriodsVariable, nullptr, 0) == 0) return;
    const WindowLinkTimers::PeriodCounts counts = WindowLinkTimers::Counts();
    err.Write("tramsel: timer resolution periods begun " + std::to_string(counts.begun) + ", ended " +
              std::to_string(counts.ended) + "\n");
  }

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
      auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
      SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<WindowsLinkCommandHost*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self && self->HandleMessage(message, wParam)) return 0;
    return DefWindowProcW(window, message, wParam, lParam);
  }

  bool HandleMessage(UINT message, WPARAM wParam) {
    switch (message) {
      case kRunPostedMessage: {
        if (posted_.empty()) return true;
        std::function<void()> event = std::move(posted_.front());
        posted_.pop_front();
        event();
        return true;
      }
      case kInterruptMessage:
        ++interrupts_;
        return true;
      case WM_TIMER: {
        auto found = dialogTimers_.find(static_cast<int>(wParam));
        if (found == dialogTimers_.end()) return false;
        // The tick may kill its own timer.
        std::function<void()> onTick = found->second;
        onTick();
        return true;
      }
      default:
        return false;
    }
  }

  LinkHostWindow linkWindow_;
  std::optional<NamedPortDirectory> named_;
  HWND window_ = nullptr;
  std::deque<std::function<void()>> posted_;
  std::map<int, std::function<void()>> dialogTimers_;
  int interrupts_ = 0;
};

}  // namespace

const std::string_view kPortHelp =
    "      --port COMn|auto     the transmitter's serial port, taken to be its CH341\n"
    "                           adapter, or auto: the ports Windows lists under\n"
    "                           HKLM\\HARDWARE\\DEVICEMAP\\SerialComm, the default port\n"
    "                           first, each tried that lib\\CH341PT.DLL beside the\n"
    "                           program (or, without it, the USB hardware id 1A86)\n"
    "                           says is a CH341 port, one at a time as the program\n"
    "                           tries them (default auto)\n";

std::unique_ptr<LinkCommandHost> MakeLinkCommandHost(const std::string& port, std::string& error) {
  if (port == "auto") return std::make_unique<WindowsLinkCommandHost>(std::nullopt);
  std::optional<Text> name = PortName(port);
  if (!name) {
    error = "--port must be auto or a port name such as COM3, not '" + port + "'";
    return nullptr;
  }
  return std::make_unique<WindowsLinkCommandHost>(std::move(name));
}

}  // namespace tramsel
