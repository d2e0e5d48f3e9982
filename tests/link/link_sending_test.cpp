// Requests on the wire, the reply time-out and its resends.
#include <gtest/gtest.h>

#include "link/link_rig.h"

namespace tramsel::test {
namespace {

const Text kTimeoutMessage = u"串口发送超时,传送器没有响应.\r\n您要进行的操作可能已失败.";

TEST(LinkSending, RequestFramesOnTheWire) {
  struct Case {
    const char* name;
    int station;
    int request;
    size_t write;  // which write of the operation
    std::string frame;
  } cases[] = {
      {"connect at station 2", 2, ConnectionCheck, 0, Bytes({0x02, 0x01, 0x01, 0x04, 0x03})},
      {"connect at station 254", 254, ConnectionCheck, 0, Bytes({0xFE, 0x01, 0x01, 0x01, 0x03})},
      {"delete current code", 2, DeleteCurrentCode, 1, Bytes({0x02, 0x01, 0x3E, 0x30, 0x00, 0x71, 0x03})},
      {"disable download key", 2, DisableDownloadKey, 1, Bytes({0x02, 0x01, 0x38, 0x30, 0x00, 0x6B, 0x03})},
  };
  for (const Case& c : cases) {
    LinkRig rig;
    rig.machines.currentMachine().masterStation = static_cast<uint8_t>(c.station);
    rig.tx.station = c.station;
    rig.link->RequestLinkOperation(c.request);
    rig.RunFor(3000);
    ASSERT_GT(rig.serial.writes.size(), c.write) << c.name;
    EXPECT_EQ(rig.serial.writes[c.write].bytes, c.frame) << c.name;
  }
}

// The operation's request goes unanswered while the machine is online: it
// goes out again each 700 ms, 5 times in all (a block 10 times), then the
// port is closed and the operator told.
TEST(LinkSending, UnansweredRequestIsResentThenGivenUp) {
  struct Case {
    const char* name;
    int request;
    int silentCode;
    int sends;
  } cases[] = {
      {"management command", DeleteCurrentCode, CmdDeleteCurrent, 5},
      {"preparation of a transfer", FileTransfer, CmdPrepareDownload, 5},
      {"block", FileTransfer, CmdBlock, 10},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LinkRig rig;
    rig.windows.modal = false;  // so that this loop can step through the time-outs
    rig.tx.silent = {c.silentCode};
    if (c.request == FileTransfer) {
      rig.link->RequestTransfer(false);
    } else {
      rig.link->RequestLinkOperation(c.request);
    }
    ASSERT_TRUE(rig.RunUntil([&] { return !rig.WriteTimes(c.silentCode).empty(); }));
    const int64_t first = rig.loop.now();
    for (int send = 1; send < c.sends; ++send) {
      rig.loop.RunUntil(first + 700 * send - 1);
      EXPECT_EQ(rig.WriteTimes(c.silentCode).size(), static_cast<size_t>(send));
      rig.loop.RunUntil(first + 700 * send);
      EXPECT_EQ(rig.WriteTimes(c.silentCode).size(), static_cast<size_t>(send + 1));
    }
    // Resends carry the same frame.
    std::set<std::string> frames;
    for (const FakeSerial::Write& w : rig.serial.writes) {
      if (static_cast<uint8_t>(w.bytes[2]) == c.silentCode) frames.insert(w.bytes);
    }
    EXPECT_EQ(frames.size(), 1u);
    rig.loop.RunUntil(first + 700 * c.sends - 1);
    EXPECT_TRUE(rig.ui.Messages().empty());
    EXPECT_TRUE(rig.PortOpen());
    rig.loop.RunUntil(first + 700 * c.sends);
    EXPECT_EQ(rig.ui.Messages(), std::vector<Text>{kTimeoutMessage});
    EXPECT_FALSE(rig.PortOpen());
    EXPECT_EQ(rig.machines.currentMachine().status, Offline);
    EXPECT_TRUE(rig.timers.armed.empty());
    EXPECT_EQ(rig.timers.periodsBegun, rig.timers.periodsEnded);
    rig.RunFor(5000);
    EXPECT_EQ(rig.WriteTimes(c.silentCode).size(), static_cast<size_t>(c.sends));
  }
}

TEST(LinkSending, ExpiryAfterCancelResendsACancel) {
  LinkRig rig;
  rig.windows.modal = false;
  rig.tx.silent = {CmdBlock};
  rig.link->RequestTransfer(false);
  ASSERT_TRUE(rig.RunUntil([&] { return !rig.WriteTimes(CmdBlock).empty(); }));
  const int64_t sent = rig.loop.now();
  rig.RunFor(100);
  rig.link->OnSendCancelEvent();  // the main window's answer to EVENT_SEND_CANCEL
  EXPECT_EQ(rig.ui.LastStatus(), u"\r\n正在取消...");
  rig.loop.RunUntil(sent + 700);
  ASSERT_EQ(rig.WriteTimes(CmdCancelDownload), std::vector<int64_t>{sent + 700});
  EXPECT_EQ(rig.serial.writes.back().bytes, Bytes({0x02, 0x01, 0x1A, 0x1D, 0x03}));
  ASSERT_TRUE(rig.RunUntil([&] { return !rig.ui.Messages().empty(); }));
  EXPECT_EQ(rig.ui.Messages(), std::vector<Text>{u"消息:\r\n下载已取消!!"});
  EXPECT_EQ(rig.ui.LastStatus(), u"\r\n下载已取消...");
  EXPECT_FALSE(rig.PortOpen());
  EXPECT_EQ(rig.WriteTimes(CmdBlock).size(), 1u);
}

TEST(LinkSending, UnansweredConnectIsNeverResent) {
  LinkRig rig;
  rig.tx.silent = {CmdConnect};
  rig.machines.count = 3;
  rig.machines.slot(2).masterStation = 2;
  rig.machines.slot(3).masterStation = 5;
  rig.machines.slot(3).status = Online;
  rig.link->RequestLinkOperation(ConnectionCheck);
  ASSERT_TRUE(rig.RunUntil([&] { return !rig.WriteTimes(CmdConnect).empty(); }));
  const int64_t sent = rig.loop.now();
  rig.loop.RunUntil(sent + 699);
  EXPECT_EQ(rig.machines.slot(1).status, Undetermined);
  rig.loop.RunUntil(sent + 700);
  EXPECT_EQ(rig.machines.slot(1).status, Offline);
  EXPECT_EQ(rig.machines.slot(2).status, Offline);
  EXPECT_EQ(rig.machines.slot(3).status, Online);
  EXPECT_TRUE(rig.timers.armed.empty());
  // Only the supervisor tries again: a new connect each second, on every second tick.
  rig.loop.RunUntil(sent + 4000);
  EXPECT_EQ(rig.Gaps(CmdConnect), (std::vector<int64_t>{1000, 1000, 1000, 1000}));
  EXPECT_TRUE(rig.ui.Messages().empty());
}

TEST(LinkSending, StaleExpiryIsIgnored) {
  LinkRig rig;
  rig.link->RequestLinkOperation(DeleteCurrentCode);
  ASSERT_TRUE(rig.RunUntil([&] { return !rig.WriteTimes(CmdDeleteCurrent).empty(); }));
  const ReplyTimerHandle answered = rig.session().replyTimer;
  ASSERT_NE(answered, 0u);
  ASSERT_TRUE(rig.RunUntil([&] { return !rig.ui.Messages().empty(); }));
  // The host had queued the expiry before the reply disarmed its timer.
  const size_t writes = rig.serial.writes.size();
  rig.link->OnReplyTimeout(answered);
  rig.RunFor(3000);
  EXPECT_EQ(rig.serial.writes.size(), writes);
  EXPECT_EQ(rig.ui.Messages().size(), 1u);
}

TEST(LinkSending, PayloadsBeyondOneFrameAreRefused) {
  struct Case {
    size_t blockBytes;
    bool sent;
  } cases[] = {{994, true}, {995, false}};
  for (const Case& c : cases) {
    LinkRig rig;
    rig.document.image.blocks = {std::string(c.blockBytes, 'L')};
    rig.link->RequestTransfer(false);
    ASSERT_TRUE(rig.RunUntil([&] { return !rig.ui.Messages().empty(); }));
    if (c.sent) {
      // (A frame this long takes longer on the wire than the reply time-out,
      // so it goes out twice.)
      ASSERT_FALSE(rig.WriteTimes(CmdBlock).empty());
      EXPECT_EQ(rig.tx.blocks, rig.document.image.blocks);
      EXPECT_EQ(rig.ui.Messages(), std::vector<Text>{u"恭喜\r\n代码传送成功!"});
    } else {
      EXPECT_TRUE(rig.WriteTimes(CmdBlock).empty());
      EXPECT_EQ(rig.ui.Messages(), std::vector<Text>{u"错误:\r\n数据包超过994字节,无法发送"});
      EXPECT_FALSE(rig.PortOpen());
      EXPECT_TRUE(rig.timers.armed.empty());
    }
  }
}

TEST(LinkSending, PortLostWhileWritingIsReconnectedBySupervisor) {
  LinkRig rig;
  rig.tx.intercept = [&](const LinkPacket& request) {
    // The adapter is pulled right after the connect reply has left.
    if (request.code == CmdConnect && rig.WriteTimes(CmdConnect).size() == 1) rig.serial.writesFail = true;
    return false;
  };
  rig.link->RequestLinkOperation(DeleteCurrentCode);
  ASSERT_TRUE(rig.RunUntil([&] { return !rig.ui.Messages().empty(); }));
  EXPECT_EQ(rig.ui.Messages(), std::vector<Text>{u"错误:\r\n正在发送数据时端口意外关闭!!"});
  EXPECT_FALSE(rig.PortOpen());
  EXPECT_EQ(rig.machines.currentMachine().status, Offline);
  EXPECT_EQ(rig.waits.slept, std::vector<int>{5});
  // Back again: the supervisor connects once more and the operation goes on.
  rig.serial.writesFail = false;
  ASSERT_TRUE(rig.RunUntil([&] { return rig.ui.Messages().size() == 2; }, 5000));
  EXPECT_EQ(rig.ui.Messages()[1], u"消息:\r\n文件删除成功!");
  EXPECT_EQ(rig.tx.Codes(), (std::vector<int>{CmdConnect, CmdConnect, CmdDeleteCurrent}));
}

// Supervision has stopped once the transfer has started; a port lost while
// writing switches it on again, so the next supervisor tick reconnects and
// the transfer starts over. (Meanwhile the send-ready event finds the machine
// offline, and the preparation finds the port closed.)
TEST(LinkSending, PortLostAfterTransferStartReconnects) {
  LinkRig rig;
  rig.tx.intercept = [&](const LinkPacket& request) {
    if (request.code == CmdPacketCapacity && rig.WriteTimes(CmdPacketCapacity).size() == 1) {
      rig.serial.writesFail = true;
      rig.loop.PostAt(rig.loop.now() + 100, [&] { rig.serial.writesFail = false; });
    }
    return false;
  };
  rig.link->RequestTransfer(false);
  ASSERT_TRUE(rig.RunUntil([&] { return rig.ui.Messages().size() == 4; }));
  EXPECT_EQ(rig.ui.Messages(), (std::vector<Text>{
                                   u"错误:\r\n正在发送数据时端口意外关闭!!",
                                   u"错误:\r\n没有链接到传送器,请先完成联机.",
                                   u"错误:\r\n端口没有开启时试图发送数据",
                                   u"恭喜\r\n代码传送成功!",
                               }));
  EXPECT_EQ(rig.tx.blocks, rig.document.image.blocks);
  EXPECT_EQ(rig.WriteTimes(CmdConnect).size(), 2u);
}

TEST(LinkSending, PortClosedBeforeSending) {
  LinkRig rig;
  rig.tx.intercept = [&](const LinkPacket& request) {
    // The port goes away during the pause before the capacity request.
    if (request.code == CmdConnect) rig.loop.PostAt(rig.loop.now() + 100, [&] { rig.serial.SetPortOpen(false); });
    return false;
  };
  rig.link->RequestTransfer(false);
  ASSERT_TRUE(rig.RunUntil([&] { return !rig.ui.Messages().empty(); }));
  EXPECT_EQ(rig.ui.Messages(), std::vector<Text>{u"错误:\r\n端口没有开启时试图发送数据"});
  EXPECT_EQ(rig.machines.currentMachine().status, Offline);
  EXPECT_EQ(rig.waits.slept, std::vector<int>{5});
  EXPECT_TRUE(rig.WriteTimes(CmdPacketCapacity).empty());
}

}  // namespace
}  // namespace tramsel::test
