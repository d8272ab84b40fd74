// DeviceStatus against the simulated device and its faults.
#include <gtest/gtest.h>

#include "CeApi.h"
#include "DeviceStatus.h"
#include "SimulatedDevice.h"

static const ULONGLONG GiB = 1ull << 30;
static const ULONGLONG MiB = 1ull << 20;

class DeviceStatusTest : public testing::Test {
protected:
  void SetUp() override { SimResetDevice(); }
  DeviceStatus status;
};

// --- Card walk ------------------------------------------------------------------

TEST_F(DeviceStatusTest, FreshObjectHasNoCardSelected) {
  SimAddCard(L"Storage Card", 64 * MiB, 32 * MiB);
  EXPECT_STREQ(L"", status.CardName());
  EXPECT_EQ(0, status.CardIndex());
  EXPECT_EQ(0u, status.CardFreeBytes());
  BOOL found = TRUE;
  EXPECT_EQ(0u, status.CardTotalBytes(&found));
  EXPECT_FALSE(found);
  EXPECT_FALSE(status.FindNextCard());
  EXPECT_EQ(0, status.CardIndex());
  EXPECT_STREQ(L"", status.CardName());
}

TEST_F(DeviceStatusTest, TwoCardsStepToTheEnd) {
  SimAddCard(L"Storage Card", 64 * MiB, 10 * MiB);
  SimAddCard(L"SD Card", 128 * MiB, 20 * MiB);
  ASSERT_TRUE(status.FindFirstCard());
  EXPECT_EQ(1, status.CardIndex());
  EXPECT_STREQ(L"Storage Card", status.CardName());
  EXPECT_EQ(10 * MiB, status.CardFreeBytes());

  ASSERT_TRUE(status.FindNextCard());
  EXPECT_EQ(2, status.CardIndex());
  EXPECT_STREQ(L"SD Card", status.CardName());
  BOOL found = FALSE;
  EXPECT_EQ(128 * MiB, status.CardTotalBytes(&found));
  EXPECT_TRUE(found);

  EXPECT_FALSE(status.FindNextCard());
  EXPECT_EQ(0, status.CardIndex());
  EXPECT_STREQ(L"", status.CardName());
  EXPECT_EQ(0u, status.CardFreeBytes());
  // Stepping on from the end leaves the object as it is.
  EXPECT_FALSE(status.FindNextCard());
  EXPECT_EQ(0, status.CardIndex());
}

TEST_F(DeviceStatusTest, NoCardSelectsNothing) {
  EXPECT_FALSE(status.FindFirstCard());
  EXPECT_EQ(0, status.CardIndex());
  BOOL found = TRUE;
  status.CardTotalBytes(&found);
  EXPECT_FALSE(found);
}

TEST_F(DeviceStatusTest, FindFirstCardRestartsAnOpenSearch) {
  SimAddCard(L"Storage Card", 64 * MiB, 10 * MiB);
  SimAddCard(L"SD Card", 128 * MiB, 20 * MiB);
  ASSERT_TRUE(status.FindFirstCard());
  ASSERT_TRUE(status.FindNextCard());
  ASSERT_TRUE(status.FindFirstCard());
  EXPECT_EQ(1, status.CardIndex());
  EXPECT_STREQ(L"Storage Card", status.CardName());
  // With the cards gone, a restart ends with nothing selected.
  SimRemoveAllCards();
  EXPECT_FALSE(status.FindFirstCard());
  EXPECT_EQ(0, status.CardIndex());
  EXPECT_STREQ(L"", status.CardName());
}

TEST_F(DeviceStatusTest, ByteCountsKeepTheirHighBits) {
  SimAddCard(L"Storage Card", 8 * GiB, 5 * GiB);
  SimAddCard(L"Big Card", 4 * GiB, 4 * GiB);
  ASSERT_TRUE(status.FindFirstCard());
  EXPECT_EQ(5 * GiB, status.CardFreeBytes());
  BOOL found = FALSE;
  EXPECT_EQ(8 * GiB, status.CardTotalBytes(&found));
  ASSERT_TRUE(status.FindNextCard());
  EXPECT_EQ(4 * GiB, status.CardTotalBytes(&found));
  EXPECT_TRUE(found);
}

TEST_F(DeviceStatusTest, FailingDiskQueryKeepsTheSelection) {
  SimAddCard(L"Storage Card", 64 * MiB, 10 * MiB);
  SimAddCard(L"SD Card", 128 * MiB, 20 * MiB);
  SimSetCardQueryFails(L"Storage Card", true);
  ASSERT_TRUE(status.FindFirstCard());
  BOOL found = TRUE;
  EXPECT_EQ(0u, status.CardTotalBytes(&found));
  EXPECT_FALSE(found);
  EXPECT_EQ(0u, status.CardFreeBytes());
  EXPECT_EQ(1, status.CardIndex());
  ASSERT_TRUE(status.FindNextCard());
  EXPECT_EQ(20 * MiB, status.CardFreeBytes());
}

// --- Memory ----------------------------------------------------------------------

TEST_F(DeviceStatusTest, MemorySumsMatchingHalves) {
  // Every figure differs, so a mixed-up half shows in the sums; the program
  // memory is beyond 32 bits.
  SimSetStore(30 * MiB, 7 * MiB);
  SimSetProgramMemory(6 * GiB, 5 * GiB + 3 * MiB);
  EXPECT_EQ(7 * MiB + 5 * GiB + 3 * MiB, status.MemoryFreeBytes());
  EXPECT_EQ(30 * MiB + 6 * GiB, status.MemoryTotalBytes());
}

TEST_F(DeviceStatusTest, FailingStoreQueryCountsProgramMemoryOnly) {
  SimSetStore(30 * MiB, 7 * MiB);
  SimSetProgramMemory(64 * MiB, 40 * MiB);
  SimSetStoreQueryFails(true);
  EXPECT_EQ(40 * MiB, status.MemoryFreeBytes());
  EXPECT_EQ(64 * MiB, status.MemoryTotalBytes());
}

// --- Power -------------------------------------------------------------------------

// What a power probe delivered, starting from the outputs given: a probe
// that fails must leave the outputs it does not write as they were.
struct Power {
  bool ok;
  bool ac;
  int percent;
  int voltage;
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

Power ReadPower(DeviceStatus& status, Power before = {false, true, -1, -1}) {
  before.ok = status.PowerStatus(&before.ac, &before.percent, &before.voltage);
  return before;
}
Time ReadTime(DeviceStatus& status, Time before = {false, 7, 8, 9}) {
  before.ok = status.BatteryTime(&before.h, &before.m, &before.s);
  return before;
}

TEST_F(DeviceStatusTest, MainsPowerHasNoBatteryTime) {
  SimSetPower(AC_LINE_ONLINE, 90, 5000, 4100);
  EXPECT_EQ((Power{true, true, 90, 4100}), ReadPower(status, {false, false, -1, -1}));
  EXPECT_EQ((Time{false, 7, 8, 9}), ReadTime(status));
}

TEST_F(DeviceStatusTest, UnknownReadingsPassThrough) {
  // Unknown AC: false, but percentage and voltage are still delivered.
  SimSetPower(AC_LINE_UNKNOWN, 42, 3725, 3800);
  EXPECT_EQ((Power{false, false, 42, 3800}), ReadPower(status));
  EXPECT_EQ((Time{false, 7, 8, 9}), ReadTime(status));
  // An unknown percentage passes through unchanged.
  SimSetPower(AC_LINE_OFFLINE, BATTERY_PERCENTAGE_UNKNOWN, 3725, 3700);
  EXPECT_EQ((Power{true, false, 255, 3700}), ReadPower(status));
}

TEST_F(DeviceStatusTest, BatteryTimeSplitsSecondsOnBatteryOnly) {
  SimSetPower(AC_LINE_OFFLINE, 50, 3725, 3700);
  EXPECT_EQ((Time{true, 1, 2, 5}), ReadTime(status));
  // Backup power counts as running on battery.
  SimSetPower(AC_LINE_BACKUP_POWER, 50, 59, 3700);
  EXPECT_EQ((Time{true, 0, 0, 59}), ReadTime(status));
  // An unknown remaining time leaves the outputs as they were.
  SimSetPower(AC_LINE_OFFLINE, 50, BATTERY_LIFE_UNKNOWN, 3700);
  EXPECT_EQ((Time{false, 0, 0, 59}), ReadTime(status, {false, 0, 0, 59}));
}

TEST_F(DeviceStatusTest, ShortPowerQueryFailsBothProbes) {
  SimSetPower(AC_LINE_ONLINE, 90, 3725, 4100);
  SimSetPowerQueryBytes(52);
  // Percent and AC are reset; the voltage is not written.
  EXPECT_EQ((Power{false, false, 0, 1234}), ReadPower(status, {false, true, 77, 1234}));
  SimSetPower(AC_LINE_OFFLINE, 90, 3725, 4100);
  EXPECT_EQ((Time{false, 7, 8, 9}), ReadTime(status));
}
