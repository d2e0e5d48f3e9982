#include "link/link_packet.h"

#include <gtest/gtest.h>

namespace tramsel {
namespace {

std::string Bytes(std::initializer_list<int> values) {
  std::string bytes;
  for (int v : values) bytes += static_cast<char>(v);
  return bytes;
}

TEST(LinkPacket, RequestFramesOnTheWire) {
  struct Case {
    int station, command;
    const char* payload;
    std::string frame;
  } cases[] = {
      {2, 1, "", Bytes({0x02, 0x01, 0x01, 0x04, 0x03})},
      {2, 62, "0", Bytes({0x02, 0x01, 0x3E, 0x30, 0x00, 0x71, 0x03})},
      {254, 1, "", Bytes({0xFE, 0x01, 0x01, 0x01, 0x03})},  // sum 256: checksum 1
      {2, 56, "0", Bytes({0x02, 0x01, 0x38, 0x30, 0x00, 0x6B, 0x03})},
  };
  for (const Case& c : cases) {
    auto frame = BuildRequestFrame(c.station, c.command, c.payload);
    ASSERT_TRUE(frame);
    EXPECT_EQ(*frame, c.frame) << c.command;
    auto parsed = ParseRequestFrame(*frame);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->station, c.station);
    EXPECT_EQ(parsed->code, c.command);
    EXPECT_EQ(parsed->payload, c.payload);
  }
}

TEST(LinkPacket, PayloadLimitIsWhatTheFrameHolds) {
  EXPECT_EQ(BuildRequestFrame(2, 25, std::string(kMaxRequestPayload, 'L'))->size(), kMaxRequestFrame);
  EXPECT_FALSE(BuildRequestFrame(2, 25, std::string(kMaxRequestPayload + 1, 'L')));
}

TEST(LinkPacket, ReplyFramesAreCheckedByLeadLengthAndChecksum) {
  const std::string capacity = Bytes({0x01, 0x00, 0x35, 0x36, 0x34, 0xA0, 0x03});
  auto packet = ParseReplyFrame(capacity);
  ASSERT_TRUE(packet);
  EXPECT_EQ(packet->code, 53);
  EXPECT_EQ(packet->payload, "64");
  EXPECT_EQ(BuildReplyFrame(53, "64"), capacity);

  std::string corrupted = capacity;
  corrupted[5] = 0xA1;
  EXPECT_FALSE(ParseReplyFrame(corrupted));
  EXPECT_FALSE(ParseReplyFrame(Bytes({0x02, 0x00, 0x35, 0x36, 0x34, 0xA0, 0x03})));
  EXPECT_FALSE(ParseReplyFrame(Bytes({0x01, 0x01, 0x03})));  // checksum fits, but too short
  EXPECT_FALSE(ParseReplyFrame(BuildReplyFrame(252, std::string(kMaxReplyFrame, 'x'))));
}

}  // namespace
}  // namespace tramsel

namespace tramsel {
namespace {

std::string Frame(int code, std::string_view payload) { return BuildReplyFrame(code, payload); }

TEST(ReceiveBuffer, CutsReadsIntoFrames) {
  const std::string capacity = Frame(53, "64");  // 01 00 35 36 34 A0 03
  const std::string ended = Frame(254, "");      // 01 00 FE FF 03
  const std::string delivered = Frame(59, "");
  // A 251 dump whose first five bytes would pass as a frame of their own.
  const std::string dump = Frame(251, Bytes({0xFC, 0x03, 0xAA}));
  std::string corrupted = capacity;
  corrupted[5] = static_cast<char>(0xA1);
  struct Case {
    const char* name;
    std::vector<std::string> reads;
    std::vector<std::string> frames;
  } cases[] = {
      {"one frame", {capacity}, {capacity}},
      // The first five bytes carry a valid checksum at their fourth byte.
      {"split after five bytes", {capacity.substr(0, 5), capacity.substr(5)}, {capacity}},
      {"split after the lead byte", {capacity.substr(0, 1), capacity.substr(1)}, {capacity}},
      {"split in three", {capacity.substr(0, 2), capacity.substr(2, 3), capacity.substr(5)}, {capacity}},
      {"two frames in one read", {ended + delivered}, {ended, delivered}},
      {"a frame and the start of the next", {ended + capacity.substr(0, 3), capacity.substr(3)},
       {ended, capacity}},
      {"noise before a frame", {Bytes({0xFF, 0x7E, 0x00}) + capacity}, {capacity}},
      {"noise holding a lead byte", {Bytes({0x01, 0x02}) + capacity}, {capacity}},
      {"damaged frame then its resend", {corrupted, capacity}, {capacity}},
      {"a shorter frame inside one read", {dump}, {dump}},
      {"three bytes passing the checksum", {Bytes({0x01, 0x01, 0x03}) + ended}, {ended}},
      {"noise after a frame", {capacity + Bytes({0x55, 0x03})}, {capacity}},
  };
  for (const Case& c : cases) {
    ReceiveBuffer buffer;
    std::vector<std::string> frames;
    for (const std::string& read : c.reads) {
      buffer.Append(read);
      while (auto frame = buffer.NextFrame()) frames.push_back(*frame);
    }
    EXPECT_EQ(frames, c.frames) << c.name;
  }
}

TEST(ReceiveBuffer, KeepsAPartialFrameUpToTheWorkCopySize) {
  ReceiveBuffer buffer;
  // A frame start that never completes is given up once it outgrows 1024 bytes.
  buffer.Append(Bytes({0x01, 0x00, 0xFC}) + std::string(kMaxReplyFrame, 'x'));
  EXPECT_FALSE(buffer.NextFrame());
  EXPECT_TRUE(buffer.empty());
  // The longest frame still fits.
  const std::string longest = Frame(252, std::string(kMaxReplyFrame - 5, 'y'));
  buffer.Append(longest.substr(0, 600));
  EXPECT_FALSE(buffer.NextFrame());
  buffer.Append(longest.substr(600));
  EXPECT_EQ(buffer.NextFrame(), longest);
  // One byte more is no frame.
  buffer.Append(Frame(252, std::string(kMaxReplyFrame - 4, 'y')) + Frame(59, ""));
  EXPECT_EQ(buffer.NextFrame(), Frame(59, ""));
}

}  // namespace
}  // namespace tramsel
