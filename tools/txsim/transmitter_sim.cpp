#include "txsim/transmitter_sim.h"

#include <algorithm>
#include <utility>

#include "common/text.h"
#include "txsim/code_decoder.h"

namespace tramsel {

namespace {

std::string Number(long long value) { return std::to_string(value); }

// A direct transfer of at most this many blocks is followed by 59 once the
// machine has its code.
constexpr int kSmallDirectBlocks = 5;

}  // namespace

TransmitterSim::TransmitterSim(TxSimOptions options)
    : options_(std::move(options)), random_(options_.seed), station_(options_.station) {}

void TransmitterSim::Receive(int64_t nowUs, std::string_view bytes) {
  int64_t at = nowUs;
  if (options_.pace) {
    rxWireFreeUs_ = std::max(rxWireFreeUs_, nowUs) + WireTimeUs(bytes.size());
    at = rxWireFreeUs_;
  }
  reader_.Append(bytes);
  while (auto frame = reader_.Next()) inbound_.push_back({at, std::move(*frame)});
}

std::vector<std::string> TransmitterSim::Poll(int64_t nowUs) {
  for (;;) {
    auto delayed = std::min_element(delayed_.begin(), delayed_.end(),
                                    [](const Inbound& a, const Inbound& b) { return a.atUs < b.atUs; });
    const bool haveInbound = !inbound_.empty() && inbound_.front().atUs <= nowUs;
    const bool haveDelayed = delayed != delayed_.end() && delayed->atUs <= nowUs;
    if (!haveInbound && !haveDelayed) break;
    if (haveInbound && (!haveDelayed || inbound_.front().atUs <= delayed->atUs)) {
      Inbound in = std::move(inbound_.front());
      inbound_.erase(inbound_.begin());
      Handle(in.atUs, in.frame);
    } else {
      Inbound out = std::move(*delayed);
      delayed_.erase(delayed);
      Schedule(out.atUs, std::move(out.frame));
    }
  }
  std::vector<std::string> due;
  while (!writes_.empty() && writes_.front().atUs <= nowUs) {
    Write& w = writes_.front();
    Log(nowUs, false, w.bytes, w.note);
    due.push_back(std::move(w.bytes));
    writes_.erase(writes_.begin());
  }
  return due;
}

std::optional<int64_t> TransmitterSim::NextDue() const {
  std::optional<int64_t> next;
  auto consider = [&](int64_t at) {
    if (!next || at < *next) next = at;
  };
  if (!inbound_.empty()) consider(inbound_.front().atUs);
  for (const Inbound& d : delayed_) consider(d.atUs);
  if (!writes_.empty()) consider(writes_.front().atUs);
  return next;
}

std::vector<TxSimLogEntry> TransmitterSim::TakeLog() { return std::exchange(log_, {}); }
std::vector<TxSimProgram> TransmitterSim::TakePrograms() { return std::exchange(programs_, {}); }
std::vector<std::string> TransmitterSim::TakeEvents() { return std::exchange(events_, {}); }

void TransmitterSim::Log(int64_t atUs, bool fromHost, std::string_view bytes, std::string note) {
  log_.push_back({atUs, fromHost, fromHost ? currentRequest_ : 0, std::string(bytes), std::move(note)});
}

void TransmitterSim::NoteRequest(std::string text) {
  if (requestLog_ < log_.size()) {
    std::string& note = log_[requestLog_].note;
    if (!note.empty()) note += "; ";
    note += text;
  }
}

bool TransmitterSim::Chance(double rate) {
  // Drawn for every reply whether or not the fault is asked for, so that a
  // seed gives the same faults whichever rates are set.
  const double draw = static_cast<double>(random_()) / (static_cast<double>(std::mt19937::max()) + 1.0);
  return draw < rate;
}

void TransmitterSim::Handle(int64_t nowUs, const std::string& frame) {
  currentRequest_ = ++requests_;
  requestLog_ = log_.size();
  Log(nowUs, true, frame, {});
  auto packet = ParseRequestFrame(frame);
  if (!packet) return;  // the reader hands over sound frames only
  const TxSimFaults& faults = options_.faults;

  if (faults.silentFrom > 0 && requests_ >= faults.silentFrom) {
    NoteRequest("silent");
    return;
  }
  if (auto busy = faults.busyAt.find(requests_); busy != faults.busyAt.end()) {
    NoteRequest("busy " + Number(busy->second) + " ms");
    Send(nowUs, 21, Number(busy->second));
    return;
  }
  if (faults.repeatAt.count(requests_)) {
    NoteRequest("asked to send again");
    Send(nowUs, 22, {});
    return;
  }

  const std::string& payload = packet->payload;
  if (packet->station != station_ && packet->code != 240) {
    if (packet->code == 1) {
      NoteRequest("station " + Number(packet->station) + " is not ours");
      Reply(nowUs, 241, Number(station_));
    } else {
      NoteRequest("for another station");
    }
    return;
  }

  switch (packet->code) {
    case 1:
      Reply(nowUs, 1, Number(options_.version));
      break;
    case 53:
      Reply(nowUs, 53, Number(options_.capacity));
      break;
    case 54:
      NoteRequest("sub station " + payload);
      Reply(nowUs, 54, {});
      break;
    case 9:
      transfer_ = Transfer{};
      transfer_.prepared = true;
      haveLastBlock_ = false;
      Reply(nowUs, 9, {});
      break;
    case 42: {
      // speed@speed@empty answers@mode, the mode plus 10 when storing.
      const size_t lastField = payload.rfind('@');
      const int mode = ReadDecimal(std::string_view(payload).substr(lastField == std::string::npos ? 0 : lastField + 1));
      transfer_.store = mode >= 10;
      NoteRequest(std::string("line settings, ") + (transfer_.store ? "storing" : "direct"));
      Reply(nowUs, 42, {});
      break;
    }
    case 44:
      transfer_.store = false;
      Reply(nowUs, 44, {});
      break;
    case 10:
      transfer_.blocks.clear();
      transfer_.ended = false;
      haveLastBlock_ = false;
      transfer_.wanted = options_.firstBlock;
      Reply(nowUs, 10, Number(options_.firstBlock));
      break;
    case 25:
      HandleBlock(nowUs, payload);
      break;
    case 254:
      HandleEnd(nowUs, payload);
      break;
    case 26:
      transfer_ = Transfer{};
      haveLastBlock_ = false;
      Note("download cancelled by the host");
      Reply(nowUs, 26, {});
      break;
    case 56:
      downloadKey_ = payload != "0";
      Reply(nowUs, 56, downloadKey_ ? "1" : "0");
      break;
    case 62:
      if (!box_.empty()) box_.pop_back();
      Reply(nowUs, 62, {});
      break;
    case 63:
      box_.clear();
      Reply(nowUs, 63, {});
      break;
    case 240: {
      const int station = ReadDecimal(payload);
      if (station >= 0 && station <= 255) {
        station_ = station;
        Note("station changed to " + Number(station));
      }
      Reply(nowUs, 240, {});
      break;
    }
    case 243:
      Reply(nowUs, 243, {});
      break;
    default:
      NoteRequest("not understood");
      break;
  }
}

void TransmitterSim::HandleBlock(int64_t nowUs, const std::string& block) {
  if (transfer_.wanted <= 0 || transfer_.ended) {
    NoteRequest("block not asked for");
    return;
  }
  // The request carries no block number: the block just taken, arriving again
  // while the next one is wanted, is the host resending after a lost reply.
  if (haveLastBlock_ && block == lastBlock_) {
    NoteRequest("block " + Number(transfer_.wanted - 1) + " again: asking for " + Number(transfer_.wanted));
    Reply(nowUs, 25, Number(transfer_.wanted));
    return;
  }
  auto& cancels = options_.faults.cancelAtBlock;
  if (auto cancel = cancels.find(transfer_.wanted); cancel != cancels.end()) {
    NoteRequest("cancelling with reason " + Number(cancel->second));
    Note("cancelled at block " + Number(transfer_.wanted) + " with reason " + Number(cancel->second));
    Send(nowUs, 55, Number(cancel->second));
    cancels.erase(cancel);
    transfer_ = Transfer{};
    haveLastBlock_ = false;
    return;
  }
  if (auto fault = FirstParityFault(block)) {
    NoteRequest("parity fault at byte " + Number(static_cast<long long>(*fault)) + ": asking again");
    Note("parity fault in block " + Number(transfer_.wanted));
    Reply(nowUs, 25, Number(transfer_.wanted));
    return;
  }
  if (!DecodeCode(block).ok) {
    NoteRequest("not a whole number of lines: cancelling");
    Note("block " + Number(transfer_.wanted) + " does not decode into lines");
    Send(nowUs, 55, "1");
    transfer_ = Transfer{};
    haveLastBlock_ = false;
    return;
  }
  NoteRequest("block " + Number(transfer_.wanted));
  transfer_.blocks.push_back(block);
  lastBlock_ = block;
  haveLastBlock_ = true;
  ++transfer_.wanted;
  Reply(nowUs, 25, Number(transfer_.wanted));
}

void TransmitterSim::HandleEnd(int64_t nowUs, const std::string& payload) {
  const int report = ReadDecimal(payload);
  if (transfer_.ended) {
    // The acknowledgement was lost and the host asks again.
    NoteRequest("end again");
    Reply(nowUs, 254, Number(transfer_.endReport));
    return;
  }
  if (transfer_.wanted <= 0) {
    NoteRequest("end without a transfer");
    return;
  }
  TxSimProgram program;
  program.store = transfer_.store;
  program.blocks = static_cast<int>(transfer_.blocks.size());
  program.reportedLines = report;
  for (const std::string& block : transfer_.blocks) program.code += block;
  DecodedCode decoded = DecodeCode(program.code, report);
  if (!decoded.ok || (report != 0 && static_cast<size_t>(report) != decoded.lines.size())) {
    NoteRequest("line count does not match: cancelling");
    Note("end reports " + Number(report) + " lines, " + Number(static_cast<long long>(decoded.lines.size())) +
         " received");
    Send(nowUs, 55, "1");
    transfer_ = Transfer{};
    haveLastBlock_ = false;
    return;
  }
  program.lines = std::move(decoded.lines);
  const int lines = static_cast<int>(program.lines.size());
  NoteRequest("end of data, " + Number(lines) + " lines");
  transfer_.ended = true;
  transfer_.endReport = lines;
  if (program.store) box_.push_back(program);
  const bool small = !program.store && program.blocks <= kSmallDirectBlocks;
  programs_.push_back(std::move(program));
  Reply(nowUs, 254, Number(lines));
  if (small) delayed_.push_back({nowUs + int64_t{options_.doneDelayMs} * 1000, BuildReplyFrame(59, {})});
}

void TransmitterSim::Reply(int64_t nowUs, uint8_t code, std::string_view payload) {
  std::string frame = BuildReplyFrame(code, payload);
  const TxSimFaults& faults = options_.faults;
  const int r = currentRequest_;
  const bool drop = Chance(faults.dropRate) || faults.dropAt.count(r);
  const bool corrupt = Chance(faults.corruptRate) || faults.corruptAt.count(r);
  const bool split = Chance(faults.splitRate) || faults.splitAt.count(r);
  const bool merge = Chance(faults.mergeRate) || faults.mergeAt.count(r);
  const uint32_t where = random_();
  if (drop) {
    Log(nowUs, false, frame, "dropped");
    return;
  }
  std::string note;
  if (corrupt) {
    // Flip one bit before the end byte (which the host does not examine),
    // until the frame no longer passes.
    uint32_t pick = where;
    do {
      const size_t at = pick % (frame.size() - 1);
      frame[at] = static_cast<char>(frame[at] ^ (1 << (pick / 7 % 8)));
      pick = random_();
    } while (ParseReplyFrame(frame));
    note = "corrupted";
  }
  if (split) {
    const size_t cut = 1 + where % (frame.size() - 1);
    Schedule(nowUs, frame.substr(0, cut), note.empty() ? "split" : note + ", split");
    Schedule(nowUs + int64_t{options_.splitGapMs} * 1000, frame.substr(cut), "rest of split");
    return;
  }
  if (merge) note = note.empty() ? "held to merge" : note + ", held to merge";
  Schedule(nowUs, std::move(frame), std::move(note), merge);
}

void TransmitterSim::Send(int64_t atUs, uint8_t code, std::string_view payload) {
  Schedule(atUs, BuildReplyFrame(code, payload));
}

void TransmitterSim::Schedule(int64_t atUs, std::string bytes, std::string note, bool held) {
  // The line carries one byte after the other: nothing overtakes what is
  // queued, and with pacing every byte takes its wire time.
  int64_t start = atUs;
  if (!writes_.empty() && !writes_.back().held) start = std::max(start, writes_.back().atUs);
  int64_t done = start;
  if (options_.pace) {
    done = std::max(start, txWireFreeUs_) + WireTimeUs(bytes.size());
    txWireFreeUs_ = done;
  }
  if (!writes_.empty() && writes_.back().held) {
    // A held reply goes out together with this frame, in one write.
    Write& w = writes_.back();
    w.bytes += bytes;
    w.atUs = std::max(done, w.readyUs);
    w.held = false;
    w.note += ", merged with the next frame";
    if (!note.empty()) w.note += ", " + note;
    return;
  }
  Write w;
  w.readyUs = done;
  w.atUs = held ? done + int64_t{options_.mergeHoldMs} * 1000 : done;
  w.bytes = std::move(bytes);
  w.note = std::move(note);
  w.held = held;
  writes_.push_back(std::move(w));
}

}  // namespace tramsel
