#include "code3b/code_editor.h"

namespace tramsel {

void SelectEditorLine(CodeEditor& editor, int line) {
  editor.Focus();
  editor.SetSelection(0, 0);
  editor.ScrollLines(line);
  int64_t start = 0;
  if (editor.FirstVisibleLine() == line) {
    start = editor.CharIndexAtTopLeft();
  } else {
    for (int k = 0; k < line; ++k) start += static_cast<int64_t>(editor.ReadEditorLine(k).size()) + 1;
  }
  editor.SetSelection(start, start + static_cast<int64_t>(editor.ReadEditorLine(line).size()));
}

}  // namespace tramsel
