// The transmission image: the code strings of the last parsed program, cut
// into the numbered blocks the transmitter asks for.
#pragma once

#include <string>
#include <vector>

#include "code3b/parsed_line.h"
#include "common/operator_ui.h"
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

// The code string of one line, one printable byte per symbol (a 4-bit value
// in bits 0 to 3, parity in bit 4, bit 6 set): a move gives separator, x
// digits, separator, y digits, separator, j digits, axis, word and, for a
// jump line, one more separator; a stop line "O", an end line "OO".
std::string EncodeLine(const ParsedLine& line);

// Fills `image` from the lines of a successful parse. Blocks take whole code
// strings while they stay below the room of a packet, packetCapacity - 7
// bytes; a code string that alone reaches the room gets a block of its own,
// longer than the room. False, after the message "发送文件长度为0", when there
// are no lines.
bool BuildCodeImage(const std::vector<ParsedLine>& parsed, int packetCapacity, OperatorUi& ui,
                    CodeImage& image);

}  // namespace tramsel
