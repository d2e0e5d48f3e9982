#include "app/command_text.h"

#include <cstring>

namespace tramsel {

CommandText SplitCommandText(TextView text) {
  CommandText command;
  size_t slash = text.find(u'/');
  if (text.empty() || slash == TextView::npos) {
    command.path = Text(text);
    return command;
  }
  command.path = Text(text.substr(0, slash));
  TextView rest = text.substr(slash + 1);
  while (!rest.empty() && (slash = rest.find(u'/')) != TextView::npos) {
    command.words.emplace_back(rest.substr(0, slash));
    rest = rest.substr(slash + 1);
  }
  if (!rest.empty()) command.words.emplace_back(rest);
  return command;
}

MainCommand LookupCommand(TextView word) {
  if (word == u"New") return MainCommand::New;
  if (word == u"Auto") return MainCommand::Auto;
  if (word == u"Save") return MainCommand::Save;
  if (word == u"Close") return MainCommand::Close;
  return MainCommand::None;
}

Text CopyDataText(const void* data, size_t byteCount) {
  if (!data) return {};
  Text text(byteCount / sizeof(char16_t), u'\0');
  std::memcpy(text.data(), data, text.size() * sizeof(char16_t));
  text.resize(text.find(u'\0') == Text::npos ? text.size() : text.find(u'\0'));
  return text;
}

StartArgumentParts SplitStartArgument(TextView argument) {
  StartArgumentParts parts;
  const size_t slash = argument.find(u'/');
  if (argument.empty() || slash == TextView::npos) {
    parts.path = Text(argument);
    return parts;
  }
  parts.path = Text(argument.substr(0, slash));
  parts.hasRemark = true;
  parts.remark = Text(argument.substr(slash + 1));
  return parts;
}

}  // namespace tramsel
