// Turns the code bytes a transmitter receives back into 3B lines, as the
// transmitter's side of the link sees them: every byte carries a symbol value
// and a parity bit, and lines follow each other without a separator.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tramsel {

// The symbol value (0 to 15) of a code byte; nothing when its fixed bits or
// its parity are wrong.
std::optional<int> CodeSymbol(uint8_t byte);

// Offset of the first byte of the code whose parity is wrong; nothing when all
// are sound.
std::optional<size_t> FirstParityFault(std::string_view code);

struct DecodedCode {
  bool ok = false;
  // Lines in the normalised form the parser works with: "B60B0B60GXL3", "J"
  // appended to a jump line, "D", "DD".
  std::vector<std::string> lines;
  size_t faultAt = 0;  // symbol offset of a structural fault when !ok
};

// Decodes whole lines. Two stop symbols at the very end are one end line
// ("DD"), unless expectedLines (the line count the host reported, when it is
// not 0) says they are two stop lines.
DecodedCode DecodeCode(std::string_view code, int expectedLines = 0);

}  // namespace tramsel
