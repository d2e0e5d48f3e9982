// The transmission image: the code strings of the last parsed program, cut
// into the numbered blocks the transmitter asks for.
#pragma once

#include <string>
#include <vector>

#include "common/text.h"

namespace tramsel {

struct CodeImage {
  std::vector<std::string> lines;   // one code string per parsed line
  std::vector<std::string> blocks;  // block n on the wire is blocks[n - 1]
  int lineCount = 0;

  int blockCount() const { return static_cast<int>(blocks.size()); }
  // The end-of-data payload: the line count, or "0" when the line counter
  // setting is not 0.
  Text lineCountReport(int lineCounterType) const {
    return lineCounterType != 0 ? Text(u"0") : DecimalText(lineCount);
  }
  void clear() {
    lines.clear();
    blocks.clear();
    lineCount = 0;
  }
};

}  // namespace tramsel
