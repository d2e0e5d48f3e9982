#include "app/rich_code_editor_win32.h"

#include <richedit.h>

namespace tramsel {

int RichCodeEditor::LineCount() {
  const int length = GetWindowTextLengthW(editor_);
  std::wstring buffer(length + 1, L'\0');
  const int got = GetWindowTextW(editor_, buffer.data(), length + 1);
  text_.assign(reinterpret_cast<const char16_t*>(buffer.c_str()), got);
  // Paragraphs, not display lines: the editor's line breaks.
  lines_ = SplitEditorLines(text_);
  return static_cast<int>(lines_.size());
}

TextView RichCodeEditor::LineText(int line) {
  return line >= 0 && line < static_cast<int>(lines_.size()) ? lines_[line] : TextView();
}

void RichCodeEditor::Focus() { SetFocus(editor_); }

void RichCodeEditor::SetSelection(int64_t start, int64_t end) {
  CHARRANGE range{static_cast<LONG>(start), static_cast<LONG>(end)};
  SendMessageW(editor_, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
}

void RichCodeEditor::ScrollLines(int lines) { SendMessageW(editor_, EM_LINESCROLL, 0, lines); }

int RichCodeEditor::FirstVisibleLine() {
  return static_cast<int>(SendMessageW(editor_, EM_GETFIRSTVISIBLELINE, 0, 0));
}

int64_t RichCodeEditor::CharIndexAtTopLeft() {
  POINTL corner{0, 0};
  return SendMessageW(editor_, EM_CHARFROMPOS, 0, reinterpret_cast<LPARAM>(&corner));
}

}  // namespace tramsel
