#include "link/link_rig.h"

#include <gtest/gtest.h>

namespace tramsel::test {

std::string Bytes(std::initializer_list<int> values) {
  std::string bytes;
  for (int v : values) bytes += static_cast<char>(v);
  return bytes;
}

// --- VirtualLoop ---

VirtualLoop::Id VirtualLoop::PostAt(int64_t at, std::function<void()> message) {
  const Id id = ++nextId_;
  queue_.emplace(std::make_pair(at, id), std::move(message));
  due_.emplace(id, at);
  return id;
}

void VirtualLoop::Cancel(Id id) {
  auto it = due_.find(id);
  if (it == due_.end()) return;
  queue_.erase({it->second, id});
  due_.erase(it);
}

void VirtualLoop::RunUntil(int64_t until) {
  RunUntilDone([] { return false; }, until);
}

bool VirtualLoop::RunUntilDone(const std::function<bool()>& done, int64_t limit) {
  while (!done()) {
    if (queue_.empty() || queue_.begin()->first.first > limit) {
      now_ = std::max(now_, limit);
      return false;
    }
    auto first = queue_.begin();
    std::function<void()> message = std::move(first->second);
    now_ = std::max(now_, first->first.first);
    due_.erase(first->first.second);
    queue_.erase(first);
    message();
  }
  return true;
}

// --- FakeSerial ---

bool FakeSerial::SetPortOpen(bool open) {
  if (open) {
    if (unopenable.count(commPort)) return false;
    openPort_ = commPort;
    opens.emplace_back(loop_.now(), commPort);
  }
  open_ = open;
  ++session_;
  input_.clear();
  receivePending_ = false;
  return true;
}

bool FakeSerial::Output(std::string_view frame) {
  EXPECT_TRUE(open_) << "written to a closed port";
  if (writesFail) return false;
  writes.push_back({loop_.now(), openPort_, std::string(frame)});
  // About a millisecond per byte at 9600 baud.
  const int64_t wireMs = static_cast<int64_t>(frame.size());
  const uint64_t session = session_;
  loop_.PostAt(loop_.now() + wireMs, [this, session] {
    if (session != session_ || !open_) return;
    Notify(CommEventSend);
  });
  if (auto it = transmitters.find(openPort_); it != transmitters.end()) {
    SimTransmitter* tx = it->second;
    loop_.PostAt(loop_.now() + wireMs, [tx, bytes = std::string(frame)] { tx->Receive(bytes); });
  }
  return true;
}

std::string FakeSerial::Input() {
  std::string bytes;
  bytes.swap(input_);
  return bytes;
}

void FakeSerial::Arrive(int port, std::string bytes, int64_t delayMs) {
  loop_.PostAt(loop_.now() + delayMs, [this, port, bytes = std::move(bytes)] {
    if (!open_ || openPort_ != port) return;
    input_ += bytes;
    // RThreshold 0 means no receive notifications.
    if (rThreshold <= 0 || static_cast<int>(input_.size()) < rThreshold || receivePending_) return;
    receivePending_ = true;
    const uint64_t session = session_;
    loop_.Post([this, session] {
      if (session != session_) return;
      receivePending_ = false;
      Notify(CommEventReceive);
    });
  });
}

void FakeSerial::Notify(int event) {
  commEvent_ = event;
  link_->OnCommEvent();
}

std::vector<int> FakeSerial::WrittenCodes() const {
  std::vector<int> codes;
  for (const Write& w : writes) codes.push_back(static_cast<uint8_t>(w.bytes[2]));
  return codes;
}

// --- FakeTimers ---

void FakeTimers::SetTimer(int id, int periodMs) {
  KillTimer(id);
  windowTimers_[id] = loop_.PostAt(loop_.now() + periodMs, [this, id, periodMs] { Fire(id, periodMs); });
}

void FakeTimers::KillTimer(int id) {
  auto it = windowTimers_.find(id);
  if (it == windowTimers_.end()) return;
  loop_.Cancel(it->second);
  windowTimers_.erase(it);
}

void FakeTimers::Fire(int id, int periodMs) {
  // A window timer keeps running until killed.
  windowTimers_[id] = loop_.PostAt(loop_.now() + periodMs, [this, id, periodMs] { Fire(id, periodMs); });
  if (id == kRequestPollTimer) link_->OnRequestPollTick();
  if (id == kSupervisorTimer) link_->OnSupervisorTick();
}

ReplyTimerHandle FakeTimers::ArmReplyTimer(int ms) {
  ++periodsBegun;
  if (!armed.empty()) ++faults;
  const ReplyTimerHandle handle = ++lastHandle_;
  armed[handle] = loop_.PostAt(loop_.now() + ms, [this, handle] { link_->OnReplyTimeout(handle); });
  armedLengths.push_back(ms);
  return handle;
}

void FakeTimers::DisarmReplyTimer(ReplyTimerHandle handle) {
  ++periodsEnded;
  auto it = armed.find(handle);
  if (it == armed.end()) {
    ++faults;
    return;
  }
  loop_.Cancel(it->second);
  armed.erase(it);
}

// --- FakeUi ---

void FakeUi::Box(Kind kind, TextView caption, TextView text) {
  events.push_back({kind, Text(caption), Text(text), loop_.now()});
  loop_.RunFor(operatorMs);
}

bool FakeUi::Ask(TextView caption, TextView text) {
  Box(Question, caption, text);
  if (answers.empty()) return true;
  const bool answer = answers.front();
  answers.pop_front();
  return answer;
}

std::vector<Text> FakeUi::Texts(Kind kind) const {
  std::vector<Text> texts;
  for (const Event& e : events) {
    if (e.kind == kind) texts.push_back(e.text);
  }
  return texts;
}

std::optional<Text> FakeUi::LastStatus() const {
  std::vector<Text> statuses = Statuses();
  if (statuses.empty()) return std::nullopt;
  return statuses.back();
}

// --- FakeWindows ---


void FakeWindows::RunSendCodeDialog(SendCodeProgress& progress) {
  ++opened;
  const uint64_t dialog = ++dialog_;
  progress_.emplace(progress);
  visible_ = true;
  endedWithOk = false;
  cancelled = false;
  lengthText = progress.LengthText();
  rangeHigh = progress.RangeHigh();
  position = 0;
  percentTexts.clear();
  loop_.PostAt(loop_.now() + SendCodeProgress::kTimerPeriodMs, [this, dialog] { Tick(dialog); });
  if (!modal) return;
  loop_.RunUntilDone([this] { return !visible_; }, loop_.now() + 600000);
  Close();
}

// Timers 1 and 2 of the dialog, every 100 ms while it is open.
void FakeWindows::Tick(uint64_t dialog) {
  if (dialog != dialog_) return;
  progress_->OnElapsedTick();
  SendCodeProgress::PercentTick shown = progress_->OnPercentTick();
  if (shown.position) position = shown.position;
  if (percentTexts.empty() || percentTexts.back() != shown.text) percentTexts.push_back(shown.text);
  if (cancelWhen && cancelWhen()) {
    // "取消": the dialog posts EVENT_SEND_CANCEL and closes itself.
    cancelled = true;
    Close();
    loop_.Post([this] { link_->OnSendCancelEvent(); });
    return;
  }
  loop_.PostAt(loop_.now() + SendCodeProgress::kTimerPeriodMs, [this, dialog] { Tick(dialog); });
}

void FakeWindows::EndSendCodeDialog() {
  endedWithOk = true;
  Close();
}

void FakeWindows::Close() {
  visible_ = false;
  ++dialog_;
}

// --- FakeDocument ---

void FakeDocument::SetBlocks(int n) {
  image.clear();
  for (int k = 1; k <= n; ++k) {
    std::string block;
    for (int line = 0; line < 5; ++line) {
      std::string code = "LF@L@LF@][";
      code[1] = static_cast<char>('@' + (k + line) % 16);
      image.lines.push_back(code);
      block += code;
    }
    image.blocks.push_back(block);
  }
  image.lineCount = static_cast<int>(image.lines.size());
}

// --- SimTransmitter ---

void SimTransmitter::Reply(int code, std::string_view payload, int64_t delayMs) {
  SendBytes(BuildReplyFrame(static_cast<uint8_t>(code), payload), delayMs);
}

void SimTransmitter::SendBytes(std::string bytes, int64_t delayMs) {
  serial_.Arrive(port_, std::move(bytes), delayMs < 0 ? replyDelayMs : delayMs);
}

std::vector<int> SimTransmitter::Codes() const {
  std::vector<int> codes;
  for (const Request& r : requests) codes.push_back(r.packet.code);
  return codes;
}

const LinkPacket* SimTransmitter::Last(int code) const {
  for (auto it = requests.rbegin(); it != requests.rend(); ++it) {
    if (it->packet.code == code) return &it->packet;
  }
  return nullptr;
}

void SimTransmitter::Receive(const std::string& frame) {
  std::optional<LinkPacket> request = ParseRequestFrame(frame);
  EXPECT_TRUE(request) << "malformed request";
  if (!request) return;
  requests.push_back({loop_.now(), *request});
  if (intercept && intercept(*request)) return;
  const int code = request->code;
  if (silent.count(code)) return;
  const std::string& payload = request->payload;
  switch (code) {
    case CmdConnect:
      if (request->station == station) {
        Reply(CmdConnect, std::to_string(version));
      } else {
        Reply(TxNewTransmitter, "");
      }
      break;
    case CmdAssignStation:
      station = ReadDecimal(payload);
      Reply(code, "");
      break;
    case CmdPacketCapacity: Reply(code, std::to_string(capacity)); break;
    case CmdPrepareDownload:
      direct = false;
      Reply(code, "");
      break;
    case CmdLineSettings:
      lineSettings = payload;
      Reply(code, "");
      break;
    case CmdStartDirect:
      direct = true;
      Reply(code, "");
      break;
    case CmdFirstBlock:
      blocks.clear();
      asked_ = 1;
      Reply(code, "1");
      break;
    case CmdBlock:
      if (asked_ >= 1 && static_cast<int>(blocks.size()) == asked_ - 1) blocks.push_back(payload);
      ++asked_;
      Reply(code, std::to_string(asked_));
      break;
    case CmdEndOfData:
      lineCountReport = payload;
      Reply(code, "");
      if (direct && blocks.size() <= 5) Reply(TxDelivered, "", replyDelayMs + deliveredDelayMs);
      break;
    case CmdDownloadKey: Reply(code, std::to_string(keyAnswer.value_or(ReadDecimal(payload)))); break;
    default: Reply(code, ""); break;
  }
}

// --- LinkRig ---

LinkRig::LinkRig() : codec(MakeIconvCodec("CP936")) {
  link = std::make_unique<TransmitterLink>(
      LinkHost{serial, ports, timers, waits, ui, windows, document, *codec}, machines, settings);
  serial.Attach(*link);
  timers.Attach(*link);
  windows.Attach(*link);
  ports.names = {u"COM3"};
  ports.ch341 = {3};
  serial.transmitters[3] = &tx;
  document.SetBlocks(3);
  link->StartRequestPoller();
}

LinkRig::~LinkRig() {
  EXPECT_EQ(timers.faults, 0) << "reply timer armed while armed, or disarmed while not armed";
}

std::vector<int64_t> LinkRig::WriteTimes(int code) const {
  std::vector<int64_t> times;
  for (const FakeSerial::Write& w : serial.writes) {
    if (static_cast<uint8_t>(w.bytes[2]) == code) times.push_back(w.at);
  }
  return times;
}

std::vector<int64_t> LinkRig::Gaps(int code) const {
  std::vector<int64_t> times = WriteTimes(code), gaps;
  for (size_t i = 1; i < times.size(); ++i) gaps.push_back(times[i] - times[i - 1]);
  return gaps;
}

}  // namespace tramsel::test
