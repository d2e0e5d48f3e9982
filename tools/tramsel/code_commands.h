// The 3B code subcommands: check and encode. Their output is a contract
// for scripts and tests; the help texts below describe it.
#pragma once

#include <string_view>

#include "cli.h"

namespace tramsel {

inline constexpr std::string_view kCheckHelp =
    "  check [--jump-mode N] [--encoding NAME] FILE\n"
    "      Parses FILE as the program does when a transfer starts. Prints every\n"
    "      message the operator would see, one per line, on standard output;\n"
    "      nothing when the parse succeeds. Exit status 0 when the parse\n"
    "      succeeds, 1 when it fails.\n"
    "      --jump-mode N     the jump code setting: 1 turns a \"/J\" line into a\n"
    "                        jump line, any other value only drops the \"/J\"\n"
    "                        (default 0)\n";

inline constexpr std::string_view kEncodeHelp =
    "  encode [--capacity N] [--jump-mode N] [--line-counter N] [--encoding NAME] FILE\n"
    "      Parses FILE and builds the transmission image. On success prints every\n"
    "      block, one per line, as its code bytes (printable ASCII), then a last\n"
    "      line \"lines L report R\": L the number of code lines, R the line-count\n"
    "      report sent at the end of a transfer. Exit status 0. On a failed parse\n"
    "      or build prints the messages as check does; exit status 1.\n"
    "      --capacity N      the machine's packet capacity: a block takes whole code\n"
    "                        lines while it stays below N - 7 bytes, and a line\n"
    "                        that alone reaches that has a block of its own\n"
    "                        (default 64)\n"
    "      --jump-mode N     as for check (default 0)\n"
    "      --line-counter N  the line counter setting: the report is L for 0 and\n"
    "                        \"0\" for any other value (default 0)\n";

int RunCheck(const CliArgs& args, CliContext& context);
int RunEncode(const CliArgs& args, CliContext& context);

}  // namespace tramsel
