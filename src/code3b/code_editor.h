// The code editor as the parser sees it. The main window's rich edit, and the
// in-memory editor of the command-line tool and tests, implement a handful of
// primitives; the line reader and the selection of a faulty line are built
// on them here, so every editor behaves alike.
#pragma once

#include <cstdint>

#include "common/text.h"

namespace tramsel {

// Lines are numbered from 0 and separated by line breaks (paragraphs, not
// the display lines of word wrap). Character positions count each line break
// as one character, as the rich edit does.
class CodeEditor {
 public:
  virtual ~CodeEditor() = default;

  virtual int LineCount() = 0;

  // The line reader: line `line` with at most 200 characters, ending before
  // its first carriage return. Valid until the next call on the editor.
  TextView ReadEditorLine(int line) { return CutEditorLine(LineText(line)); }

  // Keyboard focus to the editor.
  virtual void Focus() = 0;
  // Selects positions [start, end).
  virtual void SetSelection(int64_t start, int64_t end) = 0;
  // Scrolls the view down by `lines` lines (as far as the editor lets it).
  virtual void ScrollLines(int lines) = 0;
  virtual int FirstVisibleLine() = 0;
  // The character position at the top-left corner (0, 0) of the client area.
  virtual int64_t CharIndexAtTopLeft() = 0;

 protected:
  // At least the first 200 characters of line `line`; more, and the line's
  // own end of line, may follow. Empty for a line that does not exist. Valid
  // until the next call on the editor.
  virtual TextView LineText(int line) = 0;
};

// Brings line `line` into view and selects it, as a faulty line is shown:
// focus and caret to the start of the text, scroll down by `line` lines, then
// select the line from its start for the length the line reader gives it.
// The start is the position at the view's top-left when the line has come to
// the top, otherwise the sum of the reader's lengths of the lines above it
// plus one for each line break.
void SelectEditorLine(CodeEditor& editor, int line);

}  // namespace tramsel
