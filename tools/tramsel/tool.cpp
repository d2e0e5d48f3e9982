// tramsel, the command-line tool of Vorlane 3BTramsel. Each subcommand is a
// row of kCommands, implemented in a source file of its own.
#include "tool.h"

#include <string>

#include "cli_codec.h"
#include "code_commands.h"
#include "link_commands.h"

namespace tramsel {

namespace {

const CliCommand kCommands[] = {
    {"check", RunCheck, kCheckHelp},
    {"encode", RunEncode, kEncodeHelp},
    {"send", RunSend, kSendHelp},
    {"check-connection", RunCheckConnection, {}},
    {"delete-current", RunDeleteCurrent, {}},
    {"clear-all", RunClearAll, {}},
    {"key-enable", RunKeyEnable, {}},
    {"key-disable", RunKeyDisable, {}},
    {"allow-match", RunAllowMatch, LinkCommandsHelp()},
};

std::string HelpText() {
  std::string help =
      "Usage: tramsel COMMAND [OPTIONS] FILE\n"
      "\n"
      "Reads 3B code files as Vorlane 3BTramsel reads them: the bytes up to the\n"
      "first zero byte, in the code page; CR LF, CR and LF each end a line.\n"
      "Output is UTF-8 and every line of it ends with LF; messages are the\n"
      "program's own texts.\n"
      "\n"
      "Commands:\n";
  for (const CliCommand& command : kCommands) {
    if (!command.help.empty()) help += std::string(command.help) + "\n";
  }
  help += "Every command that reads a file takes\n";
  help += kEncodingHelp;
  help +=
      "\n"
      "Exit status 2 for a usage error or a file that cannot be read, with a\n"
      "message on standard error.\n";
  return help;
}

}  // namespace

int RunTool(const CliArgs& args, CliContext& context) {
  if (args.empty()) {
    context.err.Write("Usage: tramsel COMMAND [OPTIONS] FILE (see tramsel --help)\n");
    return kExitUsage;
  }
  if (args.front() == "--help" || args.front() == "-h") {
    context.out.Write(HelpText());
    return kExitSuccess;
  }
  for (const CliCommand& command : kCommands) {
    if (args.front() == command.name) return command.run(CliArgs(args.begin() + 1, args.end()), context);
  }
  context.err.Write("tramsel: unknown command " + args.front() + " (see tramsel --help)\n");
  return kExitUsage;
}

}  // namespace tramsel
