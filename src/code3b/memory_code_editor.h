// A code editor over text held in memory, for callers without a window (the
// command-line tool, tests). Lines end at CR LF, a lone CR or a lone LF, as
// in the rich edit; the view shows every line from the first visible one.
#pragma once

#include <cstddef>
#include <vector>

#include "code3b/code_editor.h"
#include "common/text.h"

namespace tramsel {

class MemoryCodeEditor final : public CodeEditor {
 public:
  explicit MemoryCodeEditor(Text text);

  int LineCount() override;
  void Focus() override {}
  void SetSelection(int64_t start, int64_t end) override;
  void ScrollLines(int lines) override;
  int FirstVisibleLine() override { return firstVisible_; }
  int64_t CharIndexAtTopLeft() override;

  int64_t selectionStart() const { return selectionStart_; }
  int64_t selectionEnd() const { return selectionEnd_; }

 protected:
  TextView LineText(int line) override;

 private:
  Text text_;
  std::vector<size_t> lineStarts_;  // offsets in text_, one per line
  int firstVisible_ = 0;
  int64_t selectionStart_ = 0;
  int64_t selectionEnd_ = 0;
};

}  // namespace tramsel
