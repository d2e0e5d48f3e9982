#include "config/mac_table.h"

#include <utility>

namespace tramsel {

namespace {

constexpr TextView kModeTexts[] = {u"高电平同步", u"低电平同步", u"高电平应答", u"低电平应答"};
constexpr TextView kSpeedTexts[] = {u"标准", u"较慢", u"慢", u"较快", u"快", u"超快", u"超快+"};
constexpr TextView kStatusTexts[] = {u"未知", u"在线", u"离线"};

}  // namespace

std::optional<TextView> modeText(int value) {
  if (value < 1 || value > 4) return std::nullopt;
  return kModeTexts[value - 1];
}

std::optional<TextView> speedText(int value) {
  if (value < 0 || value > 6) return std::nullopt;
  return kSpeedTexts[value];
}

std::optional<TextView> statusText(int value) {
  if (value < 0 || value > 2) return std::nullopt;
  return kStatusTexts[value];
}

MacRecord MacTable::DefaultRecord(int number) {
  MacRecord record;
  record.name = u"机台" + DecimalText(number);
  return record;
}

void MacTable::initDefaults() {
  for (int s = 0; s < kSlots; ++s) slots_[s] = DefaultRecord(s);
  current = 1;
}

int MacTable::insertAfter(int n) {
  if (n < 1 || n > count || count >= kMaxMachines) return n;
  const int station = firstFreeMasterStation();
  ++count;
  for (int s = count - 1; s >= n + 1; --s) slots_[s + 1] = slots_[s];
  MacRecord added = DefaultRecord(n + 1);
  added.masterStation = static_cast<uint8_t>(station);
  added.portNumber = 1;
  slots_[n + 1] = std::move(added);
  return n + 1;
}

void MacTable::removeAt(int n) {
  if (count <= 1 || n < 1 || n > count) return;
  for (int s = n; s < count; ++s) slots_[s] = slots_[s + 1];
  --count;
}

void MacTable::swapWithPrevious(int n) {
  if (count <= 1 || n < 2 || n > count) return;
  std::swap(slots_[n], slots_[n - 1]);
}

void MacTable::swapWithNext(int n) {
  if (count <= 1 || n < 1 || n >= count) return;
  std::swap(slots_[n], slots_[n + 1]);
}

int MacTable::firstFreeMasterStation() const {
  std::array<bool, 256> used{};
  for (int n = 1; n <= count; ++n) used[slots_[n].masterStation] = true;
  for (int station = 2; station <= 254; ++station) {
    if (!used[station]) return station;
  }
  return 255;
}

}  // namespace tramsel
