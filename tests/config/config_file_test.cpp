#include "config/config_file.h"

#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <random>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "common/file_io.h"

namespace tramsel {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// Records every call out of the loader, and plays the code document's loader.
class Recorder : public ConfigHost, public OperatorUi {
 public:
  Recorder(AppSettings& settings, const TextCodec& codec) : settings_(settings), codec_(codec) {}

  Text LoadDocumentFile(const Text& path) override {
    auto bytes = ReadWholeFile(path);
    if (!bytes) {
      messages.push_back(u"打开文件失败,文件可能不存在\r\n文件名:" + path);
      return {};
    }
    settings_.defaultFolder = path.substr(0, path.rfind(u'/'));
    return codec_.Decode(UpToFirstZero(*bytes));
  }
  bool ConfigFileExists(const Text& path) override {
    return std::filesystem::exists(ToUtf8(path));
  }
  void NewDocument() override { ++newDocuments; }
  void ClearFileLabels() override {}
  void StartFolderWatcher(const Text& folder) override { watcherStarts.push_back(folder); }
  void RunFirstStartShellActions() override { ++firstStarts; }
  void ResetPortSearch() override { ++portSearchResets; }

  void ShowMessage(TextView text) override { messages.emplace_back(text); }
  void ShowCaptionedMessage(TextView, TextView text) override { messages.emplace_back(text); }
  bool Ask(TextView, TextView) override { return true; }
  void SetStatusText(TextView) override {}

  std::vector<Text> messages;
  std::vector<Text> watcherStarts;
  int newDocuments = 0;
  int firstStarts = 0;
  int portSearchResets = 0;

 private:
  AppSettings& settings_;
  const TextCodec& codec_;
};

// One program start: fresh settings and machines, as the main window makes them.
struct Start {
  explicit Start(const Text& path)
      : codec(MakeIconvCodec("GBK")),
        recorder(settings, *codec),
        config(path, u"C:\\Tramsel", settings, machines, recorder, recorder, *codec) {}
  AppSettings settings;
  MacTable machines;
  std::unique_ptr<TextCodec> codec;
  Recorder recorder;
  ConfigFile config;
};

class ConfigFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("tramsel-config-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    path_ = FromUtf8((dir_ / "Vorlane.cfg").string());
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  void WriteConfig(std::string_view utf8) {
    auto gbk = MakeIconvCodec("GBK");
    ASSERT_TRUE(ReplaceFileContents(path_, gbk->Encode(FromUtf8(utf8))));
  }
  // A file as the program writes it, with the given lines in place of lines 6 to n-1.
  void WriteConfigBody(std::string_view body) {
    std::string text = "header\r\n1\r\n2\r\n3\r\n4\r\n";
    text += body;
    text += "End of Cfgfile";
    WriteConfig(text);
  }
  std::string FileBytes() { return ReadWholeFile(path_).value_or("<missing>"); }

  std::filesystem::path dir_;
  Text path_;
};

TEST_F(ConfigFileTest, WritesTheExactLayoutInTheAnsiCodePage) {
  Start start(path_);
  ASSERT_TRUE(start.config.saveConfiguration());
  const std::string expected =
      "Vorlane 线切割TramselV0.2配置文件\r\n"
      "联系方式:如需技术支持,请与您的设备供应商联系\r\n"
      "联系方式:如需技术支持,请与您的设备供应商联系\r\n"
      "联系方式:如需技术支持,请与您的设备供应商联系\r\n"
      "联系方式:如需技术支持,请与您的设备供应商联系\r\n"
      "默认端口:_Defaultport@COM0\r\n"
      "默认文件夹路径:_filepath@\r\n"
      "监控文件夹:_MonDir@\r\n"
      "联动文件夹自动变更:_ChangeMonDir@FALSE\r\n"
      "自动下载文件:_AutoDown@TRUE\r\n"
      "自动传送:_AutoTrans@FALSE\r\n"
      "自动传送模式:_AutoTransMode@1\r\n"
      "下载前询问:_AutoDownASK@1\r\n"
      "当前机台:_CurMacNum@1\r\n"
      "机台配置:_MacCFG@机台1@2@1@高电平同步@标准@10@0@64\r\n"
      "行数统计方式:_LinCounterType@0\r\n"
      "跳步代码处理方式:_JmpCodeProcessType@0\r\n"
      "End of Cfgfile";
  EXPECT_EQ(FileBytes(), MakeIconvCodec("GBK")->Encode(FromUtf8(expected)));
}

TEST_F(ConfigFileTest, SaveThenLoadReproducesEverySettingAndMachine) {
  Start first(path_);
  AppSettings& s = first.settings;
  s.defaultPort = 12;
  s.defaultFolder = u"D:\\程序";
  s.monitorDir = u"D:\\联动";
  s.changeMonDir = true;
  s.autoDown = false;
  s.autoTrans = true;
  s.autoTransMode = 3;
  s.autoDownAsk = 0;
  s.lineCounterType = 1;
  s.jumpCodeProcessType = 1;
  MacTable& t = first.machines;
  t.count = 4;
  t.current = 3;
  t.slot(1) = {u"一号", {}, Fast, 7, 3, 20, LowLevelAck, {}, 210, 128};
  t.slot(2) = {u"二号", {}, VeryFastPlus, 255, 255, 0, HighLevelAck, {}, -5, 0};
  t.slot(3) = {u"改站", {}, Slower, 1, 4, 250, LowLevelSync, {}, 150, 64};  // both changed on load
  t.slot(4) = {u"", {}, Standard, 9, 0, 200, HighLevelSync, {}, 0, 64};
  ASSERT_TRUE(first.config.saveConfiguration());

  Start second(path_);
  second.config.loadConfiguration();
  EXPECT_THAT(second.recorder.messages, IsEmpty());
  const AppSettings& r = second.settings;
  EXPECT_EQ(r.defaultPort, 12);
  EXPECT_EQ(r.defaultFolder, u"D:\\程序");
  EXPECT_EQ(r.monitorDir, u"D:\\联动");
  EXPECT_TRUE(r.changeMonDir);
  EXPECT_FALSE(r.autoDown);
  EXPECT_TRUE(r.autoTrans);
  EXPECT_EQ(r.autoTransMode, 3);
  EXPECT_EQ(r.autoDownAsk, 0);
  EXPECT_EQ(r.lineCounterType, 1);
  EXPECT_EQ(r.jumpCodeProcessType, 1);
  EXPECT_THAT(second.recorder.watcherStarts, ElementsAre(u"D:\\联动"));
  ASSERT_EQ(second.machines.count, 4);
  EXPECT_EQ(second.machines.current, 3);

  auto fields = [](const MacRecord& m) {
    return std::tuple(m.name, int(m.masterStation), int(m.subStation), int(m.downloadMode),
                      int(m.syncSpeed), int(m.emptyAnswers), m.transmitterVersion, m.packetCapacity);
  };
  EXPECT_EQ(fields(second.machines.slot(1)), fields(t.slot(1)));
  EXPECT_EQ(fields(second.machines.slot(2)), fields(t.slot(2)));
  MacRecord changed = t.slot(3);
  changed.masterStation = 2;  // station 1 is only kept with sub station 0
  changed.emptyAnswers = 10;  // more than 200 empty answers come back as 10
  EXPECT_EQ(fields(second.machines.slot(3)), fields(changed));
  MacRecord subZero = t.slot(4);
  subZero.masterStation = 1;  // sub station 0 always means master station 1
  EXPECT_EQ(fields(second.machines.slot(4)), fields(subZero));
  EXPECT_EQ(second.recorder.newDocuments, 1);
  EXPECT_EQ(second.recorder.portSearchResets, 1);
}

TEST_F(ConfigFileTest, MissingFileKeepsTheBuiltInDefaults) {
  Start start(path_);
  start.config.loadConfiguration();
  EXPECT_EQ(start.recorder.newDocuments, 1);
  EXPECT_THAT(start.recorder.watcherStarts, IsEmpty());
  EXPECT_TRUE(start.settings.defaultFolder.empty());
  EXPECT_TRUE(start.settings.monitorDir.empty());
  EXPECT_EQ(start.recorder.firstStarts, 0);
}

TEST_F(ConfigFileTest, EmptyFoldersFallBackToTheDefaultCodeFolder) {
  WriteConfigBody("默认文件夹路径:_filepath@\r\n");
  Start start(path_);
  start.config.loadConfiguration();
  EXPECT_EQ(start.settings.defaultFolder, u"C:\\Tramsel\\3B Code");
  EXPECT_EQ(start.settings.monitorDir, u"C:\\Tramsel\\3B Code");
  EXPECT_THAT(start.recorder.watcherStarts, ElementsAre(u"C:\\Tramsel\\3B Code"));
}

struct LineCase {
  const char* name;
  const char* body;  // lines 6 to n-1
  std::function<void(const Start&)> check;
  std::vector<Text> messages;
};

TEST_F(ConfigFileTest, ReadingRules) {
  const LineCase cases[] = {
      {"port COM12", "a:_Defaultport@COM12\r\n",
       [](const Start& s) { EXPECT_EQ(s.settings.defaultPort, 12); }, {}},
      {"port 7", "a:_Defaultport@7\r\n", [](const Start& s) { EXPECT_EQ(s.settings.defaultPort, 7); }, {}},
      {"port COM", "a:_Defaultport@COM\r\n",
       [](const Start& s) { EXPECT_EQ(s.settings.defaultPort, 0); }, {}},
      {"sub station 0", "a:_MacCFG@m@9@0@高电平同步@标准@10@0@64\r\n",
       [](const Start& s) {
         EXPECT_EQ(s.machines.slot(1).masterStation, 1);
         EXPECT_EQ(s.machines.slot(1).subStation, 0);
       }, {}},
      {"master station 0", "a:_MacCFG@m@0@3@高电平同步@标准@10@0@64\r\n",
       [](const Start& s) { EXPECT_EQ(s.machines.slot(1).masterStation, 2); }, {}},
      {"modulo 256", "a:_MacCFG@m@259@-1@低电平应答@超快+@456@7@99\r\n",
       [](const Start& s) {
         const MacRecord& m = s.machines.slot(1);
         EXPECT_EQ(m.masterStation, 3);
         EXPECT_EQ(m.subStation, 255);
         EXPECT_EQ(m.downloadMode, LowLevelAck);
         EXPECT_EQ(m.syncSpeed, VeryFastPlus);
         EXPECT_EQ(m.emptyAnswers, 200);  // 456 mod 256
         EXPECT_EQ(m.transmitterVersion, 7);
         EXPECT_EQ(m.packetCapacity, 99);
       }, {}},
      {"250 empty answers", "a:_MacCFG@m@2@1@x@y@250@0@64\r\n",
       [](const Start& s) {
         EXPECT_EQ(s.machines.slot(1).emptyAnswers, 10);
         EXPECT_EQ(s.machines.slot(1).downloadMode, HighLevelSync);
         EXPECT_EQ(s.machines.slot(1).syncSpeed, Standard);
       }, {}},
      {"two separators", "a:_MacCFG@m@2@1\r\n",
       [](const Start& s) {
         EXPECT_EQ(s.machines.slot(1).name, u"m");
         EXPECT_EQ(s.machines.slot(1).masterStation, 1);
         EXPECT_EQ(s.machines.slot(1).subStation, 0);
         EXPECT_EQ(s.machines.slot(1).packetCapacity, 0);
       }, {}},
      {"auto transfer mode 9", "a:_AutoTransMode@9\r\n",
       [](const Start& s) { EXPECT_EQ(s.settings.autoTransMode, 1); }, {}},
      {"current 5 of 3", "a:_CurMacNum@5\r\na:_MacCFG@a\r\na:_MacCFG@b\r\na:_MacCFG@c\r\n",
       [](const Start& s) {
         EXPECT_EQ(s.machines.count, 3);
         EXPECT_EQ(s.machines.current, 1);
       }, {}},
      {"current 0", "a:_CurMacNum@0\r\n", [](const Start& s) { EXPECT_EQ(s.machines.current, 1); }, {}},
      {"current 2 of 3", "a:_CurMacNum@2\r\na:_MacCFG@a\r\na:_MacCFG@b\r\na:_MacCFG@c\r\n",
       [](const Start& s) { EXPECT_EQ(s.machines.current, 2); }, {}},
      {"two linked folders", "a:_MonDir@D:\\A\r\na:_MonDir@D:\\B\r\n",
       [](const Start& s) {
         EXPECT_THAT(s.recorder.watcherStarts, ElementsAre(u"D:\\A", u"D:\\B"));
         EXPECT_EQ(s.settings.monitorDir, u"D:\\B");
       }, {}},
      {"booleans are exactly TRUE", "a:_AutoDown@true\r\na:_ChangeMonDir@TRUE\r\n",
       [](const Start& s) {
         EXPECT_FALSE(s.settings.autoDown);
         EXPECT_TRUE(s.settings.changeMonDir);
       }, {}},
      {"keys are case-sensitive", "a:_autodown@FALSE\r\na:_connecttype@1\r\na:_Nothing\r\n",
       [](const Start& s) { EXPECT_TRUE(s.settings.autoDown); }, {}},
      {"no colon and empty line", "no colon\r\n\r\n", [](const Start&) {},
       {u"设置文件错误!!", u"设置文件错误!!"}},
      {"no underscore", "a:b@1\r\nc:\r\na:_AutoDown@FALSE\r\n",
       [](const Start& s) { EXPECT_FALSE(s.settings.autoDown); },
       {u"设置文件错误,将以默认参数运行!!", u"设置文件错误,将以默认参数运行!!"}},
  };
  for (const LineCase& c : cases) {
    SCOPED_TRACE(c.name);
    WriteConfigBody(c.body);
    Start start(path_);
    start.config.loadConfiguration();
    c.check(start);
    EXPECT_EQ(start.recorder.messages, c.messages);
  }
}

TEST_F(ConfigFileTest, LongLinesAreCutAtTwoHundredCharacters) {
  // The "@" that ends the sub station lies beyond the cut, so the field is empty.
  std::string line = "a:_MacCFG@" + std::string(180, 'n') + "@7@" + std::string(10, '3') + "@x";
  WriteConfigBody(line + "\r\n");
  Start start(path_);
  start.config.loadConfiguration();
  EXPECT_EQ(start.machines.slot(1).name.size(), 180u);
  EXPECT_EQ(start.machines.slot(1).subStation, 0);
  EXPECT_EQ(start.machines.slot(1).masterStation, 1);
}

TEST_F(ConfigFileTest, ALineBreakAfterTheEndMarkerMakesItALineToInterpret) {
  WriteConfig("h\r\n1\r\n2\r\n3\r\n4\r\na:_AutoDown@FALSE\r\nEnd of Cfgfile\r\n");
  Start start(path_);
  start.config.loadConfiguration();
  EXPECT_FALSE(start.settings.autoDown);
  EXPECT_THAT(start.recorder.messages, ElementsAre(u"设置文件错误!!"));
}

TEST_F(ConfigFileTest, ShortFilesRunTheFirstStartActions) {
  WriteConfig("1\r\n2\r\n3\r\n4");
  Start four(path_);
  four.config.loadConfiguration();
  EXPECT_EQ(four.recorder.firstStarts, 1);

  WriteConfig("1\r\n2\r\n3\r\n4\r\n5:_AutoDown@FALSE");
  Start five(path_);
  five.config.loadConfiguration();
  EXPECT_EQ(five.recorder.firstStarts, 0);
  EXPECT_TRUE(five.settings.autoDown);  // line 5 is never interpreted
  EXPECT_THAT(five.recorder.messages, IsEmpty());
}

TEST_F(ConfigFileTest, RowsBeyondTheTableAreIgnored) {
  std::string body;
  for (int i = 1; i <= 1200; ++i) body += "a:_MacCFG@m" + std::to_string(i) + "@3@1@x@y@10@0@64\r\n";
  WriteConfigBody(body);
  Start start(path_);
  start.config.loadConfiguration();
  ASSERT_EQ(start.machines.count, MacTable::kMaxMachines);
  EXPECT_EQ(start.machines.slot(999).name, u"m999");
  EXPECT_EQ(start.machines.slot(0).name, u"机台0");  // slot 0 is never a machine

  ASSERT_TRUE(start.config.saveConfiguration());
  const Text saved = MakeIconvCodec("GBK")->Decode(FileBytes());
  EXPECT_EQ(SplitEditorLines(saved).size(), 17u + 999u);
  EXPECT_EQ(saved.find(u"m1000@"), Text::npos);
}

TEST_F(ConfigFileTest, DamagedFilesLoadWithoutCrashing) {
  std::mt19937 random(1234);
  for (int round = 0; round < 20; ++round) {
    std::string bytes(random() % 5000, '\0');
    for (char& b : bytes) b = static_cast<char>(random());
    ASSERT_TRUE(ReplaceFileContents(path_, bytes));
    Start start(path_);
    start.config.loadConfiguration();
    EXPECT_GE(start.machines.count, 1);
    EXPECT_LE(start.machines.count, MacTable::kMaxMachines);
    EXPECT_GE(start.machines.current, 1);
    EXPECT_LE(start.machines.current, start.machines.count);
  }

  // A 10 MB line and no end marker: the last line is taken as the marker.
  WriteConfigBody("");
  std::string big = "h\r\n1\r\n2\r\n3\r\n4\r\n" + std::string(10 << 20, 'x') + "\r\na:_AutoDown@FALSE";
  ASSERT_TRUE(ReplaceFileContents(path_, big));
  Start start(path_);
  start.config.loadConfiguration();
  EXPECT_THAT(start.recorder.messages, ElementsAre(u"设置文件错误!!"));
  EXPECT_TRUE(start.settings.autoDown);
}

TEST_F(ConfigFileTest, UnreadableFileIsReportedAndTreatedAsEmpty) {
  std::filesystem::create_directory(ToUtf8(path_));  // exists, but cannot be read as a file
  Start start(path_);
  start.config.loadConfiguration();
  EXPECT_THAT(start.recorder.messages, ElementsAre(u"打开文件失败,文件可能不存在\r\n文件名:" + path_));
  EXPECT_EQ(start.recorder.firstStarts, 1);
}

TEST_F(ConfigFileTest, FailedSaveLeavesTheOldFileWhole) {
  Start start(path_);
  start.machines.count = 900;
  ASSERT_TRUE(start.config.saveConfiguration());
  const std::string before = FileBytes();

  // A full disk part-way through: the file size limit makes the write fail.
  signal(SIGXFSZ, SIG_IGN);
  rlimit saved;
  getrlimit(RLIMIT_FSIZE, &saved);
  rlimit small = saved;
  small.rlim_cur = 4096;
  setrlimit(RLIMIT_FSIZE, &small);
  start.settings.autoDown = false;
  const bool ok = start.config.saveConfiguration();
  setrlimit(RLIMIT_FSIZE, &saved);

  EXPECT_FALSE(ok);
  EXPECT_THAT(start.recorder.messages, ElementsAre(u"写入设定文件失败"));
  EXPECT_EQ(FileBytes(), before);
  EXPECT_FALSE(std::filesystem::exists(ToUtf8(path_) + ".tmp"));
}

TEST_F(ConfigFileTest, SaveIntoAMissingFolderFails) {
  Start start(path_ + u"-missing/Vorlane.cfg");
  EXPECT_FALSE(start.config.saveConfiguration());
  EXPECT_THAT(start.recorder.messages, ElementsAre(u"写入设定文件失败"));
}

}  // namespace
}  // namespace tramsel
