#include "config/mac_table.h"

#include <gtest/gtest.h>

namespace tramsel {
namespace {

MacTable TableWithStations(std::initializer_list<int> stations) {
  MacTable table;
  table.count = 0;
  for (int station : stations) {
    MacRecord& m = table.slot(++table.count);
    m.masterStation = static_cast<uint8_t>(station);
  }
  return table;
}

TEST(MacTable, DefaultsFillEverySlot) {
  MacTable table;
  EXPECT_EQ(table.count, 1);
  EXPECT_EQ(table.current, 1);
  EXPECT_EQ(table.slot(0).name, u"机台0");
  const MacRecord& last = table.slot(999);
  EXPECT_EQ(last.name, u"机台999");
  EXPECT_EQ(last.masterStation, 2);
  EXPECT_EQ(last.subStation, 1);
  EXPECT_EQ(last.emptyAnswers, 10);
  EXPECT_EQ(last.downloadMode, HighLevelSync);
  EXPECT_EQ(last.packetCapacity, 64);
  EXPECT_EQ(last.portNumber, 0);
}

TEST(MacTable, InsertAfterShiftsLaterMachinesAndTakesAFreeStation) {
  MacTable table = TableWithStations({2, 3, 5});
  table.slot(2).name = u"B";
  table.slot(3).name = u"C";
  EXPECT_EQ(table.insertAfter(1), 2);
  ASSERT_EQ(table.count, 4);
  EXPECT_EQ(table.slot(2).name, u"机台2");
  EXPECT_EQ(table.slot(2).masterStation, 4);
  EXPECT_EQ(table.slot(2).portNumber, 1);
  EXPECT_EQ(table.slot(2).status, Undetermined);
  EXPECT_EQ(table.slot(3).name, u"B");
  EXPECT_EQ(table.slot(4).name, u"C");
}

TEST(MacTable, InsertAtTheEndIgnoresStaleSlots) {
  MacTable table = TableWithStations({2});
  table.slot(2).masterStation = 3;  // a stale copy beyond count
  EXPECT_EQ(table.insertAfter(1), 2);
  EXPECT_EQ(table.slot(2).masterStation, 3);  // 3 was free among the machines
}

TEST(MacTable, FullTableAcceptsNoMoreMachines) {
  MacTable table;
  table.count = MacTable::kMaxMachines;
  EXPECT_EQ(table.insertAfter(999), 999);
  EXPECT_EQ(table.insertAfter(5), 5);
  EXPECT_EQ(table.count, MacTable::kMaxMachines);
}

TEST(MacTable, RemoveKeepsTheLastMachineAndTheCurrentNumber) {
  MacTable one;
  one.removeAt(1);
  EXPECT_EQ(one.count, 1);

  MacTable table = TableWithStations({2, 3, 5});
  table.current = 3;
  table.removeAt(1);
  EXPECT_EQ(table.count, 2);
  EXPECT_EQ(table.slot(1).masterStation, 3);
  EXPECT_EQ(table.slot(2).masterStation, 5);
  EXPECT_EQ(table.current, 3);  // now beyond count, as the selector shows
}

TEST(MacTable, SwapsExchangeWholeRecordsAndStopAtTheEnds) {
  MacTable table = TableWithStations({2, 3, 5});
  table.slot(1).status = Online;
  table.swapWithNext(1);
  EXPECT_EQ(table.slot(1).masterStation, 3);
  EXPECT_EQ(table.slot(2).masterStation, 2);
  EXPECT_EQ(table.slot(2).status, Online);
  table.swapWithPrevious(1);
  table.swapWithNext(3);
  EXPECT_EQ(table.slot(1).masterStation, 3);
  EXPECT_EQ(table.slot(3).masterStation, 5);
  table.swapWithPrevious(3);
  EXPECT_EQ(table.slot(2).masterStation, 5);
}

TEST(MacTable, FirstFreeMasterStationFallsBackTo255) {
  MacTable table;
  table.count = 0;
  for (int station = 2; station <= 255; ++station) table.slot(++table.count).masterStation = station;
  EXPECT_EQ(table.firstFreeMasterStation(), 255);
  table.slot(10).masterStation = 2;  // 11 is free again
  EXPECT_EQ(table.firstFreeMasterStation(), 11);
}

TEST(MacTable, TextTables) {
  EXPECT_EQ(modeText(LowLevelAck), u"低电平应答");
  EXPECT_FALSE(modeText(0));
  EXPECT_EQ(speedText(VeryFastPlus), u"超快+");
  EXPECT_FALSE(speedText(7));
  EXPECT_EQ(statusText(Offline), u"离线");
  EXPECT_FALSE(statusText(-1));
}

}  // namespace
}  // namespace tramsel
