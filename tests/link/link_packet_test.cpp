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
