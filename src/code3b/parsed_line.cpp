#include "code3b/parsed_line.h"

namespace tramsel {

template <typename Char>
ParsedLine ParsedLine::MakeMove(std::basic_string_view<Char> x, std::basic_string_view<Char> y,
                                std::basic_string_view<Char> j, MoveAxis axis, MoveWord word,
                                bool jump) {
  ParsedLine line(LineKind::Move);
  line.digits_.resize(x.size() + y.size() + j.size());
  char* out = line.digits_.data();
  for (std::basic_string_view<Char> part : {x, y, j}) {
    for (Char c : part) *out++ = static_cast<char>(c);
  }
  line.xEnd_ = x.size();
  line.yEnd_ = x.size() + y.size();
  line.axis_ = axis;
  line.word_ = word;
  line.jump_ = jump;
  return line;
}

ParsedLine ParsedLine::Move(std::string_view x, std::string_view y, std::string_view j,
                            MoveAxis axis, MoveWord word, bool jump) {
  return MakeMove(x, y, j, axis, word, jump);
}

ParsedLine ParsedLine::Move(std::u16string_view x, std::u16string_view y, std::u16string_view j,
                            MoveAxis axis, MoveWord word, bool jump) {
  return MakeMove(x, y, j, axis, word, jump);
}

}  // namespace tramsel
