#include "code3b/code_parser.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "code3b/code_document.h"
#include "code3b/memory_code_editor.h"
#include "code3b/recording_ui.h"

namespace tramsel {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;
using namespace std::string_literals;

// The code document's new-file template, six lines, each ending with a line
// break: what follows it is the seventh line.
// Made on first use: the template is itself a static of another unit.
std::vector<Text> TemplateLines() {
  std::vector<Text> lines;
  for (TextView line : SplitEditorLines(CodeDocument::kTemplate)) lines.emplace_back(line);
  lines.pop_back();
  return lines;
}

const Text kFormatFault = u"代码格式有误,应该以“B”或“D”作为起始指令";
const Text kNoStartLine = u"格式不符,找不到起始行.";
Text LineError(int number) { return u"代码在" + DecimalText(number) + u"行解析出错, 请检查哦."; }

struct Outcome {
  bool ok = false;
  std::vector<Text> messages;
  std::vector<ParsedLine> parsed;
  int64_t selectionStart = 0;
  int64_t selectionEnd = 0;
};

Outcome Parse(const std::vector<Text>& lines, int jumpCodeProcessType = 0) {
  Text text;
  for (size_t i = 0; i < lines.size(); ++i) text += (i ? u"\r\n" : u"") + lines[i];
  MemoryCodeEditor editor(std::move(text));
  AppSettings settings;
  settings.jumpCodeProcessType = jumpCodeProcessType;
  RecordingUi ui;
  Outcome outcome;
  CodeImage image;
  outcome.ok = ParseCodeDocument(editor, settings, ui, outcome.parsed, image);
  outcome.messages = ui.messages;
  outcome.selectionStart = editor.selectionStart();
  outcome.selectionEnd = editor.selectionEnd();
  return outcome;
}

ParsedLine Move(std::string_view x, std::string_view y, std::string_view j, MoveAxis axis,
                MoveWord word, bool jump = false) {
  return ParsedLine::Move(x, y, j, axis, word, jump);
}

const ParsedLine k60_0_60 = Move("60", "0", "60", MoveAxis::X, MoveWord::L3);

TEST(ParseCodeDocument, TemplateThenAMoveAndTheEnd) {
  std::vector<Text> lines = TemplateLines();
  lines.push_back(u"B 60 B 0 B 60 GX L3");
  lines.push_back(u"DD");
  Outcome outcome = Parse(lines);
  EXPECT_TRUE(outcome.ok);
  EXPECT_THAT(outcome.messages, IsEmpty());
  EXPECT_THAT(outcome.parsed, ElementsAre(k60_0_60, ParsedLine::End()));
}

// Programs whose start is their first line, parsed successfully.
TEST(ParseCodeDocument, AcceptsTheToleratedForms) {
  struct Case {
    const char* name;
    std::vector<Text> lines;
    int jumpMode;
    std::vector<ParsedLine> parsed;
  } cases[] = {
      {"lower case", {u"b60b0b60gxl3"}, 0, {k60_0_60}},
      {"comment", {u"B60 B0 B60 GX L3 ; note"}, 0, {k60_0_60}},
      {"jump filtered", {u"B60B0B60GXL3/J"}, 0, {k60_0_60}},
      {"jump generated", {u"B60B0B60GXL3/J"}, 1, {Move("60", "0", "60", MoveAxis::X, MoveWord::L3, true)}},
      {"other jump modes filter", {u"B60B0B60GXL3/j"}, 2, {k60_0_60}},
      {"slash without J", {u"B60B0B60GXL3/K"}, 1, {k60_0_60}},
      {"J in the move text", {u"B60B0B60GXL3J"}, 0, {Move("60", "0", "60", MoveAxis::X, MoveWord::L3, true)}},
      {"label", {u"N10:B60B0B60GXL3"}, 0, {k60_0_60}},
      {"line number", {u"N10B60B0B60GXL3"}, 0, {k60_0_60}},
      {"tabs and text before the first B", {u"N1\tX1 B60 B0 B60 GX L3"}, 0, {k60_0_60}},
      {"missing separators", {u"B1B2GXL1"}, 0, {Move("1", "", "2", MoveAxis::X, MoveWord::L1)}},
      {"empty values", {u"BBBGXL1"}, 0, {Move("", "", "", MoveAxis::X, MoveWord::L1)}},
      {"leading zeros kept", {u"B007B0B00GVNR4"}, 0, {Move("007", "0", "00", MoveAxis::V, MoveWord::NR4)}},
      {"stops go on, the end stops",
       {u"B1B2B3GYSR2", u"D", u"END", u"XD", u"DDD", u"B1B2B3GXL9", u"HELLO"},
       0,
       {Move("1", "2", "3", MoveAxis::Y, MoveWord::SR2), ParsedLine::Stop(), ParsedLine::Stop(),
        ParsedLine::Stop(), ParsedLine::End()}},
      {"no end line", {u"B1B2B3GUL4", u"", u"D"}, 0,
       {Move("1", "2", "3", MoveAxis::U, MoveWord::L4), ParsedLine::Stop()}},
      {"blank lines skipped",
       {u"B1B2B3GXL1", u"", u"    ", u"/* note */", u";note", u"N7:", u"DD"},
       0,
       {Move("1", "2", "3", MoveAxis::X, MoveWord::L1), ParsedLine::End()}},
      // The line reader keeps 200 characters: the cut drops the tail.
      {"200 characters", {Text(190, u' ') + u"B1B2B3GXL1"}, 0, {Move("1", "2", "3", MoveAxis::X, MoveWord::L1)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Outcome outcome = Parse(c.lines, c.jumpMode);
    EXPECT_TRUE(outcome.ok);
    EXPECT_THAT(outcome.messages, IsEmpty());
    EXPECT_THAT(outcome.parsed, ElementsAreArray(c.parsed));
  }
}

// Each fault shows its own message, then the line error with the line's
// number counted from the editor's first line.
TEST(ParseCodeDocument, ReportsTheFaultyLine) {
  struct Case {
    std::vector<Text> lines;
    std::vector<Text> messages;
  } cases[] = {
      {{u"B-60B0B60GXL3"}, {u"无法识别的X段值", LineError(1)}},
      {{u"B60B+0B60GXL3"}, {u"无法识别的Y段值", LineError(1)}},
      {{u"B60B0B6AGXL3"}, {u"无法识别的J段值", LineError(1)}},
      {{u"B60B0B60GZL3"}, {u"无法识别的G段值", LineError(1)}},
      {{u"B60B0B60L3"}, {u"无法识别的G段值", LineError(1)}},
      {{u"B60B0B60GXL5"}, {u"无法识别的Z段值", LineError(1)}},
      {{u"B6.0B0B60GX"}, {u"无法识别的X段值", LineError(1)}},
      {{u"B1B2B3GXL1", u"HELLO"}, {kFormatFault, LineError(2)}},
      {{u"B1B2B3GXL1", Text(191, u' ') + u"B1B2B3GXL1"}, {u"无法识别的Z段值", LineError(2)}},
      {{u"B1\0B2B3GXL1"s}, {u"无法识别的X段值", LineError(1)}},
      // "N" alone starts the program, and is then no instruction.
      {{u"N", u"B1B2B3GXL1"}, {kFormatFault, LineError(1)}},
      {{u"; header", u"", u"B1B2B3GXL1", u"D", u"B1B2B3GXL1 ;", u"B1B2B3G"}, {u"无法识别的G段值", LineError(6)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(ToUtf8(c.lines.back()));
    Outcome outcome = Parse(c.lines);
    EXPECT_FALSE(outcome.ok);
    EXPECT_THAT(outcome.messages, ElementsAreArray(c.messages));
  }
}

TEST(ParseCodeDocument, LineNumbersCountTheLinesAboveTheStart) {
  std::vector<Text> lines = TemplateLines();
  lines.push_back(u"B1B2B3GXL1");
  lines.push_back(u"B1B2B3GXL0");
  Outcome outcome = Parse(lines);
  EXPECT_FALSE(outcome.ok);
  EXPECT_THAT(outcome.messages, ElementsAre(u"无法识别的Z段值", LineError(8)));
  // What was accepted before the fault stays in the list.
  EXPECT_THAT(outcome.parsed, ElementsAre(Move("1", "2", "3", MoveAxis::X, MoveWord::L1)));
}

TEST(ParseCodeDocument, FindsTheStartLine) {
  struct Case {
    const char* name;
    std::vector<Text> lines;
    std::vector<ParsedLine> parsed;
  } cases[] = {
      // Lines above the start are never examined, whatever they hold.
      {"N0 never starts", {u"N0123", u"n 0 HELLO", u"n5:b1b2b3gxl1"}, {Move("1", "2", "3", MoveAxis::X, MoveWord::L1)}},
      {"N and a digit", {u"HELLO", u" N 12 : B1B2B3GXL1"}, {Move("1", "2", "3", MoveAxis::X, MoveWord::L1)}},
      {"a stop starts", {u"junk", u" d"}, {ParsedLine::Stop()}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Outcome outcome = Parse(c.lines);
    EXPECT_TRUE(outcome.ok);
    EXPECT_THAT(outcome.parsed, ElementsAreArray(c.parsed));
  }
}

TEST(ParseCodeDocument, FailsWithoutAStartLine) {
  for (const std::vector<Text>& lines : std::vector<std::vector<Text>>{
           {u""}, {u"", u"   ", u";B1B2B3GXL1", u"/*DD*/", u"N0:B1B2B3GXL1"}, TemplateLines()}) {
    Outcome outcome = Parse(lines);
    EXPECT_FALSE(outcome.ok);
    EXPECT_THAT(outcome.messages, ElementsAre(kNoStartLine));
    EXPECT_EQ(outcome.selectionEnd, 0);  // nothing selected
  }
}

TEST(ParseCodeDocument, ReplacesThePreviousResult) {
  MemoryCodeEditor editor(u"HELLO");
  AppSettings settings;
  RecordingUi ui;
  std::vector<ParsedLine> parsed = {ParsedLine::Stop()};
  CodeImage image;
  image.lines = {"O"};
  image.blocks = {"O"};
  image.lineCount = 1;
  EXPECT_FALSE(ParseCodeDocument(editor, settings, ui, parsed, image));
  EXPECT_THAT(parsed, IsEmpty());
  EXPECT_THAT(image.lines, IsEmpty());
  EXPECT_THAT(image.blocks, IsEmpty());
  EXPECT_EQ(image.lineCount, 0);
}

TEST(ParseCodeDocument, SelectsTheFaultyLine) {
  // Breaks count one character each, CR LF included.
  Outcome outcome = Parse({u"; header", u"B1B2B3GXL1", u"B1B2B3GXL7 ; bad"});
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.selectionStart, 8 + 1 + 10 + 1);
  EXPECT_EQ(outcome.selectionEnd, outcome.selectionStart + 16);
}

// Sizes far beyond what an operator types: nothing is read past the line
// reader's 200 characters, and the lines are walked once.
TEST(ParseCodeDocument, TakesHugeTexts) {
  AppSettings settings;
  RecordingUi ui;
  std::vector<ParsedLine> parsed;
  CodeImage image;
  MemoryCodeEditor longLine(u"B1B2B3GXL1\n" + Text(1'000'000, u'7') + u"\nDD");
  EXPECT_FALSE(ParseCodeDocument(longLine, settings, ui, parsed, image));
  EXPECT_THAT(ui.messages, ElementsAre(kFormatFault, LineError(2)));
  EXPECT_EQ(longLine.selectionEnd() - longLine.selectionStart(), 200);

  MemoryCodeEditor manyLines(u"B1B2B3GXL1" + Text(10'000'000, u'\r') + u"DD");
  EXPECT_EQ(manyLines.LineCount(), 10'000'001);
  EXPECT_TRUE(ParseCodeDocument(manyLines, settings, ui, parsed, image));
  EXPECT_THAT(parsed, ElementsAre(Move("1", "2", "3", MoveAxis::X, MoveWord::L1), ParsedLine::End()));
}

TEST(SplitLine, AcceptsEveryAxisAndWord) {
  const std::pair<const char16_t*, MoveAxis> axes[] = {
      {u"X", MoveAxis::X}, {u"Y", MoveAxis::Y}, {u"U", MoveAxis::U}, {u"V", MoveAxis::V}};
  const std::pair<const char16_t*, MoveWord> words[] = {
      {u"L1", MoveWord::L1},   {u"L2", MoveWord::L2},   {u"L3", MoveWord::L3},   {u"L4", MoveWord::L4},
      {u"SR1", MoveWord::SR1}, {u"SR2", MoveWord::SR2}, {u"SR3", MoveWord::SR3}, {u"SR4", MoveWord::SR4},
      {u"NR1", MoveWord::NR1}, {u"NR2", MoveWord::NR2}, {u"NR3", MoveWord::NR3}, {u"NR4", MoveWord::NR4}};
  RecordingUi ui;
  for (const auto& [axisText, axis] : axes) {
    for (const auto& [wordText, word] : words) {
      EXPECT_EQ(SplitLine(u"B1B2B3G"s + axisText + wordText, ui), Move("1", "2", "3", axis, word))
          << ToUtf8(axisText) << ToUtf8(wordText);
    }
  }
  EXPECT_THAT(ui.messages, IsEmpty());
}

TEST(NormalizeLine, GivesTheNormalForm) {
  struct Case {
    const char16_t* line;
    int jumpMode;
    const char16_t* normal;
  } cases[] = {
      {u"b 60 b 0 b 60 gx l3", 0, u"B60B0B60GXL3"},
      {u"N12: X B1B2 ; B9 / J", 1, u"B1B2"},
      {u"B1/J;", 1, u"B1J"},
      {u"B1;/J", 1, u"B1"},  // the comment goes first
      {u"B1/XJ", 1, u"B1"},
      {u"A:B:C", 0, u"B:C"},  // only the first ":" ends a label
      {u"X:D", 0, u"D"},
      {u"XDDX", 0, u"DD"},
      {u"xdyd", 0, u"D"},
      {u"//B1", 0, u""},
      {u"", 0, u""},
  };
  RecordingUi ui;
  Text normal = u"left over";
  for (const Case& c : cases) {
    EXPECT_TRUE(NormalizeLine(c.line, c.jumpMode, ui, normal)) << ToUtf8(c.line);
    EXPECT_EQ(normal, c.normal) << ToUtf8(c.line);
  }
  EXPECT_THAT(ui.messages, IsEmpty());

  EXPECT_FALSE(NormalizeLine(u"N12:GXL1", 0, ui, normal));
  EXPECT_THAT(ui.messages, ElementsAre(kFormatFault));
}

// Called on its own, the splitter takes any text without reading past it.
TEST(SplitLine, TakesAnyText) {
  RecordingUi ui;
  const Text digits(1'000'000, u'9');
  std::optional<ParsedLine> line = SplitLine(u"B" + digits + u"B" + digits + u"BGYNR1", ui);
  ASSERT_TRUE(line);
  EXPECT_EQ(line->x().size(), digits.size());
  EXPECT_EQ(line->j(), "");
  EXPECT_EQ(line->axis(), MoveAxis::Y);
  for (TextView text : {TextView(u""), TextView(u"B"), TextView(u"J"), TextView(u"GX"),
                        TextView(u"BBBG"), TextView(u"BBBGXJL1"), TextView(u"\xD800")}) {
    EXPECT_FALSE(SplitLine(text, ui)) << ToUtf8(text);
  }
  EXPECT_EQ(SplitLine(u"1B2B3GXL1", ui), Move("2", "", "3", MoveAxis::X, MoveWord::L1));
}

}  // namespace
}  // namespace tramsel
