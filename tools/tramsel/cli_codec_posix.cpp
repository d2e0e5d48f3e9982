#include "cli_codec.h"

namespace tramsel {

const std::string_view kEncodingHelp =
    "  --encoding NAME   the files' character set, an iconv name (default CP936,\n"
    "                    the GBK code page of a Chinese Windows)\n";

std::unique_ptr<TextCodec> OpenFileCodec(const std::optional<std::string>& encoding, std::string& error) {
  const std::string name = encoding.value_or("CP936");
  std::unique_ptr<TextCodec> codec = MakeIconvCodec(name);
  if (!codec) error = "unknown encoding " + name;
  return codec;
}

}  // namespace tramsel
