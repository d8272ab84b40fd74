// DeviceStatus against the simulated device and its faults. Readings are
// compared as whole records, so a failure shows every field.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "CeApi.h"
#include "DeviceStatus.h"
#include "SimulatedDevice.h"

namespace {

const ULONGLONG MiB = 1ull << 20, GiB = 1ull << 30;

// What the card walk stands on.
struct Card {
  int index;
  std::wstring name;
  ULONGLONG free, total;
  BOOL found;
  bool operator==(const Card& o) const {
    return index == o.index && name == o.name && free == o.free && total == o.total &&
           found == o.found;
  }
};
void PrintTo(const Card& c, std::ostream* os) {
  *os << "{" << c.index << " " << testing::PrintToString(c.name) << " free " << c.free
      << " total " << c.total << " found " << c.found << "}";
}
Card Read(DeviceStatus& status) {
  Card card = {status.CardIndex(), status.CardName(), status.CardFreeBytes(), 0, TRUE};
  card.total = status.CardTotalBytes(&card.found);
  return card;
}
const Card kNone = {0, L"", 0, 0, FALSE};

// A probe that fails must leave the outputs it does not write as they were,
// so each starts from the given values.
struct Power {
  bool ok, ac;
  int percent, voltage;
  bool operator==(const Power& o) const {
    return ok == o.ok && ac == o.ac && percent == o.percent && voltage == o.voltage;
  }
};
struct Time {
  bool ok;
  int h, m, s;
  bool operator==(const Time& o) const { return ok == o.ok && h == o.h && m == o.m && s == o.s; }
};
void PrintTo(const Power& p, std::ostream* os) {
  *os << "{ok " << p.ok << ", ac " << p.ac << ", " << p.percent << " %, " << p.voltage << " mV}";
}
void PrintTo(const Time& t, std::ostream* os) {
  *os << "{ok " << t.ok << ", " << t.h << ":" << t.m << ":" << t.s << "}";
}
Power ReadPower(Power before = {false, true, -1, -1}) {
  before.ok = DeviceStatus().PowerStatus(&before.ac, &before.percent, &before.voltage);
  return before;
}
Time ReadTime(Time before = {false, 7, 8, 9}) {
  before.ok = DeviceStatus().BatteryTime(&before.h, &before.m, &before.s);
  return before;
}

class DeviceStatusTest : public testing::Test {
protected:
  void SetUp() override { SimResetDevice(); }
};

TEST_F(DeviceStatusTest, CardWalkStepsToTheEndAndRestarts) {
  DeviceStatus status;
  EXPECT_FALSE(status.FindFirstCard());
  EXPECT_EQ(kNone, Read(status));
  SimAddCard(L"Storage Card", 64 * MiB, 10 * MiB);
  SimAddCard(L"SD Card", 8 * GiB, 5 * GiB);  // beyond 32 bits
  SimAddCard(L"Failing", 64 * MiB, 10 * MiB);
  SimSetCardQueryFails(L"Failing", true);
  EXPECT_FALSE(status.FindNextCard()) << "no walk started";
  EXPECT_EQ(kNone, Read(status));

  const Card first = {1, L"Storage Card", 10 * MiB, 64 * MiB, TRUE};
  ASSERT_TRUE(status.FindFirstCard());
  EXPECT_EQ(first, Read(status));
  ASSERT_TRUE(status.FindNextCard());
  EXPECT_EQ((Card{2, L"SD Card", 5 * GiB, 8 * GiB, TRUE}), Read(status));
  ASSERT_TRUE(status.FindFirstCard());  // restarts the open walk
  EXPECT_EQ(first, Read(status));
  status.FindNextCard();
  ASSERT_TRUE(status.FindNextCard());
  EXPECT_EQ((Card{3, L"Failing", 0, 0, FALSE}), Read(status)) << "a failing query keeps it";
  EXPECT_FALSE(status.FindNextCard());
  EXPECT_EQ(kNone, Read(status));
  EXPECT_FALSE(status.FindNextCard());
  EXPECT_EQ(kNone, Read(status));

  ASSERT_TRUE(status.FindFirstCard());
  SimRemoveAllCards();
  EXPECT_FALSE(status.FindFirstCard());
  EXPECT_EQ(kNone, Read(status));
}

TEST_F(DeviceStatusTest, MemorySumsMatchingHalvesAndSkipsAFailingStore) {
  // Every figure differs, so a mixed-up half shows in the sums.
  SimSetStore(30 * MiB, 7 * MiB);
  SimSetProgramMemory(6 * GiB, 5 * GiB + 3 * MiB);
  DeviceStatus status;
  EXPECT_EQ(7 * MiB + 5 * GiB + 3 * MiB, status.MemoryFreeBytes());
  EXPECT_EQ(30 * MiB + 6 * GiB, status.MemoryTotalBytes());
  SimSetStoreQueryFails(true);
  EXPECT_EQ(5 * GiB + 3 * MiB, status.MemoryFreeBytes());
  EXPECT_EQ(6 * GiB, status.MemoryTotalBytes());
}

TEST_F(DeviceStatusTest, PowerAndBatteryTimeReadings) {
  const struct {
    BYTE ac, percent;
    DWORD seconds, bytes;
    Power power;
    Time time;
  } cases[] = {
      {AC_LINE_ONLINE, 90, 5000, 56, {true, true, 90, 3900}, {false, 7, 8, 9}},
      {AC_LINE_OFFLINE, 50, 3725, 56, {true, false, 50, 3900}, {true, 1, 2, 5}},
      {AC_LINE_BACKUP_POWER, 50, 59, 56, {true, false, 50, 3900}, {true, 0, 0, 59}},
      {AC_LINE_OFFLINE, 50, BATTERY_LIFE_UNKNOWN, 56, {true, false, 50, 3900}, {false, 7, 8, 9}},
      {AC_LINE_OFFLINE, BATTERY_PERCENTAGE_UNKNOWN, 60, 56, {true, false, 255, 3900},
       {true, 0, 1, 0}},
      // Unknown AC: false, but percentage and voltage are still delivered.
      {AC_LINE_UNKNOWN, 42, 3725, 56, {false, false, 42, 3900}, {false, 7, 8, 9}},
      // A short query: percent and AC reset, the voltage not written.
      {AC_LINE_OFFLINE, 90, 3725, 52, {false, false, 0, -1}, {false, 7, 8, 9}},
  };
  for (const auto& c : cases) {
    SimSetPower(c.ac, c.percent, c.seconds, 3900);
    SimSetPowerQueryBytes(c.bytes);
    EXPECT_EQ(c.power, ReadPower()) << int(c.ac) << " " << c.seconds << " s, " << c.bytes << " B";
    EXPECT_EQ(c.time, ReadTime()) << int(c.ac) << " " << c.seconds << " s, " << c.bytes << " B";
  }
}

}  // namespace
