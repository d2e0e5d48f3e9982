#include "cli_codec.h"

#include <charconv>

namespace tramsel {

namespace {

constexpr unsigned kUtf8CodePage = 65001;

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if ((a[i] | 0x20) != (b[i] | 0x20)) return false;
  }
  return true;
}

// "936", "CP936" or "UTF-8"; nothing for any other text.
std::optional<unsigned> CodePageNumber(std::string_view name) {
  if (EqualsIgnoringCase(name, "UTF-8")) return kUtf8CodePage;
  if (name.size() > 2 && EqualsIgnoringCase(name.substr(0, 2), "CP")) name.remove_prefix(2);
  unsigned number = 0;
  auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), number);
  if (name.empty() || error != std::errc() || end != name.data() + name.size()) return std::nullopt;
  return number;
}

}  // namespace

const std::string_view kEncodingHelp =
    "  --encoding NAME   the files' code page: a number such as 936, CP936, or\n"
    "                    UTF-8 (default: the system's ANSI code page, 936 on a\n"
    "                    Chinese Windows)\n";

std::unique_ptr<TextCodec> OpenFileCodec(const std::optional<std::string>& encoding, std::string& error) {
  if (!encoding) return MakeAnsiCodec();
  std::unique_ptr<TextCodec> codec;
  if (std::optional<unsigned> codePage = CodePageNumber(*encoding)) codec = MakeCodePageCodec(*codePage);
  if (!codec) error = "unknown encoding " + *encoding;
  return codec;
}

}  // namespace tramsel
