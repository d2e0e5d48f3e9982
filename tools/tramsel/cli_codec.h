// How the tool decodes text files: as the program does, in the system's
// code page. This is the one platform seam of the file-reading subcommands:
// the Linux tool decodes with iconv (GBK unless told otherwise); the Windows
// tool uses the ANSI code page.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "common/text_codec.h"

namespace tramsel {

// The help line of the --encoding option.
extern const std::string_view kEncodingHelp;

// The codec for the --encoding value, or for the default when it was not
// given; null, with `error` set, when the value cannot be used.
std::unique_ptr<TextCodec> OpenFileCodec(const std::optional<std::string>& encoding, std::string& error);

}  // namespace tramsel
