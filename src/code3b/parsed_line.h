// One accepted line of 3B code, as the parser hands it to the image builder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tramsel {

enum class LineKind : uint8_t {
  Move,  // "B x B y B j G<axis> <word>"
  Stop,  // "D", a pause
  End,   // "DD", the end of the program
};

enum class MoveAxis : uint8_t { X, Y, U, V };

// The Z segment of a move.
enum class MoveWord : uint8_t { L1, L2, L3, L4, SR1, SR2, SR3, SR4, NR1, NR2, NR3, NR4 };

// The three values of a move are kept as the digits written, leading zeros
// included, never as numbers: the transmitter gets one symbol per digit. They
// share one string so that a typical move costs no heap block of its own.
class ParsedLine {
 public:
  static ParsedLine Stop() { return ParsedLine(LineKind::Stop); }
  static ParsedLine End() { return ParsedLine(LineKind::End); }
  // x, y and j hold only the digits '0' to '9'; each may be empty.
  static ParsedLine Move(std::string_view x, std::string_view y, std::string_view j, MoveAxis axis,
                         MoveWord word, bool jump);
  // The same from held text, as the parser has it after its digit checks.
  static ParsedLine Move(std::u16string_view x, std::u16string_view y, std::u16string_view j,
                         MoveAxis axis, MoveWord word, bool jump);

  LineKind kind() const { return kind_; }
  // The move's fields; empty or meaningless for a stop or end line.
  std::string_view x() const { return std::string_view(digits_).substr(0, xEnd_); }
  std::string_view y() const { return std::string_view(digits_).substr(xEnd_, yEnd_ - xEnd_); }
  std::string_view j() const { return std::string_view(digits_).substr(yEnd_); }
  MoveAxis axis() const { return axis_; }
  MoveWord word() const { return word_; }
  bool jump() const { return jump_; }

  bool operator==(const ParsedLine&) const = default;

 private:
  explicit ParsedLine(LineKind kind) : kind_(kind) {}
  template <typename Char>
  static ParsedLine MakeMove(std::basic_string_view<Char> x, std::basic_string_view<Char> y,
                             std::basic_string_view<Char> j, MoveAxis axis, MoveWord word, bool jump);

  std::string digits_;  // x, y and j one after the other
  size_t xEnd_ = 0;
  size_t yEnd_ = 0;
  LineKind kind_;
  MoveAxis axis_ = MoveAxis::X;
  MoveWord word_ = MoveWord::L1;
  bool jump_ = false;
};

}  // namespace tramsel
