// The main window's one 3B document: the editor's text, the file it belongs
// to, and the operations behind the open, new and save buttons, the file
// menu, dropping a file on the editor, and the loads other parts start.
#pragma once

#include <optional>
#include <vector>

#include "common/operator_ui.h"
#include "common/text.h"
#include "common/text_codec.h"
#include "config/app_settings.h"

namespace tramsel {

// The window side of the document: the editor, the two labels, the file
// dialogs, and what the document asks of the rest of the program.
class DocumentWindow {
 public:
  virtual ~DocumentWindow() = default;
  // The editor's whole text, with its line breaks as CR LF.
  virtual Text EditorText() = 0;
  // The editor's text length in characters, as the editor counts it.
  virtual int EditorTextLength() const = 0;
  virtual void SetEditorText(const Text& text) = 0;
  virtual void ScrollEditorToTop() = 0;
  virtual void SetFileNameLabel(TextView text) = 0;
  virtual void SetLengthLabel(TextView text) = 0;
  // The system's file dialogs, starting in the given folder; the chosen full
  // path, or nothing when cancelled.
  virtual std::optional<Text> ChooseFileToOpen(const Text& folder) = 0;
  virtual std::optional<Text> ChooseFileToSave(const Text& folder) = 0;
  virtual void SetCurrentFolder(const Text& folder) = 0;
  // A plain pause of the user-interface thread.
  virtual void Sleep(int ms) = 0;
  virtual void StartFolderWatcher(const Text& folder) = 0;
  virtual void StopFolderWatcher() = 0;
  virtual void SaveConfiguration() = 0;
};

class CodeDocument {
 public:
  // The new-file template: six lines, none of which can start a program.
  static const Text kTemplate;

  CodeDocument(DocumentWindow& window, AppSettings& settings, OperatorUi& ui, const TextCodec& codec)
      : window_(window), settings_(settings), ui_(ui), codec_(codec) {}

  Text text;
  Text filePath;
  Text fileName;
  bool boundToFile = false;

  void NewDocument();
  void OpenDocument();
  void OpenDocumentByPath(const Text& path);
  // Reads the file and records it as the document's file; the decoded text,
  // or (after its own message) an empty text.
  Text LoadDocumentFile(const Text& path);
  void SaveDocument();
  void SaveDocumentAs();
  void RefreshLengthDisplay();
  // Files dropped on the editor, in order.
  void DropFiles(const std::vector<Text>& paths);

  // The name after the last path separator.
  static Text NameOf(const Text& path);

 private:
  void WriteDocumentFile();

  DocumentWindow& window_;
  AppSettings& settings_;
  OperatorUi& ui_;
  const TextCodec& codec_;
};

}  // namespace tramsel
