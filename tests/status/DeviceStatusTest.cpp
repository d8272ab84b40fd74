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

TEST_F(DeviceStatusTest, MainsPowerHasNoBatteryTime) {
  SimSetPower(AC_LINE_ONLINE, 90, 5000, 4100);
  bool ac = false;
  int percent = -1, voltage = -1;
  EXPECT_TRUE(status.PowerStatus(&ac, &percent, &voltage));
  EXPECT_TRUE(ac);
  EXPECT_EQ(90, percent);
  EXPECT_EQ(4100, voltage);
  int h = 7, m = 8, s = 9;
  EXPECT_FALSE(status.BatteryTime(&h, &m, &s));
  EXPECT_EQ(7, h);
  EXPECT_EQ(8, m);
  EXPECT_EQ(9, s);
}

TEST_F(DeviceStatusTest, UnknownReadingsPassThrough) {
  SimSetPower(AC_LINE_UNKNOWN, 42, 3725, 3800);
  bool ac = true;
  int percent = -1, voltage = -1;
  EXPECT_FALSE(status.PowerStatus(&ac, &percent, &voltage));
  EXPECT_FALSE(ac);
  EXPECT_EQ(42, percent);
  EXPECT_EQ(3800, voltage);
  int h = 7, m = 8, s = 9;
  EXPECT_FALSE(status.BatteryTime(&h, &m, &s));
  EXPECT_EQ(7, h);

  // An unknown percentage passes through unchanged.
  SimSetPower(AC_LINE_OFFLINE, BATTERY_PERCENTAGE_UNKNOWN, 3725, 3700);
  EXPECT_TRUE(status.PowerStatus(&ac, &percent, &voltage));
  EXPECT_FALSE(ac);
  EXPECT_EQ(255, percent);
}

TEST_F(DeviceStatusTest, BatteryTimeSplitsSecondsOnBatteryOnly) {
  SimSetPower(AC_LINE_OFFLINE, 50, 3725, 3700);
  int h = 0, m = 0, s = 0;
  EXPECT_TRUE(status.BatteryTime(&h, &m, &s));
  EXPECT_EQ(1, h);
  EXPECT_EQ(2, m);
  EXPECT_EQ(5, s);
  // Backup power counts as running on battery.
  SimSetPower(AC_LINE_BACKUP_POWER, 50, 59, 3700);
  EXPECT_TRUE(status.BatteryTime(&h, &m, &s));
  EXPECT_EQ(0, h);
  EXPECT_EQ(0, m);
  EXPECT_EQ(59, s);

  // An unknown remaining time leaves the outputs as they were.
  SimSetPower(AC_LINE_OFFLINE, 50, BATTERY_LIFE_UNKNOWN, 3700);
  EXPECT_FALSE(status.BatteryTime(&h, &m, &s));
  EXPECT_EQ(0, h);
  EXPECT_EQ(0, m);
  EXPECT_EQ(59, s);
}

TEST_F(DeviceStatusTest, ShortPowerQueryFailsBothProbes) {
  SimSetPower(AC_LINE_ONLINE, 90, 3725, 4100);
  SimSetPowerQueryBytes(52);
  bool ac = true;
  int percent = 77, voltage = 1234;
  EXPECT_FALSE(status.PowerStatus(&ac, &percent, &voltage));
  EXPECT_FALSE(ac);
  EXPECT_EQ(0, percent);
  EXPECT_EQ(1234, voltage);
  SimSetPower(AC_LINE_OFFLINE, 90, 3725, 4100);
  int h = 7, m = 8, s = 9;
  EXPECT_FALSE(status.BatteryTime(&h, &m, &s));
  EXPECT_EQ(7, h);
}
