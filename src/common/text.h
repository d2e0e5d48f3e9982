// Text as the program holds it: UTF-16, as the Windows controls hold it, so
// that lengths and 200-character cuts count the same units everywhere.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tramsel {

using Text = std::u16string;
using TextView = std::u16string_view;

// The C library's decimal conversion (atoi): optional leading white space and
// sign, then the leading digits; 0 when there are none. Values beyond the
// range of int are clamped instead of overflowing.
int ReadDecimal(TextView text);
int ReadDecimal(std::string_view text);

// "%d" of a value.
Text DecimalText(long long value);

// Upper-cases the letters a to z only.
Text UpperAscii(TextView text);

// Lines as the code editor separates them: CR LF, a lone CR and a lone LF
// each end a line; the text after the last break is a line of its own (so ""
// is one empty line and "a\n" is "a" and "").
std::vector<TextView> SplitEditorLines(TextView text);

// The editor's line reader: at most 200 characters, ending before the first
// carriage return.
inline constexpr size_t kEditorLineLimit = 200;
TextView CutEditorLine(TextView line);

std::string ToUtf8(TextView text);
Text FromUtf8(std::string_view utf8);

}  // namespace tramsel
