#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "posix/event_loop_posix.h"
#include "posix/port_directory_posix.h"

namespace tramsel {
namespace {

namespace fs = std::filesystem;

// A /sys tree with tty devices under USB devices of the given vendors.
class FakeSys {
 public:
  FakeSys() : root_(fs::temp_directory_path() / ("tramsel-sys-" + std::to_string(::getpid()))) {
    fs::remove_all(root_);
    fs::create_directories(root_ / "class" / "tty");
  }
  ~FakeSys() { fs::remove_all(root_); }

  void AddUsbTty(const std::string& tty, const std::string& vendor, int bus) {
    const fs::path usb = root_ / "devices" / ("usb" + std::to_string(bus)) / "1-1";
    const fs::path port = usb / "1-1:1.0" / tty;
    fs::create_directories(port);
    std::ofstream(usb / "idVendor") << vendor << "\n";
    Link(tty, port);
  }
  void AddPlatformTty(const std::string& tty) {
    const fs::path port = root_ / "devices" / "platform" / "serial8250" / tty;
    fs::create_directories(port);
    Link(tty, port);
  }
  std::string root() const { return root_.string(); }

 private:
  void Link(const std::string& tty, const fs::path& device) {
    const fs::path entry = root_ / "class" / "tty" / tty;
    fs::create_directories(entry);
    fs::create_directory_symlink(device, entry / "device");
  }
  fs::path root_;
};

TEST(PosixPortDirectory, FindsCh341AdaptersInNaturalOrder) {
  FakeSys sys;
  sys.AddUsbTty("ttyUSB10", "1a86", 1);
  sys.AddPlatformTty("ttyS0");
  sys.AddUsbTty("ttyUSB2", "1a86", 2);
  sys.AddUsbTty("ttyUSB0", "0403", 3);  // another maker's adapter
  sys.AddUsbTty("ttyACM0", "1a86", 4);
  EXPECT_EQ(FindCh341Ttys(sys.root()), (std::vector<std::string>{"ttyACM0", "ttyUSB2", "ttyUSB10"}));

  PosixPortDirectory ports = PosixPortDirectory::Ch341Adapters(sys.root(), "/dev");
  EXPECT_EQ(ports.ListPorts(), (std::vector<Text>{u"COM1", u"COM2", u"COM3"}));
  EXPECT_EQ(ports.DevicePath(2), "/dev/ttyUSB2");
  EXPECT_TRUE(ports.IsCh341(3));
  EXPECT_FALSE(ports.IsCh341(4));
  EXPECT_EQ(ports.DevicePath(0), "");
}

TEST(PosixPortDirectory, NamedDeviceIsPortOne) {
  PosixPortDirectory ports = PosixPortDirectory::Fixed("/tmp/ttyA");
  EXPECT_EQ(ports.ListPorts(), (std::vector<Text>{u"COM1"}));
  EXPECT_TRUE(ports.IsCh341(1));
  EXPECT_EQ(ports.DevicePath(1), "/tmp/ttyA");
}

using std::chrono::milliseconds;

TEST(EventLoop, DispatchesInsideAWaitThatKeepsDispatching) {
  EventLoop loop;
  std::vector<std::string> seen;
  int ticks = 0;
  bool cancelledFired = false;
  loop.SetTimer(2, 5, [&] {
    ++ticks;
    if (ticks == 1) {
      seen.push_back("tick");
      // A nested wait: the one-shot and the posted event run inside it.
      loop.StartOneShot(1, [&](unsigned) { seen.push_back("shot"); });
      const unsigned cancelled = loop.StartOneShot(1, [&](unsigned) { cancelledFired = true; });
      loop.CancelOneShot(cancelled);
      loop.Post([&] { seen.push_back("posted"); });
      loop.RunUntil(EventLoop::Clock::now() + milliseconds(50));
      seen.push_back("wait over");
      loop.KillTimer(2);
    }
  });
  loop.RunUntil(EventLoop::Clock::now() + milliseconds(1000));
  EXPECT_EQ(seen, (std::vector<std::string>{"tick", "posted", "shot", "wait over"}));
  EXPECT_FALSE(cancelledFired);
  EXPECT_FALSE(loop.TimerRunning(2));
}

TEST(EventLoop, OneShotHandlesAreNeverReused) {
  EventLoop loop;
  const unsigned a = loop.StartOneShot(0, [](unsigned) {});
  loop.CancelOneShot(a);
  const unsigned b = loop.StartOneShot(0, [](unsigned) {});
  EXPECT_NE(a, 0u);
  EXPECT_NE(a, b);
  unsigned fired = 0;
  const unsigned c = loop.StartOneShot(0, [&](unsigned handle) { fired = handle; });
  loop.RunUntil(EventLoop::Clock::now() + milliseconds(20));
  EXPECT_EQ(fired, c);
}

}  // namespace
}  // namespace tramsel
