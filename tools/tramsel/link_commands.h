// The link subcommands of the tool: send and the transmitter management
// commands. They run the program's link on the platform's host
// (link_command_host.h); their output and exit status are a contract for
// scripts and tests, described by the help texts below.
#pragma once

#include <string_view>

#include "cli.h"

namespace tramsel {

inline constexpr std::string_view kSendHelp =
    "  send [LINK OPTIONS] [--store] [--encoding NAME] FILE\n"
    "      Sends the 3B program in FILE to the machine, straight through the\n"
    "      transmitter to the machine (direct), or with --store into the\n"
    "      transmitter box. Exit status 0 when the transfer ends in\n"
    "      \"消息:\\r\\n文件传送完成!\" or \"恭喜\\r\\n代码传送成功!\".\n";

// The management commands; LinkCommandsHelp() adds the link options.
inline constexpr std::string_view kManagementHelp =
    "  check-connection [LINK OPTIONS]   connect, ask for the packet capacity and\n"
    "      select the sub station; exit status 0 on \"链接成功\\r\\n待机中...\"\n"
    "  delete-current [LINK OPTIONS]     delete the transmitter's current code\n"
    "  clear-all [LINK OPTIONS]          clear all its code; both exit 0 on\n"
    "      \"消息:\\r\\n文件删除成功!\"\n"
    "  key-enable [LINK OPTIONS]         enable the download key; exit 0 when the\n"
    "      transmitter reports it enabled\n"
    "  key-disable [LINK OPTIONS]        disable it; exit 0 when reported disabled\n"
    "  allow-match [LINK OPTIONS]        let the transmitter match a station again;\n"
    "      exit 0 on \"消息:\\r\\n设置成功!\"\n"
    "\n"
    "  LINK OPTIONS:\n";

// The link options after --port (kPortHelp, the platform's).
inline constexpr std::string_view kLinkOptionsHelp =
    "      --config FILE        take settings and machines from this configuration\n"
    "                           file (read only, never written)\n"
    "      --machine N          the machine to address, 1 to the number of machines\n"
    "                           (default: the file's current machine, else 1)\n"
    "      --station N  --sub N  --speed N  --empty-answers N  --download-mode N\n"
    "                           override the machine's master station (0 to 255),\n"
    "                           sub station (0 to 255), sync speed (0 to 6),\n"
    "                           empty answers (0 to 255) and download mode (1 to 4)\n"
    "      --jump-mode N  --line-counter N\n"
    "                           override the jump code and line counter settings\n"
    "      --yes | --no         how questions are answered. --no (the default):\n"
    "                           Cancel to every question. --yes: OK the first time\n"
    "                           a question is asked, Cancel when the same question\n"
    "                           comes again (so the connection question gives 15 s\n"
    "                           more once)\n"
    "      --wait-limit S       longest wait, in seconds, while the link waits on\n"
    "                           the transmitter without a time-out of its own: for\n"
    "                           59 or 55 after a direct transfer of at most 5\n"
    "                           blocks, or after the transmitter asked for block 0\n"
    "                           (default 30); then exit status 1\n"
    "      --json               print JSON lines instead of text lines\n"
    "\n"
    "  Output of the link commands, on standard output: every status text,\n"
    "  message and question in the order shown, one a line, as\n"
    "      status: TEXT\n"
    "      message: TEXT                      (captioned with the program's name)\n"
    "      message [CAPTION]: TEXT\n"
    "      question [CAPTION]: TEXT -> ok|cancel\n"
    "  with CR, LF and backslash written as \\r, \\n and \\\\; with --json one\n"
    "  object a line: {\"t\": ms since start, \"kind\": \"status\"|\"message\"|\n"
    "  \"question\", \"caption\": ..., \"text\": ..., \"answer\": \"ok\"|\"cancel\"}\n"
    "  (caption for messages and questions, answer for questions; texts exact,\n"
    "  \\r\\n kept). Every wait is bounded: the connection is given up at the\n"
    "  first connection question (7.5 s; 22.5 s with --yes), every request by\n"
    "  the link's own time-outs, and --wait-limit bounds the rest. Ctrl-C during\n"
    "  a transfer presses the progress dialog's cancel button; at any other time,\n"
    "  or a second time, it ends the command (exit status 1). Exit status 1 when\n"
    "  the operation fails, is cancelled or ends otherwise than in its success\n"
    "  message.\n";

// The help of the management commands and the link options.
std::string_view LinkCommandsHelp();

int RunSend(const CliArgs& args, CliContext& context);
int RunCheckConnection(const CliArgs& args, CliContext& context);
int RunDeleteCurrent(const CliArgs& args, CliContext& context);
int RunClearAll(const CliArgs& args, CliContext& context);
int RunKeyEnable(const CliArgs& args, CliContext& context);
int RunKeyDisable(const CliArgs& args, CliContext& context);
int RunAllowMatch(const CliArgs& args, CliContext& context);

}  // namespace tramsel
