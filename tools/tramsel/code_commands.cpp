#include "code_commands.h"

#include <optional>
#include <utility>
#include <vector>

#include "cli_codec.h"
#include "code3b/code_image.h"
#include "code3b/code_parser.h"
#include "code3b/memory_code_editor.h"
#include "common/file_io.h"
#include "common/operator_ui.h"

namespace tramsel {

namespace {

// The operator's boxes become lines of standard output, in the order shown.
class PrintingUi final : public OperatorUi {
 public:
  explicit PrintingUi(Utf8Writer& out) : out_(out) {}
  void ShowMessage(TextView text) override { out_.Write(ToUtf8(text) + "\n"); }
  void ShowCaptionedMessage(TextView, TextView text) override { ShowMessage(text); }
  // Nobody is there to answer: the cautious answer.
  bool Ask(TextView, TextView text) override {
    ShowMessage(text);
    return false;
  }
  void SetStatusText(TextView) override {}

 private:
  Utf8Writer& out_;
};

// The file in an editor, as the program holds it after opening it: the bytes
// up to the first zero byte, decoded from the code page.
std::optional<MemoryCodeEditor> LoadCodeFile(std::string_view command, const CliOptions& options,
                                             CliContext& context) {
  const std::string prefix = "tramsel " + std::string(command) + ": ";
  if (options.operands.size() != 1) {
    context.err.Write(prefix + "expects one FILE (see tramsel --help)\n");
    return std::nullopt;
  }
  std::optional<std::string> encoding;
  if (auto found = options.values.find("--encoding"); found != options.values.end()) encoding = found->second;
  std::string error;
  std::unique_ptr<TextCodec> codec = OpenFileCodec(encoding, error);
  if (!codec) {
    context.err.Write(prefix + error + "\n");
    return std::nullopt;
  }
  const std::string& path = options.operands.front();
  std::optional<std::string> bytes = ReadWholeFile(FromUtf8(path));
  if (!bytes) {
    context.err.Write(prefix + "cannot read " + path + "\n");
    return std::nullopt;
  }
  Text text = codec->Decode(UpToFirstZero(*bytes));
  bytes.reset();  // the bytes are not needed while the text is parsed
  return MemoryCodeEditor(std::move(text));
}

}  // namespace

int RunCheck(const CliArgs& args, CliContext& context) {
  std::optional<CliOptions> options = ReadOptions("check", args, {"--jump-mode", "--encoding"}, context);
  if (!options) return kExitUsage;
  std::optional<int> jumpMode = IntOption("check", *options, "--jump-mode", 0, context);
  if (!jumpMode) return kExitUsage;
  std::optional<MemoryCodeEditor> editor = LoadCodeFile("check", *options, context);
  if (!editor) return kExitUsage;

  AppSettings settings;
  settings.jumpCodeProcessType = *jumpMode;
  PrintingUi ui(context.out);
  std::vector<ParsedLine> parsed;
  CodeImage image;
  return ParseCodeDocument(*editor, settings, ui, parsed, image) ? kExitSuccess : kExitFailure;
}

int RunEncode(const CliArgs& args, CliContext& context) {
  std::optional<CliOptions> options = ReadOptions(
      "encode", args, {"--capacity", "--jump-mode", "--line-counter", "--encoding"}, context);
  if (!options) return kExitUsage;
  std::optional<int> capacity = IntOption("encode", *options, "--capacity", 64, context);
  std::optional<int> jumpMode = IntOption("encode", *options, "--jump-mode", 0, context);
  std::optional<int> lineCounter = IntOption("encode", *options, "--line-counter", 0, context);
  if (!capacity || !jumpMode || !lineCounter) return kExitUsage;
  std::optional<MemoryCodeEditor> editor = LoadCodeFile("encode", *options, context);
  if (!editor) return kExitUsage;

  AppSettings settings;
  settings.jumpCodeProcessType = *jumpMode;
  settings.lineCounterType = *lineCounter;
  PrintingUi ui(context.out);
  std::vector<ParsedLine> parsed;
  CodeImage image;
  if (!ParseCodeDocument(*editor, settings, ui, parsed, image) ||
      !BuildCodeImage(parsed, *capacity, ui, image)) {
    return kExitFailure;
  }
  for (const std::string& block : image.blocks) {
    context.out.Write(block);
    context.out.Write("\n");
  }
  context.out.Write("lines " + std::to_string(image.lineCount) + " report " +
                    ToUtf8(image.lineCountReport(settings.lineCounterType)) + "\n");
  return kExitSuccess;
}

}  // namespace tramsel
