// DeviceStatus against the simulated device and its faults.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "CeApi.h"
#include "DeviceStatus.h"
#include "SimulatedDevice.h"

const ULONGLONG MiB = 1ull << 20, GiB = 1ull << 30;

// Index, name, free and total bytes, found: what the card walk stands on.
using Card = std::tuple<int, std::wstring, ULONGLONG, ULONGLONG, BOOL>;
static Card Read(DeviceStatus& status) {
  ULONGLONG total = 1, free = 1;
  BOOL found = status.CardSpace(&total, &free), foundToo = !found;
  EXPECT_EQ(total, status.CardTotalBytes(&foundToo));  // the one-figure probes agree
  EXPECT_EQ(found, foundToo);
  EXPECT_EQ(free, status.CardFreeBytes());
  return {status.CardIndex(), status.CardName(), free, total, found};
}

TEST(DeviceStatus, CardWalkStepsToTheEndAndRestarts) {
  SimResetDevice();
  DeviceStatus status;
  const Card none = {0, L"", 0, 0, FALSE}, first = {1, L"Storage Card", 10 * MiB, 64 * MiB, TRUE};
  EXPECT_FALSE(status.FindFirstCard());
  EXPECT_EQ(none, Read(status));
  SimAddCard(L"Storage Card", 64 * MiB, 10 * MiB);
  SimAddCard(L"SD Card", 8 * GiB, 5 * GiB);  // beyond 32 bits
  SimAddCard(L"Failing", 64 * MiB, 10 * MiB);
  SimSetCardQueryFails(L"Failing", true);
  EXPECT_FALSE(status.FindNextCard()) << "no walk started";
  EXPECT_EQ(none, Read(status));
  ASSERT_TRUE(status.FindFirstCard());
  EXPECT_EQ(first, Read(status));
  ASSERT_TRUE(status.FindNextCard());
  EXPECT_EQ(Card(2, L"SD Card", 5 * GiB, 8 * GiB, TRUE), Read(status));
  ASSERT_TRUE(status.FindFirstCard());  // restarts the open walk
  EXPECT_EQ(first, Read(status));
  status.FindNextCard();
  ASSERT_TRUE(status.FindNextCard());
  EXPECT_EQ(Card(3, L"Failing", 0, 0, FALSE), Read(status)) << "a failing query keeps it";
  for (int past = 0; past < 2; ++past) {  // the walk ends, and stays ended
    EXPECT_FALSE(status.FindNextCard());
    EXPECT_EQ(none, Read(status));
  }
  ASSERT_TRUE(status.FindFirstCard());
  SimRemoveAllCards();
  EXPECT_FALSE(status.FindFirstCard());
  EXPECT_EQ(none, Read(status));
}

// ok, AC, percent, voltage; ok, hours, minutes, seconds. What a probe does not
// write stays as it was: {AC true, -1 %, -1 mV} and {7:08:09}.
TEST(DeviceStatus, PowerAndBatteryTimeReadings) {
  using Power = std::tuple<bool, bool, int, int>;
  using Time = std::tuple<bool, int, int, int>;
  SimResetDevice();
  const BYTE off = AC_LINE_OFFLINE, percentUnknown = BATTERY_PERCENTAGE_UNKNOWN;
  const Time unchanged = {false, 7, 8, 9};
  const struct {
    BYTE ac, percent;
    DWORD seconds, bytes;
    Power power;
    Time time;
  } cases[] = {
      {AC_LINE_ONLINE, 90, 5000, 56, {true, true, 90, 3900}, unchanged},
      {off, 50, 3725, 56, {true, false, 50, 3900}, {true, 1, 2, 5}},
      {AC_LINE_BACKUP_POWER, 50, 0, 56, {true, false, 50, 3900}, {true, 0, 0, 0}},
      {off, 50, BATTERY_LIFE_UNKNOWN, 56, {true, false, 50, 3900}, unchanged},
      {off, percentUnknown, 60, 56, {true, false, 255, 3900}, {true, 0, 1, 0}},
      // Unknown AC: false, but percentage and voltage are still delivered.
      {AC_LINE_UNKNOWN, 42, 3725, 56, {false, false, 42, 3900}, unchanged},
      // A short query: percent and AC reset, the voltage not written.
      {off, 90, 3725, 52, {false, false, 0, -1}, unchanged},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << int(c.ac) << ", " << c.seconds << " s, " << c.bytes << " B");
    SimSetPower(c.ac, c.percent, c.seconds, 3900);
    SimSetPowerQueryBytes(c.bytes);
    DeviceStatus status;
    Power power(false, true, -1, -1);
    std::get<0>(power) =
        status.PowerStatus(&std::get<1>(power), &std::get<2>(power), &std::get<3>(power));
    EXPECT_EQ(c.power, power);
    Time time = unchanged;
    std::get<0>(time) =
        status.BatteryTime(&std::get<1>(time), &std::get<2>(time), &std::get<3>(time));
    EXPECT_EQ(c.time, time);
  }
}
