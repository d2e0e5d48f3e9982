#include "config/config_file.h"

#include <algorithm>
#include <utility>

#include "common/file_io.h"

namespace tramsel {

namespace {

constexpr TextView kSupportLine = u"联系方式:如需技术支持,请与您的设备供应商联系\r\n";

TextView BoolText(bool value) { return value ? u"TRUE" : u"FALSE"; }

// The stored word for a field value; values outside the table are written as
// the table's first word.
TextView StoredModeText(int value) { return modeText(value).value_or(*modeText(HighLevelSync)); }
TextView StoredSpeedText(int value) { return speedText(value).value_or(*speedText(Standard)); }

int ModeFromText(TextView text) {
  for (int value = HighLevelSync; value <= LowLevelAck; ++value) {
    if (*modeText(value) == text) return value;
  }
  return HighLevelSync;
}

int SpeedFromText(TextView text) {
  for (int value = Standard; value <= VeryFastPlus; ++value) {
    if (*speedText(value) == text) return value;
  }
  return Standard;
}

}  // namespace

ConfigFile::ConfigFile(Text path, Text appFolder, AppSettings& settings, MacTable& machines,
                       ConfigHost& host, OperatorUi& ui, const TextCodec& codec)
    : path_(std::move(path)),
      appFolder_(std::move(appFolder)),
      settings_(settings),
      machines_(machines),
      host_(host),
      ui_(ui),
      codec_(codec) {}

std::string ConfigFile::ConfigurationBytes() const {
  Text text;
  text += u"Vorlane 线切割TramselV0.2配置文件\r\n";
  for (int i = 0; i < 4; ++i) text += kSupportLine;
  text += u"默认端口:_Defaultport@COM" + DecimalText(settings_.defaultPort) + u"\r\n";
  text += u"默认文件夹路径:_filepath@" + settings_.defaultFolder + u"\r\n";
  text += u"监控文件夹:_MonDir@" + settings_.monitorDir + u"\r\n";
  text += u"联动文件夹自动变更:_ChangeMonDir@" + Text(BoolText(settings_.changeMonDir)) + u"\r\n";
  text += u"自动下载文件:_AutoDown@" + Text(BoolText(settings_.autoDown)) + u"\r\n";
  text += u"自动传送:_AutoTrans@" + Text(BoolText(settings_.autoTrans)) + u"\r\n";
  text += u"自动传送模式:_AutoTransMode@" + DecimalText(settings_.autoTransMode) + u"\r\n";
  text += u"下载前询问:_AutoDownASK@" + DecimalText(settings_.autoDownAsk) + u"\r\n";
  text += u"当前机台:_CurMacNum@" + DecimalText(machines_.current) + u"\r\n";
  for (int n = 1; n <= machines_.count; ++n) {
    const MacRecord& m = machines_.slot(n);
    text += u"机台配置:_MacCFG@" + m.name;
    text += u"@" + DecimalText(m.masterStation);
    text += u"@" + DecimalText(m.subStation);
    text += u"@" + Text(StoredModeText(m.downloadMode));
    text += u"@" + Text(StoredSpeedText(m.syncSpeed));
    text += u"@" + DecimalText(m.emptyAnswers);
    text += u"@" + DecimalText(m.transmitterVersion);
    text += u"@" + DecimalText(m.packetCapacity);
    text += u"\r\n";
  }
  text += u"行数统计方式:_LinCounterType@" + DecimalText(settings_.lineCounterType) + u"\r\n";
  text += u"跳步代码处理方式:_JmpCodeProcessType@" + DecimalText(settings_.jumpCodeProcessType) + u"\r\n";
  text += u"End of Cfgfile";
  return codec_.Encode(text);
}

bool ConfigFile::saveConfiguration() {
  if (ReplaceFileContents(path_, ConfigurationBytes())) return true;
  ui_.ShowMessage(u"写入设定文件失败");
  return false;
}

void ConfigFile::loadConfiguration() {
  machines_.count = 1;
  if (!host_.ConfigFileExists(path_)) {
    host_.NewDocument();
    return;
  }
  const Text text = host_.LoadDocumentFile(path_);
  const std::vector<TextView> lines = SplitEditorLines(text);
  const size_t n = lines.size();
  if (n < 5) host_.RunFirstStartShellActions();
  // Lines 6 to n-1: the header and the end marker are never interpreted.
  for (size_t i = 5; i + 1 < n; ++i) parseConfigLine(CutEditorLine(lines[i]));
  host_.ClearFileLabels();
  if (settings_.monitorDir.empty()) {
    settings_.monitorDir = DefaultCodeFolder();
    host_.StartFolderWatcher(settings_.monitorDir);
  }
  if (settings_.defaultFolder.empty()) settings_.defaultFolder = DefaultCodeFolder();
  // Rows were appended from slot 1, leaving count one past the last row.
  if (machines_.count > 1) --machines_.count;
  if (machines_.current < 1 || machines_.current > machines_.count) machines_.current = 1;
  host_.ResetPortSearch();
  host_.NewDocument();
}

void ConfigFile::parseConfigLine(TextView line) {
  const size_t colon = line.find(u':');
  if (line.empty() || colon == TextView::npos) {
    ui_.ShowMessage(u"设置文件错误!!");
    return;
  }
  const TextView entry = line.substr(colon + 1);
  if (entry.empty() || entry[0] != u'_') {
    ui_.ShowMessage(u"设置文件错误,将以默认参数运行!!");
    return;
  }
  const size_t at = entry.find(u'@');
  const TextView key = at == TextView::npos ? TextView() : entry.substr(0, at);
  const TextView value = at == TextView::npos ? entry : entry.substr(at + 1);

  if (key == u"_filepath") {
    settings_.defaultFolder = value.empty() ? DefaultCodeFolder() : Text(value);
  } else if (key == u"_Defaultport") {
    settings_.defaultPort = ReadDecimal(value.size() > 3 ? value.substr(3) : value);
  } else if (key == u"_MonDir") {
    settings_.monitorDir = value.empty() ? DefaultCodeFolder() : Text(value);
    host_.StartFolderWatcher(settings_.monitorDir);
  } else if (key == u"_ChangeMonDir") {
    settings_.changeMonDir = value == u"TRUE";
  } else if (key == u"_AutoDown") {
    settings_.autoDown = value == u"TRUE";
  } else if (key == u"_AutoTrans") {
    settings_.autoTrans = value == u"TRUE";
  } else if (key == u"_AutoTransMode") {
    const int mode = ReadDecimal(value);
    settings_.autoTransMode = (mode < 1 || mode > 4) ? 1 : mode;
  } else if (key == u"_CurMacNum") {
    machines_.current = ReadDecimal(value);
  } else if (key == u"_AutoDownASK") {
    settings_.autoDownAsk = ReadDecimal(value);
  } else if (key == u"_LinCounterType") {
    settings_.lineCounterType = ReadDecimal(value);
  } else if (key == u"_JmpCodeProcessType") {
    settings_.jumpCodeProcessType = ReadDecimal(value);
  } else if (key == u"_MacCFG") {
    AppendMachine(value);
  }
  // _connecttype and unknown keys are ignored.
}

void ConfigFile::AppendMachine(TextView row) {
  // Rows beyond the 999th have no slot and are ignored.
  if (machines_.count > MacTable::kMaxMachines) return;
  TextView fields[8];
  TextView rest = row;
  int separators = 0;
  for (int i = 0; i < 7; ++i) {
    const size_t at = rest.find(u'@');
    if (at == TextView::npos) continue;  // the field stays empty, the rest whole
    fields[i] = rest.substr(0, at);
    rest = rest.substr(at + 1);
    ++separators;
  }
  if (separators == 7) fields[7] = rest;

  MacRecord& m = machines_.slot(machines_.count);
  m.name = Text(fields[0]);
  const uint8_t master = static_cast<uint8_t>(ReadDecimal(fields[1]));
  const uint8_t sub = static_cast<uint8_t>(ReadDecimal(fields[2]));
  m.subStation = sub;
  m.masterStation = sub == 0 ? 1 : std::max<uint8_t>(master, 2);
  m.downloadMode = static_cast<uint8_t>(ModeFromText(fields[3]));
  m.syncSpeed = static_cast<uint8_t>(SpeedFromText(fields[4]));
  const uint8_t empty = static_cast<uint8_t>(ReadDecimal(fields[5]));
  m.emptyAnswers = empty > 200 ? 10 : empty;
  m.transmitterVersion = ReadDecimal(fields[6]);
  m.packetCapacity = ReadDecimal(fields[7]);
  ++machines_.count;
}

}  // namespace tramsel
