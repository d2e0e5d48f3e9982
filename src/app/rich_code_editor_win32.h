// The main window's rich edit as the 3B parser reads it.
#pragma once

#include <windows.h>

#include <vector>

#include "code3b/code_editor.h"

namespace tramsel {

class RichCodeEditor final : public CodeEditor {
 public:
  explicit RichCodeEditor(HWND editor) : editor_(editor) {}

  // Takes the editor's text as it stands; the lines read afterwards are the
  // lines of that text, as the parse reads the editor once from top to end.
  int LineCount() override;
  void Focus() override;
  void SetSelection(int64_t start, int64_t end) override;
  void ScrollLines(int lines) override;
  int FirstVisibleLine() override;
  int64_t CharIndexAtTopLeft() override;

 protected:
  TextView LineText(int line) override;

 private:
  HWND editor_;
  Text text_;
  std::vector<TextView> lines_;
};

}  // namespace tramsel
