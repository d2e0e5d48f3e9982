#include "posix/serial_line_posix.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tramsel {

int OpenSerialLine(const std::string& path, std::string& error) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    error = std::strerror(errno);
    return -1;
  }
  termios tio{};
  if (::tcgetattr(fd, &tio) != 0) {
    error = std::string("not a serial line: ") + std::strerror(errno);
    ::close(fd);
    return -1;
  }
  ::cfmakeraw(&tio);
  tio.c_cflag &= ~(CSTOPB | PARENB | CSIZE | CRTSCTS);
  tio.c_cflag |= CS8 | CLOCAL | CREAD;
  tio.c_iflag &= ~(IXON | IXOFF | IXANY);
  tio.c_cc[VMIN] = 1;
  tio.c_cc[VTIME] = 0;
  ::cfsetispeed(&tio, B9600);
  ::cfsetospeed(&tio, B9600);
  if (::tcsetattr(fd, TCSANOW, &tio) != 0) {
    error = std::string("cannot set 9600 8N1: ") + std::strerror(errno);
    ::close(fd);
    return -1;
  }
  return fd;
}

bool WriteSerialLine(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      pollfd p{fd, POLLOUT, 0};
      if (::poll(&p, 1, 1000) <= 0) return false;
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace tramsel
