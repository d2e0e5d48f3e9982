#include "posix/serial_control_posix.h"

#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "link/link_codes.h"
#include "posix/serial_line_posix.h"

namespace tramsel {

namespace {

// Drained-output checks: every millisecond, for at most what 2048 bytes take
// at 9600 baud and then some.
constexpr int kDrainCheckMs = 1;
constexpr int kDrainChecks = 3000;

}  // namespace

bool PosixSerialControl::SetPortOpen(bool open) {
  if (!open) {
    if (fd_ >= 0) {
      loop_.Unwatch(fd_);
      ::close(fd_);
      fd_ = -1;
    }
    input_.clear();
    ++opening_;
    return true;
  }
  if (fd_ >= 0) return true;
  const std::string device = ports_.DevicePath(commPort_);
  if (device.empty()) {
    lastError_ = "no port " + std::to_string(commPort_);
    return false;
  }
  const int fd = OpenSerialLine(device, lastError_);
  if (fd < 0) {
    lastError_ = device + ": " + lastError_;
    return false;
  }
  fd_ = fd;
  failed_ = false;
  lastError_.clear();
  ++opening_;
  input_.clear();
  loop_.Watch(fd_, [this] { OnReadable(); });
  return true;
}

bool PosixSerialControl::Output(std::string_view frame) {
  if (fd_ < 0 || failed_) return false;
  if (!WriteSerialLine(fd_, std::string(frame))) {
    failed_ = true;
    return false;
  }
  if (sThreshold_ > 0) {
    const unsigned generation = opening_;
    loop_.Post([this, generation] { CheckDrained(generation, kDrainChecks); });
  }
  return true;
}

void PosixSerialControl::CheckDrained(unsigned generation, int checksLeft) {
  if (generation != opening_ || fd_ < 0) return;
  int queued = 0;
  if (::ioctl(fd_, TIOCOUTQ, &queued) == 0 && queued > 0 && checksLeft > 0) {
    loop_.StartOneShot(kDrainCheckMs, [this, generation, checksLeft](unsigned) {
      CheckDrained(generation, checksLeft - 1);
    });
    return;
  }
  Notify(CommEventSend);
}

std::string PosixSerialControl::Input() {
  std::string bytes;
  bytes.swap(input_);
  return bytes;
}

void PosixSerialControl::OnReadable() {
  char buffer[2048];
  for (;;) {
    const ssize_t n = ::read(fd_, buffer, sizeof buffer);
    if (n > 0) {
      input_.append(buffer, static_cast<size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
    // The line has gone (the adapter was pulled, the other end of a pty
    // closed): stop watching it; the next write fails as the control's would.
    failed_ = true;
    loop_.Unwatch(fd_);
    break;
  }
  if (rThreshold_ > 0 && static_cast<int>(input_.size()) >= rThreshold_) Notify(CommEventReceive);
}

void PosixSerialControl::Notify(int event) {
  if (!onComm_ || fd_ < 0) return;
  // A handler may run the loop and take further notifications inside it;
  // each reads the event it was given.
  const int outer = event_;
  event_ = event;
  onComm_();
  event_ = outer;
}

}  // namespace tramsel
