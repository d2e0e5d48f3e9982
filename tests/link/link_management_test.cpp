// The management commands and the frames the transmitter starts itself.
#include <gtest/gtest.h>

#include "link/link_rig.h"

namespace tramsel::test {
namespace {

TEST(LinkManagement, CommandsAndTheirReplies) {
  struct Case {
    int request;
    int command;
    std::string payload;
    std::optional<int> keyAnswer;
    Text message;
  } cases[] = {
      {DeleteCurrentCode, CmdDeleteCurrent, "0", std::nullopt, u"消息:\r\n文件删除成功!"},
      {ClearAllCode, CmdClearAll, "1", std::nullopt, u"消息:\r\n文件删除成功!"},
      {EnableDownloadKey, CmdDownloadKey, "1", 1, u"消息:\r\n下载键为启用状态!"},
      // The message tells the state the transmitter reports, not the one asked for.
      {EnableDownloadKey, CmdDownloadKey, "1", 0, u"消息:\r\n下载键为禁用状态!"},
      {DisableDownloadKey, CmdDownloadKey, "0", 0, u"消息:\r\n下载键为禁用状态!"},
      {AllowStationMatching, CmdAllowStationMatching, "0", std::nullopt, u"消息:\r\n设置成功!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    LinkRig rig;
    rig.tx.keyAnswer = c.keyAnswer;
    rig.link->RequestLinkOperation(c.request);
    ASSERT_TRUE(rig.RunUntil([&] { return !rig.ui.Messages().empty(); }));
    EXPECT_EQ(rig.tx.Codes(), (std::vector<int>{CmdConnect, c.command}));
    EXPECT_EQ(rig.tx.requests[1].packet.payload, c.payload);
    EXPECT_EQ(rig.tx.requests[1].packet.station, 2);
    // Sent at once on the connect reply.
    EXPECT_EQ(rig.WriteTimes(c.command)[0] - rig.WriteTimes(CmdConnect)[0], 5 + 10);
    EXPECT_EQ(rig.ui.Messages(), std::vector<Text>{c.message});
    EXPECT_FALSE(rig.PortOpen());
    EXPECT_EQ(rig.session().currentOperation, c.request);
    EXPECT_TRUE(rig.timers.armed.empty());
    EXPECT_EQ(rig.timers.periodsBegun, rig.timers.periodsEnded);
  }
}

// Frames a transmitter sends of its own accord while a delete is under way.
TEST(LinkReplies, DiagnosticFrames) {
  LinkRig rig;
  const std::string text = rig.codec->Encode(u"单板机忙");
  rig.tx.intercept = [&](const LinkPacket& request) {
    if (request.code != CmdDeleteCurrent) return false;
    rig.tx.Reply(TxDump, Bytes({0x0A, 0xFF}));
    rig.tx.Reply(TxDiagnosticText, text + std::string(1, '\0') + "tail", 20);
    rig.tx.Reply(99, "", 30);  // no handler
    rig.tx.Reply(CmdDeleteCurrent, "", 40);
    return true;
  };
  rig.link->RequestLinkOperation(DeleteCurrentCode);
  ASSERT_TRUE(rig.RunUntil([&] { return rig.ui.Messages().size() == 3; }));
  EXPECT_EQ(rig.ui.Messages(), (std::vector<Text>{u"0a ff ", u"单板机忙", u"消息:\r\n文件删除成功!"}));
}

TEST(LinkReplies, BusyHoldsTheResendBack) {
  LinkRig rig;
  rig.windows.modal = false;
  int64_t busyArrives = 0;
  rig.tx.intercept = [&](const LinkPacket& request) {
    if (request.code != CmdBlock || busyArrives != 0) return false;
    rig.tx.Reply(TxBusy, "3000");
    busyArrives = rig.loop.now() + rig.tx.replyDelayMs;
    return true;
  };
  rig.link->RequestTransfer(false);
  ASSERT_TRUE(rig.RunUntil([&] { return busyArrives != 0 && rig.loop.now() >= busyArrives; }));
  rig.loop.RunUntil(busyArrives + 2999);
  EXPECT_EQ(rig.WriteTimes(CmdBlock).size(), 1u);
  rig.loop.RunUntil(busyArrives + 3000);
  EXPECT_EQ(rig.WriteTimes(CmdBlock).size(), 2u);
  ASSERT_TRUE(rig.RunUntil([&] { return !rig.ui.Messages().empty(); }));
  EXPECT_EQ(rig.ui.Messages(), std::vector<Text>{u"恭喜\r\n代码传送成功!"});
  EXPECT_EQ(rig.tx.blocks, rig.document.image.blocks);
}

TEST(LinkReplies, BusyTimeIsKeptInRange) {
  struct Case {
    const char* payload;
    int armedMs;
  } cases[] = {{"3000", 3000}, {"0", 1}, {"-20", 1}, {"", 1}, {"60000", 60000}, {"99999999999", 60000}};
  for (const Case& c : cases) {
    LinkRig rig;
    rig.tx.intercept = [&](const LinkPacket& request) {
      if (request.code != CmdDeleteCurrent) return false;
      rig.tx.Reply(TxBusy, c.payload);
      return true;
    };
    rig.link->RequestLinkOperation(DeleteCurrentCode);
    ASSERT_TRUE(rig.RunUntil([&] { return rig.timers.armedLengths.size() == 3; }));
    EXPECT_EQ(rig.timers.armedLengths.back(), c.armedMs) << c.payload;
  }
}

TEST(LinkReplies, RepeatRequest) {
  // With an operation: the last request again, block 2 here.
  {
    LinkRig rig;
    bool repeated = false;
    rig.tx.intercept = [&](const LinkPacket& request) {
      if (request.code != CmdBlock || rig.tx.blocks.size() != 1 || repeated) return false;
      repeated = true;
      rig.tx.Reply(TxRepeat, "");
      return true;
    };
    rig.link->RequestTransfer(false);
    ASSERT_TRUE(rig.RunUntil([&] { return !rig.ui.Messages().empty(); }));
    EXPECT_EQ(rig.ui.Messages(), std::vector<Text>{u"恭喜\r\n代码传送成功!"});
    EXPECT_EQ(rig.WriteTimes(CmdBlock).size(), 4u);
    EXPECT_EQ(rig.tx.blocks, rig.document.image.blocks);
  }
  // Without one (cancelled): a cancel to the machine's master station.
  {
    LinkRig rig;
    rig.windows.modal = false;
    rig.tx.silent = {CmdBlock};
    rig.link->RequestTransfer(false);
    ASSERT_TRUE(rig.RunUntil([&] { return !rig.WriteTimes(CmdBlock).empty(); }));
    rig.link->OnSendCancelEvent();
    rig.tx.Reply(TxRepeat, "");
    ASSERT_TRUE(rig.RunUntil([&] { return !rig.ui.Messages().empty(); }));
    EXPECT_EQ(rig.serial.WrittenCodes().back(), CmdCancelDownload);
    EXPECT_EQ(rig.WriteTimes(CmdCancelDownload).size(), 1u);
    EXPECT_EQ(rig.ui.Messages(), std::vector<Text>{u"消息:\r\n下载已取消!!"});
  }
}

// Replies as the serial line delivers them: whole, in pieces, together with
// another frame, after noise, or damaged and then sent again.
TEST(LinkReplies, CapacityReplyAsTheLineDeliversIt) {
  const std::string reply = BuildReplyFrame(CmdPacketCapacity, "100");
  std::string damaged = reply;
  damaged[3] = '2';
  struct Case {
    const char* name;
    std::vector<std::string> pieces;  // 5 ms apart
    size_t capacityRequests;
  } cases[] = {
      {"whole", {reply}, 1},
      {"split after five bytes", {reply.substr(0, 5), reply.substr(5)}, 1},
      {"in three pieces", {reply.substr(0, 4), reply.substr(4, 1), reply.substr(5)}, 1},
      {"after an old answer", {BuildReplyFrame(CmdPrepareDownload, "") + reply}, 1},
      {"after noise", {Bytes({0x00, 0xFF, 0x01, 0x03}) + reply}, 1},
      {"damaged, then sent again", {damaged}, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LinkRig rig;
    rig.tx.capacity = 100;
    rig.tx.intercept = [&](const LinkPacket& request) {
      if (request.code != CmdPacketCapacity || rig.WriteTimes(CmdPacketCapacity).size() > 1) return false;
      for (size_t i = 0; i < c.pieces.size(); ++i) rig.tx.SendBytes(c.pieces[i], 10 + 5 * i);
      return true;
    };
    rig.link->RequestLinkOperation(ConnectionCheck);
    ASSERT_TRUE(rig.RunUntil([&] { return !rig.WriteTimes(CmdSelectSubStation).empty(); }, 5000));
    EXPECT_EQ(rig.machines.currentMachine().packetCapacity, 100);
    EXPECT_EQ(rig.WriteTimes(CmdPacketCapacity).size(), c.capacityRequests);
  }
}

// The end-of-data reply and the transmitter's success frame in one read.
TEST(LinkReplies, SuccessReadTogetherWithTheEndOfDataReply) {
  LinkRig rig;
  rig.tx.intercept = [&](const LinkPacket& request) {
    if (request.code != CmdEndOfData) return false;
    rig.tx.SendBytes(BuildReplyFrame(CmdEndOfData, "") + BuildReplyFrame(TxDelivered, ""));
    return true;
  };
  rig.link->RequestTransfer(false);
  ASSERT_TRUE(rig.RunUntil([&] { return !rig.ui.Messages().empty(); }));
  EXPECT_EQ(rig.ui.Messages(), std::vector<Text>{u"恭喜\r\n代码传送成功!"});
  EXPECT_TRUE(rig.windows.endedWithOk);
  EXPECT_FALSE(rig.PortOpen());
}

TEST(LinkReplies, ReceiveNotificationOnAClosedPort) {
  LinkRig rig;
  rig.serial.Notify(CommEventReceive);
  EXPECT_EQ(rig.ui.Messages(), std::vector<Text>{u"错误:\r\n接受事件时检测到端口关闭"});
  EXPECT_TRUE(rig.timers.armed.empty());
}

}  // namespace
}  // namespace tramsel::test
