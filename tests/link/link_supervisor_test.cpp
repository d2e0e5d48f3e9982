// The request poller, the port walk, the countdown question, the connect
// reply, the connection check and the new-transmitter question.
#include <gtest/gtest.h>

#include "link/link_rig.h"

namespace tramsel::test {
namespace {

std::vector<int> OpenedPorts(const LinkRig& rig) {
  std::vector<int> ports;
  for (const auto& [at, port] : rig.serial.opens) ports.push_back(port);
  return ports;
}

TEST(LinkSupervisor, FirstRequestOnlyBuildsThePortList) {
  LinkRig rig;
  rig.link->RequestLinkOperation(ConnectionCheck);
  rig.loop.RunUntil(300);  // the poller's first tick
  EXPECT_EQ(rig.ui.Statuses(), std::vector<Text>{u"尚未连接\r\n等待设备连接..."});
  EXPECT_EQ(rig.session().portList, std::vector<Text>{u"COM3"});
  EXPECT_TRUE(rig.serial.opens.empty());
  rig.loop.RunUntil(799);
  EXPECT_TRUE(rig.serial.opens.empty());
  rig.loop.RunUntil(800);  // the supervisor's first tick
  ASSERT_EQ(rig.serial.opens.size(), 1u);
  EXPECT_EQ(rig.serial.opens[0].first, 800);
  EXPECT_EQ(rig.ui.LastStatus(), u"尚未连接\r\n正在尝试连接");
}

TEST(LinkSupervisor, OpensPortsWithTheLinkSettings) {
  LinkRig rig;
  rig.link->RequestLinkOperation(ConnectionCheck);
  rig.loop.RunUntil(800);
  const FakeSerial& s = rig.serial;
  EXPECT_EQ(s.commPort, 3);
  EXPECT_EQ(s.settings, "9600,n,8,1");
  EXPECT_EQ(std::vector<int>({s.inputMode, s.inBufferSize, s.outBufferSize, s.rThreshold, s.sThreshold}),
            std::vector<int>({1, 2048, 2048, 1, 1}));
}

// The walk over the system's ports: the default port first, CH341 ports
// only, one opened per tick, the list rebuilt after the last.
TEST(LinkSupervisor, PortWalk) {
  struct Case {
    const char* name;
    std::vector<Text> names;
    std::set<int> ch341;
    int defaultPort;
    std::vector<Text> list;      // after the first rebuild
    std::vector<int> opened;     // within the first 3 s (ticks at 800, 1300, ...)
    int messages;                // within the same time
  } cases[] = {
      {"default port first", {u"COM3", u"COM5", u"COM7"}, {3, 5, 7}, 5, {u"COM5", u"COM3", u"COM7"},
       {5, 3, 7, 5}, 0},
      {"two names of the default port", {u"COM5", u"COM3", u"COM005"}, {3, 5}, 5,
       {u"COM005", u"COM5", u"COM3"}, {5, 5, 3, 5}, 0},
      {"other ports passed over in the same tick", {u"COM1", u"COM3", u"COM4"}, {3}, 0,
       {u"COM1", u"COM3", u"COM4"}, {3, 3, 3}, 0},
      // A port that cannot be opened ends the walk in the same tick: its box
      // comes up on every tick.
      {"a name of three characters is port 0", {u"COM"}, {0}, 7, {u"COM"}, {}, 5},
      {"a port beyond 16", {u"COM17"}, {17}, 0, {u"COM17"}, {}, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LinkRig rig;
    rig.tx.silent = {CmdConnect};
    rig.ports.names = c.names;
    rig.ports.ch341 = c.ch341;
    rig.settings.defaultPort = c.defaultPort;
    rig.link->RequestLinkOperation(ConnectionCheck);
    rig.loop.RunUntil(300);
    EXPECT_EQ(rig.session().portList, c.list);
    rig.loop.RunUntil(3000);
    EXPECT_EQ(OpenedPorts(rig), c.opened);
    EXPECT_EQ(rig.ui.Messages().size(), static_cast<size_t>(c.messages));
    for (const Text& message : rig.ui.Messages()) {
      EXPECT_EQ(message, c.names[0] == u"COM" ? u"先选择串口号哦" : u"串口号超出程序支持，请修改串口号再试");
    }
  }
}

TEST(LinkSupervisor, PortInUseIsPassedOverSilently) {
  LinkRig rig;
  rig.ports.names = {u"COM4", u"COM3"};
  rig.ports.ch341 = {3, 4};
  rig.serial.unopenable = {4};
  rig.link->RequestLinkOperation(ConnectionCheck);
  ASSERT_TRUE(rig.RunUntil([&] { return rig.machines.currentMachine().status == Online; }));
  EXPECT_EQ(rig.serial.opens, (std::vector<std::pair<int64_t, int>>{{800, 3}}));
  EXPECT_TRUE(rig.ui.Messages().empty());
}

TEST(LinkSupervisor, PortListUnreadableAfterAWalk) {
  LinkRig rig;
  rig.tx.silent = {CmdConnect};
  rig.link->RequestLinkOperation(ConnectionCheck);
  rig.loop.RunUntil(800);  // COM3 tried
  rig.ports.readable = false;
  rig.loop.RunUntil(1300);  // the walk is over and the list cannot be rebuilt
  EXPECT_EQ(rig.ui.LastStatus(), u"尚未连接\r\n等待设备连接2");
  EXPECT_TRUE(rig.session().portList.empty());
  rig.loop.RunUntil(1800);
  EXPECT_EQ(rig.ui.LastStatus(), u"尚未连接\r\n等待设备连接...");
}

TEST(LinkSupervisor, CountdownQuestionAfter15TicksThenAfter30More) {
  LinkRig rig;
  rig.tx.silent = {CmdConnect};
  rig.ui.operatorMs = 2000;  // the question stays open for two seconds
  rig.ui.answers = {true, false};
  rig.link->RequestLinkOperation(ConnectionCheck);
  rig.loop.RunUntil(60000);
  std::vector<int64_t> asked;
  for (const FakeUi::Event& e : rig.ui.events) {
    if (e.kind != FakeUi::Question) continue;
    EXPECT_EQ(e.caption, u"连接超时");
    EXPECT_EQ(e.text, u"连接传送器超时,是否继续连接??");
    asked.push_back(e.at);
  }
  // Poller at 300, 15 ticks of 500 ms; then 30 ticks counted from the tick
  // after the question, which is set again only once it has been answered.
  ASSERT_EQ(asked, (std::vector<int64_t>{7800, 9800 + 30 * 500}));
  // No tick while the question is open.
  for (const auto& [at, port] : rig.serial.opens) EXPECT_FALSE(at > 7800 && at < 9800) << at;
  // Cancel gives up.
  const int64_t cancelled = asked[1] + 2000;
  EXPECT_EQ(rig.ui.LastStatus(), u"消息:\r\n无法连接到传送器");
  EXPECT_FALSE(rig.PortOpen());
  EXPECT_FALSE(rig.timers.Running(kSupervisorTimer));
  EXPECT_LE(rig.serial.opens.back().first, cancelled);
  EXPECT_TRUE(rig.timers.Running(kRequestPollTimer));
}

TEST(LinkSupervisor, ConnectReplyMarksEveryMachineOfTheStation) {
  LinkRig rig;
  rig.machines.count = 3;
  rig.machines.slot(1).masterStation = 3;
  rig.machines.slot(2).masterStation = 3;
  rig.machines.slot(3).masterStation = 4;
  rig.tx.station = 3;
  rig.tx.version = 180;
  rig.link->RequestLinkOperation(ConnectionCheck);
  ASSERT_TRUE(rig.RunUntil([&] { return rig.machines.slot(1).status == Online; }));
  for (int n : {1, 2}) {
    EXPECT_EQ(rig.machines.slot(n).status, Online);
    EXPECT_EQ(rig.machines.slot(n).portNumber, 3);
    EXPECT_EQ(rig.machines.slot(n).transmitterVersion, 180);
  }
  EXPECT_EQ(rig.machines.slot(3).status, Undetermined);
  EXPECT_EQ(rig.machines.slot(3).transmitterVersion, 0);
  EXPECT_EQ(rig.settings.defaultPort, 3);
  EXPECT_EQ(rig.ui.LastStatus(), u"设备已连接\r\n等待更新数据");
}

TEST(LinkSupervisor, ConnectionCheckClosesWithoutWaitingForSubStation) {
  LinkRig rig;
  rig.tx.capacity = 96;
  rig.machines.currentMachine().subStation = 4;
  rig.link->RequestLinkOperation(ConnectionCheck);
  ASSERT_TRUE(rig.RunUntil([&] { return !rig.WriteTimes(CmdSelectSubStation).empty(); }));
  EXPECT_EQ(rig.serial.WrittenCodes(), (std::vector<int>{CmdConnect, CmdPacketCapacity, CmdSelectSubStation}));
  EXPECT_EQ(rig.serial.writes.back().bytes, BuildRequestFrame(2, CmdSelectSubStation, "4"));
  EXPECT_FALSE(rig.PortOpen());
  EXPECT_EQ(rig.ui.LastStatus(), u"链接成功\r\n待机中...");
  EXPECT_EQ(rig.machines.currentMachine().packetCapacity, 96);
  EXPECT_EQ(rig.session().currentOperation, 0);
  EXPECT_TRUE(rig.timers.armed.empty());
  // Supervision has stopped; nothing more goes out.
  rig.RunFor(5000);
  EXPECT_EQ(rig.serial.writes.size(), 3u);
  EXPECT_FALSE(rig.timers.Running(kSupervisorTimer));
  EXPECT_TRUE(rig.ui.Messages().empty());
}

TEST(LinkSupervisor, NewTransmitterIsAskedOnceAndGivenTheStation) {
  LinkRig rig;
  rig.tx.station = 7;
  int newTransmitterFrames = 0;
  rig.tx.intercept = [&](const LinkPacket& request) {
    if (request.code != CmdConnect || request.station == rig.tx.station) return false;
    // The new transmitter reports itself twice.
    rig.tx.Reply(TxNewTransmitter, "");
    rig.tx.Reply(TxNewTransmitter, "", 60);
    newTransmitterFrames += 2;
    return true;
  };
  rig.ui.operatorMs = 1000;
  rig.link->RequestLinkOperation(ConnectionCheck);
  ASSERT_TRUE(rig.RunUntil([&] { return rig.ui.LastStatus() == u"链接成功\r\n待机中..."; }));
  EXPECT_EQ(newTransmitterFrames, 2);
  EXPECT_EQ(rig.ui.Questions(),
            std::vector<Text>{u"发现新传送器,但是该设备与选择机台的主站号: 2 不相符,是否自动更改新传送器站号为: 2 ?"});
  for (const FakeUi::Event& e : rig.ui.events) {
    if (e.kind == FakeUi::Question) {
      EXPECT_EQ(e.caption, u"发现新设备");
    }
  }
  EXPECT_EQ(rig.ui.Messages(), std::vector<Text>{u"消息:\r\n主站号修改成功!"});
  const LinkPacket* assign = rig.tx.Last(CmdAssignStation);
  ASSERT_TRUE(assign);
  EXPECT_EQ(assign->station, 2);
  EXPECT_EQ(assign->payload, "2");
  // The port stayed open and a later tick connected to the renumbered transmitter.
  EXPECT_EQ(rig.serial.WrittenCodes(), (std::vector<int>{CmdConnect, CmdAssignStation, CmdConnect,
                                                         CmdPacketCapacity, CmdSelectSubStation}));
}

TEST(LinkSupervisor, NewTransmitterDeclined) {
  LinkRig rig;
  rig.tx.station = 7;
  rig.ui.answers = {false};
  rig.link->RequestLinkOperation(ConnectionCheck);
  rig.RunFor(3000);
  EXPECT_EQ(rig.ui.Questions().size(), 1u);
  EXPECT_EQ(rig.tx.Last(CmdAssignStation), nullptr);
  EXPECT_FALSE(rig.session().assigningStation);
}

}  // namespace
}  // namespace tramsel::test
