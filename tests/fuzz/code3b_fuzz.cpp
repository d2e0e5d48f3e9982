// libFuzzer target for the 3B parser and the transmission image: any input
// must parse without a fault, and a built image must keep its promises.
//
// Input: byte 0 chooses the jump setting (bits 0-1) and how the rest becomes
// text (bit 2: raw UTF-16LE, every code unit possible; otherwise decoded from
// GBK as files are); byte 1 is the packet capacity, signed.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "code3b/code_image.h"
#include "code3b/code_parser.h"
#include "code3b/memory_code_editor.h"
#include "common/text_codec.h"

namespace tramsel {
namespace {

#define FUZZ_CHECK(condition)                                        \
  do {                                                               \
    if (!(condition)) {                                              \
      std::fprintf(stderr, "check failed: %s (line %d)\n", #condition, __LINE__); \
      std::abort();                                                  \
    }                                                                \
  } while (0)

class CountingUi final : public OperatorUi {
 public:
  void ShowMessage(TextView text) override {
    FUZZ_CHECK(!text.empty());
    ++messages;
  }
  void ShowCaptionedMessage(TextView, TextView text) override { ShowMessage(text); }
  bool Ask(TextView, TextView) override { return true; }
  void SetStatusText(TextView) override {}
  int messages = 0;
};

bool IsCodeByte(unsigned char byte) {
  return (byte & 0xE0) == 0x40 && __builtin_popcount(byte & 0x1F) % 2 == 0;
}

bool AllDigits(std::string_view text) {
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

void CheckLine(const ParsedLine& line, const std::string& code) {
  for (unsigned char byte : code) FUZZ_CHECK(IsCodeByte(byte));
  switch (line.kind()) {
    case LineKind::Stop:
      FUZZ_CHECK(code == "O");
      break;
    case LineKind::End:
      FUZZ_CHECK(code == "OO");
      break;
    case LineKind::Move:
      FUZZ_CHECK(AllDigits(line.x()) && AllDigits(line.y()) && AllDigits(line.j()));
      FUZZ_CHECK(code.size() == line.x().size() + line.y().size() + line.j().size() + 5 + line.jump());
      break;
  }
}

void CheckImage(const std::vector<ParsedLine>& parsed, const CodeImage& image, int capacity) {
  FUZZ_CHECK(image.lines.size() == parsed.size());
  FUZZ_CHECK(image.lineCount == static_cast<int>(parsed.size()));
  for (size_t i = 0; i < parsed.size(); ++i) CheckLine(parsed[i], image.lines[i]);
  // Blocks are runs of whole code strings, none empty, and a block of two or
  // more stays below the room.
  const long long room = static_cast<long long>(capacity) - 7;
  size_t line = 0;
  for (const std::string& block : image.blocks) {
    FUZZ_CHECK(!block.empty());
    size_t offset = 0;
    size_t count = 0;
    while (offset < block.size()) {
      FUZZ_CHECK(line < image.lines.size());
      FUZZ_CHECK(block.compare(offset, image.lines[line].size(), image.lines[line]) == 0);
      offset += image.lines[line++].size();
      ++count;
    }
    FUZZ_CHECK(offset == block.size());
    if (count > 1) FUZZ_CHECK(static_cast<long long>(block.size()) < room);
  }
  FUZZ_CHECK(line == image.lines.size());
}

void Run(const uint8_t* data, size_t size) {
  if (size < 2) return;
  AppSettings settings;
  settings.jumpCodeProcessType = data[0] & 3;
  const int capacity = static_cast<int8_t>(data[1]);
  const std::string_view bytes(reinterpret_cast<const char*>(data + 2), size - 2);
  Text text;
  if (data[0] & 4) {
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
      text += static_cast<char16_t>(static_cast<uint8_t>(bytes[i]) | static_cast<uint8_t>(bytes[i + 1]) << 8);
    }
  } else {
    static const std::unique_ptr<TextCodec> codec = MakeIconvCodec("CP936");
    text = codec->Decode(UpToFirstZero(bytes));
  }

  // The whole text as a single line, past the line reader's cut.
  CountingUi ui;
  Text normal;
  if (NormalizeLine(text, settings.jumpCodeProcessType, ui, normal) && !normal.empty()) {
    if (std::optional<ParsedLine> line = SplitLine(normal, ui)) CheckLine(*line, EncodeLine(*line));
  }

  const int64_t textLength = static_cast<int64_t>(text.size());
  MemoryCodeEditor editor(std::move(text));
  std::vector<ParsedLine> parsed;
  CodeImage image;
  CountingUi parseUi;
  if (!ParseCodeDocument(editor, settings, parseUi, parsed, image)) {
    FUZZ_CHECK(parseUi.messages == 1 || parseUi.messages == 2);
    FUZZ_CHECK(editor.selectionStart() >= 0 && editor.selectionStart() <= editor.selectionEnd());
    FUZZ_CHECK(editor.selectionEnd() <= textLength);
    return;
  }
  FUZZ_CHECK(parseUi.messages == 0);
  for (size_t i = 0; i + 1 < parsed.size(); ++i) FUZZ_CHECK(parsed[i].kind() != LineKind::End);
  const bool built = BuildCodeImage(parsed, capacity, parseUi, image);
  FUZZ_CHECK(built == !parsed.empty());
  CheckImage(parsed, image, capacity);
}

}  // namespace
}  // namespace tramsel

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tramsel::Run(data, size);
  return 0;
}
