// The operator as the 3B tests see it: every message, in order.
#pragma once

#include <ostream>
#include <vector>

#include "code3b/parsed_line.h"
#include "common/operator_ui.h"
#include "common/text.h"

namespace tramsel {

class RecordingUi : public OperatorUi {
 public:
  void ShowMessage(TextView text) override { messages.emplace_back(text); }
  void ShowCaptionedMessage(TextView, TextView text) override { messages.emplace_back(text); }
  bool Ask(TextView, TextView) override { return true; }
  void SetStatusText(TextView) override {}

  std::vector<Text> messages;
};

inline void PrintTo(const ParsedLine& line, std::ostream* os) {
  switch (line.kind()) {
    case LineKind::Stop:
      *os << "Stop";
      return;
    case LineKind::End:
      *os << "End";
      return;
    case LineKind::Move:
      *os << "Move(x '" << line.x() << "', y '" << line.y() << "', j '" << line.j() << "', axis "
          << static_cast<int>(line.axis()) << ", word " << static_cast<int>(line.word())
          << (line.jump() ? ", jump)" : ")");
      return;
  }
}

}  // namespace tramsel
