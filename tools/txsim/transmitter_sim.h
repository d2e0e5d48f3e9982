// A simulated transmitter: the protocol side of tramsel-txsim, kept apart from
// any I/O so that tests and in-process hosts can drive it. It is fed the bytes
// the host writes, with the time they arrive, and hands back the bytes it
// writes, each with the time it is due. Times are microseconds on any clock
// the caller keeps.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "link/link_packet.h"

namespace tramsel {

// Faults to inject. Request numbers count every whole request frame the
// simulator reads, from 1; the frame log shows them.
struct TxSimFaults {
  // Replies (answers to a request, 241 included) lost, damaged, written in two
  // pieces, or held back to go out together with the next frame.
  double dropRate = 0, corruptRate = 0, splitRate = 0, mergeRate = 0;
  std::set<int> dropAt, corruptAt, splitAt, mergeAt;
  // Request number -> busy time: answered with 21 and that time instead of its
  // reply; the request is carried out when the host sends it again.
  std::map<int, int> busyAt;
  // Requests answered with 22 (send again) instead of their reply.
  std::set<int> repeatAt;
  // Block number -> reason: on receiving that block, cancel with 55.
  std::map<int, int> cancelAtBlock;
  // From this request on nothing is answered (0: never).
  int silentFrom = 0;
};

struct TxSimOptions {
  int station = 2;
  int version = 210;
  int capacity = 64;
  int firstBlock = 1;        // the answer to 10
  int doneDelayMs = 300;     // 59 after a small direct transfer
  int splitGapMs = 20;       // between the two pieces of a split reply
  int mergeHoldMs = 100;     // longest hold of a reply to be merged
  bool pace = false;         // 9600 baud, 10 bits a byte, both ways
  uint32_t seed = 1;
  TxSimFaults faults;
};

// One program the simulator took in, at its end-of-data request.
struct TxSimProgram {
  bool store = false;
  int blocks = 0;
  int reportedLines = 0;          // the end-of-data payload
  std::string code;               // every block, joined
  std::vector<std::string> lines; // decoded
};

// A frame read or written (or meant to be written and lost), for the log.
struct TxSimLogEntry {
  int64_t atUs = 0;
  bool fromHost = false;
  int request = 0;  // request number of a frame read, 0 for a frame written
  std::string bytes;
  std::string note;
};

class TransmitterSim {
 public:
  explicit TransmitterSim(TxSimOptions options);

  // Bytes the host wrote, read at nowUs.
  void Receive(int64_t nowUs, std::string_view bytes);
  // Carries out what is due by nowUs and answers the writes due by then, in
  // order.
  std::vector<std::string> Poll(int64_t nowUs);
  // When Poll next has something to do; nothing while it waits for the host.
  std::optional<int64_t> NextDue() const;

  std::vector<TxSimLogEntry> TakeLog();
  // Programs completed since the last call, and one-line notes of what
  // happened (a cancel, a repeat taken for a resend, a fault found).
  std::vector<TxSimProgram> TakePrograms();
  std::vector<std::string> TakeEvents();

  int station() const { return station_; }
  bool downloadKey() const { return downloadKey_; }
  // Programs stored in the box, oldest first.
  const std::vector<TxSimProgram>& box() const { return box_; }

  // Wire time of n bytes at 9600 baud.
  static int64_t WireTimeUs(size_t bytes) { return static_cast<int64_t>(bytes) * 10'000'000 / 9600; }

 private:
  struct Transfer {
    bool prepared = false;  // 9 seen
    bool store = false;
    int wanted = 0;  // block asked for; 0 before the answer to 10
    std::vector<std::string> blocks;
    bool ended = false;
    int endReport = 0;
  };
  struct Write {
    int64_t atUs = 0;
    int64_t readyUs = 0;  // when its own bytes would be on the line
    std::string bytes;
    std::string note;
    bool held = false;  // a reply waiting for the next frame to merge with
  };

  void Handle(int64_t nowUs, const std::string& frame);
  void HandleBlock(int64_t nowUs, const std::string& block);
  void HandleEnd(int64_t nowUs, const std::string& payload);
  // An answer to the current request, open to the reply faults.
  void Reply(int64_t nowUs, uint8_t code, std::string_view payload);
  // A frame the transmitter starts, written as it is.
  void Send(int64_t atUs, uint8_t code, std::string_view payload);
  // Queues bytes on the line from atUs on, behind what is queued already.
  void Schedule(int64_t atUs, std::string bytes, std::string note = {}, bool held = false);
  bool Chance(double rate);
  void Note(std::string text) { events_.push_back(std::move(text)); }
  // Adds to the log entry of the request being handled.
  void NoteRequest(std::string text);
  void Log(int64_t atUs, bool fromHost, std::string_view bytes, std::string note);

  TxSimOptions options_;
  std::mt19937 random_;
  RequestFrameReader reader_;
  int station_;
  bool downloadKey_ = true;
  int requests_ = 0;
  Transfer transfer_;
  std::string lastBlock_;
  bool haveLastBlock_ = false;
  std::vector<TxSimProgram> box_;

  struct Inbound {
    int64_t atUs;
    std::string frame;
  };
  std::vector<Inbound> inbound_;  // frames read, handled when their last byte is in
  std::vector<Inbound> delayed_;  // frames to start writing later
  int64_t rxWireFreeUs_ = 0;
  int64_t txWireFreeUs_ = 0;
  std::vector<Write> writes_;  // in wire order, times never decreasing

  std::vector<TxSimLogEntry> log_;
  std::vector<TxSimProgram> programs_;
  std::vector<std::string> events_;
  int currentRequest_ = 0;
  size_t requestLog_ = 0;
};

}  // namespace tramsel
