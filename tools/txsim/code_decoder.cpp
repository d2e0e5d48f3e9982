#include "txsim/code_decoder.h"

#include <bit>

namespace tramsel {

namespace {

constexpr int kSeparator = 12;  // also the jump marker
constexpr int kStop = 15;

// Word symbols by value: every value from 0 to 11 names one word.
constexpr const char* kWords[12] = {"SR2", "SR3", "SR1", "SR4", "NR4", "NR1",
                                    "NR3", "NR2", "L1",  "L2",  "L4",  "L3"};

bool IsDigit(int v) { return v <= 9; }

const char* AxisName(int v) {
  switch (v) {
    case 13: return "X";
    case 14: return "Y";
    case 10: return "U";
    case 11: return "V";
    default: return nullptr;
  }
}

// A separator after a word is either that line's jump marker or the first
// separator of the next move line. A move line has exactly three separators
// before its axis, so count them up to the next symbol that is neither a digit
// nor a separator: four there (or one before a stop or the end) means the
// first was a jump marker.
std::optional<bool> IsJumpMarker(const std::vector<int>& symbols, size_t at) {
  int separators = 0;
  size_t i = at;
  while (i < symbols.size() && (IsDigit(symbols[i]) || symbols[i] == kSeparator)) {
    if (symbols[i] == kSeparator) ++separators;
    ++i;
  }
  if (i == symbols.size() || symbols[i] == kStop) {
    if (separators == 1 && i == at + 1) return true;
    return std::nullopt;
  }
  if (separators == 4) return true;
  if (separators == 3) return false;
  return std::nullopt;
}

}  // namespace

std::optional<int> CodeSymbol(uint8_t byte) {
  const int v = byte & 0x0F;
  const int parity = std::popcount(static_cast<unsigned>(v)) & 1;
  if (byte != 0x40 + v + 16 * parity) return std::nullopt;
  return v;
}

std::optional<size_t> FirstParityFault(std::string_view code) {
  for (size_t i = 0; i < code.size(); ++i) {
    if (!CodeSymbol(static_cast<uint8_t>(code[i]))) return i;
  }
  return std::nullopt;
}

DecodedCode DecodeCode(std::string_view code, int expectedLines) {
  DecodedCode result;
  std::vector<int> symbols;
  for (size_t i = 0; i < code.size(); ++i) {
    auto v = CodeSymbol(static_cast<uint8_t>(code[i]));
    if (!v) {
      result.faultAt = i;
      return result;
    }
    symbols.push_back(*v);
  }

  auto fail = [&](size_t at) {
    result.faultAt = at;
    result.lines.clear();
    return result;
  };
  size_t i = 0;
  while (i < symbols.size()) {
    if (symbols[i] == kStop) {
      result.lines.push_back("D");
      ++i;
      continue;
    }
    if (symbols[i] != kSeparator) return fail(i);
    std::string line;
    ++i;
    // x, y and j: digits, the first two each closed by a separator.
    for (int field = 0; field < 3; ++field) {
      line += 'B';
      while (i < symbols.size() && IsDigit(symbols[i])) line += static_cast<char>('0' + symbols[i++]);
      if (field < 2) {
        if (i == symbols.size() || symbols[i] != kSeparator) return fail(i);
        ++i;
      }
    }
    if (i == symbols.size() || !AxisName(symbols[i])) return fail(i);
    line += 'G';
    line += AxisName(symbols[i++]);
    if (i == symbols.size() || symbols[i] > 11) return fail(i);
    line += kWords[symbols[i++]];
    if (i < symbols.size() && symbols[i] == kSeparator) {
      auto jump = IsJumpMarker(symbols, i);
      if (!jump) return fail(i);
      if (*jump) {
        line += 'J';
        ++i;
      }
    }
    result.lines.push_back(std::move(line));
  }

  // Two stop symbols at the end are the end line, unless the reported count
  // says they are two stop lines.
  const size_t n = result.lines.size();
  if (n >= 2 && result.lines[n - 1] == "D" && result.lines[n - 2] == "D" &&
      !(expectedLines > 0 && static_cast<size_t>(expectedLines) == n)) {
    result.lines.pop_back();
    result.lines.back() = "DD";
  }
  result.ok = true;
  return result;
}

}  // namespace tramsel
