#include "code3b/code_image.h"

#include <numeric>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "code3b/recording_ui.h"

namespace tramsel {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

ParsedLine Move(std::string_view x, std::string_view y, std::string_view j, MoveAxis axis = MoveAxis::X,
                MoveWord word = MoveWord::L1, bool jump = false) {
  return ParsedLine::Move(x, y, j, axis, word, jump);
}

std::string Concatenated(const std::vector<std::string>& parts) {
  return std::accumulate(parts.begin(), parts.end(), std::string());
}

TEST(EncodeLine, GivesTheWorkedExamples) {
  const ParsedLine move = Move("60", "0", "60", MoveAxis::X, MoveWord::L3);
  EXPECT_EQ(EncodeLine(move), "\x4C\x46\x40\x4C\x40\x4C\x46\x40\x5D\x5B");
  EXPECT_EQ(EncodeLine(move), "LF@L@LF@][");
  EXPECT_EQ(EncodeLine(Move("60", "0", "60", MoveAxis::X, MoveWord::L3, true)), "LF@L@LF@][L");
  EXPECT_EQ(EncodeLine(ParsedLine::Stop()), "O");
  EXPECT_EQ(EncodeLine(ParsedLine::End()), "OO");
  EXPECT_EQ(EncodeLine(Move("", "", "")), "LLL]X");
}

TEST(EncodeLine, MapsEverySymbol) {
  EXPECT_EQ(EncodeLine(Move("0123456789", "", "")), "L@QRCTEFWXILL]X");
  const std::pair<MoveAxis, char> axes[] = {
      {MoveAxis::X, ']'}, {MoveAxis::Y, '^'}, {MoveAxis::U, 'J'}, {MoveAxis::V, '['}};
  for (auto [axis, code] : axes) EXPECT_EQ(EncodeLine(Move("", "", "", axis)), std::string("LLL") + code + 'X');
  const std::pair<MoveWord, char> words[] = {
      {MoveWord::L1, 'X'},  {MoveWord::L2, 'I'},  {MoveWord::L3, '['},  {MoveWord::L4, 'J'},
      {MoveWord::SR1, 'R'}, {MoveWord::SR2, '@'}, {MoveWord::SR3, 'Q'}, {MoveWord::SR4, 'C'},
      {MoveWord::NR1, 'E'}, {MoveWord::NR2, 'W'}, {MoveWord::NR3, 'F'}, {MoveWord::NR4, 'T'}};
  for (auto [word, code] : words) {
    EXPECT_EQ(EncodeLine(Move("", "", "", MoveAxis::X, word)), std::string("LLL]") + code);
  }
}

// What the transmitter checks of every byte: bit 6 set, bits 5 and 7 clear,
// an even number of ones in bits 0 to 4.
TEST(EncodeLine, EveryByteCarriesItsParity) {
  std::string all = EncodeLine(Move("0123456789", "9876543210", "5", MoveAxis::V, MoveWord::NR2, true));
  for (MoveAxis axis : {MoveAxis::X, MoveAxis::Y, MoveAxis::U, MoveAxis::V}) {
    for (int w = 0; w < 12; ++w) all += EncodeLine(Move("", "", "", axis, static_cast<MoveWord>(w)));
  }
  all += EncodeLine(ParsedLine::End());
  for (unsigned char byte : all) {
    EXPECT_EQ(byte & 0xE0, 0x40) << byte;
    EXPECT_EQ(__builtin_popcount(byte & 0x1F) % 2, 0) << byte;
  }
}

struct Built {
  bool ok;
  CodeImage image;
  std::vector<Text> messages;
};

Built Build(const std::vector<ParsedLine>& parsed, int capacity = 64) {
  Built built;
  RecordingUi ui;
  built.ok = BuildCodeImage(parsed, capacity, ui, built.image);
  built.messages = ui.messages;
  return built;
}

TEST(BuildCodeImage, CountsStopAndEndLines) {
  Built built = Build({Move("1", "2", "3"), ParsedLine::Stop(), Move("1", "2", "3", MoveAxis::Y, MoveWord::L2),
                       ParsedLine::End()});
  EXPECT_TRUE(built.ok);
  EXPECT_THAT(built.image.lines, ElementsAre("LQLRLC]X", "O", "LQLRLC^I", "OO"));
  EXPECT_THAT(built.image.blocks, ElementsAre("LQLRLC]XOLQLRLC^IOO"));
  EXPECT_EQ(built.image.lineCount, 4);
  EXPECT_EQ(built.image.lineCountReport(0), u"4");
  EXPECT_EQ(built.image.lineCountReport(1), u"0");
  EXPECT_EQ(built.image.lineCountReport(-3), u"0");
}

TEST(BuildCodeImage, EndAlone) {
  Built built = Build({ParsedLine::End()});
  EXPECT_TRUE(built.ok);
  EXPECT_THAT(built.image.lines, ElementsAre("OO"));
  EXPECT_THAT(built.image.blocks, ElementsAre("OO"));
  EXPECT_EQ(built.image.blockCount(), 1);
  EXPECT_EQ(built.image.lineCount, 1);
}

TEST(BuildCodeImage, PutsFiveTenByteStringsInABlockOfCapacity64) {
  const std::string ten = EncodeLine(Move("12", "3", "45"));
  ASSERT_EQ(ten.size(), 10u);
  Built built = Build(std::vector<ParsedLine>(12, Move("12", "3", "45")));
  EXPECT_TRUE(built.ok);
  const std::string five = ten + ten + ten + ten + ten;
  EXPECT_THAT(built.image.blocks, ElementsAre(five, five, ten + ten));
}

// The cut follows the capacity; the strings never split, and no block is
// ever empty, even when the first string alone reaches the room.
TEST(BuildCodeImage, CutsByCapacity) {
  const std::vector<ParsedLine> parsed = {Move("12", "3", "45"), Move(std::string(15, '1'), "", ""),
                                          ParsedLine::Stop(), ParsedLine::End()};
  struct Case {
    int capacity;
    std::vector<size_t> blockSizes;
  } cases[] = {
      {64, {33}},
      {20, {10, 20, 3}},      // room 13: the 20-byte string stands alone
      {17, {10, 20, 3}},      // room 10: the first string alone reaches it
      {7, {10, 20, 1, 2}},    // room 0: one string a block
      {0, {10, 20, 1, 2}},
      {INT32_MIN, {10, 20, 1, 2}},
      {INT32_MAX, {33}},
  };
  std::vector<std::string> lines;
  for (const Case& c : cases) {
    Built built = Build(parsed, c.capacity);
    EXPECT_TRUE(built.ok);
    std::vector<size_t> sizes;
    for (const std::string& block : built.image.blocks) sizes.push_back(block.size());
    EXPECT_EQ(sizes, c.blockSizes) << c.capacity;
    EXPECT_EQ(Concatenated(built.image.blocks), Concatenated(built.image.lines));
    if (!lines.empty()) {
      EXPECT_EQ(built.image.lines, lines);
    }
    lines = built.image.lines;
  }
}

TEST(BuildCodeImage, FailsWithoutLines) {
  Built built = Build({});
  EXPECT_FALSE(built.ok);
  EXPECT_THAT(built.messages, ElementsAre(u"发送文件长度为0"));
  EXPECT_EQ(built.image.lineCount, 0);
}

TEST(BuildCodeImage, ReplacesThePreviousImage) {
  CodeImage image;
  RecordingUi ui;
  ASSERT_TRUE(BuildCodeImage({ParsedLine::Stop(), ParsedLine::Stop()}, 64, ui, image));
  ASSERT_TRUE(BuildCodeImage({ParsedLine::End()}, 64, ui, image));
  EXPECT_THAT(image.lines, ElementsAre("OO"));
  EXPECT_THAT(image.blocks, ElementsAre("OO"));
  EXPECT_EQ(image.lineCount, 1);
  EXPECT_THAT(ui.messages, IsEmpty());
}

}  // namespace
}  // namespace tramsel
