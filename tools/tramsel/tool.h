// The tramsel tool without its entry point: the subcommand table, the help
// text and the dispatch, shared by the Linux and the Windows build.
#pragma once

#include "cli.h"

namespace tramsel {

// Runs the subcommand named by args.front(); the exit status.
int RunTool(const CliArgs& args, CliContext& context);

}  // namespace tramsel
