// The configured machines: up to 999 machines in slots 1 to 999 of a fixed
// table, with the current machine that link requests and transfers address.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "common/text.h"

namespace tramsel {

enum SyncSpeed : uint8_t {
  Standard = 0,
  Slower = 1,
  Slow = 2,
  Faster = 3,
  Fast = 4,
  VeryFast = 5,
  VeryFastPlus = 6,
};

enum DownloadMode : uint8_t {
  HighLevelSync = 1,
  LowLevelSync = 2,
  HighLevelAck = 3,
  LowLevelAck = 4,
};

enum MachineStatus : int32_t {
  Undetermined = 0,
  Online = 1,
  Offline = 2,
};

struct MacRecord {
  Text name;
  Text spareText1;
  uint8_t syncSpeed = Standard;
  uint8_t masterStation = 2;
  uint8_t subStation = 1;
  uint8_t emptyAnswers = 10;
  uint8_t downloadMode = HighLevelSync;
  Text spareText2;
  int32_t transmitterVersion = 0;
  int32_t packetCapacity = 64;
  int32_t status = Undetermined;
  int32_t portNumber = 0;
};

// Display texts, which are also the words of the configuration file; nothing
// for a value outside its table.
std::optional<TextView> modeText(int value);
std::optional<TextView> speedText(int value);
std::optional<TextView> statusText(int value);

class MacTable {
 public:
  static constexpr int kSlots = 1000;
  static constexpr int kMaxMachines = kSlots - 1;  // slot 0 never holds a machine

  MacTable() { initDefaults(); }

  void initDefaults();

  // Machines are numbered 1 to count; slots above count are not machines.
  int count = 1;
  // The current machine's number; may exceed count after a deletion.
  int current = 1;

  MacRecord& slot(int number) { return slots_[ClampSlot(number)]; }
  const MacRecord& slot(int number) const { return slots_[ClampSlot(number)]; }
  MacRecord& currentMachine() { return slot(current); }
  const MacRecord& currentMachine() const { return slot(current); }

  // Adds a machine after machine n and answers its number n+1. A full table,
  // or an n that is not a machine, is left as it is and n is answered.
  int insertAfter(int n);
  // Deletes machine n unless it is the only one.
  void removeAt(int n);
  void swapWithPrevious(int n);
  void swapWithNext(int n);
  // Lowest master station from 2 to 254 that no machine uses, else 255.
  int firstFreeMasterStation() const;

  // Every machine that shares the current machine's master station.
  template <typename Visit>
  void forEachOnCurrentStation(Visit visit) {
    const uint8_t station = currentMachine().masterStation;
    for (int n = 1; n <= count; ++n) {
      if (slots_[n].masterStation == station) visit(slots_[n]);
    }
  }

 private:
  static int ClampSlot(int number) { return number < 0 ? 0 : number >= kSlots ? kSlots - 1 : number; }
  static MacRecord DefaultRecord(int number);

  std::array<MacRecord, kSlots> slots_;
};

}  // namespace tramsel
