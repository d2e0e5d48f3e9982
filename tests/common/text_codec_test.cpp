#include "common/text_codec.h"

#include <gtest/gtest.h>

namespace tramsel {
namespace {

TEST(IconvCodec, ConvertsGbkBothWays) {
  auto gbk = MakeIconvCodec("GBK");
  ASSERT_TRUE(gbk);
  const std::string bytes = "\xb1\xea\xd7\xbc";  // 标准
  EXPECT_EQ(gbk->Decode(bytes), u"标准");
  EXPECT_EQ(gbk->Encode(u"标准"), bytes);
}

TEST(IconvCodec, ReplacesBadInputAsWindowsCodePage936Does) {
  auto gbk = MakeIconvCodec("CP936");
  struct Case {
    const char* bytes;
    const char16_t* text;
  } cases[] = {
      {"A\x81", u"A?"},           // a lone lead byte at the end
      {"\x81\x7f" "B", u"?B"},    // an undefined pair is one character
      {"\x81\x30" "B", u"?B"},
      {"\xff" "C", u"?C"},
      {"\x80", u"\u20AC"},
  };
  for (const Case& c : cases) EXPECT_EQ(gbk->Decode(c.bytes), c.text) << c.bytes;
  // One '?' per UTF-16 unit of a character the code page cannot hold.
  EXPECT_EQ(gbk->Encode(u"a\U0001F600b"), "a??b");
}

TEST(IconvCodec, UnknownCharsetGivesNoCodec) { EXPECT_FALSE(MakeIconvCodec("NO-SUCH-CHARSET")); }

TEST(UpToFirstZero, DropsEverythingFromTheZeroByte) {
  EXPECT_EQ(UpToFirstZero(std::string_view("ab\0cd", 5)), "ab");
  EXPECT_EQ(UpToFirstZero("abc"), "abc");
}

}  // namespace
}  // namespace tramsel
