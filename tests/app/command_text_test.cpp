#include "app/command_text.h"

#include <gtest/gtest.h>

namespace tramsel {
namespace {

TEST(SplitCommandText, PathAndWords) {
  struct Case {
    const char16_t* text;
    Text path;
    std::vector<Text> words;
  } cases[] = {
      {u"C:\\cam\\part1.3b", u"C:\\cam\\part1.3b", {}},
      {u"C:\\cam\\part1.3b/Auto", u"C:\\cam\\part1.3b", {u"Auto"}},
      {u"/New/Auto", u"", {u"New", u"Auto"}},
      {u"/Save", u"", {u"Save"}},
      {u"C:\\cam\\part1.3b/", u"C:\\cam\\part1.3b", {}},
      {u"a//New", u"a", {u"", u"New"}},
      {u"", u"", {}},
      {u"/", u"", {}},
  };
  for (const Case& c : cases) {
    CommandText command = SplitCommandText(c.text);
    EXPECT_EQ(command.path, c.path) << ToUtf8(c.text);
    EXPECT_EQ(command.words, c.words) << ToUtf8(c.text);
  }
}

TEST(LookupCommand, ExactWordsOnly) {
  EXPECT_EQ(LookupCommand(u"New"), MainCommand::New);
  EXPECT_EQ(LookupCommand(u"Auto"), MainCommand::Auto);
  EXPECT_EQ(LookupCommand(u"Save"), MainCommand::Save);
  EXPECT_EQ(LookupCommand(u"Close"), MainCommand::Close);
  for (const char16_t* word : {u"auto", u"NEW", u"", u"Down", u"AddLines", u"NewMachine", u"Save "}) {
    EXPECT_EQ(LookupCommand(word), MainCommand::None) << ToUtf8(word);
  }
}

TEST(CopyDataText, NeverReadsBeyondTheByteCount) {
  const char16_t terminated[] = u"ab\0cd";
  EXPECT_EQ(CopyDataText(terminated, sizeof terminated), u"ab");
  // No NUL within the count: the text ends with the count.
  const char16_t unterminated[] = {u'x', u'y', u'z'};
  EXPECT_EQ(CopyDataText(unterminated, 4), u"xy");
  EXPECT_EQ(CopyDataText(unterminated, 5), u"xy");  // an odd byte is not a character
  EXPECT_EQ(CopyDataText(nullptr, 8), u"");
  EXPECT_EQ(CopyDataText(terminated, 2), u"a");
}

TEST(SplitStartArgument, RemarkAfterTheFirstSlash) {
  StartArgumentParts hello = SplitStartArgument(u"C:\\a.3b/hello/x");
  EXPECT_EQ(hello.path, u"C:\\a.3b");
  EXPECT_TRUE(hello.hasRemark);
  EXPECT_EQ(hello.remark, u"hello/x");
  StartArgumentParts empty = SplitStartArgument(u"C:\\a.3b/");
  EXPECT_TRUE(empty.hasRemark);
  EXPECT_EQ(empty.remark, u"");
  StartArgumentParts plain = SplitStartArgument(u"C:\\a.3b");
  EXPECT_FALSE(plain.hasRemark);
  EXPECT_EQ(plain.path, u"C:\\a.3b");
}

}  // namespace
}  // namespace tramsel
