// The text of the window-message command interface: an optional code file
// path, then "/"-separated command words.
#pragma once

#include <cstddef>
#include <vector>

#include "common/text.h"

namespace tramsel {

struct CommandText {
  Text path;                // empty: no file named
  std::vector<Text> words;  // in order; empty words match no command
};

CommandText SplitCommandText(TextView text);

enum class MainCommand { None, New, Auto, Save, Close };

// Exact, case-sensitive match with the command table.
MainCommand LookupCommand(TextView word);

// The text a WM_COPYDATA message carries: at most byteCount bytes (byteCount
// / 2 characters) of UTF-16, up to the first NUL among them. The sender's
// buffer is never read beyond byteCount, whether or not it holds a NUL.
Text CopyDataText(const void* data, size_t byteCount);

// A start-up argument "path/remark": the path before the first "/" and the
// remark after it, when there is one.
struct StartArgumentParts {
  Text path;
  bool hasRemark = false;
  Text remark;
};
StartArgumentParts SplitStartArgument(TextView argument);

}  // namespace tramsel
