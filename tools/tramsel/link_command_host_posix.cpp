// The link subcommands' host on Linux: a termios port per device of a
// PosixPortDirectory, driven by a poll loop; Ctrl-C is SIGINT, let through
// only while the loop waits.
#include <signal.h>

#include <chrono>
#include <thread>

#include "link/transmitter_link.h"
#include "link_command_host.h"
#include "posix/event_loop_posix.h"
#include "posix/port_directory_posix.h"
#include "posix/serial_control_posix.h"

namespace tramsel {

namespace {

volatile sig_atomic_t gInterrupts = 0;
void OnInterrupt(int) { gInterrupts = gInterrupts + 1; }

class PosixLinkCommandHost final : public LinkCommandHost, public LinkTimers, public LinkWaits {
 public:
  // Dialog timers run on the same loop as the link's; keep their ids apart.
  static constexpr int kDialogTimerBase = 1000;

  explicit PosixLinkCommandHost(const std::string& port)
      : ports_(port == "auto" ? PosixPortDirectory::Ch341Adapters() : PosixPortDirectory::Fixed(port)),
        serial_(loop_, ports_) {
    sigset_t interrupt, waitMask;
    sigemptyset(&interrupt);
    sigaddset(&interrupt, SIGINT);
    sigprocmask(SIG_BLOCK, &interrupt, &waitMask);
    sigdelset(&waitMask, SIGINT);
    loop_.SetWaitMask(waitMask);
    struct sigaction onInterrupt {};
    onInterrupt.sa_handler = OnInterrupt;
    sigaction(SIGINT, &onInterrupt, nullptr);
  }

  // LinkCommandHost.
  SerialControl& serial() override { return serial_; }
  PortDirectory& ports() override { return ports_; }
  LinkTimers& timers() override { return *this; }
  LinkWaits& waits() override { return *this; }
  bool Attach(TransmitterLink& link, Utf8Writer&) override {
    link_ = &link;
    serial_.SetOnComm([this] { link_->OnCommEvent(); });
    return true;
  }
  void RunOnce(int ms) override { loop_.RunOnce(EventLoop::Clock::now() + std::chrono::milliseconds(ms)); }
  void Post(std::function<void()> event) override { loop_.Post(std::move(event)); }
  void SetDialogTimer(int id, int periodMs, std::function<void()> onTick) override {
    loop_.SetTimer(kDialogTimerBase + id, periodMs, std::move(onTick));
  }
  void KillDialogTimer(int id) override { loop_.KillTimer(kDialogTimerBase + id); }
  int Interrupts() const override { return gInterrupts; }
  void ReportEnd(bool succeeded, Utf8Writer& err) override {
    if (!succeeded && !serial_.lastError().empty()) err.Write("tramsel: cannot open " + serial_.lastError() + "\n");
  }

  // LinkTimers.
  void SetTimer(int id, int periodMs) override {
    loop_.SetTimer(id, periodMs, [this, id] {
      if (id == kSupervisorTimer) link_->OnSupervisorTick();
      if (id == kRequestPollTimer) link_->OnRequestPollTick();
    });
  }
  void KillTimer(int id) override { loop_.KillTimer(id); }
  ReplyTimerHandle ArmReplyTimer(int ms) override {
    return loop_.StartOneShot(ms, [this](unsigned handle) { link_->OnReplyTimeout(handle); });
  }
  void DisarmReplyTimer(ReplyTimerHandle handle) override { loop_.CancelOneShot(handle); }

  // LinkWaits.
  void WaitPumping(int ms) override {
    loop_.RunUntil(EventLoop::Clock::now() + std::chrono::milliseconds(ms));
  }
  void Sleep(int ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

 private:
  EventLoop loop_;
  PosixPortDirectory ports_;
  PosixSerialControl serial_;
  TransmitterLink* link_ = nullptr;
};

}  // namespace

const std::string_view kPortHelp =
    "      --port DEVICE|auto   the transmitter's serial device (a tty or a pty),\n"
    "                           or auto: the CH341 adapters found under /sys (USB\n"
    "                           vendor 1a86), tried as ports 1, 2, ... (default auto)\n";

std::unique_ptr<LinkCommandHost> MakeLinkCommandHost(const std::string& port, std::string&) {
  return std::make_unique<PosixLinkCommandHost>(port);
}

}  // namespace tramsel
