// Whole-file reads and writes. Paths are held text; on Linux they are taken
// as UTF-8 file names.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "common/text.h"

namespace tramsel {

// Reads every byte of the file, letting others read and write it meanwhile;
// nothing when it cannot be opened or read.
std::optional<std::string> ReadWholeFile(const Text& path);

bool FileExists(const Text& path);

// Writes the bytes to a new file beside the target and then puts it in the
// target's place in one step, so that a crash or a full disk part-way leaves
// the old file whole. False, with the old file untouched, on any failure.
bool ReplaceFileContents(const Text& path, std::string_view bytes);

}  // namespace tramsel
