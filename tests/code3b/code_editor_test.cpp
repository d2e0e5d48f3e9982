#include "code3b/code_editor.h"

#include <algorithm>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "code3b/memory_code_editor.h"

namespace tramsel {
namespace {

using ::testing::ElementsAre;

// An editor with a view that cannot scroll past lastTopLine, as a rich edit
// stops at its last page; it logs what the selection asks of it.
class ScriptedEditor : public CodeEditor {
 public:
  ScriptedEditor(std::vector<Text> lines, int lastTopLine) : lines_(std::move(lines)), lastTopLine_(lastTopLine) {}

  int LineCount() override { return static_cast<int>(lines_.size()); }
  void Focus() override { log.push_back("focus"); }
  void SetSelection(int64_t start, int64_t end) override {
    log.push_back("select " + std::to_string(start) + " " + std::to_string(end));
  }
  void ScrollLines(int lines) override {
    log.push_back("scroll " + std::to_string(lines));
    top_ = std::min(top_ + lines, lastTopLine_);
  }
  int FirstVisibleLine() override { return top_; }
  // A position only the editor knows, so the test sees where it was used.
  int64_t CharIndexAtTopLeft() override { return 1000 + top_; }

  std::vector<std::string> log;

 protected:
  TextView LineText(int line) override { return lines_.at(line); }

 private:
  std::vector<Text> lines_;
  int lastTopLine_;
  int top_ = 0;
};

TEST(ReadEditorLine, EndsBeforeTheFirstCarriageReturnWithin200Characters) {
  ScriptedEditor editor({u"B1B2B3GXL1\r", u"B1\rB2\r", Text(300, u'x'), Text(199, u'x') + u"\r"}, 0);
  EXPECT_EQ(editor.ReadEditorLine(0), u"B1B2B3GXL1");
  EXPECT_EQ(editor.ReadEditorLine(1), u"B1");
  EXPECT_EQ(editor.ReadEditorLine(2), Text(200, u'x'));
  EXPECT_EQ(editor.ReadEditorLine(3), Text(199, u'x'));
}

TEST(SelectEditorLine, TakesTheTopLeftPositionWhenTheLineReachesTheTop) {
  ScriptedEditor editor({u"a", u"b", u"c", u"faulty", u"e"}, 10);
  SelectEditorLine(editor, 3);
  EXPECT_THAT(editor.log, ElementsAre("focus", "select 0 0", "scroll 3", "select 1003 1009"));
}

TEST(SelectEditorLine, AddsUpTheLinesAboveWhenTheViewStopsShort) {
  ScriptedEditor editor({Text(250, u'x'), u"ab", u"abc", u"faulty line"}, 1);
  SelectEditorLine(editor, 3);
  // The reader's lengths: 200 of the long line, one per break.
  EXPECT_THAT(editor.log, ElementsAre("focus", "select 0 0", "scroll 3", "select 208 219"));
}

TEST(MemoryCodeEditor, SplitsLinesAsTheEditorDoes) {
  for (TextView text : {TextView(u""), TextView(u"a"), TextView(u"a\r\nb"), TextView(u"a\rb\nc"),
                        TextView(u"\r\r\n\n"), TextView(u"a\n"), TextView(u"\n\r")}) {
    MemoryCodeEditor editor{Text(text)};
    std::vector<TextView> expected = SplitEditorLines(text);
    ASSERT_EQ(editor.LineCount(), static_cast<int>(expected.size())) << ToUtf8(text);
    for (int i = 0; i < editor.LineCount(); ++i) EXPECT_EQ(editor.ReadEditorLine(i), expected[i]);
  }
  MemoryCodeEditor editor(Text(300, u'y') + u"\nz");
  EXPECT_EQ(editor.ReadEditorLine(0), Text(200, u'y'));
  EXPECT_EQ(editor.ReadEditorLine(1), u"z");
  EXPECT_EQ(editor.ReadEditorLine(2), u"");
  EXPECT_EQ(editor.ReadEditorLine(-1), u"");
}

TEST(MemoryCodeEditor, CountsEachLineBreakAsOneCharacter) {
  MemoryCodeEditor editor(u"ab\r\ncd\ref\ngh\r\n");
  editor.ScrollLines(3);
  EXPECT_EQ(editor.FirstVisibleLine(), 3);
  EXPECT_EQ(editor.CharIndexAtTopLeft(), 9);
  editor.ScrollLines(100);
  EXPECT_EQ(editor.FirstVisibleLine(), 4);
  EXPECT_EQ(editor.CharIndexAtTopLeft(), 12);
}

}  // namespace
}  // namespace tramsel
