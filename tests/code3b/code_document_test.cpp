#include "code3b/code_document.h"

#include <unistd.h>

#include <deque>
#include <filesystem>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "common/file_io.h"

namespace tramsel {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// The main window as the document sees it, recording what was done to it.
class FakeWindow : public DocumentWindow, public OperatorUi {
 public:
  Text EditorText() override { return editor; }
  int EditorTextLength() const override { return static_cast<int>(editor.size()); }
  void SetEditorText(const Text& text) override {
    editor = text;
    log.push_back(u"editor");
  }
  void ScrollEditorToTop() override { log.push_back(u"scroll"); }
  void SetFileNameLabel(TextView text) override { nameLabel = text; }
  void SetLengthLabel(TextView text) override { lengthLabel = text; }
  std::optional<Text> ChooseFileToOpen(const Text& folder) override { return Choose(u"open:" + folder); }
  std::optional<Text> ChooseFileToSave(const Text& folder) override { return Choose(u"save:" + folder); }
  void SetCurrentFolder(const Text& folder) override { log.push_back(u"cd:" + folder); }
  void Sleep(int ms) override { log.push_back(u"sleep:" + DecimalText(ms)); }
  void StartFolderWatcher(const Text& folder) override { log.push_back(u"watch:" + folder); }
  void StopFolderWatcher() override { log.push_back(u"stop-watch"); }
  void SaveConfiguration() override { log.push_back(u"config"); }

  void ShowMessage(TextView text) override { messages.emplace_back(text); }
  void ShowCaptionedMessage(TextView, TextView text) override { messages.emplace_back(text); }
  bool Ask(TextView, TextView) override { return true; }
  void SetStatusText(TextView) override {}

  std::optional<Text> Choose(const Text& dialog) {
    log.push_back(dialog);
    std::optional<Text> answer = answers.front();
    answers.pop_front();
    return answer;
  }

  Text editor;
  Text nameLabel = u"暂未打开文件";
  Text lengthLabel = u"文件长";
  std::deque<std::optional<Text>> answers;
  std::vector<Text> log;
  std::vector<Text> messages;
};

class CodeDocumentTest : public ::testing::Test {
 protected:
  CodeDocumentTest()
      : codec_(MakeIconvCodec("CP936")), document_(window_, settings_, window_, *codec_) {
    dir_ = std::filesystem::temp_directory_path() / ("tramsel-doc-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    settings_.monitorDir = u"M";
    settings_.defaultFolder = u"F";
  }
  ~CodeDocumentTest() override { std::filesystem::remove_all(dir_); }

  Text Path(const char* name) { return FromUtf8((dir_ / name).string()); }
  Text WriteFile(const char* name, std::string_view bytes) {
    Text path = Path(name);
    EXPECT_TRUE(ReplaceFileContents(path, bytes));
    return path;
  }
  std::string Bytes(const Text& path) { return ReadWholeFile(path).value_or("<missing>"); }

  FakeWindow window_;
  AppSettings settings_;
  std::unique_ptr<TextCodec> codec_;
  CodeDocument document_;
  std::filesystem::path dir_;
};

TEST_F(CodeDocumentTest, NewDocumentShowsTheTemplateUnbound) {
  document_.boundToFile = true;
  document_.filePath = u"kept";
  document_.NewDocument();
  EXPECT_EQ(CodeDocument::kTemplate.size(), 393u);
  EXPECT_EQ(SplitEditorLines(CodeDocument::kTemplate).size(), 7u);  // six lines, each ended
  EXPECT_EQ(window_.editor, CodeDocument::kTemplate);
  EXPECT_EQ(window_.nameLabel, u"未保存的文件");
  EXPECT_EQ(window_.lengthLabel, u"393");
  EXPECT_FALSE(document_.boundToFile);
  EXPECT_EQ(document_.filePath, u"kept");
}

TEST_F(CodeDocumentTest, LoadDecodesUpToTheFirstZeroByteAndBinds) {
  const Text path = WriteFile("part.3b", std::string("B1B2B3GXL1\r\n\xb1\xea\0tail", 17));
  EXPECT_EQ(document_.LoadDocumentFile(path), u"B1B2B3GXL1\r\n标");
  EXPECT_TRUE(document_.boundToFile);
  EXPECT_EQ(document_.filePath, path);
  EXPECT_EQ(document_.fileName, u"part.3b");
  EXPECT_EQ(window_.nameLabel, u"part.3b");
}

TEST_F(CodeDocumentTest, LoadTakesTheFolderBeforeTheLastBackslash) {
  // On Linux a backslash is part of a file name, which lets the rule show.
  const Text path = WriteFile("cam\\part.3b", "D");
  document_.LoadDocumentFile(path);
  EXPECT_EQ(settings_.defaultFolder, Path("cam"));
  EXPECT_EQ(document_.fileName, u"part.3b");
}

TEST_F(CodeDocumentTest, LoadOfAMissingFileReportsItsPathAndUnbinds) {
  document_.boundToFile = true;
  const Text path = Path("gone.3b");
  EXPECT_EQ(document_.LoadDocumentFile(path), u"");
  EXPECT_THAT(window_.messages, ElementsAre(u"打开文件失败,文件可能不存在\r\n文件名:" + path));
  EXPECT_FALSE(document_.boundToFile);
  EXPECT_EQ(window_.nameLabel, u"暂未打开文件");
  EXPECT_EQ(settings_.defaultFolder, u"F");
}

TEST_F(CodeDocumentTest, EmptyFileShowsItsNameAndKeepsTheBinding) {
  const Text path = WriteFile("empty.3b", "");
  for (bool bound : {false, true}) {
    document_.boundToFile = bound;
    window_.editor = u"old";
    document_.OpenDocumentByPath(path);
    EXPECT_EQ(window_.editor, u"");
    EXPECT_EQ(window_.nameLabel, u"empty.3b");
    EXPECT_EQ(document_.boundToFile, bound);
  }
}

TEST_F(CodeDocumentTest, OpenLoadsScrollsAndMovesTheLinkedFolderWhenSoSet) {
  const Text path = WriteFile("a\\b.3b", "B1B2B3GXL1");
  settings_.changeMonDir = true;
  window_.answers = {path};
  document_.OpenDocument();
  EXPECT_EQ(window_.editor, u"B1B2B3GXL1");
  EXPECT_THAT(window_.log, ElementsAre(u"cd:F", u"open:F", u"config", u"scroll", u"editor",
                                       u"watch:" + Path("a")));
}

TEST_F(CodeDocumentTest, CancelledOpenKeepsTheTextButUnbinds) {
  window_.editor = u"typed";
  document_.boundToFile = true;
  window_.answers = {std::nullopt};
  document_.OpenDocument();
  EXPECT_EQ(window_.editor, u"typed");
  EXPECT_FALSE(document_.boundToFile);
}

TEST_F(CodeDocumentTest, FirstSaveAsksThenLaterSavesWriteWithoutAsking) {
  const Text path = Path("Vorlane.3b");
  window_.editor = u"B60B0B60GXL3\r\n标准";
  window_.answers = {path};
  document_.SaveDocument();
  EXPECT_EQ(Bytes(path), "B60B0B60GXL3\r\n\xb1\xea\xd7\xbc");
  EXPECT_TRUE(document_.boundToFile);
  EXPECT_EQ(window_.nameLabel, u"Vorlane.3b");
  EXPECT_THAT(window_.log, ElementsAre(u"stop-watch", u"config", u"cd:F", u"save:F", u"config", u"watch:M"));

  window_.log.clear();
  window_.editor = u"DD";
  document_.SaveDocument();
  EXPECT_EQ(Bytes(path), "DD");
  EXPECT_THAT(window_.log, ElementsAre(u"stop-watch", u"config", u"config", u"watch:M"));
}

TEST_F(CodeDocumentTest, CancelledSaveWritesNothing) {
  window_.answers = {std::nullopt};
  document_.SaveDocument();
  EXPECT_THAT(window_.messages, ElementsAre(u"请先设定保存文件!"));
  EXPECT_FALSE(document_.boundToFile);
  EXPECT_EQ(window_.log.back(), u"watch:M");
}

TEST_F(CodeDocumentTest, SaveAsAlwaysAsksAndRebinds) {
  const Text first = WriteFile("first.3b", "old");
  const Text second = Path("second.3b");
  document_.OpenDocumentByPath(first);
  window_.editor = u"D";
  window_.answers = {second};
  document_.SaveDocumentAs();
  EXPECT_EQ(Bytes(second), "D");
  EXPECT_EQ(Bytes(first), "old");
  EXPECT_EQ(document_.filePath, second);
}

TEST_F(CodeDocumentTest, FailedWriteLeavesTheOldFileAndUnbinds) {
  document_.boundToFile = true;
  document_.filePath = Path("missing-folder/part.3b");
  document_.SaveDocument();
  EXPECT_THAT(window_.messages, ElementsAre(u"打开文件失败"));
  EXPECT_FALSE(document_.boundToFile);
}

TEST_F(CodeDocumentTest, DropLoadsOnlyThe3bExtensionOfTheLastFile) {
  const Text upper = WriteFile("a.3B", "B1B1B1GXL1");
  const Text lower = WriteFile("b.3b", "DD");
  struct Case {
    std::vector<Text> paths;
    Text editor;
  } cases[] = {
      {{upper}, u"B1B1B1GXL1"},
      {{upper, lower}, u"DD"},
      {{lower, Path("a.3bk")}, u"unchanged"},
      {{Path("a.txt")}, u"unchanged"},
      {{Path("3b")}, u"unchanged"},  // no dot: the whole path is the extension
  };
  for (const Case& c : cases) {
    window_.editor = u"unchanged";
    window_.log.clear();
    document_.DropFiles(c.paths);
    EXPECT_EQ(window_.editor, c.editor);
    if (c.editor != u"unchanged") EXPECT_THAT(window_.log, ElementsAre(u"sleep:500", u"editor"));
    else EXPECT_THAT(window_.log, IsEmpty());
  }
}

}  // namespace
}  // namespace tramsel
