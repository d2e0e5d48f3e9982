#include "code3b/code_image.h"

namespace tramsel {

namespace {

// The code byte of each symbol value: 0x40 + v, plus 0x10 when v has an odd
// number of one bits.
constexpr char kCodeByte[16] = {'@', 'Q', 'R', 'C', 'T', 'E', 'F', 'W',
                                'X', 'I', 'J', '[', 'L', ']', '^', 'O'};
constexpr int kSeparator = 12;  // each B, and the jump marker
constexpr int kStopMark = 15;   // D

constexpr int kAxisSymbol[] = {13, 14, 10, 11};  // X, Y, U, V
// L1 L2 L3 L4, SR1 to SR4, NR1 to NR4
constexpr int kWordSymbol[] = {8, 9, 11, 10, 2, 0, 1, 3, 5, 7, 6, 4};

char* PutDigits(char* out, std::string_view digits) {
  for (char c : digits) *out++ = kCodeByte[(c - '0') & 0xF];
  return out;
}

}  // namespace

std::string EncodeLine(const ParsedLine& line) {
  std::string code;
  switch (line.kind()) {
    case LineKind::Stop:
      code.assign(1, kCodeByte[kStopMark]);
      break;
    case LineKind::End:
      code.assign(2, kCodeByte[kStopMark]);
      break;
    case LineKind::Move: {
      // Written in place at its final size: this runs once per line.
      code.resize(line.x().size() + line.y().size() + line.j().size() + 5 + (line.jump() ? 1 : 0));
      char* out = code.data();
      *out++ = kCodeByte[kSeparator];
      out = PutDigits(out, line.x());
      *out++ = kCodeByte[kSeparator];
      out = PutDigits(out, line.y());
      *out++ = kCodeByte[kSeparator];
      out = PutDigits(out, line.j());
      *out++ = kCodeByte[kAxisSymbol[static_cast<int>(line.axis())]];
      *out++ = kCodeByte[kWordSymbol[static_cast<int>(line.word())]];
      if (line.jump()) *out = kCodeByte[kSeparator];
      break;
    }
  }
  return code;
}

bool BuildCodeImage(const std::vector<ParsedLine>& parsed, int packetCapacity, OperatorUi& ui,
                    CodeImage& image) {
  image.clear();
  image.lines.reserve(parsed.size());
  for (const ParsedLine& line : parsed) image.lines.push_back(EncodeLine(line));
  image.lineCount = static_cast<int>(image.lines.size());

  // Each block is built once at its final size, from lines [first, next).
  const long long room = static_cast<long long>(packetCapacity) - 7;
  size_t first = 0;
  long long length = 0;
  auto closeBlock = [&](size_t next) {
    std::string& block = image.blocks.emplace_back();
    block.reserve(static_cast<size_t>(length));
    for (size_t k = first; k < next; ++k) block += image.lines[k];
    first = next;
    length = 0;
  };
  for (size_t i = 0; i < image.lines.size(); ++i) {
    const long long size = static_cast<long long>(image.lines[i].size());
    // Only a block that holds something is closed. Every code string has at
    // least one byte, so only the first block could be empty: when the first
    // code string alone reaches the room (always so for a capacity of 7 or
    // less). An empty block carries no code, and how a transmitter takes a
    // data packet without data is unknown, so none is sent.
    if (length > 0 && length + size >= room) closeBlock(i);
    length += size;
  }
  if (length > 0) closeBlock(image.lines.size());

  if (image.lineCount == 0) {
    ui.ShowMessage(u"发送文件长度为0");
    return false;
  }
  return true;
}

}  // namespace tramsel
