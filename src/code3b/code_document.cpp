#include "code3b/code_document.h"

#include "common/file_io.h"

namespace tramsel {

const Text CodeDocument::kTemplate =
    u"/*******************由 Vorlane V0.2创建的3b代码文本********************/\n"
    u"-----------------技术支持:请联系您的设备供应商,电话000-0000-0000-----------------\n"
    u"------------------------代码例子1“ B 60 B 0 B 60 GX L3 ”-----------------\n"
    u"------------------------代码例子2“ DD  ”----------------------------------\n"
    u"------------------------注意：是在英文输入法状态下输入！--------------------\n"
    u"/************************下面一行开始添加代码***********************/\n";

Text CodeDocument::NameOf(const Text& path) {
  const size_t separator = path.find_last_of(u"\\/");
  return separator == Text::npos ? path : path.substr(separator + 1);
}

void CodeDocument::NewDocument() {
  boundToFile = false;
  text = kTemplate;
  window_.SetEditorText(text);
  window_.SetFileNameLabel(u"未保存的文件");
  RefreshLengthDisplay();
}

Text CodeDocument::LoadDocumentFile(const Text& path) {
  std::optional<std::string> bytes = ReadWholeFile(path);
  if (!bytes) {
    ui_.ShowMessage(u"打开文件失败,文件可能不存在\r\n文件名:" + path);
    boundToFile = false;
    return {};
  }
  const size_t backslash = path.rfind(u'\\');
  settings_.defaultFolder = backslash == Text::npos ? Text() : path.substr(0, backslash);
  filePath = path;
  fileName = NameOf(path);
  window_.SetFileNameLabel(fileName);
  RefreshLengthDisplay();
  if (bytes->empty()) return {};
  boundToFile = true;
  return codec_.Decode(UpToFirstZero(*bytes));
}

void CodeDocument::OpenDocumentByPath(const Text& path) {
  text = LoadDocumentFile(path);
  window_.ScrollEditorToTop();
  window_.SetEditorText(text);
  if (settings_.changeMonDir) window_.StartFolderWatcher(settings_.defaultFolder);
}

void CodeDocument::OpenDocument() {
  window_.SetCurrentFolder(settings_.defaultFolder);
  std::optional<Text> chosen = window_.ChooseFileToOpen(settings_.defaultFolder);
  if (!chosen) {
    boundToFile = false;
    return;
  }
  filePath = *chosen;
  window_.SaveConfiguration();
  text.clear();
  OpenDocumentByPath(*chosen);
}

void CodeDocument::SaveDocument() {
  window_.StopFolderWatcher();
  text = window_.EditorText();
  window_.SaveConfiguration();
  if (boundToFile) {
    WriteDocumentFile();
    window_.StartFolderWatcher(settings_.monitorDir);
    return;
  }
  window_.SetCurrentFolder(settings_.defaultFolder);
  if (std::optional<Text> chosen = window_.ChooseFileToSave(settings_.defaultFolder)) {
    fileName = NameOf(*chosen);
    filePath = *chosen;
    boundToFile = true;
    WriteDocumentFile();
    window_.SetFileNameLabel(fileName);
  } else {
    ui_.ShowMessage(u"请先设定保存文件!");
    boundToFile = false;
  }
  window_.StartFolderWatcher(settings_.monitorDir);
}

void CodeDocument::SaveDocumentAs() {
  boundToFile = false;
  SaveDocument();
}

// The new text goes to a file beside the old one, which it then replaces, so
// a failure part-way never leaves a half-written program behind.
void CodeDocument::WriteDocumentFile() {
  if (!ReplaceFileContents(filePath, codec_.Encode(text))) {
    ui_.ShowMessage(u"打开文件失败");
    boundToFile = false;
    return;
  }
  window_.SaveConfiguration();
}

void CodeDocument::RefreshLengthDisplay() { window_.SetLengthLabel(DecimalText(window_.EditorTextLength())); }

void CodeDocument::DropFiles(const std::vector<Text>& paths) {
  if (paths.empty()) return;
  const Text& path = paths.back();
  const size_t dot = path.rfind(u'.');
  const TextView extension = dot == Text::npos ? TextView(path) : TextView(path).substr(dot + 1);
  if (extension != u"3b" && extension != u"3B") return;
  window_.Sleep(500);
  text.clear();
  text = LoadDocumentFile(path);
  window_.SetEditorText(text);
}

}  // namespace tramsel
