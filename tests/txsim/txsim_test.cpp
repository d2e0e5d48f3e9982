#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/link_packet.h"
#include "txsim/code_decoder.h"
#include "txsim/transmitter_sim.h"

namespace tramsel {
namespace {

std::string Request(int station, int command, std::string_view payload = {}) {
  return *BuildRequestFrame(static_cast<uint8_t>(station), static_cast<uint8_t>(command), payload);
}

TEST(RequestFrameReader, CutsFramesOutOfTheStream) {
  const std::string connect = Request(2, 1);
  const std::string block = Request(2, 25, "LF@L@LF@][");
  struct Case {
    const char* name;
    std::vector<std::string> chunks;
    std::vector<std::string> frames;
  } cases[] = {
      {"whole", {connect}, {connect}},
      {"split over reads", {block.substr(0, 4), block.substr(4, 5), block.substr(9)}, {block}},
      {"two in one read", {connect + block}, {connect, block}},
      {"garbage before", {std::string("\x03\x01\xFF\x00", 4) + connect}, {connect}},
      {"damaged frame skipped", {block.substr(0, block.size() - 2) + "\x7F\x03" + connect}, {connect}},
      {"partial kept", {block.substr(0, block.size() - 1)}, {}},
  };
  for (const Case& c : cases) {
    RequestFrameReader reader;
    std::vector<std::string> got;
    for (const std::string& chunk : c.chunks) {
      reader.Append(chunk);
      while (auto frame = reader.Next()) got.push_back(*frame);
    }
    EXPECT_EQ(got, c.frames) << c.name;
  }
}

TEST(RequestFrameReader, GarbageDoesNotPileUp) {
  RequestFrameReader reader;
  reader.Append(std::string(5000, '\x01'));
  EXPECT_FALSE(reader.Next());
  const std::string connect = Request(2, 1);
  reader.Append(connect);
  EXPECT_EQ(reader.Next(), connect);
}

TEST(CodeDecoder, CodeStringsBackToLines) {
  struct Case {
    std::string code;
    int expectedLines;
    std::vector<std::string> lines;
  } cases[] = {
      {"LF@L@LF@][", 0, {"B60B0B60GXL3"}},
      {"LF@L@LF@][L", 0, {"B60B0B60GXL3J"}},
      // A jump marker before a line with an empty x: four separators up to the axis.
      {"LQLRLC]XLLLLQ^Q", 0, {"B1B2B3GXL1J", "BBB1GYSR3"}},
      {"LQLRLC]XLLLQ^Q", 0, {"B1B2B3GXL1", "BBB1GYSR3"}},
      {"LQLRLC]XLLQLR^Q", 0, {"B1B2B3GXL1", "BB1B2GYSR3"}},
      {"LQLRLC]XLO", 0, {"B1B2B3GXL1J", "D"}},
      {"LLLJE", 0, {"BBBGUNR1"}},
      {"LQLRLC[T", 0, {"B1B2B3GVNR4"}},
      {"O", 0, {"D"}},
      {"OO", 0, {"DD"}},
      {"OOO", 0, {"D", "DD"}},
      {"OO", 2, {"D", "D"}},
      {"OO", 1, {"DD"}},
      {"", 0, {}},
  };
  for (const Case& c : cases) {
    DecodedCode decoded = DecodeCode(c.code, c.expectedLines);
    EXPECT_TRUE(decoded.ok) << c.code;
    EXPECT_EQ(decoded.lines, c.lines) << c.code;
  }
}

TEST(CodeDecoder, FaultsAreFound) {
  // Every symbol has exactly one byte; its neighbours with one bit changed are faults.
  for (int v = 0; v < 16; ++v) {
    const int byte = 0x40 + v + 16 * (__builtin_popcount(v) & 1);
    EXPECT_EQ(CodeSymbol(static_cast<uint8_t>(byte)), v);
    for (int bit = 0; bit < 8; ++bit) EXPECT_FALSE(CodeSymbol(static_cast<uint8_t>(byte ^ (1 << bit))));
  }
  EXPECT_EQ(FirstParityFault("LF@L@"), std::nullopt);
  EXPECT_EQ(FirstParityFault("LFAL@"), 2u);
  for (const char* broken : {"LF@L@LF@]", "LF@L@LF@", "LF@]L", "QLL]X", "LLLLL]X", "LQLRLC]XLL"}) {
    EXPECT_FALSE(DecodeCode(broken).ok) << broken;
  }
}

// A host on the simulator's virtual clock: every request is read at once and
// the writes due then are taken as replies.
class SimHost {
 public:
  explicit SimHost(TxSimOptions options = {}) : sim_(std::move(options)) {}

  std::vector<LinkPacket> Send(int station, int command, std::string_view payload = {}) {
    sim_.Receive(now_, Request(station, command, payload));
    return Replies();
  }
  std::vector<LinkPacket> Replies() { return Parse(Raw()); }
  // The writes due now, as written.
  std::vector<std::string> Raw() { return sim_.Poll(now_); }
  void Advance(int64_t us) { now_ += us; }
  // Runs the clock to the next write and answers it.
  std::vector<LinkPacket> Wait() {
    while (auto due = sim_.NextDue()) {
      now_ = *due;
      auto replies = Replies();
      if (!replies.empty()) return replies;
    }
    return {};
  }
  TransmitterSim& sim() { return sim_; }
  int64_t now() const { return now_; }

  static std::vector<LinkPacket> Parse(const std::vector<std::string>& writes) {
    ReceiveBuffer buffer;
    std::vector<LinkPacket> packets;
    for (const std::string& w : writes) {
      buffer.Append(w);
      while (auto frame = buffer.NextFrame()) packets.push_back(*ParseReplyFrame(*frame));
    }
    return packets;
  }

  // 9, 42 and the start: ready for the answer to 10.
  void Prepare(bool store) {
    Send(2, 9, "0");
    Send(2, 42, store ? "100@100@10@11" : "100@100@10@1");
    if (!store) Send(2, 44, "1");
  }

 private:
  TransmitterSim sim_;
  int64_t now_ = 0;
};

struct Reply {
  int code;
  std::string payload;
  bool operator==(const Reply&) const = default;
};
std::vector<Reply> Codes(const std::vector<LinkPacket>& packets) {
  std::vector<Reply> out;
  for (const LinkPacket& p : packets) out.push_back({p.code, p.payload});
  return out;
}
void PrintTo(const Reply& r, std::ostream* os) { *os << r.code << " \"" << r.payload << "\""; }

TEST(TransmitterSim, AnswersTheConnectionAndManagementRequests) {
  TxSimOptions options;
  options.station = 3;
  options.version = 150;
  options.capacity = 80;
  SimHost host(options);
  struct Step {
    int station, command;
    const char* payload;
    std::vector<Reply> replies;
  } steps[] = {
      {3, 1, "", {{1, "150"}}},
      {2, 1, "", {{241, "3"}}},
      {2, 53, "", {}},  // another station's request is not ours to answer
      {3, 53, "", {{53, "80"}}},
      {3, 54, "1", {{54, ""}}},
      {3, 56, "0", {{56, "0"}}},
      {3, 56, "1", {{56, "1"}}},
      {3, 62, "0", {{62, ""}}},
      {3, 63, "1", {{63, ""}}},
      {3, 243, "0", {{243, ""}}},
      {9, 240, "9", {{240, ""}}},
      {9, 1, "", {{1, "150"}}},
      {3, 1, "", {{241, "9"}}},
      {9, 77, "", {}},
  };
  for (const Step& s : steps) {
    EXPECT_EQ(Codes(host.Send(s.station, s.command, s.payload)), s.replies) << s.command;
  }
}

TEST(TransmitterSim, StoresAProgramAskingForBlocksInTurn) {
  SimHost host;
  host.Prepare(true);
  EXPECT_EQ(Codes(host.Send(2, 10)), (std::vector<Reply>{{10, "1"}}));
  EXPECT_EQ(Codes(host.Send(2, 25, "LF@L@LF@][")), (std::vector<Reply>{{25, "2"}}));
  // The same block again while block 2 is wanted: the host lost the reply.
  EXPECT_EQ(Codes(host.Send(2, 25, "LF@L@LF@][")), (std::vector<Reply>{{25, "2"}}));
  // A parity fault asks for the same block again.
  EXPECT_EQ(Codes(host.Send(2, 25, "LQLRLA]X")), (std::vector<Reply>{{25, "2"}}));
  EXPECT_EQ(Codes(host.Send(2, 25, "LQLRLC]XO")), (std::vector<Reply>{{25, "3"}}));
  EXPECT_EQ(Codes(host.Send(2, 25, "OO")), (std::vector<Reply>{{25, "4"}}));
  EXPECT_EQ(Codes(host.Send(2, 254, "4")), (std::vector<Reply>{{254, "4"}}));
  EXPECT_EQ(Codes(host.Send(2, 254, "4")), (std::vector<Reply>{{254, "4"}}));  // its reply was lost
  EXPECT_FALSE(host.sim().NextDue());  // no 59 when storing

  auto programs = host.sim().TakePrograms();
  ASSERT_EQ(programs.size(), 1u);
  EXPECT_TRUE(programs[0].store);
  EXPECT_EQ(programs[0].blocks, 3);
  EXPECT_EQ(programs[0].lines, (std::vector<std::string>{"B60B0B60GXL3", "B1B2B3GXL1", "D", "DD"}));
  EXPECT_EQ(host.sim().box().size(), 1u);
  host.Send(2, 62, "0");
  EXPECT_TRUE(host.sim().box().empty());
}

TEST(TransmitterSim, SmallDirectTransfersEndWith59) {
  for (int blocks : {1, 5, 6}) {
    TxSimOptions options;
    options.doneDelayMs = 250;
    SimHost host(options);
    host.Prepare(false);
    host.Send(2, 10);
    // x grows from block to block: no two blocks alike.
    for (int b = 1; b <= blocks; ++b) host.Send(2, 25, "L" + std::string(b, 'Q') + "LRLC]X");
    ASSERT_EQ(Codes(host.Send(2, 254, "0")), (std::vector<Reply>{{254, std::to_string(blocks)}})) << blocks;
    const int64_t end = host.now();
    std::vector<LinkPacket> later = host.Wait();
    if (blocks <= 5) {
      EXPECT_EQ(Codes(later), (std::vector<Reply>{{59, ""}})) << blocks;
      EXPECT_EQ(host.now() - end, 250'000);
    } else {
      EXPECT_TRUE(later.empty()) << blocks;
    }
  }
}

TEST(TransmitterSim, WrongLineCountOrUndecodableBlockCancels) {
  {
    SimHost host;
    host.Prepare(true);
    host.Send(2, 10);
    host.Send(2, 25, "LF@L@LF@][");
    EXPECT_EQ(Codes(host.Send(2, 254, "3")), (std::vector<Reply>{{55, "1"}}));
    EXPECT_TRUE(host.sim().TakePrograms().empty());
  }
  {
    SimHost host;
    host.Prepare(true);
    host.Send(2, 10);
    EXPECT_EQ(Codes(host.Send(2, 25, "LF@L@LF@]")), (std::vector<Reply>{{55, "1"}}));
  }
}

TEST(TransmitterSim, InjectedTransmitterFrames) {
  TxSimOptions options;
  options.faults.busyAt[2] = 3000;
  options.faults.repeatAt = {3};
  options.faults.cancelAtBlock[2] = 14;
  SimHost host(options);
  EXPECT_EQ(Codes(host.Send(2, 9, "0")), (std::vector<Reply>{{9, ""}}));             // request 1
  EXPECT_EQ(Codes(host.Send(2, 42, "100@100@10@11")), (std::vector<Reply>{{21, "3000"}}));
  EXPECT_EQ(Codes(host.Send(2, 42, "100@100@10@11")), (std::vector<Reply>{{22, ""}}));
  EXPECT_EQ(Codes(host.Send(2, 42, "100@100@10@11")), (std::vector<Reply>{{42, ""}}));
  host.Send(2, 10);
  EXPECT_EQ(Codes(host.Send(2, 25, "LF@L@LF@][")), (std::vector<Reply>{{25, "2"}}));
  EXPECT_EQ(Codes(host.Send(2, 25, "LQLRLC]X")), (std::vector<Reply>{{55, "14"}}));
  // The transfer is over: further blocks are not taken.
  EXPECT_TRUE(host.Send(2, 25, "LQLRLC]X").empty());
}

TEST(TransmitterSim, ReplyFaultsAtGivenRequests) {
  TxSimOptions options;
  options.faults.dropAt = {1};
  options.faults.corruptAt = {2};
  options.faults.splitAt = {3};
  options.faults.mergeAt = {4};
  options.faults.silentFrom = 6;
  SimHost host(options);
  const std::string capacity = BuildReplyFrame(53, "64");

  EXPECT_TRUE(host.Send(2, 53).empty());

  host.sim().Receive(host.now(), Request(2, 53));
  auto corrupted = host.Raw();
  ASSERT_EQ(corrupted.size(), 1u);
  EXPECT_EQ(corrupted[0].size(), capacity.size());
  EXPECT_NE(corrupted[0], capacity);
  EXPECT_FALSE(ParseReplyFrame(corrupted[0]));

  host.sim().Receive(host.now(), Request(2, 53));
  auto first = host.Raw();
  ASSERT_EQ(first.size(), 1u);
  host.Advance(20'000);
  auto rest = host.Raw();
  ASSERT_EQ(rest.size(), 1u);
  EXPECT_EQ(first[0] + rest[0], capacity);

  // Held, then written in one piece with the next reply.
  host.sim().Receive(host.now(), Request(2, 53));
  EXPECT_TRUE(host.Raw().empty());
  host.Advance(10'000);
  host.sim().Receive(host.now(), Request(2, 54, "1"));
  auto merged = host.Raw();
  ASSERT_EQ(merged.size(), 1u);
  EXPECT_EQ(merged[0], capacity + BuildReplyFrame(54, {}));

  EXPECT_TRUE(host.Send(2, 53).empty());
  EXPECT_FALSE(host.sim().NextDue());
}

TEST(TransmitterSim, RatesFollowTheSeed) {
  auto run = [](uint32_t seed) {
    TxSimOptions options;
    options.seed = seed;
    options.faults.dropRate = 0.3;
    SimHost host(options);
    std::string answered;
    for (int i = 0; i < 200; ++i) answered += host.Send(2, 53).empty() ? '-' : '+';
    return answered;
  };
  const std::string a = run(7);
  EXPECT_EQ(a, run(7));
  EXPECT_NE(a, run(8));
  const auto lost = std::count(a.begin(), a.end(), '-');
  EXPECT_GT(lost, 30);
  EXPECT_LT(lost, 90);
}

TEST(TransmitterSim, PacingTakesTheWireTime) {
  TxSimOptions options;
  options.pace = true;
  SimHost host(options);
  const std::string request = Request(2, 53);
  host.sim().Receive(0, request);
  EXPECT_TRUE(host.Raw().empty());  // its last byte is still on the way
  auto replies = host.Wait();
  ASSERT_EQ(replies.size(), 1u);
  const size_t replyBytes = BuildReplyFrame(53, "64").size();
  EXPECT_EQ(host.now(), TransmitterSim::WireTimeUs(request.size()) + TransmitterSim::WireTimeUs(replyBytes));
}

}  // namespace
}  // namespace tramsel
