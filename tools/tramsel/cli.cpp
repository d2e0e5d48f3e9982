#include "cli.h"

#include <charconv>

namespace tramsel {

std::optional<CliOptions> ReadOptions(std::string_view command, const CliArgs& args,
                                      const std::vector<std::string_view>& known, CliContext& context) {
  CliOptions options;
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
      options.operands.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    bool isKnown = false;
    for (std::string_view name : known) isKnown = isKnown || arg == name;
    if (!isKnown) {
      context.err.Write("tramsel " + std::string(command) + ": unknown option " + arg + "\n");
      return std::nullopt;
    }
    if (i + 1 == args.size()) {
      context.err.Write("tramsel " + std::string(command) + ": " + arg + " needs a value\n");
      return std::nullopt;
    }
    options.values[arg] = args[++i];
  }
  return options;
}

std::optional<int> IntOption(std::string_view command, const CliOptions& options, std::string_view name,
                             int fallback, CliContext& context) {
  auto found = options.values.find(name);
  if (found == options.values.end()) return fallback;
  const std::string& text = found->second;
  int value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
    context.err.Write("tramsel " + std::string(command) + ": " + std::string(name) +
                      " needs a whole number, not '" + text + "'\n");
    return std::nullopt;
  }
  return value;
}

}  // namespace tramsel
