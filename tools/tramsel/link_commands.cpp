// The link subcommands: the program's TransmitterLink on the platform's
// host, an operator who answers from the command line, and the rules of when
// a command is over and how it went.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "cli_codec.h"
#include "code3b/code_parser.h"
#include "code3b/memory_code_editor.h"
#include "common/file_io.h"
#include "config/config_file.h"
#include "link/transmitter_link.h"
#include "link_command_host.h"
#include "link_commands.h"

namespace tramsel {

namespace {

using Clock = std::chrono::steady_clock;

// The caption of the program's own message boxes: the tool's name.
constexpr TextView kAppCaption = u"tramsel";

// What ends an operation well; every other message box, and the end of the
// command without one, is a failure.
struct Outcome {
  std::vector<TextView> successMessages;
  std::optional<TextView> successStatus;
};

// Shown in the middle of an operation that goes on: neither success nor failure.
constexpr TextView kStationChanged = u"消息:\r\n主站号修改成功!";

std::string Escaped(TextView text) {
  std::string out;
  for (char c : ToUtf8(text)) {
    if (c == '\r') out += "\\r";
    else if (c == '\n') out += "\\n";
    else if (c == '\\') out += "\\\\";
    else out += c;
  }
  return out;
}

std::string JsonString(TextView text) {
  std::string out = "\"";
  for (char c : ToUtf8(text)) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (c == '"') out += "\\\"";
    else if (c == '\\') out += "\\\\";
    else if (c == '\r') out += "\\r";
    else if (c == '\n') out += "\\n";
    else if (c == '\t') out += "\\t";
    else if (u < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", u);
      out += escape;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

// The operator: prints everything shown and answers questions as told.
class CliOperator final : public OperatorUi {
 public:
  CliOperator(Utf8Writer& out, bool json, bool answerYes, const Outcome& outcome, Clock::time_point start)
      : out_(out), json_(json), answerYes_(answerYes), outcome_(outcome), start_(start) {}

  void ShowMessage(TextView text) override {
    Emit("message", kAppCaption, text, std::nullopt, false);
    Decide(text);
  }
  void ShowCaptionedMessage(TextView caption, TextView text) override {
    Emit("message", caption, text, std::nullopt, true);
    Decide(text);
  }
  bool Ask(TextView caption, TextView text) override {
    // --yes says OK once per question, so that a question that comes back
    // (the connection question) cannot keep the command waiting.
    const bool ok = answerYes_ && asked_.insert(Text(caption) + u'\n' + Text(text)).second;
    Emit("question", caption, text, ok, true);
    return ok;
  }
  void SetStatusText(TextView text) override {
    Emit("status", {}, text, std::nullopt, false);
    if (outcome_.successStatus && text == *outcome_.successStatus) succeeded_ = true;
  }

  bool succeeded() const { return succeeded_; }

 private:
  void Decide(TextView text) {
    if (text == kStationChanged) return;
    succeeded_ = false;
    for (TextView success : outcome_.successMessages) succeeded_ = succeeded_ || text == success;
  }

  void Emit(const char* kind, TextView caption, TextView text, std::optional<bool> answer, bool showCaption) {
    std::string line;
    const bool isStatus = std::string_view(kind) == "status";
    if (json_) {
      const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start_).count();
      line = "{\"t\": " + std::to_string(ms) + ", \"kind\": \"" + kind + "\"";
      if (!isStatus) line += ", \"caption\": " + JsonString(caption);
      line += ", \"text\": " + JsonString(text);
      if (answer) line += std::string(", \"answer\": \"") + (*answer ? "ok" : "cancel") + "\"";
      line += "}";
    } else {
      line = kind;
      if (showCaption) line += " [" + ToUtf8(caption) + "]";
      line += ": " + Escaped(text);
      if (answer) line += *answer ? " -> ok" : " -> cancel";
    }
    out_.Write(line + "\n");
  }

  Utf8Writer& out_;
  bool json_;
  bool answerYes_;
  const Outcome& outcome_;
  Clock::time_point start_;
  std::set<Text> asked_;
  bool succeeded_ = false;
};

// The document to send: the file in a memory editor, parsed as the program
// parses its editor.
class CliDocument final : public TransferDocument {
 public:
  CliDocument(Text text, const AppSettings& settings, OperatorUi& ui)
      : length_(static_cast<int>(text.size())), editor_(std::move(text)), settings_(settings), ui_(ui) {}

  bool ParseCodeDocument() override { return tramsel::ParseCodeDocument(editor_, settings_, ui_, parsed_, image_); }
  bool BuildCodeImage(int packetCapacity) override {
    return tramsel::BuildCodeImage(parsed_, packetCapacity, ui_, image_);
  }
  const CodeImage& Image() const override { return image_; }
  int EditorTextLength() const override { return length_; }

 private:
  int length_;
  MemoryCodeEditor editor_;
  const AppSettings& settings_;
  OperatorUi& ui_;
  std::vector<ParsedLine> parsed_;
  CodeImage image_;
};

// Loading a configuration file from the command line: nothing but the
// settings and machines; no document, folder watcher or shell actions.
class CliConfigHost final : public ConfigHost {
 public:
  explicit CliConfigHost(const TextCodec& codec) : codec_(codec) {}
  Text LoadDocumentFile(const Text& path) override {
    std::optional<std::string> bytes = ReadWholeFile(path);
    return bytes ? codec_.Decode(UpToFirstZero(*bytes)) : Text();
  }
  bool ConfigFileExists(const Text& path) override { return FileExists(path); }
  void NewDocument() override {}
  void ClearFileLabels() override {}
  void StartFolderWatcher(const Text&) override {}
  void RunFirstStartShellActions() override {}
  void ResetPortSearch() override {}

 private:
  const TextCodec& codec_;
};

struct LinkCommandOptions {
  bool json = false;
  bool answerYes = false;
  bool store = false;
  int waitLimitSeconds = 30;
  std::optional<std::string> file;
};

// The link's timers as the host runs them, with a record of which are
// running: a run is over only when the supervisor has stopped.
class WatchedTimers final : public LinkTimers {
 public:
  explicit WatchedTimers(LinkTimers& timers) : timers_(timers) {}

  void SetTimer(int id, int periodMs) override {
    running_.insert(id);
    timers_.SetTimer(id, periodMs);
  }
  void KillTimer(int id) override {
    running_.erase(id);
    timers_.KillTimer(id);
  }
  ReplyTimerHandle ArmReplyTimer(int ms) override {
    const ReplyTimerHandle handle = timers_.ArmReplyTimer(ms);
    armed_.insert(handle);
    return handle;
  }
  void DisarmReplyTimer(ReplyTimerHandle handle) override {
    armed_.erase(handle);
    timers_.DisarmReplyTimer(handle);
  }

  bool Running(int id) const { return running_.count(id) > 0; }
  // A run cut short leaves no reply timer (nor its resolution period) behind.
  void DisarmAll() {
    while (!armed_.empty()) DisarmReplyTimer(*armed_.begin());
  }

 private:
  LinkTimers& timers_;
  std::set<int> running_;
  std::set<ReplyTimerHandle> armed_;
};

// One run of the link for one operation, from the request to its end.
class LinkRun final : public TransferWindows {
 public:
  LinkRun(const LinkCommandOptions& options, const Outcome& outcome, Utf8Writer& out, Utf8Writer& err,
          LinkCommandHost& host, MacTable& machines, AppSettings& settings, const TextCodec& codec, Text program,
          Clock::time_point start)
      : options_(options),
        err_(err),
        host_(host),
        timers_(host.timers()),
        ui_(out, options.json, options.answerYes, outcome, start),
        document_(std::move(program), settings, ui_),
        link_(LinkHost{host.serial(), host.ports(), timers_, host.waits(), ui_, *this, document_, codec}, machines,
              settings) {}

  // Runs the operation; the exit status.
  int Run(int operation) {
    if (!host_.Attach(link_, err_)) return kExitFailure;
    if (operation == FileTransfer) {
      link_.RequestTransfer(options_.store);
    } else {
      link_.RequestLinkOperation(operation);
    }
    link_.StartRequestPoller();
    while (!finished_) {
      host_.RunOnce(kLoopSliceMs);
      Check();
    }
    timers_.DisarmAll();
    host_.serial().SetPortOpen(false);
    if (!failure_.empty()) err_.Write("tramsel: " + failure_ + "\n");
    const bool succeeded = failure_.empty() && ui_.succeeded();
    host_.ReportEnd(succeeded, err_);
    return succeeded ? kExitSuccess : kExitFailure;
  }

  // TransferWindows: the progress dialog without a window.
  void PostSendReady() override {
    Post([this] { link_.OnSendReadyEvent(); });
  }
  void RunSendCodeDialog(SendCodeProgress& progress) override {
    dialogOpen_ = true;
    host_.SetDialogTimer(SendCodeProgress::kPercentTimer, SendCodeProgress::kTimerPeriodMs,
                         [&progress] { progress.OnPercentTick(); });
    host_.SetDialogTimer(SendCodeProgress::kElapsedTimer, SendCodeProgress::kTimerPeriodMs,
                         [&progress] { progress.OnElapsedTick(); });
    while (dialogOpen_ && !finished_) {
      host_.RunOnce(kLoopSliceMs);
      Check();
    }
    host_.KillDialogTimer(SendCodeProgress::kPercentTimer);
    host_.KillDialogTimer(SendCodeProgress::kElapsedTimer);
    dialogOpen_ = false;
  }
  bool SendCodeDialogVisible() const override { return dialogOpen_; }
  void EndSendCodeDialog() override { dialogOpen_ = false; }

 private:
  // The longest the loop sleeps before the checks below run again.
  static constexpr int kLoopSliceMs = 100;

  void Post(std::function<void()> event) {
    ++posted_;
    host_.Post([this, event = std::move(event)] {
      --posted_;
      event();
    });
  }

  // Between events: is the operation over, or has the link been left
  // waiting on the transmitter for too long, or did the operator interrupt?
  void Check() {
    if (host_.Interrupts() > interruptsTaken_) {
      interruptsTaken_ = host_.Interrupts();
      if (dialogOpen_ && interruptsTaken_ == 1) {
        // The cancel button: the dialog posts its event and closes.
        Post([this] { link_.OnSendCancelEvent(); });
        dialogOpen_ = false;
      } else {
        failure_ = "interrupted";
        finished_ = true;
        return;
      }
    }
    const LinkSession& s = link_.session();
    if (!started_) {
      started_ = s.pendingRequest == 0;
      if (!started_) return;
    }
    // The link has let go of the port and its supervisor has stopped looking
    // for the transmitter: nothing more can happen. (A port lost after the
    // supervisor has stopped switches supervision on without restarting it.)
    if (!host_.serial().PortOpen() && !timers_.Running(kSupervisorTimer) && posted_ == 0) {
      finished_ = true;
      return;
    }
    const bool waitingOnTransmitter = host_.serial().PortOpen() && s.replyTimer == 0 && !s.superviseActive;
    if (!waitingOnTransmitter) {
      waitingSince_.reset();
      return;
    }
    const Clock::time_point now = Clock::now();
    if (!waitingSince_) waitingSince_ = now;
    if (now - *waitingSince_ >= std::chrono::seconds(options_.waitLimitSeconds)) {
      failure_ = "the transmitter said nothing more for " + std::to_string(options_.waitLimitSeconds) +
                 " s while the link waited on it";
      finished_ = true;
    }
  }

  const LinkCommandOptions& options_;
  Utf8Writer& err_;
  LinkCommandHost& host_;
  WatchedTimers timers_;
  CliOperator ui_;
  CliDocument document_;
  TransmitterLink link_;
  bool dialogOpen_ = false;
  bool started_ = false;
  bool finished_ = false;
  int interruptsTaken_ = 0;
  int posted_ = 0;
  std::optional<Clock::time_point> waitingSince_;
  std::string failure_;
};

// A whole number within [low, high], or the display text of one of them;
// `given` tells whether the option was there at all.
std::optional<int> RangeOption(std::string_view command, const CliOptions& options, std::string_view name,
                               int low, int high, std::optional<TextView> (*text)(int), CliContext& context,
                               bool& given) {
  auto found = options.values.find(name);
  given = found != options.values.end();
  if (!given) return 0;
  if (text) {
    const Text wanted = FromUtf8(found->second);
    for (int v = low; v <= high; ++v) {
      if (auto t = text(v); t && *t == wanted) return v;
    }
  }
  std::optional<int> value = IntOption(command, options, name, 0, context);
  if (!value) return std::nullopt;
  if (*value < low || *value > high) {
    context.err.Write("tramsel " + std::string(command) + ": " + std::string(name) + " must be " +
                      std::to_string(low) + " to " + std::to_string(high) + "\n");
    return std::nullopt;
  }
  return value;
}

int RunLinkCommand(std::string_view command, int operation, const Outcome& outcome, const CliArgs& rawArgs,
                   CliContext& context) {
  const Clock::time_point start = Clock::now();
  const std::string prefix = "tramsel " + std::string(command) + ": ";
  const bool sends = operation == FileTransfer;

  // Flags take no value; the rest are "--name VALUE".
  LinkCommandOptions options;
  CliArgs args;
  bool answerNo = false;
  for (const std::string& arg : rawArgs) {
    if (arg == "--json") options.json = true;
    else if (arg == "--yes") options.answerYes = true;
    else if (arg == "--no") answerNo = true;
    else if (arg == "--store" && sends) options.store = true;
    else args.push_back(arg);
  }
  if (options.answerYes && answerNo) {
    context.err.Write(prefix + "--yes and --no exclude each other\n");
    return kExitUsage;
  }
  std::vector<std::string_view> known = {"--port", "--config", "--machine", "--station", "--sub", "--speed",
                                         "--empty-answers", "--download-mode", "--jump-mode", "--line-counter",
                                         "--wait-limit", "--encoding"};
  std::optional<CliOptions> parsed = ReadOptions(command, args, known, context);
  if (!parsed) return kExitUsage;
  if (parsed->operands.size() != (sends ? 1u : 0u)) {
    context.err.Write(prefix + (sends ? "expects one FILE" : "takes no FILE") + " (see tramsel --help)\n");
    return kExitUsage;
  }
  std::string port = "auto";
  if (auto found = parsed->values.find("--port"); found != parsed->values.end()) port = found->second;
  std::string error;
  std::unique_ptr<LinkCommandHost> host = MakeLinkCommandHost(port, error);
  if (!host) {
    context.err.Write(prefix + error + "\n");
    return kExitUsage;
  }
  std::optional<int> waitLimit = IntOption(command, *parsed, "--wait-limit", 30, context);
  if (!waitLimit) return kExitUsage;
  if (*waitLimit < 1) {
    context.err.Write(prefix + "--wait-limit must be at least 1\n");
    return kExitUsage;
  }
  options.waitLimitSeconds = *waitLimit;

  std::optional<std::string> encoding;
  if (auto found = parsed->values.find("--encoding"); found != parsed->values.end()) encoding = found->second;
  std::unique_ptr<TextCodec> codec = OpenFileCodec(encoding, error);
  if (!codec) {
    context.err.Write(prefix + error + "\n");
    return kExitUsage;
  }

  Text program;
  if (sends) {
    const std::string& path = parsed->operands.front();
    std::optional<std::string> bytes = ReadWholeFile(FromUtf8(path));
    if (!bytes) {
      context.err.Write(prefix + "cannot read " + path + "\n");
      return kExitUsage;
    }
    program = codec->Decode(UpToFirstZero(*bytes));
  }

  // The operator's output starts with whatever loading the configuration
  // shows; it goes to the same printer as the link's.
  MacTable machines;
  AppSettings settings;
  if (auto config = parsed->values.find("--config"); config != parsed->values.end()) {
    const Text path = FromUtf8(config->second);
    if (!FileExists(path) || !ReadWholeFile(path)) {
      context.err.Write(prefix + "cannot read " + config->second + "\n");
      return kExitUsage;
    }
    CliConfigHost configHost(*codec);
    const Outcome none;
    CliOperator loadUi(context.out, options.json, options.answerYes, none, start);
    const std::u8string folder =
        std::filesystem::absolute(std::filesystem::path(std::u8string(config->second.begin(), config->second.end())))
            .parent_path()
            .u8string();
    ConfigFile file(path, FromUtf8(std::string(folder.begin(), folder.end())), settings, machines, configHost, loadUi,
                    *codec);
    file.loadConfiguration();
  }
  if (parsed->values.count("--machine")) {
    std::optional<int> machine = IntOption(command, *parsed, "--machine", 1, context);
    if (!machine) return kExitUsage;
    if (*machine < 1 || *machine > machines.count) {
      context.err.Write(prefix + "--machine must be 1 to " + std::to_string(machines.count) + "\n");
      return kExitUsage;
    }
    machines.current = *machine;
  }
  MacRecord& m = machines.currentMachine();
  struct Override {
    std::string_view name;
    int low, high;
    std::optional<TextView> (*text)(int);
    void (*apply)(MacRecord&, AppSettings&, int);
  } overrides[] = {
      {"--station", 0, 255, nullptr, [](MacRecord& r, AppSettings&, int v) { r.masterStation = static_cast<uint8_t>(v); }},
      {"--sub", 0, 255, nullptr, [](MacRecord& r, AppSettings&, int v) { r.subStation = static_cast<uint8_t>(v); }},
      {"--speed", 0, 6, speedText, [](MacRecord& r, AppSettings&, int v) { r.syncSpeed = static_cast<uint8_t>(v); }},
      {"--empty-answers", 0, 255, nullptr,
       [](MacRecord& r, AppSettings&, int v) { r.emptyAnswers = static_cast<uint8_t>(v); }},
      {"--download-mode", 1, 4, modeText,
       [](MacRecord& r, AppSettings&, int v) { r.downloadMode = static_cast<uint8_t>(v); }},
      {"--jump-mode", -2147483647, 2147483647, nullptr,
       [](MacRecord&, AppSettings& s, int v) { s.jumpCodeProcessType = v; }},
      {"--line-counter", -2147483647, 2147483647, nullptr,
       [](MacRecord&, AppSettings& s, int v) { s.lineCounterType = v; }},
  };
  for (const Override& o : overrides) {
    bool given = false;
    std::optional<int> value = RangeOption(command, *parsed, o.name, o.low, o.high, o.text, context, given);
    if (!value) return kExitUsage;
    if (given) o.apply(m, settings, *value);
  }

  LinkRun run(options, outcome, context.out, context.err, *host, machines, settings, *codec, std::move(program),
              start);
  return run.Run(operation);
}

}  // namespace

std::string_view LinkCommandsHelp() {
  static const std::string help = std::string(kManagementHelp) + std::string(kPortHelp) + std::string(kLinkOptionsHelp);
  return help;
}

int RunSend(const CliArgs& args, CliContext& context) {
  static const Outcome outcome{{u"消息:\r\n文件传送完成!", u"恭喜\r\n代码传送成功!"}, std::nullopt};
  return RunLinkCommand("send", FileTransfer, outcome, args, context);
}

int RunCheckConnection(const CliArgs& args, CliContext& context) {
  static const Outcome outcome{{}, u"链接成功\r\n待机中..."};
  return RunLinkCommand("check-connection", ConnectionCheck, outcome, args, context);
}

int RunDeleteCurrent(const CliArgs& args, CliContext& context) {
  static const Outcome outcome{{u"消息:\r\n文件删除成功!"}, std::nullopt};
  return RunLinkCommand("delete-current", DeleteCurrentCode, outcome, args, context);
}

int RunClearAll(const CliArgs& args, CliContext& context) {
  static const Outcome outcome{{u"消息:\r\n文件删除成功!"}, std::nullopt};
  return RunLinkCommand("clear-all", ClearAllCode, outcome, args, context);
}

int RunKeyEnable(const CliArgs& args, CliContext& context) {
  static const Outcome outcome{{u"消息:\r\n下载键为启用状态!"}, std::nullopt};
  return RunLinkCommand("key-enable", EnableDownloadKey, outcome, args, context);
}

int RunKeyDisable(const CliArgs& args, CliContext& context) {
  static const Outcome outcome{{u"消息:\r\n下载键为禁用状态!"}, std::nullopt};
  return RunLinkCommand("key-disable", DisableDownloadKey, outcome, args, context);
}

int RunAllowMatch(const CliArgs& args, CliContext& context) {
  static const Outcome outcome{{u"消息:\r\n设置成功!"}, std::nullopt};
  return RunLinkCommand("allow-match", AllowStationMatching, outcome, args, context);
}

}  // namespace tramsel
