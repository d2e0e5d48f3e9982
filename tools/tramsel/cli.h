// What every subcommand of the tramsel tool is given, and the pieces they
// share. Subcommands stay portable: they read files through common/file_io,
// decode them with the codec of cli_codec.h, and write UTF-8 bytes through
// the writers here, so the same sources build the Windows tool.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tramsel {

// Exit status of every subcommand.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;  // the operation ran and failed
inline constexpr int kExitUsage = 2;    // bad arguments, unreadable file

class Utf8Writer {
 public:
  virtual ~Utf8Writer() = default;
  virtual void Write(std::string_view utf8) = 0;
};

struct CliContext {
  Utf8Writer& out;
  Utf8Writer& err;
};

// The arguments after the subcommand's name, as UTF-8.
using CliArgs = std::vector<std::string>;

struct CliCommand {
  std::string_view name;
  int (*run)(const CliArgs& args, CliContext& context);
  std::string_view help;  // shown by "tramsel --help"
};

// Arguments split into "--name VALUE" options and operands, in any order;
// "--" ends the options.
struct CliOptions {
  std::map<std::string, std::string, std::less<>> values;
  std::vector<std::string> operands;
};

// Nothing, after a message on standard error, for an option not in `known`
// or without its value.
std::optional<CliOptions> ReadOptions(std::string_view command, const CliArgs& args,
                                      const std::vector<std::string_view>& known, CliContext& context);

// The option's value as a whole number (optional "-", decimal digits, within
// the range of int), or `fallback` when it was not given. Nothing, after a
// message on standard error, for any other text.
std::optional<int> IntOption(std::string_view command, const CliOptions& options, std::string_view name,
                             int fallback, CliContext& context);

}  // namespace tramsel
