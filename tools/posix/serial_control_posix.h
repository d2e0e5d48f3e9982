// The link's serial control on Linux: a termios line (9600 8N1, raw) per
// port of a PosixPortDirectory, driven by an EventLoop.
//
// Notifications, delivered from the loop: receive once RThreshold bytes
// wait; send when the line's output queue has emptied after a write.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "link/serial_control.h"
#include "posix/event_loop_posix.h"
#include "posix/port_directory_posix.h"

namespace tramsel {

class PosixSerialControl final : public SerialControl {
 public:
  PosixSerialControl(EventLoop& loop, const PosixPortDirectory& ports) : loop_(loop), ports_(ports) {}
  ~PosixSerialControl() override { SetPortOpen(false); }

  // The handler of the OnComm event.
  void SetOnComm(std::function<void()> onComm) { onComm_ = std::move(onComm); }

  void SetCommPort(int number) override { commPort_ = number; }
  int CommPort() const override { return commPort_; }
  void SetInBufferSize(int) override {}
  void SetOutBufferSize(int) override {}
  void SetInputLen(int) override {}
  void SetInputMode(int) override {}
  void SetSettings(std::string_view) override {}
  void SetRThreshold(int bytes) override { rThreshold_ = bytes; }
  void SetSThreshold(int bytes) override { sThreshold_ = bytes; }

  bool SetPortOpen(bool open) override;
  bool PortOpen() const override { return fd_ >= 0; }
  bool Output(std::string_view frame) override;
  std::string Input() override;
  int CommEvent() const override { return event_; }

  // Why the last opening failed (empty after one that worked), for the
  // command line's diagnostics.
  const std::string& lastError() const { return lastError_; }

 private:
  void OnReadable();
  void Notify(int event);
  void CheckDrained(unsigned generation, int checksLeft);

  EventLoop& loop_;
  const PosixPortDirectory& ports_;
  std::function<void()> onComm_;
  int commPort_ = 1;
  int rThreshold_ = 0;
  int sThreshold_ = 0;
  int fd_ = -1;
  bool failed_ = false;   // the line broke while open: writes fail
  unsigned opening_ = 0;  // counts openings, so that a closed port's checks do nothing
  std::string input_;
  int event_ = 0;
  std::string lastError_;
};

}  // namespace tramsel
