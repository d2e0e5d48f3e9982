// tramsel-txsim: plays a transmitter on a serial device (a pseudo-terminal of
// socat, or a real port), for trying the link without the hardware.
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/file_io.h"
#include "common/text.h"
#include "posix/serial_line_posix.h"
#include "txsim/transmitter_sim.h"

namespace tramsel {
namespace {

constexpr const char* kHelp = R"(usage: tramsel-txsim --device PATH [options]

Plays a transmitter on PATH (a pty such as one end of
  socat pty,raw,echo=0,link=/tmp/ttyA pty,raw,echo=0,link=/tmp/ttyB
or a real serial port, set to 9600 8N1 raw). Runs until SIGINT or SIGTERM.

The transmitter:
  --station N        its master station (default 2); a connect request for
                     another station is answered with 241; 240 changes it
  --version N        version in the connect reply (default 210; below 200
                     the host will not store in the box)
  --capacity N       packet capacity in the reply to 53 (default 64)
  --first-block N    answer to 10: the first block wanted (default 1; 0 asks
                     for nothing)
  --done-delay MS    code 59 this long after the end of a direct transfer of
                     at most 5 blocks (default 300)

What it received:
  --program FILE     after each completed transfer, the program decoded back
                     into 3B lines ("B60B0B60GXL3", "J" after a jump line,
                     "D", "DD"), one a line, replacing FILE
  --frames FILE      every frame read (<) and written (>), with its time in ms
                     since start, its request number and what was done

Faults (request numbers K count every whole request frame read, from 1, as
--frames shows them; LIST is K or K,K,...; RATE is a fraction such as 0.05 or
a percentage such as 5%). Rates and lists apply to replies, the answers to
requests (241 included), not to 21, 22, 55 and 59:
  --drop RATE | --drop-at LIST         reply not written
  --corrupt RATE | --corrupt-at LIST   one bit of the reply flipped (never the
                                       end byte) so that its checksum fails
  --split RATE | --split-at LIST       reply written in two pieces, the second
                                       --split-gap MS later (default 20)
  --merge RATE | --merge-at LIST       reply held back and written in one piece
                                       with the next frame, or alone after
                                       --merge-hold MS (default 100)
  --busy K:MS        answer request K with 21 and MS as its payload instead of
                     its reply; the request is carried out when sent again
  --repeat LIST      answer these requests with 22 instead of their reply
  --cancel B:R       on receiving block B, cancel with 55 and reason R
  --silent-from K    answer nothing from request K on (1: a dead transmitter)
  --seed N           seed of the rates (default 1): the same seed and options
                     give the same faults for the same requests
  --pace             take the wire time of 9600 baud (10 bits a byte) for
                     every frame read and written; without it answers go out
                     at once
  --help
)";

volatile sig_atomic_t gStop = 0;
void OnStopSignal(int) { gStop = 1; }

[[noreturn]] void Usage(const std::string& problem) {
  std::fprintf(stderr, "tramsel-txsim: %s\n(see tramsel-txsim --help)\n", problem.c_str());
  std::exit(2);
}

int Integer(const std::string& option, const std::string& text) {
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || errno != 0 || value < -2147483647L || value > 2147483647L) {
    Usage(option + ": not a number: " + text);
  }
  return static_cast<int>(value);
}

double Rate(const std::string& option, std::string text) {
  double scale = 1;
  if (!text.empty() && text.back() == '%') {
    text.pop_back();
    scale = 100;
  }
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || !(value / scale >= 0) || value / scale > 1) {
    Usage(option + ": not a rate between 0 and 1: " + text);
  }
  return value / scale;
}

void AddList(const std::string& option, const std::string& text, std::set<int>& into) {
  size_t from = 0;
  for (;;) {
    const size_t comma = text.find(',', from);
    into.insert(Integer(option, text.substr(from, comma - from)));
    if (comma == std::string::npos) break;
    from = comma + 1;
  }
}

std::pair<int, int> Pair(const std::string& option, const std::string& text) {
  const size_t colon = text.find(':');
  if (colon == std::string::npos) Usage(option + " wants two numbers joined by ':': " + text);
  return {Integer(option, text.substr(0, colon)), Integer(option, text.substr(colon + 1))};
}

std::string Hex(std::string_view bytes) {
  std::string out;
  char digits[4];
  for (unsigned char c : bytes) {
    std::snprintf(digits, sizeof digits, out.empty() ? "%02X" : " %02X", c);
    out += digits;
  }
  return out;
}

struct Files {
  std::string program;
  FILE* frames = nullptr;
};

void Drain(TransmitterSim& sim, Files& files) {
  for (const TxSimLogEntry& e : sim.TakeLog()) {
    if (!files.frames) continue;
    std::fprintf(files.frames, "%12.3f %c", static_cast<double>(e.atUs) / 1000.0, e.fromHost ? '<' : '>');
    if (e.fromHost) std::fprintf(files.frames, " #%d", e.request);
    std::fprintf(files.frames, " %s", Hex(e.bytes).c_str());
    if (!e.note.empty()) std::fprintf(files.frames, "  (%s)", e.note.c_str());
    std::fputc('\n', files.frames);
  }
  for (const std::string& event : sim.TakeEvents()) std::fprintf(stderr, "tramsel-txsim: %s\n", event.c_str());
  for (const TxSimProgram& p : sim.TakePrograms()) {
    std::fprintf(stderr, "tramsel-txsim: received %zu lines in %d blocks (%s)\n", p.lines.size(), p.blocks,
                 p.store ? "storing" : "direct");
    if (files.program.empty()) continue;
    std::string text;
    for (const std::string& line : p.lines) text += line + "\n";
    if (!ReplaceFileContents(FromUtf8(files.program), text)) {
      std::fprintf(stderr, "tramsel-txsim: cannot write %s\n", files.program.c_str());
    }
  }
}

int Run(int argc, char** argv) {
  TxSimOptions options;
  TxSimFaults& faults = options.faults;
  std::string device;
  Files files;
  std::string framesPath;
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    if (option == "--help" || option == "-h") {
      std::fputs(kHelp, stdout);
      return 0;
    }
    if (option == "--pace") {
      options.pace = true;
      continue;
    }
    if (i + 1 >= argc) Usage(option.rfind("--", 0) == 0 ? option + " wants a value" : "unknown argument " + option);
    const std::string value = argv[++i];
    if (option == "--device") device = value;
    else if (option == "--station") options.station = Integer(option, value);
    else if (option == "--version") options.version = Integer(option, value);
    else if (option == "--capacity") options.capacity = Integer(option, value);
    else if (option == "--first-block") options.firstBlock = Integer(option, value);
    else if (option == "--done-delay") options.doneDelayMs = Integer(option, value);
    else if (option == "--split-gap") options.splitGapMs = Integer(option, value);
    else if (option == "--merge-hold") options.mergeHoldMs = Integer(option, value);
    else if (option == "--program") files.program = value;
    else if (option == "--frames") framesPath = value;
    else if (option == "--seed") options.seed = static_cast<uint32_t>(Integer(option, value));
    else if (option == "--drop") faults.dropRate = Rate(option, value);
    else if (option == "--corrupt") faults.corruptRate = Rate(option, value);
    else if (option == "--split") faults.splitRate = Rate(option, value);
    else if (option == "--merge") faults.mergeRate = Rate(option, value);
    else if (option == "--drop-at") AddList(option, value, faults.dropAt);
    else if (option == "--corrupt-at") AddList(option, value, faults.corruptAt);
    else if (option == "--split-at") AddList(option, value, faults.splitAt);
    else if (option == "--merge-at") AddList(option, value, faults.mergeAt);
    else if (option == "--repeat") AddList(option, value, faults.repeatAt);
    else if (option == "--busy") faults.busyAt.insert(Pair(option, value));
    else if (option == "--cancel") faults.cancelAtBlock.insert(Pair(option, value));
    else if (option == "--silent-from") faults.silentFrom = Integer(option, value);
    else Usage("unknown option " + option);
  }
  if (device.empty()) Usage("--device is missing");
  if (options.station < 0 || options.station > 255) Usage("--station must be 0 to 255");
  if (options.doneDelayMs < 0 || options.splitGapMs < 0 || options.mergeHoldMs < 0) {
    Usage("delays cannot be negative");
  }

  std::string error;
  const int fd = OpenSerialLine(device, error);
  if (fd < 0) {
    std::fprintf(stderr, "tramsel-txsim: cannot open %s: %s\n", device.c_str(), error.c_str());
    return 2;
  }
  if (!framesPath.empty()) {
    files.frames = std::fopen(framesPath.c_str(), "w");
    if (!files.frames) {
      std::fprintf(stderr, "tramsel-txsim: cannot write %s\n", framesPath.c_str());
      return 2;
    }
    std::setvbuf(files.frames, nullptr, _IOLBF, 0);
  }

  // The stop signals are let through only while waiting, so that one arriving
  // between a check and the wait is not lost.
  sigset_t stopSignals, waitMask;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  sigprocmask(SIG_BLOCK, &stopSignals, &waitMask);
  sigdelset(&waitMask, SIGINT);
  sigdelset(&waitMask, SIGTERM);
  struct sigaction stop {};
  stop.sa_handler = OnStopSignal;
  sigaction(SIGINT, &stop, nullptr);
  sigaction(SIGTERM, &stop, nullptr);

  const auto start = std::chrono::steady_clock::now();
  auto nowUs = [&] {
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start).count();
  };
  TransmitterSim sim(options);
  std::fprintf(stderr, "tramsel-txsim: ready on %s, station %d, version %d, capacity %d\n", device.c_str(),
               options.station, options.version, options.capacity);
  int result = 0;
  char buffer[4096];
  while (!gStop) {
    const std::vector<std::string> writes = sim.Poll(nowUs());
    // What was received is on file before the host hears the answer.
    Drain(sim, files);
    for (const std::string& bytes : writes) {
      if (!WriteSerialLine(fd, bytes)) {
        std::fprintf(stderr, "tramsel-txsim: writing to %s failed: %s\n", device.c_str(), std::strerror(errno));
        gStop = 1;
        result = 1;
      }
    }
    if (gStop) break;
    timespec wait{};
    timespec* timeout = nullptr;
    if (auto due = sim.NextDue()) {
      const int64_t left = std::max<int64_t>(0, *due - nowUs());
      wait.tv_sec = left / 1'000'000;
      wait.tv_nsec = (left % 1'000'000) * 1000;
      timeout = &wait;
    }
    pollfd p{fd, POLLIN, 0};
    const int ready = ::ppoll(&p, 1, timeout, &waitMask);
    if (ready < 0) {
      if (errno == EINTR) continue;
      std::fprintf(stderr, "tramsel-txsim: waiting on %s failed: %s\n", device.c_str(), std::strerror(errno));
      result = 1;
      break;
    }
    if (ready == 0) continue;
    if (p.revents & POLLIN) {
      const ssize_t n = ::read(fd, buffer, sizeof buffer);
      if (n > 0) {
        sim.Receive(nowUs(), std::string_view(buffer, static_cast<size_t>(n)));
        continue;
      }
      if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
    }
    std::fprintf(stderr, "tramsel-txsim: %s was closed\n", device.c_str());
    result = 1;
    break;
  }
  Drain(sim, files);
  if (files.frames) std::fclose(files.frames);
  ::close(fd);
  return result;
}

}  // namespace
}  // namespace tramsel

int main(int argc, char** argv) { return tramsel::Run(argc, argv); }
