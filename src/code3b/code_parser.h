// The 3B code parser: reads the program in the code editor, finds where it
// starts, reduces every line to its normal form and checks it, and gives the
// accepted lines in file order. It is tolerant: comments (";" to the end),
// "/" tails, labels and line numbers up to ":", spaces and anything before
// the first B of a line are dropped. The first line it cannot accept is
// reported by number and selected in the editor.
//
//   std::vector<ParsedLine> parsed;
//   if (ParseCodeDocument(editor, settings, ui, parsed, image) &&
//       BuildCodeImage(parsed, machines.currentMachine().packetCapacity, ui, image)) { ... }
//
// Every message is a modal OperatorUi::ShowMessage; the parse goes on only
// after it returns.
#pragma once

#include <optional>
#include <vector>

#include "code3b/code_editor.h"
#include "code3b/code_image.h"
#include "code3b/parsed_line.h"
#include "common/operator_ui.h"
#include "common/text.h"
#include "config/app_settings.h"

namespace tramsel {

// Parses the whole editor text into `parsed`, after emptying `parsed` and
// `image`. True when every line from the start line up to the first "DD" (or
// the last line) is accepted; a missing "DD" is no error. False, after the
// messages and with the faulty line selected, otherwise; `parsed` then holds
// the lines accepted before the fault and is not to be used.
//
// The start line is the first line that, without its spaces and upper-cased,
// begins with "B", "D", or "N" not followed by "0". Lines above it are not
// examined. A faulty line shows its own message and then
// "代码在%d行解析出错, 请检查哦." with the line's number counted from 1 at the
// editor's first line. settings.jumpCodeProcessType 1 turns a "/J" line into a
// jump line; any other value only drops the "/J".
bool ParseCodeDocument(CodeEditor& editor, const AppSettings& settings, OperatorUi& ui,
                       std::vector<ParsedLine>& parsed, CodeImage& image);

// The normal form of one line (letters a to z are upper-cased first), into
// `normal`: the move text from its first "B" (with "J" appended for a "/J"
// line when jumpCodeProcessType is 1), "D", "DD", or empty for a line to
// skip. False, after its message, for a line with neither "B" nor "D".
// `normal` is the caller's so that its storage serves line after line.
bool NormalizeLine(TextView line, int jumpCodeProcessType, OperatorUi& ui, Text& normal);

// The record of a normal form: "DD" an end line, "D" a stop line, anything
// else a move text "B x B y B j G axis word", where a "J" anywhere marks a
// jump line and cuts the text there. Separators are found by first
// occurrence, so a missing one is no fault by itself. Nothing, after the
// message of the first bad segment (X, Y, J, G, then Z), for a value with a
// non-digit, an unknown axis or an unknown word.
std::optional<ParsedLine> SplitLine(TextView normal, OperatorUi& ui);

}  // namespace tramsel
