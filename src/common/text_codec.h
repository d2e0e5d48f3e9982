// Conversion between held text and the narrow text of files and packets.
// Windows uses the system's ANSI code page (936 on a Chinese system); the
// portable code only sees this interface, so Linux tools and tests can read
// and write the same GBK bytes.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "common/text.h"

namespace tramsel {

class TextCodec {
 public:
  virtual ~TextCodec() = default;
  // Never fails: a byte sequence the code page does not define becomes '?'.
  virtual Text Decode(std::string_view bytes) const = 0;
  // Never fails: a character the code page cannot hold becomes '?'.
  virtual std::string Encode(TextView text) const = 0;
};

// Bytes up to (not including) the first zero byte: how files are taken in.
std::string_view UpToFirstZero(std::string_view bytes);

#ifdef _WIN32
// The system's ANSI code page.
std::unique_ptr<TextCodec> MakeAnsiCodec();
// A Windows code page such as 936 or 65001 (UTF-8); null when the system
// does not have it.
std::unique_ptr<TextCodec> MakeCodePageCodec(unsigned codePage);
#else
// An iconv character set such as "GBK"; null when iconv does not know it.
std::unique_ptr<TextCodec> MakeIconvCodec(const std::string& charset);
#endif

}  // namespace tramsel
