#include "code3b/code_parser.h"

#include <utility>

namespace tramsel {

namespace {

constexpr size_t npos = TextView::npos;

char16_t Upper(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c; }

// Spaces are skipped without copying: most lines above the start line are
// long comment banners.
bool IsStartLine(TextView line) {
  const size_t first = line.find_first_not_of(u' ');
  if (first == npos) return false;
  const char16_t c = Upper(line[first]);
  if (c == u'B' || c == u'D') return true;
  if (c != u'N') return false;
  const size_t second = line.find_first_not_of(u' ', first + 1);
  return second == npos || line[second] != u'0';
}

bool AllDigits(TextView value) {
  for (char16_t c : value) {
    if (c < u'0' || c > u'9') return false;
  }
  return true;
}

std::optional<MoveAxis> AxisOf(TextView text) {
  if (text == u"X") return MoveAxis::X;
  if (text == u"Y") return MoveAxis::Y;
  if (text == u"U") return MoveAxis::U;
  if (text == u"V") return MoveAxis::V;
  return std::nullopt;
}

std::optional<MoveWord> WordOf(TextView text) {
  static constexpr std::pair<TextView, MoveWord> kWords[] = {
      {u"L1", MoveWord::L1},   {u"L2", MoveWord::L2},   {u"L3", MoveWord::L3},
      {u"L4", MoveWord::L4},   {u"SR1", MoveWord::SR1}, {u"SR2", MoveWord::SR2},
      {u"SR3", MoveWord::SR3}, {u"SR4", MoveWord::SR4}, {u"NR1", MoveWord::NR1},
      {u"NR2", MoveWord::NR2}, {u"NR3", MoveWord::NR3}, {u"NR4", MoveWord::NR4},
  };
  for (const auto& [name, word] : kWords) {
    if (text == name) return word;
  }
  return std::nullopt;
}

bool LineError(CodeEditor& editor, int line, OperatorUi& ui) {
  ui.ShowMessage(u"代码在" + DecimalText(static_cast<long long>(line) + 1) + u"行解析出错, 请检查哦.");
  SelectEditorLine(editor, line);
  return false;
}

}  // namespace

bool NormalizeLine(TextView line, int jumpCodeProcessType, OperatorUi& ui, Text& normal) {
  // One pass: spaces go, letters are upper-cased, and the line ends at its
  // first ";" (a comment) or "/" (a "/J" jump mark or any other tail), so a
  // comment is never copied. A label or line number ends at the first ":"
  // before that.
  normal.resize(line.size());
  size_t size = 0;
  size_t colon = npos;
  bool jump = false;
  for (size_t i = 0; i < line.size(); ++i) {
    const char16_t c = Upper(line[i]);
    if (c == u' ') continue;
    if (c == u';') break;
    if (c == u'/') {
      const size_t next = line.find_first_not_of(u' ', i + 1);
      jump = next != npos && Upper(line[next]) == u'J';
      break;
    }
    if (c == u':' && colon == npos) colon = size;
    normal[size++] = c;
  }
  normal.resize(size);
  const size_t begin = colon == npos ? 0 : colon + 1;

  if (size_t at = normal.find(u'B', begin); at != npos) {
    normal.erase(0, at);
    if (jump && jumpCodeProcessType == 1) normal += u'J';
    return true;
  }
  if (size_t at = normal.find(u'D', begin); at != npos) {
    normal = at + 1 < size && normal[at + 1] == u'D' ? u"DD" : u"D";
    return true;
  }
  const bool blank = begin == size;
  normal.clear();
  if (blank) return true;
  ui.ShowMessage(u"代码格式有误,应该以“B”或“D”作为起始指令");
  return false;
}

std::optional<ParsedLine> SplitLine(TextView normal, OperatorUi& ui) {
  if (normal == u"DD") return ParsedLine::End();
  if (normal == u"D") return ParsedLine::Stop();

  TextView rest = normal;
  const size_t jumpAt = rest.find(u'J');
  const bool jump = jumpAt != npos;
  if (jump) rest = rest.substr(0, jumpAt);
  // A move text begins with its first "B"; a text without one is taken whole.
  if (size_t at = rest.find(u'B'); at != npos) rest.remove_prefix(at + 1);
  // The part before the next separator; nothing, with the text left whole,
  // when there is none.
  auto cut = [&rest](char16_t separator) {
    const size_t at = rest.find(separator);
    if (at == npos) return TextView();
    TextView part = rest.substr(0, at);
    rest.remove_prefix(at + 1);
    return part;
  };
  const TextView x = cut(u'B');
  const TextView y = cut(u'B');
  const TextView j = cut(u'G');
  const TextView axisText = rest.substr(0, rest.empty() ? 0 : 1);
  const TextView wordText = rest.substr(axisText.size());

  const char16_t* fault = nullptr;
  std::optional<MoveAxis> axis;
  std::optional<MoveWord> word;
  if (!AllDigits(x)) {
    fault = u"无法识别的X段值";
  } else if (!AllDigits(y)) {
    fault = u"无法识别的Y段值";
  } else if (!AllDigits(j)) {
    fault = u"无法识别的J段值";
  } else if (!(axis = AxisOf(axisText))) {
    fault = u"无法识别的G段值";
  } else if (!(word = WordOf(wordText))) {
    fault = u"无法识别的Z段值";
  }
  if (fault) {
    ui.ShowMessage(fault);
    return std::nullopt;
  }
  return ParsedLine::Move(x, y, j, *axis, *word, jump);
}

bool ParseCodeDocument(CodeEditor& editor, const AppSettings& settings, OperatorUi& ui,
                       std::vector<ParsedLine>& parsed, CodeImage& image) {
  parsed.clear();
  image.clear();
  const int count = editor.LineCount();
  int start = 0;
  while (start < count && !IsStartLine(editor.ReadEditorLine(start))) ++start;
  if (start == count) {
    ui.ShowMessage(u"格式不符,找不到起始行.");
    return false;
  }

  Text normal;
  normal.reserve(kEditorLineLimit + 1);
  for (int i = start; i < count; ++i) {
    if (!NormalizeLine(editor.ReadEditorLine(i), settings.jumpCodeProcessType, ui, normal)) {
      return LineError(editor, i, ui);
    }
    if (normal.empty()) continue;
    std::optional<ParsedLine> line = SplitLine(normal, ui);
    if (!line) return LineError(editor, i, ui);
    const bool end = line->kind() == LineKind::End;
    parsed.push_back(std::move(*line));
    if (end) break;  // what follows the end is not read
  }
  return true;
}

}  // namespace tramsel
