// The file transfer from the connect reply to its ends.
#include <algorithm>

#include <gtest/gtest.h>

#include "link/link_rig.h"

namespace tramsel::test {
namespace {

bool Ended(const LinkRig& rig) { return !rig.ui.Messages().empty(); }

TEST(LinkTransfer, DirectTransferOfThreeBlocks) {
  LinkRig rig;
  rig.tx.capacity = 80;
  rig.document.textLength = 1234;
  bool openWhileWaitingFor59 = false;
  rig.tx.intercept = [&](const LinkPacket& request) {
    if (request.code == CmdEndOfData) {
      rig.loop.PostAt(rig.loop.now() + 200, [&] { openWhileWaitingFor59 = rig.PortOpen(); });
    }
    return false;
  };
  rig.link->RequestTransfer(false);
  ASSERT_TRUE(rig.RunUntil([&] { return Ended(rig); }));

  EXPECT_EQ(rig.ui.Statuses(), (std::vector<Text>{
                                   u"尚未连接\r\n等待设备连接...",
                                   u"尚未连接\r\n正在尝试连接",
                                   u"设备已连接\r\n等待更新数据",
                                   u"正在解析文件....",
                                   u"文件解析成功....",
                                   u"消息:\r\n传送已开始!!",
                                   u"下载中....\r\n正在发送1包,共3包",
                                   u"下载中....\r\n正在发送2包,共3包",
                                   u"下载中....\r\n正在发送3包,共3包",
                                   u"文件传送完成\r\n等待传送器下载完成",
                                   u"传送完成...",
                               }));
  EXPECT_EQ(rig.ui.Messages(), std::vector<Text>{u"恭喜\r\n代码传送成功!"});
  EXPECT_EQ(rig.serial.WrittenCodes(),
            (std::vector<int>{CmdConnect, CmdPacketCapacity, CmdSelectSubStation, CmdPrepareDownload,
                              CmdLineSettings, CmdStartDirect, CmdFirstBlock, CmdBlock, CmdBlock, CmdBlock,
                              CmdEndOfData}));
  EXPECT_EQ(rig.tx.blocks, rig.document.image.blocks);
  EXPECT_EQ(rig.tx.lineSettings, "100@100@10@1");
  EXPECT_EQ(rig.tx.Last(CmdStartDirect)->payload, "1");
  EXPECT_EQ(rig.tx.Last(CmdPrepareDownload)->payload, "0");
  EXPECT_EQ(rig.tx.lineCountReport, "15");
  EXPECT_EQ(rig.document.builtForCapacity, 80);
  EXPECT_TRUE(openWhileWaitingFor59);
  EXPECT_FALSE(rig.PortOpen());
  EXPECT_EQ(rig.session().currentOperation, FileTransfer);

  EXPECT_EQ(rig.windows.opened, 1);
  EXPECT_TRUE(rig.windows.endedWithOk);
  EXPECT_EQ(rig.windows.lengthText, u"文件长度:1234字节");
  EXPECT_EQ(rig.windows.rangeHigh, 3);
  EXPECT_GE(rig.windows.position, 3);
  ASSERT_FALSE(rig.windows.percentTexts.empty());
  EXPECT_EQ(rig.windows.percentTexts.front(), u"已发 0% ,请耐心等候...     已消耗时间0秒");

  EXPECT_TRUE(rig.timers.armed.empty());
  EXPECT_EQ(rig.timers.periodsBegun, rig.timers.periodsEnded);
  EXPECT_FALSE(rig.timers.Running(kSupervisorTimer));
}

// The host pauses (dispatching messages) between some replies and its next
// request; the transmitter answers 10 ms after a request has reached it.
TEST(LinkTransfer, PausesBetweenReplyAndNextRequest) {
  LinkRig rig;
  rig.link->RequestTransfer(false);
  ASSERT_TRUE(rig.RunUntil([&] { return Ended(rig); }));
  struct Step {
    int answered, next;
    int64_t pause;
  } steps[] = {
      {CmdConnect, CmdPacketCapacity, 200}, {CmdPrepareDownload, CmdLineSettings, 200},
      {CmdLineSettings, CmdStartDirect, 200}, {CmdStartDirect, CmdFirstBlock, 200},
      {CmdFirstBlock, CmdBlock, 100},       {CmdBlock, CmdBlock, 0},
      {CmdBlock, CmdEndOfData, 0},
  };
  const std::vector<FakeSerial::Write>& writes = rig.serial.writes;
  for (const Step& step : steps) {
    bool seen = false;
    for (size_t i = 0; i + 1 < writes.size(); ++i) {
      if (static_cast<uint8_t>(writes[i].bytes[2]) != step.answered ||
          static_cast<uint8_t>(writes[i + 1].bytes[2]) != step.next) {
        continue;
      }
      const int64_t answeredAt = writes[i].at + static_cast<int64_t>(writes[i].bytes.size()) + rig.tx.replyDelayMs;
      EXPECT_EQ(writes[i + 1].at - answeredAt, step.pause) << step.answered << " -> " << step.next;
      seen = true;
    }
    EXPECT_TRUE(seen) << step.answered << " -> " << step.next;
  }
}

TEST(LinkTransfer, EndOfDataByModeAndSize) {
  struct Case {
    const char* name;
    bool storing;
    int blocks;
    Text status;
    Text message;
    int operationAfter;
  } cases[] = {
      {"direct, 5 blocks: the code reaches the machine", false, 5, u"传送完成...", u"恭喜\r\n代码传送成功!",
       FileTransfer},
      {"direct, 6 blocks", false, 6, u"文件传送完成\r\n", u"消息:\r\n文件传送完成!", 0},
      {"storing, 3 blocks", true, 3, u"文件传送完成\r\n", u"消息:\r\n文件传送完成!", FileTransfer},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LinkRig rig;
    rig.document.SetBlocks(c.blocks);
    rig.link->RequestTransfer(c.storing);
    ASSERT_TRUE(rig.RunUntil([&] { return Ended(rig); }));
    EXPECT_EQ(rig.ui.LastStatus(), c.status);
    EXPECT_EQ(rig.ui.Messages(), std::vector<Text>{c.message});
    EXPECT_EQ(rig.tx.blocks, rig.document.image.blocks);
    EXPECT_EQ(rig.session().currentOperation, c.operationAfter);
    EXPECT_FALSE(rig.PortOpen());
    EXPECT_TRUE(rig.windows.endedWithOk);
    EXPECT_EQ(rig.tx.Last(CmdStartDirect) != nullptr, !c.storing);
  }
}

TEST(LinkTransfer, LineSettings) {
  struct Case {
    int syncSpeed;
    bool storing;
    std::string settings;
    int afterSettings;
  } cases[] = {
      {Faster, true, "80@80@10@12", CmdFirstBlock}, {Faster, false, "80@80@10@2", CmdStartDirect},
      {Standard, false, "100@100@10@2", CmdStartDirect}, {Slower, false, "150@150@10@2", CmdStartDirect},
      {Slow, false, "200@200@10@2", CmdStartDirect},     {Fast, false, "50@50@10@2", CmdStartDirect},
      {VeryFast, false, "20@20@10@2", CmdStartDirect},   {VeryFastPlus, false, "10@10@10@2", CmdStartDirect},
  };
  for (const Case& c : cases) {
    LinkRig rig;
    MacRecord& m = rig.machines.currentMachine();
    m.syncSpeed = static_cast<uint8_t>(c.syncSpeed);
    m.emptyAnswers = 10;
    m.downloadMode = LowLevelSync;
    rig.link->RequestTransfer(c.storing);
    ASSERT_TRUE(rig.RunUntil([&] { return Ended(rig); }));
    EXPECT_EQ(rig.tx.lineSettings, c.settings);
    const std::vector<int> codes = rig.serial.WrittenCodes();
    auto at = std::find(codes.begin(), codes.end(), CmdLineSettings);
    ASSERT_NE(at, codes.end());
    EXPECT_EQ(at[1], c.afterSettings) << c.settings;
    if (!c.storing) {
      EXPECT_EQ(rig.tx.Last(CmdStartDirect)->payload, "2");
    }
  }
}

TEST(LinkTransfer, StoringWithAnOldTransmitter) {
  for (bool turnDirect : {true, false}) {
    SCOPED_TRACE(turnDirect);
    LinkRig rig;
    rig.tx.version = 150;
    rig.ui.answers = {turnDirect};
    rig.link->RequestTransfer(true);
    ASSERT_TRUE(rig.RunUntil([&] { return !rig.ui.Questions().empty(); }));
    auto question = std::find_if(rig.ui.events.begin(), rig.ui.events.end(),
                                 [](const FakeUi::Event& e) { return e.kind == FakeUi::Question; });
    EXPECT_EQ(question->caption, u"不支持的传送模式");
    EXPECT_EQ(question->text, u"该传送器不支持离线传送,是否转为在线模式?");
    if (turnDirect) {
      ASSERT_TRUE(rig.RunUntil([&] { return Ended(rig); }));
      EXPECT_EQ(rig.tx.lineSettings, "100@100@10@1");
      EXPECT_NE(rig.tx.Last(CmdStartDirect), nullptr);
      EXPECT_EQ(rig.ui.Messages(), std::vector<Text>{u"恭喜\r\n代码传送成功!"});
    } else {
      EXPECT_EQ(rig.ui.LastStatus(), u"使用了不支持的传送模式\r\n传送取消....");
      EXPECT_FALSE(rig.PortOpen());
      EXPECT_EQ(rig.session().currentOperation, 0);
      EXPECT_EQ(rig.document.parses, 0);
      rig.RunFor(3000);
      EXPECT_EQ(rig.serial.WrittenCodes(), (std::vector<int>{CmdConnect, CmdPacketCapacity}));
      EXPECT_EQ(rig.windows.opened, 0);
    }
  }
}

TEST(LinkTransfer, DocumentThatCannotBeSent) {
  for (bool parses : {false, true}) {
    LinkRig rig;
    rig.document.parseOk = parses;
    rig.document.buildOk = false;
    rig.link->RequestTransfer(false);
    ASSERT_TRUE(rig.RunUntil([&] { return rig.ui.LastStatus() == u"解析文件错误"; }));
    rig.RunFor(3000);
    EXPECT_FALSE(rig.PortOpen());
    EXPECT_EQ(rig.session().currentOperation, 0);
    EXPECT_EQ(rig.serial.WrittenCodes(), (std::vector<int>{CmdConnect, CmdPacketCapacity}));
    EXPECT_EQ(rig.windows.opened, 0);
  }
}

TEST(LinkTransfer, FirstBlockWantedIsZero) {
  LinkRig rig;
  rig.windows.modal = false;
  rig.tx.intercept = [&](const LinkPacket& request) {
    if (request.code != CmdFirstBlock) return false;
    rig.tx.Reply(CmdFirstBlock, "0");
    return true;
  };
  rig.link->RequestTransfer(false);
  ASSERT_TRUE(rig.RunUntil([&] { return rig.ui.LastStatus() == u"下载中....\r\n正在发送0包,共3包"; }));
  rig.RunFor(10000);
  EXPECT_TRUE(rig.WriteTimes(CmdBlock).empty());
  EXPECT_EQ(rig.serial.WrittenCodes().back(), CmdFirstBlock);
  EXPECT_TRUE(rig.timers.armed.empty());
  EXPECT_TRUE(rig.PortOpen());
  EXPECT_TRUE(rig.ui.Messages().empty());
}

TEST(LinkTransfer, BlockWantedBeyondTheLast) {
  LinkRig rig;
  rig.tx.intercept = [&](const LinkPacket& request) {
    if (request.code == CmdFirstBlock) rig.tx.Reply(CmdFirstBlock, "4");
    if (request.code == CmdBlock) rig.tx.Reply(CmdBlock, "5");
    return request.code == CmdFirstBlock || request.code == CmdBlock;
  };
  rig.link->RequestTransfer(false);
  ASSERT_TRUE(rig.RunUntil([&] { return Ended(rig); }));
  ASSERT_EQ(rig.WriteTimes(CmdBlock).size(), 1u);
  const std::vector<int> codes = rig.serial.WrittenCodes();
  const size_t block = std::find(codes.begin(), codes.end(), CmdBlock) - codes.begin();
  EXPECT_EQ(rig.serial.writes[block].bytes, Bytes({0x02, 0x01, 0x19, 0x1C, 0x03}));
  EXPECT_EQ(codes[block + 1], CmdEndOfData);
}

TEST(LinkTransfer, TransmitterCancels) {
  struct Case {
    const char* reason;
    Text text;
  } cases[] = {
      {"1", u"代码出错"},          {"2", u"应答传送超时"},  {"3", u"应答时代码不足"},
      {"4", u"文件不存在"},        {"11", u"传送器正在进行传送"}, {"12", u"传送超时"},
      {"13", u"新建文件失败!"},   {"14", u"存储空间不足!"}, {"5", u"无"},
      {"", u"无"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reason);
    LinkRig rig;
    rig.tx.intercept = [&](const LinkPacket& request) {
      if (request.code != CmdBlock || rig.tx.blocks.size() < 1) return false;
      rig.tx.Reply(TxCancelled, c.reason);  // at block 2
      return true;
    };
    rig.link->RequestTransfer(false);
    ASSERT_TRUE(rig.RunUntil([&] { return Ended(rig); }));
    EXPECT_EQ(rig.ui.Messages(),
              std::vector<Text>{u"传送器取消了传送!请检查单板机及传输器是否出错\r\n\r\n\r\n\r\n附加消息:" + c.text});
    EXPECT_EQ(rig.ui.LastStatus(), u"\r\n传送已取消...");
    EXPECT_FALSE(rig.PortOpen());
    EXPECT_EQ(rig.session().currentOperation, 0);
    EXPECT_TRUE(rig.windows.endedWithOk);
    EXPECT_TRUE(rig.timers.armed.empty());
  }
}

TEST(LinkTransfer, OperatorCancelsInTheProgressDialog) {
  LinkRig rig;
  rig.document.SetBlocks(8);
  rig.windows.cancelWhen = [&] { return rig.session().requestedBlock >= 2; };
  rig.link->RequestTransfer(false);
  ASSERT_TRUE(rig.RunUntil([&] { return Ended(rig); }));
  EXPECT_TRUE(rig.windows.cancelled);
  EXPECT_EQ(rig.ui.Messages(), std::vector<Text>{u"消息:\r\n下载已取消!!"});
  const std::vector<Text> statuses = rig.ui.Statuses();
  ASSERT_GE(statuses.size(), 2u);
  EXPECT_EQ(statuses[statuses.size() - 2], u"\r\n正在取消...");
  EXPECT_EQ(statuses.back(), u"\r\n下载已取消...");
  // The reply to the block in flight is answered with the cancel.
  const std::vector<int> codes = rig.serial.WrittenCodes();
  EXPECT_EQ(codes.back(), CmdCancelDownload);
  EXPECT_EQ(codes[codes.size() - 2], CmdBlock);
  EXPECT_LT(rig.tx.blocks.size(), 8u);
  EXPECT_FALSE(rig.PortOpen());
  EXPECT_EQ(rig.session().currentOperation, 0);
}

TEST(LinkTransfer, SendReadyWhenNotOnline) {
  LinkRig rig;
  rig.link->OnSendReadyEvent();
  EXPECT_EQ(rig.ui.Messages(), std::vector<Text>{u"错误:\r\n没有链接到传送器,请先完成联机."});
  EXPECT_EQ(rig.windows.opened, 0);
  EXPECT_TRUE(rig.waits.pumped.empty());
}

// During the pause after a matched reply no reply is awaited: a second
// answer arriving then is no answer at all.
TEST(LinkTransfer, ReplyDuringAPauseGoesUnmatched) {
  LinkRig rig;
  rig.tx.intercept = [&](const LinkPacket& request) {
    if (request.code != CmdPrepareDownload) return false;
    rig.tx.Reply(CmdPrepareDownload, "");
    rig.tx.Reply(CmdPrepareDownload, "", 60);
    return true;
  };
  rig.link->RequestTransfer(false);
  ASSERT_TRUE(rig.RunUntil([&] { return Ended(rig); }));
  EXPECT_EQ(rig.WriteTimes(CmdLineSettings).size(), 1u);
  EXPECT_EQ(rig.ui.Messages(), std::vector<Text>{u"恭喜\r\n代码传送成功!"});
}

TEST(LinkTransfer, AnswerToAnotherRequestLeavesTheTimeOutRunning) {
  LinkRig rig;
  rig.windows.modal = false;
  int preparations = 0;
  rig.tx.intercept = [&](const LinkPacket& request) {
    if (request.code != CmdPrepareDownload || ++preparations > 1) return false;
    rig.tx.Reply(CmdPacketCapacity, "64");
    return true;
  };
  rig.link->RequestTransfer(false);
  ASSERT_TRUE(rig.RunUntil([&] { return Ended(rig); }));
  EXPECT_EQ(rig.Gaps(CmdPrepareDownload), std::vector<int64_t>{700});
  EXPECT_EQ(rig.WriteTimes(CmdSelectSubStation).size(), 1u);
  EXPECT_EQ(rig.ui.Messages(), std::vector<Text>{u"恭喜\r\n代码传送成功!"});
}

TEST(SendCodeProgress, Texts) {
  struct Case {
    int blocks;
    int requested;
    int tenths;
    std::optional<int> position;
    Text text;
  } cases[] = {
      {3, 0, 0, std::nullopt, u"已发 0% ,请耐心等候...     已消耗时间0秒"},
      {3, 1, 19, 1, u"已发 33% ,请耐心等候...     已消耗时间1秒"},
      {3, 3, 100, 3, u"已发 100% ,请耐心等候...     已消耗时间10秒"},
      {3, 4, 0, 4, u"已发 100% ,请耐心等候...     已消耗时间0秒"},
      {3, -1, 0, -1, u"已发 100% ,请耐心等候...     已消耗时间0秒"},
      {0, 2, 0, 2, u"已发 0% ,请耐心等候...     已消耗时间0秒"},
      {30000000, 29999999, 0, 29999999, u"已发 99% ,请耐心等候...     已消耗时间0秒"},
  };
  for (const Case& c : cases) {
    LinkSession session;
    session.requestedBlock = c.requested;
    SendCodeProgress progress(session, c.blocks, 393);
    for (int t = 0; t < c.tenths; ++t) progress.OnElapsedTick();
    const SendCodeProgress::PercentTick tick = progress.OnPercentTick();
    EXPECT_EQ(tick.position, c.position);
    EXPECT_EQ(tick.text, c.text);
  }
  LinkSession session;
  EXPECT_EQ(SendCodeProgress(session, 3, 393).LengthText(), u"文件长度:393字节");
  EXPECT_EQ(SendCodeProgress(session, 3, 393).RangeHigh(), 3);
  EXPECT_EQ(SendCodeProgress(session, 70000, 393).RangeHigh(), 0xFFFF);
}

}  // namespace
}  // namespace tramsel::test
