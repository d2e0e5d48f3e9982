// A host for the link on a virtual clock: one event loop that stands for the
// user-interface thread's message queue, simulated serial ports with a
// transmitter on one of them, and fakes of the operator's boxes, the timers,
// the waits and the progress dialog. Boxes, WaitPumping and the dialog run
// the same loop while they are open, so handlers are re-entered as on the
// real thread.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "code3b/code_image.h"
#include "common/text_codec.h"
#include "config/app_settings.h"
#include "config/mac_table.h"
#include "link/link_packet.h"
#include "link/transmitter_link.h"

namespace tramsel::test {

std::string Bytes(std::initializer_list<int> values);

class VirtualLoop {
 public:
  using Id = uint64_t;

  int64_t now() const { return now_; }
  Id PostAt(int64_t at, std::function<void()> message);
  Id Post(std::function<void()> message) { return PostAt(now_, std::move(message)); }
  void Cancel(Id id);
  // Dispatches, in time order, every message due up to `until`; the clock
  // then reads `until` (or later, when a nested wait went further).
  void RunUntil(int64_t until);
  void RunFor(int64_t ms) { RunUntil(now_ + ms); }
  // Dispatches until done() holds or the next message lies beyond `limit`.
  bool RunUntilDone(const std::function<bool()>& done, int64_t limit);
  // A plain sleep: time passes, nothing is dispatched.
  void Advance(int64_t ms) { now_ += ms; }

 private:
  std::map<std::pair<int64_t, Id>, std::function<void()>> queue_;
  std::map<Id, int64_t> due_;
  int64_t now_ = 0;
  Id nextId_ = 0;
};

class SimTransmitter;

class FakeSerial : public SerialControl {
 public:
  struct Write {
    int64_t at;
    int port;
    std::string bytes;
  };

  explicit FakeSerial(VirtualLoop& loop) : loop_(loop) {}
  void Attach(TransmitterLink& link) { link_ = &link; }

  void SetCommPort(int number) override { commPort = number; }
  int CommPort() const override { return commPort; }
  void SetInBufferSize(int bytes) override { inBufferSize = bytes; }
  void SetOutBufferSize(int bytes) override { outBufferSize = bytes; }
  void SetInputLen(int bytes) override { inputLen = bytes; }
  void SetInputMode(int mode) override { inputMode = mode; }
  void SetSettings(std::string_view value) override { settings = value; }
  void SetRThreshold(int bytes) override { rThreshold = bytes; }
  void SetSThreshold(int bytes) override { sThreshold = bytes; }
  bool SetPortOpen(bool open) override;
  bool PortOpen() const override { return open_; }
  bool Output(std::string_view frame) override;
  std::string Input() override;
  int CommEvent() const override { return commEvent_; }

  // Bytes reach the port's line `delayMs` from now; a closed port loses them.
  void Arrive(int port, std::string bytes, int64_t delayMs);
  // Delivers a notification at once, as a control would.
  void Notify(int event);

  int openPort() const { return open_ ? openPort_ : 0; }
  std::vector<int> WrittenCodes() const;

  std::map<int, SimTransmitter*> transmitters;  // what answers on each port
  std::set<int> unopenable;                     // ports in use or gone
  bool writesFail = false;
  std::vector<Write> writes;
  std::vector<std::pair<int64_t, int>> opens;  // time, port

  int commPort = 0, inBufferSize = 0, outBufferSize = 0, inputLen = -1, inputMode = 0;
  int rThreshold = 0, sThreshold = 0;
  std::string settings;

 private:
  VirtualLoop& loop_;
  TransmitterLink* link_ = nullptr;
  bool open_ = false;
  int openPort_ = 0;
  uint64_t session_ = 0;  // each open and close starts a new one
  std::string input_;
  bool receivePending_ = false;
  int commEvent_ = 0;
};

class FakePorts : public PortDirectory {
 public:
  std::optional<std::vector<Text>> ListPorts() override {
    if (!readable) return std::nullopt;
    return names;
  }
  bool IsCh341(int number) override {
    queried.push_back(number);
    return ch341.count(number) > 0;
  }

  std::vector<Text> names;
  std::set<int> ch341;
  bool readable = true;
  std::vector<int> queried;
};

class FakeTimers : public LinkTimers {
 public:
  explicit FakeTimers(VirtualLoop& loop) : loop_(loop) {}
  void Attach(TransmitterLink& link) { link_ = &link; }

  void SetTimer(int id, int periodMs) override;
  void KillTimer(int id) override;
  ReplyTimerHandle ArmReplyTimer(int ms) override;
  void DisarmReplyTimer(ReplyTimerHandle handle) override;

  bool Running(int id) const { return windowTimers_.count(id) > 0; }

  // The 1 ms resolution periods: begun by every arming, ended by every disarming.
  int periodsBegun = 0;
  int periodsEnded = 0;
  // Armings over one still armed, and disarmings of what was not armed.
  int faults = 0;
  std::map<ReplyTimerHandle, VirtualLoop::Id> armed;
  std::vector<int> armedLengths;

 private:
  void Fire(int id, int periodMs);

  VirtualLoop& loop_;
  TransmitterLink* link_ = nullptr;
  std::map<int, VirtualLoop::Id> windowTimers_;
  ReplyTimerHandle lastHandle_ = 0;
};

class FakeWaits : public LinkWaits {
 public:
  explicit FakeWaits(VirtualLoop& loop) : loop_(loop) {}
  void WaitPumping(int ms) override {
    pumped.push_back(ms);
    loop_.RunFor(ms);
  }
  void Sleep(int ms) override {
    slept.push_back(ms);
    loop_.Advance(ms);
  }
  std::vector<int> pumped, slept;

 private:
  VirtualLoop& loop_;
};

class FakeUi : public OperatorUi {
 public:
  enum Kind { Status, Message, Question };
  struct Event {
    Kind kind;
    Text caption;
    Text text;
    int64_t at;
  };

  explicit FakeUi(VirtualLoop& loop) : loop_(loop) {}

  void ShowMessage(TextView text) override { Box(Message, u"", text); }
  void ShowCaptionedMessage(TextView caption, TextView text) override { Box(Message, caption, text); }
  bool Ask(TextView caption, TextView text) override;
  void SetStatusText(TextView text) override { events.push_back({Status, u"", Text(text), loop_.now()}); }

  std::vector<Text> Texts(Kind kind) const;
  std::vector<Text> Messages() const { return Texts(Message); }
  std::vector<Text> Statuses() const { return Texts(Status); }
  std::vector<Text> Questions() const { return Texts(Question); }
  std::optional<Text> LastStatus() const;

  std::vector<Event> events;
  std::deque<bool> answers;  // for the questions, in order; OK when none is left
  int64_t operatorMs = 0;    // how long each box stays open

 private:
  void Box(Kind kind, TextView caption, TextView text);
  VirtualLoop& loop_;
};

class FakeWindows : public TransferWindows {
 public:
  explicit FakeWindows(VirtualLoop& loop) : loop_(loop) {}
  void Attach(TransmitterLink& link) { link_ = &link; }

  void PostSendReady() override { loop_.Post([this] { link_->OnSendReadyEvent(); }); }
  void RunSendCodeDialog(SendCodeProgress& progress) override;
  bool SendCodeDialogVisible() const override { return visible_; }
  void EndSendCodeDialog() override;

  // Modal: the transfer runs inside the dialog's loop, as on Windows.
  // Otherwise the dialog only shows while the caller's loop goes on.
  bool modal = true;
  // The operator presses "取消" once this holds (looked at every 100 ms).
  std::function<bool()> cancelWhen;

  int opened = 0;
  bool endedWithOk = false;
  bool cancelled = false;
  Text lengthText;
  int rangeHigh = -1;
  std::vector<Text> percentTexts;  // each text of 1053 as it changed
  std::optional<int> position;

 private:
  void Tick(uint64_t dialog);
  void Close();

  VirtualLoop& loop_;
  TransmitterLink* link_ = nullptr;
  std::optional<SendCodeProgress> progress_;
  bool visible_ = false;
  uint64_t dialog_ = 0;
};

class FakeDocument : public TransferDocument {
 public:
  bool ParseCodeDocument() override {
    ++parses;
    return parseOk;
  }
  bool BuildCodeImage(int packetCapacity) override {
    builtForCapacity = packetCapacity;
    return buildOk;
  }
  const CodeImage& Image() const override { return image; }
  int EditorTextLength() const override { return textLength; }

  // An image of n distinct blocks of five lines each.
  void SetBlocks(int n);

  bool parseOk = true, buildOk = true;
  int parses = 0;
  int builtForCapacity = -1;
  CodeImage image;
  int textLength = 393;
};

// Plays a transmitter on one port, as the host's side of the protocol shows it.
class SimTransmitter {
 public:
  struct Request {
    int64_t at;
    LinkPacket packet;
  };

  SimTransmitter(VirtualLoop& loop, FakeSerial& serial, int port)
      : loop_(loop), serial_(serial), port_(port) {}

  void Receive(const std::string& frame);
  // A whole reply frame, arriving delayMs from now.
  void Reply(int code, std::string_view payload, int64_t delayMs = -1);
  void SendBytes(std::string bytes, int64_t delayMs = -1);

  std::vector<int> Codes() const;
  const LinkPacket* Last(int code) const;

  int station = 2;
  int version = 210;
  int capacity = 64;
  int64_t replyDelayMs = 10;
  int64_t deliveredDelayMs = 300;
  std::optional<int> keyAnswer;  // otherwise the key takes the state asked for
  std::set<int> silent;          // request codes left unanswered
  // Sees every request first; true when it has answered it itself.
  std::function<bool(const LinkPacket&)> intercept;

  std::vector<Request> requests;
  std::vector<std::string> blocks;  // block n is blocks[n - 1]
  std::string lineSettings, lineCountReport;
  bool direct = false;

 private:
  VirtualLoop& loop_;
  FakeSerial& serial_;
  int port_;
  int asked_ = 0;
};

// One machine (master station 2, sub station 1) and one CH341 port, COM3,
// with a transmitter at station 2 on it; the request poller runs from 0 ms.
class LinkRig {
 public:
  LinkRig();
  // Every rig ends with the reply timer's armings and disarmings in balance.
  ~LinkRig();

  void RunFor(int64_t ms) { loop.RunFor(ms); }
  bool RunUntil(const std::function<bool()>& done, int64_t limitMs = 120000) {
    return loop.RunUntilDone(done, loop.now() + limitMs);
  }
  // Times of the writes of one request code, and the gaps between them.
  std::vector<int64_t> WriteTimes(int code) const;
  std::vector<int64_t> Gaps(int code) const;
  bool PortOpen() const { return serial.PortOpen(); }
  const LinkSession& session() const { return link->session(); }

  VirtualLoop loop;
  FakeSerial serial{loop};
  FakePorts ports;
  FakeTimers timers{loop};
  FakeWaits waits{loop};
  FakeUi ui{loop};
  FakeWindows windows{loop};
  FakeDocument document;
  std::unique_ptr<TextCodec> codec;
  MacTable machines;
  AppSettings settings;
  std::unique_ptr<TransmitterLink> link;
  SimTransmitter tx{loop, serial, 3};
};

}  // namespace tramsel::test
