#include "code3b/memory_code_editor.h"

#include <algorithm>
#include <climits>
#include <utility>

namespace tramsel {

namespace {

bool IsBreak(char16_t c) { return c == u'\r' || c == u'\n'; }

}  // namespace

MemoryCodeEditor::MemoryCodeEditor(Text text) : text_(std::move(text)) {
  // Counted first so that the index takes exactly one word per line, even
  // for a text of millions of empty lines.
  size_t breaks = 0;
  for (size_t i = 0; i < text_.size(); ++i) {
    if (text_[i] == u'\n' || (text_[i] == u'\r' && (i + 1 == text_.size() || text_[i + 1] != u'\n'))) {
      ++breaks;
    }
  }
  lineStarts_.reserve(breaks + 1);
  lineStarts_.push_back(0);
  for (size_t i = 0; i < text_.size(); ++i) {
    if (!IsBreak(text_[i])) continue;
    if (text_[i] == u'\r' && i + 1 < text_.size() && text_[i + 1] == u'\n') ++i;
    lineStarts_.push_back(i + 1);
  }
}

int MemoryCodeEditor::LineCount() {
  return static_cast<int>(std::min<size_t>(lineStarts_.size(), INT_MAX));
}

TextView MemoryCodeEditor::LineText(int line) {
  if (line < 0 || static_cast<size_t>(line) >= lineStarts_.size()) return {};
  const size_t start = lineStarts_[line];
  const size_t limit = std::min(text_.size(), start + kEditorLineLimit);
  size_t end = start;
  while (end < limit && !IsBreak(text_[end])) ++end;
  return TextView(text_).substr(start, end - start);
}

void MemoryCodeEditor::SetSelection(int64_t start, int64_t end) {
  selectionStart_ = start;
  selectionEnd_ = end;
}

void MemoryCodeEditor::ScrollLines(int lines) {
  const long long target = static_cast<long long>(firstVisible_) + lines;
  firstVisible_ = static_cast<int>(std::clamp<long long>(target, 0, LineCount() - 1));
}

int64_t MemoryCodeEditor::CharIndexAtTopLeft() {
  // The editor counts a CR LF pair as one character.
  const size_t offset = lineStarts_[firstVisible_];
  int64_t pairs = 0;
  for (size_t i = 1; i < offset; ++i) {
    if (text_[i - 1] == u'\r' && text_[i] == u'\n') ++pairs;
  }
  return static_cast<int64_t>(offset) - pairs;
}

}  // namespace tramsel
