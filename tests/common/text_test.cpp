#include "common/text.h"

#include <gtest/gtest.h>

namespace tramsel {
namespace {

TEST(ReadDecimal, TakesWhatTheCLibraryTakes) {
  struct Case {
    const char16_t* text;
    int value;
  } cases[] = {
      {u"", 0},        {u"12", 12},          {u"  -7x", -7},         {u"+3", 3},
      {u"\t\r\n 9", 9}, {u"abc", 0},          {u"- 5", 0},            {u"0012", 12},
      {u"3000ms", 3000}, {u"99999999999", INT32_MAX}, {u"-99999999999", INT32_MIN},
  };
  for (const Case& c : cases) EXPECT_EQ(ReadDecimal(TextView(c.text)), c.value) << ToUtf8(c.text);
}

TEST(SplitEditorLines, EveryKindOfBreakEndsALine) {
  struct Case {
    const char16_t* text;
    std::vector<TextView> lines;
  } cases[] = {
      {u"", {u""}},
      {u"a", {u"a"}},
      {u"a\r\nb", {u"a", u"b"}},
      {u"a\rb\nc", {u"a", u"b", u"c"}},
      {u"a\n", {u"a", u""}},
      {u"\n\n", {u"", u"", u""}},
      {u"a\r\r\nb", {u"a", u"", u"b"}},
  };
  for (const Case& c : cases) EXPECT_EQ(SplitEditorLines(c.text), c.lines) << ToUtf8(c.text);
}

TEST(CutEditorLine, KeepsAtMostTwoHundredCharactersBeforeACarriageReturn) {
  Text longLine(250, u'x');
  EXPECT_EQ(CutEditorLine(longLine).size(), 200u);
  EXPECT_EQ(CutEditorLine(u"ab\rcd"), u"ab");
}

TEST(Utf8, RoundTripsChineseAndReplacesWhatIsNotUtf8) {
  const Text text = u"传送中.....\r\n𠀀";
  EXPECT_EQ(FromUtf8(ToUtf8(text)), text);
  EXPECT_EQ(FromUtf8("a\xff" "b\xe4"), u"a\xFFFD" u"b\xFFFD");
}

}  // namespace
}  // namespace tramsel
